#pragma once
// The file system as a Windows program sees it: drive letters, "\"-separated paths.
#include "platform/DateTime.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class MaskList;

// Windows attribute bits, as SetFileAttributes knows them.
namespace attr {
inline constexpr std::uint32_t ReadOnly = 0x01;
inline constexpr std::uint32_t Hidden = 0x02;
inline constexpr std::uint32_t System = 0x04;
inline constexpr std::uint32_t Directory = 0x10;
inline constexpr std::uint32_t Archive = 0x20;
inline constexpr std::uint32_t Normal = 0x80;
inline constexpr std::uint32_t ReparsePoint = 0x400; // a symbolic link
} // namespace attr

struct DriveInfo {
    char letter = 'c';    // lower case
    std::string label;    // shown in brackets in the drive box: "c: [/]"
    bool ready = false;   // the drive's folder exists and can be entered
    // "c: [label]", as the drive box shows it.
    std::string boxText() const;
};

struct DirEntry {
    std::string name;             // bare name, bytes as the host gives them
    std::uint32_t attributes = 0; // attr:: bits
    std::int64_t size = 0;        // bytes; 0 for folders and when it could not be read
    bool isFolder() const { return (attributes & attr::Directory) != 0; }
    bool isLink() const { return (attributes & attr::ReparsePoint) != 0; }
};

struct ListOptions {
    const MaskList* mask = nullptr; // files only: keep those that match (folders are never masked)
    bool details = true;            // read attributes and sizes; false gives names and kinds only
    bool sameDevice = false;        // folders only: leave out mount points of another file system
};

// One read of a folder for a walk over a tree.
struct FolderListing {
    std::vector<DirEntry> folders; // subfolders to walk into: no links, no other file system
    std::vector<DirEntry> files;   // files matching the walk's masks
};

// Tells which names of one folder changed since the last poll (created, written, removed,
// renamed, attributes). Cheap to poll: no system call blocks.
class FolderWatch {
public:
    virtual ~FolderWatch() = default;
    // The names that changed, or nothing when the changes were too many to name (look at
    // every entry again).
    virtual std::optional<std::vector<std::string>> poll() = 0;
};

// Paths are Windows paths ("C:\WINDOWS\TEMP"); a relative path is taken against the current
// folder of the current drive, "X:name" against drive X's current folder. Every operation
// reports failure as a result, never by throwing. Listings come in name order without
// regard to case, as an NTFS volume gives them.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    virtual std::vector<DriveInfo> drives() const = 0;
    virtual bool driveReady(char letter) const = 0;

    // Current drive (lower-case letter) and each drive's current folder ("C:\TEMP").
    virtual char currentDrive() const = 0;
    virtual bool setCurrentDrive(char letter) = 0;
    virtual std::string currentFolder(char letter) const = 0;
    // Makes `path` its drive's current folder; on the current drive it also becomes the
    // process's working directory. False when the folder cannot be entered.
    virtual bool setCurrentFolder(std::string_view path) = 0;
    // `path` made absolute and cleaned ("C:\A\..\B\" -> "C:\B"), keeping the spelling.
    virtual std::string absolute(std::string_view path) const = 0;

    virtual bool folderExists(std::string_view path) const = 0;
    virtual bool canEnter(std::string_view path) const = 0;

    // Subfolders (symbolic links to folders included, marked as links).
    virtual std::optional<std::vector<DirEntry>> listFolders(std::string_view path,
                                                             const ListOptions& = {}) const = 0;
    // Plain files (links to files included), hidden and system too.
    virtual std::optional<std::vector<DirEntry>> listFiles(std::string_view path,
                                                           const ListOptions& = {}) const = 0;
    // Files and folders together, without "." and "..".
    virtual std::optional<std::vector<DirEntry>> listEntries(std::string_view path) const = 0;

    virtual std::optional<std::int64_t> fileSize(std::string_view path) const = 0;
    virtual std::optional<DateTime> modificationTime(std::string_view path) const = 0;
    virtual std::optional<std::uint32_t> attributes(std::string_view path) const = 0;

    // Removes one file (a link is removed itself, never its target). The parent folders are
    // opened without following links. False when the file is gone or stays.
    virtual bool deleteFile(std::string_view path) = 0;
    // Deletes every plain file of `folder` matching `masks`; the number deleted.
    virtual int deleteMatching(std::string_view folder, std::string_view masks) = 0;
    virtual bool copyFile(std::string_view from, std::string_view to) = 0;
    // Removes an empty folder (never a link's target).
    virtual bool removeFolder(std::string_view path) = 0;
    // 0 clears every attribute: the file becomes writable.
    virtual bool setAttributes(std::string_view path, std::uint32_t attributes) = 0;

    // Appends bytes to a file, creating it when absent.
    virtual bool appendFile(std::string_view path, std::string_view bytes) = 0;
    virtual std::optional<std::string> readFile(std::string_view path) const = 0;

    // False when `inner` lies on another mounted file system than `outer` (or is a link): a
    // bulk deletion must not cross into it. True when the host has no such notion.
    virtual bool sameFileSystem(std::string_view /*outer*/, std::string_view /*inner*/) const { return true; }

    // The host path a drive path stands for, for handing to other programs.
    virtual std::optional<std::string> hostPath(std::string_view path) const = 0;

    // The subfolders a walk may enter and the files matching `mask`, each in name order,
    // without details. Nothing when the folder cannot be listed.
    virtual std::optional<FolderListing> listForWalk(std::string_view path, const MaskList& mask) const
    {
        ListOptions folderOptions;
        folderOptions.details = false;
        folderOptions.sameDevice = true;
        auto folders = listFolders(path, folderOptions);
        if (!folders) return std::nullopt;
        ListOptions fileOptions;
        fileOptions.details = false;
        fileOptions.mask = &mask;
        auto files = listFiles(path, fileOptions);
        if (!files) return std::nullopt;
        FolderListing listing;
        for (auto& f : *folders)
            if (!f.isLink()) listing.folders.push_back(std::move(f));
        listing.files = std::move(*files);
        return listing;
    }

    // Watches one folder's entries; nothing when the host cannot watch it.
    virtual std::unique_ptr<FolderWatch> watch(std::string_view /*folder*/) const { return nullptr; }
};

// Path helpers shared by every part of the program.
namespace path {
// Folder + "\" + name, without a second "\" after a drive root ("C:\").
std::string join(std::string_view folder, std::string_view name);
// "C:\A\B" -> "C:\A"; "C:\A" -> "C:\"; a root stays.
std::string parent(std::string_view path);
bool isRoot(std::string_view path);
} // namespace path

} // namespace velmora

#pragma once
// The host's file system seen through a drive map: each drive letter stands for a host folder.
#include "platform/FileSystem.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Behaviour a caller can rely on, beyond the FileSystem contract:
// - Every component of a path is matched on the host exactly first, then without regard to
//   case (Latin and Cyrillic); a component that does not exist keeps its spelling.
// - Names are bytes: a name that is not valid UTF-8 is listed, matched and deleted intact.
// - Size and time of a symbolic link are the link's own (what deleting it frees). A link to
//   a folder lists as a folder, any other link (a broken or looping one too) as a file; both
//   carry attr::ReparsePoint. Devices, pipes and sockets are never listed nor deleted.
// - As on Windows, deleteFile and deleteMatching leave a read-only file (no owner write bit)
//   in place, and copyFile does not replace one: clear its attributes first.
// - setAttributes on a link changes nothing and returns true: a link has no attributes of
//   its own here, and "clear, then delete" must still remove it.
// - removeFolder removes an empty folder only, never a link to one.
// - Deletions and attribute changes open every folder from the drive's root without
//   following links, so a folder swapped for a link cannot redirect them.
// - Nothing is cached: every call reads the host afresh.
class PosixFileSystem : public FileSystem {
public:
    // `driveMap` maps letters to host folders: "c:=/;d:=/media/usb". Entries that cannot be
    // read are ignored; with none left the map is "c:=/". A relative host folder is taken
    // against the process's working directory at construction.
    explicit PosixFileSystem(std::string driveMap);

    // The value of VELMORA_DRIVES, or "c:=/" when it is unset or empty.
    static std::string drivesFromEnvironment();

    std::vector<DriveInfo> drives() const override;
    bool driveReady(char letter) const override;

    char currentDrive() const override;
    bool setCurrentDrive(char letter) override;
    // The drive's current folder; for a letter no drive maps, its root; "" for a non-letter.
    std::string currentFolder(char letter) const override;
    bool setCurrentFolder(std::string_view path) override;
    // "" when `path` is empty, contains a NUL byte or is a network path ("\\server\share").
    std::string absolute(std::string_view path) const override;

    bool folderExists(std::string_view path) const override;
    // True when the folder can be listed and entered.
    bool canEnter(std::string_view path) const override;

    std::optional<std::vector<DirEntry>> listFolders(std::string_view path,
                                                     const ListOptions& options = {}) const override;
    std::optional<std::vector<DirEntry>> listFiles(std::string_view path,
                                                   const ListOptions& options = {}) const override;
    std::optional<std::vector<DirEntry>> listEntries(std::string_view path) const override;

    // 0 for a folder.
    std::optional<std::int64_t> fileSize(std::string_view path) const override;
    std::optional<DateTime> modificationTime(std::string_view path) const override;
    std::optional<std::uint32_t> attributes(std::string_view path) const override;

    bool deleteFile(std::string_view path) override;
    int deleteMatching(std::string_view folder, std::string_view masks) override;
    // Replaces the destination at once (written aside, then renamed over it), keeping the
    // source's permissions and modification time. False when the destination folder is missing.
    bool copyFile(std::string_view from, std::string_view to) override;
    bool removeFolder(std::string_view path) override;
    // Only attr::ReadOnly has a host meaning: set, it removes every write bit; clear, it
    // gives the owner write permission. Other bits are ignored.
    bool setAttributes(std::string_view path, std::uint32_t attributes) override;

    // Creates the file with mode 0644 (less the umask).
    bool appendFile(std::string_view path, std::string_view bytes) override;
    std::optional<std::string> readFile(std::string_view path) const override;

    // Existing components in their host spelling, missing ones as given.
    std::optional<std::string> hostPath(std::string_view path) const override;
    bool sameFileSystem(std::string_view outer, std::string_view inner) const override;

    // One read of the folder. Folders: real subfolders on the listed folder's file system
    // (never a link). Files: what listFiles with the same mask gives, links to files and
    // broken links included. Only the returned entries are sorted.
    std::optional<FolderListing> listForWalk(std::string_view path, const MaskList& mask) const override;

    // An inotify watch of the folder (a link to a folder is followed): the names poll()
    // gives are deduplicated, in no particular order. Once the folder itself is removed or
    // moved, every poll gives nothing; after an overflow of the host's queue, only that
    // poll does. Nothing when the folder cannot be opened or the host refuses a watch
    // (no inotify, or the per-user limits of instances or watches reached).
    std::unique_ptr<FolderWatch> watch(std::string_view folder) const override;

private:
    // A path made absolute: its drive (0 = a) and cleaned components.
    struct Parsed {
        int drive = 0;
        std::string prefix; // the drive as spelled: "C:"
        std::vector<std::string> parts;
        std::string text() const;
    };
    struct Located;

    std::optional<Parsed> parse(std::string_view path) const;
    std::optional<Located> locate(const Parsed& p, bool followLinks) const;
    std::optional<Located> locate(std::string_view path, bool followLinks) const;
    // The folder opened for reading, following links; its host path in `host` when given.
    // -1 when it cannot be opened; the caller owns the descriptor.
    int openFolder(std::string_view path, std::string* host) const;
    std::optional<std::vector<DirEntry>> list(std::string_view path, const ListOptions& options,
                                              bool wantFiles, bool wantFolders) const;
    std::string rootText(int drive) const;

    std::array<std::string, 26> m_roots;   // host folder per drive; empty when unmapped
    std::array<std::string, 26> m_current; // each drive's current folder, in drive form
    int m_currentDrive = 2;
};

} // namespace velmora

#pragma once
// The file system as a Windows program sees it: drive letters, "\"-separated paths.
#include "platform/DateTime.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class Environment;
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
    char letter = 'c';  // lower case
    std::string label;  // shown in brackets in the drive box: "c: [/]"
    bool ready = false; // the drive's folder exists and can be entered
    // "c: [label]", as the drive box shows it; a drive without a label is "c:".
    std::string boxText() const;
};

// Why a drive cannot be used, as a Windows program's runtime tells it: its number and its
// description ("Device unavailable", "Disk not ready", "Path/access file error").
struct DriveError {
    int number = 0;
    std::string description;
};

struct DirEntry {
    // The bare name in the program's name space: a host name with characters that no Windows
    // name can hold carries them as U+F000 + their code, so it never reads as a path.
    std::string name;
    std::uint32_t attributes = 0; // attr:: bits
    std::int64_t size = 0;        // bytes; 0 for folders and when it could not be read
    bool isFolder() const { return (attributes & attr::Directory) != 0; }
    bool isLink() const { return (attributes & attr::ReparsePoint) != 0; }
};

struct ListOptions {
    const MaskList* mask = nullptr; // files only: keep those that match (folders are never masked)
    bool details = true;            // read attributes and sizes; false gives names and kinds only
};

// Who a folder is on the host: two equal ids are the same folder on the same mount.
struct FolderId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t mount = 0;
    bool operator==(const FolderId&) const = default;
};

// A folder as it was listed: the path the user was shown and who the folder was then.
struct ListedFolder {
    std::string path;
    FolderId id;
};

// Who a file is and which version of it: two equal stamps of one name, taken at two moments,
// mean the same file, not written, replaced or renamed over in between (as far as the host
// can tell: times to its finest unit, and a change time no user can set back).
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modified = 0; // nanoseconds
    std::int64_t changed = 0;  // nanoseconds
    bool operator==(const FileStamp&) const = default;
};

// How a name given by the program (not taken from a listing) is looked up.
enum class NameMatch { Exact, AnyCase };

// Tells which names of one folder changed since the last poll (created, written, removed,
// renamed, attributes). Cheap to poll: no system call blocks.
class FolderWatch {
public:
    virtual ~FolderWatch() = default;
    // The names that changed, or nothing when the changes were too many to name (look at
    // every entry again).
    virtual std::optional<std::vector<std::string>> poll() = 0;
};

class Folder;

// What a walk's callback answers: go on, skip the subfolders of the folder just entered,
// or end the walk.
enum class WalkStep { Continue, Prune, Stop };

// One folder met by a walk, when it is entered (opened and read, before its subfolders) and
// when it is left (after its whole subtree). A subfolder the host would not let the walk open
// or read (no right to, an I/O error) is met once, as Unreadable, in place of both; one that
// went away, became a link or leads onto another mount meanwhile is passed over unmet.
struct WalkVisit {
    enum class Kind { Enter, Leave, Unreadable };
    Kind kind;
    const std::string& path;            // the walk's root path, then "\" and names
    Folder& folder;                     // the folder itself, open; for Unreadable, the folder above it
    Folder* parent;                     // the folder above it; nullptr for the root
    std::string_view name;              // its name in `parent`; "" for the root
    const std::vector<DirEntry>* files; // Leave only: its files matching the walk's masks, read
                                        // after its subfolders; nullptr at Enter
};
using WalkCallback = std::function<WalkStep(const WalkVisit&)>;

// An open folder. Names given to it are entry names exactly as a listing gave them: never
// looked up without regard to case (unless NameMatch::AnyCase says so), never parsed as a
// path, never followed when they are links. It keeps working on the folder it opened, even
// when that folder is renamed or replaced meanwhile; FileSystem::openListed checks that a
// listed path still leads to it.
class Folder {
public:
    virtual ~Folder() = default;
    virtual FolderId id() const = 0;

    // Plain files (links to files included), hidden and system too; in name order.
    virtual std::optional<std::vector<DirEntry>> listFiles(const ListOptions& = {}) const = 0;
    // Subfolders (links to folders included, marked as links); in name order.
    virtual std::optional<std::vector<DirEntry>> listFolders(const ListOptions& = {}) const = 0;
    // Files and folders together.
    virtual std::optional<std::vector<DirEntry>> listEntries() const = 0;
    // The names of every entry, in no order and without looking at any of them: the
    // cheapest way to learn which of many names are still there.
    virtual std::optional<std::vector<std::string>> names() const = 0;

    // Size of a file (of a link: the link's own); 0 for a folder; nothing when it is not there.
    virtual std::optional<std::int64_t> size(std::string_view name) const = 0;
    virtual std::optional<DateTime> modificationTime(std::string_view name) const = 0;
    virtual std::optional<std::uint32_t> attributes(std::string_view name) const = 0;
    // Whether an entry of exactly this name is there; nothing when the host cannot tell (no
    // right to look, an I/O error).
    virtual std::optional<bool> contains(std::string_view name) const = 0;
    // The entry's stamp (of a link: the link's own); nothing when it is not there.
    virtual std::optional<FileStamp> stamp(std::string_view name) const = 0;
    // 0 clears every attribute: the file becomes writable. True when the file now has them.
    virtual bool setAttributes(std::string_view name, std::uint32_t attributes) = 0;
    // Removes one file or link (never a link's target). True only when this call removed it.
    virtual bool remove(std::string_view name) = 0;
    // The files `names` are about to be removed, in this order: a host may make ready for it
    // meanwhile. Only a hint: remove() still decides each, and names left out are removed too.
    virtual void prepareRemoval(const std::vector<std::string>& names) { (void)names; }
    // Removes every plain file and link matching `masks`; the number removed.
    virtual int removeMatching(const MaskList& masks) = 0;
    // Removes the empty subfolder `name` (never a link). True when this call removed it.
    virtual bool removeFolder(std::string_view name) = 0;

    // The subfolder `name` when it is a real folder on this folder's mount: nothing for a
    // link, a mount point, a file or a name that is not there.
    virtual std::unique_ptr<Folder> openSubfolder(std::string_view name, NameMatch match = NameMatch::Exact) const = 0;

    // Walks this folder and every subfolder below it, depth first, subfolders in name order.
    // Never enters a link or another mount; a subfolder that cannot be opened or read is
    // passed over (with an Unreadable visit when the host refused it), and so is the rest of
    // a folder moved away while the walk was below it (it and the folders it led to get no
    // Leave). `files` selects the files each Leave hands over (nullptr: none). False when the
    // callback stopped the walk. `path` is the text the root's visits carry.
    virtual bool walk(const std::string& path, const MaskList* files, const WalkCallback& callback) = 0;

    // Watches this folder's entries; nothing when the host cannot watch it.
    virtual std::unique_ptr<FolderWatch> watch() const { return nullptr; }

    // Whether only an entry's owner may remove or rename it here, as in a folder every user
    // shares (the sticky bit); false where the host has no such mark.
    virtual bool ownersOnly() const { return false; }
};

// Where the desktop keeps the user's trash, besides the drives' recycle bins. Each trash
// folder holds "files" (the trashed entries) and "info" (one "<name>.trashinfo" record each).
struct DesktopTrash {
    // The user's own trash folders in drive form ("C:\home\ann\.local\share\Trash"); one
    // that lies on no drive is left out.
    std::vector<std::string> folders;
    // The user's name in a drive root's trash folders: ".Trash-<user>", and "<user>" inside
    // ".Trash" when that is a real folder marked owners-only. Empty: a drive root holds none.
    std::string user;
};

// How a host's own text files are written: what its editors read without being told.
enum class TextEncoding { Utf8, Windows1251 };

// Paths are Windows paths ("C:\WINDOWS\TEMP"); a relative path is taken against the current
// folder of the current drive, "X:name" against drive X's current folder. Every operation
// reports failure as a result, never by throwing. Listings come in name order without
// regard to case, as an NTFS volume gives them. A path's components are found without
// regard to case (they are typed or stored); names that came from a listing are acted on
// through a Folder.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    virtual std::vector<DriveInfo> drives() const = 0;
    virtual bool driveReady(char letter) const = 0;
    // Why the drive cannot be used now; nothing when it can.
    virtual std::optional<DriveError> driveError(char letter) const = 0;

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

    // Opens the folder a path names. Links on the way and at its end are followed: a folder
    // the user opened is worked on as the folder it is. Nothing when it cannot be opened.
    virtual std::unique_ptr<Folder> openFolder(std::string_view path) const = 0;
    // The folder that was listed, when its path still leads to it; nothing when it has
    // gone or the path now leads to another folder.
    std::unique_ptr<Folder> openListed(const ListedFolder& listed) const;

    std::optional<std::vector<DirEntry>> listFolders(std::string_view path, const ListOptions& = {}) const;
    std::optional<std::vector<DirEntry>> listFiles(std::string_view path, const ListOptions& = {}) const;
    std::optional<std::vector<DirEntry>> listEntries(std::string_view path) const;

    virtual std::optional<std::int64_t> fileSize(std::string_view path) const = 0;
    virtual std::optional<std::uint32_t> attributes(std::string_view path) const = 0;

    // Copies a plain file (never a FIFO, socket or device), replacing the destination.
    virtual bool copyFile(std::string_view from, std::string_view to) = 0;
    // Appends bytes to a plain file, creating it when absent.
    virtual bool appendFile(std::string_view path, std::string_view bytes) = 0;
    virtual std::optional<std::string> readFile(std::string_view path) const = 0;
    // The encoding of the host's text files, for a document the user may open elsewhere.
    virtual TextEncoding textEncoding() const = 0;

    // The host path a drive path stands for, for handing to other programs.
    virtual std::optional<std::string> hostPath(std::string_view path) const = 0;

    // Watches one folder's entries; nothing when the host cannot watch it.
    std::unique_ptr<FolderWatch> watch(std::string_view folder) const;

    // The desktop's trash of the user, found through `env` (the host's variables as the
    // program sees them); a host without one (Windows) gives none.
    virtual DesktopTrash desktopTrash(const Environment& env) const
    {
        (void)env;
        return {};
    }
};

// Sorts entries in the order an NTFS volume lists them (text::compareNoCase), each name
// upper-cased once rather than at every comparison. Every host's listings come so.
void sortByName(std::vector<DirEntry>& entries);

// Path helpers shared by every part of the program.
namespace path {
// Folder + "\" + name, without a second "\" after a drive root ("C:\").
std::string join(std::string_view folder, std::string_view name);
// "C:\A\B" -> "C:\A"; "C:\A" -> "C:\"; a root stays.
std::string parent(std::string_view path);
bool isRoot(std::string_view path);
// The drive letter, in lower case, that a text begins with ("C:\", "c: [label]", "d:");
// 0 when it begins with no letter.
char driveLetter(std::string_view text);
} // namespace path

} // namespace velmora

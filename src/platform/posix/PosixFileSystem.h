#pragma once
// The host's file system seen through a drive map: each drive letter stands for a host folder.
#include "platform/FileSystem.h"
#include "platform/WindowsPath.h"
#include "platform/posix/MountTable.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

namespace posixhost {
class FolderMemo;
}

// Behaviour a caller can rely on, beyond the FileSystem contract:
// - Every component of a path is matched on the host exactly first, then without regard to
//   case (text::equalNoCase); a component that does not exist keeps its spelling. Names a
//   Folder is given are only ever taken exactly.
// - Host names cross into the program's name space by posixhost::toProgramName: a name
//   holding "\", ":" or any other character no Windows name can hold is one name, never a
//   path. A name that is not valid UTF-8 is listed, matched and deleted intact.
// - Size and time of a symbolic link are the link's own (what deleting it frees).
//   Devices, pipes and sockets are never listed, opened nor deleted.
// - As on Windows, Folder::remove leaves a read-only file (no owner write bit) in place, and
//   copyFile does not replace one: clear its attributes first.
// - A Folder's subfolders are opened relative to it, never through a link and never into
//   another mount (compared by mount, so bind mounts count), and a walk goes on so.
// - Nothing is cached but what provably has not changed since it was read (a listing of
//   names without details, a big folder's names for a look-up without regard to case; see
//   posixhost::FolderMemo): everything else is read from the host afresh.
class PosixFileSystem : public FileSystem {
public:
    // One drive: its letter and the host folder it stands for. A drive that stands for a
    // mounted volume is ready only while its folder is the root of a mount of that very volume
    // (device, file system, the volume's folder mounted, UUID where known): once the medium is
    // unmounted, the bare mount point, no folder at all, or anything else mounted in its place
    // is "Disk not ready" and nothing on it opens.
    struct Drive {
        char letter = 'c';
        std::string folder;
        std::optional<posixhost::Volume> volume;
        std::string label; // the volume's label; "" shows the folder
    };

    // Where the machine's volumes are read from: the kernel's list of mounts and udev's names.
    struct VolumeSources {
        std::string mountTable = "/proc/self/mountinfo";
        std::string byUuid = posixhost::kVolumesByUuid;
        std::string byLabel = posixhost::kVolumesByLabel;
    };

    // `driveMap` maps letters to host folders: "c:=/;d:=/media/usb". Entries that cannot be
    // read are ignored; with none left the map is "c:=/". A relative host folder is taken
    // against the process's working directory at construction.
    explicit PosixFileSystem(std::string driveMap);
    // The drives listed; a letter given twice takes its last folder, and with none the map is "c:=/".
    explicit PosixFileSystem(const std::vector<Drive>& drives);
    // The drives of drivesFromEnvironment, and with VELMORA_DRIVES unset the machine's volumes
    // followed as they come and go: drives() looks whether the kernel's list of mounts changed
    // (one poll) and only then reads it again. A volume still mounted keeps its letter; one
    // that went loses it (its letter is then "Device unavailable", and a current drive stays
    // the current one); one newly mounted takes the first letter that is free and no departed
    // volume's, or the letter it had when it comes back (the same UUID, else the same device),
    // if that is free.
    explicit PosixFileSystem(const VolumeSources& sources);
    ~PosixFileSystem() override;
    PosixFileSystem(const PosixFileSystem&) = delete;
    PosixFileSystem& operator=(const PosixFileSystem&) = delete;

    // A drive map text as VELMORA_DRIVES holds it, read as the string constructor reads it.
    static std::vector<Drive> parseDriveMap(std::string_view driveMap);
    // The drives of VELMORA_DRIVES when it is set and not empty. Otherwise c: for "/" and then,
    // from d: on, each local disk volume of `mountTable` (the kernel's list of mounts, in the
    // format of /proc/self/mountinfo; posixhost::volumeMounts tells which) in its order, as that
    // volume (its UUID looked up in `byUuid`) with its label (posixhost::labelOf, c: the label
    // of the volume at "/"); the letters run out at z:. a: and b: are never given: the scans
    // pass them over as floppies.
    static std::vector<Drive> drivesFromEnvironment(const char* mountTable = "/proc/self/mountinfo",
                                                    const char* byUuid = posixhost::kVolumesByUuid,
                                                    const char* byLabel = posixhost::kVolumesByLabel);

    // The drive form of a host path by the drives mapped now ("C:\tmp"); nothing when no drive
    // holds it. The longest drive folder holding it wins.
    std::optional<std::string> driveForm(std::string_view host) const;

    // Each drive as "d: [label]": a volume's label, else its host folder.
    std::vector<DriveInfo> drives() const override;
    bool driveReady(char letter) const override;
    // A letter no drive maps, or whose folder is missing: "Device unavailable" (68); a folder
    // that cannot be entered: "Path/access file error" (75); any other failure to open it
    // (not a folder, an I/O error, a medium gone): "Disk not ready" (71).
    std::optional<DriveError> driveError(char letter) const override;

    char currentDrive() const override;
    bool setCurrentDrive(char letter) override;
    // The drive's current folder; for a letter no drive maps, its root; "" for a non-letter.
    std::string currentFolder(char letter) const override;
    bool setCurrentFolder(std::string_view path) override;
    // "" when `path` is empty, contains a NUL byte, is a network path ("\\server\share",
    // "\\?\unix\...") or is relative while the working folder lies on no drive.
    std::string absolute(std::string_view path) const override;

    bool folderExists(std::string_view path) const override;
    // True when the folder can be listed and entered.
    bool canEnter(std::string_view path) const override;

    // While the process's working folder lies on no drive (it was started outside them),
    // a relative path is taken against that folder, until a current folder is set.
    std::unique_ptr<Folder> openFolder(std::string_view path) const override;

    // 0 for a folder.
    std::optional<std::int64_t> fileSize(std::string_view path) const override;
    std::optional<std::uint32_t> attributes(std::string_view path) const override;

    // Replaces the destination at once (written aside, then renamed over it), keeping the
    // source's permissions and modification time. False when the destination folder is missing.
    bool copyFile(std::string_view from, std::string_view to) override;
    // Creates the file with mode 0644 (less the umask).
    bool appendFile(std::string_view path, std::string_view bytes) override;
    std::optional<std::string> readFile(std::string_view path) const override;
    // Linux editors read UTF-8.
    TextEncoding textEncoding() const override { return TextEncoding::Utf8; }

    // Existing components in their host spelling, missing ones as given.
    std::optional<std::string> hostPath(std::string_view path) const override;

    // $XDG_DATA_HOME/Trash (else $HOME/.local/share/Trash, both read from `env`) when a drive
    // covers it; the user is the process's uid.
    DesktopTrash desktopTrash(const Environment& env) const override;

private:
    // A path made absolute: its drive (0 = a; -1 relative to a working folder on no drive)
    // and cleaned components.
    using Parsed = winpath::AbsolutePath;
    struct Located;
    struct Machine;

    void setUp(const std::vector<Drive>& drives);
    // Gives and takes back letters when the kernel's list of mounts changed since last looked at.
    void followMounts() const;

    std::optional<Parsed> parse(std::string_view path) const;
    // The folder holding the path's last component, links on the way followed.
    std::optional<Located> locate(const Parsed& p) const;
    std::optional<Located> locate(std::string_view path) const;
    // The drive's host folder while it can be used: "" when no drive maps the letter, or when a
    // volume's folder is not the root of a mount of that volume.
    const std::string& presentRoot(int drive) const;
    // Whether the mount root open on `fd` is the drive's volume.
    bool holdsVolume(int drive, int fd) const;

    // The host name matching a program name without regard to case, in the folder open on
    // `dirFd` (posixhost::findNoCase, answered from the memo where it can be).
    std::optional<std::string> findNoCase(int dirFd, std::string_view name) const;

    // Shared with every folder this file system opens, which may outlive it.
    std::shared_ptr<posixhost::FolderMemo> m_memo;
    // The machine's volumes followed; none for a fixed map.
    std::unique_ptr<Machine> m_machine;
    // The drive map is the machine's: it changes as volumes come and go, whoever asks.
    mutable std::array<std::string, 26> m_roots;                        // host folder per drive; empty when unmapped
    mutable std::array<std::optional<posixhost::Volume>, 26> m_volumes; // the volume a drive stands for
    mutable std::array<std::string, 26> m_labels;                       // its label; "" shows the folder
    // The mount last found to be the drive's volume: looked up again only when another is there.
    mutable std::array<std::optional<posixhost::MountOf>, 26> m_provenMounts;
    mutable winpath::CurrentFolders m_folders; // each drive's current folder, and the current drive
    bool m_workingFolderOffDrive = false;
};

} // namespace velmora

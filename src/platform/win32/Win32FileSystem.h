#pragma once
// The machine's drives, or a drive map of host folders, as the program's file system.
#include "platform/FileSystem.h"
#include "platform/WindowsPath.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Behaviour a caller can rely on, beyond the FileSystem contract:
// - Without a drive map, the drives are the machine's own (GetLogicalDriveStringsW), each
//   labelled with its volume label (a network drive with its share), and a drive with no
//   medium is not ready; no system box ever asks for a disk. With a map
//   ("d:=C:\some\folder;e:=\\server\share"), only the mapped letters exist, each standing for
//   its host folder and labelled with it, as on the Linux host.
// - Every call goes through the wide (W) functions; names are UTF-8 in the program, UTF-16
//   on the host, a surrogate without its pair carried through (win32::narrow).
// - A Folder holds its folder's handle open and acts on entries relative to it (never through
//   a path), opening each entry itself, never a link's target: a link or junction is removed
//   itself, and no subfolder that is a link, a junction or a mount point is ever entered.
//   A name given to a Folder is acted on only when an entry of exactly that name (case
//   included) is there.
// - As on any Windows volume, Folder::remove leaves a read-only file in place and copyFile
//   does not replace one: clear its attributes first.
// - Nothing is cached: every call reads the host afresh.
class Win32FileSystem : public FileSystem {
public:
    // `driveMap`: "" for the machine's own drives, or letters mapped to host folders. Entries
    // that cannot be read are ignored; a relative host folder is taken against the working
    // folder at construction.
    explicit Win32FileSystem(std::string driveMap = {});

    // The value of VELMORA_DRIVES, or "" when it is unset.
    static std::string drivesFromEnvironment();

    // True when a drive map is in force.
    bool mapped() const { return m_mapped; }
    // The drive form ("D:\x") of a host path under a mapped folder, the longest one that
    // covers it; nothing when none does. Without a map, the path itself when it starts with a
    // drive letter.
    std::optional<std::string> driveForm(std::string_view hostPath) const;

    std::vector<DriveInfo> drives() const override;
    bool driveReady(char letter) const override;
    // A letter no drive has, or a mapped folder that is missing: "Device unavailable" (68); a
    // folder that may not be entered: "Path/access file error" (75); anything else (no
    // medium, an I/O error): "Disk not ready" (71).
    std::optional<DriveError> driveError(char letter) const override;

    char currentDrive() const override;
    bool setCurrentDrive(char letter) override;
    std::string currentFolder(char letter) const override;
    bool setCurrentFolder(std::string_view path) override;
    // "" when `path` is empty, contains a NUL character or is a network path ("\\server\share").
    std::string absolute(std::string_view path) const override;

    bool folderExists(std::string_view path) const override;
    bool canEnter(std::string_view path) const override;
    std::unique_ptr<Folder> openFolder(std::string_view path) const override;

    std::optional<std::int64_t> fileSize(std::string_view path) const override;
    std::optional<std::uint32_t> attributes(std::string_view path) const override;

    // Replaces the destination at once (written aside, then moved over it), keeping the
    // source's attributes and times. False when the destination folder is missing.
    bool copyFile(std::string_view from, std::string_view to) override;
    bool appendFile(std::string_view path, std::string_view bytes) override;
    std::optional<std::string> readFile(std::string_view path) const override;
    // The ANSI code page of the Russian Windows the program was written for.
    TextEncoding textEncoding() const override { return TextEncoding::Windows1251; }

    // The Windows path the drive path stands for ("C:\some\folder\x" for "D:\x" under
    // "d:=C:\some\folder"); without a map, the cleaned path itself.
    std::optional<std::string> hostPath(std::string_view path) const override;

private:
    using Parsed = winpath::AbsolutePath;

    std::optional<Parsed> parse(std::string_view path) const;
    // The host path of a parsed path, as the W functions take it ("\\?\" before long ones).
    std::optional<std::wstring> host(const Parsed& p) const;
    std::optional<std::wstring> host(std::string_view path) const;
    // The host folder a drive stands for ("C:\" without a map); "" when it has none.
    std::wstring root(int drive) const;

    bool m_mapped = false;
    std::array<std::wstring, 26> m_roots; // mapped host folder per drive; empty when unmapped
    winpath::CurrentFolders m_folders;    // each drive's current folder, and the current drive
};

} // namespace velmora

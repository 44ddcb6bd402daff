#pragma once
// The grammar of Windows paths, one home for every host: separators, drive letters, a path's
// parts with "." and ".." resolved, and the per-drive current folders that make a path absolute.
// Text only: nothing here looks at a disk.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::winpath {

// "\" or "/": Windows takes either.
bool isSeparator(char c);
// An ASCII letter, the only thing a drive is named by.
bool isLetter(char c);
// 0 for "a" or "A" up to 25 for "z" or "Z"; -1 for anything else.
int driveIndex(char letter);
// The root of a drive as the program spells one it names itself: "C:\" for drive 2.
std::string rootText(int drive);
// True when `p` begins with a drive: a letter and a colon ("C:", "c:x", "C:\x").
bool hasDrive(std::string_view p);
// True when `p` names its drive and starts at that drive's root ("C:\x", "c:/"). A bare "C:"
// is not one: it stands for the drive's current folder.
bool isDrivePath(std::string_view p);
// True when `p` begins with two separators: a network path ("\\server\share") or a device
// path ("\\?\unix\tmp"), which names no drive.
bool isNetworkPath(std::string_view p);
// Length of the head of `p` that a parent never goes above: "C:\" 3, "C:" 2, "\" 1, else 0.
std::size_t rootLength(std::string_view p);
// Appends the parts of `s` to `parts`: separators of either kind, one or many, divide them;
// "." is dropped and ".." takes back the part before it, never going above the first.
void appendParts(std::vector<std::string>& parts, std::string_view s);

// A path made absolute: its drive and its parts, "." and ".." resolved.
struct AbsolutePath {
    int drive = 0;      // 0 = a; -1 = a host's working folder that lies on no drive
    std::string prefix; // the drive as spelled: "C:" or "c:"
    std::vector<std::string> parts;
    // "C:\A\B", the root "C:\" when there are no parts; "" on no drive.
    std::string text() const;
};

// Each drive's current folder, in drive form, and the current drive: what a path without a
// drive, or without a root after its drive, is taken against, as on Windows.
class CurrentFolders {
public:
    // Every drive at its root, C: current.
    CurrentFolders();

    // The current drive, 0 = a.
    int drive() const { return m_drive; }
    // `drive` must be 0..25.
    void setDrive(int drive) { m_drive = drive; }
    // The current folder of drive `drive` (0..25), as it was set.
    const std::string& folder(int drive) const { return m_folders[static_cast<std::size_t>(drive)]; }
    // The same by letter; "" for a character that is no drive letter.
    std::string folder(char letter) const;
    // Sets drive `drive`'s (0..25) current folder; `folder` is taken as it is, in drive form.
    void setFolder(int drive, std::string folder) { m_folders[static_cast<std::size_t>(drive)] = std::move(folder); }

    // `path` made absolute: "C:\x" by itself, "\x" on the current drive, "C:x" against C:'s
    // current folder, "x" against the current drive's. A drive keeps the spelling the path (or
    // its current folder) gave it. Nothing for "", a path holding a NUL, or a network path
    // ("\\server\share", "\\?\...").
    std::optional<AbsolutePath> absolute(std::string_view path) const;

private:
    std::array<std::string, 26> m_folders;
    int m_drive = 2;
};

} // namespace velmora::winpath

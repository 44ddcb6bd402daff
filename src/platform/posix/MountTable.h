#pragma once
// The kernel's list of mounts, and which of them are Windows volumes (internal to the POSIX host).
#include <string>
#include <string_view>
#include <vector>

namespace velmora::posixhost {

// One mount as /proc/self/mountinfo lists it.
struct MountEntry {
    std::string point;  // where it is mounted: a host path, its octal escapes ("\040") decoded
    std::string type;   // "vfat", "ntfs3", "fuseblk", "fuse.sshfs", ...
    std::string source; // the device or what stands for it, decoded as well
};

// Every mount of a text in the format of /proc/self/mountinfo, in its order; a line that is
// not such a mount is skipped.
std::vector<MountEntry> parseMountInfo(std::string_view text);

// True for the file systems Windows volumes are mounted with: FAT ("vfat", "msdos"), exFAT and
// NTFS ("ntfs", "ntfs3"), the kernel's own or through FUSE. A FUSE mount of a block device shows
// only "fuseblk" unless it named a subtype; the programs that mount disks so are ntfs-3g and
// exfat-fuse, so a bare "fuseblk" counts, and one with a subtype counts for those two.
bool isWindowsVolume(const MountEntry& mount);

} // namespace velmora::posixhost

#pragma once
// The kernel's list of mounts, which of them are Windows volumes, and whether a volume is still
// the one a drive letter was given to (internal to the POSIX host).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::posixhost {

// One mount as /proc/self/mountinfo lists it.
struct MountEntry {
    std::string point;        // where it is mounted: a host path, its octal escapes ("\040") decoded
    std::string type;         // "vfat", "ntfs3", "fuseblk", "fuse.sshfs", ...
    std::string source;       // the device or what stands for it, decoded as well
    std::uint64_t id = 0;     // the mount's number, as statx tells it of a folder on it
    std::uint64_t device = 0; // the file system's device (major and minor, as makedev joins them)
    std::string root;         // the folder of that file system mounted there: "/" for all of it
};

// A mounted volume as it was when its drive letter was given: what must still be mounted at the
// letter's folder for the letter to open it.
struct Volume {
    std::uint64_t device = 0;
    std::uint64_t medium = 0; // the block device holding it; 0 when none
    std::string root;
    std::string type;
    std::string uuid; // its file system's UUID as udev names it; "" where none is known
};

// Where udev names each block device's file system by its UUID.
inline constexpr const char* kVolumesByUuid = "/dev/disk/by-uuid";

// The volume `mount` is, its UUID looked up in `byUuid`.
Volume volumeOf(const MountEntry& mount, const char* byUuid = kVolumesByUuid);

// True when `mount` is still `volume`: the same file system type, folder of it and block device
// (a volume on none, the same device number: a FUSE volume gets a new one at every mount, but
// its block device stays), and the same UUID where it had one, so that another medium in the
// same slot is not taken for it.
bool isVolume(const MountEntry& mount, const Volume& volume, const char* byUuid = kVolumesByUuid);

// The mount the folder open on `fd` lies on: its number and device; nothing when the host
// cannot tell.
struct MountOf {
    std::uint64_t id = 0;
    std::uint64_t device = 0;
    bool operator==(const MountOf&) const = default;
};
std::optional<MountOf> mountOf(int fd);

// Every mount of a text in the format of /proc/self/mountinfo, in its order; a line that is
// not such a mount is skipped.
std::vector<MountEntry> parseMountInfo(std::string_view text);

// True for the file systems Windows volumes are mounted with: FAT ("vfat", "msdos"), exFAT and
// NTFS ("ntfs", "ntfs3"), the kernel's own or through FUSE. A FUSE mount of a block device shows
// only "fuseblk" unless it named a subtype; the programs that mount disks so are ntfs-3g and
// exfat-fuse, so a bare "fuseblk" counts, and one with a subtype counts for those two.
bool isWindowsVolume(const MountEntry& mount);

} // namespace velmora::posixhost

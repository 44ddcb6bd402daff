#pragma once
// The kernel's list of mounts, which of them are volumes of their own, their labels, and whether
// a volume is still the one a drive letter was given to (internal to the POSIX host).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
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

// Where udev names each block device's file system by its UUID, and by its label.
inline constexpr const char* kVolumesByUuid = "/dev/disk/by-uuid";
inline constexpr const char* kVolumesByLabel = "/dev/disk/by-label";

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

// True for a local disk file system: a Windows one (isWindowsVolume), a known disk file system
// (ext2/3/4, btrfs, xfs, f2fs, jfs, reiserfs, nilfs2, bcachefs, zfs, hfsplus, udf, iso9660, ...;
// several of them show no block device in the table), or any other kernel file system on a
// block device, except the read-only images software comes in (squashfs, erofs, cramfs).
// Pseudo, memory and network file systems have no block device: none of them counts, nor does
// any other FUSE file system.
bool isDiskVolume(const MountEntry& mount);

// The mounts of `mounts` (the kernel's table, in its order) that each get a drive letter, as
// indexes in the table's order: disk volumes (isDiskVolume) other than the one at "/", each
// point once (in the place it is first listed, for the mount listed last there: the one on
// top), whose point is no file, and never a file system's folder when the same file system is
// mounted elsewhere with a folder holding it (a bind mount, the volume mounted twice; the
// mount at "/" counts): a btrfs subvolume ("/@home") is a volume of its own, a subfolder of a
// volume already given is not.
std::vector<std::size_t> volumeMounts(const std::vector<MountEntry>& mounts);

// The label of the volume `mount` is (its block device `volume.medium`): udev's name for it in
// `byLabel` (escapes such as "\x20" decoded), else the file system's own label read through its
// mounted root (FS_IOC_GETFSLABEL: ext4, btrfs, xfs, f2fs, ...), else for FAT the boot sector and
// root folder read from the block device when the user may read it. "" when it has none, none
// can be read, or it is no UTF-8 text.
std::string labelOf(const MountEntry& mount, const Volume& volume, const char* byLabel = kVolumesByLabel);

// The label of a FAT file system from its first bytes: the volume entry of its root folder
// (`rootFolder`, read from where `bootSector` says it lies) or else the boot sector's own; ""
// for "NO NAME" and for none. Bytes beyond ASCII are read as code page 866's letters.
std::string fatLabel(std::string_view bootSector, std::string_view rootFolder);
// Where a FAT file system's root folder starts and how many bytes of it hold its first
// entries, as its boot sector says; nothing when `bootSector` is no FAT boot sector.
std::optional<std::pair<std::uint64_t, std::uint32_t>> fatRootFolder(std::string_view bootSector);

} // namespace velmora::posixhost

#include "platform/posix/MountTable.h"

#include "platform/Text.h"
#include "platform/Utf8.h"
#include "platform/posix/Fd.h"
#include "platform/posix/PosixHost.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <system_error>

namespace velmora::posixhost {

namespace {

bool isOctal(char c) { return c >= '0' && c <= '7'; }

// The kernel writes a blank, tab, newline and backslash of a path as "\040", "\011", "\012", "\134".
std::string decodeField(std::string_view field)
{
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) && isOctal(field[i + 2]) &&
            isOctal(field[i + 3])) {
            out += static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) | (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

template <class Number> bool parsed(std::string_view text, Number& n)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
    return error == std::errc() && end == text.data() + text.size();
}

// The block device holding a mount's file system: its own device, or for a FUSE mount (whose
// device is a number of its own) the device it was mounted from; 0 when there is none.
std::uint64_t blockDevice(const MountEntry& mount)
{
    if (major(mount.device) != 0) return mount.device;
    struct stat st {};
    if (!mount.source.empty() && mount.source.front() == '/' && ::stat(mount.source.c_str(), &st) == 0 &&
        S_ISBLK(st.st_mode))
        return st.st_rdev;
    return 0;
}

// The name udev's folder `byName` gives the block device `device`; "" when it names none.
std::string udevName(std::uint64_t device, const char* byName)
{
    if (device == 0) return {};
    const int fd = ::open(byName, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return {};
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return {};
    }
    std::string found;
    while (const dirent* e = ::readdir(dir)) {
        struct stat st {};
        if (e->d_name[0] != '.' && ::fstatat(fd, e->d_name, &st, 0) == 0 && S_ISBLK(st.st_mode) &&
            st.st_rdev == device) {
            found = e->d_name;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

std::string uuidOf(std::uint64_t device, const char* byUuid) { return udevName(device, byUuid); }

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// udev writes a blank, a "/" and other unsafe bytes of a label as "\x20", "\x2f".
std::string decodeUdev(std::string_view name)
{
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' && hexDigit(name[i + 2]) >= 0 &&
            hexDigit(name[i + 3]) >= 0) {
            out += static_cast<char>(hexDigit(name[i + 2]) * 16 + hexDigit(name[i + 3]));
            i += 3;
        } else {
            out += name[i];
        }
    }
    return out;
}

// The label the file system mounted by `mount` tells of itself, asked through its root; "" when
// it cannot tell or something else is mounted over it.
std::string mountedLabel(const MountEntry& mount)
{
#ifdef FS_IOC_GETFSLABEL
    const Fd fd(::open(mount.point.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd) return {};
    const auto on = mountOf(fd.get());
    if (!on || on->id != mount.id) return {};
    char label[FSLABEL_MAX + 1] = {};
    if (::ioctl(fd.get(), FS_IOC_GETFSLABEL, label) != 0) return {};
    label[FSLABEL_MAX] = '\0';
    return label;
#else
    (void)mount;
    return {};
#endif
}

std::uint32_t littleEndian(std::string_view bytes, std::size_t at, std::size_t size)
{
    std::uint32_t n = 0;
    for (std::size_t i = size; i-- > 0;) n = (n << 8) | static_cast<unsigned char>(bytes[at + i]);
    return n;
}

// An 11-byte FAT name as text: blanks at its end dropped, bytes beyond ASCII read as code page
// 866 (the Russian OEM page Windows writes them in); "" for a control byte or "NO NAME".
std::string fatName(std::string_view name)
{
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    if (name == "NO NAME") return {};
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        auto b = static_cast<unsigned char>(name[i]);
        if (i == 0 && b == 0x05) b = 0xE5; // a first byte 0xE5 is stored so, as 0xE5 marks a deleted entry
        char32_t cp = b;
        if (b < 0x20 || b == 0x7F) return {};
        if (b >= 0x80 && b <= 0xAF)
            cp = 0x0410 + (b - 0x80);
        else if (b >= 0xE0 && b <= 0xEF)
            cp = 0x0440 + (b - 0xE0);
        else if (b == 0xF0)
            cp = 0x0401;
        else if (b == 0xF1)
            cp = 0x0451;
        else if (b >= 0x80)
            cp = U'_';
        out += utf8::text(cp);
    }
    return out;
}

// The label in the FAT boot sector and root folder of the block device `medium` mounted from
// `source`; "" when it is none or the user may not read it.
std::string deviceFatLabel(const std::string& source, std::uint64_t medium)
{
    if (medium == 0 || source.empty() || source.front() != '/') return {};
    const Fd device(::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!device || ::fstat(device.get(), &st) != 0 || !S_ISBLK(st.st_mode) || st.st_rdev != medium) return {};
    std::string boot(512, '\0');
    if (::pread(device.get(), boot.data(), boot.size(), 0) != static_cast<ssize_t>(boot.size())) return {};
    const auto where = fatRootFolder(boot);
    if (!where) return {};
    std::string root(where->second, '\0');
    const ssize_t n = ::pread(device.get(), root.data(), root.size(), static_cast<off_t>(where->first));
    root.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return fatLabel(boot, root);
}

std::vector<std::string_view> fieldsOf(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ') ++i;
        std::size_t j = i;
        while (j < line.size() && line[j] != ' ') ++j;
        if (j > i) fields.push_back(line.substr(i, j - i));
        i = j;
    }
    return fields;
}

} // namespace

std::vector<MountEntry> parseMountInfo(std::string_view text)
{
    std::vector<MountEntry> mounts;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const auto fields = fieldsOf(text.substr(start, end - start));
        start = end + 1;
        // ID PARENT MAJOR:MINOR ROOT POINT OPTIONS [OPTIONAL...] - TYPE SOURCE SUPER-OPTIONS
        if (fields.size() < 6) continue;
        const auto dash = std::find(fields.begin() + 6, fields.end(), "-");
        if (fields.end() - dash < 3) continue;
        MountEntry mount;
        mount.point = decodeField(fields[4]);
        mount.type = decodeField(dash[1]);
        mount.source = decodeField(dash[2]);
        if (mount.point.empty() || mount.point.front() != '/') continue;
        const std::string_view number = fields[2];
        const std::size_t colon = number.find(':');
        unsigned major = 0, minor = 0;
        if (colon == std::string_view::npos || !parsed(number.substr(0, colon), major) ||
            !parsed(number.substr(colon + 1), minor) || !parsed(fields[0], mount.id))
            continue;
        mount.device = makedev(major, minor);
        mount.root = decodeField(fields[3]);
        mounts.push_back(std::move(mount));
    }
    return mounts;
}

bool isWindowsVolume(const MountEntry& mount)
{
    static constexpr std::array<std::string_view, 6> Kernel = {"vfat", "msdos", "exfat", "ntfs", "ntfs3", "fuseblk"};
    static constexpr std::array<std::string_view, 3> FuseSubtypes = {"ntfs-3g", "ntfs", "exfat"};
    const std::string_view type = mount.type;
    if (std::find(Kernel.begin(), Kernel.end(), type) != Kernel.end()) return true;
    for (std::string_view fuse : {std::string_view("fuseblk."), std::string_view("fuse.")}) {
        if (type.starts_with(fuse)) {
            const std::string_view subtype = type.substr(fuse.size());
            return std::find(FuseSubtypes.begin(), FuseSubtypes.end(), subtype) != FuseSubtypes.end();
        }
    }
    return false;
}

bool isDiskVolume(const MountEntry& mount)
{
    static constexpr std::array<std::string_view, 23> Disk = {
        "ext2",    "ext3",   "ext4",     "btrfs", "xfs",  "f2fs",    "jfs",  "reiserfs",
        "reiser4", "nilfs2", "bcachefs", "zfs",   "hfs",  "hfsplus", "apfs", "ufs",
        "minix",   "udf",    "iso9660",  "ocfs2", "gfs2", "jffs2",   "ubifs"};
    static constexpr std::array<std::string_view, 4> Images = {"squashfs", "erofs", "cramfs", "romfs"};
    const std::string_view type = mount.type;
    if (isWindowsVolume(mount) || std::find(Disk.begin(), Disk.end(), type) != Disk.end()) return true;
    if (std::find(Images.begin(), Images.end(), type) != Images.end() || type.starts_with("fuse")) return false;
    // A file system of the kernel on a block device has that device's number; pseudo, memory and
    // network ones get a number of major 0.
    return major(mount.device) != 0;
}

std::vector<std::size_t> volumeMounts(const std::vector<MountEntry>& mounts)
{
    std::vector<std::string> points;
    std::vector<std::size_t> candidates; // per point, the disk volume listed last there
    const MountEntry* top = nullptr;     // what "/" shows, c:
    for (std::size_t i = 0; i < mounts.size(); ++i) {
        std::string point = normalize(mounts[i].point);
        if (point == "/") {
            top = &mounts[i];
            continue;
        }
        if (!isDiskVolume(mounts[i])) continue;
        const auto at = std::find(points.begin(), points.end(), point);
        if (at != points.end()) {
            candidates[static_cast<std::size_t>(at - points.begin())] = i;
        } else {
            points.push_back(std::move(point));
            candidates.push_back(i);
        }
    }
    // `above` is `below` or a folder holding it, in the same file system.
    auto holds = [](const std::string& above, const std::string& below) {
        return above == "/" || below == above ||
               (below.size() > above.size() && below.starts_with(above) && below[above.size()] == '/');
    };
    std::vector<std::size_t> out;
    for (std::size_t k = 0; k < candidates.size(); ++k) {
        const MountEntry& m = mounts[candidates[k]];
        // Given already when the same file system shows this folder or one holding it at "/" or
        // elsewhere: at a folder above, or at the same folder listed before.
        auto gives = [&](const MountEntry& other, bool before) {
            return other.device == m.device && holds(other.root, m.root) && (before || other.root != m.root);
        };
        bool given = top && gives(*top, true);
        for (std::size_t j = 0; j < candidates.size() && !given; ++j)
            given = j != k && gives(mounts[candidates[j]], j < k);
        if (given) continue;
        // A file bind-mounted over a file (/etc/hosts in a container) holds no folders.
        struct stat st {};
        if (::fstatat(AT_FDCWD, points[k].c_str(), &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) == 0 &&
            !S_ISDIR(st.st_mode))
            continue;
        out.push_back(candidates[k]);
    }
    return out;
}

std::string labelOf(const MountEntry& mount, const Volume& volume, const char* byLabel)
{
    std::string label = decodeUdev(udevName(volume.medium, byLabel));
    if (label.empty()) label = mountedLabel(mount);
    if (label.empty() && (mount.type == "vfat" || mount.type == "msdos"))
        label = deviceFatLabel(mount.source, volume.medium);
    const bool plain = std::none_of(label.begin(), label.end(),
                                    [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
    return plain && text::isValidUtf8(label) ? label : std::string();
}

std::optional<std::pair<std::uint64_t, std::uint32_t>> fatRootFolder(std::string_view boot)
{
    if (boot.size() < 512 || static_cast<unsigned char>(boot[510]) != 0x55 ||
        static_cast<unsigned char>(boot[511]) != 0xAA)
        return std::nullopt;
    const std::uint64_t sectorBytes = littleEndian(boot, 11, 2), clusterSectors = littleEndian(boot, 13, 1);
    const std::uint64_t reserved = littleEndian(boot, 14, 2), fats = littleEndian(boot, 16, 1);
    const std::uint32_t rootEntries = littleEndian(boot, 17, 2);
    const std::uint64_t fat16 = littleEndian(boot, 22, 2), fat32 = littleEndian(boot, 36, 4);
    const std::uint64_t rootCluster = littleEndian(boot, 44, 4);
    const auto power = [](std::uint64_t n) { return n != 0 && (n & (n - 1)) == 0; };
    if (sectorBytes < 512 || sectorBytes > 4096 || !power(sectorBytes) || !power(clusterSectors) || fats == 0 ||
        reserved == 0)
        return std::nullopt;
    // The label is one of the first entries: a cluster's worth is plenty.
    constexpr std::uint32_t Enough = 32 * 1024;
    if (rootEntries != 0) {
        if (fat16 == 0) return std::nullopt;
        return std::pair{(reserved + fats * fat16) * sectorBytes, std::min(rootEntries * 32u, Enough)};
    }
    if (fat32 == 0 || rootCluster < 2) return std::nullopt;
    const std::uint64_t start = (reserved + fats * fat32 + (rootCluster - 2) * clusterSectors) * sectorBytes;
    return std::pair{start, static_cast<std::uint32_t>(std::min<std::uint64_t>(clusterSectors * sectorBytes, Enough))};
}

std::string fatLabel(std::string_view boot, std::string_view root)
{
    for (std::size_t i = 0; i + 32 <= root.size(); i += 32) {
        const auto first = static_cast<unsigned char>(root[i]);
        const auto attributes = static_cast<unsigned char>(root[i + 11]);
        if (first == 0) break;
        if (first == 0xE5 || (attributes & 0x3F) == 0x0F) continue; // deleted, or a piece of a long name
        if ((attributes & 0x18) == 0x08) return fatName(root.substr(i, 11));
    }
    if (boot.size() < 512) return {};
    // Without an entry, the boot sector's copy: where it lies depends on FAT32 or not.
    const std::size_t signature = littleEndian(boot, 17, 2) != 0 ? 0x26 : 0x42;
    if (static_cast<unsigned char>(boot[signature]) != 0x29) return {};
    return fatName(boot.substr(signature + 5, 11));
}

Volume volumeOf(const MountEntry& mount, const char* byUuid)
{
    const std::uint64_t medium = blockDevice(mount);
    return {mount.device, medium, mount.root, mount.type, uuidOf(medium, byUuid)};
}

bool isVolume(const MountEntry& mount, const Volume& volume, const char* byUuid)
{
    if (mount.type != volume.type || mount.root != volume.root) return false;
    const std::uint64_t medium = blockDevice(mount);
    if (volume.medium != 0 ? medium != volume.medium : mount.device != volume.device) return false;
    return volume.uuid.empty() || uuidOf(medium, byUuid) == volume.uuid;
}

std::optional<MountOf> mountOf(int fd)
{
    struct statx sx {};
    if (::statx(fd, "", AT_EMPTY_PATH | AT_STATX_SYNC_AS_STAT, STATX_MNT_ID, &sx) != 0) return std::nullopt;
    MountOf m{sx.stx_mnt_id, makedev(sx.stx_dev_major, sx.stx_dev_minor)};
    if (sx.stx_mask & STATX_MNT_ID) return m;
    // Kernels before 5.8 tell the mount in /proc only.
    const std::string info = "/proc/self/fdinfo/" + std::to_string(fd);
    const Fd in(::open(info.c_str(), O_RDONLY | O_CLOEXEC));
    char buffer[512];
    const ssize_t n = in ? ::read(in.get(), buffer, sizeof buffer - 1) : -1;
    if (n <= 0) return std::nullopt;
    buffer[n] = '\0';
    const char* at = std::strstr(buffer, "mnt_id:");
    if (!at) return std::nullopt;
    at += 7;
    while (*at == ' ' || *at == '\t') ++at;
    const char* end = at;
    while (*end >= '0' && *end <= '9') ++end;
    if (!parsed(std::string_view(at, static_cast<std::size_t>(end - at)), m.id)) return std::nullopt;
    return m;
}

} // namespace velmora::posixhost

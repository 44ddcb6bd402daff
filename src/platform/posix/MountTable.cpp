#include "platform/posix/MountTable.h"

#include "platform/posix/Fd.h"

#include <dirent.h>
#include <fcntl.h>
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

// The name `byUuid` gives the block device `device`; "" when it names none.
std::string uuidOf(std::uint64_t device, const char* byUuid)
{
    if (device == 0) return {};
    const int fd = ::open(byUuid, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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

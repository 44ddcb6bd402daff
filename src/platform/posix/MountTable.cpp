#include "platform/posix/MountTable.h"

#include <algorithm>
#include <array>

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
        MountEntry mount{decodeField(fields[4]), decodeField(dash[1]), decodeField(dash[2])};
        if (mount.point.empty() || mount.point.front() != '/') continue;
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

} // namespace velmora::posixhost

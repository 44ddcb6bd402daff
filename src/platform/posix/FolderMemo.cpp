#include "platform/posix/FolderMemo.h"

#include "platform/Text.h"
#include "platform/Wildcard.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <iterator>
#include <utility>

namespace velmora::posixhost {

namespace {

// Linux 6.8 numbers each mount once from boot on; an older kernel gives a gone mount's
// number to the next.
#ifndef STATX_MNT_ID_UNIQUE
#define STATX_MNT_ID_UNIQUE 0x00004000U
#endif

std::int64_t nanoseconds(const statx_timestamp& t) { return t.tv_sec * 1'000'000'000 + t.tv_nsec; }

// File systems that keep folder times in nanoseconds and change them at every entry made,
// removed or renamed. Not FAT (two seconds), not network ones (times from elsewhere, cached).
bool timesFollowEntries(const struct statfs& sf)
{
    switch (static_cast<unsigned long>(sf.f_type)) {
    case 0xEF53UL:     // ext2, ext3, ext4
    case 0x58465342UL: // xfs
    case 0x9123683EUL: // btrfs
    case 0x01021994UL: // tmpfs
    case 0xF2F52010UL: // f2fs
        return true;
    default:
        return false;
    }
}

} // namespace

std::optional<FolderMemo::Look> FolderMemo::look(int dirFd) const
{
    constexpr unsigned needed = STATX_INO | STATX_MTIME | STATX_CTIME;
    constexpr unsigned mounts = STATX_MNT_ID | STATX_MNT_ID_UNIQUE;
    struct statx sx {};
    struct statfs sf {};
    if (::statx(dirFd, "", AT_EMPTY_PATH | AT_STATX_SYNC_AS_STAT, needed | mounts, &sx) != 0 ||
        (sx.stx_mask & needed) != needed || ::fstatfs(dirFd, &sf) != 0)
        return std::nullopt;
    // A volume mounted in place of another from the same device can hold a folder of the same
    // inode number and times (tools that make volumes from a folder tree copy times, or fix
    // them): its mount and its file system's id (made from its UUID) tell them apart.
    std::uint64_t fileSystem = 0;
    std::memcpy(&fileSystem, &sf.f_fsid, std::min(sizeof fileSystem, sizeof sf.f_fsid));
    Look l;
    l.stamp.device = (std::uint64_t{sx.stx_dev_major} << 32) | sx.stx_dev_minor;
    l.stamp.inode = sx.stx_ino;
    l.stamp.mount = (sx.stx_mask & mounts) ? sx.stx_mnt_id : 0;
    l.stamp.fileSystem = fileSystem;
    l.stamp.modified = nanoseconds(sx.stx_mtime);
    l.stamp.changed = nanoseconds(sx.stx_ctime);
    // A change made later gets a later time only once the clock has moved past these; the
    // grain covers the coarsest clock tick a kernel stamps files with.
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const std::int64_t age =
        std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec - std::max(l.stamp.modified, l.stamp.changed);
    // An encrypted folder lists other names once its key is added or removed, which changes
    // neither its times nor its inode.
    l.keepable = age > m_grain.count() && timesFollowEntries(sf) && (sx.stx_attributes & STATX_ATTR_ENCRYPTED) == 0;
    return l;
}

const std::vector<DirEntry>* FolderMemo::kept(int dirFd)
{
    const auto l = look(dirFd);
    if (!l) return nullptr;
    if (m_entries && m_entries->stamp == l->stamp) return &m_entries->list;
    if (!l->keepable) return nullptr;
    m_entries.reset();
    auto list = readFolder(dirFd, {.details = false});
    if (!list || std::any_of(list->begin(), list->end(), [](const DirEntry& e) { return e.isLink(); })) return nullptr;
    m_entries = Entries{l->stamp, std::move(*list)};
    return &m_entries->list;
}

std::optional<std::vector<DirEntry>> FolderMemo::subfolders(int dirFd)
{
    const auto* all = kept(dirFd);
    if (!all) return readFolder(dirFd, {.files = false, .details = false});
    std::vector<DirEntry> out;
    std::copy_if(all->begin(), all->end(), std::back_inserter(out), [](const DirEntry& e) { return e.isFolder(); });
    return out;
}

std::optional<std::vector<DirEntry>> FolderMemo::files(int dirFd, const MaskList* mask)
{
    const auto* all = kept(dirFd);
    if (!all) return readFolder(dirFd, {.folders = false, .details = false, .mask = mask});
    std::vector<DirEntry> out;
    std::copy_if(all->begin(), all->end(), std::back_inserter(out),
                 [mask](const DirEntry& e) { return !e.isFolder() && (!mask || mask->matches(e.name)); });
    return out;
}

std::optional<std::string> FolderMemo::findNoCase(int dirFd, std::string_view name)
{
    const auto l = look(dirFd);
    const auto answer = [&name](const NoCaseIndex& names) -> std::optional<std::string> {
        const auto found = names.find(text::noCaseKey(name));
        if (found == names.end()) return std::nullopt;
        return found->second;
    };
    if (l && m_index && m_index->stamp == l->stamp) return answer(m_index->names);
    if (!l || !l->keepable) return posixhost::findNoCase(dirFd, name);
    auto names = noCaseIndex(dirFd);
    if (!names) return std::nullopt;
    auto found = answer(*names);
    // A small folder is read again for less than keeping it costs, and must not push a
    // big one out: start-up asks after eight help files in the current folder, each time
    // with a look into the small help folder in between.
    constexpr std::size_t worthKeeping = 1000;
    if (names->size() >= worthKeeping) m_index = Index{l->stamp, std::move(*names)};
    return found;
}

} // namespace velmora::posixhost

#include "platform/posix/FolderMemo.h"

#include "platform/Text.h"

#include <sys/stat.h>
#include <sys/vfs.h>

#include <algorithm>
#include <ctime>
#include <utility>

namespace velmora::posixhost {

namespace {

std::int64_t nanoseconds(const timespec& t) { return std::int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec; }

// File systems that keep folder times in nanoseconds and change them at every entry made,
// removed or renamed. Not FAT (two seconds), not network ones (times from elsewhere, cached).
bool timesFollowEntries(int dirFd)
{
    struct statfs sf {};
    if (::fstatfs(dirFd, &sf) != 0) return false;
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

std::optional<FolderMemo::Look> FolderMemo::look(int dirFd)
{
    struct stat st {};
    if (::fstat(dirFd, &st) != 0) return std::nullopt;
    Look l;
    l.stamp = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), nanoseconds(st.st_mtim),
               nanoseconds(st.st_ctim)};
    // A change made later gets a later time only once the clock has moved past these: a
    // second covers the coarsest clock tick a kernel stamps files with.
    constexpr std::int64_t grain = 1'000'000'000;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    l.keepable = nanoseconds(now) - std::max(l.stamp.modified, l.stamp.changed) > grain && timesFollowEntries(dirFd);
    return l;
}

std::optional<std::vector<DirEntry>> FolderMemo::subfolders(int dirFd)
{
    const ReadWhat what{false, true, true, false, nullptr};
    const auto l = look(dirFd);
    if (l && m_subfolders && m_subfolders->stamp == l->stamp) return m_subfolders->list;
    m_subfolders.reset();
    auto list = readFolder(dirFd, what);
    // Where a link leads is no entry of the folder: its times do not follow it.
    if (list && l && l->keepable &&
        std::none_of(list->begin(), list->end(), [](const DirEntry& e) { return e.isLink(); }))
        m_subfolders = Subfolders{l->stamp, *list};
    return list;
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

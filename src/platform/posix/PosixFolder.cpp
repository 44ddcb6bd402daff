#include "platform/posix/PosixFolder.h"

#include "platform/posix/FolderMemo.h"

#include "platform/posix/HostDirectory.h"
#include "platform/posix/InotifyWatch.h"
#include "platform/posix/PosixHost.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace velmora::posixhost {

namespace {

// A host name that names one entry of a folder: no separator, no "." or "..".
bool isEntryName(std::string_view host)
{
    return !host.empty() && host != "." && host != ".." && host.find('/') == std::string_view::npos &&
           host.find('\0') == std::string_view::npos;
}

// The mount a descriptor lies on, as /proc tells it where statx cannot (kernels before 5.8).
std::uint64_t mountIdFromProc(int fd)
{
    const std::string info = "/proc/self/fdinfo/" + std::to_string(fd);
    const int in = ::open(info.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return 0;
    char buffer[512];
    const ssize_t n = ::read(in, buffer, sizeof buffer - 1);
    ::close(in);
    if (n <= 0) return 0;
    buffer[n] = '\0';
    const char* at = std::strstr(buffer, "mnt_id:");
    return at ? std::strtoull(at + 7, nullptr, 10) : 0;
}

bool idOf(int fd, FolderId& id)
{
    struct statx sx {};
    if (::statx(fd, "", AT_EMPTY_PATH | AT_STATX_SYNC_AS_STAT, STATX_TYPE | STATX_INO | STATX_MNT_ID, &sx) == 0) {
        id.device = (static_cast<std::uint64_t>(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
        id.inode = sx.stx_ino;
        id.mount = (sx.stx_mask & STATX_MNT_ID) ? sx.stx_mnt_id : mountIdFromProc(fd);
        return true;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    id.device = (static_cast<std::uint64_t>(major(st.st_dev)) << 32) | minor(st.st_dev);
    id.inode = st.st_ino;
    id.mount = mountIdFromProc(fd);
    return true;
}

// Opens the subfolder `host` of `dirFd` only when it is a real folder on the same mount: no
// link is followed and no mount point crossed, bind mounts included, in one step the host
// checks itself where it can.
Fd openPlainSubfolder(int dirFd, const char* host, const FolderId& parent)
{
    static bool haveOpenat2 = true;
    if (haveOpenat2) {
        open_how how{};
        how.flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS | RESOLVE_NO_XDEV;
        const long fd = ::syscall(SYS_openat2, dirFd, host, &how, sizeof how);
        if (fd >= 0) return Fd(static_cast<int>(fd));
        // Older kernels, and sandboxes that filter the call, answer so: check by hand below.
        if (errno != ENOSYS && errno != EPERM) return {};
        haveOpenat2 = false;
    }
    Fd fd(::openat(dirFd, host, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    FolderId id;
    if (!fd || !idOf(fd.get(), id)) return {};
    // Told as openat2 tells it, so the caller learns why alike on every kernel.
    errno = EXDEV;
    if (id.device != parent.device || id.mount != parent.mount) return {};
    struct statx sx {};
    if (::statx(fd.get(), "", AT_EMPTY_PATH, STATX_TYPE, &sx) == 0 &&
        (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) && (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT))
        return {};
    return fd;
}

} // namespace

std::unique_ptr<PosixFolder> PosixFolder::adopt(Fd fd, std::shared_ptr<FolderMemo> memo)
{
    FolderId id;
    if (!fd || !idOf(fd.get(), id)) return nullptr;
    return std::make_unique<PosixFolder>(std::move(fd), id, std::move(memo));
}

std::optional<std::vector<DirEntry>> PosixFolder::listFiles(const ListOptions& options) const
{
    if (m_memo && !options.details) return m_memo->files(fd(), options.mask);
    return readFolder(fd(), {.folders = false, .details = options.details, .mask = options.mask});
}

std::optional<std::vector<DirEntry>> PosixFolder::listFolders(const ListOptions& options) const
{
    if (m_memo && !options.details) return m_memo->subfolders(fd());
    return readFolder(fd(), {.files = false, .details = options.details});
}

std::optional<std::vector<DirEntry>> PosixFolder::listEntries() const { return readFolder(fd(), ReadWhat{}); }

std::optional<std::vector<std::string>> PosixFolder::names() const { return readNames(fd()); }

std::optional<std::int64_t> PosixFolder::size(std::string_view name) const
{
    struct stat st {};
    if (!own(name, st)) return std::nullopt;
    return S_ISDIR(st.st_mode) ? 0 : static_cast<std::int64_t>(st.st_size);
}

std::optional<DateTime> PosixFolder::modificationTime(std::string_view name) const
{
    struct stat st {};
    if (!own(name, st)) return std::nullopt;
    return localDateTime(st.st_mtime);
}

std::optional<bool> PosixFolder::contains(std::string_view name) const
{
    const std::string host = toHostName(name);
    if (!isEntryName(host)) return false;
    struct stat st {};
    if (::fstatat(fd(), host.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return true;
    if (errno == ENOENT) return false;
    return std::nullopt;
}

std::optional<FileStamp> PosixFolder::stamp(std::string_view name) const
{
    struct stat st {};
    if (!own(name, st)) return std::nullopt;
    const auto ns = [](const timespec& t) { return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec; };
    return FileStamp{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                     static_cast<std::int64_t>(st.st_size), ns(st.st_mtim), ns(st.st_ctim)};
}

std::optional<std::uint32_t> PosixFolder::attributes(std::string_view name) const
{
    const std::string host = toHostName(name);
    struct stat st {};
    if (!isEntryName(host) || ::fstatat(fd(), host.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
    const bool link = S_ISLNK(st.st_mode);
    bool folder = S_ISDIR(st.st_mode);
    if (link) {
        struct stat target {};
        folder = ::fstatat(fd(), host.c_str(), &target, 0) == 0 && S_ISDIR(target.st_mode);
    }
    return attributesFor(name, folder, link, &st);
}

// Only attr::ReadOnly has a host meaning: set, it removes every write bit; clear, it gives
// the owner write permission. A link has no attributes of its own here, so "clear, then
// delete" still removes it.
bool PosixFolder::setAttributes(std::string_view name, std::uint32_t attributes)
{
    const std::string host = toHostName(name);
    struct stat st {};
    if (!isEntryName(host) || ::fstatat(fd(), host.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    if (S_ISLNK(st.st_mode)) return true;
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) return false;
    mode_t mode = st.st_mode & 07777;
    if (attributes & attr::ReadOnly)
        mode &= static_cast<mode_t>(~(S_IWUSR | S_IWGRP | S_IWOTH));
    else
        mode |= S_IWUSR;
    if (mode == (st.st_mode & 07777)) return true;
    if (::fchmodat(fd(), host.c_str(), mode, AT_SYMLINK_NOFOLLOW) == 0) return true;
    if (errno != EOPNOTSUPP && errno != ENOTSUP) return false;
    // Without /proc the C library cannot refuse links itself: open the entry without
    // following it, so a link swapped in meanwhile never lends us its target.
    const Fd file(::openat(fd(), host.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat opened {};
    return file && ::fstat(file.get(), &opened) == 0 && S_ISREG(opened.st_mode) && ::fchmod(file.get(), mode) == 0;
}

// As on Windows, a read-only file (no owner write bit) stays: clear its attributes first.
bool PosixFolder::remove(std::string_view name)
{
    const std::string host = toHostName(name);
    struct stat st {};
    if (!isEntryName(host)) return false;
    if (::fstatat(fd(), host.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) || isReadOnlyFile(st)) {
        m_inUse.forget(host);
        return false;
    }
    // A link is no file anyone can hold open: it goes itself. A file in use stays, as on Windows.
    if (S_ISLNK(st.st_mode)) return ::unlinkat(fd(), host.c_str(), 0) == 0;
    return m_inUse.remove(fd(), host, st);
}

void PosixFolder::prepareRemoval(const std::vector<std::string>& names)
{
    std::vector<std::string> hosts;
    hosts.reserve(names.size());
    for (const std::string& name : names) {
        std::string host = toHostName(name);
        if (isEntryName(host)) hosts.push_back(std::move(host));
    }
    m_inUse.prepare(fd(), std::move(hosts));
}

int PosixFolder::removeMatching(const MaskList& masks)
{
    const auto files = readFolder(fd(), {.folders = false, .linkedFolders = false, .details = false, .mask = &masks});
    int count = 0;
    if (files) {
        std::vector<std::string> names;
        for (const DirEntry& file : *files) names.push_back(file.name);
        prepareRemoval(names);
        for (const DirEntry& file : *files) count += remove(file.name) ? 1 : 0;
        prepareRemoval({});
    }
    return count;
}

bool PosixFolder::removeFolder(std::string_view name)
{
    const std::string host = toHostName(name);
    return isEntryName(host) && ::unlinkat(fd(), host.c_str(), AT_REMOVEDIR) == 0;
}

std::unique_ptr<Folder> PosixFolder::openSubfolder(std::string_view name, NameMatch match) const
{
    return openPlain(name, match);
}

std::unique_ptr<PosixFolder> PosixFolder::openPlain(std::string_view name, NameMatch match, bool* refused) const
{
    if (refused) *refused = false;
    std::string host = toHostName(name);
    if (!isEntryName(host)) return nullptr;
    Fd sub = openPlainSubfolder(fd(), host.c_str(), m_id);
    if (!sub && errno == ENOENT && match == NameMatch::AnyCase) {
        if (auto found = findNoCase(fd(), name); found && *found != host)
            sub = openPlainSubfolder(fd(), found->c_str(), m_id);
    }
    if (!sub) {
        // Gone, replaced by a file or a link, or another mount: nothing was kept from anyone.
        if (refused) *refused = errno != ENOENT && errno != ENOTDIR && errno != ELOOP && errno != EXDEV;
        return nullptr;
    }
    auto folder = adopt(std::move(sub));
    if (!folder && refused) *refused = true;
    return folder;
}

std::unique_ptr<FolderWatch> PosixFolder::watch() const { return InotifyWatch::open(fd()); }

bool PosixFolder::ownersOnly() const
{
    struct stat st {};
    return ::fstat(fd(), &st) == 0 && (st.st_mode & S_ISVTX) != 0;
}

bool PosixFolder::own(std::string_view name, struct stat& st) const
{
    const std::string host = toHostName(name);
    return isEntryName(host) && ::fstatat(fd(), host.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

bool isMountRoot(int fd)
{
    struct statx sx {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_TYPE, &sx) == 0 && (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT))
        return (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    // Kernels before 5.8 do not tell: the folder lies on another mount than its parent.
    const Fd parent(::openat(fd, "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
    FolderId own;
    FolderId above;
    return parent && idOf(fd, own) && idOf(parent.get(), above) &&
           (own.mount != above.mount || own.device != above.device);
}

} // namespace velmora::posixhost

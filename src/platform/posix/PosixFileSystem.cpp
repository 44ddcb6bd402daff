#include "platform/posix/PosixFileSystem.h"

#include "platform/Text.h"
#include "platform/Wildcard.h"
#include "platform/posix/PosixHost.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace velmora {

namespace {

// Owns one file descriptor.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd& operator=(Fd&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }
    void reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

// Folders on the way to a leaf only need to be searched, not read: O_PATH also lets a
// deletion pass through a folder the user may not list.
#ifdef O_PATH
constexpr int kWalkFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int kWalkFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif
constexpr int kReadDirFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

bool isSeparator(char c) { return c == '\\' || c == '/'; }

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

int driveIndex(char letter)
{
    if (!isLetter(letter))
        return -1;
    return letter >= 'a' ? letter - 'a' : letter - 'A';
}

bool isDots(const char* n) { return n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0')); }

// A directory stream over a descriptor opened for reading; "." and ".." are skipped.
class DirStream {
public:
    explicit DirStream(Fd fd)
    {
        m_dir = ::fdopendir(fd.get());
        if (m_dir)
            fd.release();
    }
    ~DirStream()
    {
        if (m_dir)
            ::closedir(m_dir);
    }
    DirStream(const DirStream&) = delete;
    DirStream& operator=(const DirStream&) = delete;

    explicit operator bool() const { return m_dir != nullptr; }
    int fd() const { return ::dirfd(m_dir); }
    const dirent* next()
    {
        while (const dirent* e = ::readdir(m_dir)) {
            if (!isDots(e->d_name))
                return e;
        }
        return nullptr;
    }

private:
    DIR* m_dir = nullptr;
};

// Calls `onEntry(name, d_type)` for each entry of the folder open on `fd` but "." and "..";
// false when reading fails part way. `fd` stays open and is read from its current offset.
template <class OnEntry>
bool forEachEntry(int fd, OnEntry&& onEntry)
{
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 30))
    // Read straight into a buffer: a directory stream would cost an allocation, a stat and
    // two fcntl calls per folder, as much as the reading itself on a folder of a hundred names.
    alignas(dirent64) char buffer[32768];
    for (;;) {
        const ssize_t n = ::getdents64(fd, buffer, sizeof buffer);
        if (n == 0)
            return true;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        for (std::size_t offset = 0; offset < static_cast<std::size_t>(n);) {
            const auto* e = reinterpret_cast<const dirent64*>(buffer + offset);
            offset += e->d_reclen;
            if (!isDots(e->d_name))
                onEntry(e->d_name, e->d_type);
        }
    }
#else
    DirStream dir(Fd(::dup(fd)));
    if (!dir)
        return false;
    for (;;) {
        errno = 0;
        const dirent* e = dir.next();
        if (!e)
            return errno == 0;
        onEntry(e->d_name, e->d_type);
    }
#endif
}

// The host name of the entry of `dirFd` whose program name equals `name` without regard to
// case; among several, the bytewise smallest, so the choice does not depend on the
// directory's hash order.
std::optional<std::string> findNoCase(int dirFd, std::string_view name)
{
    DirStream dir(Fd(::openat(dirFd, ".", kReadDirFlags)));
    if (!dir)
        return std::nullopt;
    std::optional<std::string> best;
    while (const dirent* e = dir.next()) {
        const std::string_view n(e->d_name);
        if (text::equalNoCase(posixhost::toProgramName(n), name) && (!best || n < *best))
            best = std::string(n);
    }
    return best;
}

void appendHost(std::string& host, std::string_view name)
{
    if (host.empty() || host.back() != '/')
        host += '/';
    host += name;
}

void appendParts(std::vector<std::string>& parts, std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && isSeparator(s[i]))
            ++i;
        std::size_t j = i;
        while (j < s.size() && !isSeparator(s[j]))
            ++j;
        const std::string_view part = s.substr(i, j - i);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.emplace_back(part);
        }
        i = j;
    }
}

std::uint32_t attributesFor(std::string_view name, bool folder, bool link, const struct stat* own)
{
    std::uint32_t a = folder ? attr::Directory : attr::Archive;
    if (link)
        a |= attr::ReparsePoint;
    if (!name.empty() && name.front() == '.')
        a |= attr::Hidden;
    if (own && !link && (own->st_mode & S_IWUSR) == 0)
        a |= attr::ReadOnly;
    return a;
}

bool isReadOnlyFile(const struct stat& st) { return S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0; }

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::optional<std::string> readAll(int fd)
{
    std::string out;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            return out;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        out.append(buffer, static_cast<std::size_t>(n));
    }
}

// Events on the watched folder itself and on its entries. IN_ONLYDIR: a file swapped in for
// the folder since it was opened is refused rather than watched.
constexpr std::uint32_t kWatchEvents = IN_CREATE | IN_DELETE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_FROM |
                                       IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

constexpr std::size_t kMostNames = 4096;

class InotifyWatch final : public FolderWatch {
public:
    explicit InotifyWatch(Fd fd) : m_fd(std::move(fd)) {}

    std::optional<std::vector<std::string>> poll() override
    {
        if (m_gone)
            return std::nullopt;
        std::vector<std::string> names;
        bool overflow = false;
        alignas(inotify_event) char buffer[32768];
        // A whole default queue (16384 events) is read in one poll; a folder changing faster
        // than it can be read counts as an overflow rather than keeping the poll from returning.
        bool drained = false;
        for (int reads = 0; reads < 256 && !drained; ++reads) {
            const ssize_t n = ::read(m_fd.get(), buffer, sizeof buffer);
            if (n < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK)
                    drained = true;
                else if (errno != EINTR)
                    return std::nullopt;
                continue;
            }
            std::size_t offset = 0;
            while (offset + sizeof(inotify_event) <= static_cast<std::size_t>(n)) {
                inotify_event event;
                std::memcpy(&event, buffer + offset, sizeof event);
                const char* name = buffer + offset + sizeof event;
                offset += sizeof event + event.len;
                if (event.mask & IN_Q_OVERFLOW)
                    overflow = true;
                if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED))
                    m_gone = true;
                // Past a few thousand names one read of the folder is cheaper than naming each.
                if (event.len > 0 && !overflow && names.size() < kMostNames)
                    names.push_back(posixhost::toProgramName(std::string_view(name, ::strnlen(name, event.len))));
                else if (event.len > 0)
                    overflow = true;
            }
        }
        if (!drained)
            overflow = true;
        if (m_gone || overflow)
            return std::nullopt;
        std::sort(names.begin(), names.end());
        names.erase(std::unique(names.begin(), names.end()), names.end());
        return names;
    }

private:
    Fd m_fd;
    bool m_gone = false; // the folder was removed or moved: its old entries are all stale
};

std::string hostWorkingFolder()
{
    std::string buffer(256, '\0');
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size()))
            return buffer.c_str();
        if (errno != ERANGE || buffer.size() > (1u << 20))
            return {};
        buffer.resize(buffer.size() * 2);
    }
}


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
    if (in < 0)
        return 0;
    char buffer[512];
    const ssize_t n = ::read(in, buffer, sizeof buffer - 1);
    ::close(in);
    if (n <= 0)
        return 0;
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
    if (::fstat(fd, &st) != 0)
        return false;
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
        if (fd >= 0)
            return Fd(static_cast<int>(fd));
        // Older kernels, and sandboxes that filter the call, answer so: check by hand below.
        if (errno != ENOSYS && errno != EPERM)
            return {};
        haveOpenat2 = false;
    }
    Fd fd(::openat(dirFd, host, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    FolderId id;
    if (!fd || !idOf(fd.get(), id) || id.device != parent.device || id.mount != parent.mount)
        return {};
    struct statx sx {};
    if (::statx(fd.get(), "", AT_EMPTY_PATH, STATX_TYPE, &sx) == 0 && (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) &&
        (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT))
        return {};
    return fd;
}

// Opens a regular file for reading or appending without ever blocking on, or opening, a
// FIFO, socket or device: the name is first taken without opening what it names, looked at,
// and only then opened, through that very handle. For appending, a link at the last step is
// refused (a report must not be written through a link someone planted), and a missing file
// is created new.
Fd openRegular(int dirFd, const char* name, int flags, bool append)
{
    struct stat st {};
    Fd handle(::openat(dirFd, name, O_PATH | O_CLOEXEC | (append ? O_NOFOLLOW : 0)));
    if (!handle) {
        if (errno != ENOENT || !append)
            return {};
        return Fd(::openat(dirFd, name, flags | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0644));
    }
    if (::fstat(handle.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    const std::string opened = "/proc/self/fd/" + std::to_string(handle.get());
    Fd fd(::open(opened.c_str(), flags | O_NOCTTY | O_CLOEXEC));
    if (!fd && errno == ENOENT) // no /proc: open by name, never waiting, and look again
        fd = Fd(::openat(dirFd, name, flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (append ? O_NOFOLLOW : 0)));
    struct stat now {};
    if (!fd || ::fstat(fd.get(), &now) != 0 || !S_ISREG(now.st_mode) || now.st_ino != st.st_ino || now.st_dev != st.st_dev)
        return {};
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// What one read of a folder keeps.
struct ReadWhat {
    bool files = true;
    bool folders = true;
    bool linkedFolders = true; // links to folders count as folders (a walk never wants them)
    bool details = true;
    const MaskList* mask = nullptr;
};

bool byName(const DirEntry& a, const DirEntry& b) { return text::compareNoCase(a.name, b.name) < 0; }

// The entries of the folder open on `dirFd`, named in the program's name space, in name
// order. Devices, pipes and sockets are never listed; a link to a folder lists as a folder,
// any other link (a broken or looping one too) as a file; both carry attr::ReparsePoint.
std::optional<std::vector<DirEntry>> readFolder(int dirFd, const ReadWhat& what)
{
    if (::lseek(dirFd, 0, SEEK_SET) != 0)
        return std::nullopt;
    std::vector<DirEntry> out;
    const bool complete = forEachEntry(dirFd, [&](const char* entryName, unsigned char type) {
        struct stat own {};
        bool haveOwn = false;
        // Only file systems that give no type cost a stat per entry when no details are asked.
        if (type == DT_UNKNOWN) {
            if (::fstatat(dirFd, entryName, &own, AT_SYMLINK_NOFOLLOW) != 0)
                return;
            haveOwn = true;
            type = S_ISDIR(own.st_mode) ? DT_DIR : S_ISREG(own.st_mode) ? DT_REG : S_ISLNK(own.st_mode) ? DT_LNK : DT_UNKNOWN;
        }
        bool folder = false;
        const bool link = type == DT_LNK;
        if (type == DT_DIR) {
            folder = true;
        } else if (link) {
            if (!what.files && !what.linkedFolders)
                return;
            struct stat target {};
            // A link into an automounted place must not mount it just to be listed.
            if (::fstatat(dirFd, entryName, &target, AT_NO_AUTOMOUNT) == 0) {
                if (S_ISDIR(target.st_mode))
                    folder = true;
                else if (!S_ISREG(target.st_mode))
                    return;
            }
            if (folder && !what.linkedFolders)
                return;
        } else if (type != DT_REG) {
            return;
        }
        if (folder ? !what.folders : !what.files)
            return;
        // Most names need no mapping: they are matched where they lie and copied only when kept.
        const std::string_view hostName(entryName);
        std::string mapped;
        if (posixhost::needsMapping(hostName))
            mapped = posixhost::toProgramName(hostName);
        const std::string_view programName = mapped.empty() ? hostName : std::string_view(mapped);
        if (!folder && what.mask && !what.mask->matches(programName))
            return;
        if (what.details && !haveOwn && ::fstatat(dirFd, entryName, &own, AT_SYMLINK_NOFOLLOW) != 0)
            return;
        DirEntry entry;
        entry.attributes = attributesFor(programName, folder, link, what.details ? &own : nullptr);
        if (what.details && !folder)
            entry.size = static_cast<std::int64_t>(own.st_size);
        entry.name = mapped.empty() ? std::string(hostName) : std::move(mapped);
        out.push_back(std::move(entry));
    });
    if (!complete)
        return std::nullopt;
    std::sort(out.begin(), out.end(), byName);
    return out;
}

// A folder opened on the host, acting on its entries by their exact names.
class PosixFolder final : public Folder {
public:
    PosixFolder(Fd fd, const FolderId& id) : m_fd(std::move(fd)), m_id(id) {}

    // Nothing when `fd` is not open or cannot be looked at.
    static std::unique_ptr<PosixFolder> adopt(Fd fd)
    {
        FolderId id;
        if (!fd || !idOf(fd.get(), id))
            return nullptr;
        return std::make_unique<PosixFolder>(std::move(fd), id);
    }

    int fd() const { return m_fd.get(); }
    FolderId id() const override { return m_id; }

    std::optional<std::vector<DirEntry>> listFiles(const ListOptions& options) const override
    {
        return readFolder(fd(), {true, false, true, options.details, options.mask});
    }
    std::optional<std::vector<DirEntry>> listFolders(const ListOptions& options) const override
    {
        return readFolder(fd(), {false, true, true, options.details, nullptr});
    }
    std::optional<std::vector<DirEntry>> listEntries() const override
    {
        return readFolder(fd(), {true, true, true, true, nullptr});
    }

    std::optional<std::vector<std::string>> names() const override
    {
        if (::lseek(fd(), 0, SEEK_SET) != 0)
            return std::nullopt;
        std::vector<std::string> out;
        const bool complete = forEachEntry(fd(), [&](const char* entryName, unsigned char) {
            out.push_back(posixhost::toProgramName(entryName));
        });
        return complete ? std::optional(std::move(out)) : std::nullopt;
    }

    std::optional<std::int64_t> size(std::string_view name) const override
    {
        struct stat st {};
        if (!own(name, st))
            return std::nullopt;
        return S_ISDIR(st.st_mode) ? 0 : static_cast<std::int64_t>(st.st_size);
    }

    std::optional<DateTime> modificationTime(std::string_view name) const override
    {
        struct stat st {};
        if (!own(name, st))
            return std::nullopt;
        return posixhost::localDateTime(st.st_mtime);
    }

    std::optional<std::uint32_t> attributes(std::string_view name) const override
    {
        const std::string host = posixhost::toHostName(name);
        struct stat st {};
        if (!isEntryName(host) || ::fstatat(fd(), host.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return std::nullopt;
        const bool link = S_ISLNK(st.st_mode);
        bool folder = S_ISDIR(st.st_mode);
        if (link) {
            struct stat target {};
            folder = ::fstatat(fd(), host.c_str(), &target, 0) == 0 && S_ISDIR(target.st_mode);
        }
        return attributesFor(name, folder, link, &st);
    }

    // Only attr::ReadOnly has a host meaning: set, it removes every write bit; clear, it
    // gives the owner write permission. A link has no attributes of its own here, so
    // "clear, then delete" still removes it.
    bool setAttributes(std::string_view name, std::uint32_t attributes) override
    {
        const std::string host = posixhost::toHostName(name);
        struct stat st {};
        if (!isEntryName(host) || ::fstatat(fd(), host.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return false;
        if (S_ISLNK(st.st_mode))
            return true;
        if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
            return false;
        mode_t mode = st.st_mode & 07777;
        if (attributes & attr::ReadOnly)
            mode &= static_cast<mode_t>(~(S_IWUSR | S_IWGRP | S_IWOTH));
        else
            mode |= S_IWUSR;
        if (mode == (st.st_mode & 07777))
            return true;
        if (::fchmodat(fd(), host.c_str(), mode, AT_SYMLINK_NOFOLLOW) == 0)
            return true;
        if (errno != EOPNOTSUPP && errno != ENOTSUP)
            return false;
        // Without /proc the C library cannot refuse links itself: open the entry without
        // following it, so a link swapped in meanwhile never lends us its target.
        const Fd file(::openat(fd(), host.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat opened {};
        return file && ::fstat(file.get(), &opened) == 0 && S_ISREG(opened.st_mode) && ::fchmod(file.get(), mode) == 0;
    }

    // As on Windows, a read-only file (no owner write bit) stays: clear its attributes first.
    bool remove(std::string_view name) override
    {
        const std::string host = posixhost::toHostName(name);
        struct stat st {};
        if (!isEntryName(host) || ::fstatat(fd(), host.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return false;
        if ((!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) || isReadOnlyFile(st))
            return false;
        return ::unlinkat(fd(), host.c_str(), 0) == 0;
    }

    int removeMatching(const MaskList& masks) override
    {
        const auto files = readFolder(fd(), {true, false, false, false, &masks});
        int count = 0;
        if (files) {
            for (const DirEntry& file : *files)
                count += remove(file.name) ? 1 : 0;
        }
        return count;
    }

    bool removeFolder(std::string_view name) override
    {
        const std::string host = posixhost::toHostName(name);
        return isEntryName(host) && ::unlinkat(fd(), host.c_str(), AT_REMOVEDIR) == 0;
    }

    std::unique_ptr<Folder> openSubfolder(std::string_view name, NameMatch match) const override
    {
        return openPlain(name, match);
    }

    std::unique_ptr<PosixFolder> openPlain(std::string_view name, NameMatch match = NameMatch::Exact) const
    {
        std::string host = posixhost::toHostName(name);
        if (!isEntryName(host))
            return nullptr;
        Fd sub = openPlainSubfolder(fd(), host.c_str(), m_id);
        if (!sub && errno == ENOENT && match == NameMatch::AnyCase) {
            if (auto found = findNoCase(fd(), name); found && *found != host)
                sub = openPlainSubfolder(fd(), found->c_str(), m_id);
        }
        return adopt(std::move(sub));
    }

    bool walk(const std::string& path, const MaskList* files, const WalkCallback& callback) override;

    std::unique_ptr<FolderWatch> watch() const override
    {
        Fd fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
        // The folder by its descriptor, so the watch is on what was opened.
        const std::string opened = "/proc/self/fd/" + std::to_string(m_fd.get());
        if (!fd || ::inotify_add_watch(fd.get(), opened.c_str(), kWatchEvents) < 0)
            return nullptr;
        return std::make_unique<InotifyWatch>(std::move(fd));
    }

private:
    bool own(std::string_view name, struct stat& st) const
    {
        const std::string host = posixhost::toHostName(name);
        return isEntryName(host) && ::fstatat(fd(), host.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    }

    Fd m_fd;
    FolderId m_id;
};

// The walk keeps the folders of its path open, relative to each other, so that no folder is
// ever looked up again from the root: a subfolder swapped for a link after it was read is
// not entered, and a tree thousands of levels deep costs what its size costs. Beyond this
// depth a folder lets its descriptor go while below it and takes it back through "..",
// checked to be the same folder.
constexpr std::size_t kOpenLevels = 64;

struct WalkLevel {
    PosixFolder* folder = nullptr; // nullptr while its descriptor is let go, or once lost
    std::unique_ptr<PosixFolder> owned;
    FolderId id;
    std::size_t pathLength = 0; // of the walk's one path text, up to this folder
    std::string name;
    std::vector<std::string> subfolders;
    std::vector<DirEntry> files;
    std::size_t next = 0;
    bool lost = false; // could not be taken back: its rest is passed over
};

void readLevel(WalkLevel& level, const MaskList* files)
{
    const auto entries = readFolder(level.folder->fd(), {files != nullptr, true, false, false, files});
    if (!entries)
        return;
    for (const DirEntry& e : *entries) {
        if (e.isFolder())
            level.subfolders.push_back(e.name);
        else
            level.files.push_back(e);
    }
}

// Takes back the descriptor of `stack[k]`, through ".." of the level below it, else down
// from the nearest level still open; every level taken back must be the folder it was.
void reopen(std::vector<WalkLevel>& stack, std::size_t k)
{
    auto take = [&](std::size_t i, Fd fd) {
        auto folder = PosixFolder::adopt(std::move(fd));
        if (!folder || !(folder->id() == stack[i].id))
            return false;
        stack[i].owned = std::move(folder);
        stack[i].folder = stack[i].owned.get();
        return true;
    };
    if (k + 1 < stack.size() && stack[k + 1].folder &&
        take(k, Fd(::openat(stack[k + 1].folder->fd(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC))))
        return;
    std::size_t open = k;
    while (open > 0 && !stack[open].folder)
        --open;
    for (std::size_t i = open + 1; i <= k; ++i) {
        auto sub = stack[i - 1].folder ? stack[i - 1].folder->openPlain(stack[i].name) : nullptr;
        if (!sub || !(sub->id() == stack[i].id)) {
            for (std::size_t j = i; j <= k; ++j) {
                stack[j].lost = true;
                stack[j].folder = nullptr;
                stack[j].owned.reset();
            }
            return;
        }
        stack[i].owned = std::move(sub);
        stack[i].folder = stack[i].owned.get();
        // Only the level asked for stays open beyond the shallow ones; the others come back
        // through ".." as the walk climbs.
        if (i - 1 >= kOpenLevels && i - 1 > open) {
            stack[i - 1].owned.reset();
            stack[i - 1].folder = nullptr;
        }
    }
}

bool PosixFolder::walk(const std::string& path, const MaskList* files, const WalkCallback& callback)
{
    // One path text for the whole walk, cut back as it climbs: a deep tree costs its depth,
    // not its depth squared.
    std::string current = path;
    std::vector<WalkLevel> stack(1);
    stack[0].folder = this;
    stack[0].id = m_id;
    stack[0].pathLength = current.size();
    readLevel(stack[0], files);
    WalkStep step = callback({WalkVisit::Kind::Enter, current, *this, nullptr, {}, nullptr});
    if (step == WalkStep::Stop)
        return false;
    if (step == WalkStep::Prune)
        stack[0].subfolders.clear();

    while (!stack.empty()) {
        const std::size_t k = stack.size() - 1;
        // Back from a level that was lost: this one has not been taken back yet.
        if (!stack[k].lost && !stack[k].folder)
            reopen(stack, k);
        current.resize(stack[k].pathLength);
        if (!stack[k].lost && stack[k].next < stack[k].subfolders.size()) {
            WalkLevel& top = stack[k];
            const std::string& name = top.subfolders[top.next++];
            auto sub = top.folder->openPlain(name);
            if (!sub)
                continue;
            WalkLevel level;
            level.id = sub->id();
            level.owned = std::move(sub);
            level.folder = level.owned.get();
            if (!current.empty() && current.back() != '\\' && current.back() != '/')
                current += '\\';
            current += name;
            level.pathLength = current.size();
            level.name = name;
            readLevel(level, files);
            step = callback({WalkVisit::Kind::Enter, current, *level.folder, top.folder, level.name, nullptr});
            if (step == WalkStep::Stop)
                return false;
            if (step == WalkStep::Prune)
                level.subfolders.clear();
            if (k >= kOpenLevels && top.owned) {
                top.owned.reset();
                top.folder = nullptr;
            }
            stack.push_back(std::move(level));
            continue;
        }
        if (k > 0 && !stack[k - 1].folder && !stack[k - 1].lost)
            reopen(stack, k - 1);
        // A folder whose parent could not be taken back is left without a visit, as the
        // parent itself is: a Leave always has the folder above it.
        if (!stack[k].lost && (k == 0 || stack[k - 1].folder)) {
            WalkLevel& top = stack[k];
            // Time has passed since the folder was read: its files are read as they are now.
            if (files && !top.subfolders.empty()) {
                ListOptions options;
                options.details = false;
                options.mask = files;
                top.files = top.folder->listFiles(options).value_or(std::vector<DirEntry>{});
            }
            Folder* parent = k > 0 ? stack[k - 1].folder : nullptr;
            step = callback({WalkVisit::Kind::Leave, current, *top.folder, parent, top.name, &top.files});
            if (step == WalkStep::Stop)
                return false;
        }
        stack.pop_back();
    }
    return true;
}

} // namespace

// The folder holding a path's last component, opened, and that component as the host
// spells it once matched.
struct PosixFileSystem::Located {
    Fd parent;
    std::string parentHost;
    std::string leaf;        // host name; "" for a drive's root: `parent` is then the root itself
    std::string leafProgram; // the component as the path gave it

    const char* leafArg() const { return leaf.empty() ? "." : leaf.c_str(); }
    std::string host() const
    {
        std::string h = parentHost;
        if (!leaf.empty())
            appendHost(h, leaf);
        return h;
    }
    // Takes the spelling of an entry that differs only in case; false when there is none.
    bool rematch()
    {
        if (leaf.empty())
            return false;
        auto match = findNoCase(parent.get(), leafProgram);
        if (!match || *match == leaf)
            return false;
        leaf = std::move(*match);
        return true;
    }
    bool stat(struct stat& st, int flags)
    {
        if (::fstatat(parent.get(), leafArg(), &st, flags) == 0)
            return true;
        return errno == ENOENT && rematch() && ::fstatat(parent.get(), leafArg(), &st, flags) == 0;
    }
    Fd open(int flags)
    {
        Fd fd(::openat(parent.get(), leafArg(), flags));
        if (!fd && errno == ENOENT && rematch())
            fd = Fd(::openat(parent.get(), leafArg(), flags));
        return fd;
    }
};

std::string PosixFileSystem::Parsed::text() const
{
    if (drive < 0)
        return {};
    std::string s = prefix + "\\";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            s += '\\';
        s += parts[i];
    }
    return s;
}

PosixFileSystem::PosixFileSystem(std::string driveMap)
{
    const std::string cwd = hostWorkingFolder();
    std::size_t start = 0;
    while (start <= driveMap.size()) {
        std::size_t end = driveMap.find(';', start);
        if (end == std::string::npos)
            end = driveMap.size();
        const std::string_view entry = std::string_view(driveMap).substr(start, end - start);
        start = end + 1;

        const int drive = entry.empty() ? -1 : driveIndex(entry[0]);
        std::size_t pos = 1;
        if (pos < entry.size() && entry[pos] == ':')
            ++pos;
        if (drive < 0 || pos >= entry.size() || entry[pos] != '=' || pos + 1 >= entry.size())
            continue;
        std::string host(entry.substr(pos + 1));
        if (host.front() != '/') {
            if (cwd.empty())
                continue;
            host = cwd + "/" + host;
        }
        m_roots[static_cast<std::size_t>(drive)] = posixhost::normalize(host);
    }
    if (std::all_of(m_roots.begin(), m_roots.end(), [](const std::string& r) { return r.empty(); }))
        m_roots[2].assign(1, '/'); // not `= "/"`: GCC 12 at -O3 warns falsely on that (-Wrestrict)

    std::vector<DriveInfo> map;
    for (int d = 25; d >= 0; --d) {
        m_current[static_cast<std::size_t>(d)] = rootText(d);
        const std::string& root = m_roots[static_cast<std::size_t>(d)];
        if (root.empty())
            continue;
        m_currentDrive = d;
        map.push_back({static_cast<char>('a' + d), root, true});
        // The working folder comes without links; a drive mapped through one must still hold it.
        if (char* real = ::realpath(root.c_str(), nullptr)) {
            if (root != real)
                map.push_back({static_cast<char>('a' + d), real, true});
            std::free(real);
        }
    }
    // The drive holding the working folder starts there, as the program was started from it.
    // A working folder on no drive stays what bare names are taken against until a current
    // folder is set.
    if (auto form = posixhost::toDriveForm(cwd, map)) {
        const int d = driveIndex((*form)[0]);
        m_current[static_cast<std::size_t>(d)] = *form;
        m_currentDrive = d;
    } else {
        m_workingFolderOffDrive = true;
    }
}

std::string PosixFileSystem::drivesFromEnvironment()
{
    const char* value = std::getenv("VELMORA_DRIVES");
    return value && *value ? std::string(value) : std::string("c:=/");
}

std::string PosixFileSystem::rootText(int drive) const
{
    std::string s(1, static_cast<char>('A' + drive));
    s += ":\\";
    return s;
}

std::vector<DriveInfo> PosixFileSystem::drives() const
{
    std::vector<DriveInfo> out;
    for (int d = 0; d < 26; ++d) {
        const std::string& root = m_roots[static_cast<std::size_t>(d)];
        if (!root.empty()) {
            const char letter = static_cast<char>('a' + d);
            out.push_back({letter, root, driveReady(letter)});
        }
    }
    return out;
}

bool PosixFileSystem::driveReady(char letter) const
{
    const int d = driveIndex(letter);
    if (d < 0 || m_roots[static_cast<std::size_t>(d)].empty())
        return false;
    Fd fd(::open(m_roots[static_cast<std::size_t>(d)].c_str(), kReadDirFlags));
    return fd && ::faccessat(fd.get(), ".", X_OK, AT_EACCESS) == 0;
}

char PosixFileSystem::currentDrive() const { return static_cast<char>('a' + m_currentDrive); }

bool PosixFileSystem::setCurrentDrive(char letter)
{
    const int d = driveIndex(letter);
    if (d < 0 || !driveReady(letter))
        return false;
    auto enter = [this](const std::string& folder) {
        auto loc = locate(folder, true);
        if (!loc)
            return false;
        const Fd fd = loc->open(kWalkFlags);
        return fd && ::fchdir(fd.get()) == 0;
    };
    std::string& current = m_current[static_cast<std::size_t>(d)];
    // A current folder removed meanwhile leaves the drive at its root, as Windows does.
    if (!enter(current)) {
        if (!enter(rootText(d)))
            return false;
        current = rootText(d);
    }
    m_currentDrive = d;
    m_workingFolderOffDrive = false;
    return true;
}

std::string PosixFileSystem::currentFolder(char letter) const
{
    const int d = driveIndex(letter);
    return d < 0 ? std::string() : m_current[static_cast<std::size_t>(d)];
}

bool PosixFileSystem::setCurrentFolder(std::string_view path)
{
    const auto p = parse(path);
    if (!p || p->drive < 0)
        return false;
    auto loc = locate(*p, true);
    if (!loc)
        return false;
    const Fd fd = loc->open(kWalkFlags);
    if (!fd || ::faccessat(fd.get(), ".", X_OK, AT_EACCESS) != 0)
        return false;
    // Programs started later inherit the working folder, so it follows the current drive.
    if (p->drive == m_currentDrive) {
        if (::fchdir(fd.get()) != 0)
            return false;
        m_workingFolderOffDrive = false;
    }
    m_current[static_cast<std::size_t>(p->drive)] = p->text();
    return true;
}

std::optional<PosixFileSystem::Parsed> PosixFileSystem::parse(std::string_view path) const
{
    if (path.empty() || path.find('\0') != std::string_view::npos)
        return std::nullopt;
    Parsed p;
    std::string_view rest = path;
    if (path.size() >= 2 && isLetter(path[0]) && path[1] == ':') {
        p.drive = driveIndex(path[0]);
        p.prefix = std::string(path.substr(0, 2));
        rest = path.substr(2);
    } else {
        if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1]))
            return std::nullopt;
        if (m_workingFolderOffDrive && !isSeparator(path[0])) {
            p.drive = -1; // against the real working folder, which lies on no drive
            appendParts(p.parts, rest);
            return p;
        }
        p.drive = m_currentDrive;
        p.prefix = m_current[static_cast<std::size_t>(p.drive)].substr(0, 2);
    }
    if (rest.empty() || !isSeparator(rest[0]))
        appendParts(p.parts, std::string_view(m_current[static_cast<std::size_t>(p.drive)]).substr(2));
    appendParts(p.parts, rest);
    return p;
}

std::string PosixFileSystem::absolute(std::string_view path) const
{
    const auto p = parse(path);
    return p ? p->text() : std::string();
}

std::optional<PosixFileSystem::Located> PosixFileSystem::locate(std::string_view path, bool followLinks) const
{
    const auto p = parse(path);
    if (!p)
        return std::nullopt;
    return locate(*p, followLinks);
}

std::optional<PosixFileSystem::Located> PosixFileSystem::locate(const Parsed& p, bool followLinks) const
{
    const std::string root = p.drive < 0 ? std::string(".") : m_roots[static_cast<std::size_t>(p.drive)];
    if (root.empty())
        return std::nullopt;
    Located loc;
    const std::size_t folders = p.parts.empty() ? 0 : p.parts.size() - 1;
    if (!p.parts.empty()) {
        loc.leafProgram = p.parts.back();
        loc.leaf = posixhost::toHostName(loc.leafProgram);
    }

    if (followLinks && folders > 0) {
        // Most paths are spelled as the host spells them: one open then does.
        std::string host = root;
        for (std::size_t i = 0; i < folders; ++i)
            appendHost(host, posixhost::toHostName(p.parts[i]));
        if (host.size() < PATH_MAX) {
            Fd fd(::open(host.c_str(), kWalkFlags));
            if (fd) {
                loc.parent = std::move(fd);
                loc.parentHost = std::move(host);
                return loc;
            }
        }
    }

    // One component at a time: matches case where needed, passes paths longer than the
    // host allows in one call and, unless told to follow them, refuses every link on the way.
    Fd dir(::open(root.c_str(), kWalkFlags));
    if (!dir)
        return std::nullopt;
    std::string host = root;
    const int flags = kWalkFlags | (followLinks ? 0 : O_NOFOLLOW);
    for (std::size_t i = 0; i < folders; ++i) {
        std::string name = posixhost::toHostName(p.parts[i]);
        Fd next(::openat(dir.get(), name.c_str(), flags));
        if (!next && errno == ENOENT) {
            if (auto match = findNoCase(dir.get(), p.parts[i])) {
                name = std::move(*match);
                next = Fd(::openat(dir.get(), name.c_str(), flags));
            }
        }
        if (!next)
            return std::nullopt;
        appendHost(host, name);
        dir = std::move(next);
    }
    loc.parent = std::move(dir);
    loc.parentHost = std::move(host);
    return loc;
}

bool PosixFileSystem::folderExists(std::string_view path) const
{
    auto loc = locate(path, true);
    struct stat st {};
    return loc && loc->stat(st, 0) && S_ISDIR(st.st_mode);
}

bool PosixFileSystem::canEnter(std::string_view path) const
{
    auto loc = locate(path, true);
    if (!loc)
        return false;
    const Fd fd = loc->open(kReadDirFlags);
    return fd && ::faccessat(fd.get(), ".", X_OK, AT_EACCESS) == 0;
}

std::unique_ptr<Folder> PosixFileSystem::openFolder(std::string_view path) const
{
    const auto p = parse(path);
    if (!p)
        return nullptr;
    if (p->drive >= 0) {
        const std::string& root = m_roots[static_cast<std::size_t>(p->drive)];
        if (root.empty())
            return nullptr;
        // Most paths are spelled as the host spells them: one open then does.
        std::string whole = root;
        for (const std::string& part : p->parts)
            appendHost(whole, posixhost::toHostName(part));
        if (whole.size() < PATH_MAX) {
            Fd fd(::open(whole.c_str(), kReadDirFlags));
            if (fd || errno != ENOENT)
                return PosixFolder::adopt(std::move(fd));
        }
    }
    auto loc = locate(*p, true);
    if (!loc)
        return nullptr;
    return PosixFolder::adopt(loc->open(kReadDirFlags));
}

std::optional<std::int64_t> PosixFileSystem::fileSize(std::string_view path) const
{
    auto loc = locate(path, true);
    struct stat st {};
    if (!loc || !loc->stat(st, AT_SYMLINK_NOFOLLOW))
        return std::nullopt;
    return S_ISDIR(st.st_mode) ? 0 : static_cast<std::int64_t>(st.st_size);
}

std::optional<DateTime> PosixFileSystem::modificationTime(std::string_view path) const
{
    auto loc = locate(path, true);
    struct stat st {};
    if (!loc || !loc->stat(st, AT_SYMLINK_NOFOLLOW))
        return std::nullopt;
    return posixhost::localDateTime(st.st_mtime);
}

std::optional<std::uint32_t> PosixFileSystem::attributes(std::string_view path) const
{
    auto loc = locate(path, true);
    struct stat st {};
    if (!loc || !loc->stat(st, AT_SYMLINK_NOFOLLOW))
        return std::nullopt;
    const bool link = S_ISLNK(st.st_mode);
    bool folder = S_ISDIR(st.st_mode);
    if (link) {
        struct stat target {};
        folder = ::fstatat(loc->parent.get(), loc->leafArg(), &target, 0) == 0 && S_ISDIR(target.st_mode);
    }
    return attributesFor(loc->leafProgram, folder, link, &st);
}

bool PosixFileSystem::copyFile(std::string_view from, std::string_view to)
{
    auto source = locate(from, true);
    if (!source || source->leaf.empty())
        return false;
    struct stat st {};
    if (!source->stat(st, 0))
        return false;
    const Fd in = openRegular(source->parent.get(), source->leaf.c_str(), O_RDONLY, false);
    if (!in || ::fstat(in.get(), &st) != 0)
        return false;

    auto target = locate(to, true);
    if (!target || target->leaf.empty())
        return false;
    struct stat existing {};
    if (target->stat(existing, AT_SYMLINK_NOFOLLOW) && (S_ISDIR(existing.st_mode) || isReadOnlyFile(existing)))
        return false;

    // Written aside and renamed over the destination: a reader never sees half a file, and
    // a link standing at the destination is replaced rather than written through.
    const int dirFd = target->parent.get();
    std::string temporary;
    Fd out;
    const auto seed = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (unsigned attempt = 0; attempt < 100 && !out; ++attempt) {
        temporary = ".velmora-copy-" + std::to_string(::getpid()) + "-" + std::to_string(seed + attempt);
        out = Fd(::openat(dirFd, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (!out && errno != EEXIST)
            return false;
    }
    if (!out)
        return false;

    bool ok = true;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(in.get(), buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        if (!writeAll(out.get(), std::string_view(buffer, static_cast<std::size_t>(n)))) {
            ok = false;
            break;
        }
    }
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ok = ok && ::fchmod(out.get(), st.st_mode & 07777) == 0 && ::futimens(out.get(), times) == 0;
    out.reset();
    ok = ok && ::renameat(dirFd, temporary.c_str(), dirFd, target->leaf.c_str()) == 0;
    if (!ok)
        ::unlinkat(dirFd, temporary.c_str(), 0);
    return ok;
}

bool PosixFileSystem::appendFile(std::string_view path, std::string_view bytes)
{
    auto loc = locate(path, true);
    if (!loc || loc->leaf.empty())
        return false;
    struct stat st {};
    loc->stat(st, AT_SYMLINK_NOFOLLOW); // takes an existing name's case before creating one
    const Fd fd = openRegular(loc->parent.get(), loc->leaf.c_str(), O_WRONLY | O_APPEND, true);
    return fd && writeAll(fd.get(), bytes);
}

std::optional<std::string> PosixFileSystem::readFile(std::string_view path) const
{
    auto loc = locate(path, true);
    if (!loc || loc->leaf.empty())
        return std::nullopt;
    struct stat st {};
    loc->stat(st, AT_SYMLINK_NOFOLLOW);
    const Fd fd = openRegular(loc->parent.get(), loc->leaf.c_str(), O_RDONLY, false);
    if (!fd)
        return std::nullopt;
    return readAll(fd.get());
}

std::optional<std::string> PosixFileSystem::hostPath(std::string_view path) const
{
    const auto p = parse(path);
    if (!p || p->drive < 0)
        return std::nullopt;
    const std::string& root = m_roots[static_cast<std::size_t>(p->drive)];
    if (root.empty())
        return std::nullopt;
    std::string host = root;
    for (const std::string& part : p->parts)
        appendHost(host, posixhost::toHostName(part));
    struct stat st {};
    if (host.size() < PATH_MAX && ::fstatat(AT_FDCWD, host.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return host;

    // Match case component by component; from the first missing folder on, names stay as given.
    host = root;
    Fd dir(::open(root.c_str(), kWalkFlags));
    for (std::size_t i = 0; i < p->parts.size(); ++i) {
        std::string name = posixhost::toHostName(p->parts[i]);
        if (dir) {
            if (::fstatat(dir.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT) {
                if (auto match = findNoCase(dir.get(), p->parts[i]))
                    name = std::move(*match);
            }
            if (i + 1 < p->parts.size())
                dir = Fd(::openat(dir.get(), name.c_str(), kWalkFlags));
        }
        appendHost(host, name);
    }
    return host;
}

} // namespace velmora

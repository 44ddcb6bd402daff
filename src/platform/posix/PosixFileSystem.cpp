#include "platform/posix/PosixFileSystem.h"

#include "platform/Text.h"
#include "platform/Wildcard.h"
#include "platform/posix/PosixHost.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
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

// The entry of `dirFd` whose name equals `name` without regard to case; among several,
// the bytewise smallest, so the choice does not depend on the directory's hash order.
std::optional<std::string> findNoCase(int dirFd, const std::string& name)
{
    DirStream dir(Fd(::openat(dirFd, ".", kReadDirFlags)));
    if (!dir)
        return std::nullopt;
    std::optional<std::string> best;
    while (const dirent* e = dir.next()) {
        const std::string_view n(e->d_name);
        if (text::equalNoCase(n, name) && (!best || n < *best))
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
                if (event.len > 0)
                    names.emplace_back(name, ::strnlen(name, event.len));
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

} // namespace

// The folder holding a path's last component, opened, and that component as the host
// spells it once matched.
struct PosixFileSystem::Located {
    Fd parent;
    std::string parentHost;
    std::string leaf; // "" for a drive's root: `parent` is then the root itself

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
        auto match = findNoCase(parent.get(), leaf);
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
    if (auto form = posixhost::toDriveForm(cwd, map)) {
        const int d = driveIndex((*form)[0]);
        m_current[static_cast<std::size_t>(d)] = *form;
        m_currentDrive = d;
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
    if (!p)
        return false;
    auto loc = locate(*p, true);
    if (!loc)
        return false;
    const Fd fd = loc->open(kWalkFlags);
    if (!fd || ::faccessat(fd.get(), ".", X_OK, AT_EACCESS) != 0)
        return false;
    // Programs started later inherit the working folder, so it follows the current drive.
    if (p->drive == m_currentDrive && ::fchdir(fd.get()) != 0)
        return false;
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
    const std::string& root = m_roots[static_cast<std::size_t>(p.drive)];
    if (root.empty())
        return std::nullopt;
    Located loc;
    const std::size_t folders = p.parts.empty() ? 0 : p.parts.size() - 1;
    if (!p.parts.empty())
        loc.leaf = p.parts.back();

    if (followLinks && folders > 0) {
        // Names mostly come as the host spells them (from a listing): one open then does.
        std::string host = root;
        for (std::size_t i = 0; i < folders; ++i)
            appendHost(host, p.parts[i]);
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
    // host allows in one call and, for deletions, refuses every link on the way.
    Fd dir(::open(root.c_str(), kWalkFlags));
    if (!dir)
        return std::nullopt;
    std::string host = root;
    const int flags = kWalkFlags | (followLinks ? 0 : O_NOFOLLOW);
    for (std::size_t i = 0; i < folders; ++i) {
        std::string name = p.parts[i];
        Fd next(::openat(dir.get(), name.c_str(), flags));
        if (!next && errno == ENOENT) {
            if (auto match = findNoCase(dir.get(), name)) {
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

std::optional<std::vector<DirEntry>> PosixFileSystem::list(std::string_view path, const ListOptions& options,
                                                           bool wantFiles, bool wantFolders) const
{
    auto loc = locate(path, true);
    if (!loc)
        return std::nullopt;
    Fd fd = loc->open(kReadDirFlags);
    if (!fd)
        return std::nullopt;
    const bool sameDevice = options.sameDevice && wantFolders;
    dev_t device = 0;
    if (sameDevice) {
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0)
            return std::nullopt;
        device = st.st_dev;
    }
    DirStream dir(std::move(fd));
    if (!dir)
        return std::nullopt;
    const int dirFd = dir.fd();

    std::vector<DirEntry> out;
    while (const dirent* e = dir.next()) {
        const std::string_view name(e->d_name);
        struct stat own {};
        bool haveOwn = false;
        unsigned char type = e->d_type;
        // Only file systems that give no type cost a stat per entry when no details are asked.
        if (type == DT_UNKNOWN) {
            if (::fstatat(dirFd, e->d_name, &own, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            haveOwn = true;
            type = S_ISDIR(own.st_mode) ? DT_DIR : S_ISREG(own.st_mode) ? DT_REG : S_ISLNK(own.st_mode) ? DT_LNK : DT_UNKNOWN;
        }
        bool folder = false;
        bool link = false;
        if (type == DT_DIR) {
            folder = true;
        } else if (type == DT_LNK) {
            link = true;
            struct stat target {};
            if (::fstatat(dirFd, e->d_name, &target, 0) == 0) {
                if (S_ISDIR(target.st_mode))
                    folder = true;
                else if (!S_ISREG(target.st_mode))
                    continue;
            }
        } else if (type != DT_REG) {
            continue;
        }
        if (folder ? !wantFolders : !wantFiles)
            continue;
        if (!folder && options.mask && !options.mask->matches(name))
            continue;
        const bool checkDevice = sameDevice && folder && !link;
        if ((options.details || checkDevice) && !haveOwn) {
            if (::fstatat(dirFd, e->d_name, &own, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
        }
        if (checkDevice && own.st_dev != device)
            continue;
        DirEntry entry;
        entry.name = std::string(name);
        entry.attributes = attributesFor(name, folder, link, options.details ? &own : nullptr);
        if (options.details && !folder)
            entry.size = static_cast<std::int64_t>(own.st_size);
        out.push_back(std::move(entry));
    }
    std::sort(out.begin(), out.end(),
              [](const DirEntry& a, const DirEntry& b) { return text::compareNoCase(a.name, b.name) < 0; });
    return out;
}

int PosixFileSystem::openFolder(std::string_view path, std::string* host) const
{
    const auto p = parse(path);
    if (!p)
        return -1;
    const std::string& root = m_roots[static_cast<std::size_t>(p->drive)];
    if (root.empty())
        return -1;
    // Names mostly come as the host spells them (from a listing): one open then does.
    std::string whole = root;
    for (const std::string& part : p->parts)
        appendHost(whole, part);
    if (whole.size() < PATH_MAX) {
        const int fd = ::open(whole.c_str(), kReadDirFlags);
        if (fd >= 0 || errno != ENOENT) {
            if (fd >= 0 && host)
                *host = std::move(whole);
            return fd;
        }
    }
    auto loc = locate(*p, true);
    if (!loc)
        return -1;
    Fd fd = loc->open(kReadDirFlags);
    if (fd && host)
        *host = loc->host();
    return fd.release();
}

std::optional<FolderListing> PosixFileSystem::listForWalk(std::string_view path, const MaskList& mask) const
{
    Fd fd(openFolder(path, nullptr));
    struct stat self {};
    if (!fd || ::fstat(fd.get(), &self) != 0)
        return std::nullopt;
    const int dirFd = fd.get();
    FolderListing out;
    const bool complete = forEachEntry(dirFd, [&](const char* entryName, unsigned char type) {
        const std::string_view name(entryName);
        struct stat own {};
        bool haveOwn = false;
        if (type == DT_UNKNOWN) {
            if (::fstatat(dirFd, entryName, &own, AT_SYMLINK_NOFOLLOW) != 0)
                return;
            haveOwn = true;
            type = S_ISDIR(own.st_mode) ? DT_DIR : S_ISREG(own.st_mode) ? DT_REG : S_ISLNK(own.st_mode) ? DT_LNK : DT_UNKNOWN;
        }
        if (type == DT_DIR) {
            // Looked at again without following: a folder swapped for a link is not entered.
            if (!haveOwn && ::fstatat(dirFd, entryName, &own, AT_SYMLINK_NOFOLLOW) != 0)
                return;
            if (S_ISDIR(own.st_mode) && own.st_dev == self.st_dev)
                out.folders.push_back({std::string(name), attributesFor(name, true, false, nullptr), 0});
        } else if (type == DT_REG) {
            if (mask.matches(name))
                out.files.push_back({std::string(name), attributesFor(name, false, false, nullptr), 0});
        } else if (type == DT_LNK && mask.matches(name)) {
            // As listFiles has it: a link to a file, or one leading nowhere, is a file.
            struct stat target {};
            if (::fstatat(dirFd, entryName, &target, 0) != 0 || S_ISREG(target.st_mode))
                out.files.push_back({std::string(name), attributesFor(name, false, true, nullptr), 0});
        }
    });
    if (!complete)
        return std::nullopt;
    const auto byName = [](const DirEntry& a, const DirEntry& b) { return text::compareNoCase(a.name, b.name) < 0; };
    std::sort(out.folders.begin(), out.folders.end(), byName);
    std::sort(out.files.begin(), out.files.end(), byName);
    return out;
}

std::unique_ptr<FolderWatch> PosixFileSystem::watch(std::string_view folder) const
{
    std::string host;
    const Fd dir(openFolder(folder, &host));
    if (!dir)
        return nullptr;
    Fd fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!fd)
        return nullptr;
    // The folder just opened, by its descriptor, so the watch is on what was resolved; the
    // host path serves where /proc is not mounted.
    const std::string opened = "/proc/self/fd/" + std::to_string(dir.get());
    if (::inotify_add_watch(fd.get(), opened.c_str(), kWatchEvents) < 0) {
        if (errno != ENOENT || host.size() >= PATH_MAX || ::inotify_add_watch(fd.get(), host.c_str(), kWatchEvents) < 0)
            return nullptr;
    }
    return std::make_unique<InotifyWatch>(std::move(fd));
}

std::optional<std::vector<DirEntry>> PosixFileSystem::listFolders(std::string_view path, const ListOptions& options) const
{
    return list(path, options, false, true);
}

std::optional<std::vector<DirEntry>> PosixFileSystem::listFiles(std::string_view path, const ListOptions& options) const
{
    return list(path, options, true, false);
}

std::optional<std::vector<DirEntry>> PosixFileSystem::listEntries(std::string_view path) const
{
    return list(path, ListOptions{}, true, true);
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
    return attributesFor(loc->leaf, folder, link, &st);
}

bool PosixFileSystem::deleteFile(std::string_view path)
{
    auto loc = locate(path, false);
    struct stat st {};
    if (!loc || loc->leaf.empty() || !loc->stat(st, AT_SYMLINK_NOFOLLOW))
        return false;
    if ((!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) || isReadOnlyFile(st))
        return false;
    return ::unlinkat(loc->parent.get(), loc->leaf.c_str(), 0) == 0;
}

int PosixFileSystem::deleteMatching(std::string_view folder, std::string_view masksText)
{
    const MaskList masks(masksText);
    auto loc = locate(folder, false);
    if (!loc)
        return 0;
    DirStream dir(loc->open(kReadDirFlags | O_NOFOLLOW));
    if (!dir)
        return 0;
    const int dirFd = dir.fd();
    std::vector<std::string> doomed;
    while (const dirent* e = dir.next()) {
        if (e->d_type == DT_DIR || !masks.matches(e->d_name))
            continue;
        struct stat own {};
        if (::fstatat(dirFd, e->d_name, &own, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISLNK(own.st_mode)) {
            struct stat target {};
            if (::fstatat(dirFd, e->d_name, &target, 0) == 0 && !S_ISREG(target.st_mode))
                continue;
        } else if (!S_ISREG(own.st_mode) || isReadOnlyFile(own)) {
            continue;
        }
        doomed.emplace_back(e->d_name);
    }
    // Removed after the reading ends: a directory stream need not survive its own changes.
    int count = 0;
    for (const std::string& name : doomed) {
        if (::unlinkat(dirFd, name.c_str(), 0) == 0)
            ++count;
    }
    return count;
}

bool PosixFileSystem::copyFile(std::string_view from, std::string_view to)
{
    auto source = locate(from, true);
    if (!source)
        return false;
    const Fd in = source->open(O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (!in || ::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode))
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

bool PosixFileSystem::removeFolder(std::string_view path)
{
    auto loc = locate(path, false);
    if (!loc || loc->leaf.empty())
        return false;
    if (::unlinkat(loc->parent.get(), loc->leaf.c_str(), AT_REMOVEDIR) == 0)
        return true;
    return errno == ENOENT && loc->rematch() && ::unlinkat(loc->parent.get(), loc->leaf.c_str(), AT_REMOVEDIR) == 0;
}

bool PosixFileSystem::setAttributes(std::string_view path, std::uint32_t attributes)
{
    auto loc = locate(path, false);
    struct stat st {};
    if (!loc || loc->leaf.empty() || !loc->stat(st, AT_SYMLINK_NOFOLLOW))
        return false;
    if (S_ISLNK(st.st_mode))
        return true;
    mode_t mode = st.st_mode & 07777;
    if (attributes & attr::ReadOnly)
        mode &= static_cast<mode_t>(~(S_IWUSR | S_IWGRP | S_IWOTH));
    else
        mode |= S_IWUSR;
    if (mode == (st.st_mode & 07777))
        return true;
    const int dirFd = loc->parent.get();
    if (::fchmodat(dirFd, loc->leaf.c_str(), mode, AT_SYMLINK_NOFOLLOW) == 0)
        return true;
    if (errno != EOPNOTSUPP && errno != ENOTSUP) return false;
    // Without /proc the C library cannot refuse links itself: open the leaf without following
    // it, so a link swapped in meanwhile never lends us its target.
    const Fd fd(::openat(dirFd, loc->leaf.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    return fd && ::fchmod(fd.get(), mode) == 0;
}

bool PosixFileSystem::appendFile(std::string_view path, std::string_view bytes)
{
    auto loc = locate(path, true);
    if (!loc || loc->leaf.empty())
        return false;
    struct stat st {};
    loc->stat(st, AT_SYMLINK_NOFOLLOW); // takes an existing name's case before creating one
    const Fd fd(::openat(loc->parent.get(), loc->leaf.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    return fd && writeAll(fd.get(), bytes);
}

std::optional<std::string> PosixFileSystem::readFile(std::string_view path) const
{
    auto loc = locate(path, true);
    if (!loc || loc->leaf.empty())
        return std::nullopt;
    const Fd fd = loc->open(O_RDONLY | O_CLOEXEC);
    if (!fd)
        return std::nullopt;
    return readAll(fd.get());
}

bool PosixFileSystem::sameFileSystem(std::string_view outer, std::string_view inner) const
{
    const auto outerHost = hostPath(outer);
    const auto innerHost = hostPath(inner);
    struct stat outerStat {}, innerStat {};
    if (!outerHost || !innerHost || ::stat(outerHost->c_str(), &outerStat) != 0 ||
        ::lstat(innerHost->c_str(), &innerStat) != 0)
        return false;
    return !S_ISLNK(innerStat.st_mode) && outerStat.st_dev == innerStat.st_dev;
}

std::optional<std::string> PosixFileSystem::hostPath(std::string_view path) const
{
    const auto p = parse(path);
    if (!p)
        return std::nullopt;
    const std::string& root = m_roots[static_cast<std::size_t>(p->drive)];
    if (root.empty())
        return std::nullopt;
    std::string host = root;
    for (const std::string& part : p->parts)
        appendHost(host, part);
    struct stat st {};
    if (host.size() < PATH_MAX && ::fstatat(AT_FDCWD, host.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return host;

    // Match case component by component; from the first missing folder on, names stay as given.
    host = root;
    Fd dir(::open(root.c_str(), kWalkFlags));
    for (std::size_t i = 0; i < p->parts.size(); ++i) {
        std::string name = p->parts[i];
        if (dir) {
            if (::fstatat(dir.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT) {
                if (auto match = findNoCase(dir.get(), name))
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

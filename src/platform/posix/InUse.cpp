#include "platform/posix/InUse.h"

#include "platform/posix/Fd.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

namespace velmora::posixhost {

namespace {

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

bool isNumber(const char* name) { return *name && std::strspn(name, "0123456789") == std::strlen(name); }

// The numeric entries of an open /proc folder ("1234" of /proc, "3" of /proc/PID/fd).
template <class F> void forEachNumber(int dirFd, F&& f)
{
    const int copy = ::dup(dirFd);
    if (copy < 0) return;
    DIR* dir = ::fdopendir(copy);
    if (!dir) {
        ::close(copy);
        return;
    }
    while (const dirent* e = ::readdir(dir))
        if (isNumber(e->d_name)) f(e->d_name);
    ::closedir(dir);
}

std::string readAll(int dirFd, const char* name)
{
    const Fd in(::openat(dirFd, name, O_RDONLY | O_CLOEXEC));
    std::string text;
    if (!in) return text;
    char buffer[65536];
    ssize_t n = 0;
    while ((n = ::read(in.get(), buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
    return text;
}

// The files a process's memory maps: "start-end perms offset MAJOR:MINOR INODE path" a line,
// the device in hexadecimal.
template <class F> void forEachMapped(const std::string& maps, F&& f)
{
    const char* at = maps.c_str();
    while (*at) {
        const char* end = std::strchr(at, '\n');
        if (!end) end = at + std::strlen(at);
        std::string line(at, end);
        at = *end ? end + 1 : end;
        char* p = line.data();
        for (int field = 0; field < 3 && p; ++field) {
            p = std::strchr(p, ' ');
            if (p) ++p;
        }
        if (!p) continue;
        char* next = nullptr;
        const unsigned long major = std::strtoul(p, &next, 16);
        if (*next != ':') continue;
        const unsigned long minor = std::strtoul(next + 1, &next, 16);
        const unsigned long long inode = std::strtoull(next, nullptr, 10);
        if (inode != 0)
            f(static_cast<dev_t>(makedev(static_cast<unsigned>(major), static_cast<unsigned>(minor))),
              static_cast<ino_t>(inode));
    }
}

} // namespace

OpenFiles OpenFiles::read()
{
    OpenFiles result;
    const Fd proc(::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!proc) {
        result.m_unknown = true;
        return result;
    }
    const std::string self = std::to_string(::getpid());
    const auto add = [&result](const struct stat& st) {
        if (S_ISREG(st.st_mode)) result.m_files.emplace_back(st.st_dev, st.st_ino);
    };
    forEachNumber(proc.get(), [&](const char* pid) {
        if (self == pid) return;
        const Fd process(::openat(proc.get(), pid, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!process) return;
        struct stat st {};
        if (::fstatat(process.get(), "exe", &st, 0) == 0) add(st);
        // Another user's process keeps these to itself: only what the user can see is known.
        const Fd fds(::openat(process.get(), "fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (fds)
            forEachNumber(fds.get(), [&](const char* n) {
                if (::fstatat(fds.get(), n, &st, 0) == 0) add(st);
            });
        forEachMapped(readAll(process.get(), "maps"),
                      [&result](dev_t device, ino_t inode) { result.m_files.emplace_back(device, inode); });
    });
    std::sort(result.m_files.begin(), result.m_files.end());
    result.m_files.erase(std::unique(result.m_files.begin(), result.m_files.end()), result.m_files.end());
    return result;
}

bool OpenFiles::holds(dev_t device, ino_t inode) const
{
    return m_unknown || std::binary_search(m_files.begin(), m_files.end(), std::pair{device, inode});
}

bool InUseGuard::heldByOthers(const struct stat& seen)
{
    const auto now = std::chrono::steady_clock::now();
    if (!m_snapshot || now - m_taken > std::chrono::seconds(1)) {
        m_snapshot = OpenFiles::read();
        m_taken = now;
    }
    return m_snapshot->holds(seen.st_dev, seen.st_ino);
}

bool InUseGuard::remove(int dirFd, const std::string& host, const struct stat& seen)
{
    const auto unlinkIfStill = [&] {
        struct stat now {};
        return ::fstatat(dirFd, host.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(now.st_mode) &&
               sameFile(now, seen) && ::unlinkat(dirFd, host.c_str(), 0) == 0;
    };
    // Non-blocking: a file another program holds a write lease on answers at once instead.
    const Fd file(::openat(dirFd, host.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file) {
        struct stat opened {};
        if (::fstat(file.get(), &opened) != 0 || !S_ISREG(opened.st_mode) || !sameFile(opened, seen)) return false;
        // Another program opening the file breaks the lease with a signal, SIGIO unless told
        // otherwise, whose default would end this process: one that is ignored by default.
        ::fcntl(file.get(), F_SETSIG, SIGURG);
        if (::fcntl(file.get(), F_SETLEASE, F_WRLCK) == 0)
            // A break under way means someone is opening it right now.
            return ::fcntl(file.get(), F_GETLEASE) == F_WRLCK && unlinkIfStill();
        if (errno == EAGAIN) return false;
    } else if (errno == EWOULDBLOCK || errno == ENOENT || errno == ELOOP) {
        return false;
    }
    return !heldByOthers(seen) && unlinkIfStill();
}

} // namespace velmora::posixhost

#include "platform/posix/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace velmora::posixhost {

// The name is first taken without opening what it names, looked at, and only then opened,
// through that very handle. A report must not be written through a link someone planted.
Fd openRegular(int dirFd, const char* name, int flags, bool append)
{
    struct stat st {};
    Fd handle(::openat(dirFd, name, O_PATH | O_CLOEXEC | (append ? O_NOFOLLOW : 0)));
    if (!handle) {
        if (errno != ENOENT || !append) return {};
        return Fd(::openat(dirFd, name, flags | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0644));
    }
    if (::fstat(handle.get(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    const std::string opened = "/proc/self/fd/" + std::to_string(handle.get());
    Fd fd(::open(opened.c_str(), flags | O_NOCTTY | O_CLOEXEC));
    if (!fd && errno == ENOENT) // no /proc: open by name, never waiting, and look again
        fd = Fd(::openat(dirFd, name, flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (append ? O_NOFOLLOW : 0)));
    struct stat now {};
    if (!fd || ::fstat(fd.get(), &now) != 0 || !S_ISREG(now.st_mode) || now.st_ino != st.st_ino ||
        now.st_dev != st.st_dev)
        return {};
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
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
        if (n == 0) return out;
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        out.append(buffer, static_cast<std::size_t>(n));
    }
}

} // namespace velmora::posixhost

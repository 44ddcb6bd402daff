#include "platform/posix/InotifyWatch.h"

#include "platform/posix/PosixHost.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <thread>

namespace velmora::posixhost {

namespace {

// Events on the watched folder itself and on its entries. IN_ONLYDIR: a file swapped in for
// the folder since it was opened is refused rather than watched.
constexpr std::uint32_t kWatchEvents = IN_CREATE | IN_DELETE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_FROM |
                                       IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

constexpr std::size_t kMostNames = 4096;

} // namespace

InotifyWatch::~InotifyWatch()
{
    try {
        std::thread([fd = std::move(m_fd)]() mutable { fd.reset(); }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the descriptor closes here, with the task that held it.
    }
}

std::unique_ptr<FolderWatch> InotifyWatch::open(int folderFd)
{
    Fd fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    const std::string opened = "/proc/self/fd/" + std::to_string(folderFd);
    if (!fd || ::inotify_add_watch(fd.get(), opened.c_str(), kWatchEvents) < 0) return nullptr;
    return std::make_unique<InotifyWatch>(std::move(fd));
}

std::optional<std::vector<std::string>> InotifyWatch::poll()
{
    if (m_gone) return std::nullopt;
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
            if (event.mask & IN_Q_OVERFLOW) overflow = true;
            if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) m_gone = true;
            // Past a few thousand names one read of the folder is cheaper than naming each.
            if (event.len > 0 && !overflow && names.size() < kMostNames)
                names.push_back(toProgramName(std::string_view(name, ::strnlen(name, event.len))));
            else if (event.len > 0)
                overflow = true;
        }
    }
    if (!drained) overflow = true;
    if (m_gone || overflow) return std::nullopt;
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

} // namespace velmora::posixhost

#include "platform/posix/InUse.h"

#include "platform/posix/Fd.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_map>

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

// Leases taken a few files ahead of the removal on a thread of their own, and descriptors let
// go there after it: the kernel's work for a lease is as dear as the unlink's.
class InUseGuard::Ahead {
public:
    Ahead(int dirFd, std::vector<std::string> hosts) : m_dirFd(dirFd), m_hosts(std::move(hosts))
    {
        for (std::size_t i = 0; i < m_hosts.size(); ++i) m_index.emplace(m_hosts[i], i);
        m_thread = std::thread([this] { run(); });
    }
    ~Ahead()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    Ahead(const Ahead&) = delete;
    Ahead& operator=(const Ahead&) = delete;

    // The probe of `host` when it was among those prepared and is not behind the removal yet.
    std::optional<Probe> take(const std::string& host)
    {
        const auto at = m_index.find(host);
        std::unique_lock lock(m_mutex);
        if (at == m_index.end() || at->second < m_wanted) return std::nullopt;
        m_wanted = at->second;
        if (m_next <= m_wanted) {
            m_waiting = true;
            m_wake.notify_all();
            m_probed.wait(lock, [&] { return m_next > m_wanted; });
            m_waiting = false;
        }
        // Those passed over were not asked for, and are still there: let them go at once, as
        // another program's open of them waits while a lease is held.
        while (m_readyFrom < m_wanted) {
            m_ready.front().file.reset();
            m_ready.pop_front();
            ++m_readyFrom;
        }
        Probe probe = std::move(m_ready.front());
        m_ready.pop_front();
        ++m_readyFrom;
        ++m_wanted;
        // Woken once half the window is used, not at every file.
        if (m_idle && needsWork()) m_wake.notify_all();
        return probe;
    }

    // Closed later on the thread, with the next refill.
    void letGo(Fd file)
    {
        const std::lock_guard lock(m_mutex);
        m_closing.push_back(std::move(file));
    }

private:
    // How far ahead leases are held: while one is, another program's open of that file waits.
    static constexpr std::size_t Window = 64;

    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_idle = true;
            m_wake.wait(lock, [&] { return m_stop || needsWork(); });
            m_idle = false;
            if (m_stop) return;
            std::vector<Fd> closing = std::move(m_closing);
            m_closing.clear();
            lock.unlock();
            closing.clear();
            lock.lock();
            while (!m_stop && m_next < m_hosts.size() && m_next < m_wanted + Window) {
                const std::string& host = m_hosts[m_next];
                lock.unlock();
                Probe probe = InUseGuard::probe(m_dirFd, host);
                lock.lock();
                m_ready.push_back(std::move(probe));
                ++m_next;
                if (m_waiting) m_probed.notify_all();
            }
        }
    }
    bool needsWork() const
    {
        return m_waiting || m_closing.size() >= Window / 2 ||
               (m_next < m_hosts.size() && m_next < m_wanted + Window / 2);
    }

    const int m_dirFd;
    const std::vector<std::string> m_hosts;
    std::unordered_map<std::string, std::size_t> m_index;
    std::mutex m_mutex;
    std::condition_variable m_wake;   // the thread: work to do
    std::condition_variable m_probed; // the removal: its probe is there
    std::deque<Probe> m_ready;        // probes m_readyFrom .. m_next - 1
    std::size_t m_readyFrom = 0, m_next = 0, m_wanted = 0;
    std::vector<Fd> m_closing;
    bool m_stop = false, m_idle = false, m_waiting = false;
    std::thread m_thread;
};

InUseGuard::InUseGuard() = default;
InUseGuard::~InUseGuard() = default;

void InUseGuard::prepare(int dirFd, std::vector<std::string> hosts)
{
    m_ahead.reset();
    if (hosts.size() > 1) m_ahead = std::make_unique<Ahead>(dirFd, std::move(hosts));
}

InUseGuard::Probe InUseGuard::probe(int dirFd, const std::string& host)
{
    Probe p;
    // Non-blocking: a file another program holds a write lease on answers at once instead.
    p.file = Fd(::openat(dirFd, host.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!p.file) {
        p.error = errno;
        return p;
    }
    if (::fstat(p.file.get(), &p.opened) != 0 || !S_ISREG(p.opened.st_mode)) {
        p.error = ENOENT;
        return p;
    }
    // Another program opening the file breaks the lease with a signal, SIGIO unless told
    // otherwise, whose default would end this process: one that is ignored by default.
    ::fcntl(p.file.get(), F_SETSIG, SIGURG);
    p.error = ::fcntl(p.file.get(), F_SETLEASE, F_WRLCK) == 0 ? 0 : errno;
    return p;
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

void InUseGuard::forget(const std::string& host)
{
    if (m_ahead) m_ahead->take(host);
}

bool InUseGuard::remove(int dirFd, const std::string& host, const struct stat& seen)
{
    std::optional<Probe> ahead = m_ahead ? m_ahead->take(host) : std::nullopt;
    Probe p = ahead ? std::move(*ahead) : probe(dirFd, host);
    const auto unlinkIfStill = [&] {
        struct stat now {};
        return ::fstatat(dirFd, host.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(now.st_mode) &&
               sameFile(now, seen) && ::unlinkat(dirFd, host.c_str(), 0) == 0;
    };
    bool removed = false;
    if (p.file && !sameFile(p.opened, seen)) {
        removed = false; // another file under the name since the caller looked
    } else if (p.error == 0) {
        // A break under way means someone is opening it right now.
        removed = ::fcntl(p.file.get(), F_GETLEASE) == F_WRLCK && unlinkIfStill();
    } else if (p.error != EAGAIN && p.error != ENOENT && p.error != ELOOP) {
        // EAGAIN: held by another, or under another's lease. Otherwise no lease could be had.
        removed = !heldByOthers(seen) && unlinkIfStill();
    }
    // A file that went is closed later, on the thread; one that stays is let go at once.
    if (m_ahead && removed) m_ahead->letGo(std::move(p.file));
    return removed;
}

} // namespace velmora::posixhost

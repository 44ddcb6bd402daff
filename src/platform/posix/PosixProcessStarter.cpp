#include "platform/posix/PosixProcessStarter.h"

#include "platform/WindowsPath.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>

namespace velmora {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool equalAsciiNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        const char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
        if (x != y) return false;
    }
    return true;
}

// Runs in the forked child: only async-signal-safe calls from here on.
[[noreturn]] void execChild(char* const* argv, int errorPipe, int devNull)
{
    if (devNull >= 0) ::dup2(devNull, STDIN_FILENO);
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    ::sigaction(SIGPIPE, &dfl, nullptr);
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execvp(argv[0], argv);
    const int error = errno;
    [[maybe_unused]] const ssize_t n = ::write(errorPipe, &error, sizeof error);
    ::_exit(127);
}

int waitFor(pid_t pid, int options = 0)
{
    int status = 0;
    for (;;) {
        const pid_t got = ::waitpid(pid, &status, options);
        if (got > 0) return status;
        if (got == 0) return -2; // still running (WNOHANG)
        if (errno != EINTR) return -1;
    }
}

int exitCode(int status) { return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status); }

void reap(std::vector<int>& orphans)
{
    std::erase_if(orphans, [](int pid) { return waitFor(pid, WNOHANG) != -2; });
}

class PosixProcess : public StartedProcess {
public:
    PosixProcess(pid_t pid, std::shared_ptr<std::vector<int>> orphans)
        : m_pid(pid), m_orphans(std::move(orphans)), m_pidFd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)))
    {}
    ~PosixProcess() override
    {
        if (!m_status && waitFor(m_pid, WNOHANG) == -2) m_orphans->push_back(m_pid);
        if (m_pidFd >= 0) ::close(m_pidFd);
    }
    PosixProcess(const PosixProcess&) = delete;
    PosixProcess& operator=(const PosixProcess&) = delete;

    std::optional<int> exitStatus(std::chrono::milliseconds wait) override
    {
        if (m_status) return m_status;
        const auto deadline = std::chrono::steady_clock::now() + wait;
        for (;;) {
            const int status = waitFor(m_pid, WNOHANG);
            if (status == -1) return m_status = 127; // not ours any more: nothing to report
            if (status != -2) return m_status = exitCode(status);
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return std::nullopt;
            // The pid descriptor turns readable when the program ends; without one (an old
            // kernel), look again every few milliseconds.
            if (m_pidFd >= 0) {
                pollfd p{m_pidFd, POLLIN, 0};
                ::poll(&p, 1, static_cast<int>(left.count()));
            } else {
                ::usleep(static_cast<useconds_t>(std::min<long long>(left.count(), 5) * 1000));
            }
        }
    }

    void stop() override
    {
        // Not once reaped: the number may belong to another program by now.
        if (!m_status) ::kill(m_pid, SIGTERM);
    }

private:
    pid_t m_pid;
    std::shared_ptr<std::vector<int>> m_orphans;
    int m_pidFd;
    std::optional<int> m_status;
};

// Forks and executes `args`. The child's pid, or nothing when the program could not be
// started: an exec failure comes back through a pipe that a successful exec closes.
// Detached, a middle child starts the program and exits at once, so the program is
// adopted by the system and reaped there.
std::optional<pid_t> spawn(const std::vector<std::string>& args, bool detached)
{
    if (args.empty() || args.front().empty()) return std::nullopt;
    // Built before the fork: the child must not allocate.
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return std::nullopt;
    const int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        if (detached) {
            const pid_t grandchild = ::fork();
            if (grandchild < 0) {
                const int error = errno;
                [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], &error, sizeof error);
                ::_exit(127);
            }
            if (grandchild > 0) ::_exit(0);
        }
        execChild(argv.data(), pipeFds[1], devNull);
    }
    ::close(pipeFds[1]);
    if (devNull >= 0) ::close(devNull);
    if (pid < 0) {
        ::close(pipeFds[0]);
        return std::nullopt;
    }

    int error = 0;
    std::size_t got = 0;
    while (got < sizeof error) {
        const ssize_t n = ::read(pipeFds[0], reinterpret_cast<char*>(&error) + got, sizeof error - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(pipeFds[0]);
    if (detached || got == sizeof error) waitFor(pid);
    if (got == sizeof error) return std::nullopt;
    return pid;
}

} // namespace

PosixProcessStarter::PosixProcessStarter(const FileSystem& fs) : m_fs(fs) {}

std::vector<std::string> PosixProcessStarter::splitCommandLine(std::string_view line)
{
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i])) ++i;
        if (i >= line.size()) break;
        std::string word;
        bool quoted = false;
        for (; i < line.size() && (quoted || !isBlank(line[i])); ++i) {
            const char c = line[i];
            if (c != '"') {
                word += c;
            } else if (!quoted) {
                quoted = true;
            } else if (i + 1 < line.size() && line[i + 1] == '"') {
                word += '"';
                ++i;
            } else {
                quoted = false;
            }
        }
        words.push_back(std::move(word));
    }
    return words;
}

std::string PosixProcessStarter::quote(std::string_view word)
{
    std::string s = "\"";
    for (char c : word) {
        s += c;
        if (c == '"') s += '"';
    }
    s += '"';
    return s;
}

std::optional<std::vector<std::string>> PosixProcessStarter::hostArguments(std::string_view commandLine) const
{
    std::vector<std::string> args = splitCommandLine(commandLine);
    for (std::string& a : args) {
        // A bare "D:" is what a drive root becomes once its "\" is cut off: the root, not the
        // drive's current folder, which no other program could know.
        if (a.size() == 2 && winpath::hasDrive(a)) a += '\\';
        if (!winpath::isDrivePath(a)) continue;
        // A Windows path handed on as it is would make a file of that name in the working
        // folder: a path on no usable drive is no start at all.
        auto host = m_fs.hostPath(a);
        if (!host) return std::nullopt;
        a = std::move(*host);
    }
    if (!args.empty() && (equalAsciiNoCase(args.front(), "explorer") || equalAsciiNoCase(args.front(), "explorer.exe")))
        args.front() = "xdg-open";
    return args;
}

bool PosixProcessStarter::start(std::string_view commandLine)
{
    reap(*m_orphans);
    const auto args = hostArguments(commandLine);
    return args && spawn(*args, true).has_value();
}

std::unique_ptr<StartedProcess> PosixProcessStarter::launch(std::string_view commandLine)
{
    reap(*m_orphans);
    const auto args = hostArguments(commandLine);
    const auto pid = args ? spawn(*args, false) : std::nullopt;
    if (!pid) return nullptr;
    return std::make_unique<PosixProcess>(*pid, m_orphans);
}

} // namespace velmora

// The test helpers whose work depends on the host: Linux.
#include "support/TestSupport.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <system_error>

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velmora::testsupport {

namespace fs = std::filesystem;

bool dropRootPrivileges()
{
    if (geteuid() != 0) return true;
    constexpr uid_t nobody = 65534;
    return setgroups(0, nullptr) == 0 && setgid(nobody) == 0 && setuid(nobody) == 0;
}

std::optional<std::string> plainUserMissing()
{
    if (geteuid() != 0) return std::nullopt;
    // Tried once, in a child, which reports the error that stopped it.
    static const std::optional<std::string> missing = []() -> std::optional<std::string> {
        const pid_t child = ::fork();
        if (child == 0) std::_Exit(dropRootPrivileges() ? 0 : (errno > 0 && errno < 256 ? errno : 255));
        int status = 0;
        if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
            return "cannot try to drop root here";
        if (WEXITSTATUS(status) == 0) return std::nullopt;
        return std::string("running as root, but cannot become the user nobody (") +
               std::strerror(WEXITSTATUS(status)) + ")";
    }();
    return missing;
}

void openTreeToEveryone(const fs::path& root)
{
    std::error_code ec;
    fs::permissions(root, fs::perms::all, fs::perm_options::add, ec);
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        fs::permissions(it->path(), fs::perms::all, fs::perm_options::add, ec);
}

bool underWine() { return false; }

fs::path builtProgram(std::string_view fileName)
{
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    for (const fs::path& folder : {self.parent_path(), self.parent_path().parent_path()}) {
        if (fs::exists(folder / fileName, ec)) return folder / fileName;
    }
    return fs::path(fileName);
}

std::optional<std::string> linksMissing() { return std::nullopt; }

bool makeLink(const fs::path& target, const fs::path& link)
{
    std::error_code ec;
    fs::create_symlink(target, link, ec);
    return !ec;
}

bool isLink(const fs::path& p)
{
    std::error_code ec;
    return fs::is_symlink(fs::symlink_status(p, ec));
}

std::optional<std::string> permissionBitsMissing() { return std::nullopt; }

void setMode(const fs::path& p, unsigned mode) { ::chmod(p.c_str(), static_cast<mode_t>(mode)); }

bool isReadOnly(const fs::path& p)
{
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 && (st.st_mode & 0222) == 0;
}

std::optional<std::string> fifosMissing() { return std::nullopt; }

bool makeFifo(const fs::path& p) { return ::mkfifo(p.c_str(), 0644) == 0; }

bool isFifo(const fs::path& p)
{
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

std::optional<std::string> oddNamesMissing() { return std::nullopt; }

bool makeHardLink(const fs::path& existing, const fs::path& link)
{
    return ::link(existing.c_str(), link.c_str()) == 0;
}

bool setModificationTime(const fs::path& p, const DateTime& local)
{
    std::tm tm{};
    tm.tm_year = local.year - 1900;
    tm.tm_mon = local.month - 1;
    tm.tm_mday = local.day;
    tm.tm_hour = local.hour;
    tm.tm_min = local.minute;
    tm.tm_sec = local.second;
    tm.tm_isdst = -1;
    const struct timespec times[2] = {{0, UTIME_OMIT}, {std::mktime(&tm), 0}};
    return ::utimensat(AT_FDCWD, p.c_str(), times, 0) == 0;
}

void setVariable(const char* name, const char* value)
{
    if (value)
        ::setenv(name, value, 1);
    else
        ::unsetenv(name);
}

BindMount::BindMount(const fs::path& from, const fs::path& onto) : m_onto(onto)
{
    m_mounted = ::mount(from.c_str(), onto.c_str(), nullptr, MS_BIND, nullptr) == 0;
    if (!m_mounted) m_error = std::strerror(errno);
}

BindMount::~BindMount()
{
    if (m_mounted) ::umount2(m_onto.c_str(), MNT_DETACH);
}

std::string BindMount::skipReason() const
{
    return "cannot bind-mount here (" + m_error + "); needs root with CAP_SYS_ADMIN";
}

void exitAfter(unsigned seconds) { ::alarm(seconds); }

FileHolder::FileHolder(const fs::path& file, How how, bool plainUser)
{
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) {
        m_failure = std::strerror(errno);
        return;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ready[0]);
        // Dropped from root, a process hides its /proc entries from its own user until it says
        // otherwise; an ordinary program of that user does not.
        if (plainUser && (!dropRootPrivileges() || ::prctl(PR_SET_DUMPABLE, 1) != 0)) std::_Exit(2);
        if (how == How::Run) {
            // The pipe closes on exec: end of input tells the parent the program runs.
            ::execl(file.c_str(), file.c_str(), "600", static_cast<char*>(nullptr));
            std::_Exit(3);
        }
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) std::_Exit(4);
        if (how == How::Map) {
            if (::mmap(nullptr, 1, PROT_READ, MAP_SHARED, fd, 0) == MAP_FAILED) std::_Exit(5);
            ::close(fd);
        }
        const char byte = 1;
        if (::write(ready[1], &byte, 1) != 1) std::_Exit(6);
        ::pause();
        std::_Exit(0);
    }
    ::close(ready[1]);
    if (child < 0) {
        m_failure = std::strerror(errno);
        ::close(ready[0]);
        return;
    }
    m_process = child;
    char byte = 0;
    const ssize_t n = ::read(ready[0], &byte, 1);
    ::close(ready[0]);
    int status = 0;
    // A byte, or end of input from a program that runs; an ended child took nothing.
    if ((n < 0 || (n == 0 && how != How::Run)) || ::waitpid(child, &status, WNOHANG) != 0)
        m_failure = "the holder could not take " + file.string();
}

FileHolder::~FileHolder()
{
    if (m_process <= 0) return;
    ::kill(static_cast<pid_t>(m_process), SIGKILL);
    ::waitpid(static_cast<pid_t>(m_process), nullptr, 0);
}

bool FileHolder::copyRunnable(const fs::path& to)
{
    std::error_code ec;
    return fs::copy_file("/bin/sleep", to, fs::copy_options::overwrite_existing, ec) &&
           (fs::permissions(to, fs::perms::all, fs::perm_options::add, ec), !ec);
}

std::optional<std::string> namesakesMissing() { return std::nullopt; }

std::optional<std::string> heldFoldersStay() { return std::nullopt; }

void removeTree(const fs::path& root)
{
    std::error_code ec;
    // Tests take permissions away; give them back so the tree can go.
    for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root, ec);
}

bool makeDeepFolders(const fs::path& top, int levels, const std::string& leafFile)
{
    // Level by level through the working folder: the whole path would exceed PATH_MAX.
    std::error_code ec;
    const fs::path home = fs::current_path(ec);
    fs::create_directories(top, ec);
    fs::current_path(top, ec);
    bool ok = !ec;
    for (int i = 0; ok && i < levels; ++i) ok = fs::create_directory("d", ec) && (fs::current_path("d", ec), !ec);
    if (ok) ok = static_cast<bool>(std::ofstream(leafFile));
    fs::current_path(home, ec);
    return ok;
}

std::optional<std::string> hugeFoldersTooSlow() { return std::nullopt; }

} // namespace velmora::testsupport

// The test helpers whose work depends on the host: Linux.
#include "support/TestSupport.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <system_error>

#include <fcntl.h>
#include <grp.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora::testsupport {

namespace fs = std::filesystem;

bool dropRootPrivileges()
{
    if (geteuid() != 0) return true;
    constexpr uid_t nobody = 65534;
    return setgroups(0, nullptr) == 0 && setgid(nobody) == 0 && setuid(nobody) == 0;
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

std::optional<std::string> namesakesMissing() { return std::nullopt; }

} // namespace velmora::testsupport

#include "platform/posix/PosixEnvironment.h"

#include "platform/posix/PosixHost.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>

extern char** environ;

namespace velmora {

namespace {

char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool equalAsciiNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (upperAscii(a[i]) != upperAscii(b[i])) return false;
    }
    return true;
}

std::optional<std::string> lookUp(std::string_view name)
{
    std::optional<std::string> found;
    for (char** e = environ; e && *e; ++e) {
        const std::string_view entry(*e);
        const std::size_t eq = entry.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = entry.substr(0, eq);
        if (key == name) return std::string(entry.substr(eq + 1));
        if (!found && equalAsciiNoCase(key, name)) found = std::string(entry.substr(eq + 1));
    }
    return found;
}

std::string homeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
}

std::string dataFolder()
{
    std::string base;
    // The XDG rule: a relative XDG_DATA_HOME is invalid and ignored.
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/')
        base = xdg;
    else
        base = homeFolder() + "/.local/share";
    const std::string folder = posixhost::normalize(base + "/Velmora");
    std::error_code ec;
    std::filesystem::create_directories(folder + "/help", ec);
    return folder;
}

} // namespace

PosixEnvironment::PosixEnvironment(int argc, char** argv, const PosixFileSystem& fs) : m_fs(fs)
{
    for (int i = 1; i < argc && argv && argv[i]; ++i) m_arguments.emplace_back(argv[i]);
}

std::string PosixEnvironment::driveForm(const std::string& host) const
{
    auto form = m_fs.driveForm(host);
    return form ? *form : posixhost::offDriveForm(host);
}

std::string PosixEnvironment::get(std::string_view name) const
{
    if (name.empty()) return {};
    const auto value = lookUp(name);
    const bool tmp = equalAsciiNoCase(name, "TMP");
    const bool temp = tmp || equalAsciiNoCase(name, "TEMP");
    const bool windir = equalAsciiNoCase(name, "windir");
    if (value && !value->empty() && (temp || windir)) return value->front() == '/' ? driveForm(*value) : *value;
    if (value && !windir) return *value; // defined but empty: the caller's own fallbacks take over
    // Windows always defines TMP; here it stands for the host's temporary folder only when
    // the host defines neither variable.
    if (tmp && !lookUp("TEMP")) {
        const char* tmpdir = std::getenv("TMPDIR");
        return driveForm(tmpdir && *tmpdir == '/' ? tmpdir : "/tmp");
    }
    if (windir) return driveForm(dataFolder());
    return {};
}

std::string PosixEnvironment::commandLine() const
{
    std::string line;
    for (std::size_t i = 0; i < m_arguments.size(); ++i) {
        if (i > 0) line += ' ';
        line += m_arguments[i];
    }
    return line;
}

} // namespace velmora

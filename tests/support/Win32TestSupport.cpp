// The test helpers whose work depends on the host: Windows.
#include "support/TestSupport.h"

#include <windows.h>

#include <cstdlib>
#include <system_error>
#include <thread>
#include <vector>

namespace velmora::testsupport {

namespace fs = std::filesystem;

// Nobody is root on Windows; the tests that need it skip themselves (permissionBitsMissing).
bool dropRootPrivileges() { return true; }

void openTreeToEveryone(const fs::path&) {}

bool underWine()
{
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

fs::path builtProgram(std::string_view fileName)
{
    std::vector<wchar_t> buffer(32768);
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    const fs::path self(std::wstring(buffer.data(), n));
    std::error_code ec;
    for (const fs::path& folder : {self.parent_path(), self.parent_path().parent_path()}) {
        if (fs::exists(folder / hostPath(fileName), ec)) return folder / hostPath(fileName);
    }
    return hostPath(fileName);
}

std::optional<std::string> linksMissing()
{
    if (underWine())
        return "Wine shows a host link as what it leads to and deletes the target with it: links need a run on "
               "Windows";
    // Whether this user may make one at all (developer mode, or the privilege).
    static const bool allowed = [] {
        const fs::path probe = fs::temp_directory_path() / ("velmora-link-probe-" + std::to_string(::GetTickCount64()));
        const bool made = ::CreateSymbolicLinkW(probe.c_str(), L"target", 0x2 /* unprivileged */) != FALSE;
        if (made) ::DeleteFileW(probe.c_str());
        return made;
    }();
    if (!allowed) return "this user may not make symbolic links (developer mode or the privilege is needed)";
    return std::nullopt;
}

bool makeLink(const fs::path& target, const fs::path& link)
{
    std::error_code ec;
    const DWORD folder = fs::is_directory(target, ec) ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0;
    return ::CreateSymbolicLinkW(link.c_str(), target.c_str(), folder | 0x2 /* unprivileged */) != FALSE;
}

bool isLink(const fs::path& p)
{
    const DWORD a = ::GetFileAttributesW(p.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::optional<std::string> permissionBitsMissing()
{
    return "Windows folders and files are guarded by ACLs, not by the mode bits these tests take away";
}

void setMode(const fs::path& p, unsigned mode)
{
    const DWORD a = ::GetFileAttributesW(p.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return;
    ::SetFileAttributesW(p.c_str(),
                         (mode & 0200) ? (a & ~DWORD{FILE_ATTRIBUTE_READONLY}) : (a | FILE_ATTRIBUTE_READONLY));
}

bool isReadOnly(const fs::path& p)
{
    const DWORD a = ::GetFileAttributesW(p.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY);
}

std::optional<std::string> fifosMissing() { return "a Windows folder holds no named pipes"; }

bool makeFifo(const fs::path&) { return false; }

bool isFifo(const fs::path&) { return false; }

std::optional<std::string> oddNamesMissing()
{
    return "a Windows name cannot hold \\, :, *, ?, \", <, >, |, control characters or bytes that are not UTF-8";
}

bool makeHardLink(const fs::path& existing, const fs::path& link)
{
    return ::CreateHardLinkW(link.c_str(), existing.c_str(), nullptr) != FALSE;
}

bool setModificationTime(const fs::path& p, const DateTime& t)
{
    const SYSTEMTIME local{static_cast<WORD>(t.year),
                           static_cast<WORD>(t.month),
                           0,
                           static_cast<WORD>(t.day),
                           static_cast<WORD>(t.hour),
                           static_cast<WORD>(t.minute),
                           static_cast<WORD>(t.second),
                           0};
    SYSTEMTIME utc{};
    FILETIME when{};
    if (!::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) || !::SystemTimeToFileTime(&utc, &when)) return false;
    const HANDLE h =
        ::CreateFileW(p.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool ok = ::SetFileTime(h, nullptr, nullptr, &when) != FALSE;
    ::CloseHandle(h);
    return ok;
}

void setVariable(const char* name, const char* value)
{
    const std::wstring wide = hostPath(name).wstring();
    ::SetEnvironmentVariableW(wide.c_str(), value ? hostPath(value).wstring().c_str() : nullptr);
    // The C runtime keeps a copy of its own for getenv.
    ::_wputenv_s(wide.c_str(), value ? hostPath(value).wstring().c_str() : L"");
}

BindMount::BindMount(const fs::path&, const fs::path& onto) : m_onto(onto) {}

BindMount::~BindMount() = default;

std::string BindMount::skipReason() const
{
    return "Windows has no bind mounts; a volume mounted in a folder is a junction, which the links tests cover";
}

void exitAfter(unsigned seconds)
{
    std::thread([seconds] {
        ::Sleep(seconds * 1000);
        std::_Exit(124);
    }).detach();
}

std::optional<std::string> namesakesMissing() { return "a Windows folder holds no two names that differ only in case"; }

} // namespace velmora::testsupport

// The test helpers whose work depends on the host: Windows.
#include "support/TestSupport.h"

#include <windows.h>

#include <system_error>
#include <vector>

namespace velmora::testsupport {

namespace fs = std::filesystem;

// Nobody is root on Windows: the permission tests' own checks decide.
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

} // namespace velmora::testsupport

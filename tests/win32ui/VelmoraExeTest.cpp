// velmora.exe itself, as a user starts it: its windows come up in Russian on a drive-mapped
// temporary folder, and closing the main window ends the program.
#include "support/TestSupport.h"
#include "win32ui/WindowTesting.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cwchar>
#include <string_view>
#include <thread>

namespace velmora {
namespace {

using namespace win32test;

std::vector<HWND> windowsOf(DWORD process)
{
    struct Search {
        DWORD process;
        std::vector<HWND> found;
    } search{process, {}};
    ::EnumWindows(
        [](HWND w, LPARAM p) {
            auto& s = *reinterpret_cast<Search*>(p);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(w, &owner);
            if (owner == s.process && ::IsWindowVisible(w)) s.found.push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND titled(const std::vector<HWND>& windows, const std::string& title)
{
    for (HWND w : windows)
        if (text(w) == title) return w;
    return nullptr;
}

bool hasChildText(HWND parent, const std::string& wanted)
{
    struct Search {
        std::string wanted;
        bool found = false;
    } search{wanted};
    ::EnumChildWindows(
        parent,
        [](HWND w, LPARAM p) {
            auto& s = *reinterpret_cast<Search*>(p);
            s.found = s.found || text(w) == s.wanted;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TEST(VelmoraExe, ShowsItsWindowsInRussianAndEndsWhenTheMainWindowCloses)
{
    testsupport::TempDir c;
    c.write("TEMP/setup.tmp", "data");
    // The test's own environment: the drive map, a temporary folder on the mapped drive, and
    // settings of its own, which are the defaults.
    const std::wstring settingsKey =
        L"Software\\Velmora tests\\velmora.exe " + std::to_wstring(::GetCurrentProcessId());
    const std::vector<std::wstring> own = {L"VELMORA_DRIVES=c:=" + c.path().wstring(), L"TMP=C:\\TEMP",
                                           L"TEMP=C:\\TEMP", L"VELMORA_SETTINGS_KEY=" + settingsKey};
    std::wstring environment;
    for (const std::wstring& v : own) environment += v + L'\0';
    wchar_t* inherited = ::GetEnvironmentStringsW();
    for (const wchar_t* v = inherited; *v; v += std::wcslen(v) + 1) {
        const std::wstring_view entry(v);
        const std::wstring name(entry.substr(0, entry.find(L'=', 1)));
        bool replaced = false;
        for (const std::wstring& mine : own)
            replaced = replaced || _wcsicmp(mine.substr(0, mine.find(L'=')).c_str(), name.c_str()) == 0;
        if (!replaced) environment += std::wstring(entry) + L'\0';
    }
    ::FreeEnvironmentStringsW(inherited);
    environment += L'\0';

    const std::wstring program = buildFolder() + L"\\velmora.exe";
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                                 CREATE_UNICODE_ENVIRONMENT, environment.data(), c.path().wstring().c_str(), &startup,
                                 &process));
    // However the test ends, the program and its settings go.
    struct Cleanup {
        PROCESS_INFORMATION& process;
        const std::wstring& settingsKey;
        ~Cleanup()
        {
            if (::WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) ::TerminateProcess(process.hProcess, 1);
            ::CloseHandle(process.hThread);
            ::CloseHandle(process.hProcess);
            ::RegDeleteTreeW(HKEY_CURRENT_USER, settingsKey.c_str());
        }
    } cleanup{process, settingsKey};
    ::WaitForInputIdle(process.hProcess, 10000);

    HWND main = nullptr;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!main && std::chrono::steady_clock::now() < until) {
        main = titled(windowsOf(process.dwProcessId), "Velmora 2.2 - Quorvik");
        if (!main) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_NE(main, nullptr) << "no main window";
    EXPECT_TRUE(hasChildText(main, "Готов сканировать"));
    EXPECT_TRUE(hasChildText(main, "Удалить в&ыделенное"));
    // The launcher comes up over it, as the default settings say.
    HWND welcome = titled(windowsOf(process.dwProcessId), "Добро пожаловать в VLM");
    ASSERT_NE(welcome, nullptr) << "no launcher";
    EXPECT_EQ(::GetWindow(welcome, GW_OWNER), main);
    EXPECT_TRUE(hasChildText(welcome, "Поиск мусора в &ручном режиме"));

    ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(::WaitForSingleObject(process.hProcess, 10000), WAIT_OBJECT_0);
    DWORD code = 1;
    ::GetExitCodeProcess(process.hProcess, &code);
    EXPECT_EQ(code, 0u);
}

} // namespace
} // namespace velmora

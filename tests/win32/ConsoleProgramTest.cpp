// velmora-console.exe itself, driven through a pipe as a script or a scheduled task drives it,
// on a test drive, with settings in a registry key of the test's own.
#include "platform/Text.h"
#include "platform/win32/RegistrySettingsStore.h"
#include "platform/win32/Win32Text.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>

namespace velmora {
namespace {

namespace fs = std::filesystem;
using testsupport::pathText;

class ConsoleProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        root.mkdir("c/TEMP");
        // The person of most of these runs has turned the welcome launcher off.
        RegistrySettingsStore(m_settingsKey).save("Quorvik", "[Options]", "WelcomeOnStart", "0");
    }
    ~ConsoleProgram() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, win32::widen(m_settingsKey).c_str()); }

    // Runs the program with `script` on its standard input (a file) and its standard output
    // on a pipe; drive c: is the test folder, TMP its TEMP folder. `arguments` follow the
    // program's name on its command line, as typed. Returns standard output.
    std::string run(const std::string& script, const std::string& arguments = "")
    {
        const fs::path input = root.path() / "script.txt";
        std::ofstream(input, std::ios::binary) << script;
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        const HANDLE in =
            ::CreateFileW(input.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_EXISTING, 0, nullptr);
        const HANDLE err = ::CreateFileW((root.path() / "stderr.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                         CREATE_ALWAYS, 0, nullptr);
        HANDLE readOut = nullptr, writeOut = nullptr;
        if (in == INVALID_HANDLE_VALUE || err == INVALID_HANDLE_VALUE ||
            !::CreatePipe(&readOut, &writeOut, &inherit, 0))
            return {};
        ::SetHandleInformation(readOut, HANDLE_FLAG_INHERIT, 0);

        // The child takes these from the environment it inherits.
        const std::pair<const char*, std::string> variables[] = {
            {"VELMORA_DRIVES", "c:=" + pathText(root.path() / "c")},
            {"VELMORA_SETTINGS_KEY", m_settingsKey},
            {"TMP", pathText(root.path() / "c" / "TEMP")}};
        for (const auto& [name, value] : variables) testsupport::setVariable(name, value.c_str());

        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = in;
        si.hStdOutput = writeOut;
        si.hStdError = err;
        PROCESS_INFORMATION pi{};
        std::wstring line =
            L"\"" + m_program.wstring() + L"\"" + win32::widen(arguments.empty() ? "" : " " + arguments);
        const BOOL started =
            ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, root.path().c_str(), &si, &pi);
        for (const auto& variable : variables) testsupport::setVariable(variable.first, nullptr);
        ::CloseHandle(in);
        ::CloseHandle(err);
        ::CloseHandle(writeOut); // the pipe ends when the program's copy closes
        std::string out;
        if (started) {
            char buffer[4096];
            DWORD n = 0;
            while (::ReadFile(readOut, buffer, sizeof buffer, &n, nullptr) && n > 0) out.append(buffer, n);
            ::WaitForSingleObject(pi.hProcess, INFINITE);
            DWORD code = 1;
            ::GetExitCodeProcess(pi.hProcess, &code);
            status = static_cast<int>(code);
            ::CloseHandle(pi.hThread);
            ::CloseHandle(pi.hProcess);
        }
        ::CloseHandle(readOut);
        // A console program writes its lines as Windows text; the checks read them as lines.
        std::string lines;
        for (std::size_t i = 0; i < out.size(); ++i)
            if (!(out[i] == '\r' && i + 1 < out.size() && out[i + 1] == '\n')) lines += out[i];
        return lines;
    }

    std::string stderrText() const { return testsupport::readHostFile(root.path() / "stderr.txt"); }

    testsupport::TempDir root;
    fs::path m_program = testsupport::builtProgram("velmora-console.exe");
    std::string m_settingsKey = "Software\\Velmora tests " + std::to_string(::GetCurrentProcessId()) + "\\Console";
    int status = -1;
};

// The text after the last occurrence of `marker`.
std::string after(const std::string& out, const std::string& marker)
{
    const auto at = out.rfind(marker);
    return at == std::string::npos ? std::string() : out.substr(at);
}

TEST_F(ConsoleProgram, TheMainWindowPrintsThroughAPipeAndTheProgramEndsAtEndOfInput)
{
    ASSERT_TRUE(fs::exists(m_program)) << pathText(m_program);
    const std::string out = run("show\n");
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("> show\n== frmScanTemps \"Velmora 2.2 - Quorvik\" =="), std::string::npos) << out;
    EXPECT_NE(out.find("dirDirectories folders \"C:\\TEMP\""), std::string::npos) << out;
    EXPECT_EQ(stderrText(), "");
}

TEST_F(ConsoleProgram, APersonSelectsAndDeletesAndReadsTheStatusLineInRussian)
{
    root.write("c/TEMP/a.tmp", "12345");
    root.write("c/TEMP/Отчёт.bak", "123");
    root.write("c/TEMP/keep.txt");
    const std::string out = run("select filFiles 0 1\n"
                                "show\n"
                                "click cmdDeleteSelected\n"
                                "no\n"
                                "deselect filFiles 1\n"
                                "key filFiles 46\n"
                                "yes\n"
                                "ok\n"
                                "show\n");
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("  [x] Отчёт.bak\n"), std::string::npos) << out;
    EXPECT_NE(out.find("lblEntries label \"2 файла, 2 файла выделены, всего 8 байт\""), std::string::npos) << out;
    EXPECT_NE(out.find("удалить все выделенные временные файлы (1) из папки:"), std::string::npos);
    EXPECT_NE(after(out, "> show").find("lblEntries label \"1 файл, 0 файлов выделено, всего 0 байт\""),
              std::string::npos)
        << out;
    EXPECT_FALSE(root.exists("c/TEMP/a.tmp"));
    EXPECT_TRUE(root.exists("c/TEMP/Отчёт.bak"));
}

TEST_F(ConsoleProgram, AutoPassSavesItsReportInWindows1251)
{
    root.write("c/Windows/temp/1.tmp");
    root.write("c/temp/2.tmp");
    const std::string out = run("click cmdAutoPass\nok\nclick cmdSave\n");
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("2 файла было найдено в директориях временных файлов."), std::string::npos) << out;
    const std::string saved = text::fromCp1251(testsupport::readHostFile(root.path() / "c/TEMP/report.txt"));
    EXPECT_EQ(saved.rfind("Отчет об автоматическом сканировании\r\n", 0), 0u) << saved;
    EXPECT_NE(saved.find("Найден(ы) файл(ы): 1 шт. в папке c:\\Windows\\temp\r\n"), std::string::npos) << saved;
}

TEST_F(ConsoleProgram, SlashQuestionMarkPrintsTheUsageInRussian)
{
    const std::string out = run("", "/?");
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out.rfind("Использование: velmora.exe [/AUTOPASS | /AUTORECENT]\n", 0), 0u) << out;
    EXPECT_NE(out.find("velmora-console.exe  текстовый интерфейс"), std::string::npos) << out;
    EXPECT_EQ(run("", "--version"), "Velmora 2.2.0\n");
}

// A scheduled task's line: the switch as typed, answers piped in, nothing shown.
TEST_F(ConsoleProgram, TheCommandLineAsTypedRunsAutoPassUnattended)
{
    root.write("c/TEMP/a.tmp", "1");
    root.write("c/TEMP/keep.txt", "3");
    std::string out = run("no\n", "  /AUTOPASS");
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("удалить все временные файлы (1) из папки:"), std::string::npos) << out;
    EXPECT_EQ(out.find("== frmScanTemps"), std::string::npos) << "the main window is never shown";
    EXPECT_TRUE(root.exists("c/TEMP/a.tmp"));

    out = run("yes\n", "/AUTOPASS");
    EXPECT_NE(out.find("Успешно завершено."), std::string::npos) << out;
    EXPECT_FALSE(root.exists("c/TEMP/a.tmp"));
    EXPECT_TRUE(root.exists("c/TEMP/keep.txt"));

    out = run("", "\"/AUTOPASS\" -reverse");
    EXPECT_NE(out.find("== frmScanTemps"), std::string::npos) << "a normal start: " << out;
}

// A scheduled task learns from the exit status whether every file went: 1 when one stayed,
// 2 when the start-up folder did not open (then nothing is deleted).
TEST_F(ConsoleProgram, AnUnattendedRunEndsWithAStatusThatSaysWhetherEveryFileWent)
{
    root.write("c/TEMP/held.tmp", "1");
    root.write("c/TEMP/b.tmp", "2");
    // Another program holds the file open and lets nobody delete it meanwhile.
    const HANDLE held = ::CreateFileW((root.path() / "c" / "TEMP" / "held.tmp").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::string out = run("yes\n", "/AUTOPASS");
    ::CloseHandle(held);
    EXPECT_EQ(status, 1) << out;
    EXPECT_NE(out.find("Не удалось удалить: 1."), std::string::npos) << out;
    EXPECT_TRUE(root.exists("c/TEMP/held.tmp"));
    EXPECT_FALSE(root.exists("c/TEMP/b.tmp"));
    out = run("yes\n", "/AUTOPASS");
    EXPECT_EQ(status, 0) << out;
    EXPECT_FALSE(root.exists("c/TEMP/held.tmp"));

    // "C:" is drive C's current folder, whatever that is when the task starts.
    root.write("c/stray.tmp", "3");
    RegistrySettingsStore(m_settingsKey).save("Quorvik", "[Options]", "JumpOnStartup", "C:");
    out = run("yes\n", "/AUTOPASS");
    EXPECT_EQ(status, 2) << out;
    EXPECT_EQ(out.find("удалить"), std::string::npos) << out;
    EXPECT_TRUE(root.exists("c/stray.tmp"));
}

} // namespace
} // namespace velmora

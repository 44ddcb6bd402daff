#include "platform/win32/GdiPrinter.h"
#include "platform/win32/RegistrySettingsStore.h"
#include "platform/win32/Win32Environment.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32ProcessStarter.h"
#include "platform/win32/Win32Shell.h"
#include "platform/win32/Win32Text.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <filesystem>

namespace velmora {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testsupport::pathText;
using Words = std::vector<std::string>;

// Sets variables for the test's length; started programs inherit them.
class ScopedVariables {
public:
    ScopedVariables(std::initializer_list<std::pair<const char*, std::string>> values)
    {
        for (const auto& [name, value] : values) {
            m_names.push_back(win32::widen(name));
            ::SetEnvironmentVariableW(m_names.back().c_str(), win32::widen(value).c_str());
        }
    }
    ~ScopedVariables()
    {
        for (const auto& name : m_names) ::SetEnvironmentVariableW(name.c_str(), nullptr);
    }
    ScopedVariables(const ScopedVariables&) = delete;
    ScopedVariables& operator=(const ScopedVariables&) = delete;

private:
    std::vector<std::wstring> m_names;
};

// The settings of a key of their own below HKEY_CURRENT_USER, removed afterwards.
class RegistryTest : public ::testing::Test {
protected:
    ~RegistryTest() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, win32::widen(m_base).c_str()); }
    std::string m_base = "Software\\Velmora tests " + std::to_string(::GetCurrentProcessId());
    RegistrySettingsStore store{m_base};
};

TEST_F(RegistryTest, CyrillicKeysAndValuesRoundTripAsStringsInNestedKeys)
{
    EXPECT_EQ(store.get("Quorvik", "[Options]", "Маски", "нет"), "нет");
    ASSERT_TRUE(store.save("Quorvik", "[Options]", "Маски", "*.tmp; ~*.* ; Копия *"));
    ASSERT_TRUE(store.save("Quorvik", "[Options]\\[Report]", "Файл", "C:\\Отчёты\\отчёт.txt"));
    ASSERT_TRUE(store.save("Quorvik", "[Options]", "Empty", ""));
    EXPECT_EQ(store.get("Quorvik", "[Options]", "Маски", ""), "*.tmp; ~*.* ; Копия *");
    EXPECT_EQ(store.get("Quorvik", "[Options]\\[Report]", "Файл", ""), "C:\\Отчёты\\отчёт.txt");
    EXPECT_EQ(store.get("Quorvik", "[Options]", "Empty", "default"), "");
    EXPECT_EQ(store.get("Quorvik", "[Options]", "Файл", "absent"), "absent") << "each section its own";

    // Where another program finds them: a key and its sub-key, values of type REG_SZ.
    EXPECT_EQ(store.keyPath("Quorvik", "[Options]\\[Report]"), m_base + "\\Quorvik\\[Options]\\[Report]");
    const std::wstring key = win32::widen(store.keyPath("Quorvik", "[Options]\\[Report]"));
    DWORD type = 0;
    DWORD bytes = 0;
    ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), L"Файл", RRF_RT_ANY, &type, nullptr, &bytes),
              ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD{REG_SZ});

    // A value of another type, as a hand might leave it, reads as absent.
    const DWORD number = 7;
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"Число", REG_DWORD, &number, sizeof number),
              ERROR_SUCCESS);
    EXPECT_EQ(store.get("Quorvik", "[Options]\\[Report]", "Число", "def"), "def");
    EXPECT_EQ(RegistrySettingsStore().keyPath("Quorvik", "[Archivers]"),
              "Software\\VB and VBA Program Settings\\Quorvik\\[Archivers]");
}

TEST(Win32Environment, NamesIgnoreCaseAndTheCommandLineIsAsTyped)
{
    const ScopedVariables vars{{"VelmoraTestVar", "значение"}, {"VelmoraEmpty", ""}};
    const Win32Environment env;
    EXPECT_EQ(env.get("VELMORATESTVAR"), "значение");
    EXPECT_EQ(env.get("velmoratestvar"), "значение");
    EXPECT_EQ(env.get("VelmoraEmpty"), "");
    EXPECT_EQ(env.get("VelmoraNeverSet"), "");
    EXPECT_EQ(env.get("=C:"), "") << "the system's per-drive entries are no variables";

    const auto after = [](std::wstring_view line) { return win32::narrow(Win32Environment::afterProgramName(line)); };
    EXPECT_EQ(after(L"velmora.exe /AUTOPASS  /d"), "/AUTOPASS  /d");
    EXPECT_EQ(after(L"\"C:\\Program Files\\Velmora\\velmora.exe\"   /Q \"a  b\""), "/Q \"a  b\"");
    EXPECT_EQ(after(L"\"C:\\Pro gram\"s\\x.exe arg"), "arg") << "quotes only group the name";
    EXPECT_EQ(after(L"velmora.exe"), "");
    EXPECT_EQ(after(L"\"unclosed name"), "");
    EXPECT_EQ(Win32Environment(nullptr, L"v.exe \t/Авто ").commandLine(), "/Авто ");
    EXPECT_EQ(Win32Environment().commandLine(), win32::narrow(Win32Environment::afterProgramName(::GetCommandLineW())));
}

TEST(Win32Environment, TemporaryFoldersComeInTheFormOfTheMappedDrive)
{
    testsupport::TempDir c;
    c.mkdir("Temp");
    const ScopedVariables vars{{"TMP", pathText(c.path() / "Temp")}, {"TEMP", "Q:\\elsewhere"}};
    const Win32FileSystem mapped("c:=" + pathText(c.path()));
    const Win32Environment env(&mapped);
    EXPECT_EQ(env.get("tmp"), "C:\\Temp");
    EXPECT_EQ(env.get("TEMP"), "\\\\?\\Q:\\elsewhere") << "on no drive: nothing a drive path would name";
    const Win32FileSystem machine;
    EXPECT_EQ(Win32Environment(&machine).get("TMP"), pathText(c.path() / "Temp"));
}

TEST(Win32CommandLine, WordsSplitAsTheCRuntimeSplitsThem)
{
    const auto split = Win32ProcessStarter::splitArguments;
    EXPECT_EQ(split("a  \"b c\" d\"e f\"g"), (Words{"a", "b c", "de fg"}));
    EXPECT_EQ(split("C:\\dir\\ \"C:\\x y\\\\\" \\\\\\\"q"), (Words{"C:\\dir\\", "C:\\x y\\", "\\\"q"}));
    EXPECT_EQ(split("\"a\"\"b\" \"\""), (Words{"a\"b", ""}));
    for (const std::string word : {"plain", "two words", "end\\", "\\\"", "a\"b", "", "tab\there", "Отчёт 1.txt"})
        EXPECT_EQ(split("p " + Win32ProcessStarter::quoteArgument(word)), (Words{"p", word})) << word;
}

class Win32StarterTest : public ::testing::Test {
protected:
    std::string fake() const { return Win32ProcessStarter::quoteArgument(pathText(m_fake)); }
    // The fake archiver's record: its working folder, then each argument.
    Words record() const
    {
        const std::string bytes = testsupport::readHostFile(m_log);
        Words out;
        for (std::size_t start = 0, end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1)
            out.push_back(bytes.substr(start, end - start));
        return out;
    }

    testsupport::TempDir c;
    fs::path m_fake = testsupport::builtProgram("velmora_fake_archiver.exe");
    fs::path m_log = c.path() / "log.bin";
    Win32FileSystem machine;
    Win32ProcessStarter starter{machine};
};

TEST_F(Win32StarterTest, ArgumentsArriveAsWrittenAndTheStatusIsAwaited)
{
    ASSERT_TRUE(fs::exists(m_fake)) << pathText(m_fake);
    const ScopedVariables vars{{"VELMORA_FAKE_LOG", pathText(m_log)}, {"VELMORA_FAKE_EXIT", "3"}};
    const auto process = starter.launch(fake() + " plain \"two  words\" Отчёт.txt \"quo\\\"te\" $HOME;|*");
    ASSERT_TRUE(process);
    EXPECT_EQ(process->exitStatus(20s), 3);
    EXPECT_EQ(process->exitStatus(0ms), 3);
    const Words got = record();
    ASSERT_EQ(got.size(), 6u);
    EXPECT_EQ(Words(got.begin() + 1, got.end()), (Words{"plain", "two  words", "Отчёт.txt", "quo\"te", "$HOME;|*"}));
    EXPECT_TRUE(fs::equivalent(testsupport::hostPath(got[0]), fs::current_path())) << "the working folder inherited";
}

TEST_F(Win32StarterTest, ALongRunIsAwaitedWithoutBlockingAndCanBeStopped)
{
    const ScopedVariables vars{{"VELMORA_FAKE_SLEEP_MS", "60000"}};
    const auto process = starter.launch(fake());
    ASSERT_TRUE(process);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(process->exitStatus(50ms), std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 5s);
    process->stop();
    EXPECT_EQ(process->exitStatus(20s), 1);
    EXPECT_TRUE(starter.start(fake())) << "started without waiting";
}

TEST_F(Win32StarterTest, DrivePathsBecomeHostPathsUnderADriveMap)
{
    c.mkdir("Folder With Blank");
    // The fake archiver's own drive stays itself.
    const std::string own = pathText(m_fake.root_name());
    const Win32FileSystem mapped("d:=" + pathText(c.path()) + ";" + own + "=" + own + "\\");
    Win32ProcessStarter mappedStarter(mapped);
    EXPECT_EQ(mappedStarter.hostCommandLine("x.exe D:\\Folder\" With \"Blank\\a.zip D: /x:y \"q\""),
              win32::widen("x.exe " +
                           Win32ProcessStarter::quoteArgument(pathText(c.path() / "Folder With Blank\\a.zip")) + " " +
                           Win32ProcessStarter::quoteArgument(pathText(c.path())) + " /x:y \"q\""));
    EXPECT_EQ(mappedStarter.hostCommandLine("x.exe Q:\\a.zip"), std::nullopt) << "a drive the map lacks";
    EXPECT_EQ(starter.hostCommandLine("x.exe  D:\\\"a b\""), L"x.exe  D:\\\"a b\"") << "without a map: as written";

    const ScopedVariables vars{{"VELMORA_FAKE_LOG", pathText(m_log)}};
    const auto process = mappedStarter.launch(fake() + " \"D:\\Folder With Blank\"");
    ASSERT_TRUE(process);
    ASSERT_EQ(process->exitStatus(20s), 0);
    EXPECT_EQ(record().back(), pathText(c.path() / "Folder With Blank"));
}

TEST_F(Win32StarterTest, AProgramThatCannotStartIsAResult)
{
    EXPECT_FALSE(starter.launch("velmora-no-such-program.exe"));
    EXPECT_FALSE(starter.start("\"C:\\no such folder\\x.exe\" a"));
    EXPECT_FALSE(starter.start(""));
}

TEST(Win32Shell, ADocumentThatIsNotThereOpensNothing)
{
    testsupport::TempDir c;
    const Win32FileSystem mapped("c:=" + pathText(c.path()));
    Win32Shell shell(mapped);
    EXPECT_FALSE(shell.open("C:\\missing.htm"));
    EXPECT_FALSE(shell.open("Q:\\unmapped.htm"));
    EXPECT_FALSE(shell.open(""));
}

TEST(GdiPrinter, WithoutADefaultPrinterEveryCallSaysSo)
{
    GdiPrinter printer;
    if (!printer.deviceName().empty())
        GTEST_SKIP() << "this machine has a default printer (" << printer.deviceName()
                     << "): printing is checked by hand";
    EXPECT_FALSE(printer.setFontName("Arial Cyr"));
    EXPECT_EQ(printer.lastError(), "Принтер по умолчанию не найден");
    printer.clearError();
    EXPECT_EQ(printer.lastError(), "");
    EXPECT_FALSE(printer.setFontSize(12));
    EXPECT_FALSE(printer.printLine("Velmora - отчет о проделанной работе"));
    EXPECT_FALSE(printer.endDoc());
    EXPECT_EQ(printer.lastError(), "Принтер по умолчанию не найден");
}

} // namespace
} // namespace velmora

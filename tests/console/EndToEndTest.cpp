// The real program, driven through the console front-end over a pipe, on a test drive.
#include "platform/Text.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace velmora {
namespace {

namespace fs = std::filesystem;

class Console : public ::testing::Test {
protected:
    void SetUp() override
    {
        root.mkdir("c/TEMP");
        // The person of most of these runs has turned the welcome launcher off.
        storeOptions("WelcomeOnStart=0\n");
    }
    // The "[Options]" settings as the settings file holds them, replacing what it held.
    void storeOptions(const std::string& lines)
    {
        root.write("home/config/Velmora/Quorvik.ini", "[%5BOptions%5D]\n" + lines);
    }

    // Runs the program with `script` on standard input and a clean environment; drive c: is
    // the test folder and TMP its TEMP folder. Returns standard output.
    // `arguments` follow the program's name on its command line, as a shell passes them.
    std::string run(const std::string& script, const std::string& ui = "VELMORA_UI=console",
                    const std::string& arguments = "")
    {
        const fs::path input = root.path() / "script.txt";
        std::ofstream(input) << script;
        const std::string home = (root.path() / "home").string();
        const std::string command = "cd '" + root.path().string() + "' && env -i PATH=/usr/bin:/bin HOME='" + home +
                                    "' XDG_CONFIG_HOME='" + home + "/config' XDG_DATA_HOME='" + home + "/data' TMP='" +
                                    (root.path() / "c/TEMP").string() +
                                    "' VELMORA_DRIVES='c:=" + (root.path() / "c").string() + "' " + ui + " " + asUser +
                                    "setsid -w '" VELMORA_BINARY "' " + arguments + " < '" + input.string() + "' 2>'" +
                                    (root.path() / "stderr.txt").string() + "'";
        FILE* pipe = ::popen(command.c_str(), "r");
        if (!pipe) return {};
        std::string out;
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
        status = ::pclose(pipe);
        return out;
    }
    bool endedWell() const { return endedWith(0); }
    bool endedWith(int code) const { return WIFEXITED(status) && WEXITSTATUS(status) == code; }

    testsupport::TempDir root;
    int status = -1;
    std::string asUser; // a command that runs the program as another user, then a blank
};

// The text after the last occurrence of `marker`.
std::string after(const std::string& out, const std::string& marker)
{
    const auto at = out.rfind(marker);
    return at == std::string::npos ? std::string() : out.substr(at);
}

TEST_F(Console, WithoutADisplayTheConsoleIsChosenWithANote)
{
    const std::string out = run("show\n", "");
    EXPECT_TRUE(endedWell()) << out;
    EXPECT_NE(out.find("== frmScanTemps \"Velmora 2.2 - Quorvik\" =="), std::string::npos) << out;
    EXPECT_EQ(testsupport::readHostFile(root.path() / "stderr.txt"),
              "velmora: no display; using the console front-end\n");
}

// Answered on standard output with no display and no drive looked at; any other text starts.
TEST_F(Console, HelpAndVersionArePrintedAndEndWellAnythingElseStarts)
{
    std::string out = run("", "", "--help");
    EXPECT_TRUE(endedWell()) << out;
    EXPECT_EQ(out.rfind("Использование: velmora [/AUTOPASS | /AUTORECENT]\n", 0), 0u) << out;
    for (const char* told : {"VELMORA_UI=console", "VELMORA_DRIVES", "/AUTORECENT", "  2  /AUTOPASS"})
        EXPECT_NE(out.find(told), std::string::npos) << told;
    EXPECT_EQ(run("", "", " -h "), out);
    EXPECT_EQ(testsupport::readHostFile(root.path() / "stderr.txt"), "") << "no note about a display";
    EXPECT_EQ(run("", "", "--version"), "Velmora 2.2.0\n");
    EXPECT_TRUE(endedWell());
    out = run("show\n", "VELMORA_UI=console", "--help --version");
    EXPECT_NE(out.find("== frmScanTemps"), std::string::npos) << "a normal start: " << out;
}

TEST_F(Console, APersonWalksFoldersSeesOnlyJunkGoesBackAndAppliesACategory)
{
    root.write("c/Windows/TEMP/setup.tmp");
    root.write("c/Windows/TEMP/readme.txt");
    root.write("c/Windows/TEMP/user@site[1].txt");
    const std::string out = run("path dirDirectories C:\\WINDOWS\\temp\n"
                                "show\n"
                                "click cmdNext\n"
                                "show\n"
                                "click cmdBack\n"
                                "menu mnuExt\n"
                                "choose cboTypes 5\n"
                                "click cmdConfirm\n"
                                "show\n");
    EXPECT_TRUE(endedWell()) << out;
    const std::string walked = after(out, "> path dirDirectories");
    EXPECT_NE(walked.find("filFiles files \"C:\\WINDOWS\\temp\"\n  [ ] setup.tmp\n"), std::string::npos) << out;
    EXPECT_EQ(walked.find("readme.txt"), std::string::npos);
    EXPECT_NE(after(out, "> click cmdNext").find("filFiles files \"C:\\TEMP\""), std::string::npos);
    const std::string applied = after(out, "> click cmdConfirm");
    EXPECT_NE(applied.find("filFiles files \"C:\\WINDOWS\\temp\"\n  [ ] user@site[1].txt\n"), std::string::npos)
        << applied;
}

TEST_F(Console, APersonSelectsAndDeletesAndReadsTheStatusLine)
{
    root.write("c/TEMP/a.tmp", "12345");
    root.write("c/TEMP/b.bak", "123");
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
    EXPECT_TRUE(endedWell()) << out;
    EXPECT_NE(out.find("lblEntries label \"2 файла, 2 файла выделены, всего 8 байт\""), std::string::npos) << out;
    EXPECT_NE(out.find("удалить все выделенные временные файлы (2) из папки:"), std::string::npos);
    EXPECT_NE(out.find("удалить все выделенные временные файлы (1) из папки:"), std::string::npos);
    EXPECT_NE(after(out, "> show").find("lblEntries label \"1 файл, 0 файлов выделено, всего 0 байт\""),
              std::string::npos)
        << out;
    EXPECT_FALSE(root.exists("c/TEMP/a.tmp"));
    EXPECT_TRUE(root.exists("c/TEMP/b.bak"));
}

TEST_F(Console, AutoPassShowsItsMessageAndReportAndSaveAppendsToTheReportFile)
{
    root.write("c/Windows/temp/1.tmp");
    root.write("c/temp/2.tmp");
    const std::string out = run("click cmdAutoPass\nok\nclick cmdSave\n");
    EXPECT_TRUE(endedWell()) << out;
    EXPECT_NE(out.find("2 файла было найдено в директориях временных файлов."), std::string::npos) << out;
    EXPECT_NE(out.find("== frmReport \"Velmora - отчет об автоматическом сканировании\" =="), std::string::npos);
    const std::string saved = testsupport::readHostFile(root.path() / "c/TEMP/report.txt"); // UTF-8 on Linux
    EXPECT_EQ(saved.rfind("Отчет об автоматическом сканировании\r\n", 0), 0u) << saved;
    EXPECT_NE(saved.find("Найден(ы) файл(ы): 1 шт. в папке c:\\Windows\\temp\r\n"), std::string::npos);
    EXPECT_EQ(saved.substr(saved.size() - 6), "\r\n\r\n\r\n");
}

TEST_F(Console, RecentPassAndTheRecycleBinEmptyWhatTheyFind)
{
    root.write("c/Documents and Settings/Anna/Recent/doc.lnk");
    root.write("c/Recycled/DC1.txt");
    root.write("c/Recycled/Sub/DC2.txt");
    const std::string out = run("click cmdRecentPass\nok\nclick cmdOK\nclick cmdRecycled\nok\n");
    EXPECT_TRUE(endedWell()) << out;
    EXPECT_NE(out.find("1 ярлык было найдено при осмотре директорий документов."), std::string::npos) << out;
    EXPECT_NE(out.find("Найден(ы) ярлык(и): 1 шт. Папка: c:\\Documents and Settings\\Anna\\Recent"), std::string::npos);
    EXPECT_NE(out.find("Очистка корзины Windows успешно завершена."), std::string::npos);
    EXPECT_FALSE(root.exists("c/Documents and Settings/Anna/Recent/doc.lnk"));
    EXPECT_FALSE(root.exists("c/Recycled/DC1.txt"));
    EXPECT_FALSE(root.exists("c/Recycled/Sub"));
}

TEST_F(Console, TheDriveScanWindowWalksAndListsWhatItFound)
{
    root.write("c/Data/Deep/old.bak");
    root.write("c/Data/new.tmp");
    root.write("c/Data/keep.txt");
    const std::string out = run("click cmdDrives\npath dirDirectorie C:\\Data\nclick cmdScan\nshow\nclick cmdClose\n");
    EXPECT_TRUE(endedWell()) << out;
    const std::string listed = after(out, "> click cmdScan");
    EXPECT_NE(listed.find("lstParasites list \"\"\n  [ ] C:\\Data\\Deep\\old.bak\n  [ ] C:\\Data\\new.tmp\n"),
              std::string::npos)
        << listed;
}

TEST_F(Console, APersonLooksAtPropertiesDeletesOneThereAndSeveralFromTheDriveScan)
{
    root.write("c/TEMP/a b.tmp", "12345");
    root.write("c/TEMP/c.tmp", "123");
    root.write("c/Data/x.bak", "1");
    root.write("c/Data/Deep/y.tmp", "22");
    root.write("c/Data/Deep/z.tmp", "333");
    root.write("c/Data/keep.txt", "k");
    const std::string out = run("select filFiles 0 1\nclick cmdProperties\nshow\nclick cmdClose\n"
                                "deselect filFiles 1\nclick cmdProperties\nclick cmdDelete\nyes\nshow\nclick cmdClose\n"
                                "click cmdDrives\npath dirDirectorie C:\\Data\nclick cmdScan\n"
                                "select lstParasites 0 1\nclick cmdDelete\nyes\nshow\nclick cmdClose\n");
    EXPECT_TRUE(endedWell()) << out;
    EXPECT_NE(out.find("== frmProperties \"Свойства a b.tmp c.tmp (2)\" =="), std::string::npos) << out;
    EXPECT_NE(out.find("lblSize label \"Размер: 8 байт (0 Кб, 0 Мб, 0 Гб)\""), std::string::npos);
    EXPECT_NE(out.find("lblDateTime label \"(Дата недоступна)\""), std::string::npos);
    EXPECT_NE(out.find("Удалить файл a b.tmp?"), std::string::npos);
    EXPECT_NE(out.find("Вы хотите удалить файлы (2)?"), std::string::npos) << out;
    EXPECT_NE(after(out, "> click cmdScan").find("lstParasites list \"\"\n  [ ] C:\\Data\\x.bak\n"), std::string::npos)
        << "only the entry that was not selected is left";
    EXPECT_FALSE(root.exists("c/TEMP/a b.tmp"));
    EXPECT_TRUE(root.exists("c/TEMP/c.tmp"));
    EXPECT_FALSE(root.exists("c/Data/Deep/y.tmp"));
    EXPECT_FALSE(root.exists("c/Data/Deep/z.tmp"));
    EXPECT_TRUE(root.exists("c/Data/x.bak"));
    EXPECT_TRUE(root.exists("c/Data/keep.txt"));
}

// With the launcher on, as a first start has it: each of its buttons leads into the main
// window, the settings dialog switches novice mode on, and the next tick locks the eight
// controls in the three windows.
TEST_F(Console, TheWelcomeLauncherLeadsIntoEachWayOfWorkingAndNoviceModeLocksAtTheNextTick)
{
    storeOptions("");
    root.write("c/Windows/temp/a.tmp");
    root.write("c/TEMP/report.txt", text::toCp1251("Отчет об автоматическом сканировании\r\n"));
    root.write("c/Data/old.bak");
    struct Way {
        std::string script, seen; // what the person types, and what that shows before the launcher goes
    };
    const Way ways[] = {
        {"click cmdFindTrash\n", ""},
        {"close\n", ""},
        {"click cmdClose\n", ""},
        {"click cmdFindAuto\nok\nclick cmdOK\n", "1 файл было найдено в директориях временных файлов."},
        {"click cmdShortcuts\nok\nclick cmdOK\n", "0 ярлыков было найдено при осмотре директорий документов."},
        {"click cmdRept\nclick cmdOK\n", "txtRep textbox \"Отчет об автоматическом сканировании"},
        {"click cmdFindDrives\npath dirDirectorie C:\\Data\nclick cmdScan\nshow\nclick cmdClose\n",
         "  [ ] C:\\Data\\old.bak\n"},
        {"click cmdSettings\nclick cmdCancel\n", "== frmCustom \"Velmora - Настройка\" =="},
    };
    for (const Way& way : ways) {
        const std::string out = run(way.script + "show\n");
        EXPECT_TRUE(endedWell()) << out;
        EXPECT_EQ(out.rfind("== frmWelcome \"Добро пожаловать в VLM\" ==\n", 0), 0u) << out;
        EXPECT_NE(out.find(way.seen), std::string::npos) << way.script << out;
        // The launcher is gone and the main window is the one shown.
        EXPECT_NE(after(out, "> show").find("== frmScanTemps \"Velmora 2.2 - Quorvik\" =="), std::string::npos)
            << way.script << out;
        EXPECT_EQ(after(out, "> show").find("frmWelcome"), std::string::npos) << way.script;
    }

    // Novice mode switched on in the settings dialog while the launcher is still up.
    std::string out = run("click cmdMainFuncCust\nclick chkNoviceLevel\nclick cmdOK\ntick\nshow\n"
                          "click cmdClose\nshow\nrclick filFiles\n"
                          "click cmdMainFuncCust\nclick optOp(2)\ntick\nshow\nclick cmdCancel\n");
    EXPECT_TRUE(endedWell()) << out;
    const std::string atTheTick = out.substr(0, out.find("> click cmdClose")).substr(out.find("> tick"));
    EXPECT_NE(atTheTick.find("cmdFindDrives button \"Поиск мусора полу&автоматически\" disabled\n"), std::string::npos)
        << out;
    const std::string main = after(out, "> click cmdClose");
    for (const char* locked :
         {"cmdRecoverIt button \"&Восст. из архива\" disabled\n", "cmdNullPass button \"NullPASS™\" disabled\n",
          "cmdDrives button \"&DrivePASS™\" disabled\n", "mnuExt \"Показать &расширения\" disabled\n"})
        EXPECT_NE(main.find(locked), std::string::npos) << locked << out;
    EXPECT_NE(main.find("cmdAutoPass button \"&AutoPASS™\"\n"), std::string::npos) << "nothing else is locked";
    const std::string dialog = after(out, "> click cmdMainFuncCust");
    for (const char* locked :
         {"cmdArchivers button \"Параметры архиваторов...\" disabled\n",
          "optOp(0) option \"Список мусора\" value=0 disabled\n", "optOp(2) option \"Остальные\" value=1 disabled\n"})
        EXPECT_NE(dialog.find(locked), std::string::npos) << locked << out;

    // The next start warns, and the launcher comes up with its drive scan button locked.
    out = run("ok\nclick cmdFindDrives\nclick cmdClose\nshow\n");
    EXPECT_TRUE(endedWell()) << out;
    EXPECT_NE(out.find("Вы работаете в режиме новичка."), std::string::npos) << out;
    EXPECT_NE(out.find("cmdFindDrives button \"Поиск мусора полу&автоматически\" disabled\n"), std::string::npos);
    EXPECT_EQ(out.find("== frmDrivePass"), std::string::npos);
    EXPECT_EQ(testsupport::readHostFile(root.path() / "stderr.txt"), "error: cmdFindDrives is disabled\n");
}

// Scheduled runs: no terminal, answers piped in (or none at all), the switch as the only
// argument; nothing is shown and the program ends after the one command.
TEST_F(Console, AutoPassAndAutoRecentRunUnattended)
{
    root.write("c/TEMP/a.tmp", "1");
    root.write("c/TEMP/b.bak", "2");
    root.write("c/TEMP/keep.txt", "3");
    root.write("c/TEMP/Sub/deeper.tmp", "4");
    root.write("c/Documents and Settings/Anna/Recent/doc.lnk", "5");
    root.write("c/Documents and Settings/Anna/Cookies/anna@site[1].txt", "6");

    std::string out = run("no\n", "VELMORA_UI=console", "/AUTOPASS");
    EXPECT_TRUE(endedWell()) << out;
    EXPECT_NE(out.find("удалить все временные файлы (2) из папки:"), std::string::npos) << out;
    EXPECT_EQ(out.find("== frmScanTemps"), std::string::npos) << "the main window is never shown";
    EXPECT_TRUE(root.exists("c/TEMP/a.tmp"));

    out = run("yes\n", "VELMORA_UI=console", "/AUTOPASS");
    EXPECT_TRUE(endedWell()) << out;
    EXPECT_NE(out.find("Успешно завершено."), std::string::npos) << out;
    EXPECT_FALSE(root.exists("c/TEMP/a.tmp"));
    EXPECT_FALSE(root.exists("c/TEMP/b.bak"));
    EXPECT_TRUE(root.exists("c/TEMP/keep.txt"));
    EXPECT_TRUE(root.exists("c/TEMP/Sub/deeper.tmp")) << "only the start folder itself";
    EXPECT_TRUE(root.exists("c/Documents and Settings/Anna/Recent/doc.lnk"));

    // Words the window toolkit would take for its own options are part of the text too.
    out = run("", "VELMORA_UI=console", "/AUTOPASS -reverse");
    EXPECT_NE(out.find("== frmScanTemps"), std::string::npos) << "a normal start";
    EXPECT_TRUE(root.exists("c/TEMP/keep.txt"));

    out = run("", "", "-autorecent");
    EXPECT_TRUE(endedWell()) << out;
    EXPECT_FALSE(root.exists("c/Documents and Settings/Anna/Recent/doc.lnk"));
    EXPECT_FALSE(root.exists("c/Documents and Settings/Anna/Cookies/anna@site[1].txt"));
    EXPECT_TRUE(root.exists("c/TEMP/Sub/deeper.tmp"));
    EXPECT_EQ(out.find("== frmScanTemps"), std::string::npos);
}

// A scheduled job learns from the exit status whether every file went: 1 when one stayed,
// 2 when the start-up folder did not open (then nothing is deleted); the messages are as ever.
TEST_F(Console, AnUnattendedRunEndsWithAStatusThatSaysWhetherEveryFileWent)
{
    const std::string cookie = "c/Documents and Settings/Anna/Cookies/anna@site[1].txt";
    root.write(cookie, "1");
    testsupport::setMode(root.path() / cookie, 0444);
    root.write("c/Documents and Settings/Anna/Recent/doc.lnk", "2");
    std::string out = run("", "VELMORA_UI=console", "/AUTORECENT");
    EXPECT_TRUE(endedWith(1)) << status << out;
    EXPECT_TRUE(root.exists(cookie));
    EXPECT_FALSE(root.exists("c/Documents and Settings/Anna/Recent/doc.lnk"));

    // "C:" is drive C's current folder, here its root: no folder named in full.
    root.write("c/stray.tmp", "3");
    storeOptions("WelcomeOnStart=0\nJumpOnStartup=C:\n");
    out = run("yes\n", "VELMORA_UI=console", "/AUTOPASS");
    EXPECT_TRUE(endedWith(2)) << status << out;
    EXPECT_EQ(out.find("удалить"), std::string::npos) << out;
    EXPECT_TRUE(root.exists("c/stray.tmp"));
    storeOptions("WelcomeOnStart=0\nJumpOnStartup=C:/Gone\n");
    out = run("", "QT_QPA_PLATFORM=offscreen", "/AUTOPASS");
    EXPECT_TRUE(endedWith(2)) << "the window front-end too: " << status << out;

    // A folder its user may not change keeps its junk; as root the program runs as nobody.
    storeOptions("WelcomeOnStart=0\n");
    root.write("c/TEMP/a.tmp", "4");
    if (::geteuid() == 0) {
        if (!fs::exists("/usr/bin/setpriv")) GTEST_SKIP() << "running as root without setpriv";
        if (const auto why = testsupport::plainUserMissing()) GTEST_SKIP() << *why;
        asUser = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
        testsupport::openTreeToEveryone(root.path());
    }
    testsupport::setMode(root.path() / "c/TEMP", 0555);
    out = run("yes\n", "VELMORA_UI=console", "/AUTOPASS");
    testsupport::setMode(root.path() / "c/TEMP", 0777);
    EXPECT_TRUE(endedWith(1)) << status << out;
    EXPECT_NE(out.find("Не удалось удалить: 1."), std::string::npos) << out;
    EXPECT_TRUE(root.exists("c/TEMP/a.tmp"));
    root.write("c/TEMP/b.tmp", "5");
    out = run("yes\n", "VELMORA_UI=console", "/AUTOPASS");
    EXPECT_TRUE(endedWell()) << status << out;
    EXPECT_FALSE(root.exists("c/TEMP/a.tmp"));
}

// Waits up to ten seconds for a file that a program started without waiting will write.
bool appears(const fs::path& p)
{
    for (int i = 0; i < 1000 && !fs::exists(p); ++i) ::usleep(10'000);
    return fs::exists(p);
}

// The settings dialog's archiver editor, filling archiver 1 as a person types it.
std::string archiverScript(const std::string& name, const std::string& execute, const std::string& command,
                           const std::string& ext, const std::string& execUn, const std::string& unpack)
{
    return "click cmdMainFuncCust\nclick optOp(1)\nclick cmdArchivers\nclick cmdAdd\nclick cmdUpdate\n"
           "set txtCap " +
           name + "\nset txtExt " + ext + "\nset txtPathToFile " + execute + "\nset txtAddCommand " + command +
           "\nset txtPath2 " + execUn + "\nset txtUnPack " + unpack + "\nclick cmdClose\nclick cmdCancel\n";
}

class ConsoleArchivers : public Console, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override
    {
        Console::SetUp();
        root.mkdir("c/Arc");
        root.write("c/TEMP/-x.tmp", "dash");
        root.write("c/TEMP/a.tmp", std::string("\0binary\xff", 8));
        root.write("c/TEMP/b c.tmp", "with a blank");
        root.write("c/TEMP/z.tmp", "not selected");
        root.write("c/TEMP/keep.txt", "not junk");
    }
};

// Packs three of four junk files with a real archiver, deletes them, and unpacks them again
// elsewhere with the adapter shipped beside the program.
TEST_P(ConsoleArchivers, PackDeleteAndRestoreWithTheRealArchiver)
{
    const std::string kind = GetParam();
    // The records the README gives, typed as a person would.
    const std::string setup =
        kind == std::string("zip")
            ? archiverScript("Zip", "/usr/bin/zip", "-j -q -MM", "zip", VELMORA_BUILD_DIR "/velmora-unzip", "-q -n -^")
            : archiverScript("7-Zip", "/usr/bin/7z", "a -spd -bso0 -bsp0", "7z", VELMORA_BUILD_DIR "/velmora-un7z",
                             "-aos -bso0 -bsp0");
    const std::string out = run(setup + "select filFiles 0 1 2\nclick cmdArch\nset txtArchive junk\n"
                                        "set txtDestFolder C:\\Arc\nclick cmdOK\nyes\nok\nclick cmdCancel\n"
                                        "click cmdRecoverIt\nset txtDestFolder C:\\Arc\nset txtArchive junk\n"
                                        "set txtDestF C:\\Back Here\nclick cmdOK\nshow\nclick cmdCancel\n");
    EXPECT_TRUE(endedWell()) << out;
    EXPECT_NE(out.find("удалить все выделенные временные файлы (3) из папки:"), std::string::npos) << out;
    EXPECT_NE(out.find("lblProcess label \"Этап 3. Процесс завершен\""), std::string::npos) << out;
    EXPECT_TRUE(root.exists("c/Arc/junk." + kind));
    for (const char* gone : {"-x.tmp", "a.tmp", "b c.tmp"}) EXPECT_FALSE(root.exists("c/TEMP/" + std::string(gone)));
    EXPECT_TRUE(root.exists("c/TEMP/z.tmp"));
    EXPECT_TRUE(root.exists("c/TEMP/keep.txt"));

    ASSERT_TRUE(appears(root.path() / "c/Back Here/b c.tmp")) << out;
    EXPECT_TRUE(appears(root.path() / "c/Back Here/-x.tmp"));
    EXPECT_TRUE(appears(root.path() / "c/Back Here/a.tmp"));
    ::usleep(200'000); // the unpacker may still be writing the last bytes
    EXPECT_EQ(testsupport::readHostFile(root.path() / "c/Back Here/a.tmp"), std::string("\0binary\xff", 8));
    EXPECT_EQ(testsupport::readHostFile(root.path() / "c/Back Here/b c.tmp"), "with a blank");
    EXPECT_EQ(testsupport::readHostFile(root.path() / "c/Back Here/-x.tmp"), "dash");
}

INSTANTIATE_TEST_SUITE_P(ZipAnd7z, ConsoleArchivers, ::testing::Values("zip", "7z"));

TEST_F(ConsoleArchivers, AnArchiverThatFailsDeletesNothingAndSaysSo)
{
    std::string script;
    for (const std::string& program :
         {std::string("/bin/false"), (root.path() / "no-such-zip").string(), std::string("/bin/true")}) {
        script += "click cmdMainFuncCust\nclick optOp(1)\nclick cmdArchivers\nset txtPathToFile " + program +
                  "\nset txtExt zip\nclick cmdClose\nclick cmdCancel\n"
                  "select filFiles 0 1 2 3\nclick cmdArch\nset txtDestFolder C:\\Arc\nclick cmdOK\nok\n"
                  "click cmdCancel\n";
    }
    const std::string out = run(archiverScript("Broken", "/bin/false", "", "zip", "", "") + script);
    EXPECT_TRUE(endedWell()) << out;
    const std::string message = "Архив C:\\Arc\\unused.zip не создан. Файлы не удалены.";
    std::size_t told = 0;
    for (auto at = out.find(message); at != std::string::npos; at = out.find(message, at + 1)) ++told;
    EXPECT_EQ(told, 3u) << out;
    EXPECT_EQ(out.find("удалить все выделенные"), std::string::npos);
    for (const char* kept : {"-x.tmp", "a.tmp", "b c.tmp", "z.tmp"})
        EXPECT_TRUE(root.exists("c/TEMP/" + std::string(kept)));
    EXPECT_FALSE(root.exists("c/Arc/unused.zip"));
}

// End to end: the real program driven through a pipe. Adjust the expected lines here when
// the main window's print changes.
TEST(ConsoleEndToEnd, TheProgramPrintsItsWindowAndEndsAtEndOfInput)
{
    testsupport::TempDir home;
    const std::string command = "printf 'show\\n' | HOME='" + home.path().string() + "' XDG_CONFIG_HOME='" +
                                home.path().string() + "' VELMORA_UI=console '" VELMORA_BINARY "' 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    const int status = ::pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status)) << out;
    EXPECT_EQ(WEXITSTATUS(status), 0) << out;
    EXPECT_TRUE(out.rfind("== ", 0) == 0 || out.find("\n== ") != std::string::npos) << out;
}

} // namespace
} // namespace velmora

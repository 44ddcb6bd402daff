// The unattended switches: which argument texts run a command, and what such a run does.
#include "core/Switches.h"

#include "support/ProgramTests.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using testsupport::listed;

TEST(Switches, TheWholeTextUpperCasedAndTrimmedNamesOneSwitchOrNone)
{
    EXPECT_EQ(switchOf("/AUTOPASS"), Switch::AutoPass);
    EXPECT_EQ(switchOf("-autopass"), Switch::AutoPass);
    EXPECT_EQ(switchOf("   /autorecent  "), Switch::AutoRecent);
    EXPECT_EQ(switchOf("-AutoRecent"), Switch::AutoRecent);
    for (const char* none : {"", "   ", "AUTOPASS", "/AUTOPASS /AUTORECENT", "/AUTOPASS x", "/AUTO PASS", "\t/AUTOPASS",
                             "//AUTOPASS", "/AUTOPASSES"})
        EXPECT_EQ(switchOf(none), Switch::None) << "[" << none << "]";
}

TEST(Switches, HelpAndVersionAreAskedByTheWholeTextSlashQuestionMarkOnWindowsOnly)
{
    EXPECT_EQ(requestOf(" --help ", Host::Linux), Request::Usage);
    EXPECT_EQ(requestOf("/?", Host::Windows), Request::Usage);
    EXPECT_EQ(requestOf("/?", Host::Linux), Request::Start);
    EXPECT_EQ(requestOf("--version", Host::Windows), Request::Version);
    for (const char* start : {"--HELP", "-h /AUTOPASS", "--version x", "-help", ""})
        EXPECT_EQ(requestOf(start, Host::Windows), Request::Start) << "[" << start << "]";
}

class SwitchRun : public testsupport::MainWindow {
protected:
    void SetUp() override
    {
        h.root.write("c/TEMP/a.tmp", "1");
        h.root.write("c/TEMP/b.bak", "22");
        h.root.write("c/TEMP/keep.txt", "3");
        h.root.write("c/Documents and Settings/Anna/Recent/doc.lnk", "4");
        h.fe.onControlChanged = [this](Control& c) {
            if (c.name() == "lblEntries") ++statusUpdates;
        };
        // As the console does: every enabled timer fires before a question is put.
        h.fe.onBox = [this](const MessageBoxSpec&) { h.tk.tickTimers(); };
    }
    // Starts the program with `arguments`; true when it ended during start-up.
    bool startWith(const std::string& arguments)
    {
        h.env.cmdLine = arguments;
        try {
            h.start();
        } catch (const testing::ProgramEnded&) {
            return true;
        }
        return false;
    }
    int statusUpdates = 0;
};

TEST_F(SwitchRun, AutoPassAsksForTheStartFolderAndEndsWhateverTheAnswer)
{
    h.fe.answers = {MsgResult::No};
    EXPECT_TRUE(startWith("/AUTOPASS"));
    ASSERT_EQ(h.fe.boxes.size(), 1u);
    EXPECT_EQ(h.fe.boxes[0].spec.text,
              "Вы действительно хотите удалить все временные файлы (2) из папки:\r\n\r\n'C:\\TEMP'?");
    EXPECT_TRUE(h.root.exists("c/TEMP/a.tmp"));
    EXPECT_TRUE(h.fe.shown.empty()) << "the main window is never shown";
    EXPECT_EQ(statusUpdates, 0) << "the periodic update never ticks";
    EXPECT_TRUE(h.settings.saveLog.empty());
}

TEST_F(SwitchRun, AutoPassDeletesTheJunkOfTheStartFolderOnYes)
{
    h.fe.answers = {MsgResult::Yes};
    EXPECT_TRUE(startWith(" -autopass "));
    EXPECT_FALSE(h.root.exists("c/TEMP/a.tmp"));
    EXPECT_FALSE(h.root.exists("c/TEMP/b.bak"));
    EXPECT_TRUE(h.root.exists("c/TEMP/keep.txt"));
    ASSERT_EQ(h.fe.boxes.size(), 2u);
    EXPECT_EQ(h.fe.boxes[1].spec.text, "Успешно завершено.");
    EXPECT_EQ(h.app->exitStatus(), exitstatus::Done);
}

TEST_F(SwitchRun, AFileThatStaysMakesTheRunEndWithAFailureStatus)
{
    // While the question waits, a folder takes the place of one junk file: it cannot go.
    h.fe.onBox = [this](const MessageBoxSpec& box) {
        if (box.buttons != MsgButtons::YesNo) return;
        std::filesystem::remove(h.host("c/TEMP/a.tmp"));
        h.root.mkdir("c/TEMP/a.tmp");
    };
    h.fe.answers = {MsgResult::Yes};
    EXPECT_TRUE(startWith("/AUTOPASS"));
    EXPECT_FALSE(h.root.exists("c/TEMP/b.bak"));
    ASSERT_EQ(h.fe.boxes.size(), 2u);
    EXPECT_EQ(h.fe.boxes[1].spec.text, "Удалено файлов: 1 из 2.\r\nНе удалось удалить: 1.");
    EXPECT_EQ(h.app->exitStatus(), exitstatus::FilesStayed);
}

TEST_F(SwitchRun, AutoPassOnAnEmptyFolderEndsWithoutAQuestion)
{
    h.root.mkdir("c/Empty");
    h.setOption(settings::JumpOnStartup, "C:\\Empty");
    EXPECT_TRUE(startWith("/AUTOPASS"));
    EXPECT_TRUE(h.fe.boxes.empty());
}

TEST_F(SwitchRun, AutoPassWithoutItsStartFolderCleansNoOtherFolder)
{
    // A scheduled job answers Yes unseen: the folder the program happens to be in must not
    // take the start folder's place, whether the start folder is gone or is only a drive's
    // current folder ("C:", ".").
    h.root.write("c/Home/thesis.bak", "the only copy");
    for (const char* start : {"C:\\Gone", "C:", "c:.", "."}) {
        testsupport::ProgramHarness run;
        run.root.write("c/Home/thesis.bak", "the only copy");
        run.setOption(settings::JumpOnStartup, start);
        run.fs->setCurrentFolder("C:\\Home");
        run.fe.answers = {MsgResult::Yes};
        run.env.cmdLine = "/AUTOPASS";
        EXPECT_THROW(run.start(), testing::ProgramEnded) << start;
        EXPECT_TRUE(run.fe.boxes.empty()) << start;
        EXPECT_TRUE(run.root.exists("c/Home/thesis.bak")) << start;
        EXPECT_EQ(run.app->exitStatus(), exitstatus::NoStartFolder) << start;
    }
    // A person starting the program is shown that folder, as the setting says.
    h.setOption(settings::JumpOnStartup, "C:");
    h.fs->setCurrentFolder("C:\\Home");
    EXPECT_FALSE(startWith(""));
    EXPECT_EQ(h.main().dirDirectories.path(), "C:\\Home");
    EXPECT_EQ(listed(h.main().filFiles), std::set<std::string>{"thesis.bak"});
}

TEST_F(SwitchRun, InNoviceModeTheWarningComesButThePeriodicUpdateStillNeverTicks)
{
    h.setOption(settings::DisableProf, "1");
    h.fe.answers = {MsgResult::OK, MsgResult::No};
    EXPECT_TRUE(startWith("/AUTOPASS"));
    EXPECT_EQ(h.fe.boxes.size(), 2u);
    EXPECT_EQ(statusUpdates, 0);
}

TEST_F(SwitchRun, AutoRecentScansThenEndsAndAnythingElseStartsNormally)
{
    EXPECT_TRUE(startWith("  /autorecent "));
    EXPECT_FALSE(h.root.exists("c/Documents and Settings/Anna/Recent/doc.lnk"));
    EXPECT_TRUE(h.root.exists("c/TEMP/a.tmp"));
    EXPECT_EQ(statusUpdates, 0);
    EXPECT_EQ(h.app->exitStatus(), exitstatus::Done);

    for (const char* normal : {"/AUTOPASS /AUTORECENT", "AUTOPASS"}) {
        testsupport::ProgramHarness other;
        other.root.write("c/TEMP/a.tmp", "1");
        other.env.cmdLine = normal;
        EXPECT_NO_THROW(other.start()) << normal;
        EXPECT_TRUE(other.fe.boxes.empty());
        EXPECT_EQ(listed(other.main().filFiles), std::set<std::string>{"a.tmp"});
    }
}

} // namespace
} // namespace velmora

// The main window: start-up, shut-down and its own commands.
#include "rules/Masks.h"

#include "support/ProgramTests.h"

#include <gtest/gtest.h>

#include <fstream>

namespace velmora {
namespace {

using testsupport::ProgramHarness;
namespace fs = std::filesystem;
using MainWindow = testsupport::MainWindow;

TEST(HostMappingStartUp, AFifoNamedLikeAHelpFileNeverStopsStartUp)
{
    if (const auto why = testsupport::fifosMissing()) GTEST_SKIP() << *why;
    ProgramHarness h;
    h.root.mkdir("c/TEMP");
    h.root.write("c/Program/vlm2-2.htm", "<html></html>");
    h.root.write("c/Program/getinto.gif", "GIF89a");
    h.root.write("c/Program/new.gif", "GIF89a");
    h.root.mkdir("c/WINDOWS/help");
    ASSERT_TRUE(testsupport::makeFifo(h.host("c/Program/comp.gif")));
    ASSERT_TRUE(testsupport::makeFifo(h.host("c/WINDOWS/help/new.gif"))); // a FIFO as the destination
    ASSERT_TRUE(h.fs->setCurrentFolder("C:\\Program"));
    EXPECT_EXIT(
        {
            testsupport::exitAfter(10);
            h.start();
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(testsupport::readHostFile(h.host("c/WINDOWS/help/vlm2-2.htm")), "<html></html>");
    EXPECT_EQ(testsupport::readHostFile(h.host("c/WINDOWS/help/getinto.gif")), "GIF89a")
        << "the copies after the FIFO are made";
    EXPECT_FALSE(h.root.exists("c/WINDOWS/help/comp.gif"));
    EXPECT_TRUE(testsupport::isFifo(h.host("c/Program/comp.gif")));
}

TEST(HostMappingStartUp, AnEmptyTmpFallsBackToTempThenToTheDefault)
{
    {
        ProgramHarness h;
        h.root.mkdir("c/TEMP");
        h.root.mkdir("c/T2");
        h.env.set("TMP", "");
        h.env.set("TEMP", "C:\\T2");
        auto& main = h.start();
        EXPECT_EQ(main.dirDirectories.path(), "C:\\T2");
        EXPECT_EQ(main.filFiles.path(), "C:\\T2");
    }
    {
        ProgramHarness h;
        h.root.mkdir("c/TEMP");
        h.root.mkdir("c/T2");
        h.env.set("TMP", "");
        h.env.set("TEMP", "");
        auto& main = h.start();
        EXPECT_EQ(main.dirDirectories.path(), "C:\\TEMP");
    }
}

TEST_F(MainWindow, FirstRunOpensTheTempFolderWithTheFullPreset)
{
    populate(2);
    auto& main = h.start();
    EXPECT_EQ(main.dirDirectories.path(), "C:\\TEMP");
    EXPECT_EQ(main.filFiles.pattern(), masks::Full);
    EXPECT_EQ(main.txtFilter.text(), "*.tmp");
    EXPECT_TRUE(main.cmdBack.visible());
    EXPECT_TRUE(main.picTB.visible());
    EXPECT_EQ(main.drvDrive.width(), 3495);
    EXPECT_EQ(h.fs->currentFolder('c'), "C:\\TEMP");
    EXPECT_EQ(main.lblEntries.caption(), "2 файла, 0 файлов выделено, всего 0 байт");
    EXPECT_TRUE(h.fe.boxes.empty());
    EXPECT_EQ(main.history.FolderHistory.back(), "C:\\TEMP");
}

TEST_F(MainWindow, ToolbarAndHistoryButtonSettingsWidenTheDriveBox)
{
    h.root.mkdir("c/TEMP");
    h.setOption("BackForwardOption", "0");
    auto& main = h.start();
    EXPECT_FALSE(main.cmdBack.visible());
    EXPECT_FALSE(main.cmdNext.visible());
    EXPECT_EQ(main.drvDrive.width(), 4270);

    ProgramHarness both;
    both.root.mkdir("c/TEMP");
    both.setOption("BackForwardOption", "0");
    both.setOption("ShowHideToolbars", "0");
    auto& second = both.start();
    EXPECT_FALSE(second.picTB.visible());
    EXPECT_TRUE(second.cmdBack.visible()) << "only the tool bar rule applies";
    EXPECT_EQ(second.drvDrive.width(), 6010);
}

TEST_F(MainWindow, NoviceWarningComesBeforeTheStartFolderOpens)
{
    h.root.mkdir("c/Start");
    h.setOption("DisableProf", "1");
    h.setOption("JumpOnStartup", "C:\\Start");
    std::string pathAtWarning;
    h.fe.onBox = [&](const MessageBoxSpec&) { pathAtWarning = h.app->mainWindow().dirDirectories.path(); };
    auto& main = h.start();
    ASSERT_EQ(h.fe.boxes.size(), 1u);
    EXPECT_EQ(h.fe.boxes[0].spec.title, "Velmora - Предупреждение");
    EXPECT_EQ(h.fe.boxes[0].spec.icon, MsgIcon::Exclamation);
    EXPECT_EQ(h.fe.boxes[0].spec.text,
              "Вы работаете в режиме новичка. Этот режим предусмотрен для освоения возможностей этой программы."
              "\r\n\r\nЧтобы переключится в режим профессионала, в окне ''Настройка'' снимите флажок ''Режим "
              "новичка'' на вкладке ''Общие''.");
    EXPECT_NE(pathAtWarning, "C:\\Start");
    EXPECT_EQ(main.dirDirectories.path(), "C:\\Start");
}

TEST_F(MainWindow, AMissingStartFolderIsSkippedSilently)
{
    h.setOption("JumpOnStartup", "C:\\Nowhere\\At\\All");
    auto& main = h.start();
    EXPECT_TRUE(h.fe.boxes.empty());
    EXPECT_EQ(main.filFiles.path(), main.dirDirectories.path());
    EXPECT_EQ(main.filFiles.pattern(), masks::Full);
}

TEST_F(MainWindow, HelpFilesAreCopiedFromTheCurrentFolderIntoTheHelpFolder)
{
    h.root.write("c/Program/vlm2-2.htm", "<html>справка</html>");
    h.root.write("c/Program/comp.gif", "GIF89a");
    h.root.mkdir("c/WINDOWS/help");
    h.root.mkdir("c/TEMP");
    ASSERT_TRUE(h.fs->setCurrentFolder("C:\\Program"));
    h.start();
    EXPECT_EQ(testsupport::readHostFile(h.host("c/WINDOWS/help/vlm2-2.htm")), "<html>справка</html>");
    EXPECT_TRUE(h.root.exists("c/WINDOWS/help/comp.gif"));
    EXPECT_FALSE(h.root.exists("c/WINDOWS/help/new.gif")) << "a missing file only skips its copy";
}

// The command panel waits outside the client area and slides in over the logo strip; each
// way repeats its fixed values, however often and in whatever order.
TEST_F(MainWindow, TheCommandPanelComesAndGoesAndTheListsMakeRoomForIt)
{
    h.root.mkdir("c/TEMP");
    auto& main = h.start();
    const std::vector<const Control*> edge{&main.imgVLM, &main.cmdOpenTaskBar, &main.cmdHelp, &main.cmdWebSite};
    auto expectHidden = [&] {
        EXPECT_GE(main.cmdDelete.absoluteLeft(), main.clientWidth()) << "the panel's buttons are out of sight";
        EXPECT_TRUE(main.picTools.visible()) << "by its place, not by being made invisible";
        EXPECT_EQ(main.filFiles.width(), 5415);
        EXPECT_EQ(main.dirDirectories.width(), 5415);
        for (const Control* c : edge) EXPECT_TRUE(c->visible()) << c->name();
    };
    auto expectShown = [&] {
        EXPECT_EQ(main.picTools.left(), 4200);
        EXPECT_LT(main.cmdExit.absoluteLeft() + main.cmdExit.width() / 2, main.clientWidth());
        EXPECT_EQ(main.filFiles.width(), 4000);
        EXPECT_EQ(main.dirDirectories.width(), 4000);
        EXPECT_LE(main.filFiles.left() + main.filFiles.width(), main.picTools.left()) << "the list is not covered";
        for (const Control* c : edge) EXPECT_FALSE(c->visible()) << c->name();
    };
    expectHidden();
    for (int i = 0; i < 2; ++i) {
        main.cmdOpenTaskBar.click();
        expectShown();
        main.cmdCloseTaskBar.click();
        expectHidden();
    }
    // The mask editor lies over the file list and follows its width.
    main.mnuExt.click();
    main.cmdOpenTaskBar.click();
    EXPECT_LE(main.picPopUp.left() + main.picPopUp.width(), main.picTools.left());
    EXPECT_LE(main.cmdClosePopUp.absoluteLeft() + main.cmdClosePopUp.width(), main.picTools.left());
    main.cmdCloseTaskBar.click();
    EXPECT_EQ(main.picPopUp.width(), 5415);
}

// Help opens the page start-up copied into the help folder; the web page is the product's own.
TEST_F(MainWindow, HelpOpensThePageStartUpCopiedAndTheWebButtonTheProductsPage)
{
    h.root.write("c/Program/vlm2-2.htm", "<html>справка</html>");
    h.root.mkdir("c/WINDOWS/help");
    h.root.mkdir("c/TEMP");
    ASSERT_TRUE(h.fs->setCurrentFolder("C:\\Program"));
    auto& main = h.start();
    main.cmdHelp.click();
    ASSERT_EQ(h.shell.opened, std::vector<std::string>{"C:\\WINDOWS\\help\\vlm2-2.htm"});
    EXPECT_EQ(h.fs->readFile(h.shell.opened[0]), std::optional<std::string>("<html>справка</html>"));
    main.cmdWebSite.click();
    EXPECT_EQ(h.shell.opened.back(), "http://www.example.com/velmora/");
    EXPECT_TRUE(h.fe.boxes.empty()) << "nothing is said when no program opens them";
}

// Each forwarding button and menu item opens its window modally over the main window.
TEST_F(MainWindow, TheForwardingCommandsOpenTheirWindowsOverTheMainWindow)
{
    h.root.write("c/TEMP/a.tmp");
    auto& main = h.start();
    main.filFiles.userSelect(0);
    main.timUpdate_Timer();
    std::vector<std::pair<std::string, const Form*>> opened;
    h.fe.onModal = [&](Form& form) { opened.emplace_back(form.name(), form.owner()); };
    main.cmdArch.click();
    main.cmdRecoverIt.click();
    main.cmdDrives.click();
    main.cmdMainFuncCust.click();
    main.cmdCustomize.click();
    main.mnuSetup.click();
    const std::vector<std::pair<std::string, const Form*>> expected{{"frmArcTo", &main},     {"frmArcFrom", &main},
                                                                    {"frmDrivePass", &main}, {"frmCustom", &main},
                                                                    {"frmCustom", &main},    {"frmCustom", &main}};
    EXPECT_EQ(opened, expected);
}

TEST_F(MainWindow, ExitAndTheCloseBoxEndTheProgramAtOnce)
{
    h.root.mkdir("c/TEMP");
    auto& main = h.start();
    EXPECT_THROW(main.cmdExit.click(), testing::ProgramEnded);
    EXPECT_TRUE(h.settings.saveLog.empty()) << "nothing is written at shut-down";
}

TEST(AutoPassTwice, ASecondStartWhileAScanRunsIsIgnored)
{
    testsupport::ProgramHarness h;
    h.root.write("c/TEMP/a.tmp");
    auto& main = h.start();
    int yields = 0;
    h.fe.onYield = [&] {
        if (++yields == 2) main.cmdAutoPass.click();
    };
    main.cmdAutoPass.click();
    h.fe.onYield = nullptr;
    EXPECT_EQ(h.fe.boxes.size(), 1u);
    main.cmdAutoPass.click();
    EXPECT_EQ(h.fe.boxes.size(), 2u) << "a finished scan can start again";
}

TEST(LargeFolder, MoreThan32767JunkFilesAreListedAndCounted)
{
    testsupport::ProgramHarness h;
    const auto folder = h.root.mkdir("c/TEMP");
    for (int i = 0; i < 33000; ++i) std::ofstream(folder / ("f" + std::to_string(i) + ".tmp"));
    auto& main = h.start();
    EXPECT_EQ(main.filFiles.listCount(), 33000u);
    main.filFiles.setSelected(32999, true);
    main.timUpdate_Timer();
    EXPECT_EQ(main.lblEntries.caption(), "33000 файлов, 1 файл выделен, всего 0 байт");
    EXPECT_EQ(main.SelFiles, 1);
}

} // namespace
} // namespace velmora

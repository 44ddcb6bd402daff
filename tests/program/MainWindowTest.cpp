// Start-up, the status line and deleting junk in the main window.
#include "browser/Selection.h"
#include "browser/StatusLine.h"
#include "rules/Masks.h"
#include "support/ProgramHarness.h"

#include <gtest/gtest.h>

#include <fstream>

#include <sys/stat.h>

namespace velmora {
namespace {

using testsupport::ProgramHarness;
namespace fs = std::filesystem;

TEST(StatusLine, WordsFollowTheWholeCount)
{
    EXPECT_EQ(status::line(0, 0, 0), "0 файлов, 0 файлов выделено, всего 0 байт");
    EXPECT_EQ(status::line(1, 1, 512), "1 файл, 1 файл выделен, всего 512 байт");
    EXPECT_EQ(status::line(23, 2, 40960), "23 файла, 2 файла выделены, всего 40960 байт");
    EXPECT_EQ(status::line(14, 11, 7), "14 файлов, 11 файлов выделено, всего 7 байт");
    EXPECT_EQ(status::line(21, 21, 300), "21 файл, 21 файл выделен, всего 300 байт");
    EXPECT_EQ(status::line(111, 112, 5000000000), "111 файл, 112 файла выделены, всего 5000000000 байт");
    EXPECT_EQ(status::line(20, 20, 0), "20 файлов, 20 файлов выделено, всего 0 байт");
}

class MainWindow : public ::testing::Test {
protected:
    void populate(int count)
    {
        for (int i = 0; i < count; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "c/TEMP/f%02d.tmp", i);
            h.root.write(name, std::string(static_cast<std::size_t>(i + 1), 'x'));
        }
    }
    ProgramHarness h;
};

TEST_F(MainWindow, EnabledStatesFollowTheListAndTheSelection)
{
    h.root.mkdir("c/TEMP");
    auto& main = h.start();
    EXPECT_EQ(main.lblEntries.caption(), "0 файлов, 0 файлов выделено, всего 0 байт");
    for (auto* b : {&main.cmdDelete, &main.cmdDeleteSelected, &main.cmdProperties, &main.cmdArch})
        EXPECT_FALSE(b->enabled()) << b->name();

    populate(21);
    main.cmdRefresh.click();
    EXPECT_TRUE(main.cmdDelete.enabled());
    EXPECT_FALSE(main.cmdDeleteSelected.enabled());
    main.filFiles.userSelect(0);
    main.timUpdate_Timer();
    EXPECT_EQ(main.lblEntries.caption(), "21 файл, 1 файл выделен, всего 1 байт");
    EXPECT_EQ(main.SelFiles, 1);
    for (auto* b : {&main.cmdDeleteSelected, &main.cmdProperties, &main.cmdArch}) EXPECT_TRUE(b->enabled());
}

TEST_F(MainWindow, SelectionCommandsAndTheMaskEditorItem)
{
    populate(20);
    auto& main = h.start();
    main.mnuSelectAll.click();
    main.timUpdate_Timer();
    EXPECT_EQ(main.lblEntries.caption(), "20 файлов, 20 файлов выделено, всего 210 байт");
    main.filFiles.userSelect(3, false, true);
    main.mnuMainInvertSelection.click();
    main.timUpdate_Timer();
    EXPECT_EQ(main.SelFiles, 1);
    EXPECT_TRUE(main.filFiles.selected(3));
    main.mnuDeselectAll.click();
    main.timUpdate_Timer();
    EXPECT_EQ(main.SelFiles, 0);

    EXPECT_EQ(main.mnuExt.caption(), "Показать &расширения");
    main.mnuExt.click();
    main.timUpdate_Timer();
    EXPECT_EQ(main.mnuExt.caption(), "Скрыть &расширения");
}

TEST_F(MainWindow, ASelectionCommandStopsWhereAShrinkingListEnds)
{
    populate(10);
    auto& main = h.start();
    int yields = 0;
    h.fe.onYield = [&] {
        if (++yields == 3) {
            fs::remove_all(h.host("c/TEMP"));
            h.root.mkdir("c/TEMP");
            h.root.write("c/TEMP/only.tmp");
            main.filFiles.refresh();
        }
    };
    main.mnuSelectAll.click();
    h.fe.onYield = nullptr;
    EXPECT_EQ(main.filFiles.listCount(), 1u);
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

TEST_F(MainWindow, ExitAndTheCloseBoxEndTheProgramAtOnce)
{
    h.root.mkdir("c/TEMP");
    auto& main = h.start();
    EXPECT_THROW(main.cmdExit.click(), testing::ProgramEnded);
    EXPECT_TRUE(h.settings.saveLog.empty()) << "nothing is written at shut-down";
}

class Deleting : public MainWindow {
protected:
    void SetUp() override
    {
        h.root.write("c/TEMP/a.tmp", "aaaa");
        h.root.write("c/TEMP/.hidden.tmp", "hh");
        h.root.write("c/TEMP/ro.bak", "r");
        h.root.write("c/TEMP/d.chk", "d");
        h.root.write("c/TEMP/e.err", "e");
        h.root.write("c/TEMP/keep.txt", "k");
        chmod(h.host("c/TEMP/ro.bak").c_str(), 0444);
        main = &h.start();
        h.fe.onControlChanged = [this](Control& c) {
            if (&c == &main->lblScanReady) labels.push_back(main->lblScanReady.caption());
        };
    }
    frmScanTemps* main = nullptr;
    std::vector<std::string> labels;
};

TEST_F(Deleting, DeleteAllAnsweredNoChangesNothing)
{
    main->cmdDelete.click();
    ASSERT_EQ(h.fe.boxes.size(), 1u);
    EXPECT_EQ(h.fe.boxes[0].spec.text,
              "Вы действительно хотите удалить все временные файлы (5) из папки:\r\n\r\n'C:\\TEMP'?");
    EXPECT_EQ(main->filFiles.listCount(), 5u);
    EXPECT_TRUE(labels.empty());
}

TEST_F(Deleting, DeleteAllRemovesReadOnlyAndHiddenJunkAndKeepsTheRest)
{
    h.fe.answers = {MsgResult::Yes};
    main->cmdDelete.click();
    ASSERT_EQ(h.fe.boxes.size(), 2u);
    EXPECT_EQ(h.fe.boxes[1].spec.text, "Успешно завершено.");
    EXPECT_EQ(main->filFiles.listCount(), 0u);
    EXPECT_TRUE(h.root.exists("c/TEMP/keep.txt"));
    EXPECT_FALSE(h.root.exists("c/TEMP/ro.bak"));
    EXPECT_FALSE(h.root.exists("c/TEMP/.hidden.tmp"));
    EXPECT_EQ(labels.front(), "Сканирую файл 1 из 5");
    EXPECT_EQ(labels.back(), "Готов сканировать");
}

TEST_F(Deleting, DeleteSelectedTakesExactlyTheSelectedEntries)
{
    main->filFiles.userSelect(1);
    main->filFiles.userSelect(3, false, true);
    const std::string second = main->filFiles.list(1), fourth = main->filFiles.list(3);
    h.fe.answers = {MsgResult::Yes};
    main->filFiles.dblClick();
    ASSERT_EQ(h.fe.boxes.size(), 2u);
    EXPECT_EQ(h.fe.boxes[0].spec.text,
              "Вы действительно хотите удалить все выделенные временные файлы (2) из папки:\r\n\r\n'C:\\TEMP'?");
    EXPECT_EQ(h.fe.boxes[1].spec.text, "Завершено успешно.");
    EXPECT_EQ(labels, (std::vector<std::string>{"Сканирую файл 2 из 5", "Сканирую файл 4 из 5", "Готов сканировать"}));
    EXPECT_EQ(main->filFiles.listCount(), 3u);
    EXPECT_FALSE(h.root.exists("c/TEMP/" + second));
    EXPECT_FALSE(h.root.exists("c/TEMP/" + fourth));
}

TEST_F(Deleting, TheDeleteKeyNeedsACountedSelection)
{
    main->filFiles.userSelect(0);
    main->filFiles.keyDown(key::Delete);
    EXPECT_TRUE(h.fe.boxes.empty()) << "SelFiles is counted by the next update";
    main->timUpdate_Timer();
    main->filFiles.keyDown(key::Delete);
    EXPECT_EQ(h.fe.boxes.size(), 1u);
}

TEST_F(Deleting, ADeletionRemovesALinkAndNeverItsTarget)
{
    h.root.write("c/Precious/data.tmp", "keep me");
    fs::create_symlink(h.host("c/Precious/data.tmp"), h.host("c/TEMP/link.tmp"));
    fs::create_symlink(h.host("c/Precious"), h.host("c/TEMP/dir.tmp"));
    main->cmdRefresh.click();
    h.fe.answers = {MsgResult::Yes};
    main->cmdDelete.click();
    EXPECT_FALSE(h.root.exists("c/TEMP/link.tmp"));
    EXPECT_EQ(testsupport::readHostFile(h.host("c/Precious/data.tmp")), "keep me");
    struct stat st {};
    ASSERT_EQ(stat(h.host("c/Precious/data.tmp").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u) << "clearing attributes never touches a link's target";
}

TEST(DeletingDenied, AFileThatCannotGoStaysAndTheMessageSaysSo)
{
    ProgramHarness h;
    h.root.write("c/TEMP/locked.tmp", "x");
    testsupport::openTreeToEveryone(h.root.path());
    chmod(h.host("c/TEMP").c_str(), 0555);
    EXPECT_EXIT(
        {
            if (!testsupport::dropRootPrivileges()) std::_Exit(3);
            auto& main = h.start();
            h.fe.answers = {MsgResult::Yes};
            main.cmdDelete.click();
            const bool ok = h.root.exists("c/TEMP/locked.tmp") && h.fe.boxes.size() == 2 &&
                            h.fe.boxes[1].spec.text == "Удалено файлов: 0 из 1.\r\nНе удалось удалить: 1." &&
                            h.fe.boxes[1].spec.icon == MsgIcon::Exclamation && main.filFiles.listCount() == 1;
            std::_Exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(DeletingAtRoot, ADriveRootHasNoDoubledSeparator)
{
    ProgramHarness h;
    h.root.write("d/top.tmp");
    h.setOption("JumpOnStartup", "D:\\");
    auto& main = h.start();
    ASSERT_EQ(main.dirDirectories.path(), "D:\\");
    h.fe.answers = {MsgResult::Yes};
    main.cmdDelete.click();
    EXPECT_EQ(h.fe.boxes[0].spec.text, "Вы действительно хотите удалить все временные файлы (1) из папки:\r\n\r\n'D:\\'?");
    EXPECT_FALSE(h.root.exists("d/top.tmp"));
}


TEST(StatusLineFreshness, SizesFollowTheDiskWithinOneTick)
{
    testsupport::ProgramHarness h;
    h.root.write("c/TEMP/grow.tmp", "12");
    h.root.write("c/TEMP/other.tmp", "1");
    auto& main = h.start();
    main.mnuSelectAll.click();
    main.timUpdate_Timer();
    EXPECT_EQ(main.lblEntries.caption(), "2 файла, 2 файла выделены, всего 3 байт");
    h.root.write("c/TEMP/grow.tmp", std::string(5000, 'x'));
    main.timUpdate_Timer();
    EXPECT_EQ(main.lblEntries.caption(), "2 файла, 2 файла выделены, всего 5001 байт");
    std::filesystem::remove(h.host("c/TEMP/other.tmp"));
    main.timUpdate_Timer();
    EXPECT_EQ(main.lblEntries.caption(), "2 файла, 2 файла выделены, всего 5000 байт") << "a vanished file counts 0";
    h.root.write("c/TEMP/grow.tmp", "");
    main.timUpdate_Timer();
    EXPECT_EQ(main.lblEntries.caption(), "2 файла, 2 файла выделены, всего 0 байт");
}


TEST(PopupMenu, TheRightButtonOpensItWithDeleteAsDefaultFollowingTheButtons)
{
    testsupport::ProgramHarness h;
    h.root.write("c/TEMP/a.tmp");
    auto& main = h.start();
    MenuItem* shownDefault = nullptr;
    bool deleteEnabled = true;
    h.fe.onPopup = [&](Menu& menu, MenuItem* def) {
        EXPECT_EQ(&menu, &main.mnuMain);
        shownDefault = def;
        deleteEnabled = main.mnuDel.enabled();
    };
    main.filFiles.mouseUp(mouse::Left, 10, 10);
    EXPECT_EQ(shownDefault, nullptr) << "only the right button opens the menu";
    main.filFiles.mouseUp(mouse::Right, 10, 10);
    EXPECT_EQ(shownDefault, &main.mnuDel);
    EXPECT_FALSE(deleteEnabled);
    main.filFiles.userSelect(0);
    main.timUpdate_Timer();
    main.filFiles.mouseUp(mouse::Right, 10, 10);
    EXPECT_TRUE(deleteEnabled);
    EXPECT_TRUE(main.mnuProps.enabled());
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

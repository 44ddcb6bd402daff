// The drive scan window and its walk.
#include "scanners/frmDrivePass.h"
#include "browser/Properties.h"
#include "platform/Wildcard.h"

#include "support/ProgramTests.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iostream>

namespace velmora {
namespace {

using testsupport::ProgramHarness;
namespace fs = std::filesystem;
using testsupport::BindMount;
using testsupport::Bs;
using testsupport::listed;

class DriveScan : public ::testing::Test {
protected:
    void SetUp() override { h.root.mkdir("c/TEMP"); }
    frmDrivePass& open()
    {
        h.start();
        return h.app->driveScanWindow().get();
    }
    ProgramHarness h;
};

TEST(HostMappingDriveScan, ASubfolderNamedLikeTheParentIsWalkedAsItselfAndTheWalkEnds)
{
    if (const auto why = testsupport::oddNamesMissing()) GTEST_SKIP() << *why;
    ProgramHarness h;
    h.root.mkdir("c/TEMP");
    h.root.write("c/W/..\\/a.tmp");
    h.root.write("c/W/..\\/Sub/b.tmp");
    h.root.write("c/W/w.tmp");
    h.root.write("c/a.tmp"); // what "C:\W\..\a.tmp" would name
    h.root.write("c/Sub/b.tmp");
    const std::vector<std::string> expected{"C:\\W\\.." + Bs + "\\Sub\\b.tmp", "C:\\W\\.." + Bs + "\\a.tmp",
                                            "C:\\W\\w.tmp"};
    EXPECT_EXIT(
        {
            testsupport::exitAfter(20);
            h.start();
            auto& scan = h.app->driveScanWindow().get();
            scan.dirDirectorie.setPath("C:\\W");
            scan.cmdScan.click();
            const auto found = scan.lstParasites.items();
            if (found != expected)
                for (const auto& f : found) std::cerr << "listed: " << f << "\n";
            std::_Exit(found == expected ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(HostMappingMounts, TheDriveScanListsNothingFromAMountInsideTheWalkedTree)
{
    ProgramHarness h;
    h.root.mkdir("c/TEMP");
    h.root.write("c/W/A/a.tmp");
    h.root.write("c/W/w.tmp");
    h.root.mkdir("c/W/Again");
    h.root.mkdir("c/W/M");
    h.root.write("c/Outside/o.tmp");
    BindMount again(h.host("c/W/A"), h.host("c/W/Again")); // the same files a second time
    BindMount outside(h.host("c/Outside"), h.host("c/W/M"));
    if (!again.mounted()) GTEST_SKIP() << again.skipReason();
    if (!outside.mounted()) GTEST_SKIP() << outside.skipReason();
    h.start();
    auto& scan = h.app->driveScanWindow().get();
    scan.dirDirectorie.setPath("C:\\W");
    scan.cmdScan.click();
    EXPECT_EQ(scan.lstParasites.items(), (std::vector<std::string>{"C:\\W\\A\\a.tmp", "C:\\W\\w.tmp"}));
}

TEST_F(DriveScan, WalksSubfoldersFirstAndListsTheRootAsDriveLetterAndColon)
{
    h.root.write("c/top.tmp");
    h.root.write("c/A/a.tmp");
    h.root.write("c/A/B/b.tmp");
    h.root.write("c/A/B/C/c.tmp");
    h.root.write("c/A/B/C/keep.txt");
    h.root.write("c/Z/z.bak");
    auto& scan = open();
    ASSERT_TRUE(scan.dirDirectorie.setPath("C:\\"));
    scan.cmdScan.click();
    EXPECT_EQ(scan.lstParasites.items(), (std::vector<std::string>{"C:\\A\\B\\C\\c.tmp", "C:\\A\\B\\b.tmp",
                                                                   "C:\\A\\a.tmp", "C:\\Z\\z.bak", "C:\\top.tmp"}));
    EXPECT_EQ(scan.lblDir.caption(), "C:") << "the folder whose files were listed last";
    EXPECT_EQ(scan.cmdClose.caption(), "З&акрыть");
    EXPECT_TRUE(scan.cmdDelete.enabled());
    EXPECT_FALSE(scan.cmdProperties.enabled());
    EXPECT_TRUE(h.fe.boxes.empty());
    scan.lstParasites.userSelect(1);
    EXPECT_EQ(scan.lblDir.caption(), "C:\\A\\B\\b.tmp");
    EXPECT_TRUE(scan.cmdProperties.enabled());
}

TEST_F(DriveScan, UsesTheMaskOfTheMomentAndRestoresItOnClose)
{
    h.root.write("c/W/a.tmp");
    h.root.write("c/W/b.bak");
    auto& main = h.start();
    main.filFiles.setPattern("*.bak");
    auto& scan = h.app->driveScanWindow().get();
    scan.dirDirectorie.setPath("C:\\W");
    scan.cmdScan.click();
    EXPECT_EQ(scan.lstParasites.items(), std::vector<std::string>{"C:\\W\\b.bak"});
    main.filFiles.setPattern("*.tmp");
    scan.cmdClose.click();
    EXPECT_EQ(main.filFiles.pattern(), "*.bak") << "the mask the window found when it opened";
}

TEST_F(DriveScan, NothingFoundLeavesAnEmptyListWithDeleteEnabled)
{
    h.root.write("c/W/a.txt");
    auto& scan = open();
    scan.dirDirectorie.setPath("C:\\W");
    scan.cmdScan.click();
    EXPECT_EQ(scan.lstParasites.listCount(), 0u);
    EXPECT_TRUE(scan.cmdDelete.enabled());
}

TEST_F(DriveScan, ADriveThatIsNotReadyReturnsTheBoxAndTheTreeStays)
{
    ProgramHarness g("e:=/nonexistent/velmora");
    g.root.mkdir("c/TEMP/Sub");
    g.start();
    auto& scan = g.app->driveScanWindow().get();
    scan.dirDirectorie.setPath("C:\\TEMP\\Sub");
    scan.drvDrvs.choose(2);
    EXPECT_EQ(scan.drvDrvs.drive().substr(0, 2), "c:");
    EXPECT_EQ(scan.dirDirectorie.path(), "C:\\TEMP\\Sub");
}

// The locked folder is counted at the end; links are no unreadable folders, and the count
// goes with the next walk.
TEST_F(DriveScan, UnreadableFoldersAndLinkLoopsAreSkippedAndTheWalkFinishes)
{
    if (const auto why = testsupport::linksMissing()) GTEST_SKIP() << *why;
    if (const auto why = testsupport::permissionBitsMissing()) GTEST_SKIP() << *why;
    if (const auto why = testsupport::plainUserMissing()) GTEST_SKIP() << *why;
    h.root.write("c/W/Locked/hidden.tmp");
    h.root.write("c/W/Open/seen.tmp");
    ASSERT_TRUE(testsupport::makeLink(h.host("c/W"), h.host("c/W/Open/loop")));
    ASSERT_TRUE(testsupport::makeLink(h.host("c/TEMP"), h.host("c/W/elsewhere")));
    h.root.write("c/TEMP/outside.tmp");
    testsupport::openTreeToEveryone(h.root.path());
    testsupport::setMode(h.host("c/W/Locked"), 0);
    EXPECT_EXIT(
        {
            if (!testsupport::dropRootPrivileges()) std::_Exit(3);
            auto& scan = open();
            scan.dirDirectorie.setPath("C:\\W");
            scan.cmdScan.click();
            if (scan.lstParasites.items() != std::vector<std::string>{"C:\\W\\Open\\seen.tmp"}) std::_Exit(1);
            const std::string counted =
                "Выберите диск и папку для сканирования и нажмите Начать. Не удалось прочитать папок: 1.";
            if (scan.lblInstructions.caption() != counted) std::_Exit(2);
            scan.dirDirectorie.setPath("C:\\W\\Open");
            scan.cmdScan.click();
            std::_Exit(
                scan.lblInstructions.caption() == "Выберите диск и папку для сканирования и нажмите Начать." ? 0 : 3);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(DriveScan, ATreeTwoThousandLevelsDeepWalks)
{
    if (const auto why = testsupport::hugeFoldersTooSlow()) GTEST_SKIP() << *why;
    ASSERT_TRUE(testsupport::makeDeepFolders(h.host("c/Deep"), 2000, "bottom.tmp"));
    auto& scan = open();
    scan.dirDirectorie.setPath("C:\\Deep");
    const MaskList mask("*.tmp");
    std::vector<FoundFile> found;
    EXPECT_TRUE(scan.DirWalk(mask, "C:\\Deep", found));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].path.substr(found[0].path.size() - 13), "\\d\\bottom.tmp");
    EXPECT_EQ(found[0].name, "bottom.tmp");
}

TEST_F(DriveScan, AWalkLetsTheWindowBreatheAtItsFirstSubfolderAndCloseThereEndsIt)
{
    for (int i = 0; i < 50; ++i) h.root.write("c/W/S" + std::to_string(i) + "/x.tmp");
    auto& scan = open();
    scan.dirDirectorie.setPath("C:\\W");
    int yields = 0;
    std::string caption;
    h.fe.onYield = [&] {
        if (++yields > 1) return;
        caption = scan.cmdClose.caption();
        scan.cmdClose.click();
    };
    EXPECT_EQ(scan.cmdClose.caption(), "З&акрыть");
    scan.cmdScan.click();
    h.fe.onYield = nullptr;
    EXPECT_EQ(caption, "Отм&ена");
    EXPECT_EQ(yields, 1) << "the walk ended at the yield that saw the close, and nothing was listed";
    EXPECT_EQ(h.app->driveScanWindow().ifLoaded(), nullptr);
}

const std::string DeleteTitle = "Velmora - удаление временного файла";

std::string notAllWent(int deleted, int tried)
{
    return "Удалено файлов: " + std::to_string(deleted) + " из " + std::to_string(tried) +
           ".\r\nНе удалось удалить: " + std::to_string(tried - deleted) + ".";
}

class DriveScanActions : public DriveScan {
protected:
    frmDrivePass& walk(const std::string& folder = "C:\\W")
    {
        auto& scan = open();
        scan.dirDirectorie.setPath(folder);
        scan.cmdScan.click();
        return scan;
    }
    void expectBox(std::size_t i, const std::string& text, MsgButtons buttons, MsgIcon icon,
                   const std::string& title = "Velmora")
    {
        ASSERT_LT(i, h.fe.boxes.size());
        EXPECT_EQ(h.fe.boxes[i].spec.text, text);
        EXPECT_EQ(h.fe.boxes[i].spec.title, title);
        EXPECT_EQ(h.fe.boxes[i].spec.buttons, buttons);
        EXPECT_EQ(h.fe.boxes[i].spec.icon, icon);
    }
};

TEST_F(DriveScanActions, NothingSelectedAsksNothingAndANoLeavesListAndFiles)
{
    for (auto name : {"a.tmp", "b.tmp", "c.tmp"}) h.root.write(std::string("c/W/") + name);
    auto& scan = walk();
    ASSERT_EQ(scan.lstParasites.listCount(), 3u);
    scan.cmdDelete.click();
    EXPECT_TRUE(h.fe.boxes.empty());
    scan.lstParasites.userSelect(0);
    scan.cmdDelete.click();
    expectBox(0, "Вы хотите удалить файл C:\\W\\a.tmp?", MsgButtons::YesNo, MsgIcon::Question);
    EXPECT_EQ(scan.lstParasites.listCount(), 3u);
    EXPECT_TRUE(scan.lstParasites.enabled());
    EXPECT_TRUE(scan.lstParasites.selected(0));
    EXPECT_TRUE(h.root.exists("c/W/a.tmp"));
}

TEST_F(DriveScanActions, ThreeNeighboursGoAfterOneQuestionWhileTheListIsDisabled)
{
    for (auto name : {"a.tmp", "b.tmp", "c.tmp", "d.tmp", "e.tmp"}) h.root.write(std::string("c/W/") + name);
    auto& scan = walk();
    scan.lstParasites.userSelect(1);
    scan.lstParasites.userSelect(3, true);
    ASSERT_TRUE(scan.imgFZ.visible());
    bool answered = false, enabledWhileDeleting = false;
    h.fe.onBox = [&](const MessageBoxSpec&) { answered = true; };
    h.fe.onYield = [&] { enabledWhileDeleting = enabledWhileDeleting || (answered && scan.lstParasites.enabled()); };
    h.fe.answers = {MsgResult::Yes};
    scan.cmdDelete.click();
    ASSERT_EQ(h.fe.boxes.size(), 1u) << "nothing is told when every file went";
    expectBox(0, "Вы хотите удалить файлы (3)?", MsgButtons::YesNo, MsgIcon::Question);
    EXPECT_EQ(scan.lstParasites.items(), (std::vector<std::string>{"C:\\W\\a.tmp", "C:\\W\\e.tmp"}));
    for (auto gone : {"c/W/b.tmp", "c/W/c.tmp", "c/W/d.tmp"}) EXPECT_FALSE(h.root.exists(gone)) << gone;
    EXPECT_TRUE(h.root.exists("c/W/a.tmp"));
    EXPECT_TRUE(h.root.exists("c/W/e.tmp"));
    EXPECT_FALSE(enabledWhileDeleting);
    EXPECT_TRUE(scan.lstParasites.enabled());
    EXPECT_EQ(scan.lstParasites.selCount(), 0u);
    EXPECT_FALSE(scan.imgFZ.visible());
    EXPECT_FALSE(scan.cmdProperties.enabled());
}

TEST_F(DriveScanActions, ADoubleClickAsksAboutTheEntryItSelectsAndClearsItsReadOnlyBit)
{
    for (auto name : {"a.tmp", "b.tmp", "c.tmp"}) h.root.write(std::string("c/W/") + name);
    testsupport::setMode(h.host("c/W/b.tmp"), 0444);
    auto& scan = walk();
    scan.lstParasites.userSelect(0);
    scan.lstParasites.userSelect(2, false, true);
    scan.lstParasites.userSelect(1);
    h.fe.answers = {MsgResult::Yes};
    scan.lstParasites.dblClick();
    ASSERT_EQ(h.fe.boxes.size(), 1u);
    expectBox(0, "Вы хотите удалить файл C:\\W\\b.tmp?", MsgButtons::YesNo, MsgIcon::Question);
    EXPECT_FALSE(h.root.exists("c/W/b.tmp"));
    EXPECT_EQ(scan.lstParasites.items(), (std::vector<std::string>{"C:\\W\\a.tmp", "C:\\W\\c.tmp"}));
}

TEST(DriveScanDenied, AFileThatStaysKeepsItsEntryUnselectedAndTheMessageSaysSo)
{
    if (const auto why = testsupport::permissionBitsMissing()) GTEST_SKIP() << *why;
    if (const auto why = testsupport::plainUserMissing()) GTEST_SKIP() << *why;
    ProgramHarness h;
    h.root.mkdir("c/TEMP");
    h.root.write("c/W/Locked/locked.tmp", "x");
    h.root.write("c/W/NoSearch/hidden.tmp", "z"); // listed, but nothing in it can be looked at
    h.root.write("c/W/free.tmp", "y");
    testsupport::openTreeToEveryone(h.root.path());
    testsupport::setMode(h.host("c/W/Locked"), 0555);
    testsupport::setMode(h.host("c/W/NoSearch"), 0444);
    EXPECT_EXIT(
        {
            if (!testsupport::dropRootPrivileges()) std::_Exit(3);
            h.start();
            auto& scan = h.app->driveScanWindow().get();
            scan.dirDirectorie.setPath("C:\\W");
            scan.cmdScan.click();
            if (scan.lstParasites.listCount() != 3) std::_Exit(2);
            scan.lstParasites.userSelect(0);
            scan.lstParasites.userSelect(2, true);
            h.fe.answers = {MsgResult::Yes};
            scan.cmdDelete.click();
            const bool ok =
                h.fe.boxes.size() == 2 && h.fe.boxes[0].spec.text == "Вы хотите удалить файлы (3)?" &&
                h.fe.boxes[1].spec.text == notAllWent(1, 3) && h.fe.boxes[1].spec.icon == MsgIcon::Exclamation &&
                scan.lstParasites.items() ==
                    (std::vector<std::string>{"C:\\W\\Locked\\locked.tmp", "C:\\W\\NoSearch\\hidden.tmp"}) &&
                !scan.lstParasites.selected(0) && !scan.lstParasites.selected(1) &&
                h.root.exists("c/W/Locked/locked.tmp") && !h.root.exists("c/W/free.tmp");
            std::_Exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(DriveScanActions, AFileGoneBeforeTheYesLeavesTheListAndNothingIsTold)
{
    h.root.write("c/W/a.tmp");
    h.root.write("c/W/b.tmp");
    auto& scan = walk();
    scan.lstParasites.userSelect(0);
    scan.lstParasites.userSelect(1, true);
    h.fe.onBox = [&](const MessageBoxSpec& spec) {
        if (spec.buttons == MsgButtons::YesNo) fs::remove(h.host("c/W/a.tmp"));
    };
    h.fe.answers = {MsgResult::Yes};
    scan.cmdDelete.click();
    EXPECT_EQ(h.fe.boxes.size(), 1u);
    EXPECT_EQ(scan.lstParasites.listCount(), 0u);
}

// Each entry is deleted by its exact name in the folder that was walked, or not at all.
TEST_F(DriveScanActions, AFolderSwappedForALinkOrAFileForALinkLosesNothingOutside)
{
    if (const auto why = testsupport::linksMissing()) GTEST_SKIP() << *why;
    h.root.write("c/W/Sub/x.tmp", "listed");
    h.root.write("c/W/y.tmp", "listed");
    h.root.write("c/Other/x.tmp", "other");
    h.root.write("c/Precious/data.tmp", "keep me");
    auto& scan = walk();
    ASSERT_EQ(scan.lstParasites.items(), (std::vector<std::string>{"C:\\W\\Sub\\x.tmp", "C:\\W\\y.tmp"}));
    scan.lstParasites.userSelect(0);
    scan.lstParasites.userSelect(1, true);
    h.fe.onBox = [&](const MessageBoxSpec& spec) {
        if (spec.buttons != MsgButtons::YesNo) return;
        fs::rename(h.host("c/W/Sub"), h.host("c/W/Sub.old"));
        ASSERT_TRUE(testsupport::makeLink(h.host("c/Other"), h.host("c/W/Sub")));
        fs::remove(h.host("c/W/y.tmp"));
        ASSERT_TRUE(testsupport::makeLink(h.host("c/Precious/data.tmp"), h.host("c/W/y.tmp")));
    };
    h.fe.answers = {MsgResult::Yes};
    scan.cmdDelete.click();
    EXPECT_EQ(testsupport::readHostFile(h.host("c/Other/x.tmp")), "other");
    EXPECT_EQ(testsupport::readHostFile(h.host("c/W/Sub.old/x.tmp")), "listed") << "its folder's path leads elsewhere";
    EXPECT_FALSE(fs::exists(fs::symlink_status(h.host("c/W/y.tmp")))) << "the link itself went";
    EXPECT_EQ(testsupport::readHostFile(h.host("c/Precious/data.tmp")), "keep me");
    EXPECT_EQ(scan.lstParasites.items(), std::vector<std::string>{"C:\\W\\Sub\\x.tmp"});
    EXPECT_FALSE(scan.lstParasites.selected(0));
    ASSERT_EQ(h.fe.boxes.size(), 2u);
    expectBox(1, notAllWent(1, 2), MsgButtons::OK, MsgIcon::Exclamation);
}

TEST_F(DriveScanActions, PropertiesWarnWithoutASelectionAndNameSeveralEntriesByTheirFullPaths)
{
    h.root.mkdir("c/Empty");
    h.root.write("c/W/a.tmp", "123");
    h.root.write("c/W/Sub/b.tmp", "4567");
    auto& scan = walk("C:\\Empty");
    scan.cmdProperties_Click();
    scan.dirDirectorie.setPath("C:\\W");
    scan.cmdScan.click();
    scan.cmdProperties_Click();
    ASSERT_EQ(h.fe.boxes.size(), 2u);
    for (std::size_t i : {0u, 1u})
        expectBox(i, "Свойства файла недоступны. Выберите хотя бы один файл.", MsgButtons::OK, MsgIcon::Exclamation);

    scan.lstParasites.userSelect(0);
    scan.lstParasites.userSelect(1, true);
    bool checked = false;
    h.fe.onModal = [&](Form& form) {
        auto* w = dynamic_cast<frmProperties*>(&form);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->caption(), "Свойства C:\\W\\Sub\\b.tmp C:\\W\\a.tmp (2)");
        EXPECT_EQ(w->fraFile.caption(), "Свойства C:\\W\\Sub\\b.tmp C:\\W\\a.tmp (2)");
        EXPECT_EQ(w->lblSize.caption(), "Размер: 7 байт (0 Кб, 0 Мб, 0 Гб)");
        EXPECT_EQ(w->lblDateTime.caption(), "(Дата недоступна)");
        EXPECT_FALSE(w->cmdDelete.enabled());
        EXPECT_EQ(w->owner(), &scan);
        checked = true;
    };
    scan.cmdProperties.click();
    EXPECT_TRUE(checked);
}

TEST_F(DriveScanActions, PropertiesDeleteTakesTheFoundFileWhateverTheMainWindowShows)
{
    h.root.write("c/TEMP/a.tmp", "main");
    h.root.write("c/W/a.tmp", "found");
    auto& scan = walk();
    ASSERT_EQ(h.main().filFiles.path(), "C:\\TEMP");
    scan.lstParasites.userSelect(0);
    h.fe.onModal = [&](Form& form) {
        auto* w = dynamic_cast<frmProperties*>(&form);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->caption(), "Свойства C:\\W\\a.tmp (1)");
        EXPECT_TRUE(w->cmdDelete.enabled());
        h.fe.answers = {MsgResult::Yes};
        w->cmdDelete.click();
    };
    scan.cmdProperties.click();
    ASSERT_EQ(h.fe.boxes.size(), 1u);
    expectBox(0, "Удалить файл C:\\W\\a.tmp?", MsgButtons::YesNo, MsgIcon::Question, DeleteTitle);
    EXPECT_FALSE(h.root.exists("c/W/a.tmp"));
    EXPECT_EQ(testsupport::readHostFile(h.host("c/TEMP/a.tmp")), "main");
}

TEST_F(DriveScanActions, ViewFolderStartsTheViewerOnTheTreesFolderAndAFailedStartIsIgnored)
{
    h.root.mkdir("c/W");
    h.root.mkdir("c/My Docs");
    auto& scan = open();
    scan.dirDirectorie.setPath("C:\\W");
    scan.cmdViewFolder.click();
    h.processes.fail = true;
    scan.dirDirectorie.setPath("C:\\My Docs");
    scan.cmdViewFolder.click();
    EXPECT_EQ(h.processes.started,
              (std::vector<std::string>{"explorer C:\\W", "explorer \"C:\\My Docs\"" /* one argument */}));
    EXPECT_TRUE(scan.isLoaded());
    EXPECT_TRUE(h.fe.boxes.empty());
}

} // namespace
} // namespace velmora

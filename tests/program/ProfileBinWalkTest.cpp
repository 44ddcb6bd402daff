// The shortcut and cookie scan, the recycle bin and the drive scan window, on real drives.
#include "platform/Wildcard.h"
#include "reports/frmReport.h"
#include "rules/Masks.h"
#include "scanners/frmDrivePass.h"
#include "support/ProgramHarness.h"

#include <gtest/gtest.h>

#include <fstream>

#include <sys/stat.h>

namespace velmora {
namespace {

using testsupport::ProgramHarness;
namespace fs = std::filesystem;

using testsupport::Ended;
using testsupport::Started;
const auto lines = testsupport::reportLines;

class RecentPass : public ::testing::Test {
protected:
    void SetUp() override
    {
        h.root.mkdir("c/TEMP");
    }
    void run()
    {
        auto& main = h.start();
        testsupport::ReportCatcher catcher(h);
        main.cmdRecentPass.click();
        report = catcher.text;
    }
    std::string summary() const { return h.fe.boxes.back().spec.text; }
    ProgramHarness h;
    std::string report;
};

TEST_F(RecentPass, NoProfilesAnywhere)
{
    h.root.write("c/Recent/a.lnk"); // not inside a profile
    run();
    EXPECT_EQ(summary(), "0 ярлыков было найдено при осмотре директорий документов.");
    EXPECT_EQ(report, lines({"Отчет о сканировании на наличие ярлыков", Started,
                             "Ниже приведен список папок, содержащих временные файлы.", "Ярлыков не найдено.", Ended}));
    EXPECT_TRUE(h.root.exists("c/Recent/a.lnk"));
    EXPECT_EQ(h.main().filFiles.pattern(), masks::ExtendedWithoutAlexa);
    EXPECT_EQ(h.main().dirDirectories.path(), "C:\\TEMP") << "the browser goes back to the saved folder";
}

TEST_F(RecentPass, CountsCookiesThenRecentPerProfileInDriveAndParentOrderAndEmptiesThem)
{
    h.root.write("c/Documents and Settings/Anna/Cookies/anna@site[1].txt");
    h.root.write("c/Documents and Settings/Anna/Cookies/anna@other[2].txt");
    h.root.write("c/Documents and Settings/Anna/Cookies/index.dat");
    h.root.write("c/Documents and Settings/notes.txt"); // a file is no profile
    h.root.write("c/Documents and Settings/Boris/Recent/doc.lnk");
    h.root.write("c/Documents and Settings/Boris/Recent/Sub/keep.lnk");
    h.root.write("c/Windows/Profiles/Vera/Recent/a.lnk");
    h.root.write("d/Documents and Settings/Gleb/Recent/b.lnk");
    run();
    EXPECT_EQ(report,
              lines({"Отчет о сканировании на наличие ярлыков", Started,
                     "Ниже приведен список папок, содержащих временные файлы.",
                     "Найден(ы) ярлык(и): 2 шт. Папка: c:\\Documents and Settings\\Anna\\Cookies",
                     "Найден(ы) ярлык(и): 1 шт. Папка: c:\\Documents and Settings\\Boris\\Recent",
                     "Найден(ы) ярлык(и): 1 шт. Папка: c:\\Windows\\Profiles\\Vera\\Recent",
                     "Найден(ы) ярлык(и): 1 шт. Папка: d:\\Documents and Settings\\Gleb\\Recent", Ended}));
    EXPECT_EQ(summary(), "5 ярлыков было найдено при осмотре директорий документов.");
    EXPECT_FALSE(h.root.exists("c/Documents and Settings/Anna/Cookies/index.dat")) << "every file goes";
    EXPECT_FALSE(h.root.exists("c/Documents and Settings/Boris/Recent/doc.lnk"));
    EXPECT_TRUE(h.root.exists("c/Documents and Settings/Boris/Recent/Sub/keep.lnk")) << "subfolders stay";
    EXPECT_TRUE(h.root.exists("c/Documents and Settings/notes.txt"));
}

TEST_F(RecentPass, EndingsFollowTheWholeTotal)
{
    const std::vector<std::pair<int, std::string>> cases{
        {1, "1 ярлык"}, {2, "2 ярлыка"}, {4, "4 ярлыка"}, {5, "5 ярлыков"}, {21, "21 ярлыков"}};
    for (const auto& [count, start] : cases) {
        ProgramHarness one;
        one.root.mkdir("c/TEMP");
        for (int i = 0; i < count; ++i)
            one.root.write("c/Documents and Settings/U/Recent/" + std::to_string(i) + ".lnk");
        auto& main = one.start();
        main.cmdRecentPass.click();
        EXPECT_EQ(one.fe.boxes.back().spec.text, start + " было найдено при осмотре директорий документов.");
    }
}

TEST_F(RecentPass, NothingCountedDeletesNothing)
{
    h.root.write("c/Documents and Settings/U/Recent/readme.txt");
    run();
    EXPECT_TRUE(h.root.exists("c/Documents and Settings/U/Recent/readme.txt"));
}

TEST_F(RecentPass, ALinkedProfileOrSubfolderIsNeverEmptied)
{
    h.root.write("c/Precious/Recent/mine.lnk");
    h.root.write("c/Precious/Cookies/x@y[1].txt");
    h.root.mkdir("c/Documents and Settings/Real");
    h.root.write("c/Documents and Settings/Real/Recent/own.lnk");
    fs::create_directory_symlink(h.host("c/Precious"), h.host("c/Documents and Settings/Linked"));
    fs::create_directory_symlink(h.host("c/Precious/Cookies"), h.host("c/Documents and Settings/Real/Cookies"));
    run();
    EXPECT_FALSE(h.root.exists("c/Documents and Settings/Real/Recent/own.lnk"));
    EXPECT_TRUE(h.root.exists("c/Precious/Recent/mine.lnk"));
    EXPECT_TRUE(h.root.exists("c/Precious/Cookies/x@y[1].txt"));
}

class RecycleBin : public ::testing::Test {
protected:
    RecycleBin() : h("a:=" + (extra.path() / "a").string()) {}
    void SetUp() override { h.root.mkdir("c/TEMP"); }
    testsupport::TempDir extra;
    ProgramHarness h;
};

TEST_F(RecycleBin, NoRecycledAnywhereStillTellsSuccessAndRestoresTheBrowser)
{
    h.root.write("c/TEMP/junk.tmp");
    auto& main = h.start();
    const std::string mask = main.filFiles.pattern();
    main.cmdRecycled.click();
    ASSERT_EQ(h.fe.boxes.size(), 1u);
    EXPECT_EQ(h.fe.boxes[0].spec.text, "Очистка корзины Windows успешно завершена.");
    EXPECT_EQ(main.filFiles.pattern(), mask);
    EXPECT_EQ(main.dirDirectories.path(), "C:\\TEMP");
    EXPECT_TRUE(h.root.exists("c/TEMP/junk.tmp"));
}

TEST_F(RecycleBin, EmptiesFilesAndEverySubfolderButKeepsWhatCannotGo)
{
    extra.write("a/Recycled/floppy.txt");
    h.root.write("c/Recycled/DC1.txt");
    h.root.write("c/Recycled/S1/f.txt");
    h.root.write("c/Recycled/S1/Deep/g.txt");
    h.root.write("c/Recycled/S2/h.txt");
    h.root.write("d/Recycled/Only/sub.txt"); // only subfolders: the drive is skipped
    auto& main = h.start();
    main.cmdRecycled.click();
    EXPECT_FALSE(h.root.exists("c/Recycled/DC1.txt"));
    EXPECT_FALSE(h.root.exists("c/Recycled/S1")) << "children are removed before parents";
    EXPECT_FALSE(h.root.exists("c/Recycled/S2"));
    EXPECT_TRUE(h.root.exists("c/Recycled"));
    EXPECT_TRUE(h.root.exists("d/Recycled/Only/sub.txt"));
    EXPECT_TRUE(extra.exists("a/Recycled/floppy.txt"));
    EXPECT_EQ(main.drvDrive.drive().substr(0, 2), "d:") << "the drive box stays on the last drive";
}

TEST_F(RecycleBin, LinksInsideTheBinLeadNowhere)
{
    h.root.write("c/Precious/a.txt");
    h.root.write("c/Precious/Inner/b.txt");
    h.root.write("c/Recycled/DC1.txt");
    fs::create_directory_symlink(h.host("c/Precious"), h.host("c/Recycled/Link"));
    fs::create_symlink(h.host("c/Precious/a.txt"), h.host("c/Recycled/filelink.txt"));
    auto& main = h.start();
    main.cmdRecycled.click();
    EXPECT_TRUE(h.root.exists("c/Precious/a.txt"));
    EXPECT_TRUE(h.root.exists("c/Precious/Inner/b.txt"));
    EXPECT_FALSE(h.root.exists("c/Recycled/filelink.txt")) << "the link itself goes";
}

TEST_F(RecycleBin, ASubfolderWithAFileThatCannotGoStays)
{
    h.root.write("c/Recycled/DC1.txt");
    h.root.write("c/Recycled/Locked/Inner/stuck.txt");
    testsupport::openTreeToEveryone(h.root.path());
    chmod(h.host("c/Recycled/Locked/Inner").c_str(), 0555);
    EXPECT_EXIT(
        {
            if (!testsupport::dropRootPrivileges()) std::_Exit(3);
            auto& main = h.start();
            main.cmdRecycled.click();
            const bool ok = h.root.exists("c/Recycled/Locked/Inner/stuck.txt") && !h.root.exists("c/Recycled/DC1.txt");
            std::_Exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

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
    EXPECT_EQ(scan.lstParasites.items(),
              (std::vector<std::string>{"C:\\A\\B\\C\\c.tmp", "C:\\A\\B\\b.tmp", "C:\\A\\a.tmp", "C:\\Z\\z.bak",
                                        "C:\\top.tmp"}));
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

TEST_F(DriveScan, UnreadableFoldersAndLinkLoopsAreSkippedAndTheWalkFinishes)
{
    h.root.write("c/W/Locked/hidden.tmp");
    h.root.write("c/W/Open/seen.tmp");
    fs::create_directory_symlink(h.host("c/W"), h.host("c/W/Open/loop"));
    fs::create_directory_symlink(h.host("c/TEMP"), h.host("c/W/elsewhere"));
    h.root.write("c/TEMP/outside.tmp");
    testsupport::openTreeToEveryone(h.root.path());
    chmod(h.host("c/W/Locked").c_str(), 0);
    EXPECT_EXIT(
        {
            if (!testsupport::dropRootPrivileges()) std::_Exit(3);
            auto& scan = open();
            scan.dirDirectorie.setPath("C:\\W");
            scan.cmdScan.click();
            const bool ok = scan.lstParasites.items() == std::vector<std::string>{"C:\\W\\Open\\seen.tmp"};
            std::_Exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(DriveScan, ATreeTwoThousandLevelsDeepWalks)
{
    std::string relative = "c/Deep";
    for (int i = 0; i < 2000; ++i) relative += "/d";
    // Created level by level through a descriptor-free path would exceed PATH_MAX: chdir down.
    fs::path cursor = h.host("c/Deep");
    fs::create_directories(cursor);
    const fs::path home = fs::current_path();
    fs::current_path(cursor);
    for (int i = 0; i < 2000; ++i) {
        fs::create_directory("d");
        fs::current_path("d");
    }
    { std::ofstream("bottom.tmp"); }
    fs::current_path(home);
    auto& scan = open();
    scan.dirDirectorie.setPath("C:\\Deep");
    const MaskList mask("*.tmp");
    std::vector<std::string> found;
    EXPECT_TRUE(scan.DirWalk(mask, "C:\\Deep", found));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].substr(found[0].size() - 13), "\\d\\bottom.tmp");
}

TEST_F(DriveScan, CloseDuringAWalkEndsItAndClosesTheWindow)
{
    for (int i = 0; i < 5; ++i) h.root.write("c/W/S" + std::to_string(i) + "/x.tmp");
    auto& scan = open();
    scan.dirDirectorie.setPath("C:\\W");
    int yields = 0;
    h.fe.onYield = [&] {
        if (++yields == 2) scan.cmdClose.click();
    };
    EXPECT_EQ(scan.cmdClose.caption(), "З&акрыть");
    scan.cmdScan.click();
    h.fe.onYield = nullptr;
    EXPECT_EQ(h.app->driveScanWindow().ifLoaded(), nullptr);
}

} // namespace
} // namespace velmora

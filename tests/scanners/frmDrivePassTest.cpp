// The drive scan window and its walk.
#include "scanners/frmDrivePass.h"
#include "platform/Wildcard.h"

#include "support/ProgramTests.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iostream>

#include <sys/stat.h>
#include <unistd.h>

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
            ::alarm(20);
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
    {
        std::ofstream("bottom.tmp");
    }
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

// The folder browser: drive box, folder tree, file list and the navigation history.

#include "support/ProgramTests.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>

namespace velmora {
namespace {

using testsupport::ProgramHarness;
namespace fs = std::filesystem;
using testsupport::Bs;
using testsupport::listed;

class Browser : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (auto folder : {"c/TEMP", "c/A/Sub", "c/B", "c/C", "c/D", "c/Windows/TEMP"}) h.root.mkdir(folder);
        h.root.write("c/Windows/TEMP/one.tmp");
        h.root.write("c/Windows/TEMP/Two.TMP");
        h.root.write("c/Windows/TEMP/notes.txt");
        main = &h.start();
    }
    void open(const std::string& folder) { ASSERT_TRUE(main->dirDirectories.setPath(folder)) << folder; }
    const std::string& shown() const { return main->dirDirectories.path(); }
    std::vector<std::string> historyAfterStart() const
    {
        const auto& all = main->history.FolderHistory;
        return {all.begin() + static_cast<std::ptrdiff_t>(startEntries), all.end()};
    }

    testsupport::ProgramHarness h;
    frmScanTemps* main = nullptr;
    std::size_t startEntries = 0;
};

TEST_F(Browser, OpensTheStartFolderAndListsOnlyItsJunkWithMixedCaseHostNames)
{
    EXPECT_EQ(shown(), "C:\\TEMP");
    open("C:\\WINDOWS\\temp");
    EXPECT_EQ(main->filFiles.path(), "C:\\WINDOWS\\temp");
    ASSERT_EQ(main->filFiles.listCount(), 2u);
    EXPECT_EQ(main->filFiles.list(0), "one.tmp");
    EXPECT_EQ(main->filFiles.list(1), "Two.TMP");
}

TEST_F(Browser, BackAndForwardStepThroughTheHistoryWithoutRecording)
{
    startEntries = main->history.FolderHistory.size();
    open("C:\\A");
    open("C:\\B");
    open("C:\\C");
    main->cmdNext.click(); // "Назад"
    EXPECT_EQ(shown(), "C:\\B");
    main->cmdNext.click();
    EXPECT_EQ(shown(), "C:\\A");
    const int pos = main->history.HistoryPos;
    main->cmdNext.click();
    main->cmdNext.click(); // back through the start-up entries to the first one, then nothing
    main->cmdNext.click();
    main->cmdNext.click();
    EXPECT_EQ(main->history.HistoryPos, 0);
    for (int i = 0; i < pos; ++i) main->cmdBack.click(); // "Вперед"
    EXPECT_EQ(shown(), "C:\\A");
    main->cmdBack.click();
    EXPECT_EQ(shown(), "C:\\B");
    EXPECT_EQ(historyAfterStart(), (std::vector<std::string>{"C:\\A", "C:\\B", "C:\\C"}));
}

TEST_F(Browser, OpeningFromTheMiddleAppendsAndKeepsNewerEntries)
{
    startEntries = main->history.FolderHistory.size();
    open("C:\\A");
    open("C:\\B");
    open("C:\\C");
    main->cmdNext.click();
    open("C:\\D");
    EXPECT_EQ(historyAfterStart(), (std::vector<std::string>{"C:\\A", "C:\\B", "C:\\C", "C:\\D"}));
    main->cmdNext.click();
    EXPECT_EQ(shown(), "C:\\C");
    main->cmdBack.click();
    main->cmdBack.click(); // at the newest entry: nothing
    EXPECT_EQ(shown(), "C:\\D");
    EXPECT_FALSE(main->history.FromHistory);
}

TEST_F(Browser, ADeletedHistoryFolderIsPassedOverWithoutMovingTheView)
{
    startEntries = main->history.FolderHistory.size();
    open("C:\\A");
    open("C:\\B");
    open("C:\\C");
    std::filesystem::remove(h.host("c/B"));
    main->cmdNext.click();
    EXPECT_EQ(shown(), "C:\\C") << "the shown folder stays";
    EXPECT_EQ(main->history.HistoryPos, static_cast<int>(startEntries) + 1);
    main->cmdNext.click();
    EXPECT_EQ(shown(), "C:\\A");
    open("C:\\D"); // a folder opened after a history step is recorded
    EXPECT_EQ(main->history.FolderHistory.back(), "C:\\D");
}

TEST_F(Browser, UpOpensTheParentAndStaysAtTheRoot)
{
    open("C:\\A\\Sub");
    main->cmdUpOneLevel.click();
    EXPECT_EQ(shown(), "C:\\A");
    main->cmdUpOneLevel.click();
    EXPECT_EQ(shown(), "C:\\");
    const auto recorded = main->history.FolderHistory.size();
    main->cmdUpOneLevel.click();
    EXPECT_EQ(shown(), "C:\\");
    EXPECT_EQ(main->history.FolderHistory.size(), recorded) << "no folder change at the root";
    EXPECT_EQ(main->history.FolderHistory.back(), "C:\\");
}

TEST_F(Browser, UpAndRefreshFromAVanishedFolderGoToTheNearestExistingParent)
{
    if (const auto why = testsupport::heldFoldersStay()) GTEST_SKIP() << *why;
    h.root.mkdir("c/A/Sub/Deep/Deeper");
    open("C:\\A\\Sub\\Deep\\Deeper");
    std::filesystem::remove_all(h.host("c/A/Sub/Deep"));
    main->cmdUpOneLevel.click();
    EXPECT_EQ(shown(), "C:\\A\\Sub");
    EXPECT_EQ(main->history.FolderHistory.back(), "C:\\A\\Sub");

    open("C:\\A\\Sub");
    std::filesystem::remove_all(h.host("c/A"));
    main->cmdRefresh.click();
    EXPECT_EQ(shown(), "C:\\");
    EXPECT_EQ(main->filFiles.path(), "C:\\");
    EXPECT_EQ(main->history.FolderHistory.back(), "C:\\");
    EXPECT_EQ(main->lblScanReady.caption(), "Готов сканировать");
}

TEST(BrowserDrives, ADriveThatIsNotReadyReturnsTheDriveBoxSilently)
{
    testsupport::ProgramHarness h("e:=/nonexistent/velmora-drive");
    h.root.mkdir("c/TEMP");
    auto& main = h.start();
    main.drvDrive.choose(2);
    EXPECT_EQ(main.drvDrive.drive().substr(0, 2), "c:");
    EXPECT_EQ(main.dirDirectories.path(), "C:\\TEMP");
    EXPECT_TRUE(h.fe.boxes.empty());

    h.root.mkdir("d/Data");
    main.drvDrive.choose(1);
    EXPECT_EQ(main.dirDirectories.path(), "D:\\") << "a ready drive opens its current folder";
}

TEST(BrowserDrives, ADriveThatVanishesUnderTheTreeDoesNotLoop)
{
    if (const auto why = testsupport::heldFoldersStay()) GTEST_SKIP() << *why;
    testsupport::ProgramHarness h;
    h.root.mkdir("c/TEMP");
    h.root.mkdir("d/X");
    auto& main = h.start();
    ASSERT_TRUE(main.dirDirectories.setPath("D:\\X"));
    std::filesystem::remove_all(h.host("d"));
    main.drvDrive.choose(1); // the tree's own drive is gone too
    EXPECT_EQ(main.dirDirectories.path(), "D:\\X");
}

TEST(HostMappingFolderTree, ASubfolderNamedLikeAPathOpensAsItselfAndUpComesBack)
{
    if (const auto why = testsupport::oddNamesMissing()) GTEST_SKIP() << *why;
    ProgramHarness h;
    h.root.write("c/TEMP/..\\Other/in.tmp");
    h.root.write("c/Other/out.tmp");
    auto& main = h.start();
    const std::string odd = "C:\\TEMP\\.." + Bs + "Other";
    const auto& subs = main.dirDirectories.subfolders();
    const auto at = std::find(subs.begin(), subs.end(), odd);
    ASSERT_NE(at, subs.end());
    main.dirDirectories.open(static_cast<std::size_t>(at - subs.begin()));
    EXPECT_EQ(main.dirDirectories.path(), odd);
    EXPECT_EQ(main.filFiles.path(), odd);
    EXPECT_EQ(main.filFiles.items(), std::vector<std::string>{"in.tmp"});
    main.cmdUpOneLevel.click();
    EXPECT_EQ(main.dirDirectories.path(), "C:\\TEMP");
}

TEST(HostMappingUpOneLevel, AParentThatCannotBeListedLeavesTheTreeWhereTheListIs)
{
    if (const auto why = testsupport::permissionBitsMissing()) GTEST_SKIP() << *why;
    if (const auto why = testsupport::plainUserMissing()) GTEST_SKIP() << *why;
    ProgramHarness h;
    h.root.mkdir("c/TEMP");
    h.root.write("c/A/B/b.tmp");
    h.setOption("JumpOnStartup", "C:\\A\\B");
    testsupport::openTreeToEveryone(h.root.path());
    testsupport::setMode(h.host("c/A"), 0111); // may be passed through, not listed
    EXPECT_EXIT(
        {
            if (!testsupport::dropRootPrivileges()) std::_Exit(3);
            auto& main = h.start();
            if (main.dirDirectories.path() != "C:\\A\\B") std::_Exit(2);
            main.cmdUpOneLevel.click();
            const bool ok = main.dirDirectories.path() == "C:\\A\\B" && main.filFiles.path() == "C:\\A\\B" &&
                            main.filFiles.listCount() == 1;
            if (!ok) std::cerr << "tree " << main.dirDirectories.path() << ", list " << main.filFiles.path() << "\n";
            std::_Exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(HostMappingUpOneLevel, AVanishedFolderFallsBackToTheNearestExistingParent)
{
    if (const auto why = testsupport::heldFoldersStay()) GTEST_SKIP() << *why;
    ProgramHarness h;
    h.root.mkdir("c/TEMP");
    h.root.mkdir("c/X/Y/Z");
    h.root.write("c/X/x.tmp");
    h.setOption("JumpOnStartup", "C:\\X\\Y\\Z");
    auto& main = h.start();
    ASSERT_EQ(main.dirDirectories.path(), "C:\\X\\Y\\Z");
    fs::remove_all(h.host("c/X/Y"));
    main.cmdUpOneLevel.click();
    EXPECT_EQ(main.dirDirectories.path(), "C:\\X");
    EXPECT_EQ(main.filFiles.path(), "C:\\X");
    EXPECT_EQ(main.filFiles.items(), std::vector<std::string>{"x.tmp"});
}

} // namespace
} // namespace velmora

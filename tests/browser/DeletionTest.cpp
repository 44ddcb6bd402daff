// Delete-all, delete-selected and the drive scan's delete, on real drives.

#include "scanners/frmDrivePass.h"
#include "support/ProgramTests.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>

namespace velmora {
namespace {

using testsupport::ProgramHarness;
namespace fs = std::filesystem;
using testsupport::Bs;
using testsupport::listed;
using MainWindow = testsupport::MainWindow;

const std::string AllWent = "Успешно завершено.";

const std::string SelectedWent = "Завершено успешно.";

std::string notAllWent(int deleted, int tried)
{
    return "Удалено файлов: " + std::to_string(deleted) + " из " + std::to_string(tried) +
           ".\r\nНе удалось удалить: " + std::to_string(tried - deleted) + ".";
}

// Selects exactly the entry with this name; false when it is not listed.
bool selectOnly(FileListBox& files, const std::string& name)
{
    bool found = false;
    for (std::size_t i = 0; i < files.listCount(); ++i) {
        const bool hit = files.list(i) == name;
        files.setSelected(i, hit);
        found = found || hit;
    }
    return found;
}

class HostMappingOddNames : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const auto why = testsupport::oddNamesMissing()) GTEST_SKIP() << *why;
        h.root.write("c/TEMP/..\\Important.tmp", "1");
        h.root.write("c/TEMP/..\\Important\\x.tmp", "22");
        h.root.write("c/TEMP/x\\y.tmp", "333");
        h.root.write("c/TEMP/q?*|<>\":.tmp", "4444");
        h.root.write("c/TEMP/ctl\t.tmp", "55555");
        h.root.write("c/TEMP/keep.txt", "k");
        // What joining each name to its folder and parsing the result would reach instead.
        h.root.write("c/Important.tmp", "outside-1");
        h.root.write("c/Important/x.tmp", "outside-22");
        h.root.write("c/TEMP/x/y.tmp", "below-333");
    }
    void expectOutsideKept() const
    {
        EXPECT_EQ(testsupport::readHostFile(h.host("c/Important.tmp")), "outside-1");
        EXPECT_EQ(testsupport::readHostFile(h.host("c/Important/x.tmp")), "outside-22");
        EXPECT_EQ(testsupport::readHostFile(h.host("c/TEMP/x/y.tmp")), "below-333");
        EXPECT_TRUE(h.root.exists("c/TEMP/keep.txt"));
    }
    const std::string upImportant = ".." + Bs + "Important.tmp";
    const std::string upImportantX = ".." + Bs + "Important" + Bs + "x.tmp";
    const std::string xy = "x" + Bs + "y.tmp";
    const std::string ctl = "ctl\xEF\x80\x89.tmp";
    const std::string odd = "q\xEF\x80\xBF\xEF\x80\xAA\xEF\x81\xBC\xEF\x80\xBC\xEF\x80\xBE\xEF\x80\xA2\xEF\x80\xBA.tmp";
    ProgramHarness h;
};

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
        testsupport::setMode(h.host("c/TEMP/ro.bak"), 0444);
        main = &h.start();
        h.fe.onControlChanged = [this](Control& c) {
            if (&c == &main->lblScanReady) labels.push_back(main->lblScanReady.caption());
        };
    }
    frmScanTemps* main = nullptr;
    std::vector<std::string> labels;
};

TEST_F(HostMappingOddNames, DeleteAllTakesExactlyTheListedEntriesAndCountsThemRight)
{
    auto& main = h.start();
    EXPECT_EQ(listed(main.filFiles), (std::set<std::string>{upImportant, upImportantX, xy, odd, ctl}));
    main.mnuSelectAll.click();
    main.timUpdate_Timer();
    EXPECT_EQ(main.lblEntries.caption(), "5 файлов, 5 файлов выделено, всего 15 байт") << "sized by their own names";

    h.fe.answers = {MsgResult::Yes};
    main.cmdDelete.click();
    ASSERT_EQ(h.fe.boxes.size(), 2u);
    EXPECT_EQ(h.fe.boxes[0].spec.text,
              "Вы действительно хотите удалить все временные файлы (5) из папки:\r\n\r\n'C:\\TEMP'?");
    EXPECT_EQ(h.fe.boxes[1].spec.text, AllWent);
    for (const char* gone : {"c/TEMP/..\\Important.tmp", "c/TEMP/..\\Important\\x.tmp", "c/TEMP/x\\y.tmp",
                             "c/TEMP/q?*|<>\":.tmp", "c/TEMP/ctl\t.tmp"})
        EXPECT_FALSE(h.root.exists(gone)) << gone;
    expectOutsideKept();
    EXPECT_EQ(main.filFiles.listCount(), 0u);
}

TEST_F(HostMappingOddNames, DeleteSelectedTakesOnlyTheSelectedOddName)
{
    auto& main = h.start();
    ASSERT_TRUE(selectOnly(main.filFiles, upImportant));
    main.timUpdate_Timer();
    EXPECT_EQ(main.lblEntries.caption(), "5 файлов, 1 файл выделен, всего 1 байт");
    h.fe.answers = {MsgResult::Yes};
    main.cmdDeleteSelected.click();
    ASSERT_EQ(h.fe.boxes.size(), 2u);
    EXPECT_EQ(h.fe.boxes[0].spec.text,
              "Вы действительно хотите удалить все выделенные временные файлы (1) из папки:\r\n\r\n'C:\\TEMP'?");
    EXPECT_EQ(h.fe.boxes[1].spec.text, SelectedWent);
    EXPECT_FALSE(h.root.exists("c/TEMP/..\\Important.tmp"));
    EXPECT_TRUE(h.root.exists("c/TEMP/..\\Important\\x.tmp"));
    EXPECT_TRUE(h.root.exists("c/TEMP/x\\y.tmp"));
    expectOutsideKept();
    EXPECT_EQ(listed(main.filFiles), (std::set<std::string>{upImportantX, xy, odd, ctl}));
}

// Deleted by someone else before its turn, a file is gone all the same; its namesake in another
// case, made meanwhile, is another file and stays.
TEST(HostMappingRaces, AFileThatVanishesBeforeItsTurnCountsAsGoneAndItsNamesakeStays)
{
    if (const auto why = testsupport::namesakesMissing()) GTEST_SKIP() << *why;
    for (const std::string command : {"delete all", "delete selected", "drive scan"}) {
        SCOPED_TRACE(command);
        ProgramHarness h;
        h.root.write("c/TEMP/a.tmp", "lower");
        h.root.write("c/TEMP/b.tmp", "b");
        auto& main = h.start();
        h.fe.onBox = [&](const MessageBoxSpec& spec) {
            if (spec.buttons != MsgButtons::YesNo) return;
            fs::remove(h.host("c/TEMP/a.tmp"));
            h.root.write("c/TEMP/A.TMP", "UPPER");
        };
        h.fe.answers = {MsgResult::Yes};
        if (command == "drive scan") {
            auto& scan = h.app->driveScanWindow().get();
            scan.dirDirectorie.setPath("C:\\TEMP");
            scan.cmdScan.click();
            scan.lstParasites.userSelect(0);
            scan.lstParasites.userSelect(1, true);
            scan.cmdDelete.click();
            EXPECT_EQ(h.fe.boxes.size(), 1u) << "nothing is told";
            EXPECT_EQ(scan.lstParasites.listCount(), 0u);
        } else {
            main.mnuSelectAll.click();
            main.timUpdate_Timer();
            (command == "delete all" ? main.cmdDelete : main.cmdDeleteSelected).click();
            ASSERT_EQ(h.fe.boxes.size(), 2u);
            EXPECT_EQ(h.fe.boxes[1].spec.text, command == "delete all" ? AllWent : SelectedWent);
        }
        EXPECT_FALSE(h.root.exists("c/TEMP/b.tmp"));
        EXPECT_EQ(testsupport::readHostFile(h.host("c/TEMP/A.TMP")), "UPPER");
    }
}

TEST(HostMappingRaces, AListedFolderSwappedForALinkBeforeTheYesLeavesTheOtherFolderAlone)
{
    if (const auto why = testsupport::linksMissing()) GTEST_SKIP() << *why;
    for (const bool selectedOnly : {false, true}) {
        SCOPED_TRACE(selectedOnly ? "delete selected" : "delete all");
        ProgramHarness h;
        h.root.write("c/TEMP/a.tmp", "1");
        h.root.write("c/TEMP/b.bak", "2");
        h.root.write("c/Other/a.tmp", "other");
        h.root.write("c/Other/b.bak", "other");
        auto& main = h.start();
        main.mnuSelectAll.click();
        main.timUpdate_Timer();
        h.fe.onBox = [&](const MessageBoxSpec& spec) {
            if (spec.buttons != MsgButtons::YesNo) return;
            fs::rename(h.host("c/TEMP"), h.host("c/TEMP.old"));
            ASSERT_TRUE(testsupport::makeLink(h.host("c/Other"), h.host("c/TEMP")));
        };
        h.fe.answers = {MsgResult::Yes};
        (selectedOnly ? main.cmdDeleteSelected : main.cmdDelete).click();
        ASSERT_EQ(h.fe.boxes.size(), 2u);
        EXPECT_EQ(h.fe.boxes[1].spec.text, notAllWent(0, 2));
        EXPECT_EQ(testsupport::readHostFile(h.host("c/Other/a.tmp")), "other");
        EXPECT_EQ(testsupport::readHostFile(h.host("c/Other/b.bak")), "other");
    }
}

TEST(HostMappingLinkedFolder, JunkInAStartFolderReachedThroughALinkGoesAndSuccessIsTold)
{
    if (const auto why = testsupport::linksMissing()) GTEST_SKIP() << *why;
    ProgramHarness h;
    h.root.mkdir("c/TEMP");
    h.root.write("c/real/a.tmp", "a");
    h.root.write("c/real/b.bak", "b");
    h.root.write("c/real/zero.log");
    h.root.write("c/real/keep.txt", "k");
    ASSERT_TRUE(testsupport::makeLink(h.host("c/real"), h.host("c/home")));
    h.setOption("JumpOnStartup", "C:\\home");
    auto& main = h.start();
    ASSERT_EQ(main.dirDirectories.path(), "C:\\home");
    ASSERT_EQ(main.filFiles.listCount(), 2u);

    ASSERT_TRUE(selectOnly(main.filFiles, "a.tmp"));
    main.timUpdate_Timer();
    h.fe.answers = {MsgResult::Yes};
    main.cmdDeleteSelected.click();
    ASSERT_EQ(h.fe.boxes.size(), 2u);
    EXPECT_EQ(h.fe.boxes[1].spec.text, SelectedWent);
    EXPECT_FALSE(h.root.exists("c/real/a.tmp"));

    h.fe.answers = {MsgResult::Yes};
    main.cmdDelete.click();
    ASSERT_EQ(h.fe.boxes.size(), 4u);
    EXPECT_EQ(h.fe.boxes[3].spec.text, AllWent);
    EXPECT_FALSE(h.root.exists("c/real/b.bak"));

    h.fe.answers = {MsgResult::Yes, MsgResult::OK, MsgResult::Yes};
    main.cmdNullPass.click();
    EXPECT_EQ(h.fe.boxes.size(), 7u) << "the empty file went: nothing more is told";
    EXPECT_FALSE(h.root.exists("c/real/zero.log"));
    EXPECT_EQ(testsupport::readHostFile(h.host("c/real/keep.txt")), "k");
    EXPECT_TRUE(testsupport::isLink(h.host("c/home")));
}

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
    if (const auto why = testsupport::linksMissing()) GTEST_SKIP() << *why;
    h.root.write("c/Precious/data.tmp", "keep me");
    testsupport::setMode(h.host("c/Precious/data.tmp"), 0444);
    ASSERT_TRUE(testsupport::makeLink(h.host("c/Precious/data.tmp"), h.host("c/TEMP/link.tmp")));
    ASSERT_TRUE(testsupport::makeLink(h.host("c/Precious"), h.host("c/TEMP/dir.tmp")));
    main->cmdRefresh.click();
    h.fe.answers = {MsgResult::Yes};
    main->cmdDelete.click();
    EXPECT_FALSE(h.root.exists("c/TEMP/link.tmp"));
    EXPECT_EQ(testsupport::readHostFile(h.host("c/Precious/data.tmp")), "keep me");
    EXPECT_TRUE(testsupport::isReadOnly(h.host("c/Precious/data.tmp")))
        << "clearing attributes never touches a link's target";
    testsupport::setMode(h.host("c/Precious/data.tmp"), 0644);
}

TEST(DeletingDenied, AFileThatCannotGoStaysAndTheMessageSaysSo)
{
    if (const auto why = testsupport::permissionBitsMissing()) GTEST_SKIP() << *why;
    if (const auto why = testsupport::plainUserMissing()) GTEST_SKIP() << *why;
    ProgramHarness h;
    h.root.write("c/TEMP/locked.tmp", "x");
    testsupport::openTreeToEveryone(h.root.path());
    testsupport::setMode(h.host("c/TEMP"), 0555);
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

// Windows refuses to delete a file that another program holds; so does every host here.
TEST(DeletingInUse, AFileAnotherProgramHoldsOpenMapsOrRunsStaysAndIsCounted)
{
    ProgramHarness h;
    h.root.write("c/TEMP/free.tmp", "x");
    h.root.write("c/TEMP/open.tmp", "editor's work");
    h.root.write("c/TEMP/mapped.tmp", "mapped");
    using How = testsupport::FileHolder::How;
    const testsupport::FileHolder open(h.host("c/TEMP/open.tmp"), How::Open);
    const testsupport::FileHolder mapped(h.host("c/TEMP/mapped.tmp"), How::Map);
    ASSERT_FALSE(open.failure()) << *open.failure();
    ASSERT_FALSE(mapped.failure()) << *mapped.failure();
    std::optional<testsupport::FileHolder> running;
    if (testsupport::FileHolder::copyRunnable(h.host("c/TEMP/setup.tmp"))) {
        running.emplace(h.host("c/TEMP/setup.tmp"), How::Run);
        ASSERT_FALSE(running->failure()) << *running->failure();
    }
    auto& main = h.start();
    const int tried = running ? 4 : 3;
    ASSERT_EQ(main.filFiles.listCount(), static_cast<std::size_t>(tried));
    h.fe.answers = {MsgResult::Yes};
    main.cmdDelete.click();
    EXPECT_FALSE(h.root.exists("c/TEMP/free.tmp"));
    EXPECT_EQ(testsupport::readHostFile(h.host("c/TEMP/open.tmp")), "editor's work");
    EXPECT_TRUE(h.root.exists("c/TEMP/mapped.tmp"));
    if (running) {
        EXPECT_TRUE(h.root.exists("c/TEMP/setup.tmp"));
    }
    ASSERT_EQ(h.fe.boxes.size(), 2u);
    EXPECT_EQ(h.fe.boxes[1].spec.text, notAllWent(1, tried));
}

// A file of another owner takes no lease: the open files of the processes the user can see decide.
TEST(DeletingInUse, WithoutALeaseTheUsersOwnProcessesTell)
{
    if (const auto why = testsupport::permissionBitsMissing()) GTEST_SKIP() << *why;
    if (const auto why = testsupport::plainUserMissing()) GTEST_SKIP() << *why;
    ProgramHarness h;
    h.root.write("c/TEMP/free.tmp", "x");
    h.root.write("c/TEMP/held.tmp", "y");
    testsupport::openTreeToEveryone(h.root.path());
    testsupport::setMode(h.host("c/TEMP/free.tmp"), 0644);
    testsupport::setMode(h.host("c/TEMP/held.tmp"), 0644);
    const testsupport::FileHolder holder(h.host("c/TEMP/held.tmp"), testsupport::FileHolder::How::Open, true);
    ASSERT_FALSE(holder.failure()) << *holder.failure();
    EXPECT_EXIT(
        {
            if (!testsupport::dropRootPrivileges()) std::_Exit(3);
            auto& main = h.start();
            h.fe.answers = {MsgResult::Yes};
            main.cmdDelete.click();
            const bool ok = !h.root.exists("c/TEMP/free.tmp") && h.root.exists("c/TEMP/held.tmp") &&
                            h.fe.boxes.size() == 2 && h.fe.boxes[1].spec.text == notAllWent(1, 2);
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
    EXPECT_EQ(h.fe.boxes[0].spec.text,
              "Вы действительно хотите удалить все временные файлы (1) из папки:\r\n\r\n'D:\\'?");
    EXPECT_FALSE(h.root.exists("d/top.tmp"));
}

} // namespace
} // namespace velmora

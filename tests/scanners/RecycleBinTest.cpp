// Emptying the recycle bins.

#include "support/ProgramTests.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace velmora {
namespace {

using testsupport::ProgramHarness;
namespace fs = std::filesystem;
using testsupport::BindMount;

class RecycleBin : public ::testing::Test {
protected:
    RecycleBin() : h(testsupport::driveEntry('a', extra.path() / "a")) {}
    void SetUp() override { h.root.mkdir("c/TEMP"); }
    testsupport::TempDir extra;
    ProgramHarness h;
};

TEST(HostMappingRecycleBin, SubfoldersNamedLikeParentsAreEmptiedInsideTheBinOnlyAndTheCommandEnds)
{
    if (const auto why = testsupport::oddNamesMissing()) GTEST_SKIP() << *why;
    ProgramHarness h;
    h.root.mkdir("c/TEMP");
    h.root.write("c/Recycled/DC1.txt");
    h.root.write("c/Recycled/..\\/f.txt");
    h.root.write("c/Recycled/..\\/Deeper/g.txt");
    h.root.write("c/Recycled/..\\Victim/h.txt");
    h.root.write("c/f.txt", "outside");
    h.root.write("c/Deeper/g.txt", "outside");
    h.root.write("c/Victim/h.txt", "outside");
    h.root.write("c/Victim/Sub/i.txt", "outside");
    // In a child with an alarm: a walk that never ends fails here instead of hanging the suite.
    EXPECT_EXIT(
        {
            testsupport::exitAfter(20);
            auto& main = h.start();
            main.cmdRecycled.click();
            const bool told =
                !h.fe.boxes.empty() && h.fe.boxes.back().spec.text == "Очистка корзины Windows успешно завершена.";
            std::_Exit(told ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_TRUE(fs::is_empty(h.host("c/Recycled"))) << "every file and subfolder of the bin went";
    for (const char* kept : {"c/f.txt", "c/Deeper/g.txt", "c/Victim/h.txt", "c/Victim/Sub/i.txt"})
        EXPECT_EQ(testsupport::readHostFile(h.host(kept)), "outside") << kept;
}

TEST(HostMappingMounts, TheRecycleBinNeverEmptiesAFolderMountedInsideIt)
{
    ProgramHarness h;
    h.root.mkdir("c/TEMP");
    h.root.write("c/Recycled/DC1.txt");
    h.root.write("c/Recycled/Own/o.txt");
    h.root.mkdir("c/Recycled/sub");
    h.root.write("c/Outside/precious.txt", "keep");
    h.root.write("c/Outside/Inner/deep.txt", "keep");
    BindMount mount(h.host("c/Outside"), h.host("c/Recycled/sub"));
    if (!mount.mounted()) GTEST_SKIP() << mount.skipReason();
    auto& main = h.start();
    main.cmdRecycled.click();
    EXPECT_FALSE(h.root.exists("c/Recycled/DC1.txt"));
    EXPECT_FALSE(h.root.exists("c/Recycled/Own"));
    EXPECT_EQ(testsupport::readHostFile(h.host("c/Outside/precious.txt")), "keep");
    EXPECT_EQ(testsupport::readHostFile(h.host("c/Outside/Inner/deep.txt")), "keep");
}

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
    if (const auto why = testsupport::linksMissing()) GTEST_SKIP() << *why;
    h.root.write("c/Precious/a.txt");
    h.root.write("c/Precious/Inner/b.txt");
    h.root.write("c/Recycled/DC1.txt");
    ASSERT_TRUE(testsupport::makeLink(h.host("c/Precious"), h.host("c/Recycled/Link")));
    ASSERT_TRUE(testsupport::makeLink(h.host("c/Precious/a.txt"), h.host("c/Recycled/filelink.txt")));
    auto& main = h.start();
    main.cmdRecycled.click();
    EXPECT_TRUE(h.root.exists("c/Precious/a.txt"));
    EXPECT_TRUE(h.root.exists("c/Precious/Inner/b.txt"));
    EXPECT_FALSE(h.root.exists("c/Recycled/filelink.txt")) << "the link itself goes";
}

TEST_F(RecycleBin, ASubfolderWithAFileThatCannotGoStays)
{
    if (const auto why = testsupport::permissionBitsMissing()) GTEST_SKIP() << *why;
    if (const auto why = testsupport::plainUserMissing()) GTEST_SKIP() << *why;
    h.root.write("c/Recycled/DC1.txt");
    h.root.write("c/Recycled/Locked/Inner/stuck.txt");
    testsupport::openTreeToEveryone(h.root.path());
    testsupport::setMode(h.host("c/Recycled/Locked/Inner"), 0555);
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

TEST_F(RecycleBin, EachUsersBinOfLaterWindowsIsEmptiedAndKept)
{
    h.root.write("c/RECYCLER/S-1-5-21-1/Dc1.txt");
    h.root.write("c/RECYCLER/S-1-5-21-1/INFO2");
    h.root.write("c/$Recycle.Bin/S-1-5-21-1/$RABC.txt");
    h.root.write("c/$Recycle.Bin/S-1-5-21-1/$IABC.txt");
    h.root.write("c/$Recycle.Bin/S-1-5-21-1/$RDEF/sub/file");
    h.root.write("c/$Recycle.Bin/S-1-5-21-1/$IDEF");
    h.root.write("d/$RECYCLE.BIN/S-1-5-21-2/$RXYZ.txt"); // any spelling
    h.root.write("c/Outside/Inner/keep.txt", "keep");
    h.root.mkdir("c/$Recycle.Bin/S-1-5-21-3");
    if (!testsupport::linksMissing()) {
        ASSERT_TRUE(testsupport::makeLink(h.host("c/Outside"), h.host("c/$Recycle.Bin/S-1-5-21-3/$RLNK")));
    }
    auto& main = h.start();
    main.cmdRecycled.click();
    for (const char* user : {"c/RECYCLER/S-1-5-21-1", "c/$Recycle.Bin/S-1-5-21-1", "d/$RECYCLE.BIN/S-1-5-21-2"}) {
        ASSERT_TRUE(h.root.exists(user)) << "a user's bin stays: " << user;
        EXPECT_TRUE(fs::is_empty(h.host(user))) << user;
    }
    EXPECT_EQ(testsupport::readHostFile(h.host("c/Outside/Inner/keep.txt")), "keep");
    ASSERT_EQ(h.fe.boxes.size(), 1u);
    EXPECT_EQ(h.fe.boxes[0].spec.text, "Очистка корзины Windows успешно завершена.");
}

#ifndef _WIN32
TEST(DesktopTrash, TrashedEntriesGoWithTheirRecordsOnlyInTheUsersOwnTrash)
{
    if (const auto why = testsupport::fifosMissing()) GTEST_SKIP() << *why;
    ProgramHarness h;
    h.root.mkdir("c/TEMP");
    const std::string uid = std::to_string(::getuid());
    h.env.set("HOME", h.hostText("c/home"));
    h.env.set("XDG_DATA_HOME", h.hostText("d/data"));
    h.root.write("c/Outside/keep.txt", "keep");

    const std::string home = "d/data/Trash/";
    for (const char* name : {"a.txt", "Project", "link", "pipe", "ghost"})
        h.root.write(home + "info/" + name + ".trashinfo");
    h.root.write(home + "files/a.txt");
    h.root.write(home + "files/Project/.git/objects/ab/cdef");
    testsupport::setMode(h.host(home + "files/Project/.git/objects/ab/cdef"), 0444);
    ASSERT_TRUE(testsupport::makeLink(h.host("c/Outside"), h.host(home + "files/Project/out")));
    ASSERT_TRUE(testsupport::makeLink(h.host("c/Outside"), h.host(home + "files/link")));
    ASSERT_TRUE(testsupport::makeFifo(h.host(home + "files/pipe"))); // never deleted: keeps its record
    h.root.write(home + "directorysizes", "4096 1700000000 Project\n");

    const std::string own = "c/.Trash-" + uid + "/";
    h.root.write(own + "files/v.txt");
    h.root.write(own + "info/v.txt.trashinfo");
    h.root.write("c/.Trash-99999/files/theirs.txt");
    h.root.write("c/.Trash/" + uid + "/files/n.txt"); // a shared trash without the sticky bit
    h.root.write("d/.Trash/" + uid + "/files/s.txt");
    testsupport::setMode(h.host("c/.Trash"), 0777);
    testsupport::setMode(h.host("d/.Trash"), 01777);

    auto& main = h.start();
    main.cmdRecycled.click();
    EXPECT_TRUE(fs::is_empty(h.host(own + "files")));
    EXPECT_TRUE(fs::is_empty(h.host(own + "info")));
    EXPECT_FALSE(h.root.exists("d/.Trash/" + uid + "/files/s.txt"));
    EXPECT_TRUE(h.root.exists("c/.Trash/" + uid + "/files/n.txt"));
    EXPECT_TRUE(h.root.exists("c/.Trash-99999/files/theirs.txt"));
    for (const char* gone : {"files/a.txt", "files/Project", "files/link", "info/a.txt.trashinfo",
                             "info/Project.trashinfo", "info/link.trashinfo", "info/ghost.trashinfo"})
        EXPECT_FALSE(h.root.exists(home + gone)) << gone;
    EXPECT_TRUE(h.root.exists(home + "files/pipe"));
    EXPECT_TRUE(h.root.exists(home + "info/pipe.trashinfo"));
    if (h.root.exists(home + "directorysizes")) {
        EXPECT_EQ(testsupport::readHostFile(h.host(home + "directorysizes")).find("Project"), std::string::npos);
    }
    EXPECT_EQ(testsupport::readHostFile(h.host("c/Outside/keep.txt")), "keep");
    ASSERT_EQ(h.fe.boxes.size(), 1u);
    EXPECT_EQ(h.fe.boxes[0].spec.text, "Очистка корзины Windows успешно завершена.");
}
#endif

} // namespace
} // namespace velmora

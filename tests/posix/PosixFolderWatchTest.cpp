#include "platform/posix/PosixFileSystem.h"
#include "platform/testing/ScriptedFrontEnd.h"
#include "platform/toolkit/Controls.h"
#include "platform/toolkit/Form.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace velmora {
namespace {

namespace fs = std::filesystem;
using Changes = std::optional<std::vector<std::string>>;
using Names = std::vector<std::string>;

class FolderWatchTest : public ::testing::Test {
protected:
    void append(std::string_view relative, std::string_view bytes) const
    {
        std::ofstream(c.path() / std::string(relative), std::ios::app | std::ios::binary) << bytes;
    }

    testsupport::TempDir c;
    PosixFileSystem vfs{"c:=" + c.path().string()};
};

TEST_F(FolderWatchTest, NamesWhatGrewShrankVanishedAppearedMovedOrChangedAttributes)
{
    for (const char* f : {"grow.tmp", "shrink.tmp", "gone.tmp", "old.tmp", "ro.tmp"})
        c.write(std::string("w/") + f, "abcdef");
    const auto watch = vfs.watch("C:\\W");
    ASSERT_TRUE(watch);
    EXPECT_EQ(watch->poll(), Changes(Names{}));

    append("w/grow.tmp", "more");
    EXPECT_EQ(watch->poll(), Changes(Names{"grow.tmp"}));
    ASSERT_EQ(::truncate((c.path() / "w/shrink.tmp").c_str(), 2), 0);
    EXPECT_EQ(watch->poll(), Changes(Names{"shrink.tmp"}));
    fs::remove(c.path() / "w/gone.tmp");
    EXPECT_EQ(watch->poll(), Changes(Names{"gone.tmp"}));
    c.write("w/new.tmp");
    EXPECT_EQ(watch->poll(), Changes(Names{"new.tmp"}));
    fs::rename(c.path() / "w/old.tmp", c.path() / "w/renamed.tmp");
    EXPECT_EQ(watch->poll(), Changes(Names{"old.tmp", "renamed.tmp"}));
    fs::permissions(c.path() / "w/ro.tmp", fs::perms::owner_read);
    EXPECT_EQ(watch->poll(), Changes(Names{"ro.tmp"}));

    // Many changes between two polls: each name once.
    for (int i = 0; i < 50; ++i) append("w/grow.tmp", "x");
    c.write("w/other.tmp", "y");
    EXPECT_EQ(watch->poll(), Changes(Names{"grow.tmp", "other.tmp"}));
    EXPECT_EQ(watch->poll(), Changes(Names{}));
}

TEST_F(FolderWatchTest, ReadingAndListingAreNoChange)
{
    c.write("q/a.tmp", "abc");
    c.write("q/sub/deep.tmp");
    const auto watch = vfs.watch("C:\\q");
    ASSERT_TRUE(watch);
    EXPECT_EQ(vfs.readFile("C:\\q\\a.tmp"), "abc");
    EXPECT_TRUE(vfs.listFiles("C:\\q"));
    EXPECT_TRUE(vfs.fileSize("C:\\q\\A.TMP"));
    append("q/sub/deep.tmp", "not in the watched folder itself");
    EXPECT_EQ(watch->poll(), Changes(Names{}));
    EXPECT_EQ(watch->poll(), Changes(Names{}));
}

TEST_F(FolderWatchTest, AFolderRemovedOrMovedMustBeReadAgain)
{
    c.write("gone/a.tmp");
    c.mkdir("moved");
    const auto gone = vfs.watch("C:\\gone");
    const auto moved = vfs.watch("C:\\moved");
    ASSERT_TRUE(gone && moved);

    fs::remove_all(c.path() / "gone");
    EXPECT_EQ(gone->poll(), std::nullopt);
    c.mkdir("gone"); // a new folder of that name is not the one watched
    EXPECT_EQ(gone->poll(), std::nullopt);

    fs::rename(c.path() / "moved", c.path() / "elsewhere");
    EXPECT_EQ(moved->poll(), std::nullopt);
    c.write("elsewhere/x.tmp");
    EXPECT_EQ(moved->poll(), std::nullopt);
}

TEST_F(FolderWatchTest, TooManyChangesToNameMustBeReadAgainOnce)
{
    long queued = 0;
    std::ifstream("/proc/sys/fs/inotify/max_queued_events") >> queued;
    if (queued <= 0 || queued > 65536) GTEST_SKIP() << "the host's event queue is too long to fill here: " << queued;
    c.mkdir("busy");
    const auto watch = vfs.watch("C:\\busy");
    ASSERT_TRUE(watch);
    // Created and removed in turn: identical events in a row would be merged into one.
    const fs::path churn = c.path() / "busy/d";
    for (long i = 0; i <= queued / 2; ++i) {
        ASSERT_EQ(::mkdir(churn.c_str(), 0700), 0);
        ASSERT_EQ(::rmdir(churn.c_str()), 0);
    }
    EXPECT_EQ(watch->poll(), std::nullopt);
    EXPECT_EQ(watch->poll(), Changes(Names{}));
    c.write("busy/after.tmp");
    EXPECT_EQ(watch->poll(), Changes(Names{"after.tmp"}));
}

TEST_F(FolderWatchTest, NoWatchOfWhatIsNoFolder)
{
    c.write("file.tmp");
    EXPECT_FALSE(vfs.watch("C:\\missing"));
    EXPECT_FALSE(vfs.watch("C:\\file.tmp"));
    EXPECT_FALSE(vfs.watch("Q:\\"));
    EXPECT_TRUE(vfs.watch("C:\\"));
}

// The file list keeps sizes current from the watch alone: nothing selected, nothing re-listed.
TEST_F(FolderWatchTest, TheFileListFollowsSizesThroughTheWatch)
{
    c.write("list/a.tmp", "abc");
    c.write("list/b.tmp", "12345");
    testing::ScriptedFrontEnd frontEnd;
    Toolkit tk(frontEnd);
    struct Host : Form {
        Host(Toolkit& t, FileSystem& f) : Form(t, "host"), fil(*this, "fil", f) {}
        FileListBox fil;
    } host(tk, vfs);
    host.load();
    ASSERT_TRUE(host.fil.setPath("C:\\LIST"));
    ASSERT_EQ(host.fil.listCount(), 2u);
    host.fil.updateSizes();
    ASSERT_EQ(host.fil.entry(0).size, 3);

    append("list/a.tmp", "defg");
    fs::remove(c.path() / "list/b.tmp");
    host.fil.updateSizes();
    EXPECT_EQ(host.fil.entry(0).size, 7);
    EXPECT_EQ(host.fil.entry(1).size, 0);
    EXPECT_EQ(host.fil.items(), (Names{"a.tmp", "b.tmp"}));
}

} // namespace
} // namespace velmora

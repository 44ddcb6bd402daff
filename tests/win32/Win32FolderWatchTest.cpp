#include "platform/win32/Win32FileSystem.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>

namespace velmora {
namespace {

namespace fs = std::filesystem;
using Changes = std::optional<std::vector<std::string>>;
using Names = std::vector<std::string>;

class Win32FolderWatchTest : public ::testing::Test {
protected:
    fs::path at(std::string_view relative) const { return c.path() / testsupport::hostPath(relative); }
    void append(std::string_view relative, std::string_view bytes) const
    {
        std::ofstream(at(relative), std::ios::app | std::ios::binary) << bytes;
    }
    // The system hands changes over a moment after they happen.
    Changes settle(FolderWatch& watch) const
    {
        ::Sleep(100);
        return watch.poll();
    }

    testsupport::TempDir c;
    Win32FileSystem vfs{"c:=" + testsupport::pathText(c.path())};
};

TEST_F(Win32FolderWatchTest, NamesWhatGrewVanishedAppearedMovedOrChangedAttributes)
{
    for (const char* f : {"grow.tmp", "gone.tmp", "old.tmp", "ro.tmp"}) c.write(std::string("w/") + f, "abcdef");
    const auto watch = vfs.watch("C:\\W");
    ASSERT_TRUE(watch);
    EXPECT_EQ(settle(*watch), Changes(Names{}));

    append("w/grow.tmp", "more");
    EXPECT_EQ(settle(*watch), Changes(Names{"grow.tmp"}));
    fs::remove(at("w/gone.tmp"));
    EXPECT_EQ(settle(*watch), Changes(Names{"gone.tmp"}));
    c.write("w/Новый.tmp");
    EXPECT_EQ(settle(*watch), Changes(Names{"Новый.tmp"}));
    fs::rename(at("w/old.tmp"), at("w/renamed.tmp"));
    EXPECT_EQ(settle(*watch), Changes(Names{"old.tmp", "renamed.tmp"}));
    ASSERT_TRUE(::SetFileAttributesW(at("w/ro.tmp").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(settle(*watch), Changes(Names{"ro.tmp"}));

    // Many changes between two polls: each name once.
    for (int i = 0; i < 50; ++i) append("w/grow.tmp", "x");
    c.write("w/other.tmp", "y");
    EXPECT_EQ(settle(*watch), Changes(Names{"grow.tmp", "other.tmp"}));
    EXPECT_EQ(settle(*watch), Changes(Names{}));
}

TEST_F(Win32FolderWatchTest, ReadingAndWhatHappensBelowAreNoChange)
{
    c.write("q/a.tmp", "abc");
    c.write("q/sub/deep.tmp");
    const auto watch = vfs.watch("C:\\q");
    ASSERT_TRUE(watch);
    EXPECT_EQ(vfs.readFile("C:\\q\\a.tmp"), "abc");
    EXPECT_TRUE(vfs.listFiles("C:\\q"));
    append("q/sub/deep.tmp", "not in the watched folder itself");
    EXPECT_EQ(settle(*watch), Changes(Names{}));
}

TEST_F(Win32FolderWatchTest, AFolderMovedMustBeReadAgain)
{
    c.mkdir("moved");
    const auto moved = vfs.watch("C:\\moved");
    ASSERT_TRUE(moved);
    fs::rename(at("moved"), at("elsewhere"));
    EXPECT_EQ(settle(*moved), std::nullopt);
    c.write("elsewhere/x.tmp");
    EXPECT_EQ(settle(*moved), std::nullopt);
}

TEST_F(Win32FolderWatchTest, AFolderRemovedMustBeReadAgain)
{
    if (testsupport::underWine())
        GTEST_SKIP() << "Wine keeps a removed folder at its path until the last handle on it closes, and the "
                        "watch holds one; Windows takes the name away at once or refuses to open it";
    c.write("gone/a.tmp");
    const auto gone = vfs.watch("C:\\gone");
    ASSERT_TRUE(gone);
    fs::remove_all(at("gone"));
    EXPECT_EQ(settle(*gone), std::nullopt);
    c.mkdir("gone"); // a new folder of that name is not the one watched
    EXPECT_EQ(settle(*gone), std::nullopt);
}

TEST_F(Win32FolderWatchTest, NoWatchOfWhatIsNoFolder)
{
    c.write("file.tmp");
    EXPECT_FALSE(vfs.watch("C:\\missing"));
    EXPECT_FALSE(vfs.watch("C:\\file.tmp"));
    EXPECT_FALSE(vfs.watch("Q:\\"));
    EXPECT_TRUE(vfs.watch("C:\\"));
}

} // namespace
} // namespace velmora

#include "platform/posix/PosixFileSystem.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace velmora {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// A folder's subfolders and its names found without regard to case are answered from the
// last read while the folder provably has not changed. These tests change it in every way a
// person or another program can and expect each change seen at once.
class FolderMemoTest : public ::testing::Test {
protected:
    // The folder's times an hour back, as for any folder not touched lately: what is read of
    // it from then on may be kept.
    void age(const std::string& relative) const
    {
        const timespec times[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (c.path() / relative).c_str(), times, 0), 0);
    }
    Names subfolders(const char* path) const
    {
        ListOptions namesOnly;
        namesOnly.details = false;
        Names names;
        if (auto list = vfs.listFolders(path, namesOnly))
            for (const auto& e : *list) names.push_back(e.name);
        return names;
    }
    std::string hostSpelling(const char* path) const
    {
        const auto host = vfs.hostPath(path);
        return host ? fs::path(*host).filename().string() : std::string();
    }

    testsupport::TempDir c;
    PosixFileSystem vfs{"c:=" + c.path().string()};
};

TEST_F(FolderMemoTest, EveryChangeOfAFoldersSubfoldersIsSeenAtTheNextListing)
{
    for (const char* d : {"big/Alpha", "big/beta", "big/gamma"}) fs::create_directories(c.path() / d);
    c.write("big/file.tmp");
    age("big");
    EXPECT_EQ(subfolders("C:\\BIG"), (Names{"Alpha", "beta", "gamma"}));
    EXPECT_EQ(subfolders("C:\\BIG"), (Names{"Alpha", "beta", "gamma"}));

    fs::create_directory(c.path() / "big/delta");
    EXPECT_EQ(subfolders("C:\\BIG"), (Names{"Alpha", "beta", "delta", "gamma"}));
    age("big");
    subfolders("C:\\BIG");
    fs::remove(c.path() / "big/beta");
    EXPECT_EQ(subfolders("C:\\BIG"), (Names{"Alpha", "delta", "gamma"}));
    age("big");
    subfolders("C:\\BIG");
    fs::rename(c.path() / "big/gamma", c.path() / "big/Omega");
    EXPECT_EQ(subfolders("C:\\BIG"), (Names{"Alpha", "delta", "Omega"}));

    // A program that sets the folder's modification time back still changes its change time.
    age("big");
    subfolders("C:\\BIG");
    fs::create_directory(c.path() / "big/epsilon");
    age("big");
    EXPECT_EQ(subfolders("C:\\BIG"), (Names{"Alpha", "delta", "epsilon", "Omega"}));

    // Another folder in between, and a folder replaced by one of the same name.
    EXPECT_EQ(subfolders("C:\\BIG\\ALPHA"), Names{});
    fs::rename(c.path() / "big", c.path() / "old");
    fs::create_directories(c.path() / "big/fresh");
    age("big");
    EXPECT_EQ(subfolders("C:\\BIG"), Names{"fresh"});
}

TEST_F(FolderMemoTest, WhereALinkLeadsIsReadAfresh)
{
    fs::create_directories(c.path() / "links/target");
    fs::create_directory_symlink("target", c.path() / "links/link");
    age("links");
    EXPECT_EQ(subfolders("C:\\LINKS"), (Names{"link", "target"}));
    // The link's target becomes a file: the folder's own times do not change.
    fs::remove(c.path() / "links/target");
    c.write("links/target");
    age("links");
    EXPECT_EQ(subfolders("C:\\LINKS"), Names{});
}

TEST_F(FolderMemoTest, NamesTypedInAnyCaseFollowABigFolderAsItChanges)
{
    for (int i = 0; i < 1500; ++i) c.write("many/file" + std::to_string(i) + ".tmp");
    c.write("many/Mixed.Case");
    age("many");
    EXPECT_EQ(hostSpelling("C:\\MANY\\FILE7.TMP"), "file7.tmp");
    EXPECT_EQ(hostSpelling("C:\\many\\mixed.case"), "Mixed.Case");
    EXPECT_EQ(hostSpelling("C:\\many\\NEW.TXT"), "NEW.TXT"); // not there: as typed

    c.write("many/New.txt");
    EXPECT_EQ(hostSpelling("C:\\many\\NEW.TXT"), "New.txt");
    age("many");
    EXPECT_EQ(hostSpelling("C:\\many\\new.TXT"), "New.txt");
    fs::rename(c.path() / "many/Mixed.Case", c.path() / "many/MIXED.case");
    EXPECT_EQ(hostSpelling("C:\\many\\mixed.case"), "MIXED.case");
    age("many");
    fs::remove(c.path() / "many/New.txt");
    EXPECT_EQ(hostSpelling("C:\\many\\NEW.TXT"), "NEW.TXT");
    // Several spellings of one name: the bytewise smallest, as without the memo.
    age("many");
    c.write("many/new.txt");
    c.write("many/NEW.txt");
    EXPECT_EQ(hostSpelling("C:\\many\\New.Txt"), "NEW.txt");

    // A copy from the big folder finds its source in any case, as start-up copies its help files.
    age("many");
    ASSERT_TRUE(vfs.copyFile("C:\\MANY\\FILE42.TMP", "C:\\copy.tmp"));
    EXPECT_TRUE(fs::exists(c.path() / "copy.tmp"));
}

} // namespace
} // namespace velmora

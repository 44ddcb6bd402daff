#include "platform/posix/FolderMemo.h"

#include "platform/Wildcard.h"
#include "platform/posix/Fd.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace velmora::posixhost {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;
constexpr auto Grain = std::chrono::milliseconds(30);

// A folder's listings and its names found without regard to case are answered from the
// last read while the folder provably has not changed. Each test lets the folder settle (so
// that what is read of it is kept), then changes it in a way a person or another program
// can and expects the change seen at the next question.
class FolderMemoTest : public ::testing::Test {
protected:
    static void settle() { std::this_thread::sleep_for(Grain * 2); }
    Fd open(const char* relative) const
    {
        return Fd(::open((c.path() / relative).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    static Names names(const std::optional<std::vector<DirEntry>>& list)
    {
        Names out;
        if (list)
            for (const auto& e : *list) out.push_back(e.name);
        return out;
    }
    Names subfolders(const char* relative) { return names(memo.subfolders(open(relative).get())); }
    Names files(const char* relative, const char* mask = nullptr)
    {
        const MaskList masks(mask ? mask : "");
        return names(memo.files(open(relative).get(), mask ? &masks : nullptr));
    }
    std::string spelling(const char* relative, std::string_view name)
    {
        return memo.findNoCase(open(relative).get(), name).value_or("(none)");
    }

    testsupport::TempDir c;
    FolderMemo memo{Grain};
};

TEST_F(FolderMemoTest, EveryChangeOfTheSubfoldersIsSeenAtTheNextListing)
{
    for (const char* d : {"big/Alpha", "big/beta", "big/gamma"}) fs::create_directories(c.path() / d);
    c.write("big/file.tmp");
    settle();
    EXPECT_EQ(subfolders("big"), (Names{"Alpha", "beta", "gamma"}));
    EXPECT_EQ(subfolders("big"), (Names{"Alpha", "beta", "gamma"}));

    fs::create_directory(c.path() / "big/delta");
    EXPECT_EQ(subfolders("big"), (Names{"Alpha", "beta", "delta", "gamma"}));
    settle();
    subfolders("big");
    fs::remove(c.path() / "big/beta");
    EXPECT_EQ(subfolders("big"), (Names{"Alpha", "delta", "gamma"}));
    settle();
    subfolders("big");
    fs::rename(c.path() / "big/gamma", c.path() / "big/Omega");
    EXPECT_EQ(subfolders("big"), (Names{"Alpha", "delta", "Omega"}));

    // A program that sets the folder's modification time back still changes its change time.
    settle();
    subfolders("big");
    struct stat before {};
    ASSERT_EQ(::stat((c.path() / "big").c_str(), &before), 0);
    fs::create_directory(c.path() / "big/epsilon");
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, (c.path() / "big").c_str(), times, 0), 0);
    EXPECT_EQ(subfolders("big"), (Names{"Alpha", "delta", "epsilon", "Omega"}));

    // Another folder in between, then a folder put in the place of the one kept.
    settle();
    subfolders("big");
    EXPECT_EQ(subfolders("big/Alpha"), Names{});
    fs::rename(c.path() / "big", c.path() / "old");
    fs::create_directories(c.path() / "big/fresh");
    settle();
    EXPECT_EQ(subfolders("big"), Names{"fresh"});
}

TEST_F(FolderMemoTest, EveryChangeOfTheFilesIsSeenAtTheNextListingWhateverItsMasks)
{
    for (const char* f : {"big/a.tmp", "big/B.bak", "big/c.tmp"}) c.write(f);
    fs::create_directory(c.path() / "big/sub.tmp");
    settle();
    EXPECT_EQ(files("big"), (Names{"a.tmp", "B.bak", "c.tmp"}));
    EXPECT_EQ(files("big", "*.tmp"), (Names{"a.tmp", "c.tmp"}));
    EXPECT_EQ(files("big", "*.bak;*.tmp"), (Names{"a.tmp", "B.bak", "c.tmp"}));

    c.write("big/d.tmp");
    EXPECT_EQ(files("big", "*.tmp"), (Names{"a.tmp", "c.tmp", "d.tmp"}));
    settle();
    files("big");
    fs::remove(c.path() / "big/a.tmp");
    fs::rename(c.path() / "big/c.tmp", c.path() / "big/c.bak");
    EXPECT_EQ(files("big", "*.tmp"), Names{"d.tmp"});
    settle();
    files("big");
    // A folder replaced by a file of its name, and the other way round.
    fs::remove(c.path() / "big/sub.tmp");
    c.write("big/sub.tmp");
    fs::remove(c.path() / "big/d.tmp");
    fs::create_directory(c.path() / "big/d.tmp");
    EXPECT_EQ(files("big", "*.tmp"), Names{"sub.tmp"});
    EXPECT_EQ(subfolders("big"), Names{"d.tmp"});
}

TEST_F(FolderMemoTest, WhereALinkLeadsIsReadAfresh)
{
    fs::create_directories(c.path() / "links/target");
    fs::create_directory_symlink("target", c.path() / "links/link");
    settle();
    EXPECT_EQ(subfolders("links"), (Names{"link", "target"}));
    // The link's target becomes a file: the folder holding the link does not change.
    fs::remove(c.path() / "links/target");
    c.write("links/target");
    settle();
    EXPECT_EQ(subfolders("links"), Names{});
    EXPECT_EQ(files("links"), (Names{"link", "target"}));
}

TEST_F(FolderMemoTest, NamesInAnyCaseFollowABigFolderAsItChanges)
{
    for (int i = 0; i < 1500; ++i) c.write("many/file" + std::to_string(i) + ".tmp");
    c.write("many/Mixed.Case");
    settle();
    EXPECT_EQ(spelling("many", "FILE7.TMP"), "file7.tmp");
    EXPECT_EQ(spelling("many", "mixed.case"), "Mixed.Case");
    EXPECT_EQ(spelling("many", "NEW.TXT"), "(none)");

    c.write("many/New.txt");
    EXPECT_EQ(spelling("many", "NEW.TXT"), "New.txt");
    settle();
    EXPECT_EQ(spelling("many", "new.TXT"), "New.txt");
    fs::rename(c.path() / "many/Mixed.Case", c.path() / "many/MIXED.case");
    EXPECT_EQ(spelling("many", "mixed.case"), "MIXED.case");
    settle();
    spelling("many", "x");
    fs::remove(c.path() / "many/New.txt");
    EXPECT_EQ(spelling("many", "NEW.TXT"), "(none)");
    // Several spellings of one name: the bytewise smallest, kept or not.
    settle();
    spelling("many", "x");
    c.write("many/new.txt");
    c.write("many/NEW.txt");
    EXPECT_EQ(spelling("many", "New.Txt"), "NEW.txt");
    settle();
    EXPECT_EQ(spelling("many", "New.Txt"), "NEW.txt");
    // A small folder asked about in between does not push the big one out, and is right too.
    c.write("small/One.tmp");
    EXPECT_EQ(spelling("small", "ONE.TMP"), "One.tmp");
    EXPECT_EQ(spelling("many", "FILE1499.TMP"), "file1499.tmp");
}

} // namespace
} // namespace velmora::posixhost

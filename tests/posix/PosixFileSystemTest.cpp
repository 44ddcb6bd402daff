#include "platform/posix/PosixFileSystem.h"
#include "platform/Text.h"
#include "platform/Wildcard.h"
#include "platform/posix/MountTable.h"
#include "platform/posix/PosixHost.h"
#include "platform/testing/Doubles.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <thread>

namespace velmora {
namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

std::vector<std::string> names(const std::optional<std::vector<DirEntry>>& entries)
{
    std::vector<std::string> out;
    if (entries)
        for (const DirEntry& e : *entries) out.push_back(e.name);
    return out;
}

const DirEntry* find(const std::optional<std::vector<DirEntry>>& entries, std::string_view name)
{
    if (!entries) return nullptr;
    for (const DirEntry& e : *entries)
        if (e.name == name) return &e;
    return nullptr;
}

// A file's time as the program reads it: through the open folder that holds it.
std::optional<DateTime> timeOf(const FileSystem& vfs, std::string_view folder, std::string_view name)
{
    const auto open = vfs.openFolder(folder);
    return open ? open->modificationTime(name) : std::nullopt;
}

mode_t modeOf(const fs::path& p)
{
    struct stat st {};
    ::lstat(p.c_str(), &st);
    return st.st_mode & 07777;
}

// Two temporary folders mapped as C: and D:; the working folder is put back afterwards,
// as setting a current folder moves it.
class PosixFileSystemTest : public ::testing::Test {
protected:
    ~PosixFileSystemTest() override { fs::current_path(m_savedCwd); }

    std::string driveMap() const { return "c:=" + c.path().string() + ";d:=" + d.path().string(); }

    fs::path m_savedCwd = fs::current_path();
    TempDir c;
    TempDir d;
    PosixFileSystem vfs{driveMap()};
};

TEST_F(PosixFileSystemTest, DriveMapAndReadiness)
{
    const auto drives = vfs.drives();
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[0].boxText(), "c: [" + c.path().string() + "]");
    EXPECT_EQ(drives[1].letter, 'd');
    EXPECT_TRUE(drives[0].ready && drives[1].ready);
    EXPECT_EQ(vfs.currentDrive(), 'c');
    EXPECT_EQ(vfs.currentFolder('D'), "D:\\");

    PosixFileSystem missing("e:=" + (c.path() / "gone").string() + ";junk;1:=/x;c=" + c.path().string() + "/");
    ASSERT_EQ(missing.drives().size(), 2u);
    EXPECT_EQ(missing.drives()[0].label, c.path().string()); // trailing "/" dropped
    EXPECT_FALSE(missing.drives()[1].ready);
    EXPECT_FALSE(missing.driveReady('e'));
    EXPECT_FALSE(missing.setCurrentDrive('e'));
    EXPECT_FALSE(missing.setCurrentDrive('q'));
    EXPECT_FALSE(missing.listFiles("E:\\"));
    EXPECT_FALSE(missing.hostPath("Q:\\x"));

    EXPECT_EQ(PosixFileSystem("").drives().front().boxText(), "c: [/]");
    EXPECT_EQ(PosixFileSystem("nonsense;c:=").drives().front().label, "/");
}

TEST_F(PosixFileSystemTest, TheDesktopTrashIsInTheDataFolderElseTheHomesAndOnADrive)
{
    testing::MapEnvironment env;
    env.set("XDG_DATA_HOME", "relative/data"); // not absolute: ignored
    env.set("HOME", (d.path() / "ann").string());
    const DesktopTrash trash = vfs.desktopTrash(env);
    EXPECT_EQ(trash.user, std::to_string(::getuid()));
    EXPECT_EQ(trash.folders, std::vector<std::string>{"D:\\ann\\.local\\share\\Trash"});
    env.set("XDG_DATA_HOME", "/elsewhere/data");
    EXPECT_TRUE(vfs.desktopTrash(env).folders.empty()) << "a trash on no drive";
}

TEST_F(PosixFileSystemTest, AbsolutePathsAreCleanedAndKeepTheirSpelling)
{
    EXPECT_EQ(vfs.absolute("C:\\A\\..\\B\\"), "C:\\B");
    EXPECT_EQ(vfs.absolute("c:\\x\\.\\\\y\\\\"), "c:\\x\\y");
    EXPECT_EQ(vfs.absolute("C:/x/y"), "C:\\x\\y");
    EXPECT_EQ(vfs.absolute("C:\\..\\.."), "C:\\");
    EXPECT_EQ(vfs.absolute("C:\\").size(), 3u);
    EXPECT_EQ(vfs.absolute("\\Top"), "C:\\Top");
    // Started outside every drive, a relative path names something in that working folder,
    // which has no drive path, until a current folder is set.
    EXPECT_EQ(vfs.absolute("Sub\\File.TMP"), "");
    ASSERT_TRUE(vfs.setCurrentFolder("C:\\"));
    EXPECT_EQ(vfs.absolute("Sub\\File.TMP"), "C:\\Sub\\File.TMP");
    EXPECT_EQ(vfs.absolute(""), "");
    EXPECT_EQ(vfs.absolute("\\\\server\\share"), "");
    EXPECT_EQ(vfs.absolute(std::string_view("C:\\a\0b", 6)), "");
}

TEST_F(PosixFileSystemTest, ComponentsMatchWithoutRegardToCase)
{
    c.write("Windows/TEMP/a.tmp", "12345");
    c.write("Документы/Отчёт.txt", "x");

    EXPECT_TRUE(vfs.folderExists("C:\\WINDOWS\\temp"));
    EXPECT_EQ(names(vfs.listFiles("c:\\windows\\Temp")), std::vector<std::string>{"a.tmp"});
    EXPECT_EQ(vfs.fileSize("C:\\WINDOWS\\TEMP\\A.TMP"), 5);
    EXPECT_EQ(vfs.absolute("C:\\WINDOWS\\temp\\..\\temp\\"), "C:\\WINDOWS\\temp");
    EXPECT_EQ(vfs.hostPath("C:\\WINDOWS\\temp\\A.TMP"), (c.path() / "Windows/TEMP/a.tmp").string());
    EXPECT_EQ(vfs.hostPath("C:\\windows\\New\\x"), (c.path() / "Windows/New/x").string());
    EXPECT_EQ(vfs.readFile("C:\\ДОКУМЕНТЫ\\ОТЧЁТ.TXT"), "x");

    // An existing name in another case is written to, not doubled.
    ASSERT_TRUE(vfs.appendFile("C:\\WINDOWS\\TEMP\\A.TMP", "6"));
    EXPECT_EQ(names(vfs.listFiles("C:\\Windows\\TEMP")), std::vector<std::string>{"a.tmp"});
    EXPECT_EQ(testsupport::readHostFile(c.path() / "Windows/TEMP/a.tmp"), "123456");
    // A folder's entries are acted on by their exact names only.
    const auto temp = vfs.openFolder("c:\\windows\\temp");
    ASSERT_TRUE(temp);
    EXPECT_FALSE(temp->remove("A.Tmp"));
    EXPECT_TRUE(temp->remove("a.tmp"));
    const auto windows = vfs.openFolder("C:\\WINDOWS");
    EXPECT_FALSE(windows->removeFolder("temp"));
    EXPECT_TRUE(windows->openSubfolder("temp", NameMatch::AnyCase));
    EXPECT_TRUE(windows->removeFolder("TEMP"));
    EXPECT_FALSE(c.exists("Windows/TEMP"));
}

TEST_F(PosixFileSystemTest, EachDriveHasItsCurrentFolderAndTheProcessFollows)
{
    c.mkdir("Windows");
    d.mkdir("Sub");
    ASSERT_TRUE(vfs.setCurrentFolder("c:\\WINDOWS"));
    EXPECT_EQ(vfs.currentFolder('c'), "c:\\WINDOWS");
    EXPECT_TRUE(fs::equivalent(fs::current_path(), c.path() / "Windows"));

    ASSERT_TRUE(vfs.setCurrentFolder("D:\\Sub"));
    EXPECT_TRUE(fs::equivalent(fs::current_path(), c.path() / "Windows")); // D: is not current
    EXPECT_EQ(vfs.absolute("D:x.tmp"), "D:\\Sub\\x.tmp");
    EXPECT_EQ(vfs.absolute("x.tmp"), "c:\\WINDOWS\\x.tmp");
    EXPECT_FALSE(vfs.setCurrentFolder("D:\\Missing"));
    EXPECT_EQ(vfs.currentFolder('d'), "D:\\Sub");

    ASSERT_TRUE(vfs.setCurrentDrive('D'));
    EXPECT_EQ(vfs.currentDrive(), 'd');
    EXPECT_TRUE(fs::equivalent(fs::current_path(), d.path() / "Sub"));
    EXPECT_EQ(vfs.absolute("..\\y"), "D:\\y");

    // Started inside a mapped folder, that drive and folder are current.
    const PosixFileSystem again(driveMap());
    EXPECT_EQ(again.currentDrive(), 'd');
    EXPECT_EQ(again.currentFolder('d'), "D:\\Sub");
    EXPECT_EQ(again.currentFolder('c'), "C:\\");

    // A current folder removed meanwhile falls back to the drive's root.
    ASSERT_TRUE(vfs.setCurrentDrive('c'));
    fs::remove(c.path() / "Windows");
    EXPECT_TRUE(vfs.setCurrentDrive('c'));
    EXPECT_EQ(vfs.currentFolder('c'), "C:\\");
}

TEST_F(PosixFileSystemTest, ListingsComeInNameOrderWithAttributes)
{
    for (const char* n : {"b", "C", "a2", "A"}) c.write(std::string("files/") + n, "abc");
    c.write("files/.hidden");
    c.write("files/locked.tmp", "1234567");
    fs::permissions(c.path() / "files/locked.tmp", fs::perms::owner_read);
    c.mkdir("files/Zdir");
    c.mkdir("files/adir");
    ASSERT_EQ(::mkfifo((c.path() / "files/pipe.tmp").c_str(), 0600), 0);

    const auto files = vfs.listFiles("C:\\files");
    EXPECT_EQ(names(files), (std::vector<std::string>{".hidden", "A", "a2", "b", "C", "locked.tmp"}));
    EXPECT_EQ(names(vfs.listFolders("C:\\files")), (std::vector<std::string>{"adir", "Zdir"}));
    EXPECT_EQ(names(vfs.listEntries("C:\\files")).size(), 8u);

    EXPECT_EQ(find(files, ".hidden")->attributes, attr::Hidden | attr::Archive);
    EXPECT_EQ(find(files, "locked.tmp")->attributes, attr::ReadOnly | attr::Archive);
    EXPECT_EQ(find(files, "locked.tmp")->size, 7);
    EXPECT_EQ(vfs.attributes("C:\\files\\locked.tmp"), attr::ReadOnly | attr::Archive);
    EXPECT_EQ(vfs.attributes("C:\\files\\adir"), attr::Directory);

    ListOptions quick;
    quick.details = false;
    const MaskList mask("*.TMP");
    quick.mask = &mask;
    const auto masked = vfs.listFiles("C:\\files", quick);
    ASSERT_EQ(names(masked), std::vector<std::string>{"locked.tmp"});
    EXPECT_EQ(masked->front().size, 0);
    EXPECT_FALSE(vfs.listFiles("C:\\files\\missing"));
}

TEST_F(PosixFileSystemTest, ASubfolderOnAnotherFileSystemIsNotOpenedAsPlain)
{
    struct stat root {
    }, proc{};
    ASSERT_EQ(::stat("/", &root), 0);
    ASSERT_EQ(::stat("/proc", &proc), 0);
    const PosixFileSystem host("c:=/");
    const auto top = host.openFolder("C:\\");
    ASSERT_TRUE(top);
    EXPECT_EQ(top->openSubfolder("proc") != nullptr, root.st_dev == proc.st_dev);
    EXPECT_TRUE(top->openSubfolder("etc"));
    EXPECT_TRUE(host.openFolder("C:\\proc")); // opened by its path, it is the folder it is
}

TEST_F(PosixFileSystemTest, LinksAreReportedAndLoopsNeverHang)
{
    c.write("real/t.txt", "target");
    fs::create_directory_symlink(c.path() / "real", c.path() / "linkdir");
    fs::create_symlink(c.path() / "real/t.txt", c.path() / "lf.tmp");
    fs::create_symlink("b", c.path() / "a");
    fs::create_symlink("a", c.path() / "b");
    c.write("P/x.tmp", "x");
    fs::create_directory_symlink("..", c.path() / "P/up");

    const auto folders = vfs.listFolders("C:\\");
    ASSERT_TRUE(find(folders, "linkdir"));
    EXPECT_EQ(find(folders, "linkdir")->attributes, attr::Directory | attr::ReparsePoint);
    const auto files = vfs.listFiles("C:\\");
    EXPECT_EQ(names(files), (std::vector<std::string>{"a", "b", "lf.tmp"}));
    EXPECT_TRUE(find(files, "a")->isLink() && find(files, "lf.tmp")->isLink());
    EXPECT_EQ(vfs.attributes("C:\\linkdir"), attr::Directory | attr::ReparsePoint);

    EXPECT_FALSE(vfs.listFolders("C:\\a"));
    EXPECT_FALSE(vfs.folderExists("C:\\a\\x"));
    EXPECT_TRUE(find(vfs.listFolders("C:\\P"), "up")->isLink());
    EXPECT_TRUE(vfs.folderExists("C:\\P\\up\\P\\up\\P\\up\\real"));

    // A link is never entered as a subfolder, and goes by itself.
    const auto top = vfs.openFolder("C:\\");
    ASSERT_TRUE(top);
    EXPECT_FALSE(top->openSubfolder("linkdir"));
    EXPECT_FALSE(vfs.openFolder("C:\\P")->openSubfolder("up"));
    EXPECT_FALSE(top->removeFolder("linkdir"));
    EXPECT_TRUE(top->setAttributes("lf.tmp", attr::ReadOnly));
    EXPECT_EQ(modeOf(c.path() / "real/t.txt") & S_IWUSR, S_IWUSR);
    EXPECT_TRUE(top->remove("lf.tmp"));
    EXPECT_TRUE(top->remove("linkdir"));
    EXPECT_EQ(testsupport::readHostFile(c.path() / "real/t.txt"), "target");
    EXPECT_TRUE(c.exists("P/x.tmp"));
}

TEST_F(PosixFileSystemTest, AListedFolderSwappedForALinkOrAnotherFolderIsNotOpened)
{
    c.write("A/x.tmp");
    c.write("Other/x.tmp");
    const auto opened = vfs.openFolder("C:\\A");
    ASSERT_TRUE(opened);
    const ListedFolder listed{"C:\\A", opened->id()};
    EXPECT_TRUE(vfs.openListed(listed));

    fs::rename(c.path() / "A", c.path() / "Moved");
    fs::create_directory_symlink(c.path() / "Other", c.path() / "A");
    EXPECT_FALSE(vfs.openListed(listed));
    fs::remove(c.path() / "A");
    fs::create_directory(c.path() / "A");
    EXPECT_FALSE(vfs.openListed(listed));
    fs::remove(c.path() / "A");
    EXPECT_FALSE(vfs.openListed(listed));

    // An open folder keeps working on the folder it opened, wherever it went.
    EXPECT_TRUE(opened->remove("x.tmp"));
    EXPECT_FALSE(opened->remove("x.tmp")); // already gone: quietly false
    EXPECT_TRUE(c.exists("Other/x.tmp"));
    EXPECT_FALSE(opened->remove("..\\Other\\x.tmp"));
    EXPECT_FALSE(opened->remove("../Other/x.tmp"));
    EXPECT_FALSE(vfs.openFolder("C:\\")->remove("Moved"));       // a folder is no file
    EXPECT_FALSE(vfs.openFolder("C:\\")->removeFolder("Other")); // not empty
}

TEST_F(PosixFileSystemTest, ReadOnlyFilesStayUntilTheirAttributesAreCleared)
{
    c.write("t/a.tmp");
    c.write("t/b.tmp");
    c.write("t/c.txt");
    c.mkdir("t/d.tmp");
    const auto t = vfs.openFolder("C:\\T");
    ASSERT_TRUE(t);
    EXPECT_FALSE(t->setAttributes("A.TMP", attr::ReadOnly));
    ASSERT_TRUE(t->setAttributes("a.tmp", attr::ReadOnly | attr::Hidden));
    EXPECT_EQ(modeOf(c.path() / "t/a.tmp") & 0222, 0u);
    EXPECT_FALSE(t->remove("a.tmp"));
    EXPECT_EQ(t->removeMatching(MaskList("*.tmp;*.bak")), 1);
    EXPECT_TRUE(c.exists("t/a.tmp") && c.exists("t/c.txt") && c.exists("t/d.tmp"));

    ASSERT_TRUE(t->setAttributes("a.tmp", 0));
    EXPECT_EQ(t->attributes("a.tmp"), attr::Archive);
    EXPECT_TRUE(t->remove("a.tmp"));
    EXPECT_FALSE(t->setAttributes("a.tmp", 0));
}

TEST_F(PosixFileSystemTest, NamesThatAreNotUtf8KeepTheirBytes)
{
    const std::string bad = "bad\xFF\xFE.tmp";
    const std::string other = "zz\xC3.tmp";
    c.write("j/" + bad, "12");
    c.write("j/" + other, "1");
    ASSERT_FALSE(text::isValidUtf8(bad));

    const MaskList mask("*.tmp");
    ListOptions options;
    options.mask = &mask;
    const auto listed = vfs.listFiles("C:\\j", options);
    EXPECT_EQ(names(listed), (std::vector<std::string>{bad, other}));
    EXPECT_EQ(vfs.fileSize(path::join("C:\\j", bad)), 2);
    EXPECT_EQ(vfs.hostPath(path::join("C:\\J", bad)), (c.path() / "j" / bad).string());
    const auto j = vfs.openFolder("C:\\j");
    EXPECT_TRUE(j->remove(bad));
    EXPECT_EQ(j->removeMatching(mask), 1);
    EXPECT_EQ(names(vfs.listFiles("C:\\j")), std::vector<std::string>{});
}

// Removes a chain of nested folders (and a file at its bottom) one level at a time, as the
// temporary folder's own cleanup cannot reach that deep.
struct DeepChain {
    explicit DeepChain(const fs::path& top) : root(top) {}
    ~DeepChain()
    {
        std::vector<int> fds{::open(root.c_str(), O_RDONLY | O_DIRECTORY)};
        for (const std::string& n : names) fds.push_back(::openat(fds.back(), n.c_str(), O_RDONLY | O_DIRECTORY));
        ::unlinkat(fds.back(), "f.tmp", 0);
        for (std::size_t i = names.size(); i > 0; --i) ::unlinkat(fds[i - 1], names[i - 1].c_str(), AT_REMOVEDIR);
        for (int fd : fds) ::close(fd);
    }
    fs::path root;
    std::vector<std::string> names;
};

TEST_F(PosixFileSystemTest, PathsLongerThanTheHostAllowsInOneCall)
{
    DeepChain chain(c.path());
    std::vector<std::string> levels;
    std::string drivePath = "C:";
    int dir = ::open(c.path().c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < 20; ++i) {
        const std::string name = std::string(200, static_cast<char>('a' + i)) + std::to_string(i);
        ASSERT_EQ(::mkdirat(dir, name.c_str(), 0755), 0);
        chain.names.push_back(name);
        const int next = ::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(dir);
        dir = next;
        drivePath += '\\';
        drivePath += text::toUpper(name);
        levels.push_back(drivePath);
    }
    ::close(dir);
    EXPECT_GT(drivePath.size(), 4000u);

    const std::string file = path::join(drivePath, "f.tmp");
    EXPECT_TRUE(vfs.appendFile(file, "abc"));
    EXPECT_EQ(vfs.fileSize(file), 3);
    EXPECT_EQ(names(vfs.listFiles(drivePath)), std::vector<std::string>{"f.tmp"});
    EXPECT_EQ(vfs.listFolders(levels[18])->front().name, chain.names[19]);
    EXPECT_GT(vfs.hostPath(file).value_or("").size(), 4000u);
    EXPECT_TRUE(vfs.setCurrentFolder(drivePath));
    EXPECT_EQ(vfs.readFile("f.tmp"), "abc");
    EXPECT_TRUE(vfs.openFolder(drivePath)->remove("f.tmp"));
    EXPECT_TRUE(vfs.setCurrentFolder("C:\\"));
    for (std::size_t i = levels.size(); i > 1; --i)
        EXPECT_TRUE(vfs.openFolder(levels[i - 2])->removeFolder(chain.names[i - 1]));
    EXPECT_TRUE(vfs.openFolder("C:\\")->removeFolder(chain.names.front()));
    EXPECT_FALSE(c.exists(chain.names.front()));
}

TEST_F(PosixFileSystemTest, CopyReplacesTheDestinationAndKeepsItsTime)
{
    c.write("src.txt", "new content");
    c.write("dst/old.txt", "old");
    c.write("dst/ro.txt", "ro");
    fs::permissions(c.path() / "dst/ro.txt", fs::perms::owner_read);
    c.write("victim.txt", "victim");
    fs::create_symlink(c.path() / "victim.txt", c.path() / "dst/link.txt");
    const struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (c.path() / "src.txt").c_str(), times, 0), 0);

    EXPECT_TRUE(vfs.copyFile("C:\\SRC.TXT", "C:\\dst\\OLD.txt"));
    EXPECT_EQ(testsupport::readHostFile(c.path() / "dst/old.txt"), "new content");
    EXPECT_EQ(timeOf(vfs, "C:\\dst", "old.txt"), timeOf(vfs, "C:\\", "src.txt"));
    EXPECT_TRUE(vfs.copyFile("C:\\src.txt", "D:\\copy.txt"));
    EXPECT_EQ(vfs.readFile("D:\\copy.txt"), "new content");

    EXPECT_FALSE(vfs.copyFile("C:\\src.txt", "C:\\missing\\x.txt"));
    EXPECT_FALSE(vfs.copyFile("C:\\nothing.txt", "C:\\dst\\y.txt"));
    EXPECT_FALSE(vfs.copyFile("C:\\src.txt", "C:\\dst\\ro.txt"));
    EXPECT_FALSE(vfs.copyFile("C:\\src.txt", "C:\\dst"));
    EXPECT_TRUE(vfs.copyFile("C:\\src.txt", "C:\\dst\\link.txt"));
    EXPECT_EQ(testsupport::readHostFile(c.path() / "victim.txt"), "victim");
    EXPECT_EQ(names(vfs.listFiles("C:\\dst")), (std::vector<std::string>{"link.txt", "old.txt", "ro.txt"}));
}

TEST_F(PosixFileSystemTest, AppendingNeverWritesThroughALinkAtTheLastStep)
{
    c.write("victim.txt", "victim");
    c.mkdir("shared");
    fs::create_symlink(c.path() / "victim.txt", c.path() / "shared/report.txt");
    fs::create_symlink(c.path() / "created-elsewhere.txt", c.path() / "shared/dangling.txt");
    EXPECT_FALSE(vfs.appendFile("C:\\shared\\report.txt", "planted"));
    EXPECT_FALSE(vfs.appendFile("C:\\shared\\dangling.txt", "planted"));
    EXPECT_EQ(testsupport::readHostFile(c.path() / "victim.txt"), "victim");
    EXPECT_FALSE(c.exists("created-elsewhere.txt"));
    EXPECT_TRUE(vfs.appendFile("C:\\shared\\new.txt", "a"));
    EXPECT_TRUE(vfs.appendFile("C:\\shared\\new.txt", "b"));
    EXPECT_EQ(testsupport::readHostFile(c.path() / "shared/new.txt"), "ab");
}

TEST_F(PosixFileSystemTest, TimesAreLocalAndSizesAre64Bit)
{
    std::tm local{};
    local.tm_year = 2003 - 1900;
    local.tm_mon = 6;
    local.tm_mday = 14;
    local.tm_hour = 23;
    local.tm_min = 5;
    local.tm_sec = 9;
    local.tm_isdst = -1;
    const struct timespec times[2] = {{std::mktime(&local), 0}, {std::mktime(&local), 0}};
    const auto big = c.write("big.bin");
    ASSERT_EQ(::truncate(big.c_str(), 5'000'000'000LL), 0); // sparse
    ASSERT_EQ(::utimensat(AT_FDCWD, big.c_str(), times, 0), 0);

    EXPECT_EQ(timeOf(vfs, "C:\\", "big.bin"), (DateTime{2003, 7, 14, 23, 5, 9}));
    EXPECT_EQ(vfs.fileSize("C:\\big.bin"), 5'000'000'000LL);
    EXPECT_EQ(vfs.listFiles("C:\\")->front().size, 5'000'000'000LL);
    EXPECT_FALSE(vfs.fileSize("C:\\none"));
    EXPECT_FALSE(timeOf(vfs, "C:\\", "none"));
}

// Runs `check` in a child without the power to override permissions (root drops to nobody)
// and returns its exit code. A test calling it skips first where root cannot drop.
template <class Check> int runUnprivileged(Check check)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!testsupport::dropRootPrivileges()) ::_exit(100);
        ::_exit(check());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 200;
}

TEST_F(PosixFileSystemTest, AnUnreadableFolderFailsAloneWhileItsSiblingsList)
{
    if (const auto why = testsupport::plainUserMissing()) GTEST_SKIP() << *why;
    c.write("open/f.tmp");
    c.write("locked/secret.tmp");
    for (const char* p : {"", "open"})
        fs::permissions(c.path() / p, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                          fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(c.path() / "open/f.tmp", fs::perms::owner_read | fs::perms::others_read);
    fs::permissions(c.path() / "locked", fs::perms::owner_write | fs::perms::owner_exec);

    const std::string drives = driveMap();
    const int failed = runUnprivileged([&drives] {
        const PosixFileSystem child(drives);
        int bad = 0;
        if (!child.driveReady('c')) return 99; // the temporary folder is out of reach of an unprivileged user
        if (child.listFiles("C:\\locked") || child.listFolders("C:\\LOCKED") || child.listEntries("C:\\locked"))
            bad |= 1;
        if (child.canEnter("C:\\locked") || !child.canEnter("C:\\open")) bad |= 2;
        if (names(child.listFiles("C:\\open")) != std::vector<std::string>{"f.tmp"}) bad |= 4;
        if (names(child.listFolders("C:\\")) != std::vector<std::string>{"locked", "open"}) bad |= 8;
        return bad;
    });
    EXPECT_EQ(failed, 0) << "bits: 1 listed, 2 canEnter, 4 sibling, 8 parent; 99 unreachable";
}

// What a walk met: "+path" on entering, "-path" on leaving, "?path" for a folder it could not
// read, and each file handed over.
struct WalkLog {
    std::vector<std::string> steps;
    std::vector<std::string> files;
    WalkCallback callback(std::function<WalkStep(const WalkVisit&)> answer = {})
    {
        return [this, answer](const WalkVisit& v) {
            const char* mark = v.kind == WalkVisit::Kind::Enter ? "+" : v.kind == WalkVisit::Kind::Leave ? "-" : "?";
            steps.push_back(mark + v.path);
            if (v.files)
                for (const DirEntry& f : *v.files) files.push_back(path::join(v.path, f.name));
            return answer ? answer(v) : WalkStep::Continue;
        };
    }
};

TEST_F(PosixFileSystemTest, AWalkEntersRealSubfoldersInNameOrderAndHandsOverMatchingFilesAfterThem)
{
    for (const char* f : {"Beta", "alpha", "Гамма", ".cache", "dir.tmp", "alpha/deep"}) c.mkdir(std::string("t/") + f);
    for (const char* f : {"b.tmp", "A.TMP", "c.txt", ".h.tmp", "Журнал.TMP", "alpha/deep/z.tmp"})
        c.write(std::string("t/") + f, "x");
    fs::create_directory_symlink(c.path() / "t/alpha", c.path() / "t/linkdir");
    fs::create_directory_symlink(c.path() / "t/alpha", c.path() / "t/ld.tmp");
    fs::create_symlink(c.path() / "t/c.txt", c.path() / "t/lf.tmp");
    fs::create_symlink(c.path() / "t/nowhere", c.path() / "t/broken.tmp");
    ASSERT_EQ(::mkfifo((c.path() / "t/pipe.tmp").c_str(), 0600), 0);
    const MaskList mask("*.tmp");

    WalkLog log;
    ASSERT_TRUE(vfs.openFolder("C:\\T")->walk("C:\\T", &mask, log.callback()));
    EXPECT_EQ(log.steps, (std::vector<std::string>{"+C:\\T", "+C:\\T\\.cache", "-C:\\T\\.cache", "+C:\\T\\alpha",
                                                   "+C:\\T\\alpha\\deep", "-C:\\T\\alpha\\deep", "-C:\\T\\alpha",
                                                   "+C:\\T\\Beta", "-C:\\T\\Beta", "+C:\\T\\dir.tmp", "-C:\\T\\dir.tmp",
                                                   "+C:\\T\\Гамма", "-C:\\T\\Гамма", "-C:\\T"}));
    EXPECT_EQ(log.files,
              (std::vector<std::string>{"C:\\T\\alpha\\deep\\z.tmp", "C:\\T\\.h.tmp", "C:\\T\\A.TMP", "C:\\T\\b.tmp",
                                        "C:\\T\\broken.tmp", "C:\\T\\lf.tmp", "C:\\T\\Журнал.TMP"}));

    // Pruned folders are not entered; a stop ends the walk at once.
    WalkLog pruned;
    EXPECT_TRUE(vfs.openFolder("C:\\T")->walk("C:\\T", nullptr, pruned.callback([](const WalkVisit& v) {
        return v.parent ? WalkStep::Prune : WalkStep::Continue;
    })));
    EXPECT_EQ(pruned.steps.size(), 12u);
    WalkLog stopped;
    EXPECT_FALSE(vfs.openFolder("C:\\T")->walk("C:\\T", nullptr, stopped.callback([](const WalkVisit& v) {
        return v.name == "alpha" ? WalkStep::Stop : WalkStep::Continue;
    })));
    EXPECT_EQ(stopped.steps.back(), "+C:\\T\\alpha");
}

TEST_F(PosixFileSystemTest, AWalkLeavesOutOtherFileSystems)
{
    struct stat root {
    }, proc{};
    ASSERT_EQ(::stat("/", &root), 0);
    ASSERT_EQ(::stat("/proc", &proc), 0);
    const PosixFileSystem host("c:=/");
    WalkLog log;
    host.openFolder("C:\\")->walk("C:\\", nullptr, log.callback([](const WalkVisit& v) {
        return v.parent ? WalkStep::Prune : WalkStep::Continue;
    }));
    const auto entered = [&](const char* p) {
        return std::find(log.steps.begin(), log.steps.end(), p) != log.steps.end();
    };
    EXPECT_EQ(entered("+C:\\proc"), root.st_dev == proc.st_dev);
    EXPECT_FALSE(entered("?C:\\proc")) << "another mount is left out, not unreadable";
    EXPECT_TRUE(entered("+C:\\etc"));
    // Walked from its own mount point, a file system's folders are walked as usual, links aside.
    WalkLog inProc;
    host.openFolder("C:\\PROC")->walk("C:\\PROC", nullptr, inProc.callback([](const WalkVisit& v) {
        return v.parent ? WalkStep::Prune : WalkStep::Continue;
    }));
    EXPECT_GT(inProc.steps.size(), 2u);
    EXPECT_EQ(std::find(inProc.steps.begin(), inProc.steps.end(), "+C:\\PROC\\self"), inProc.steps.end());
}

// The walk tells of the folder it could not read, once, and goes on; a folder that went away
// after it was listed is no such folder.
TEST_F(PosixFileSystemTest, AWalkGoesPastAFolderItCannotRead)
{
    if (const auto why = testsupport::plainUserMissing()) GTEST_SKIP() << *why;
    c.write("top/a/1.tmp");
    c.mkdir("top/gone");
    c.write("top/locked/2.tmp");
    c.write("top/locked/inner/3.tmp");
    c.write("top/z/4.tmp");
    testsupport::openTreeToEveryone(c.path());
    fs::permissions(c.path() / "top/locked", fs::perms::owner_write | fs::perms::owner_exec);

    const std::string drives = driveMap();
    const fs::path gone = c.path() / "top/gone";
    const int failed = runUnprivileged([&drives, &gone] {
        const PosixFileSystem child(drives);
        if (!child.driveReady('c')) return 99;
        const MaskList mask("*.tmp");
        WalkLog log;
        std::string unreadName;
        child.openFolder("C:\\TOP")->walk("C:\\TOP", &mask, log.callback([&](const WalkVisit& v) {
            if (v.kind == WalkVisit::Kind::Enter && v.name == "a") fs::remove(gone);
            if (v.kind == WalkVisit::Kind::Unreadable && v.parent == &v.folder) unreadName = v.name;
            return WalkStep::Continue;
        }));
        if (log.files != std::vector<std::string>{"C:\\TOP\\a\\1.tmp", "C:\\TOP\\z\\4.tmp"}) return 1;
        if (unreadName != "locked") return 2;
        return log.steps == std::vector<std::string>{"+C:\\TOP",    "+C:\\TOP\\a", "-C:\\TOP\\a", "?C:\\TOP\\locked",
                                                     "+C:\\TOP\\z", "-C:\\TOP\\z", "-C:\\TOP"}
                   ? 0
                   : 3;
    });
    EXPECT_EQ(failed, 0) << "99: unreachable";
}

// A mount made for one test and always taken down again, even when the test fails.
class ScopedMount {
public:
    ScopedMount(const char* source, const fs::path& onto, const char* type, unsigned long flags, const char* data)
        : m_onto(onto)
    {
        m_mounted = ::mount(source, onto.c_str(), type, flags, data) == 0;
        if (!m_mounted) m_error = std::strerror(errno);
    }
    ~ScopedMount()
    {
        if (m_mounted) ::umount2(m_onto.c_str(), MNT_DETACH);
    }
    ScopedMount(const ScopedMount&) = delete;
    ScopedMount& operator=(const ScopedMount&) = delete;
    explicit operator bool() const { return m_mounted; }
    const std::string& error() const { return m_error; }

private:
    fs::path m_onto;
    bool m_mounted = false;
    std::string m_error;
};

struct BindMount : ScopedMount {
    BindMount(const fs::path& from, const fs::path& onto) : ScopedMount(from.c_str(), onto, nullptr, MS_BIND, nullptr)
    {}
};

// Who the host folder `p` is, as an opened Folder tells it.
FolderId hostFolderId(const fs::path& p)
{
    const auto folder = PosixFileSystem("c:=" + p.string()).openFolder("C:\\");
    return folder ? folder->id() : FolderId{};
}

TEST_F(PosixFileSystemTest, HostNamesThatReadAsPathsAreOneEntryEach)
{
    // Each would read as a path, a wildcard or two lines if it were not mapped; the last
    // holds the very character a backslash maps to, yet must list apart from x\y.tmp.
    const std::vector<std::string> hostNames = {
        "\\", "..\\Important", "..\\Important\\keep.tmp", "x\\y.tmp", "*.tmp", "a?b.tmp", "a:b.tmp", "new\nline.tmp",
        "\"", "<>|.tmp",       "x\xEF\x81\x9Cy.tmp"};
    for (std::size_t i = 0; i < hostNames.size(); ++i) c.write("t/" + hostNames[i], std::string(i + 1, 'x'));
    c.write("Important/keep.tmp", "keep");
    c.write("t/x/y.tmp", "inner");
    c.write("t/p\\q/mapped.txt");
    c.write("t/p/q/nested.txt");

    const auto t = vfs.openFolder("C:\\t");
    ASSERT_TRUE(t);
    const auto listed = t->listFiles();
    ASSERT_TRUE(listed);
    EXPECT_EQ(listed->size(), hostNames.size());
    for (std::size_t i = 0; i < hostNames.size(); ++i) {
        SCOPED_TRACE(hostNames[i]);
        const std::string name = posixhost::toProgramName(hostNames[i]);
        const DirEntry* entry = find(listed, name);
        ASSERT_TRUE(entry);
        EXPECT_EQ(name.find_first_of("\\/:*?\"<>|\n"), std::string::npos);
        const auto size = static_cast<std::int64_t>(i + 1);
        EXPECT_EQ(entry->size, size);
        EXPECT_EQ(t->size(name), size);
        EXPECT_EQ(t->attributes(name), entry->attributes);
        // The listed name joined to its folder is a path to that entry and nothing else.
        const std::string p = path::join("C:\\t", name);
        EXPECT_EQ(vfs.fileSize(p), size);
        EXPECT_EQ(vfs.readFile(p), std::string(i + 1, 'x'));
        EXPECT_EQ(vfs.attributes(p), entry->attributes);
        EXPECT_EQ(vfs.hostPath(p), (c.path() / "t" / hostNames[i]).string());
        EXPECT_FALSE(vfs.openFolder(p));
    }

    // So is a folder's: "p\q" is not "q" inside "p".
    const auto byPath = vfs.openFolder(path::join("C:\\t", posixhost::toProgramName("p\\q")));
    const auto byName = t->openSubfolder(posixhost::toProgramName("p\\q"));
    ASSERT_TRUE(byPath && byName);
    EXPECT_EQ(byPath->id(), byName->id());
    EXPECT_EQ(names(byPath->listFiles()), std::vector<std::string>{"mapped.txt"});

    EXPECT_EQ(t->attributes(posixhost::toProgramName("x\\y.tmp")), attr::Archive);
    EXPECT_EQ(t->attributes(posixhost::toProgramName("..\\Important")), attr::Hidden | attr::Archive);

    // Masks match names as the user sees them.
    const MaskList tmp("*.tmp");
    ListOptions masked;
    masked.mask = &tmp;
    std::vector<std::string> expected;
    for (const std::string& h : hostNames)
        if (h.ends_with(".tmp")) expected.push_back(posixhost::toProgramName(h));
    auto got = names(t->listFiles(masked));
    std::sort(expected.begin(), expected.end());
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, expected);
    const MaskList oneCharacter("a?b.tmp");
    masked.mask = &oneCharacter;
    EXPECT_EQ(names(t->listFiles(masked)).size(), 2u); // "a?b.tmp" and "a:b.tmp"

    for (const std::string& h : hostNames) {
        if (!h.ends_with(".tmp")) {
            EXPECT_TRUE(t->remove(posixhost::toProgramName(h))) << h;
        }
    }
    EXPECT_EQ(t->removeMatching(tmp), static_cast<int>(expected.size()));
    EXPECT_EQ(names(t->listFiles()), std::vector<std::string>{});
    EXPECT_EQ(testsupport::readHostFile(c.path() / "Important/keep.tmp"), "keep");
    EXPECT_EQ(testsupport::readHostFile(c.path() / "t/x/y.tmp"), "inner");
}

TEST_F(PosixFileSystemTest, AFolderNamedLikeItsParentIsWalkedAsOneFolder)
{
    c.write("top.tmp");
    c.write("t/..\\/in.tmp");
    c.write("t/..\\/sub/deep.tmp");
    c.write("t/.\\/dot.tmp");
    const std::string up = posixhost::toProgramName("..\\");
    const std::string here = posixhost::toProgramName(".\\");

    EXPECT_EQ(names(vfs.listFolders("C:\\t")), (std::vector<std::string>{up, here}));
    const auto t = vfs.openFolder("C:\\t");
    ASSERT_TRUE(t);
    const auto sub = t->openSubfolder(up);
    ASSERT_TRUE(sub);
    const auto byPath = vfs.openFolder(path::join("C:\\t", up));
    ASSERT_TRUE(byPath);
    EXPECT_EQ(byPath->id(), sub->id());
    EXPECT_NE(byPath->id(), vfs.openFolder("C:\\")->id());
    EXPECT_EQ(names(byPath->listFiles()), std::vector<std::string>{"in.tmp"});
    EXPECT_EQ(vfs.absolute(path::join("C:\\t", up)), "C:\\t\\" + up);

    const MaskList mask("*.tmp");
    WalkLog log;
    const auto root = vfs.openFolder("C:\\");
    ASSERT_TRUE(root->walk("C:\\", &mask, log.callback([&log](const WalkVisit&) {
        return log.steps.size() > 100 ? WalkStep::Stop : WalkStep::Continue; // a loop must not hang the test
    })));
    const std::string upPath = "C:\\t\\" + up;
    EXPECT_EQ(log.steps,
              (std::vector<std::string>{"+C:\\", "+C:\\t", "+" + upPath, "+" + upPath + "\\sub", "-" + upPath + "\\sub",
                                        "-" + upPath, "+C:\\t\\" + here, "-C:\\t\\" + here, "-C:\\t", "-C:\\"}));
    EXPECT_EQ(log.files, (std::vector<std::string>{upPath + "\\sub\\deep.tmp", upPath + "\\in.tmp",
                                                   "C:\\t\\" + here + "\\dot.tmp", "C:\\top.tmp"}));
}

TEST_F(PosixFileSystemTest, AListedNameThatVanishedIsNeverTakenForAnotherCase)
{
    c.write("e/a.tmp", "1");
    c.write("e/A.TMP", "22");
    c.mkdir("e/d");
    c.mkdir("e/D");
    const auto e = vfs.openFolder("C:\\e");
    ASSERT_TRUE(e);
    EXPECT_EQ(names(e->listFiles()).size(), 2u);
    fs::remove(c.path() / "e/a.tmp");
    fs::remove(c.path() / "e/d");

    EXPECT_FALSE(e->remove("a.tmp"));
    EXPECT_FALSE(e->size("a.tmp"));
    EXPECT_FALSE(e->attributes("a.tmp"));
    EXPECT_FALSE(e->modificationTime("a.tmp"));
    EXPECT_FALSE(e->setAttributes("a.tmp", attr::ReadOnly));
    EXPECT_FALSE(e->removeFolder("d"));
    EXPECT_FALSE(e->openSubfolder("d"));
    EXPECT_EQ(testsupport::readHostFile(c.path() / "e/A.TMP"), "22");
    EXPECT_EQ(modeOf(c.path() / "e/A.TMP") & S_IWUSR, S_IWUSR);
    EXPECT_TRUE(c.exists("e/D"));
    EXPECT_EQ(e->size("A.TMP"), 2);
}

TEST_F(PosixFileSystemTest, AFolderReachedThroughALinkIsWorkedOnAsTheFolderItIs)
{
    const TempDir elsewhere;
    elsewhere.write("x.tmp", "12");
    elsewhere.write("Sub/y.tmp");
    elsewhere.write("keep.txt");
    fs::create_directory_symlink(elsewhere.path(), c.path() / "home");

    const auto home = vfs.openFolder("C:\\home");
    ASSERT_TRUE(home);
    EXPECT_EQ(home->id(), hostFolderId(elsewhere.path()));
    EXPECT_EQ(names(home->listFiles()), (std::vector<std::string>{"keep.txt", "x.tmp"}));
    EXPECT_EQ(home->size("x.tmp"), 2);
    EXPECT_TRUE(home->remove("x.tmp"));
    EXPECT_FALSE(elsewhere.exists("x.tmp"));
    const auto sub = vfs.openFolder("C:\\HOME\\sub");
    ASSERT_TRUE(sub);
    EXPECT_EQ(sub->removeMatching(MaskList("*.tmp")), 1);
    EXPECT_FALSE(elsewhere.exists("Sub/y.tmp"));
    EXPECT_TRUE(vfs.openListed({"C:\\home", home->id()}));
    EXPECT_TRUE(fs::is_symlink(c.path() / "home"));
    EXPECT_TRUE(elsewhere.exists("keep.txt"));
}

TEST_F(PosixFileSystemTest, ABindMountBelowTheDriveIsNeitherOpenedAsASubfolderNorWalked)
{
    c.write("t/real/r.tmp");
    c.write("t/real/sub/s.tmp");
    c.mkdir("t/mnt");
    c.mkdir("t/mnt2");
    c.mkdir("t/loop");
    d.write("outside/o.tmp");
    const BindMount same(c.path() / "t/real", c.path() / "t/mnt");
    if (!same) GTEST_SKIP() << "cannot bind-mount here: " << same.error();
    const BindMount other(d.path() / "outside", c.path() / "t/mnt2");
    const BindMount loop(c.path(), c.path() / "t/loop");
    ASSERT_TRUE(other && loop);
    struct stat top {
    }, mounted{};
    ASSERT_EQ(::stat((c.path() / "t").c_str(), &top), 0);
    ASSERT_EQ(::stat((c.path() / "t/mnt").c_str(), &mounted), 0);
    ASSERT_EQ(top.st_dev, mounted.st_dev); // a bind mount keeps the device number

    const auto t = vfs.openFolder("C:\\t");
    ASSERT_TRUE(t);
    for (const char* name : {"mnt", "mnt2", "loop"}) {
        EXPECT_FALSE(t->openSubfolder(name)) << name;
        EXPECT_FALSE(t->openSubfolder(text::toUpper(name), NameMatch::AnyCase)) << name;
    }
    const auto real = t->openSubfolder("real");
    ASSERT_TRUE(real);

    const MaskList mask("*.tmp");
    WalkLog log;
    EXPECT_TRUE(vfs.openFolder("C:\\")->walk("C:\\", &mask, log.callback()));
    EXPECT_EQ(log.files, (std::vector<std::string>{"C:\\t\\real\\sub\\s.tmp", "C:\\t\\real\\r.tmp"}));
    EXPECT_EQ(log.steps.size(), 8u); // C:, t, real, sub; each entered and left

    // Opened by its path, a mount point is the folder the user asked for.
    const auto mnt = vfs.openFolder("C:\\t\\mnt");
    ASSERT_TRUE(mnt);
    EXPECT_EQ(mnt->id().inode, real->id().inode);
    EXPECT_NE(mnt->id(), real->id());
    EXPECT_TRUE(mnt->openSubfolder("sub"));
    WalkLog inside;
    EXPECT_TRUE(mnt->walk("C:\\t\\mnt", &mask, inside.callback()));
    EXPECT_EQ(inside.files, (std::vector<std::string>{"C:\\t\\mnt\\sub\\s.tmp", "C:\\t\\mnt\\r.tmp"}));
    EXPECT_EQ(names(vfs.listFiles("C:\\t\\mnt2")), std::vector<std::string>{"o.tmp"});
    EXPECT_FALSE(t->removeFolder("mnt"));
}

// What a walk reached that it must not have: a folder of `outside`, a file named "secret*",
// or the folder `sibling` under any other path than its own (through a link).
struct Trespass {
    std::vector<FolderId> outsideIds;
    FolderId sibling;
    std::string siblingPath;
    std::vector<std::string> reached;
    WalkCallback watch(const std::function<void(const WalkVisit&)>& during)
    {
        return [this, during](const WalkVisit& v) {
            if (std::find(outsideIds.begin(), outsideIds.end(), v.folder.id()) != outsideIds.end() ||
                (v.folder.id() == sibling && v.path != siblingPath))
                reached.push_back("entered " + v.path);
            if (v.files)
                for (const DirEntry& f : *v.files)
                    if (f.name.starts_with("secret")) reached.push_back(path::join(v.path, f.name));
            if (during) during(v);
            return reached.size() > 50 ? WalkStep::Stop : WalkStep::Continue;
        };
    }
};

TEST_F(PosixFileSystemTest, AFolderSwappedAfterItWasListedNeverLetsTheWalkOut)
{
    const TempDir outside;
    outside.write("secret.tmp");
    outside.write("inner/secret2.tmp");
    Trespass trespass;
    trespass.outsideIds = {hostFolderId(outside.path()), hostFolderId(outside.path() / "inner")};
    const MaskList mask("*.tmp");
    const fs::path t = c.path() / "t";
    // Links out of the drive, by an absolute and by a relative target, and to a sibling.
    const std::vector<std::pair<std::string, fs::path>> links = {
        {"b", fs::relative(outside.path(), t)}, {"c", outside.path()}, {"d", "a"}};

    // Swapped for a link while a sibling is being entered.
    for (int round = 0; round < 200 && !HasFailure(); ++round) {
        for (const char* f : {"a/a.tmp", "b/b.tmp", "c/c.tmp", "d/d.tmp"}) c.write(std::string("t/") + f);
        std::vector<std::string> files;
        vfs.openFolder("C:\\t")->walk("C:\\t", &mask, trespass.watch([&](const WalkVisit& v) {
            if (v.kind == WalkVisit::Kind::Enter && v.name == "a") {
                for (const auto& [name, target] : links) {
                    fs::rename(t / name, t / (name + ".old"));
                    fs::create_directory_symlink(target, t / name);
                }
            }
            if (v.files)
                for (const DirEntry& f : *v.files) files.push_back(f.name);
        }));
        EXPECT_EQ(files, std::vector<std::string>{"a.tmp"});
        fs::remove_all(t);
    }

    EXPECT_EQ(trespass.reached, std::vector<std::string>{});
}

TEST_F(PosixFileSystemTest, AFolderSwappedForAnotherRealFolderAfterItWasListedKeepsTheWalkOnTheDrive)
{
    const TempDir outside;
    outside.write("secret.tmp");
    outside.write("inner/secret2.tmp");
    Trespass trespass;
    trespass.outsideIds = {hostFolderId(outside.path()), hostFolderId(outside.path() / "inner")};
    const fs::path t = c.path() / "t";
    c.write("t/a/a.tmp");
    c.write("t/b/b.tmp");
    c.write("t/c/c.tmp");
    c.write("moved/m.tmp");
    fs::create_directory_symlink(fs::relative(outside.path(), c.path() / "moved"), c.path() / "moved/esc");
    {
        const BindMount probe(outside.path(), t / "c");
        if (!probe) GTEST_SKIP() << "cannot bind-mount here: " << probe.error();
    }

    // While "a" is entered, "b" is replaced by a folder moved in from elsewhere on the drive
    // (holding a link out) and "c" has a folder from outside mounted over it.
    std::optional<BindMount> mounted;
    const MaskList mask("*.tmp");
    WalkLog log;
    vfs.openFolder("C:\\t")->walk("C:\\t", &mask, log.callback(trespass.watch([&](const WalkVisit& v) {
        if (v.kind == WalkVisit::Kind::Enter && v.name == "a") {
            fs::rename(t / "b", c.path() / "b.old");
            fs::rename(c.path() / "moved", t / "b");
            mounted.emplace(outside.path(), t / "c");
        }
    })));
    ASSERT_TRUE(mounted && *mounted);
    EXPECT_EQ(log.files, (std::vector<std::string>{"C:\\t\\a\\a.tmp", "C:\\t\\b\\m.tmp"}));
    EXPECT_EQ(trespass.reached, std::vector<std::string>{});
}

TEST_F(PosixFileSystemTest, AFolderSwappedForALinkWhileWalksRunNeverLetsThemOut)
{
    const TempDir outside;
    outside.write("secret.tmp");
    outside.write("inner/secret2.tmp");
    Trespass trespass;
    trespass.outsideIds = {hostFolderId(outside.path()), hostFolderId(outside.path() / "inner")};
    c.write("t/a/a.tmp");
    c.write("t/b/b.tmp");
    c.write("t/b/deeper/d.tmp");
    c.write("t/c/c.tmp");
    trespass.sibling = hostFolderId(c.path() / "t/a");
    trespass.siblingPath = "C:\\t\\a";
    fs::create_directory_symlink(fs::relative(outside.path(), c.path() / "t"), c.path() / "t/out");
    fs::create_directory_symlink("a", c.path() / "t/in");

    // Another thread exchanges folders and links as fast as it can.
    std::atomic<bool> done{false};
    std::atomic<long> swaps{0};
    const std::string dir = (c.path() / "t").string();
    std::thread swapper([&] {
        const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        while (!done.load()) {
            if (::renameat2(fd, "b", fd, "out", RENAME_EXCHANGE) == 0) ++swaps;
            if (::renameat2(fd, "c", fd, "in", RENAME_EXCHANGE) == 0) ++swaps;
        }
        ::close(fd);
    });
    const MaskList mask("*.tmp");
    const auto t = vfs.openFolder("C:\\t");
    for (int round = 0; round < 2000 && trespass.reached.empty(); ++round) t->walk("C:\\t", &mask, trespass.watch({}));
    done = true;
    swapper.join();
    EXPECT_GT(swaps.load(), 0);
    EXPECT_EQ(trespass.reached, std::vector<std::string>{});
}

// Builds `levels` nested folders named "d" below `top`, one level at a time relative to the
// one above (the whole path can be far longer than the host takes), with "f.tmp" at the
// bottom; each level's name goes to `chainNames` when given.
bool buildChain(const fs::path& top, std::size_t levels, std::vector<std::string>* chainNames = nullptr)
{
    int dir = ::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (std::size_t i = 0; i < levels && dir >= 0; ++i) {
        if (::mkdirat(dir, "d", 0755) != 0) {
            ::close(dir);
            return false;
        }
        if (chainNames) chainNames->emplace_back("d");
        const int next = ::openat(dir, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(dir);
        dir = next;
    }
    if (dir < 0) return false;
    const int file = ::openat(dir, "f.tmp", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ::close(dir);
    if (file < 0) return false;
    ::close(file);
    return true;
}

std::size_t openDescriptors()
{
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

TEST_F(PosixFileSystemTest, AWalkThreeThousandLevelsDeepReachesTheBottomAndRemovesTheTreeBottomUp)
{
    constexpr std::size_t levels = 3000;
    DeepChain chain(c.path());
    ASSERT_TRUE(buildChain(c.path(), levels, &chain.names));
    const MaskList mask("*.tmp");
    const std::size_t before = openDescriptors();

    std::vector<FolderId> open;
    std::vector<std::string> files;
    std::size_t enters = 0, visits = 0, mismatched = 0, mostDescriptors = 0;
    const bool finished = vfs.openFolder("C:\\")->walk("C:\\", &mask, [&](const WalkVisit& v) {
        if (++visits % 50 == 0) mostDescriptors = std::max(mostDescriptors, openDescriptors());
        if (v.kind == WalkVisit::Kind::Enter) {
            ++enters;
            open.push_back(v.folder.id());
            return WalkStep::Continue;
        }
        if (open.empty() || !(open.back() == v.folder.id()) || (v.parent == nullptr) != (open.size() == 1))
            ++mismatched;
        if (!open.empty()) open.pop_back();
        for (const DirEntry& f : *v.files) files.push_back(path::join(v.path, f.name));
        return WalkStep::Continue;
    });
    EXPECT_TRUE(finished);
    EXPECT_EQ(enters, levels + 1);
    EXPECT_TRUE(open.empty()) << open.size() << " folders never left";
    EXPECT_EQ(mismatched, 0u);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(static_cast<std::size_t>(std::count(files[0].begin(), files[0].end(), '\\')), levels + 1);
    EXPECT_TRUE(files[0].ends_with("\\d\\f.tmp"));
    EXPECT_LT(mostDescriptors, before + 100) << "the walk holds a descriptor per level";

    std::size_t failures = 0;
    EXPECT_TRUE(vfs.openFolder("C:\\")->walk("C:\\", &mask, [&](const WalkVisit& v) {
        if (v.kind == WalkVisit::Kind::Leave) {
            for (const DirEntry& f : *v.files) failures += v.folder.remove(f.name) ? 0 : 1;
            if (v.parent) failures += v.parent->removeFolder(v.name) ? 0 : 1;
        }
        return WalkStep::Continue;
    }));
    EXPECT_EQ(failures, 0u);
    EXPECT_EQ(names(vfs.listEntries("C:\\")), std::vector<std::string>{});
}

TEST_F(PosixFileSystemTest, AWalkGoesOnSafelyWhenAFolderFarAboveItIsMoved)
{
    constexpr std::size_t levels = 150, moved = 100, renamedToo = 80;
    const auto host = [this](std::size_t depth) {
        fs::path p = c.path();
        for (std::size_t i = 0; i < depth; ++i) p /= "d";
        return p;
    };
    std::string belowMoved; // the folder above the moved one, relative to C:
    for (std::size_t i = 0; i + 1 < moved; ++i) belowMoved += "d/";
    // How the chain changes at the walk's deepest Leave.
    enum class Change { RenamedInPlace, MovedOffTheDrive, MovedOffAndAboveRenamed };
    const std::pair<Change, const char*> changes[] = {
        {Change::RenamedInPlace, "renamed in place"},
        {Change::MovedOffTheDrive, "moved off the drive"},
        {Change::MovedOffAndAboveRenamed, "moved off the drive, and a folder above it renamed"}};
    for (const auto& entry : changes) {
        const Change change = entry.first; // a plain variable: lambdas capture it everywhere
        SCOPED_TRACE(entry.second);
        fs::remove_all(c.path() / "d");
        fs::remove_all(d.path() / "dst");
        ASSERT_TRUE(buildChain(c.path(), levels)); // shallow enough for the usual cleanup
        c.write(belowMoved + "z/inside.tmp");
        // What the walk would reach if it took the moved folder's new parent for its old one.
        d.write("dst/OUTSIDE.tmp");
        d.write("dst/z/OUTSIDE.tmp");

        const MaskList mask("*.tmp");
        const bool lossExpected = change == Change::MovedOffAndAboveRenamed;
        std::vector<FolderId> open; // the folders entered and not yet left
        std::vector<std::string> files, faults;
        bool changed = false;
        const std::size_t descriptorsBefore = openDescriptors();
        std::size_t mostDescriptors = 0;
        const bool finished = vfs.openFolder("C:\\")->walk("C:\\", &mask, [&](const WalkVisit& v) {
            if (v.kind == WalkVisit::Kind::Enter) {
                open.push_back(v.folder.id());
                return faults.size() > 20 ? WalkStep::Stop : WalkStep::Continue;
            }
            const std::string at = " at depth " + std::to_string(open.empty() ? 0 : open.size() - 1);
            if (v.name.empty() != (v.parent == nullptr)) faults.push_back("Leave without its parent" + at);
            // Folders below one renamed away cannot be got back to: their Leaves may be missing.
            const auto it = std::find(open.rbegin(), open.rend(), v.folder.id());
            if (it == open.rend()) {
                faults.push_back("Leave of a folder never entered" + at);
            } else {
                if (it != open.rbegin() && !lossExpected) faults.push_back("Leave skipped" + at);
                open.erase(std::prev(it.base()), open.end());
            }
            for (const DirEntry& f : *v.files) files.push_back(f.name);
            mostDescriptors = std::max(mostDescriptors, openDescriptors());
            if (!changed && open.size() == levels) {
                changed = true;
                if (change == Change::RenamedInPlace) {
                    fs::rename(host(moved), host(moved - 1) / "r");
                } else {
                    fs::rename(host(moved), d.path() / "dst/d");
                    if (change == Change::MovedOffAndAboveRenamed)
                        fs::rename(host(renamedToo), host(renamedToo - 1) / "e");
                }
            }
            return WalkStep::Continue;
        });
        EXPECT_TRUE(changed);
        EXPECT_TRUE(finished);
        EXPECT_EQ(faults, std::vector<std::string>{});
        // Taking the chain back from above keeps no more folders open than the walk does.
        EXPECT_LT(mostDescriptors, descriptorsBefore + 80);
        EXPECT_EQ(std::count(files.begin(), files.end(), "OUTSIDE.tmp"), 0);
        EXPECT_EQ(std::count(files.begin(), files.end(), "f.tmp"), 1);
        EXPECT_TRUE(open.empty()); // the root was left
        if (!lossExpected) {
            // Nothing it needs was lost: it goes on with the folders after the moved one.
            EXPECT_EQ(std::count(files.begin(), files.end(), "inside.tmp"), 1);
        }
    }
}

// Runs `check` in a child process that an alarm ends after `seconds`; its exit code, or 200
// when the alarm (or anything else) killed it.
template <class Check> int runWithAlarm(unsigned seconds, Check check)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(seconds);
        ::_exit(check());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 200;
}

TEST_F(PosixFileSystemTest, AFifoIsNeverListedNorOpenedSoNothingWaitsOnIt)
{
    ASSERT_EQ(::mkfifo((c.path() / "comp.gif").c_str(), 0644), 0);
    fs::create_symlink(c.path() / "comp.gif", c.path() / "link.gif");
    fs::create_symlink("/dev/zero", c.path() / "zero.gif"); // endless, were it read
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string sockPath = (c.path() / "sock.gif").string();
    ASSERT_LT(sockPath.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, sockPath.c_str(), sockPath.size() + 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    c.write("real.gif", "GIF89a");
    c.write("sub/x.gif");

    const std::string drives = driveMap();
    const int failed = runWithAlarm(3, [&drives] {
        PosixFileSystem child(drives);
        int bad = 0;
        for (const char* from : {"C:\\comp.gif", "C:\\link.gif", "C:\\zero.gif", "C:\\sock.gif"}) {
            if (child.copyFile(from, "C:\\copy.gif")) bad |= 1;
        }
        if (child.readFile("C:\\comp.gif") || child.readFile("C:\\LINK.GIF") || child.readFile("C:\\zero.gif") ||
            child.readFile("C:\\sock.gif"))
            bad |= 2;
        if (child.appendFile("C:\\comp.gif", "x") || child.appendFile("C:\\COMP.GIF", "x") ||
            child.appendFile("C:\\link.gif", "x"))
            bad |= 4;
        if (names(child.listFiles("C:\\")) != std::vector<std::string>{"real.gif"} ||
            names(child.listEntries("C:\\")) != std::vector<std::string>{"real.gif", "sub"})
            bad |= 8;
        const MaskList gif("*.gif");
        WalkLog log;
        child.openFolder("C:\\")->walk("C:\\", &gif, log.callback());
        if (log.files != std::vector<std::string>{"C:\\sub\\x.gif", "C:\\real.gif"}) bad |= 16;
        const auto root = child.openFolder("C:\\");
        if (root->remove("comp.gif") || root->removeMatching(gif) != 1) bad |= 32;
        return bad;
    });
    EXPECT_EQ(failed, 0) << "bits: 1 copy, 2 read, 4 append, 8 listed, 16 walked, 32 removed; 200 hung";
    struct stat st {};
    EXPECT_TRUE(::lstat((c.path() / "comp.gif").c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
    EXPECT_EQ(names(vfs.listEntries("C:\\")), (std::vector<std::string>{"sub"})); // no copy left behind
    ::close(sock);
}

TEST_F(PosixFileSystemTest, AListedFolderIsOpenedOnlyWhileItsPathLeadsToIt)
{
    c.mkdir("L/a:b");
    c.write("L/other/o.tmp");
    c.mkdir("L/Dir");
    c.mkdir("L/dir");
    const auto l = vfs.openFolder("C:\\L");
    ASSERT_TRUE(l);
    std::vector<ListedFolder> listed;
    const auto folders = l->listFolders();
    ASSERT_TRUE(folders);
    for (const DirEntry& e : *folders) {
        const auto sub = l->openSubfolder(e.name);
        ASSERT_TRUE(sub) << e.name;
        listed.push_back({path::join("C:\\L", e.name), sub->id()});
        EXPECT_TRUE(vfs.openListed(listed.back())) << e.name;
    }
    ASSERT_EQ(listed.size(), 4u);
    const ListedFolder& mapped = listed[0]; // "a:b" sorts first
    ASSERT_EQ(mapped.path, "C:\\L\\" + posixhost::toProgramName("a:b"));

    fs::rename(c.path() / "L/a:b", c.path() / "L/moved");
    fs::create_directory_symlink(c.path() / "L/other", c.path() / "L/a:b");
    EXPECT_FALSE(vfs.openListed(mapped));
    fs::remove(c.path() / "L/a:b");
    fs::create_directory_symlink(c.path() / "L/moved", c.path() / "L/a:b");
    EXPECT_TRUE(vfs.openListed(mapped)); // a link to that very folder leads to it
    fs::remove(c.path() / "L/a:b");
    fs::create_directory(c.path() / "L/a:b");
    EXPECT_FALSE(vfs.openListed(mapped));

    // A folder that differs only in case is another folder.
    const auto upper =
        std::find_if(listed.begin(), listed.end(), [](const ListedFolder& f) { return f.path == "C:\\L\\Dir"; });
    ASSERT_NE(upper, listed.end());
    fs::remove(c.path() / "L/Dir");
    EXPECT_FALSE(vfs.openListed(*upper));
    EXPECT_TRUE(vfs.openListed({"C:\\L\\dir", hostFolderId(c.path() / "L/dir")}));
}

// Makes openat2 answer ENOSYS in this process from now on, as older kernels and some
// sandboxes do; false when that cannot be arranged.
bool withoutOpenat2()
{
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, static_cast<std::uint32_t>(offsetof(seccomp_data, nr))),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_openat2, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

TEST_F(PosixFileSystemTest, WithoutOpenat2LinksAndBindMountsAreStillRefused)
{
    c.write("t/a/a.tmp");
    c.write("t/b/b.tmp");
    c.mkdir("t/mnt");
    c.mkdir("t/mnt2");
    d.write("outside/secret.tmp");
    fs::create_directory_symlink("a", c.path() / "t/link");
    fs::create_directory_symlink(fs::relative(d.path() / "outside", c.path() / "t"), c.path() / "t/out");
    const BindMount same(c.path() / "t/a", c.path() / "t/mnt");
    if (!same) GTEST_SKIP() << "cannot bind-mount here: " << same.error();
    const BindMount other(d.path() / "outside", c.path() / "t/mnt2");
    ASSERT_TRUE(other);

    const std::string drives = driveMap();
    const fs::path t = c.path() / "t";
    const int failed = runWithAlarm(5, [&drives, &t] {
        if (!withoutOpenat2()) return 99;
        const PosixFileSystem child(drives);
        const auto folder = child.openFolder("C:\\t");
        if (!folder) return 98;
        int bad = 0;
        for (const char* name : {"mnt", "mnt2", "link", "out"}) {
            if (folder->openSubfolder(name)) bad |= 1;
        }
        if (!folder->openSubfolder("a")) bad |= 2;
        // "b" becomes a link out of the drive after it was listed.
        const MaskList mask("*.tmp");
        WalkLog log;
        folder->walk("C:\\t", &mask, log.callback([&t](const WalkVisit& v) {
            if (v.kind == WalkVisit::Kind::Enter && v.name == "a") {
                std::error_code ec;
                fs::rename(t / "b", t / "b.old", ec);
                fs::create_directory_symlink("b.old", t / "b", ec);
            }
            return WalkStep::Continue;
        }));
        if (log.files != std::vector<std::string>{"C:\\t\\a\\a.tmp"}) bad |= 4;
        return bad;
    });
    if (failed == 99) GTEST_SKIP() << "openat2 cannot be filtered here";
    EXPECT_EQ(failed, 0) << "bits: 1 link or mount opened, 2 real folder refused, 4 walked into a link; 200 killed";
}

// VELMORA_DRIVES as a test sets it, put back when the test ends.
class DrivesVariable {
public:
    explicit DrivesVariable(const char* value)
    {
        if (const char* old = std::getenv("VELMORA_DRIVES")) m_old = old;
        if (value)
            ::setenv("VELMORA_DRIVES", value, 1);
        else
            ::unsetenv("VELMORA_DRIVES");
    }
    ~DrivesVariable()
    {
        if (m_old)
            ::setenv("VELMORA_DRIVES", m_old->c_str(), 1);
        else
            ::unsetenv("VELMORA_DRIVES");
    }
    DrivesVariable(const DrivesVariable&) = delete;
    DrivesVariable& operator=(const DrivesVariable&) = delete;

private:
    std::optional<std::string> m_old;
};

std::vector<std::string> boxTexts(const std::vector<PosixFileSystem::Drive>& drives)
{
    std::vector<std::string> out;
    for (const auto& d : drives)
        out.push_back(std::string(1, d.letter) + ": [" + d.folder + "]" + (d.volume ? " mount" : ""));
    return out;
}

TEST_F(PosixFileSystemTest, TheMachinesWindowsVolumesGetTheLettersFromDOnInTheKernelsOrder)
{
    const std::string table =
        c.write("mountinfo", "27 1 254:0 / / rw - ext4 /dev/vda rw\n"
                             "28 27 8:1 / /boot/efi rw - vfat /dev/sda1 rw\n"
                             "29 27 0:5 / /tmp rw - tmpfs tmpfs rw\n"
                             "30 27 8:3 / /mnt/windows rw - ntfs3 /dev/sda3 rw\n"
                             "31 27 0:45 / /mnt/net rw - fuse.sshfs anna@host: rw\n"
                             "32 27 8:17 / /media/anna/MY\\040STICK rw shared:9 - exfat /dev/sdb1 rw\n"
                             "33 27 8:4 / /mnt/old/ rw - fuseblk /dev/sda4 rw\n"
                             "34 27 8:3 / /mnt/windows rw - ntfs3 /dev/sda3 rw\n"
                             "35 27 8:5 / / rw - vfat /dev/sda5 rw\n"
                             "36 33 8:6 / /mnt/old rw - vfat /dev/sda6 rw\n")
            .string();
    // udev's names of volumes by UUID: links to device nodes.
    const std::string byUuid = c.mkdir("by-uuid").string();
    ASSERT_EQ(::mknod((c.path() / "sda3").c_str(), S_IFBLK | 0600, makedev(8, 3)), 0) << std::strerror(errno);
    ASSERT_EQ(::mknod((c.path() / "sda9").c_str(), S_IFBLK | 0600, makedev(8, 9)), 0) << std::strerror(errno);
    fs::create_symlink("../sda9", c.path() / "by-uuid/0000-0009");
    fs::create_symlink("../sda3", c.path() / "by-uuid/01D9F00DCAFE");
    {
        const DrivesVariable unset(nullptr);
        EXPECT_EQ(boxTexts(PosixFileSystem::drivesFromEnvironment(table.c_str())),
                  (std::vector<std::string>{"c: [/]", "d: [/boot/efi] mount", "e: [/mnt/windows] mount",
                                            "f: [/media/anna/MY STICK] mount", "g: [/mnt/old] mount"}));
        // Each letter holds to the volume listed there: its device, folder, file system and UUID.
        const auto drives = PosixFileSystem::drivesFromEnvironment(table.c_str(), byUuid.c_str());
        ASSERT_EQ(drives.size(), 5u);
        ASSERT_TRUE(drives[2].volume);
        EXPECT_EQ(drives[2].volume->device, makedev(8, 3));
        EXPECT_EQ(drives[2].volume->root, "/");
        EXPECT_EQ(drives[2].volume->type, "ntfs3");
        EXPECT_EQ(drives[2].volume->uuid, "01D9F00DCAFE");
        EXPECT_EQ(drives[4].volume->type, "vfat") << "the volume on top of another takes its letter";
        EXPECT_EQ(drives[4].volume->uuid, "");
        // No table to read: the one drive of old.
        EXPECT_EQ(boxTexts(PosixFileSystem::drivesFromEnvironment((c.path() / "none").c_str())),
                  std::vector<std::string>{"c: [/]"});
        const DrivesVariable empty("");
        EXPECT_EQ(PosixFileSystem::drivesFromEnvironment(table.c_str()).size(), 5u);
    }
    {
        // The variable set replaces them all.
        const DrivesVariable set("c:=/srv;e:=/media");
        EXPECT_EQ(boxTexts(PosixFileSystem::drivesFromEnvironment(table.c_str())),
                  (std::vector<std::string>{"c: [/srv]", "e: [/media]"}));
    }

    // Twenty-five volumes: d: to z: are given, a: and b: never, and the rest go without.
    std::string many = "27 1 254:0 / / rw - ext4 /dev/vda rw\n";
    for (int i = 0; i < 25; ++i)
        many += std::to_string(40 + i) + " 27 8:" + std::to_string(i) + " / /mnt/v" + std::to_string(i) +
                " rw - vfat /dev/sd" + std::to_string(i) + " rw\n";
    const DrivesVariable unset(nullptr);
    const auto drives = PosixFileSystem::drivesFromEnvironment(c.write("many", many).c_str());
    ASSERT_EQ(drives.size(), 24u);
    EXPECT_EQ(drives[1].letter, 'd');
    EXPECT_EQ(drives[1].folder, "/mnt/v0");
    EXPECT_EQ(drives.back().letter, 'z');
    EXPECT_EQ(drives.back().folder, "/mnt/v22");
}

// A tmpfs mounted for one test and always taken down again, even when the test fails.
struct TmpfsMount : ScopedMount {
    explicit TmpfsMount(const fs::path& onto) : ScopedMount("velmora-test", onto, "tmpfs", 0, "size=1m") {}
};

// The volume on top at `point`, as start-up finds it in the kernel's table.
std::optional<posixhost::Volume> volumeAt(const fs::path& point)
{
    std::ifstream in("/proc/self/mountinfo");
    std::stringstream text;
    text << in.rdbuf();
    std::optional<posixhost::Volume> found;
    for (const auto& mount : posixhost::parseMountInfo(text.str()))
        if (mount.point == fs::canonical(point).string()) found = posixhost::volumeOf(mount);
    return found;
}

TEST_F(PosixFileSystemTest, AVolumesLetterOpensThatVolumeAndNothingElseMountedAtItsFolder)
{
    const fs::path point = d.mkdir("point");
    d.write("point/stray.tmp"); // written into the bare mount point: not the volume's
    const fs::path store = d.mkdir("store");
    const TmpfsMount volume(store);
    if (!volume) GTEST_SKIP() << "cannot mount a tmpfs here: " << volume.error();
    std::ofstream(store / "junk.tmp") << "junk";
    fs::create_directory(store / "TEMP");
    std::optional<BindMount> atPoint(std::in_place, store, point); // the volume at its folder
    ASSERT_TRUE(*atPoint) << atPoint->error();
    const auto found = volumeAt(point);
    ASSERT_TRUE(found);
    const PosixFileSystem host({{'c', c.path().string(), std::nullopt, {}},
                                {'d', point.string(), found, {}},
                                {'e', (d.path() / "gone").string(), found, {}}});

    auto expectReady = [&host, &point](const char* when) {
        EXPECT_TRUE(host.driveReady('d')) << when;
        EXPECT_FALSE(host.driveError('d')) << when;
        EXPECT_EQ(names(host.listFiles("d:\\")), std::vector<std::string>{"junk.tmp"}) << when;
        EXPECT_EQ(host.hostPath("D:\\JUNK.TMP"), (point / "junk.tmp").string()) << when;
    };
    auto expectNotReady = [&host, &point](const char* when) {
        const auto drives = host.drives();
        ASSERT_EQ(drives.size(), 3u) << when;
        EXPECT_EQ(drives[1].boxText(), "d: [" + point.string() + "]") << when;
        for (char letter : {'d', 'e'}) {
            EXPECT_FALSE(drives[letter == 'd' ? 1 : 2].ready) << when;
            EXPECT_FALSE(host.driveReady(letter)) << when;
            const auto error = host.driveError(letter);
            ASSERT_TRUE(error) << when;
            EXPECT_EQ(error->number, 71) << when << " " << letter; // a drive without its medium
        }
        EXPECT_FALSE(host.openFolder("D:\\")) << when;
        EXPECT_FALSE(host.listFiles("D:\\")) << when;
        EXPECT_FALSE(host.folderExists("D:\\TEMP")) << when;
        EXPECT_FALSE(host.hostPath("D:\\junk.tmp")) << when;
    };
    expectReady("mounted");
    EXPECT_FALSE(host.driveReady('e'));
    {
        const TmpfsMount over(point);
        ASSERT_TRUE(over) << over.error();
        std::ofstream(point / "junk.tmp") << "another volume's";
        fs::create_directory(point / "TEMP");
        expectNotReady("another volume mounted over it");
    }
    expectReady("uncovered again");
    {
        const BindMount part(store / "TEMP", point);
        ASSERT_TRUE(part) << part.error();
        expectNotReady("a folder of the volume mounted there");
    }
    atPoint.reset();
    expectNotReady("unmounted");
    {
        const TmpfsMount other(point);
        ASSERT_TRUE(other) << other.error();
        std::ofstream(point / "junk.tmp") << "another volume's";
        expectNotReady("another volume mounted where it was");
    }
    EXPECT_TRUE(d.exists("point/stray.tmp"));
    atPoint.emplace(store, point);
    expectReady("mounted again");
}

TEST_F(PosixFileSystemTest, AVolumesFolderReplacedByALinkIsNotReadyWhereverTheLinkLeads)
{
    // Once the volume went, its folder made a link to another mount's root: that mount is not
    // the volume.
    const TempDir volume;
    volume.write("TEMP/other.tmp");
    const fs::path elsewhere = d.mkdir("elsewhere");
    const BindMount mounted(volume.path(), elsewhere);
    if (!mounted) GTEST_SKIP() << "cannot bind-mount here: " << mounted.error();
    fs::create_directory_symlink(elsewhere, d.path() / "point");
    const auto there = volumeAt(elsewhere); // the very volume the link leads to
    ASSERT_TRUE(there);
    const PosixFileSystem host(
        {{'c', c.path().string(), std::nullopt, {}}, {'d', (d.path() / "point").string(), there, {}}});

    EXPECT_FALSE(host.driveReady('d'));
    ASSERT_TRUE(host.driveError('d'));
    EXPECT_EQ(host.driveError('d')->number, 71);
    EXPECT_FALSE(host.openFolder("D:\\TEMP"));
    EXPECT_FALSE(host.listFiles("D:\\TEMP"));
    EXPECT_FALSE(host.hostPath("D:\\TEMP\\other.tmp"));
}

// Runs a program of the system's folders, its output dropped; true when it ended with 0.
bool run(std::vector<std::string> command)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1), ::dup2(null, 2);
        std::vector<char*> argv;
        for (std::string& word : command) argv.push_back(word.data());
        argv.push_back(nullptr);
        for (const char* folder : {"/usr/sbin/", "/sbin/", "/usr/bin/", "/bin/"})
            ::execv((folder + command[0]).c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(PosixMachineVolumes, VolumesMountedAndUnmountedComeAndGoWithTheirLabelsAndKeepTheirLetters)
{
    if (::geteuid() != 0) GTEST_SKIP() << "mounting needs root";
    const TempDir work;
    const std::string ext = (work.path() / "ext.img").string(), fat = (work.path() / "fat.img").string();
    for (const std::string& image : {ext, fat}) std::ofstream(image).close(), fs::resize_file(image, 8 << 20);
    if (::access("/dev/loop-control", F_OK) != 0 || !run({"mkfs.ext4", "-q", "-F", "-L", "VLMEXT", ext}) ||
        !run({"mkfs.vfat", "-n", "VLMFAT", fat}))
        GTEST_SKIP() << "no loop devices, mkfs.ext4 or mkfs.vfat here";
    const std::string extAt = work.mkdir("ext").string(), fatAt = work.mkdir("fat").string();
    const std::string extAgain = work.mkdir("ext again").string();

    // In a mount name space of its own, private, so that nothing is mounted on the machine: what
    // went wrong comes back through the pipe, 77 when it could not be set up.
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(report[0]);
        std::string failures;
        auto check = [&failures](bool ok, const std::string& what) {
            if (!ok) failures += what + "\n";
        };
        // A kernel without FAT gets a second ext4 volume in its place.
        std::string second = "VLMFAT";
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            !run({"mount", "-o", "loop", ext, extAt}) ||
            (!run({"mount", "-o", "loop", fat, fatAt}) &&
             !(run({"mkfs.ext4", "-q", "-F", "-L", second = "VLMTWO", fat}) &&
               run({"mount", "-o", "loop", fat, fatAt}))))
            ::_exit(77);
        ::unsetenv("VELMORA_DRIVES");
        const PosixFileSystem host(PosixFileSystem::VolumeSources{});
        auto letterOf = [&host](const std::string& label) {
            for (const DriveInfo& d : host.drives())
                if (d.boxText() == std::string(1, d.letter) + ": [" + label + "]") return d.letter;
            return '\0';
        };
        const char extLetter = letterOf("VLMEXT"), otherLetter = letterOf(second);
        check(extLetter >= 'd' && otherLetter >= 'd' && extLetter != otherLetter, "both volumes get letters by label");
        check(host.driveReady(extLetter) && host.driveReady(otherLetter), "both are ready");

        // mount(8) set the loop devices to go with their volumes' last unmount.
        check(::umount(extAt.c_str()) == 0, "unmounted");
        const auto notReady = host.driveError(extLetter);
        check(notReady && notReady->number == 71, "gone and not yet seen: not ready");
        check(letterOf("VLMEXT") == '\0', "gone from the drives");
        const auto unavailable = host.driveError(extLetter);
        check(unavailable && unavailable->number == 68, "its letter then unavailable");
        check(letterOf(second) == otherLetter && host.driveReady(otherLetter), "the other keeps its letter");

        check(run({"mount", "-o", "loop", ext, extAgain}), "mounted again elsewhere");
        check(letterOf("VLMEXT") == extLetter, "back again at its old letter");
        check(host.hostPath(std::string(1, extLetter) + ":\\") == extAgain, "at its new folder");
        ::umount(extAgain.c_str());
        ::umount(fatAt.c_str());
        (void)!::write(report[1], failures.data(), failures.size());
        ::_exit(failures.empty() ? 0 : 1);
    }
    ::close(report[1]);
    std::string failures;
    char buffer[256];
    for (ssize_t n; (n = ::read(report[0], buffer, sizeof buffer)) > 0;)
        failures.append(buffer, static_cast<std::size_t>(n));
    ::close(report[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "cannot mount loop devices in a mount name space of its own";
    EXPECT_EQ(WEXITSTATUS(status), 0) << failures;
}

} // namespace
} // namespace velmora

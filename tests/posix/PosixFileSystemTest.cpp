#include "platform/Text.h"
#include "platform/Wildcard.h"
#include "platform/posix/PosixFileSystem.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>

namespace velmora {
namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

std::vector<std::string> names(const std::optional<std::vector<DirEntry>>& entries)
{
    std::vector<std::string> out;
    if (entries)
        for (const DirEntry& e : *entries)
            out.push_back(e.name);
    return out;
}

const DirEntry* find(const std::optional<std::vector<DirEntry>>& entries, std::string_view name)
{
    if (!entries)
        return nullptr;
    for (const DirEntry& e : *entries)
        if (e.name == name)
            return &e;
    return nullptr;
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
    for (const char* n : {"b", "C", "a2", "A"})
        c.write(std::string("files/") + n, "abc");
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
    struct stat root {}, proc {};
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
    EXPECT_FALSE(vfs.openFolder("C:\\")->remove("Moved")); // a folder is no file
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
        for (const std::string& n : names)
            fds.push_back(::openat(fds.back(), n.c_str(), O_RDONLY | O_DIRECTORY));
        ::unlinkat(fds.back(), "f.tmp", 0);
        for (std::size_t i = names.size(); i > 0; --i)
            ::unlinkat(fds[i - 1], names[i - 1].c_str(), AT_REMOVEDIR);
        for (int fd : fds)
            ::close(fd);
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
    EXPECT_EQ(vfs.modificationTime("C:\\dst\\old.txt"), vfs.modificationTime("C:\\src.txt"));
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

    EXPECT_EQ(vfs.modificationTime("C:\\BIG.BIN"), (DateTime{2003, 7, 14, 23, 5, 9}));
    EXPECT_EQ(vfs.fileSize("C:\\big.bin"), 5'000'000'000LL);
    EXPECT_EQ(vfs.listFiles("C:\\")->front().size, 5'000'000'000LL);
    EXPECT_FALSE(vfs.fileSize("C:\\none"));
    EXPECT_FALSE(vfs.modificationTime("C:\\none"));
}

// Runs `check` in a child without the power to override permissions (root drops to nobody)
// and returns its exit code.
template <class Check>
int runUnprivileged(Check check)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(100);
        ::_exit(check());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 200;
}

TEST_F(PosixFileSystemTest, AnUnreadableFolderFailsAloneWhileItsSiblingsList)
{
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
        if (!child.driveReady('c'))
            return 99; // the temporary folder is out of reach of an unprivileged user
        if (child.listFiles("C:\\locked") || child.listFolders("C:\\LOCKED") || child.listEntries("C:\\locked"))
            bad |= 1;
        if (child.canEnter("C:\\locked") || !child.canEnter("C:\\open"))
            bad |= 2;
        if (names(child.listFiles("C:\\open")) != std::vector<std::string>{"f.tmp"})
            bad |= 4;
        if (names(child.listFolders("C:\\")) != std::vector<std::string>{"locked", "open"})
            bad |= 8;
        return bad;
    });
    EXPECT_EQ(failed, 0) << "bits: 1 listed, 2 canEnter, 4 sibling, 8 parent; 99 unreachable";
}

// What a walk met: "+path" on entering, "-path" on leaving, and each file handed over.
struct WalkLog {
    std::vector<std::string> steps;
    std::vector<std::string> files;
    WalkCallback callback(std::function<WalkStep(const WalkVisit&)> answer = {})
    {
        return [this, answer](const WalkVisit& v) {
            steps.push_back((v.kind == WalkVisit::Kind::Enter ? "+" : "-") + v.path);
            if (v.files)
                for (const DirEntry& f : *v.files) files.push_back(path::join(v.path, f.name));
            return answer ? answer(v) : WalkStep::Continue;
        };
    }
};

TEST_F(PosixFileSystemTest, AWalkEntersRealSubfoldersInNameOrderAndHandsOverMatchingFilesAfterThem)
{
    for (const char* f : {"Beta", "alpha", "Гамма", ".cache", "dir.tmp", "alpha/deep"})
        c.mkdir(std::string("t/") + f);
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
    EXPECT_EQ(log.files, (std::vector<std::string>{"C:\\T\\alpha\\deep\\z.tmp", "C:\\T\\.h.tmp", "C:\\T\\A.TMP",
                                                   "C:\\T\\b.tmp", "C:\\T\\broken.tmp", "C:\\T\\lf.tmp",
                                                   "C:\\T\\Журнал.TMP"}));

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
    struct stat root {}, proc {};
    ASSERT_EQ(::stat("/", &root), 0);
    ASSERT_EQ(::stat("/proc", &proc), 0);
    const PosixFileSystem host("c:=/");
    WalkLog log;
    host.openFolder("C:\\")->walk("C:\\", nullptr, log.callback([](const WalkVisit& v) {
        return v.parent ? WalkStep::Prune : WalkStep::Continue;
    }));
    const auto entered = [&](const char* p) { return std::find(log.steps.begin(), log.steps.end(), p) != log.steps.end(); };
    EXPECT_EQ(entered("+C:\\proc"), root.st_dev == proc.st_dev);
    EXPECT_TRUE(entered("+C:\\etc"));
    // Walked from its own mount point, a file system's folders are walked as usual, links aside.
    WalkLog inProc;
    host.openFolder("C:\\PROC")->walk("C:\\PROC", nullptr, inProc.callback([](const WalkVisit& v) {
        return v.parent ? WalkStep::Prune : WalkStep::Continue;
    }));
    EXPECT_GT(inProc.steps.size(), 2u);
    EXPECT_EQ(std::find(inProc.steps.begin(), inProc.steps.end(), "+C:\\PROC\\self"), inProc.steps.end());
}

TEST_F(PosixFileSystemTest, AWalkGoesPastAFolderItCannotRead)
{
    c.write("top/a/1.tmp");
    c.write("top/locked/2.tmp");
    c.write("top/locked/inner/3.tmp");
    c.write("top/z/4.tmp");
    testsupport::openTreeToEveryone(c.path());
    fs::permissions(c.path() / "top/locked", fs::perms::owner_write | fs::perms::owner_exec);

    const std::string drives = driveMap();
    const int failed = runUnprivileged([&drives] {
        const PosixFileSystem child(drives);
        if (!child.driveReady('c'))
            return 99;
        const MaskList mask("*.tmp");
        WalkLog log;
        child.openFolder("C:\\TOP")->walk("C:\\TOP", &mask, log.callback());
        return log.files == std::vector<std::string>{"C:\\TOP\\a\\1.tmp", "C:\\TOP\\z\\4.tmp"} ? 0 : 1;
    });
    EXPECT_EQ(failed, 0) << "99: unreachable";
}

} // namespace
} // namespace velmora

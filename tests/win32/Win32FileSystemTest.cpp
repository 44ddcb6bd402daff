#include "platform/win32/Win32FileSystem.h"
#include "platform/Text.h"
#include "platform/Wildcard.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>

namespace velmora {
namespace {

namespace fs = std::filesystem;
using testsupport::hostPath;
using testsupport::pathText;
using testsupport::TempDir;
using Names = std::vector<std::string>;

Names names(const std::optional<std::vector<DirEntry>>& entries)
{
    Names out;
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

DWORD hostAttributes(const fs::path& p) { return ::GetFileAttributesW(p.c_str()); }

// Two temporary folders mapped as C: and D:; the working folder is put back afterwards, as
// setting a current folder moves it.
class Win32FileSystemTest : public ::testing::Test {
protected:
    ~Win32FileSystemTest() override { fs::current_path(m_savedCwd); }

    std::string driveMap() const { return "c:=" + pathText(c.path()) + ";d:=" + pathText(d.path()); }
    fs::path at(std::string_view relative) const { return c.path() / hostPath(relative); }

    fs::path m_savedCwd = fs::current_path();
    TempDir c;
    TempDir d;
    Win32FileSystem vfs{driveMap()};
};

TEST_F(Win32FileSystemTest, AMappedFolderIsADriveAndOnlyMappedLettersExist)
{
    ASSERT_TRUE(vfs.mapped());
    const auto drives = vfs.drives();
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[0].boxText(), "c: [" + pathText(c.path()) + "]");
    EXPECT_EQ(drives[1].letter, 'd');
    EXPECT_TRUE(drives[0].ready && drives[1].ready);
    EXPECT_EQ(vfs.currentFolder('D'), "D:\\");

    const Win32FileSystem odd("e:=" + pathText(c.path() / "gone") + ";junk;1:=C:\\x;c=" + pathText(c.path()) + "\\");
    ASSERT_EQ(odd.drives().size(), 2u);
    EXPECT_EQ(odd.drives()[0].label, pathText(c.path())); // the trailing "\" dropped
    EXPECT_FALSE(odd.drives()[1].ready);
    EXPECT_EQ(odd.driveError('e')->number, 68);
    EXPECT_EQ(odd.driveError('q')->description, "Device unavailable");
    EXPECT_FALSE(odd.driveError('c'));
    EXPECT_FALSE(odd.listFiles("E:\\"));
    EXPECT_FALSE(odd.hostPath("Q:\\x"));
    EXPECT_EQ(odd.hostPath("C:\\Sub\\..\\x.txt"), pathText(c.path() / "x.txt"));
}

TEST_F(Win32FileSystemTest, WithoutAMapTheMachinesDrivesAreTheDrives)
{
    Win32FileSystem machine;
    EXPECT_FALSE(machine.mapped());
    const auto drives = machine.drives();
    const auto system = std::find_if(drives.begin(), drives.end(), [](const DriveInfo& i) { return i.letter == 'c'; });
    ASSERT_NE(system, drives.end());
    EXPECT_TRUE(system->ready);
    EXPECT_EQ(DriveInfo({'c', "", true}).boxText(), "c:") << "a volume without a label";
    EXPECT_TRUE(machine.folderExists("C:\\"));
    EXPECT_EQ(machine.hostPath("c:\\Windows\\..\\x"), "C:\\x");
    EXPECT_EQ(machine.driveForm("C:/tmp/x"), "C:\\tmp\\x");

    // A drive letter whose folder or medium is missing is there but not ready, and no
    // system box asks for a disk. scripts/test-windows gives Wine such a drive M:.
    const auto missing = std::find_if(drives.begin(), drives.end(), [](const DriveInfo& i) { return i.letter == 'm'; });
    if (missing == drives.end()) GTEST_SKIP() << "no drive M: without its folder on this machine";
    EXPECT_FALSE(missing->ready);
    EXPECT_FALSE(machine.setCurrentDrive('m'));
    ASSERT_TRUE(machine.driveError('m'));
    EXPECT_NE(machine.driveError('m')->number, 75);
}

TEST_F(Win32FileSystemTest, PathsAreCleanedAndEachDriveHasItsCurrentFolder)
{
    EXPECT_EQ(vfs.absolute("C:\\A\\..\\B\\"), "C:\\B");
    EXPECT_EQ(vfs.absolute("c:/x/./y//"), "c:\\x\\y");
    EXPECT_EQ(vfs.absolute("C:\\..\\.."), "C:\\");
    EXPECT_EQ(vfs.absolute("\\\\server\\share"), "");
    EXPECT_EQ(vfs.absolute(std::string_view("C:\\a\0b", 6)), "");

    c.write("Windows/Temp/a.tmp", "12345");
    d.mkdir("Sub");
    ASSERT_TRUE(vfs.setCurrentFolder("c:\\WINDOWS"));
    EXPECT_EQ(vfs.currentFolder('c'), "c:\\WINDOWS");
    EXPECT_TRUE(fs::equivalent(fs::current_path(), at("Windows")));
    EXPECT_EQ(vfs.fileSize("temp\\A.TMP"), 5);

    ASSERT_TRUE(vfs.setCurrentFolder("D:\\Sub"));
    EXPECT_TRUE(fs::equivalent(fs::current_path(), at("Windows"))); // D: is not current
    EXPECT_EQ(vfs.absolute("D:x.tmp"), "D:\\Sub\\x.tmp");
    EXPECT_FALSE(vfs.setCurrentFolder("D:\\Missing"));
    ASSERT_TRUE(vfs.setCurrentDrive('d'));
    EXPECT_TRUE(fs::equivalent(fs::current_path(), d.path() / "Sub"));
    EXPECT_EQ(vfs.absolute("..\\y"), "D:\\y");

    // Started inside a mapped folder, that drive and folder are current.
    const Win32FileSystem again(driveMap());
    EXPECT_EQ(again.currentDrive(), 'd');
    EXPECT_EQ(again.currentFolder('d'), "D:\\Sub");
    EXPECT_EQ(again.driveForm(pathText(d.path() / "Sub" / "x")), "D:\\Sub\\x");
    EXPECT_EQ(again.driveForm("Q:\\elsewhere"), std::nullopt);

    // A current folder removed meanwhile leaves its drive at the root.
    ASSERT_TRUE(vfs.setCurrentDrive('c'));
    fs::remove_all(d.path() / "Sub");
    EXPECT_TRUE(vfs.setCurrentDrive('d'));
    EXPECT_EQ(vfs.currentFolder('d'), "D:\\");
}

TEST_F(Win32FileSystemTest, ListingsComeInNameOrderWithTheirAttributes)
{
    for (const char* n : {"b", "C", "a2", "A", "Яблоко", "ёлка", "_x"}) c.write(std::string("files/") + n, "abc");
    c.write("files/hidden.sys", "12");
    ASSERT_TRUE(::SetFileAttributesW(at("files/hidden.sys").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    c.write("files/locked.tmp", "1234567");
    ASSERT_TRUE(::SetFileAttributesW(at("files/locked.tmp").c_str(), FILE_ATTRIBUTE_READONLY));
    c.mkdir("files/Zdir");
    c.mkdir("files/adir");

    const auto files = vfs.listFiles("C:\\FILES");
    const Names expected{"A", "a2", "b", "C", "hidden.sys", "locked.tmp", "_x", "ёлка", "Яблоко"};
    EXPECT_EQ(names(files), expected);
    auto sorted = expected;
    std::sort(sorted.begin(), sorted.end(),
              [](const std::string& a, const std::string& b) { return text::compareNoCase(a, b) < 0; });
    EXPECT_EQ(sorted, expected) << "the order the Linux host gives";
    EXPECT_EQ(names(vfs.listFolders("C:\\files")), (Names{"adir", "Zdir"}));
    EXPECT_EQ(names(vfs.listEntries("C:\\files")).size(), 11u);

    EXPECT_EQ(find(files, "hidden.sys")->attributes & (attr::Hidden | attr::System), attr::Hidden | attr::System);
    EXPECT_EQ(find(files, "locked.tmp")->attributes & attr::ReadOnly, attr::ReadOnly);
    EXPECT_EQ(find(files, "locked.tmp")->size, 7);
    EXPECT_EQ(*vfs.attributes("C:\\files\\LOCKED.tmp") & attr::ReadOnly, attr::ReadOnly);
    EXPECT_EQ(*vfs.attributes("C:\\files\\adir") & attr::Directory, attr::Directory);
    EXPECT_EQ(vfs.fileSize("C:\\files\\adir"), 0);

    ListOptions masked;
    const MaskList mask("*.TMP;я*");
    masked.mask = &mask;
    EXPECT_EQ(names(vfs.listFiles("C:\\files", masked)), (Names{"locked.tmp", "Яблоко"}));
    EXPECT_FALSE(vfs.listFiles("C:\\files\\missing"));
    EXPECT_FALSE(vfs.listFiles("C:\\files\\b")) << "a file is no folder";
}

TEST_F(Win32FileSystemTest, AttributesAreTheFilesOwnAndZeroClearsThem)
{
    c.write("a/ro.tmp", "x");
    const auto folder = vfs.openFolder("C:\\a");
    ASSERT_TRUE(folder);
    ASSERT_TRUE(folder->setAttributes("ro.tmp", attr::ReadOnly | attr::Hidden));
    EXPECT_EQ(hostAttributes(at("a/ro.tmp")) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
              DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN});
    EXPECT_EQ(*folder->attributes("ro.tmp") & (attr::ReadOnly | attr::Hidden), attr::ReadOnly | attr::Hidden);
    ASSERT_TRUE(folder->setAttributes("ro.tmp", 0));
    EXPECT_EQ(hostAttributes(at("a/ro.tmp")) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u);
    EXPECT_FALSE(folder->setAttributes("RO.TMP", attr::ReadOnly)) << "only the exact name";
    EXPECT_FALSE(folder->setAttributes("missing.tmp", 0));
}

TEST_F(Win32FileSystemTest, AReadOnlyFileStaysUntilItsAttributesAreCleared)
{
    c.write("t/ro.tmp", "x");
    c.write("t/plain.tmp", "y");
    ASSERT_TRUE(::SetFileAttributesW(at("t/ro.tmp").c_str(), FILE_ATTRIBUTE_READONLY));
    const auto folder = vfs.openFolder("C:\\t");
    ASSERT_TRUE(folder);
    EXPECT_FALSE(folder->remove("ro.tmp"));
    EXPECT_TRUE(c.exists("t/ro.tmp"));
    EXPECT_FALSE(vfs.copyFile("C:\\t\\plain.tmp", "C:\\t\\ro.tmp")) << "a copy does not replace it either";
    EXPECT_EQ(testsupport::readHostFile(at("t/ro.tmp")), "x");

    ASSERT_TRUE(folder->setAttributes("ro.tmp", 0));
    EXPECT_TRUE(folder->remove("ro.tmp"));
    EXPECT_FALSE(c.exists("t/ro.tmp"));
    EXPECT_FALSE(folder->remove("ro.tmp")) << "true only for the call that removed it";

    const MaskList tmp("*.tmp");
    c.write("t/more.tmp");
    c.write("t/keep.txt");
    EXPECT_EQ(folder->removeMatching(tmp), 2);
    EXPECT_EQ(names(folder->listFiles({})), Names{"keep.txt"});
}

TEST_F(Win32FileSystemTest, AFolderActsOnExactNamesInTheFolderItOpened)
{
    c.write("Temp/a.tmp", "1");
    c.write("Temp/Отчёт.txt", "2");
    c.mkdir("Temp/Sub");
    const auto temp = vfs.openFolder("c:\\TEMP");
    ASSERT_TRUE(temp);
    EXPECT_EQ(temp->contains("a.tmp"), true);
    EXPECT_EQ(temp->contains("A.TMP"), false);
    EXPECT_EQ(temp->contains("*.tmp"), false) << "a name is no pattern";
    EXPECT_EQ(temp->contains("Sub\\..\\a.tmp"), false) << "nor a path";
    EXPECT_EQ(temp->contains("a.tmp:stream"), false) << "nor a stream";
    EXPECT_FALSE(temp->size("A.tmp"));
    EXPECT_EQ(temp->size("Отчёт.txt"), 1);
    EXPECT_FALSE(temp->remove("ОТЧЁТ.TXT"));
    EXPECT_FALSE(temp->remove("Sub")) << "a folder is no file";
    EXPECT_FALSE(temp->openSubfolder("sub", NameMatch::Exact));
    EXPECT_TRUE(temp->openSubfolder("sub", NameMatch::AnyCase));
    EXPECT_FALSE(temp->removeFolder("SUB"));
    EXPECT_TRUE(temp->removeFolder("Sub"));
    EXPECT_TRUE(temp->remove("Отчёт.txt"));
}

TEST_F(Win32FileSystemTest, AFolderWhosePathLeadsElsewhereNeverActsThere)
{
    c.write("Temp/a.tmp", "old");
    const auto temp = vfs.openFolder("C:\\Temp");
    ASSERT_TRUE(temp);
    const ListedFolder listed{"C:\\Temp", temp->id()};
    fs::rename(at("Temp"), at("Moved"));
    c.write("Temp/a.tmp", "new");
    EXPECT_FALSE(vfs.openListed(listed));

    // The open folder acts where it was opened (Wine, which deletes by the path a file was
    // opened under, removes nothing and says so); what now stands at its path is never touched.
    const bool removed = temp->remove("a.tmp");
    EXPECT_EQ(removed, !c.exists("Moved/a.tmp"));
    if (!testsupport::underWine()) {
        EXPECT_TRUE(removed);
    }
    EXPECT_EQ(testsupport::readHostFile(at("Temp/a.tmp")), "new");

    fs::remove_all(at("Temp"));
    fs::rename(at("Moved"), at("Temp"));
    EXPECT_TRUE(vfs.openListed(listed));
}

TEST_F(Win32FileSystemTest, StampsTellTheSameFileFromAReplacedOne)
{
    c.write("s/f.tmp", "one");
    const auto folder = vfs.openFolder("C:\\s");
    const auto before = folder->stamp("f.tmp");
    ASSERT_TRUE(before);
    EXPECT_EQ(before->size, 3);
    EXPECT_EQ(folder->stamp("f.tmp"), before);
    fs::remove(at("s/f.tmp"));
    c.write("s/g.tmp", "two");
    fs::rename(at("s/g.tmp"), at("s/f.tmp"));
    EXPECT_NE(folder->stamp("f.tmp"), before);
    EXPECT_FALSE(folder->stamp("F.TMP"));

    // Times are the local time of the file's last write.
    SYSTEMTIME local{2026, 12, 0, 7, 23, 49, 51, 0};
    FILETIME localTime{}, utc{};
    ASSERT_TRUE(::SystemTimeToFileTime(&local, &localTime));
    SYSTEMTIME utcTime{};
    ASSERT_TRUE(::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utcTime));
    ASSERT_TRUE(::SystemTimeToFileTime(&utcTime, &utc));
    {
        HANDLE h = ::CreateFileW(at("s/f.tmp").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        EXPECT_TRUE(::SetFileTime(h, nullptr, nullptr, &utc));
        ::CloseHandle(h);
    }
    EXPECT_EQ(folder->modificationTime("f.tmp"), (DateTime{2026, 12, 7, 23, 49, 51}));
}

TEST_F(Win32FileSystemTest, CopyAppendAndReadWholeFiles)
{
    c.write("src/Отчёт.txt", "report");
    c.mkdir("dst");
    ASSERT_TRUE(vfs.copyFile("C:\\src\\Отчёт.txt", "C:\\dst\\copy.txt"));
    EXPECT_EQ(vfs.readFile("C:\\DST\\COPY.TXT"), "report");
    c.write("src/other.txt", "other");
    ASSERT_TRUE(vfs.copyFile("C:\\src\\other.txt", "C:\\dst\\copy.txt"));
    EXPECT_EQ(vfs.readFile("C:\\dst\\copy.txt"), "other");
    EXPECT_EQ(names(vfs.listFiles("C:\\dst")), Names{"copy.txt"}) << "nothing left aside";
    EXPECT_FALSE(vfs.copyFile("C:\\src\\other.txt", "C:\\missing\\copy.txt"));
    EXPECT_FALSE(vfs.copyFile("C:\\src\\none.txt", "C:\\dst\\none.txt"));

    ASSERT_TRUE(vfs.appendFile("C:\\dst\\log.txt", "a"));
    ASSERT_TRUE(vfs.appendFile("C:\\DST\\LOG.TXT", "b\r\n"));
    EXPECT_EQ(testsupport::readHostFile(at("dst/log.txt")), "ab\r\n");
    EXPECT_FALSE(vfs.appendFile("C:\\dst", "x"));
    EXPECT_FALSE(vfs.readFile("C:\\dst"));
    EXPECT_FALSE(vfs.readFile("C:\\dst\\copy.txt:stream"));
}

// Each level is opened inside the one above: no path ever holds the whole depth, which here is
// past what a Windows path may hold without "\\?\" (MAX_PATH).
TEST_F(Win32FileSystemTest, AWalkGoesPastTheLongestPathAndTheTreeComesApartBottomUp)
{
    ASSERT_TRUE(testsupport::makeDeepFolders(at("Deep"), 300, "bottom.tmp"));
    std::string found;
    int levels = 0;
    {
        const auto top = vfs.openFolder("C:\\Deep");
        ASSERT_TRUE(top);
        const MaskList tmp("*.tmp");
        EXPECT_TRUE(top->walk("C:\\Deep", &tmp, [&](const WalkVisit& v) {
            if (v.kind == WalkVisit::Kind::Enter) ++levels;
            if (v.files && !v.files->empty()) found = v.path + "\\" + v.files->front().name;
            return WalkStep::Continue;
        }));
    }
    EXPECT_EQ(levels, 301);
    EXPECT_GT(found.size(), 600u);
    EXPECT_EQ(found.substr(found.size() - 13), "\\d\\bottom.tmp");
    testsupport::removeTree(at("Deep"));
    EXPECT_FALSE(c.exists("Deep"));
}

TEST_F(Win32FileSystemTest, AWalkEntersSubfoldersInNameOrderAndHandsOverMatchingFilesAfterThem)
{
    c.write("w/b/x.tmp");
    c.write("w/a/deep/y.tmp");
    c.write("w/a/z.txt");
    c.write("w/top.tmp");
    const auto root = vfs.openFolder("C:\\w");
    ASSERT_TRUE(root);
    const MaskList tmp("*.tmp");
    std::vector<std::string> visits;
    EXPECT_TRUE(root->walk("C:\\w", &tmp, [&](const WalkVisit& v) {
        std::string line = (v.kind == WalkVisit::Kind::Enter ? "enter " : "leave ") + v.path;
        for (const DirEntry& f : v.files ? *v.files : std::vector<DirEntry>{}) line += " " + f.name;
        visits.push_back(line);
        return WalkStep::Continue;
    }));
    EXPECT_EQ(visits, (Names{"enter C:\\w", "enter C:\\w\\a", "enter C:\\w\\a\\deep", "leave C:\\w\\a\\deep y.tmp",
                             "leave C:\\w\\a", "enter C:\\w\\b", "leave C:\\w\\b x.tmp", "leave C:\\w top.tmp"}));

    // The tree removed bottom up from the walk's own folders.
    EXPECT_FALSE(root->walk("C:\\w", nullptr, [&](const WalkVisit& v) {
        if (v.kind == WalkVisit::Kind::Leave) {
            v.folder.removeMatching(MaskList("*.*"));
            if (v.parent) {
                EXPECT_TRUE(v.parent->removeFolder(v.name)) << v.path;
            }
        }
        return v.name == "b" ? WalkStep::Stop : WalkStep::Continue;
    }));
    EXPECT_FALSE(c.exists("w/a"));
    EXPECT_TRUE(c.exists("w/b/x.tmp"));
}

} // namespace
} // namespace velmora

// Links and junctions on a real Windows volume. Under Wine a host link is no reparse point and
// deleting one deletes its target, so these tests are skipped there and need a run on Windows.
#include "platform/Wildcard.h"
#include "platform/win32/Win32FileSystem.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <winioctl.h>

#include <filesystem>
#include <vector>

namespace velmora {
namespace {

namespace fs = std::filesystem;
using testsupport::pathText;

constexpr const char* kWineReason =
    "Wine shows a host link as the file or folder it leads to and deletes the target with it: links and junctions "
    "need a run on Windows";

// A junction (mount point) at `link` leading to the folder `target`, as "mklink /J" makes one;
// no privilege needed.
bool makeJunction(const fs::path& link, const fs::path& target)
{
    if (!::CreateDirectoryW(link.c_str(), nullptr)) return false;
    const HANDLE h = ::CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const std::wstring substitute = L"\\??\\" + target.wstring();
    const std::wstring print = target.wstring();
    // REPARSE_DATA_BUFFER's mount point form: tag, lengths, then both names, each NUL-ended.
    const auto subBytes = static_cast<USHORT>(substitute.size() * sizeof(wchar_t));
    const auto printBytes = static_cast<USHORT>(print.size() * sizeof(wchar_t));
    std::vector<USHORT> buffer(8 + substitute.size() + 1 + print.size() + 1, 0);
    auto* tag = reinterpret_cast<DWORD*>(buffer.data());
    *tag = IO_REPARSE_TAG_MOUNT_POINT;
    buffer[2] = static_cast<USHORT>((buffer.size() - 4) * sizeof(USHORT)); // the data after the header
    buffer[4] = 0;
    buffer[5] = subBytes;
    buffer[6] = static_cast<USHORT>(subBytes + sizeof(wchar_t));
    buffer[7] = printBytes;
    std::copy(substitute.begin(), substitute.end(), buffer.begin() + 8);
    std::copy(print.begin(), print.end(), buffer.begin() + 8 + substitute.size() + 1);
    DWORD returned = 0;
    const BOOL ok =
        ::DeviceIoControl(h, FSCTL_SET_REPARSE_POINT, buffer.data(), static_cast<DWORD>(buffer.size() * sizeof(USHORT)),
                          nullptr, 0, &returned, nullptr);
    ::CloseHandle(h);
    return ok != FALSE;
}

// A symbolic link; false where the user may not make one (no developer mode, no privilege).
bool makeSymlink(const fs::path& link, const fs::path& target, bool folder)
{
    constexpr DWORD kUnprivileged = 0x2; // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
    const DWORD flags = (folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) | kUnprivileged;
    if (::CreateSymbolicLinkW(link.c_str(), target.c_str(), flags)) return true;
    return ::CreateSymbolicLinkW(link.c_str(), target.c_str(), flags & ~kUnprivileged) != FALSE;
}

const DirEntry* find(const std::optional<std::vector<DirEntry>>& entries, std::string_view name)
{
    if (!entries) return nullptr;
    for (const DirEntry& e : *entries)
        if (e.name == name) return &e;
    return nullptr;
}

class Win32LinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (testsupport::underWine()) GTEST_SKIP() << kWineReason;
        c.write("Precious/data.txt", "keep");
        c.mkdir("Temp");
    }
    fs::path at(std::string_view relative) const { return c.path() / testsupport::hostPath(relative); }

    testsupport::TempDir c;
    Win32FileSystem vfs{"c:=" + pathText(c.path())};
};

TEST_F(Win32LinkTest, AJunctionIsListedAsALinkNeverEnteredAndRemovedItself)
{
    ASSERT_TRUE(makeJunction(at("Temp/junction"), at("Precious")));
    const auto temp = vfs.openFolder("C:\\Temp");
    ASSERT_TRUE(temp);
    const auto folders = temp->listFolders({});
    ASSERT_TRUE(find(folders, "junction"));
    EXPECT_TRUE(find(folders, "junction")->isLink());
    EXPECT_TRUE(find(folders, "junction")->isFolder());
    EXPECT_FALSE(temp->openSubfolder("junction", NameMatch::Exact));
    EXPECT_TRUE(vfs.openFolder("C:\\Temp\\junction")) << "a folder the user opens is worked on as the folder it is";

    std::vector<std::string> entered;
    temp->walk("C:\\Temp", nullptr, [&](const WalkVisit& v) {
        if (v.kind == WalkVisit::Kind::Enter) entered.push_back(v.path);
        return WalkStep::Continue;
    });
    EXPECT_EQ(entered, std::vector<std::string>{"C:\\Temp"});

    EXPECT_FALSE(temp->removeFolder("junction")) << "never a link as a folder";
    EXPECT_TRUE(temp->setAttributes("junction", 0));
    EXPECT_TRUE(temp->remove("junction"));
    EXPECT_FALSE(c.exists("Temp/junction"));
    EXPECT_EQ(testsupport::readHostFile(at("Precious/data.txt")), "keep");
}

TEST_F(Win32LinkTest, ASymbolicLinkIsRemovedItselfAndItsTargetKeepsItsAttributes)
{
    if (!makeSymlink(at("Temp/file.tmp"), at("Precious/data.txt"), false))
        GTEST_SKIP() << "this user may not make symbolic links (developer mode or the privilege is needed)";
    ASSERT_TRUE(makeSymlink(at("Temp/dir.tmp"), at("Precious"), true));
    ASSERT_TRUE(::SetFileAttributesW(at("Precious/data.txt").c_str(), FILE_ATTRIBUTE_READONLY));

    const auto temp = vfs.openFolder("C:\\Temp");
    ASSERT_TRUE(temp);
    const auto files = temp->listFiles({});
    ASSERT_TRUE(find(files, "file.tmp"));
    EXPECT_TRUE(find(files, "file.tmp")->isLink());
    EXPECT_FALSE(temp->openSubfolder("dir.tmp", NameMatch::Exact));

    // The program's deletion: clear the attributes, then remove, by the exact names listed.
    const MaskList all("*.tmp");
    EXPECT_TRUE(temp->setAttributes("file.tmp", 0));
    EXPECT_EQ(temp->removeMatching(all), 1);
    EXPECT_TRUE(temp->remove("dir.tmp"));
    EXPECT_FALSE(c.exists("Temp/file.tmp"));
    EXPECT_FALSE(c.exists("Temp/dir.tmp"));
    EXPECT_EQ(testsupport::readHostFile(at("Precious/data.txt")), "keep");
    EXPECT_TRUE(::GetFileAttributesW(at("Precious/data.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    ::SetFileAttributesW(at("Precious/data.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Win32LinkTest, AppendingNeverWritesThroughALinkAtTheLastStep)
{
    if (!makeSymlink(at("Temp/report.txt"), at("Precious/data.txt"), false))
        GTEST_SKIP() << "this user may not make symbolic links (developer mode or the privilege is needed)";
    EXPECT_FALSE(vfs.appendFile("C:\\Temp\\report.txt", "more"));
    EXPECT_EQ(testsupport::readHostFile(at("Precious/data.txt")), "keep");
}

} // namespace
} // namespace velmora

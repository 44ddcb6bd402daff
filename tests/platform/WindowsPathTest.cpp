#include "platform/WindowsPath.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using winpath::CurrentFolders;

std::string absolute(const CurrentFolders& folders, std::string_view path)
{
    const auto p = folders.absolute(path);
    return p ? p->text() : "(none)";
}

TEST(WindowsPath, CurrentFoldersMakePathsAbsoluteAsWindowsDoes)
{
    CurrentFolders folders;
    EXPECT_EQ(folders.drive(), 2);
    EXPECT_EQ(folders.folder('d'), "D:\\");
    EXPECT_EQ(folders.folder('1'), "");

    folders.setFolder(3, "d:\\Work\\Sub");
    folders.setFolder(2, "C:\\WINDOWS");
    EXPECT_EQ(absolute(folders, "temp\\.\\x.tmp"), "C:\\WINDOWS\\temp\\x.tmp");
    EXPECT_EQ(absolute(folders, "\\Top//y"), "C:\\Top\\y");
    EXPECT_EQ(absolute(folders, "D:..\\x"), "D:\\Work\\x");
    EXPECT_EQ(absolute(folders, "c:/a/../../../b/"), "c:\\b");
    folders.setDrive(3);
    EXPECT_EQ(absolute(folders, ".."), "d:\\Work") << "the drive as its current folder spells it";
    EXPECT_EQ(absolute(folders, "E:"), "E:\\");

    for (std::string_view refused : {std::string_view(), std::string_view("C:\\a\0b", 6),
                                     std::string_view("\\\\server\\share"), std::string_view("//?/unix/tmp")})
        EXPECT_EQ(absolute(folders, refused), "(none)") << refused;
}

TEST(WindowsPath, DrivePathsAreToldFromRelativeOnes)
{
    EXPECT_TRUE(winpath::isDrivePath("c:/x"));
    EXPECT_FALSE(winpath::isDrivePath("C:x"));
    EXPECT_TRUE(winpath::hasDrive("C:x"));
    EXPECT_FALSE(winpath::hasDrive("1:\\"));
    EXPECT_EQ(winpath::driveIndex('Z'), 25);
    EXPECT_EQ(winpath::driveIndex(':'), -1);
    EXPECT_TRUE(winpath::isNetworkPath("\\/server"));
    EXPECT_FALSE(winpath::isNetworkPath("\\Top"));
}

} // namespace
} // namespace velmora

#include "platform/FileSystem.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(Path, JoinParentAndRoot)
{
    EXPECT_EQ(path::join("C:\\", "x.tmp"), "C:\\x.tmp");
    EXPECT_EQ(path::join("C:\\WINDOWS", "TEMP"), "C:\\WINDOWS\\TEMP");
    EXPECT_EQ(path::join("C:\\WINDOWS\\", "TEMP"), "C:\\WINDOWS\\TEMP");

    EXPECT_EQ(path::parent("C:\\A\\B"), "C:\\A");
    EXPECT_EQ(path::parent("C:\\A\\B\\"), "C:\\A");
    EXPECT_EQ(path::parent("C:\\A"), "C:\\");
    EXPECT_EQ(path::parent("C:\\"), "C:\\");
    EXPECT_EQ(path::parent("A\\B"), "A");
    EXPECT_EQ(path::parent(""), "");

    EXPECT_TRUE(path::isRoot("C:\\"));
    EXPECT_TRUE(path::isRoot("d:\\"));
    EXPECT_FALSE(path::isRoot("C:"));
    EXPECT_FALSE(path::isRoot("C:\\A"));
    EXPECT_FALSE(path::isRoot("1:\\"));

    EXPECT_EQ((DriveInfo{'d', "/media/usb", true}.boxText()), "d: [/media/usb]");
}

} // namespace
} // namespace velmora

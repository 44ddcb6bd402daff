#include "platform/posix/MountTable.h"

#include <gtest/gtest.h>

namespace velmora::posixhost {
namespace {

TEST(MountTable, MountInfoLinesGiveTheirPointTypeAndSourceDecoded)
{
    const auto mounts = parseMountInfo(
        "27 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw\n"
        "90 27 8:17 / /media/anna/MY\\040USB rw,nosuid shared:7 master:2 - vfat /dev/sdb1 rw,fmask=0022\n"
        "91 27 8:2 / /mnt/back\\134slash\\011tab rw - fuseblk /dev/sda2 rw,user_id=0\n"
        "92 27 8:3 /sub /mnt/part\\0 rw - ntfs3 /dev/my\\040disk rw\n"
        "not a mount line at all\n"
        "93 27 0:40 / relative rw - tmpfs tmpfs rw\n"
        "94 27 0:41 / /no/dash rw shared:3 tmpfs tmpfs rw\n"
        "95 27 0:42 / /last rw - exfat /dev/sdc1 rw");
    ASSERT_EQ(mounts.size(), 5u);
    EXPECT_EQ(mounts[0].point, "/");
    EXPECT_EQ(mounts[1].point, "/media/anna/MY USB"); // optional fields before the dash skipped
    EXPECT_EQ(mounts[1].type, "vfat");
    EXPECT_EQ(mounts[1].source, "/dev/sdb1");
    EXPECT_EQ(mounts[2].point, "/mnt/back\\slash\ttab");
    EXPECT_EQ(mounts[3].point, "/mnt/part\\0"); // not three octal digits: kept as written
    EXPECT_EQ(mounts[3].source, "/dev/my disk");
    EXPECT_EQ(mounts[4].point, "/last"); // no newline after the last line
    EXPECT_EQ(mounts[4].type, "exfat");
}

TEST(MountTable, WindowsVolumesAreFatExfatAndNtfsOfTheKernelOrOfFuse)
{
    for (const char* type : {"vfat", "msdos", "exfat", "ntfs", "ntfs3", "fuseblk", "fuseblk.ntfs-3g", "fuse.exfat"})
        EXPECT_TRUE(isWindowsVolume({"/mnt/x", type, "/dev/sdb1"})) << type;
    for (const char* type : {"ext4", "tmpfs", "btrfs", "fuse", "fuse.sshfs", "fuseblk.ext4", "iso9660", "vfatx", ""})
        EXPECT_FALSE(isWindowsVolume({"/mnt/x", type, "/dev/sdb1"})) << type;
}

} // namespace
} // namespace velmora::posixhost

#include "platform/posix/MountTable.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

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
    EXPECT_EQ(mounts[1].id, 90u);
    EXPECT_EQ(mounts[1].device, makedev(8, 17));
    EXPECT_EQ(mounts[1].root, "/");
    EXPECT_EQ(mounts[3].root, "/sub");
    EXPECT_EQ(mounts[2].point, "/mnt/back\\slash\ttab");
    EXPECT_EQ(mounts[3].point, "/mnt/part\\0"); // not three octal digits: kept as written
    EXPECT_EQ(mounts[3].source, "/dev/my disk");
    EXPECT_EQ(mounts[4].point, "/last"); // no newline after the last line
    EXPECT_EQ(mounts[4].type, "exfat");
}

TEST(MountTable, WindowsVolumesAreFatExfatAndNtfsOfTheKernelOrOfFuse)
{
    for (const char* type : {"vfat", "msdos", "exfat", "ntfs", "ntfs3", "fuseblk", "fuseblk.ntfs-3g", "fuse.exfat"})
        EXPECT_TRUE(isWindowsVolume({"/mnt/x", type, "/dev/sdb1", 0, 0, "/"})) << type;
    for (const char* type : {"ext4", "tmpfs", "btrfs", "fuse", "fuse.sshfs", "fuseblk.ext4", "iso9660", "vfatx", ""})
        EXPECT_FALSE(isWindowsVolume({"/mnt/x", type, "/dev/sdb1", 0, 0, "/"})) << type;
}

TEST(MountTable, EachLocalDiskVolumeOnceAndNothingElseGetsALetterInTheTablesOrder)
{
    testsupport::TempDir dir;
    const std::string hosts = dir.write("hosts").string(); // a file bind-mounted over a file
    const auto mounts = parseMountInfo("27 1 254:0 / / rw - ext4 /dev/vda rw\n"
                                       "28 27 0:5 / /tmp rw - tmpfs tmpfs rw\n"
                                       "29 27 8:65 /photos /mnt/photos rw - ext4 /dev/sde1 rw\n"
                                       "30 27 0:31 /@home /home rw - btrfs /dev/sdb2 rw,subvol=/@home\n"
                                       "31 27 254:0 /var/www /srv/www rw - ext4 /dev/vda rw\n"
                                       "32 27 8:33 / /mnt/backup rw - xfs /dev/sdc1 rw\n"
                                       "33 27 0:40 / /var/lib/docker/m rw - overlay overlay rw\n"
                                       "34 27 7:1 / /snap/core/1 ro - squashfs /dev/loop1 ro\n"
                                       "35 27 0:41 / /mnt/nfs rw - nfs4 server:/export rw\n"
                                       "36 27 0:42 / /mnt/ssh rw - fuse.sshfs anna@host: rw\n"
                                       "37 27 8:49 /hosts " +
                                       hosts +
                                       " rw - ext4 /dev/sdd1 rw\n"
                                       "38 27 0:31 /@home/anna/shared /mnt/shared rw - btrfs /dev/sdb2 rw\n"
                                       "39 27 8:33 / /mnt/backup2 rw - xfs /dev/sdc1 rw\n"
                                       "40 27 8:65 / /mnt/disk rw - ext4 /dev/sde1 rw\n"
                                       "41 27 0:43 / /proc/fs/nfsd rw - nfsd nfsd rw\n"
                                       "42 27 8:81 / /media/cd ro - iso9660 /dev/sr0 ro\n");
    std::vector<std::string> lettered;
    for (std::size_t i : volumeMounts(mounts)) lettered.push_back(mounts[i].point);
    // A btrfs subvolume is a volume of its own; binds of a lettered file system's folders (the
    // root's included), a second mount of a whole one and a folder of one mounted whole later
    // are not; nor are memory, pseudo, image, network and FUSE file systems, nor a file.
    EXPECT_EQ(lettered, (std::vector<std::string>{"/home", "/mnt/backup", "/mnt/disk", "/media/cd"}));
}

TEST(MountTable, ALabelIsUdevsNameDecodedOrAFatVolumesOwn)
{
    testsupport::TempDir dev;
    const std::string byLabel = dev.mkdir("by-label").string();
    ASSERT_EQ(::mknod((dev.path() / "sdb1").c_str(), S_IFBLK | 0600, makedev(8, 17)), 0) << std::strerror(errno);
    std::filesystem::create_symlink("../sdb1", dev.path() / "by-label/MY\\x20STICK\\x2f2");
    const MountEntry stick{"/nowhere", "vfat", "/nowhere/sdb1", 90, makedev(8, 17), "/"};
    EXPECT_EQ(labelOf(stick, Volume{makedev(8, 17), makedev(8, 17), "/", "vfat", ""}, byLabel.c_str()), "MY STICK/2");

    // FAT16: the label in the root folder wins over the boot sector's; code page 866 read.
    std::string boot(512, '\0');
    const auto put = [&boot](std::size_t at, unsigned value, int bytes) {
        for (int i = 0; i < bytes; ++i) boot[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    put(11, 512, 2), put(13, 4, 1), put(14, 1, 2), put(16, 2, 1), put(17, 512, 2), put(22, 32, 2);
    put(0x26, 0x29, 1), put(510, 0xAA55, 2);
    boot.replace(0x2B, 11, "NO NAME    ");
    const auto root = fatRootFolder(boot);
    ASSERT_TRUE(root);
    EXPECT_EQ(root->first, (1u + 2u * 32u) * 512u);
    std::string entries(3 * 32, '\0');
    entries[0] = 0x41, entries[11] = 0x0F;                          // a piece of a long name
    entries[32] = static_cast<char>(0xE5), entries[32 + 11] = 0x08; // a deleted label
    entries.replace(64, 11, "\x84\x88\x91\x8A       ");
    entries[64 + 11] = 0x08;
    EXPECT_EQ(fatLabel(boot, entries), "ДИСК");
    EXPECT_EQ(fatLabel(boot, ""), "") << "NO NAME is none";
    boot.replace(0x2B, 11, "BOOT       ");
    EXPECT_EQ(fatLabel(boot, ""), "BOOT");
    EXPECT_FALSE(fatRootFolder(std::string(512, '\0')));
}

TEST(MountTable, AVolumeIsKnownAgainByItsFileSystemFolderDeviceAndUuid)
{
    testsupport::TempDir dev;
    const std::string byUuid = dev.mkdir("by-uuid").string();
    ASSERT_EQ(::mknod((dev.path() / "sdb1").c_str(), S_IFBLK | 0600, makedev(8, 17)), 0) << std::strerror(errno);
    std::filesystem::create_symlink("../sdb1", dev.path() / "by-uuid/6E1C-27F2");
    const std::string source = (dev.path() / "sdb1").string();
    const MountEntry stick{"/media/s", "vfat", "/dev/sdb1", 90, makedev(8, 17), "/"};
    const Volume given = volumeOf(stick, byUuid.c_str());
    EXPECT_EQ(given.uuid, "6E1C-27F2");
    EXPECT_TRUE(isVolume({"/media/s", "vfat", "/dev/sdb1", 120, makedev(8, 17), "/"}, given, byUuid.c_str()))
        << "mounted again";
    EXPECT_FALSE(isVolume({"/media/s", "tmpfs", "/dev/sdb1", 121, makedev(8, 17), "/"}, given, byUuid.c_str()));
    EXPECT_FALSE(isVolume({"/media/s", "vfat", "/dev/sdb1", 122, makedev(8, 17), "/DCIM"}, given, byUuid.c_str()));
    EXPECT_FALSE(isVolume({"/media/s", "vfat", "/dev/sdc1", 123, makedev(8, 33), "/"}, given, byUuid.c_str()));
    // Another stick in the same slot gets the same device number, not the same UUID.
    std::filesystem::rename(dev.path() / "by-uuid/6E1C-27F2", dev.path() / "by-uuid/0BAD-F00D");
    EXPECT_FALSE(isVolume(stick, given, byUuid.c_str()));

    // A FUSE volume gets a new device number at every mount: its block device tells it.
    const MountEntry fuse{"/mnt/w", "fuseblk.ntfs-3g", source, 95, makedev(0, 51), "/"};
    const Volume ntfs = volumeOf(fuse, byUuid.c_str());
    EXPECT_TRUE(isVolume({"/mnt/w", "fuseblk.ntfs-3g", source, 130, makedev(0, 60), "/"}, ntfs, byUuid.c_str()));
    EXPECT_FALSE(isVolume({"/mnt/w", "fuseblk.ntfs-3g", "/dev/null", 131, makedev(0, 51), "/"}, ntfs, byUuid.c_str()));
    // One on no block device is known by its device number alone.
    const Volume memory = volumeOf({"/mnt/m", "tmpfs", "none", 96, makedev(0, 52), "/"}, byUuid.c_str());
    EXPECT_TRUE(isVolume({"/mnt/m", "tmpfs", "none", 140, makedev(0, 52), "/"}, memory, byUuid.c_str()));
    EXPECT_FALSE(isVolume({"/mnt/m", "tmpfs", "none", 141, makedev(0, 53), "/"}, memory, byUuid.c_str()));
}

} // namespace
} // namespace velmora::posixhost

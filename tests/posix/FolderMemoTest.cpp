#include "platform/posix/FolderMemo.h"

#include "platform/Wildcard.h"
#include "platform/posix/Fd.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fscrypt.h>
#include <linux/loop.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

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

// Runs a program found on PATH with its arguments, its output thrown away; true when it ran
// and succeeded.
bool runQuietly(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd : {0, 1, 2}) posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_RDWR, 0);
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return failed == 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// An ext4 volume made in a file of `under`, mounted on a loop device at `under`/volume, with
// one folder "d" whose names are encrypted under a key the test adds and removes. Unmounted
// when it goes; the loop device goes with the mount.
class EncryptedVolume {
public:
    explicit EncryptedVolume(const fs::path& under) : m_point(under / "volume")
    {
        const fs::path image = under / "volume.img";
        if (::getuid() != 0) {
            m_skip = "needs root to mount a volume";
            return;
        }
        std::error_code ec;
        fs::create_directory(m_point, ec);
        {
            std::ofstream(image).flush();
        }
        fs::resize_file(image, 32 << 20, ec);
        if (ec || !runQuietly({"mkfs.ext4", "-q", "-F", "-O", "encrypt", image.string()})) {
            m_skip = "mkfs.ext4 cannot make an ext4 volume with encryption here";
            return;
        }
        m_mounted = runQuietly({"mount", "-o", "loop", image.string(), m_point.string()});
        if (!m_mounted) {
            m_skip = "cannot mount a loop device here";
            return;
        }
        const Fd root(::open(m_point.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!root || !addKey(root.get())) {
            m_skip = std::string("no file name encryption here: ") + std::strerror(errno);
            return;
        }
        fs::create_directory(m_point / "d");
        const Fd folder(::open((m_point / "d").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        fscrypt_policy_v2 policy{};
        policy.version = FSCRYPT_POLICY_V2;
        policy.contents_encryption_mode = FSCRYPT_MODE_AES_256_XTS;
        policy.filenames_encryption_mode = FSCRYPT_MODE_AES_256_CTS;
        policy.flags = FSCRYPT_POLICY_FLAGS_PAD_32;
        std::memcpy(policy.master_key_identifier, m_key.u.identifier, sizeof policy.master_key_identifier);
        if (!folder || ::ioctl(folder.get(), FS_IOC_SET_ENCRYPTION_POLICY, &policy) != 0)
            m_skip = std::string("cannot encrypt a folder here: ") + std::strerror(errno);
    }
    ~EncryptedVolume()
    {
        if (m_mounted) ::umount2(m_point.c_str(), MNT_DETACH);
    }
    EncryptedVolume(const EncryptedVolume&) = delete;
    EncryptedVolume& operator=(const EncryptedVolume&) = delete;

    explicit operator bool() const { return m_skip.empty(); }
    const std::string& skipReason() const { return m_skip; }
    fs::path folder() const { return m_point / "d"; }

    // Takes the key away: the folder's names are then what the disk holds. Nothing of the
    // volume may be open.
    bool lock() const
    {
        const Fd root(::open(m_point.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        fscrypt_remove_key_arg remove{};
        remove.key_spec = m_key;
        return root && ::ioctl(root.get(), FS_IOC_REMOVE_ENCRYPTION_KEY, &remove) == 0 &&
               remove.removal_status_flags == 0;
    }
    bool unlock()
    {
        const Fd root(::open(m_point.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        return root && addKey(root.get());
    }

private:
    bool addKey(int rootFd)
    {
        constexpr std::size_t size = 64;
        alignas(fscrypt_add_key_arg) unsigned char buffer[sizeof(fscrypt_add_key_arg) + size] = {};
        auto* add = reinterpret_cast<fscrypt_add_key_arg*>(buffer);
        add->key_spec.type = FSCRYPT_KEY_SPEC_TYPE_IDENTIFIER;
        add->raw_size = size;
        for (std::size_t i = 0; i < size; ++i) add->raw[i] = static_cast<unsigned char>(i * 7 + 1);
        if (::ioctl(rootFd, FS_IOC_ADD_ENCRYPTION_KEY, add) != 0) return false;
        m_key = add->key_spec;
        return true;
    }

    fs::path m_point;
    fscrypt_key_specifier m_key{};
    bool m_mounted = false;
    std::string m_skip;
};

// A loop device over an image file, taken from the free ones and let go when it goes.
class LoopDevice {
public:
    explicit LoopDevice(const fs::path& image)
    {
        const Fd control(::open("/dev/loop-control", O_RDWR | O_CLOEXEC));
        const Fd backing(::open(image.c_str(), O_RDWR | O_CLOEXEC));
        for (int attempt = 0; control && backing && attempt < 16 && !m_fd; ++attempt) {
            const int n = ::ioctl(control.get(), LOOP_CTL_GET_FREE);
            if (n < 0) break;
            m_path = "/dev/loop" + std::to_string(n);
            Fd device(::open(m_path.c_str(), O_RDWR | O_CLOEXEC));
            loop_config config{};
            config.fd = static_cast<__u32>(backing.get());
            if (device && ::ioctl(device.get(), LOOP_CONFIGURE, &config) == 0) m_fd = std::move(device);
        }
    }
    ~LoopDevice()
    {
        if (m_fd) ::ioctl(m_fd.get(), LOOP_CLR_FD, 0);
    }
    LoopDevice(const LoopDevice&) = delete;
    LoopDevice& operator=(const LoopDevice&) = delete;

    explicit operator bool() const { return static_cast<bool>(m_fd); }
    const std::string& path() const { return m_path; }
    // Writes `image` over the device's contents, through the device, as a card is written anew.
    bool overwrite(const fs::path& image) const
    {
        const std::string bytes = testsupport::readHostFile(image);
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::pwrite(m_fd.get(), bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return !bytes.empty() && ::fsync(m_fd.get()) == 0;
    }

private:
    Fd m_fd;
    std::string m_path;
};

// A file system mounted read-only for as long as the object lives.
class ReadOnlyMount {
public:
    ReadOnlyMount(const std::string& device, const fs::path& point) : m_point(point)
    {
        m_mounted = ::mount(device.c_str(), point.c_str(), "ext4", MS_RDONLY, nullptr) == 0;
    }
    ~ReadOnlyMount()
    {
        if (m_mounted) ::umount2(m_point.c_str(), MNT_DETACH);
    }
    ReadOnlyMount(const ReadOnlyMount&) = delete;
    ReadOnlyMount& operator=(const ReadOnlyMount&) = delete;
    explicit operator bool() const { return m_mounted; }

private:
    fs::path m_point;
    bool m_mounted = false;
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

TEST_F(FolderMemoTest, AVolumeMountedInPlaceOfAnotherListsAfreshThoughItsFolderLooksTheSame)
{
    // Tools that make volumes from a folder tree copy its times, or fix them so that builds
    // match: two cards written from two builds can hold a folder of the same inode number and
    // times, and the second, mounted from the same device, looks like the first.
    if (::getuid() != 0) GTEST_SKIP() << "needs root to mount a volume";
    for (const char* tree : {"first", "second"}) {
        c.write(std::string(tree) + "/d/" + (std::string(tree) == "first" ? "alpha.tmp" : "beta.tmp"));
        const fs::path image = c.path() / (std::string(tree) + ".img");
        {
            std::ofstream(image).flush();
        }
        fs::resize_file(image, 8 << 20);
        if (!runQuietly({"mkfs.ext4", "-q", "-F", "-d", (c.path() / tree).string(), image.string()}))
            GTEST_SKIP() << "mkfs.ext4 cannot make a volume from a folder tree here";
        for (const char* field : {"mtime", "ctime"})
            runQuietly({"debugfs", "-w", "-R", std::string("sif /d ") + field + " 20200913122640", image.string()});
    }
    const fs::path point = c.mkdir("card");
    const LoopDevice device(c.path() / "first.img");
    if (!device) GTEST_SKIP() << "no loop device to be had here";
    struct stat first {};
    {
        const ReadOnlyMount mounted(device.path(), point);
        if (!mounted) GTEST_SKIP() << "cannot mount a loop device here";
        ASSERT_EQ(files("card/d"), Names{"alpha.tmp"});
        ASSERT_EQ(::stat((point / "d").c_str(), &first), 0);
    }
    ASSERT_TRUE(device.overwrite(c.path() / "second.img"));
    const ReadOnlyMount mounted(device.path(), point);
    ASSERT_TRUE(mounted);
    struct stat second {};
    ASSERT_EQ(::stat((point / "d").c_str(), &second), 0);
    if (first.st_dev != second.st_dev || first.st_ino != second.st_ino ||
        first.st_mtim.tv_sec != second.st_mtim.tv_sec || first.st_mtim.tv_nsec != second.st_mtim.tv_nsec ||
        first.st_ctim.tv_sec != second.st_ctim.tv_sec || first.st_ctim.tv_nsec != second.st_ctim.tv_nsec)
        GTEST_SKIP() << "the two volumes' folders could not be made to look the same here";
    EXPECT_EQ(files("card/d"), Names{"beta.tmp"});
}

TEST_F(FolderMemoTest, AnEncryptedFolderListsAfreshWhenItsKeyComesOrGoes)
{
    // Adding or removing a folder's key changes every name it lists, and neither its times
    // nor its inode.
    EncryptedVolume volume(c.path());
    if (!volume) GTEST_SKIP() << volume.skipReason();
    for (int i = 0; i < 1000; ++i) c.write("volume/d/file" + std::to_string(i) + ".tmp");
    fs::create_directory(volume.folder() / "Sub");
    settle();
    const auto fresh = [this](bool folders) {
        return names(readFolder(open("volume/d").get(), {.files = !folders, .folders = folders, .details = false}));
    };
    EXPECT_EQ(subfolders("volume/d"), Names{"Sub"});
    EXPECT_EQ(files("volume/d", "file99*").size(), 11u);
    EXPECT_EQ(spelling("volume/d", "FILE7.TMP"), "file7.tmp");

    ASSERT_TRUE(volume.lock());
    const Names lockedFiles = fresh(false);
    const Names lockedFolders = fresh(true);
    ASSERT_EQ(lockedFiles.size(), 1000u);
    ASSERT_EQ(lockedFolders.size(), 1u);
    ASSERT_NE(lockedFolders, Names{"Sub"});
    EXPECT_EQ(subfolders("volume/d"), lockedFolders);
    EXPECT_EQ(files("volume/d"), lockedFiles);
    EXPECT_EQ(files("volume/d", "file99*"), Names{});
    EXPECT_EQ(spelling("volume/d", "FILE7.TMP"), "(none)");

    // Read while locked, then unlocked.
    settle();
    files("volume/d");
    spelling("volume/d", "x");
    ASSERT_TRUE(volume.unlock());
    EXPECT_EQ(subfolders("volume/d"), Names{"Sub"});
    EXPECT_EQ(files("volume/d", "file99*").size(), 11u);
    EXPECT_EQ(spelling("volume/d", "FILE7.TMP"), "file7.tmp");
}

} // namespace
} // namespace velmora::posixhost

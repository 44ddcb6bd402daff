// Host names no Windows name can hold, entries acted on through the folder that was listed,
// links, mounts and host-side races, through the whole program on real drives.
#include "scanners/frmDrivePass.h"
#include "support/ProgramHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <set>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {
namespace {

using testsupport::ProgramHarness;
using testsupport::ReportCatcher;
namespace fs = std::filesystem;
const auto lines = testsupport::reportLines;

// A "\" inside a host name, as the program carries it: U+F000 + its code.
const std::string Bs = "\xEF\x81\x9C";

const std::string AllWent = "Успешно завершено.";
const std::string SelectedWent = "Завершено успешно.";

std::string notAllWent(int deleted, int tried)
{
    return "Удалено файлов: " + std::to_string(deleted) + " из " + std::to_string(tried) +
           ".\r\nНе удалось удалить: " + std::to_string(tried - deleted) + ".";
}

std::set<std::string> listed(const FileListBox& files)
{
    const auto names = files.items();
    return {names.begin(), names.end()};
}

// Selects exactly the entry with this name; false when it is not listed.
bool selectOnly(FileListBox& files, const std::string& name)
{
    bool found = false;
    for (std::size_t i = 0; i < files.listCount(); ++i) {
        const bool hit = files.list(i) == name;
        files.setSelected(i, hit);
        found = found || hit;
    }
    return found;
}

bool isFifo(const fs::path& p)
{
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

// A bind mount that goes when the test ends, however it ends.
class BindMount {
public:
    BindMount(const fs::path& from, const fs::path& onto) : m_onto(onto)
    {
        m_mounted = ::mount(from.c_str(), onto.c_str(), nullptr, MS_BIND, nullptr) == 0;
        if (!m_mounted) m_error = std::strerror(errno);
    }
    ~BindMount()
    {
        if (m_mounted) ::umount2(m_onto.c_str(), MNT_DETACH);
    }
    BindMount(const BindMount&) = delete;
    BindMount& operator=(const BindMount&) = delete;
    bool mounted() const { return m_mounted; }
    std::string skipReason() const { return "cannot bind-mount here (" + m_error + "); needs root with CAP_SYS_ADMIN"; }

private:
    fs::path m_onto;
    bool m_mounted = false;
    std::string m_error;
};

// ---- names holding "\" and other characters no Windows name can hold ----

class HostMappingOddNames : public ::testing::Test {
protected:
    void SetUp() override
    {
        h.root.write("c/TEMP/..\\Important.tmp", "1");
        h.root.write("c/TEMP/..\\Important\\x.tmp", "22");
        h.root.write("c/TEMP/x\\y.tmp", "333");
        h.root.write("c/TEMP/q?*|<>\":.tmp", "4444");
        h.root.write("c/TEMP/ctl\t.tmp", "55555");
        h.root.write("c/TEMP/keep.txt", "k");
        // What joining each name to its folder and parsing the result would reach instead.
        h.root.write("c/Important.tmp", "outside-1");
        h.root.write("c/Important/x.tmp", "outside-22");
        h.root.write("c/TEMP/x/y.tmp", "below-333");
    }
    void expectOutsideKept() const
    {
        EXPECT_EQ(testsupport::readHostFile(h.host("c/Important.tmp")), "outside-1");
        EXPECT_EQ(testsupport::readHostFile(h.host("c/Important/x.tmp")), "outside-22");
        EXPECT_EQ(testsupport::readHostFile(h.host("c/TEMP/x/y.tmp")), "below-333");
        EXPECT_TRUE(h.root.exists("c/TEMP/keep.txt"));
    }
    const std::string upImportant = ".." + Bs + "Important.tmp";
    const std::string upImportantX = ".." + Bs + "Important" + Bs + "x.tmp";
    const std::string xy = "x" + Bs + "y.tmp";
    const std::string ctl = "ctl\xEF\x80\x89.tmp";
    const std::string odd = "q\xEF\x80\xBF\xEF\x80\xAA\xEF\x81\xBC\xEF\x80\xBC\xEF\x80\xBE\xEF\x80\xA2\xEF\x80\xBA.tmp";
    ProgramHarness h;
};

TEST_F(HostMappingOddNames, DeleteAllTakesExactlyTheListedEntriesAndCountsThemRight)
{
    auto& main = h.start();
    EXPECT_EQ(listed(main.filFiles), (std::set<std::string>{upImportant, upImportantX, xy, odd, ctl}));
    main.mnuSelectAll.click();
    main.timUpdate_Timer();
    EXPECT_EQ(main.lblEntries.caption(), "5 файлов, 5 файлов выделено, всего 15 байт") << "sized by their own names";

    h.fe.answers = {MsgResult::Yes};
    main.cmdDelete.click();
    ASSERT_EQ(h.fe.boxes.size(), 2u);
    EXPECT_EQ(h.fe.boxes[0].spec.text,
              "Вы действительно хотите удалить все временные файлы (5) из папки:\r\n\r\n'C:\\TEMP'?");
    EXPECT_EQ(h.fe.boxes[1].spec.text, AllWent);
    for (const char* gone : {"c/TEMP/..\\Important.tmp", "c/TEMP/..\\Important\\x.tmp", "c/TEMP/x\\y.tmp",
                             "c/TEMP/q?*|<>\":.tmp", "c/TEMP/ctl\t.tmp"})
        EXPECT_FALSE(h.root.exists(gone)) << gone;
    expectOutsideKept();
    EXPECT_EQ(main.filFiles.listCount(), 0u);
}

TEST_F(HostMappingOddNames, DeleteSelectedTakesOnlyTheSelectedOddName)
{
    auto& main = h.start();
    ASSERT_TRUE(selectOnly(main.filFiles, upImportant));
    main.timUpdate_Timer();
    EXPECT_EQ(main.lblEntries.caption(), "5 файлов, 1 файл выделен, всего 1 байт");
    h.fe.answers = {MsgResult::Yes};
    main.cmdDeleteSelected.click();
    ASSERT_EQ(h.fe.boxes.size(), 2u);
    EXPECT_EQ(h.fe.boxes[0].spec.text,
              "Вы действительно хотите удалить все выделенные временные файлы (1) из папки:\r\n\r\n'C:\\TEMP'?");
    EXPECT_EQ(h.fe.boxes[1].spec.text, SelectedWent);
    EXPECT_FALSE(h.root.exists("c/TEMP/..\\Important.tmp"));
    EXPECT_TRUE(h.root.exists("c/TEMP/..\\Important\\x.tmp"));
    EXPECT_TRUE(h.root.exists("c/TEMP/x\\y.tmp"));
    expectOutsideKept();
    EXPECT_EQ(listed(main.filFiles), (std::set<std::string>{upImportantX, xy, odd, ctl}));
}

TEST(HostMappingNullPass, AnEmptyOddNameIsReportedSizedAndDeletedAloneByItsOwnName)
{
    ProgramHarness h;
    h.root.write("c/TEMP/..\\keep.tmp");            // empty: junk
    h.root.write("c/keep.tmp", "full");             // what "C:\TEMP\..\keep.tmp" would reach
    h.root.write("c/TEMP/a\\b.txt", "not empty");   // not junk ...
    h.root.write("c/TEMP/a/b.txt");                 // ... though "C:\TEMP\a\b.txt" is empty
    h.setOption("JumpOnStartup", "C:\\TEMP");
    auto& main = h.start();
    ReportCatcher report(h);
    h.fe.answers = {MsgResult::Yes, MsgResult::OK, MsgResult::Yes};
    main.cmdNullPass.click();
    EXPECT_EQ(report.text, lines({testsupport::Started, "", "Проверка папки: C:\\TEMP", "",
                                  "Найден файл (размер 0 байт): .." + Bs + "keep.tmp", testsupport::Ended}));
    ASSERT_EQ(h.fe.boxes.size(), 3u) << "every file found went: no further message";
    EXPECT_EQ(h.fe.boxes[2].spec.text, "Удалить файлы (1) размером 0 байт из папки C:\\TEMP ?");
    EXPECT_FALSE(h.root.exists("c/TEMP/..\\keep.tmp"));
    EXPECT_EQ(testsupport::readHostFile(h.host("c/keep.tmp")), "full");
    EXPECT_TRUE(h.root.exists("c/TEMP/a\\b.txt"));
    EXPECT_TRUE(h.root.exists("c/TEMP/a/b.txt"));
}

TEST(HostMappingRecycleBin, SubfoldersNamedLikeParentsAreEmptiedInsideTheBinOnlyAndTheCommandEnds)
{
    ProgramHarness h;
    h.root.mkdir("c/TEMP");
    h.root.write("c/Recycled/DC1.txt");
    h.root.write("c/Recycled/..\\/f.txt");
    h.root.write("c/Recycled/..\\/Deeper/g.txt");
    h.root.write("c/Recycled/..\\Victim/h.txt");
    h.root.write("c/f.txt", "outside");
    h.root.write("c/Deeper/g.txt", "outside");
    h.root.write("c/Victim/h.txt", "outside");
    h.root.write("c/Victim/Sub/i.txt", "outside");
    // In a child with an alarm: a walk that never ends fails here instead of hanging the suite.
    EXPECT_EXIT(
        {
            ::alarm(20);
            auto& main = h.start();
            main.cmdRecycled.click();
            const bool told = !h.fe.boxes.empty() &&
                              h.fe.boxes.back().spec.text == "Очистка корзины Windows успешно завершена.";
            std::_Exit(told ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_TRUE(fs::is_empty(h.host("c/Recycled"))) << "every file and subfolder of the bin went";
    for (const char* kept : {"c/f.txt", "c/Deeper/g.txt", "c/Victim/h.txt", "c/Victim/Sub/i.txt"})
        EXPECT_EQ(testsupport::readHostFile(h.host(kept)), "outside") << kept;
}

TEST(HostMappingRecentPass, OnlyTheRecentFolderIsEmptiedWhateverItsNamesSay)
{
    ProgramHarness h;
    h.root.mkdir("c/TEMP");
    h.root.write("c/Documents and Settings/U/Recent/..\\x.lnk");
    h.root.write("c/Documents and Settings/U/Recent/..\\..\\y.lnk");
    h.root.write("c/Documents and Settings/U/x.lnk", "outside");
    h.root.write("c/Documents and Settings/U/Desktop/y.lnk", "outside");
    h.root.write("c/Documents and Settings/y.lnk", "outside");
    h.root.write("c/Elsewhere/x.lnk", "outside");
    auto& main = h.start();
    ReportCatcher report(h);
    main.cmdRecentPass.click();
    EXPECT_EQ(h.fe.boxes.back().spec.text, "2 ярлыка было найдено при осмотре директорий документов.");
    EXPECT_NE(report.text.find("Найден(ы) ярлык(и): 2 шт. Папка: c:\\Documents and Settings\\U\\Recent\r\n"),
              std::string::npos)
        << report.text;
    EXPECT_TRUE(fs::is_empty(h.host("c/Documents and Settings/U/Recent")));
    for (const char* kept : {"c/Documents and Settings/U/x.lnk", "c/Documents and Settings/U/Desktop/y.lnk",
                             "c/Documents and Settings/y.lnk", "c/Elsewhere/x.lnk"})
        EXPECT_EQ(testsupport::readHostFile(h.host(kept)), "outside") << kept;
}

TEST(HostMappingDriveScan, ASubfolderNamedLikeTheParentIsWalkedAsItselfAndTheWalkEnds)
{
    ProgramHarness h;
    h.root.mkdir("c/TEMP");
    h.root.write("c/W/..\\/a.tmp");
    h.root.write("c/W/..\\/Sub/b.tmp");
    h.root.write("c/W/w.tmp");
    h.root.write("c/a.tmp"); // what "C:\W\..\a.tmp" would name
    h.root.write("c/Sub/b.tmp");
    const std::vector<std::string> expected{"C:\\W\\.." + Bs + "\\Sub\\b.tmp", "C:\\W\\.." + Bs + "\\a.tmp",
                                            "C:\\W\\w.tmp"};
    EXPECT_EXIT(
        {
            ::alarm(20);
            h.start();
            auto& scan = h.app->driveScanWindow().get();
            scan.dirDirectorie.setPath("C:\\W");
            scan.cmdScan.click();
            const auto found = scan.lstParasites.items();
            if (found != expected)
                for (const auto& f : found) std::cerr << "listed: " << f << "\n";
            std::_Exit(found == expected ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(HostMappingFolderTree, ASubfolderNamedLikeAPathOpensAsItselfAndUpComesBack)
{
    ProgramHarness h;
    h.root.write("c/TEMP/..\\Other/in.tmp");
    h.root.write("c/Other/out.tmp");
    auto& main = h.start();
    const std::string odd = "C:\\TEMP\\.." + Bs + "Other";
    const auto& subs = main.dirDirectories.subfolders();
    const auto at = std::find(subs.begin(), subs.end(), odd);
    ASSERT_NE(at, subs.end());
    main.dirDirectories.open(static_cast<std::size_t>(at - subs.begin()));
    EXPECT_EQ(main.dirDirectories.path(), odd);
    EXPECT_EQ(main.filFiles.path(), odd);
    EXPECT_EQ(main.filFiles.items(), std::vector<std::string>{"in.tmp"});
    main.cmdUpOneLevel.click();
    EXPECT_EQ(main.dirDirectories.path(), "C:\\TEMP");
}

// ---- races with the host and links ----

TEST(HostMappingRaces, ASelectedEntryThatVanishesBeforeTheYesIsNotTakenForItsNamesake)
{
    ProgramHarness h;
    h.root.write("c/TEMP/a.tmp", "lower");
    h.root.write("c/TEMP/A.TMP", "UPPER");
    auto& main = h.start();
    ASSERT_EQ(main.filFiles.listCount(), 2u);
    ASSERT_TRUE(selectOnly(main.filFiles, "a.tmp"));
    main.timUpdate_Timer();
    h.fe.onBox = [&](const MessageBoxSpec& spec) {
        if (spec.buttons == MsgButtons::YesNo) fs::remove(h.host("c/TEMP/a.tmp"));
    };
    h.fe.answers = {MsgResult::Yes};
    main.cmdDeleteSelected.click();
    ASSERT_EQ(h.fe.boxes.size(), 2u);
    EXPECT_EQ(h.fe.boxes[0].spec.text,
              "Вы действительно хотите удалить все выделенные временные файлы (1) из папки:\r\n\r\n'C:\\TEMP'?");
    EXPECT_EQ(h.fe.boxes[1].spec.text, notAllWent(0, 1));
    EXPECT_EQ(h.fe.boxes[1].spec.title, "Velmora");
    EXPECT_EQ(h.fe.boxes[1].spec.buttons, MsgButtons::OK);
    EXPECT_EQ(h.fe.boxes[1].spec.icon, MsgIcon::Exclamation);
    EXPECT_EQ(testsupport::readHostFile(h.host("c/TEMP/A.TMP")), "UPPER");
}

TEST(HostMappingRaces, AListedFolderSwappedForALinkBeforeTheYesLeavesTheOtherFolderAlone)
{
    for (const bool selectedOnly : {false, true}) {
        SCOPED_TRACE(selectedOnly ? "delete selected" : "delete all");
        ProgramHarness h;
        h.root.write("c/TEMP/a.tmp", "1");
        h.root.write("c/TEMP/b.bak", "2");
        h.root.write("c/Other/a.tmp", "other");
        h.root.write("c/Other/b.bak", "other");
        auto& main = h.start();
        main.mnuSelectAll.click();
        main.timUpdate_Timer();
        h.fe.onBox = [&](const MessageBoxSpec& spec) {
            if (spec.buttons != MsgButtons::YesNo) return;
            fs::rename(h.host("c/TEMP"), h.host("c/TEMP.old"));
            fs::create_directory_symlink(h.host("c/Other"), h.host("c/TEMP"));
        };
        h.fe.answers = {MsgResult::Yes};
        (selectedOnly ? main.cmdDeleteSelected : main.cmdDelete).click();
        ASSERT_EQ(h.fe.boxes.size(), 2u);
        EXPECT_EQ(h.fe.boxes[1].spec.text, notAllWent(0, 2));
        EXPECT_EQ(testsupport::readHostFile(h.host("c/Other/a.tmp")), "other");
        EXPECT_EQ(testsupport::readHostFile(h.host("c/Other/b.bak")), "other");
    }
}

TEST(HostMappingLinkedFolder, JunkInAStartFolderReachedThroughALinkGoesAndSuccessIsTold)
{
    ProgramHarness h;
    h.root.mkdir("c/TEMP");
    h.root.write("c/real/a.tmp", "a");
    h.root.write("c/real/b.bak", "b");
    h.root.write("c/real/zero.log");
    h.root.write("c/real/keep.txt", "k");
    fs::create_directory_symlink(h.host("c/real"), h.host("c/home"));
    h.setOption("JumpOnStartup", "C:\\home");
    auto& main = h.start();
    ASSERT_EQ(main.dirDirectories.path(), "C:\\home");
    ASSERT_EQ(main.filFiles.listCount(), 2u);

    ASSERT_TRUE(selectOnly(main.filFiles, "a.tmp"));
    main.timUpdate_Timer();
    h.fe.answers = {MsgResult::Yes};
    main.cmdDeleteSelected.click();
    ASSERT_EQ(h.fe.boxes.size(), 2u);
    EXPECT_EQ(h.fe.boxes[1].spec.text, SelectedWent);
    EXPECT_FALSE(h.root.exists("c/real/a.tmp"));

    h.fe.answers = {MsgResult::Yes};
    main.cmdDelete.click();
    ASSERT_EQ(h.fe.boxes.size(), 4u);
    EXPECT_EQ(h.fe.boxes[3].spec.text, AllWent);
    EXPECT_FALSE(h.root.exists("c/real/b.bak"));

    h.fe.answers = {MsgResult::Yes, MsgResult::OK, MsgResult::Yes};
    main.cmdNullPass.click();
    EXPECT_EQ(h.fe.boxes.size(), 7u) << "the empty file went: nothing more is told";
    EXPECT_FALSE(h.root.exists("c/real/zero.log"));
    EXPECT_EQ(testsupport::readHostFile(h.host("c/real/keep.txt")), "k");
    EXPECT_TRUE(fs::is_symlink(h.host("c/home")));
}

// ---- other mounts, bind mounts included, are never entered ----

TEST(HostMappingMounts, TheRecycleBinNeverEmptiesAFolderMountedInsideIt)
{
    ProgramHarness h;
    h.root.mkdir("c/TEMP");
    h.root.write("c/Recycled/DC1.txt");
    h.root.write("c/Recycled/Own/o.txt");
    h.root.mkdir("c/Recycled/sub");
    h.root.write("c/Outside/precious.txt", "keep");
    h.root.write("c/Outside/Inner/deep.txt", "keep");
    BindMount mount(h.host("c/Outside"), h.host("c/Recycled/sub"));
    if (!mount.mounted()) GTEST_SKIP() << mount.skipReason();
    auto& main = h.start();
    main.cmdRecycled.click();
    EXPECT_FALSE(h.root.exists("c/Recycled/DC1.txt"));
    EXPECT_FALSE(h.root.exists("c/Recycled/Own"));
    EXPECT_EQ(testsupport::readHostFile(h.host("c/Outside/precious.txt")), "keep");
    EXPECT_EQ(testsupport::readHostFile(h.host("c/Outside/Inner/deep.txt")), "keep");
}

TEST(HostMappingMounts, RecentPassPassesOverAMountedRecentFolder)
{
    ProgramHarness h;
    h.root.mkdir("c/TEMP");
    h.root.write("c/Documents and Settings/U/Cookies/u@site[1].txt");
    h.root.mkdir("c/Documents and Settings/U/Recent");
    h.root.write("c/Elsewhere/mine.lnk", "keep");
    h.root.write("c/Elsewhere/other.lnk", "keep");
    BindMount mount(h.host("c/Elsewhere"), h.host("c/Documents and Settings/U/Recent"));
    if (!mount.mounted()) GTEST_SKIP() << mount.skipReason();
    auto& main = h.start();
    ReportCatcher report(h);
    main.cmdRecentPass.click();
    EXPECT_EQ(h.fe.boxes.back().spec.text, "1 ярлык было найдено при осмотре директорий документов.")
        << "only the real Cookies folder counts";
    EXPECT_EQ(report.text.find("Recent"), std::string::npos) << report.text;
    EXPECT_FALSE(h.root.exists("c/Documents and Settings/U/Cookies/u@site[1].txt"));
    EXPECT_EQ(testsupport::readHostFile(h.host("c/Elsewhere/mine.lnk")), "keep");
    EXPECT_EQ(testsupport::readHostFile(h.host("c/Elsewhere/other.lnk")), "keep");
}

TEST(HostMappingMounts, TheDriveScanListsNothingFromAMountInsideTheWalkedTree)
{
    ProgramHarness h;
    h.root.mkdir("c/TEMP");
    h.root.write("c/W/A/a.tmp");
    h.root.write("c/W/w.tmp");
    h.root.mkdir("c/W/Again");
    h.root.mkdir("c/W/M");
    h.root.write("c/Outside/o.tmp");
    BindMount again(h.host("c/W/A"), h.host("c/W/Again")); // the same files a second time
    BindMount outside(h.host("c/Outside"), h.host("c/W/M"));
    if (!again.mounted()) GTEST_SKIP() << again.skipReason();
    if (!outside.mounted()) GTEST_SKIP() << outside.skipReason();
    h.start();
    auto& scan = h.app->driveScanWindow().get();
    scan.dirDirectorie.setPath("C:\\W");
    scan.cmdScan.click();
    EXPECT_EQ(scan.lstParasites.items(), (std::vector<std::string>{"C:\\W\\A\\a.tmp", "C:\\W\\w.tmp"}));
}

// ---- the status line ----

TEST(HostMappingStatusLine, OneHundredThousandVanishedSelectedNamesCostOneQuickUpdate)
{
    constexpr int Count = 100000;
    ProgramHarness h;
    const auto folder = h.root.mkdir("c/TEMP");
    // Names linked to a few one-byte files: a new name costs far less than a new file, and a
    // file holds at most 65,000 names on some hosts.
    constexpr int NamesPerFile = 50000;
    for (int seed = 0; seed < Count / NamesPerFile; ++seed)
        h.root.write("c/Seed/" + std::to_string(seed) + ".dat", "x");
    const int seeds = ::open(h.host("c/Seed").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(seeds, 0);
    ASSERT_GE(dir, 0);
    auto name = [](int i) {
        char text[32];
        std::snprintf(text, sizeof text, "f%06d.tmp", i);
        return std::string(text);
    };
    for (int i = 0; i < Count; ++i) {
        const std::string seed = std::to_string(i / NamesPerFile) + ".dat";
        ASSERT_EQ(::linkat(seeds, seed.c_str(), dir, name(i).c_str(), 0), 0) << std::strerror(errno);
    }
    ::close(seeds);
    auto& main = h.start();
    ASSERT_EQ(main.filFiles.listCount(), static_cast<std::size_t>(Count));
    for (std::size_t i = 0; i < main.filFiles.listCount(); ++i) main.filFiles.setSelected(i, true);
    main.timUpdate_Timer();
    EXPECT_EQ(main.lblEntries.caption(), "100000 файлов, 100000 файлов выделено, всего 100000 байт");

    for (int i = 0; i < Count; ++i) ASSERT_EQ(::unlinkat(dir, name(i).c_str(), 0), 0);
    ::close(dir);
    const auto start = std::chrono::steady_clock::now();
    main.timUpdate_Timer();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::seconds(1))
        << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";

    const std::string expected = "100000 файлов, 100000 файлов выделено, всего 0 байт";
    int updates = 0;
    while (updates < 20 && main.lblEntries.caption() != expected) {
        main.timUpdate_Timer();
        ++updates;
    }
    EXPECT_EQ(main.lblEntries.caption(), expected) << "after 1 + " << updates << " updates";
}

TEST(HostMappingStatusLine, AFileGrownThroughAHardLinkElsewhereIsCountedWithinTwentyUpdates)
{
    ProgramHarness h;
    const auto folder = h.root.mkdir("c/TEMP");
    for (int i = 0; i < 500; ++i) std::ofstream(folder / ("a" + std::to_string(i) + ".tmp"));
    h.root.write("c/TEMP/zz.tmp", "12");
    h.root.mkdir("c/Other");
    fs::create_hard_link(h.host("c/TEMP/zz.tmp"), h.host("c/Other/alias.dat"));
    auto& main = h.start();
    main.mnuSelectAll.click();
    main.timUpdate_Timer();
    ASSERT_EQ(main.lblEntries.caption(), "501 файл, 501 файл выделен, всего 2 байт");
    {
        std::ofstream grow(h.host("c/Other/alias.dat"), std::ios::binary | std::ios::app);
        grow << std::string(5000, 'x');
    }
    const std::string expected = "501 файл, 501 файл выделен, всего 5002 байт";
    int updates = 0;
    while (updates < 20 && main.lblEntries.caption() != expected) {
        main.timUpdate_Timer();
        ++updates;
    }
    EXPECT_EQ(main.lblEntries.caption(), expected);
}

// ---- start-up ----

TEST(HostMappingStartUp, AFifoNamedLikeAHelpFileNeverStopsStartUp)
{
    ProgramHarness h;
    h.root.mkdir("c/TEMP");
    h.root.write("c/Program/vlm2-2.htm", "<html></html>");
    h.root.write("c/Program/getinto.gif", "GIF89a");
    h.root.write("c/Program/new.gif", "GIF89a");
    h.root.mkdir("c/WINDOWS/help");
    ASSERT_EQ(::mkfifo(h.host("c/Program/comp.gif").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo(h.host("c/WINDOWS/help/new.gif").c_str(), 0644), 0); // a FIFO as the destination
    ASSERT_TRUE(h.fs->setCurrentFolder("C:\\Program"));
    EXPECT_EXIT(
        {
            ::alarm(10);
            h.start();
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(testsupport::readHostFile(h.host("c/WINDOWS/help/vlm2-2.htm")), "<html></html>");
    EXPECT_EQ(testsupport::readHostFile(h.host("c/WINDOWS/help/getinto.gif")), "GIF89a")
        << "the copies after the FIFO are made";
    EXPECT_FALSE(h.root.exists("c/WINDOWS/help/comp.gif"));
    EXPECT_TRUE(isFifo(h.host("c/Program/comp.gif")));
}

TEST(HostMappingStartUp, AnEmptyTmpFallsBackToTempThenToTheDefault)
{
    {
        ProgramHarness h;
        h.root.mkdir("c/TEMP");
        h.root.mkdir("c/T2");
        h.env.set("TMP", "");
        h.env.set("TEMP", "C:\\T2");
        auto& main = h.start();
        EXPECT_EQ(main.dirDirectories.path(), "C:\\T2");
        EXPECT_EQ(main.filFiles.path(), "C:\\T2");
    }
    {
        ProgramHarness h;
        h.root.mkdir("c/TEMP");
        h.root.mkdir("c/T2");
        h.env.set("TMP", "");
        h.env.set("TEMP", "");
        auto& main = h.start();
        EXPECT_EQ(main.dirDirectories.path(), "C:\\TEMP");
    }
}

// ---- spellings and the tree ----

TEST(HostMappingAutoPass, ATempFolderIsCountedWhateverItsSpelling)
{
    for (const std::string spelling : {"C:\\Junk\\", "c:/Junk", "c:\\Windows\\..\\Junk"}) {
        SCOPED_TRACE(spelling);
        ProgramHarness h;
        h.root.mkdir("c/TEMP");
        h.root.write("c/Junk/a.tmp");
        h.root.write("c/Junk/b.bak");
        h.root.write("c/Junk/keep.txt");
        h.env.set("temp", spelling);
        auto& main = h.start();
        ReportCatcher report(h);
        main.cmdAutoPass.click();
        EXPECT_NE(report.text.find("Найден(ы) файл(ы): 2 шт. в папке " + spelling + "\r\n"), std::string::npos)
            << report.text;
        EXPECT_EQ(h.fe.boxes.back().spec.text, "2 файла было найдено в директориях временных файлов.");
    }
}

TEST(HostMappingUpOneLevel, AParentThatCannotBeListedLeavesTheTreeWhereTheListIs)
{
    ProgramHarness h;
    h.root.mkdir("c/TEMP");
    h.root.write("c/A/B/b.tmp");
    h.setOption("JumpOnStartup", "C:\\A\\B");
    testsupport::openTreeToEveryone(h.root.path());
    chmod(h.host("c/A").c_str(), 0111); // may be passed through, not listed
    EXPECT_EXIT(
        {
            if (!testsupport::dropRootPrivileges()) std::_Exit(3);
            auto& main = h.start();
            if (main.dirDirectories.path() != "C:\\A\\B") std::_Exit(2);
            main.cmdUpOneLevel.click();
            const bool ok = main.dirDirectories.path() == "C:\\A\\B" && main.filFiles.path() == "C:\\A\\B" &&
                            main.filFiles.listCount() == 1;
            if (!ok) std::cerr << "tree " << main.dirDirectories.path() << ", list " << main.filFiles.path() << "\n";
            std::_Exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(HostMappingUpOneLevel, AVanishedFolderFallsBackToTheNearestExistingParent)
{
    ProgramHarness h;
    h.root.mkdir("c/TEMP");
    h.root.mkdir("c/X/Y/Z");
    h.root.write("c/X/x.tmp");
    h.setOption("JumpOnStartup", "C:\\X\\Y\\Z");
    auto& main = h.start();
    ASSERT_EQ(main.dirDirectories.path(), "C:\\X\\Y\\Z");
    fs::remove_all(h.host("c/X/Y"));
    main.cmdUpOneLevel.click();
    EXPECT_EQ(main.dirDirectories.path(), "C:\\X");
    EXPECT_EQ(main.filFiles.path(), "C:\\X");
    EXPECT_EQ(main.filFiles.items(), std::vector<std::string>{"x.tmp"});
}

} // namespace
} // namespace velmora

// The shortcut and cookie scan.
#include "reports/frmReport.h"
#include "rules/Masks.h"

#include "support/ProgramTests.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using testsupport::Ended;
using testsupport::ProgramHarness;
using testsupport::ReportCatcher;
using testsupport::Started;
namespace fs = std::filesystem;
const auto lines = testsupport::reportLines;
using testsupport::BindMount;

class RecentPass : public ::testing::Test {
protected:
    void SetUp() override { h.root.mkdir("c/TEMP"); }
    void run()
    {
        auto& main = h.start();
        testsupport::ReportCatcher catcher(h);
        main.cmdRecentPass.click();
        report = catcher.text;
    }
    std::string summary() const { return h.fe.boxes.back().spec.text; }
    ProgramHarness h;
    std::string report;
};

TEST(HostMappingRecentPass, OnlyTheRecentFolderIsEmptiedWhateverItsNamesSay)
{
    if (const auto why = testsupport::oddNamesMissing()) GTEST_SKIP() << *why;
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

TEST_F(RecentPass, NoProfilesAnywhere)
{
    h.root.write("c/Recent/a.lnk"); // not inside a profile
    run();
    EXPECT_EQ(summary(), "0 ярлыков было найдено при осмотре директорий документов.");
    EXPECT_EQ(report, lines({"Отчет о сканировании на наличие ярлыков", Started,
                             "Ниже приведен список папок, содержащих временные файлы.", "Ярлыков не найдено.", Ended}));
    EXPECT_TRUE(h.root.exists("c/Recent/a.lnk"));
    EXPECT_EQ(h.main().filFiles.pattern(), masks::ExtendedWithoutAlexa);
    EXPECT_EQ(h.main().dirDirectories.path(), "C:\\TEMP") << "the browser goes back to the saved folder";
}

TEST_F(RecentPass, CountsCookiesThenRecentPerProfileInDriveAndParentOrderAndEmptiesThem)
{
    h.root.write("c/Documents and Settings/Anna/Cookies/anna@site[1].txt");
    h.root.write("c/Documents and Settings/Anna/Cookies/anna@other[2].txt");
    h.root.write("c/Documents and Settings/Anna/Cookies/index.dat");
    h.root.write("c/Documents and Settings/notes.txt"); // a file is no profile
    h.root.write("c/Documents and Settings/Boris/Recent/doc.lnk");
    h.root.write("c/Documents and Settings/Boris/Recent/Sub/keep.lnk");
    h.root.write("c/Windows/Profiles/Vera/Recent/a.lnk");
    h.root.write("d/Documents and Settings/Gleb/Recent/b.lnk");
    std::vector<std::string> status;
    h.fe.onControlChanged = [&](Control& c) {
        if (c.name() == "lblScanReady") status.push_back(static_cast<Label&>(c).caption());
    };
    run();
    // The scan status names each folder that holds something, with its count.
    EXPECT_EQ(status, (std::vector<std::string>{"Составляю список папок - диск C", "Составляю список папок - диск D",
                                                "Сканирую c:\\Documents and Settings\\Anna\\Cookies. Найдено: 2",
                                                "Сканирую c:\\Documents and Settings\\Boris\\Recent. Найдено: 1",
                                                "Сканирую c:\\Windows\\Profiles\\Vera\\Recent. Найдено: 1",
                                                "Сканирую d:\\Documents and Settings\\Gleb\\Recent. Найдено: 1",
                                                "Готов сканировать"}));
    EXPECT_EQ(report, lines({"Отчет о сканировании на наличие ярлыков", Started,
                             "Ниже приведен список папок, содержащих временные файлы.",
                             "Найден(ы) ярлык(и): 2 шт. Папка: c:\\Documents and Settings\\Anna\\Cookies",
                             "Найден(ы) ярлык(и): 1 шт. Папка: c:\\Documents and Settings\\Boris\\Recent",
                             "Найден(ы) ярлык(и): 1 шт. Папка: c:\\Windows\\Profiles\\Vera\\Recent",
                             "Найден(ы) ярлык(и): 1 шт. Папка: d:\\Documents and Settings\\Gleb\\Recent", Ended}));
    EXPECT_EQ(summary(), "5 ярлыков было найдено при осмотре директорий документов.");
    EXPECT_FALSE(h.root.exists("c/Documents and Settings/Anna/Cookies/index.dat")) << "every file goes";
    EXPECT_FALSE(h.root.exists("c/Documents and Settings/Boris/Recent/doc.lnk"));
    EXPECT_TRUE(h.root.exists("c/Documents and Settings/Boris/Recent/Sub/keep.lnk")) << "subfolders stay";
    EXPECT_TRUE(h.root.exists("c/Documents and Settings/notes.txt"));
}

TEST_F(RecentPass, EndingsFollowTheWholeTotal)
{
    const std::vector<std::pair<int, std::string>> cases{
        {1, "1 ярлык"}, {2, "2 ярлыка"}, {4, "4 ярлыка"}, {5, "5 ярлыков"}, {21, "21 ярлыков"}};
    for (const auto& [count, start] : cases) {
        ProgramHarness one;
        one.root.mkdir("c/TEMP");
        for (int i = 0; i < count; ++i)
            one.root.write("c/Documents and Settings/U/Recent/" + std::to_string(i) + ".lnk");
        auto& main = one.start();
        main.cmdRecentPass.click();
        EXPECT_EQ(one.fe.boxes.back().spec.text, start + " было найдено при осмотре директорий документов.");
    }
}

TEST_F(RecentPass, NothingCountedDeletesNothing)
{
    h.root.write("c/Documents and Settings/U/Recent/readme.txt");
    run();
    EXPECT_TRUE(h.root.exists("c/Documents and Settings/U/Recent/readme.txt"));
}

TEST_F(RecentPass, ALinkedProfileOrSubfolderIsNeverEmptied)
{
    if (const auto why = testsupport::linksMissing()) GTEST_SKIP() << *why;
    h.root.write("c/Precious/Recent/mine.lnk");
    h.root.write("c/Precious/Cookies/x@y[1].txt");
    h.root.mkdir("c/Documents and Settings/Real");
    h.root.write("c/Documents and Settings/Real/Recent/own.lnk");
    ASSERT_TRUE(testsupport::makeLink(h.host("c/Precious"), h.host("c/Documents and Settings/Linked")));
    ASSERT_TRUE(testsupport::makeLink(h.host("c/Precious/Cookies"), h.host("c/Documents and Settings/Real/Cookies")));
    // The same profiles again through a linked parent: counted once.
    h.root.mkdir("c/Windows");
    ASSERT_TRUE(testsupport::makeLink(h.host("c/Documents and Settings"), h.host("c/Windows/Profiles")));
    run();
    EXPECT_EQ(summary(), "1 ярлык было найдено при осмотре директорий документов.");
    EXPECT_FALSE(h.root.exists("c/Documents and Settings/Real/Recent/own.lnk"));
    EXPECT_TRUE(h.root.exists("c/Precious/Recent/mine.lnk"));
    EXPECT_TRUE(h.root.exists("c/Precious/Cookies/x@y[1].txt"));
}

TEST_F(RecentPass, UsersProfilesKeepTheirsUnderAppDataReachedWithoutLinks)
{
    if (const auto why = testsupport::linksMissing()) GTEST_SKIP() << *why;
    const std::string anna = "c/Users/anna/AppData/";
    h.root.write("c/Documents and Settings/old/Recent/a.lnk");
    h.root.write(anna + "Roaming/Microsoft/Windows/Cookies/anna@site[1].txt");
    h.root.write(anna + "Local/Microsoft/Windows/INetCookies/anna@other[1].txt");
    h.root.write(anna + "Local/Microsoft/Windows/INetCookies/Low/kept.txt");
    h.root.write(anna + "Roaming/Microsoft/Windows/Recent/doc.lnk");
    h.root.write(anna + "Roaming/Microsoft/Windows/Recent/pic.lnk");
    h.root.write(anna + "Roaming/Microsoft/Windows/Recent/note.txt");
    h.root.write("c/Precious/Microsoft/Windows/Recent/mine.lnk");
    h.root.mkdir("c/Users/lara/AppData");
    ASSERT_TRUE(testsupport::makeLink(h.host("c/Precious"), h.host("c/Users/lara/AppData/Roaming")));
    run();
    EXPECT_EQ(
        report,
        lines({"Отчет о сканировании на наличие ярлыков", Started,
               "Ниже приведен список папок, содержащих временные файлы.",
               "Найден(ы) ярлык(и): 1 шт. Папка: c:\\Documents and Settings\\old\\Recent",
               "Найден(ы) ярлык(и): 1 шт. Папка: c:\\Users\\anna\\AppData\\Roaming\\Microsoft\\Windows\\Cookies",
               "Найден(ы) ярлык(и): 1 шт. Папка: c:\\Users\\anna\\AppData\\Local\\Microsoft\\Windows\\INetCookies",
               "Найден(ы) ярлык(и): 2 шт. Папка: c:\\Users\\anna\\AppData\\Roaming\\Microsoft\\Windows\\Recent",
               Ended}));
    EXPECT_EQ(summary(), "5 ярлыков было найдено при осмотре директорий документов.");
    for (const char* sub : {"Roaming/Microsoft/Windows/Cookies", "Roaming/Microsoft/Windows/Recent"})
        EXPECT_TRUE(fs::is_empty(h.host(anna + sub))) << sub;
    EXPECT_FALSE(h.root.exists(anna + "Local/Microsoft/Windows/INetCookies/anna@other[1].txt"));
    EXPECT_TRUE(h.root.exists(anna + "Local/Microsoft/Windows/INetCookies/Low/kept.txt")) << "subfolders stay";
    EXPECT_TRUE(h.root.exists("c/Precious/Microsoft/Windows/Recent/mine.lnk"));
}

} // namespace
} // namespace velmora

// The zero-byte file scan.
#include "reports/frmReport.h"

#include "support/ProgramTests.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace velmora {
namespace {

using testsupport::Ended;
using testsupport::ProgramHarness;
using testsupport::ReportCatcher;
using testsupport::Started;
const auto lines = testsupport::reportLines;
using testsupport::Bs;

class NullPass : public ::testing::Test {
protected:
    void SetUp() override { h.root.mkdir("c/TEMP"); }
    frmScanTemps& startIn(const std::string& folder)
    {
        h.setOption("JumpOnStartup", folder);
        auto& main = h.start();
        return main;
    }
    ProgramHarness h;
};

TEST(HostMappingNullPass, AnEmptyOddNameIsReportedSizedAndDeletedAloneByItsOwnName)
{
    if (const auto why = testsupport::oddNamesMissing()) GTEST_SKIP() << *why;
    ProgramHarness h;
    h.root.write("c/TEMP/..\\keep.tmp");          // empty: junk
    h.root.write("c/keep.tmp", "full");           // what "C:\TEMP\..\keep.tmp" would reach
    h.root.write("c/TEMP/a\\b.txt", "not empty"); // not junk ...
    h.root.write("c/TEMP/a/b.txt");               // ... though "C:\TEMP\a\b.txt" is empty
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

TEST_F(NullPass, ReportsAndDeletesExactlyTheEmptyFilesOfThisRun)
{
    h.root.write("c/TEMP/empty1.txt");
    h.root.write("c/TEMP/full.tmp", "data");
    h.root.write("c/TEMP/empty2.dat");
    h.root.write("c/TEMP/Sub/empty-below.txt");
    auto& main = startIn("C:\\TEMP");
    const std::string mask = main.filFiles.pattern();
    ReportCatcher report(h);
    h.fe.answers = {MsgResult::Yes, MsgResult::OK, MsgResult::Yes};
    main.cmdNullPass.click();
    EXPECT_EQ(report.title, "Velmora - отчет");
    EXPECT_EQ(report.text,
              lines({Started, "", "Проверка папки: C:\\TEMP", "", "Найден файл (размер 0 байт): empty1.txt",
                     "Найден файл (размер 0 байт): empty2.dat", Ended}));
    ASSERT_EQ(h.fe.boxes.size(), 3u);
    EXPECT_EQ(h.fe.boxes[1].spec.text, "Операция успешно завершена");
    EXPECT_EQ(h.fe.boxes[2].spec.text, "Удалить файлы (2) размером 0 байт из папки C:\\TEMP ?");
    EXPECT_FALSE(h.root.exists("c/TEMP/empty1.txt"));
    EXPECT_FALSE(h.root.exists("c/TEMP/empty2.dat"));
    EXPECT_TRUE(h.root.exists("c/TEMP/full.tmp"));
    EXPECT_TRUE(h.root.exists("c/TEMP/Sub/empty-below.txt"));
    EXPECT_EQ(main.filFiles.pattern(), mask);
}

TEST_F(NullPass, DeclinedThenALaterRunElsewhereDeletesOnlyItsOwn)
{
    for (auto f : {"a", "b", "c"}) h.root.write(std::string("c/TEMP/") + f + ".txt");
    h.root.write("c/Other/z.txt");
    auto& main = startIn("C:\\TEMP");
    ReportCatcher report(h);
    h.fe.answers = {MsgResult::Yes, MsgResult::OK, MsgResult::No};
    main.cmdNullPass.click();
    EXPECT_EQ(h.fe.boxes.back().spec.text, "Удалить файлы (3) размером 0 байт из папки C:\\TEMP ?");
    main.dirDirectories.setPath("C:\\Other");
    h.fe.answers = {MsgResult::Yes, MsgResult::OK, MsgResult::Yes};
    main.cmdNullPass.click();
    EXPECT_EQ(h.fe.boxes.back().spec.text, "Удалить файлы (1) размером 0 байт из папки C:\\Other ?");
    EXPECT_FALSE(h.root.exists("c/Other/z.txt"));
    for (auto f : {"a", "b", "c"}) EXPECT_TRUE(h.root.exists(std::string("c/TEMP/") + f + ".txt"));
}

TEST_F(NullPass, AFileWrittenMeanwhileIsKeptAndOneDeletedMeanwhileCountsAsGone)
{
    for (auto f : {"grows.log", "gone.log", "stays.log"}) h.root.write(std::string("c/TEMP/") + f);
    auto& main = startIn("C:\\TEMP");
    h.fe.onModal = [&](Form&) {
        h.root.write("c/TEMP/grows.log", "now written");
        std::filesystem::remove(h.host("c/TEMP/gone.log"));
    };
    h.fe.answers = {MsgResult::Yes, MsgResult::OK, MsgResult::Yes, MsgResult::OK};
    main.cmdNullPass.click();
    EXPECT_TRUE(h.root.exists("c/TEMP/grows.log"));
    EXPECT_FALSE(h.root.exists("c/TEMP/stays.log"));
    EXPECT_EQ(h.fe.boxes.back().spec.text, "Удалено файлов: 2 из 3.\r\nНе удалось удалить: 1.");
}

TEST_F(NullPass, EmptyFolderNoEmptyFilesAndTheDriveRoot)
{
    auto& main = startIn("C:\\TEMP");
    ReportCatcher report(h);
    h.fe.answers = {MsgResult::Yes};
    main.cmdNullPass.click();
    const std::string none =
        lines({Started, "", "Проверка папки: C:\\TEMP", "", "Файлов с нулевым размером не найдено.", Ended});
    EXPECT_EQ(report.text, none);
    EXPECT_EQ(h.fe.boxes.size(), 2u) << "no deletion question";

    h.root.write("c/TEMP/x.tmp", "full");
    h.fe.answers = {MsgResult::Yes};
    main.cmdNullPass.click();
    EXPECT_EQ(report.text, none);

    h.root.write("d/zero.tmp");
    main.dirDirectories.setPath("D:\\");
    h.fe.answers = {MsgResult::Yes, MsgResult::OK, MsgResult::Yes};
    main.cmdNullPass.click();
    EXPECT_EQ(report.text,
              lines({Started, "", "Проверка папки: D:\\", "", "Найден файл (размер 0 байт): zero.tmp", Ended}));
    EXPECT_FALSE(h.root.exists("d/zero.tmp"));

    h.fe.answers = {MsgResult::No};
    const auto boxes = h.fe.boxes.size();
    main.cmdNullPass.click();
    EXPECT_EQ(h.fe.boxes.size(), boxes + 1) << "declining the question ends the command";
}

} // namespace
} // namespace velmora

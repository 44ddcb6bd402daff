// The report window, the automatic junk scan and the zero-byte scan, with whole report texts.
#include "platform/Text.h"
#include "reports/frmReport.h"
#include "rules/Masks.h"
#include "support/ProgramHarness.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using testsupport::ProgramHarness;
namespace fs = std::filesystem;

using testsupport::Ended;
using testsupport::ReportCatcher;
using testsupport::Started;
const auto lines = testsupport::reportLines;

class AutoPass : public ::testing::Test {
protected:
    AutoPass() : h("a:=" + (h0.path() / "floppy").string()) {}
    testsupport::TempDir h0;
    ProgramHarness h;
};

TEST_F(AutoPass, ReportsEachJunkFolderInScanOrderAndEndsInTheLastOne)
{
    h.root.write("c/Windows/temp/1.tmp");
    h.root.write("c/Windows/temp/2.tmp");
    h.root.write("c/Windows/temp/3.bak");
    h.root.write("c/temp/4.tmp");
    h.root.write("c/Other/not-junk.txt");
    h0.write("floppy/Windows/temp/floppy.tmp");
    h.env.set("temp", "C:\\Other");
    auto& main = h.start();
    ReportCatcher report(h);
    main.cmdAutoPass.click();
    EXPECT_EQ(report.title, "Velmora - отчет об автоматическом сканировании");
    EXPECT_EQ(report.text, lines({"Отчет об автоматическом сканировании", Started,
                                  "Ниже приведен список папок, содержащих временные файлы.",
                                  "Найден(ы) файл(ы): 3 шт. в папке c:\\Windows\\temp",
                                  "Найден(ы) файл(ы): 1 шт. в папке c:\\temp", Ended}));
    ASSERT_EQ(h.fe.boxes.size(), 1u);
    EXPECT_EQ(h.fe.boxes[0].spec.text, "4 файла было найдено в директориях временных файлов.");
    EXPECT_EQ(main.dirDirectories.path(), "c:\\temp");
    EXPECT_EQ(main.lblScanReady.caption(), "Готов сканировать");
}

TEST_F(AutoPass, NothingFoundAndExactlyOne)
{
    auto& main = h.start();
    ReportCatcher report(h);
    main.cmdAutoPass.click();
    EXPECT_EQ(report.text, lines({"Отчет об автоматическом сканировании", Started,
                                  "Ниже приведен список папок, содержащих временные файлы.",
                                  "Временных файлов не найдено.", Ended}));
    EXPECT_EQ(h.fe.boxes.back().spec.text, "0 файлов было найдено в директориях временных файлов.");

    h.root.write("d/tmp/only.tmp");
    main.cmdAutoPass.click();
    EXPECT_EQ(h.fe.boxes.back().spec.text, "1 файл было найдено в директориях временных файлов.");
    EXPECT_EQ(main.dirDirectories.path(), "d:\\tmp");
}

TEST_F(AutoPass, TheEnvironmentFolderJoinsOnlyItsOwnDriveAndNeverTwice)
{
    h.root.write("d/Work/Temp/a.tmp");
    h.root.write("c/Windows/temp/b.tmp");
    h.env.set("TMP", "D:\\Work\\Temp"); // "temp" empty: "tmp" is taken
    auto& main = h.start();
    ReportCatcher report(h);
    main.cmdAutoPass.click();
    EXPECT_EQ(report.text, lines({"Отчет об автоматическом сканировании", Started,
                                  "Ниже приведен список папок, содержащих временные файлы.",
                                  "Найден(ы) файл(ы): 1 шт. в папке c:\\Windows\\temp",
                                  "Найден(ы) файл(ы): 1 шт. в папке D:\\Work\\Temp", Ended}));

    h.env.set("temp", "c:\\Windows\\temp"); // exactly a standard folder's text
    main.cmdAutoPass.click();
    EXPECT_EQ(std::count(report.text.begin(), report.text.end(), '\n'), 4) << report.text;
}

TEST_F(AutoPass, CountsWithTheMaskInForceAndNeverOnFloppies)
{
    h.root.write("c/temp/a.tmp");
    h.root.write("c/temp/b.bak");
    h0.write("floppy/temp/c.tmp");
    h.env.unset("TMP"); // otherwise "C:\\TEMP" joins as a seventh folder, the same one spelled otherwise
    auto& main = h.start();
    main.mnuExt.click();
    main.cboTypes.choose(0);
    main.cmdConfirm.click();
    ReportCatcher report(h);
    main.cmdAutoPass.click();
    EXPECT_EQ(h.fe.boxes.back().spec.text, "1 файл было найдено в директориях временных файлов.");
    EXPECT_EQ(main.filFiles.pattern(), "*.tmp");
}

TEST(AutoPassFloppiesOnly, OnlyFloppyDrivesGiveTheShortReport)
{
    testsupport::TempDir t;
    t.mkdir("a");
    t.mkdir("b");
    testing::MemorySettings settings;
    testing::MapEnvironment env;
    env.set("temp", "A:\\");
    testing::RecordingProcessStarter processes;
    testing::RecordingShell shell;
    testing::RecordingPrinter printer;
    testing::FixedClock clock;
    testing::ScriptedFrontEnd fe;
    Toolkit tk(fe);
    PosixFileSystem files("a:=" + (t.path() / "a").string() + ";b:=" + (t.path() / "b").string());
    App app(tk, {settings, files, env, processes, shell, printer, clock});
    app.start();
    std::string text;
    fe.onModal = [&](Form& f) { text = static_cast<frmReport&>(f).txtRep.text(); };
    app.mainWindow().cmdAutoPass.click();
    EXPECT_EQ(text, lines({"Отчет об автоматическом сканировании", Started,
                           "Ниже приведен список папок, содержащих временные файлы.", "Временных файлов не найдено.",
                           Ended}));
}

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
    EXPECT_EQ(report.text, lines({Started, "", "Проверка папки: C:\\TEMP", "",
                                  "Найден файл (размер 0 байт): empty1.txt",
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

TEST_F(NullPass, AFileWrittenMeanwhileIsKept)
{
    h.root.write("c/TEMP/grows.log");
    auto& main = startIn("C:\\TEMP");
    h.fe.onModal = [&](Form&) { h.root.write("c/TEMP/grows.log", "now written"); };
    h.fe.answers = {MsgResult::Yes, MsgResult::OK, MsgResult::Yes};
    main.cmdNullPass.click();
    EXPECT_TRUE(h.root.exists("c/TEMP/grows.log"));
}

TEST_F(NullPass, EmptyFolderNoEmptyFilesAndTheDriveRoot)
{
    auto& main = startIn("C:\\TEMP");
    ReportCatcher report(h);
    h.fe.answers = {MsgResult::Yes};
    main.cmdNullPass.click();
    const std::string none = lines({Started, "", "Проверка папки: C:\\TEMP", "", "Файлов с нулевым размером не найдено.", Ended});
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
    EXPECT_EQ(report.text, lines({Started, "", "Проверка папки: D:\\", "", "Найден файл (размер 0 байт): zero.tmp", Ended}));
    EXPECT_FALSE(h.root.exists("d/zero.tmp"));

    h.fe.answers = {MsgResult::No};
    const auto boxes = h.fe.boxes.size();
    main.cmdNullPass.click();
    EXPECT_EQ(h.fe.boxes.size(), boxes + 1) << "declining the question ends the command";
}

class ReportWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        h.root.mkdir("c/TEMP");
        h.root.mkdir("c/Elsewhere");
        h.start();
    }
    frmReport& window(const std::string& text)
    {
        auto& report = h.app->reportWindow().get();
        report.txtRep.setText(text);
        report.txtRep.setMaxLength(text::length(text));
        return report;
    }
    ProgramHarness h;
};

TEST_F(ReportWindow, SavesAppendTheTextAndThreeLineEndsInWindows1251)
{
    window("Отчет A").cmdSave_Click();
    EXPECT_EQ(h.app->reportWindow().ifLoaded(), nullptr) << "saving closes the window";
    window("Report B\r\n").cmdSave_Click();
    const std::string expected = text::toCp1251("Отчет A\r\n\r\n\r\nReport B\r\n\r\n\r\n\r\n");
    EXPECT_EQ(testsupport::readHostFile(h.host("c/TEMP/report.txt")), expected);
}

TEST_F(ReportWindow, TheReportFileIsTakenAgainstTheFolderCurrentWhenSaving)
{
    ASSERT_TRUE(h.fs->setCurrentFolder("C:\\Elsewhere"));
    window("x").cmdSave_Click();
    EXPECT_TRUE(h.root.exists("c/Elsewhere/report.txt"));
    h.setOption("ReportFileName", "Z:\\nowhere\\report.txt");
    window("y").cmdSave_Click();
    EXPECT_EQ(h.app->reportWindow().ifLoaded(), nullptr) << "a failed save still closes the window";
}

TEST_F(ReportWindow, TheUserCannotGrowTheReportAndTheSizeLineFollowsEdits)
{
    auto& report = window(std::string(1000, 'x'));
    report.timUpdateInfo_Timer();
    EXPECT_EQ(report.lblReptLocation.caption(), "report.txt, 1000 байт");
    report.txtRep.type(std::string(990, 'x') + "ещё двадцать знаков!");
    EXPECT_EQ(text::length(report.txtRep.text()), 1000u);
    report.txtRep.type("short");
    report.timUpdateInfo_Timer();
    EXPECT_EQ(report.lblReptLocation.caption(), "report.txt, 5 байт");
}

TEST_F(ReportWindow, AlwaysSaveDecidesBetweenSavingAndShowing)
{
    for (const auto& [value, saved] : std::vector<std::pair<std::string, bool>>{
             {"1", true}, {"0", false}, {"", false}, {"2", false}}) {
        fs::remove(h.host("c/TEMP/report.txt"));
        if (!value.empty()) h.settings.save("Quorvik", "[Options]\\[Report]", "Always Save", value);
        int shown = 0;
        h.fe.onModal = [&](Form&) { ++shown; };
        h.main().reports()("Velmora - отчет", "R");
        EXPECT_EQ(h.root.exists("c/TEMP/report.txt"), saved) << value;
        EXPECT_EQ(shown, saved ? 0 : 1) << value;
    }
}

TEST_F(ReportWindow, PrintingAttemptsEveryStepAndReportsAFailureAfterTheCompletion)
{
    window("строка 1\r\nстрока 2").cmdPrint_Click();
    EXPECT_EQ(h.printer.calls,
              (std::vector<std::string>{"font Arial Cyr", "size 12", "bold 1", "underline 1", "line ",
                                        "line Velmora - отчет о проделанной работе", "line ", "bold 0", "underline 0",
                                        "size 10", "line ", "line строка 1", "line строка 2", "line ", "end"}));
    ASSERT_EQ(h.fe.boxes.size(), 1u);
    EXPECT_EQ(h.fe.boxes[0].spec.text, "Печать отчета на принтере Test Printer завершена.");

    h.printer.failWith = "Принтер не отвечает";
    h.printer.calls.clear();
    window("r").cmdPrint_Click();
    EXPECT_EQ(h.printer.calls.size(), 14u) << "every step is attempted";
    ASSERT_EQ(h.fe.boxes.size(), 3u);
    EXPECT_EQ(h.fe.boxes[1].spec.title, "Velmora - Печать отчета");
    EXPECT_EQ(h.fe.boxes[2].spec.text, "Произошла ошибка печати:\r\n\r\nПринтер не отвечает");
    EXPECT_EQ(h.fe.boxes[2].spec.icon, MsgIcon::Critical);
    EXPECT_EQ(h.app->reportWindow().ifLoaded(), nullptr);
}

} // namespace
} // namespace velmora

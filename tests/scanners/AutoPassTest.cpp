// The automatic junk scan.
#include "reports/frmReport.h"

#include "support/ProgramTests.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace velmora {
namespace {

using testsupport::Ended;
using testsupport::ProgramHarness;
using testsupport::ReportCatcher;
using testsupport::Started;
const auto lines = testsupport::reportLines;

class AutoPass : public ::testing::Test {
protected:
    AutoPass() : h(testsupport::driveEntry('a', h0.path() / "floppy")) {}
    testsupport::TempDir h0;
    ProgramHarness h;
};

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

    // Another spelling of a standard folder is the same folder: scanned and counted once.
    h.env.set("temp", "C:\\WINDOWS\\TEMP\\.");
    main.cmdAutoPass.click();
    EXPECT_EQ(std::count(report.text.begin(), report.text.end(), '\n'), 4) << report.text;
    EXPECT_EQ(h.fe.boxes.back().spec.text, "1 файл было найдено в директориях временных файлов.");
}

TEST_F(AutoPass, ProfileTempFoldersFollowTheirDrivesFoldersOnceEachAndNeverThroughALink)
{
    if (const auto why = testsupport::linksMissing()) GTEST_SKIP() << *why;
    h.root.write("c/Windows/temp/w.tmp");
    h.root.write("c/Documents and Settings/anna/Local Settings/Temp/1.tmp");
    h.root.write("c/Documents and Settings/anna/Local Settings/Temp/2.bak");
    h.root.write("c/Users/bob/AppData/Local/Temp/b.tmp");
    h.root.write("c/Users/eva/AppData/Local/Temp/e.tmp");
    h.root.mkdir("c/Users/carl/AppData/Local");
    h.root.write("c/Elsewhere/x.tmp");
    ASSERT_TRUE(testsupport::makeLink(h.host("c/Elsewhere"), h.host("c/Users/carl/AppData/Local/Temp")));
    h.root.write("d/tmp/d.tmp");
    h.env.set("temp", "C:\\USERS\\BOB\\APPDATA\\LOCAL\\TEMP"); // bob's own, named before his profile is
    auto& main = h.start();
    ReportCatcher report(h);
    main.cmdAutoPass.click();
    EXPECT_EQ(report.text,
              lines({"Отчет об автоматическом сканировании", Started,
                     "Ниже приведен список папок, содержащих временные файлы.",
                     "Найден(ы) файл(ы): 1 шт. в папке c:\\Windows\\temp",
                     "Найден(ы) файл(ы): 1 шт. в папке C:\\USERS\\BOB\\APPDATA\\LOCAL\\TEMP",
                     "Найден(ы) файл(ы): 2 шт. в папке c:\\Documents and Settings\\anna\\Local Settings\\Temp",
                     "Найден(ы) файл(ы): 1 шт. в папке c:\\Users\\eva\\AppData\\Local\\Temp",
                     "Найден(ы) файл(ы): 1 шт. в папке d:\\tmp", Ended}));
    EXPECT_EQ(h.fe.boxes.back().spec.text, "6 файлов было найдено в директориях временных файлов.");
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
    testsupport::HostFileSystem files(testsupport::driveEntry('a', t.path() / "a") + ";" +
                                      testsupport::driveEntry('b', t.path() / "b"));
    App app(tk, {settings, files, env, processes, shell, printer, clock});
    app.start();
    std::string text;
    fe.onModal = [&](Form& f) { text = static_cast<frmReport&>(f).txtRep.text(); };
    app.mainWindow().cmdAutoPass.click();
    EXPECT_EQ(text, lines({"Отчет об автоматическом сканировании", Started,
                           "Ниже приведен список папок, содержащих временные файлы.", "Временных файлов не найдено.",
                           Ended}));
}

} // namespace
} // namespace velmora

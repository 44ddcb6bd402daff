// The report window and the report hand-over.
#include "reports/frmReport.h"
#include "platform/Text.h"

#include "support/ProgramTests.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using testsupport::ProgramHarness;
namespace fs = std::filesystem;

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

std::string encoded(const std::string& text, TextEncoding encoding)
{
    return encoding == TextEncoding::Utf8 ? text : text::toCp1251(text);
}

TEST_F(ReportWindow, SavesAppendTheTextAndThreeLineEndsInTheHostsEncoding)
{
    window("Отчет A").cmdSave_Click();
    EXPECT_EQ(h.app->reportWindow().ifLoaded(), nullptr) << "saving closes the window";
    window("Report B\r\n").cmdSave_Click();
    const std::string expected = "Отчет A\r\n\r\n\r\nReport B\r\n\r\n\r\n\r\n";
    const std::string saved = testsupport::readHostFile(h.host("c/TEMP/report.txt"));
#ifdef _WIN32
    EXPECT_EQ(saved, text::toCp1251(expected));
#else
    EXPECT_EQ(saved, expected) << "UTF-8, as a Linux editor reads it";
#endif
}

// A file already holding reports keeps their encoding, whatever the host's; one of plain ASCII
// holds none yet.
TEST_F(ReportWindow, ASaveJoinsAFileInTheEncodingItIsAlreadyIn)
{
    const TextEncoding host = h.fs->textEncoding();
    const TextEncoding other = host == TextEncoding::Utf8 ? TextEncoding::Windows1251 : TextEncoding::Utf8;
    h.root.write("c/TEMP/report.txt", encoded("Старый отчет\r\n", other));
    window("Новый").cmdSave_Click();
    EXPECT_EQ(testsupport::readHostFile(h.host("c/TEMP/report.txt")),
              encoded("Старый отчет\r\nНовый\r\n\r\n\r\n", other));
    h.root.write("c/TEMP/report.txt", "old\r\n");
    window("Новый").cmdSave_Click();
    EXPECT_EQ(testsupport::readHostFile(h.host("c/TEMP/report.txt")), "old\r\n" + encoded("Новый\r\n\r\n\r\n", host));
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
    for (const auto& [value, saved] :
         std::vector<std::pair<std::string, bool>>{{"1", true}, {"0", false}, {"", false}, {"2", false}}) {
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

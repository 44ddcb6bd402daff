// The report viewer: the report file read back, line by line, into the report window.
#include "reports/ReportViewer.h"
#include "platform/Text.h"
#include "reports/frmReport.h"

#include "support/ProgramTests.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using testsupport::ProgramHarness;

TEST(ReportViewText, ALineEndsAtCarriageReturnAndABareLineFeedEndsNothing)
{
    int lines = 0;
    const auto count = [&] { ++lines; };
    EXPECT_EQ(reportViewText("a\r\nb\rc\nd\r\n\r\n", count), "a\r\nb\r\nc\nd\r\n\r\n");
    EXPECT_EQ(lines, 4);
    lines = 0;
    EXPECT_EQ(reportViewText("last line without an end", count), "last line without an end\r\n");
    EXPECT_EQ(reportViewText("\n", count), "\n\r\n");
    EXPECT_EQ(reportViewText("", count), "");
    EXPECT_EQ(lines, 2);
}

class ReportViewer : public ::testing::Test {
protected:
    void SetUp() override
    {
        h.root.mkdir("c/TEMP");
        h.start();
        h.fe.onModal = [this](Form& form) {
            if (auto* report = dynamic_cast<frmReport*>(&form)) {
                ++shown;
                title = report->caption();
                text = report->txtRep.text();
                maxLength = report->txtRep.maxLength();
                saveEnabled = report->cmdSave.enabled();
                owner = form.owner();
            }
        };
    }
    ProgramHarness h;
    int shown = 0;
    std::string title, text;
    std::size_t maxLength = 0;
    bool saveEnabled = true;
    const Form* owner = nullptr;
};

TEST_F(ReportViewer, TwoSavedReportsShowWithTheirEmptyLinesAndSavingDisabled)
{
    const std::string two = "Отчет 1\r\nстрока\r\n\r\n\r\nОтчет 2\r\n\r\n\r\n";
    h.root.write("c/TEMP/report.txt", text::toCp1251(two));
    h.main().cmdViewReports.click();
    ASSERT_EQ(shown, 1);
    EXPECT_EQ(title, "Velmora - Просмотр отчета (report.txt)");
    EXPECT_EQ(text, two);
    EXPECT_EQ(maxLength, text::length(two));
    EXPECT_FALSE(saveEnabled);
    EXPECT_EQ(owner, &h.main());

    h.setOption(settings::ReportFileName, "D:\\r.log");
    h.root.write("d/R.LOG", "x");
    h.main().cmdViewReports.click();
    EXPECT_EQ(title, "Velmora - Просмотр отчета (D:\\r.log)");
    EXPECT_EQ(text, "x\r\n");
}

// Whatever encoding the host saves in, the viewer shows what was saved, and a file in UTF-8
// shows as such on every host.
TEST_F(ReportViewer, AReportSavedOnThisHostAndOneInUtf8ShowAsWritten)
{
    auto& report = h.app->reportWindow().get();
    report.txtRep.setText("Отчет №1");
    report.cmdSave_Click();
    h.main().cmdViewReports.click();
    EXPECT_EQ(text, "Отчет №1\r\n\r\n\r\n");

    h.root.write("c/TEMP/report.txt", "Zürich, Отчет\r\n");
    h.main().cmdViewReports.click();
    EXPECT_EQ(text, "Zürich, Отчет\r\n");
}

TEST_F(ReportViewer, AMissingOrEmptyFileShowsNothing)
{
    h.main().cmdViewReports.click();
    h.root.write("c/TEMP/report.txt", "");
    h.main().cmdViewReports.click();
    EXPECT_EQ(shown, 0);
    EXPECT_TRUE(h.fe.boxes.empty());
}

} // namespace
} // namespace velmora

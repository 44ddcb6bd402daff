// The report settings window: the file's line, always-save, deleting and moving the report.
#include "reports/frmReportInfo.h"
#include "core/frmCustom.h"
#include "platform/Text.h"
#include "reports/frmReport.h"

#include "support/ProgramTests.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using testsupport::ProgramHarness;

class ReportSettings : public ::testing::Test {
protected:
    void SetUp() override
    {
        h.root.mkdir("c/TEMP");
        h.root.mkdir("c/WINDOWS");
        h.start();
    }
    frmReportInfo& window() { return h.app->reportSettings().get(); }
    ProgramHarness h;
};

TEST_F(ReportSettings, TheLineAndTheDeleteButtonFollowTheFileOnDisk)
{
    auto& w = window();
    EXPECT_EQ(w.caption(), "Настройка отчета");
    EXPECT_EQ(w.timCheck.interval(), 100);
    w.timCheck_Timer();
    EXPECT_EQ(w.lblFile.caption(), "report.txt");
    EXPECT_EQ(w.lblInfo.caption(), "Файл отчета был удален или не был создан.");
    EXPECT_FALSE(w.cmdDelRep.enabled());
    h.root.write("c/TEMP/report.txt", "");
    w.timCheck_Timer();
    EXPECT_EQ(w.lblInfo.caption(), "Файл отчета занимает 0 байт. Если необходимо освободить место на диске, нажмите");
    EXPECT_FALSE(w.cmdDelRep.enabled()) << "an empty file leaves the button as it was";
    h.root.write("c/TEMP/report.txt", "12345");
    w.timCheck_Timer();
    EXPECT_TRUE(w.cmdDelRep.enabled());
    EXPECT_EQ(w.lblInfo.caption(), "Файл отчета занимает 5 байт. Если необходимо освободить место на диске, нажмите");

    w.cmdDelRep.click();
    EXPECT_FALSE(h.root.exists("c/TEMP/report.txt"));
    w.timCheck_Timer();
    EXPECT_FALSE(w.cmdDelRep.enabled());
}

TEST_F(ReportSettings, AlwaysSaveIsStoredAtTheClickAndOnlyThen)
{
    h.settings.save(settings::App, settings::ReportSection, settings::AlwaysSave, "1");
    h.settings.saveLog.clear();
    auto& w = window();
    EXPECT_EQ(w.chkAlwaysSave.value(), 1);
    EXPECT_TRUE(h.settings.saveLog.empty()) << "showing the stored value stores nothing";
    w.chkAlwaysSave.click();
    EXPECT_EQ(h.settings.saveLog, std::vector<std::string>{"[Options]\\[Report]/Always Save=0"});
}

TEST_F(ReportSettings, AMoveTakesTheFileIntoTheWindowsFolderAndTheDialogKeepsTheNewPath)
{
    h.root.write("c/TEMP/report.txt", "R");
    h.fe.onModal = [&](Form& form) {
        if (auto* dialog = dynamic_cast<frmCustom*>(&form)) {
            dialog->optOp[2].click();
            dialog->cmdReport.click();
            EXPECT_EQ(dialog->txtRepTxt.text(), "C:\\WINDOWS\\report.txt");
            dialog->cmdOK.click();
        } else if (auto* info = dynamic_cast<frmReportInfo*>(&form)) {
            EXPECT_EQ(info->owner(), h.app->settingsDialog().ifLoaded());
            info->cmdMoveReport.click();
            info->cmdClose.click();
        }
    };
    h.main().cmdMainFuncCust.click();
    EXPECT_FALSE(h.root.exists("c/TEMP/report.txt"));
    EXPECT_EQ(testsupport::readHostFile(h.host("c/WINDOWS/report.txt")), "R");
    EXPECT_EQ(h.settings.get(settings::App, settings::Options, settings::ReportFileName, ""),
              "C:\\WINDOWS\\report.txt");
}

TEST_F(ReportSettings, AMoveChangesNothingWhenThePathIsTheTargetOrTheCopyFails)
{
    h.setOption(settings::ReportFileName, "C:\\WINDOWS\\report.txt");
    h.root.write("c/WINDOWS/report.txt", "R");
    h.settings.saveLog.clear();
    window().cmdMoveReport.click();
    EXPECT_TRUE(h.settings.saveLog.empty());
    EXPECT_TRUE(h.root.exists("c/WINDOWS/report.txt"));
    window().cmdClose.click();

    h.setOption(settings::ReportFileName, "report.txt");
    h.root.write("c/TEMP/report.txt", "keep");
    h.env.set("WINDIR", "C:\\NoSuchFolder");
    h.settings.saveLog.clear();
    auto& w = window();
    w.cmdMoveReport.click();
    EXPECT_EQ(testsupport::readHostFile(h.host("c/TEMP/report.txt")), "keep") << "a failed copy deletes nothing";
    EXPECT_EQ(w.reportPath(), "report.txt");
    EXPECT_TRUE(h.settings.saveLog.empty());
}

TEST_F(ReportSettings, ViewingShowsTheReportFileInTheReportWindow)
{
    h.root.write("c/TEMP/report.txt", text::toCp1251("Отчет\r\n"));
    std::string shown;
    h.fe.onModal = [&](Form& form) {
        if (auto* report = dynamic_cast<frmReport*>(&form)) shown = report->txtRep.text();
    };
    window().cmdEdit.click();
    EXPECT_EQ(shown, "Отчет\r\n");
}

} // namespace
} // namespace velmora

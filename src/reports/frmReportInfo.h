#pragma once
// The report settings window: where the report file is and how large, viewing, moving it into
// the Windows folder, deleting it, and whether every report is saved without being shown.
#include "platform/Services.h"
#include "platform/toolkit/Form.h"

#include <functional>
#include <string>

namespace velmora {

class frmReportInfo : public Form {
public:
    // `viewReports` runs the main window's report viewer; `reportMoved` is told the report
    // file's new path after a move (the settings dialog's field takes it).
    frmReportInfo(Toolkit& tk, const Services& services, std::function<void()> viewReports,
                  std::function<void(const std::string&)> reportMoved);

    void chkAlwaysSave_Click();
    void timCheck_Timer();
    // Deletes the report file at once, without asking.
    void cmdDelRep_Click();
    // Moves the report file to WINDIR + "\report.txt"; the old file goes only when the copy
    // succeeded, and nothing changes when it did not.
    void cmdMoveReport_Click();

    Frame fraFile{*this, "fraFile"};
    Label lblFile{*this, "lblFile", &fraFile};
    Label lblView{*this, "lblView", &fraFile};
    CommandButton cmdEdit{*this, "cmdEdit", &fraFile};
    Label lblSysFold{*this, "lblSysFold", &fraFile};
    CommandButton cmdMoveReport{*this, "cmdMoveReport", &fraFile};
    Frame fraRep{*this, "fraRep"};
    CheckBox chkAlwaysSave{*this, "chkAlwaysSave", &fraRep};
    Frame fraCleanup{*this, "fraCleanup"};
    Label lblInfo{*this, "lblInfo", &fraCleanup};
    CommandButton cmdDelRep{*this, "cmdDelRep", &fraCleanup};
    CommandButton cmdClose{*this, "cmdClose"};
    // The file on disk is looked at ten times a second: in step within a blink, and no
    // busy core while the window merely stands open.
    Timer timCheck{*this, "timCheck", 100};

    // The report file as this window knows it.
    const std::string& reportPath() const { return m_path; }

protected:
    void Form_Load() override;

private:
    const Services& m_services;
    std::function<void()> m_viewReports;
    std::function<void(const std::string&)> m_reportMoved;
    std::string m_path;
    bool m_loading = false;
};

} // namespace velmora

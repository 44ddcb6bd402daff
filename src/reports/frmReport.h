#pragma once
// The report window: shows, prints and saves (appends to the report file) a report text.
#include "platform/Services.h"
#include "platform/toolkit/Form.h"

#include <string_view>

namespace velmora {

class frmReport : public Form {
public:
    frmReport(Toolkit& tk, const Services& services);

    // Appends the text and two empty lines to the report file, then closes the window.
    void cmdSave_Click();
    // Prints the report on the default printer, tells how it went, then closes the window.
    void cmdPrint_Click();
    void cmdOK_Click();
    void timUpdateInfo_Timer();

    Label lblView{*this, "lblView"};
    Image imgReport{*this, "imgReport"};
    TextBox txtRep{*this, "txtRep"};
    Line linSEP{*this, "linSEP"};
    Label lblReptLocation{*this, "lblReptLocation"};
    CommandButton cmdPrint{*this, "cmdPrint"};
    CommandButton cmdSave{*this, "cmdSave"};
    CommandButton cmdOK{*this, "cmdOK"};
    Timer timUpdateInfo{*this, "timUpdateInfo", 250};

protected:
    void Form_Load() override;

private:
    const Services& m_services;
};

} // namespace velmora

#pragma once
// The settings dialog: the seven general options on three pages; OK stores them all at once.
#include "platform/Services.h"
#include "platform/toolkit/Form.h"

#include <functional>
#include <string_view>

namespace velmora {

class frmCustom : public Form {
public:
    // The windows this dialog opens over itself.
    struct Openers {
        std::function<void(frmCustom&)> reportSettings, folderChooser, archivers;
    };
    frmCustom(Toolkit& tk, const Services& services, Openers openers = {});

    // Stores the seven options in their order, then closes the dialog.
    void cmdOK_Click();
    // Closes the dialog, storing nothing.
    void cmdCancel_Click();
    // Shows page i alone.
    void optOp_Click(int i);
    // A preset chosen: its masks become the mask text.
    void opt1_Click();
    void opt2_Click();
    void opt3_Click();
    // Any change of the mask text: a text that is not one of the accepted ones snaps back to
    // the selected preset's.
    void txtFiltr_Change();

    // The tab buttons stand on screen as "Общие", "Остальные", "Список мусора".
    Frame fraConfiguration{*this, "fraConfiguration"};
    OptionButton optOp[3]{{*this, "optOp(0)", &fraConfiguration},
                          {*this, "optOp(1)", &fraConfiguration},
                          {*this, "optOp(2)", &fraConfiguration}};
    PictureBox picReSwitch[3]{{*this, "picReSwitch(0)"}, {*this, "picReSwitch(1)"}, {*this, "picReSwitch(2)"}};
    Label lblAboutReSwitch[3]{{*this, "lblAboutReSwitch(0)", &picReSwitch[0]},
                              {*this, "lblAboutReSwitch(1)", &picReSwitch[1]},
                              {*this, "lblAboutReSwitch(2)", &picReSwitch[2]}};
    // The junk list page.
    Frame fraFilters{*this, "fraFilters", &picReSwitch[0]};
    OptionButton opt1{*this, "opt1", &fraFilters};
    OptionButton opt2{*this, "opt2", &fraFilters};
    OptionButton opt3{*this, "opt3", &fraFilters};
    Label lblFiltr{*this, "lblFiltr", &picReSwitch[0]};
    TextBox txtFiltr{*this, "txtFiltr", &picReSwitch[0]};
    // The general page.
    CheckBox chkBackForward{*this, "chkBackForward", &picReSwitch[1]};
    CheckBox chkUseWelcome{*this, "chkUseWelcome", &picReSwitch[1]};
    CheckBox chkNoviceLevel{*this, "chkNoviceLevel", &picReSwitch[1]};
    CommandButton cmdArchivers{*this, "cmdArchivers", &picReSwitch[1]};
    // The other options page. The folder chooser and the report settings window write into
    // txtJumpTo and txtRepTxt; nothing is stored until OK.
    Label lblJumpTo{*this, "lblJumpTo", &picReSwitch[2]};
    TextBox txtJumpTo{*this, "txtJumpTo", &picReSwitch[2]};
    CommandButton cmdBrowse{*this, "cmdBrowse", &picReSwitch[2]};
    Label lblRepFile{*this, "lblRepFile", &picReSwitch[2]};
    TextBox txtRepTxt{*this, "txtRepTxt", &picReSwitch[2]};
    CommandButton cmdReport{*this, "cmdReport", &picReSwitch[2]};
    CheckBox chkShowToolbar{*this, "chkShowToolbar", &picReSwitch[2]};
    CommandButton cmdOK{*this, "cmdOK"};
    CommandButton cmdCancel{*this, "cmdCancel"};

protected:
    void Form_Load() override;

private:
    void layOut();
    void connect();
    void choosePreset(const OptionButton& preset, std::string_view masks);

    const Services& m_services;
    Openers m_open;
};

} // namespace velmora

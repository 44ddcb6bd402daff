#pragma once
// The archiver table editor: the archivers in a drop-down list, the six fields of the chosen
// one, each change stored at once; no OK and no Cancel.
#include "platform/Services.h"
#include "platform/toolkit/Form.h"

namespace velmora {

class frmCustomizeArchivers : public Form {
public:
    frmCustomizeArchivers(Toolkit& tk, const Services& services);

    // Shows the archiver of the chosen entry; with no entry chosen, empty fields that store
    // nothing.
    void cboArchivers_Click();
    // Stores all six fields as the selected archiver's record; nothing when none is selected.
    void field_Change();
    // Stores "Новый архиватор" as the name of a number no archiver holds; the list is not
    // reloaded and the selection stays.
    void cmdAdd_Click();
    // Reloads the list and chooses the entry at the same position again; none when the list
    // has become shorter than that.
    void cmdUpdate_Click();
    // The fields and their frames are usable exactly while an archiver is selected.
    void timEnable_Timer();

    // The selected archiver's number; 0 when none.
    int selectedNumber() const { return m_number; }

    Label lblArchiver{*this, "lblArchiver"};
    ComboBox cboArchivers{*this, "cboArchivers"};
    Frame fraMisc{*this, "fraMisc"};
    Label lblCapt{*this, "lblCapt", &fraMisc};
    TextBox txtCap{*this, "txtCap", &fraMisc};
    Label lblExt{*this, "lblExt", &fraMisc};
    TextBox txtExt{*this, "txtExt", &fraMisc};
    Frame fraAdd{*this, "fraAdd"};
    Label lblPath{*this, "lblPath", &fraAdd};
    TextBox txtPathToFile{*this, "txtPathToFile", &fraAdd};
    Label lblAddCommand{*this, "lblAddCommand", &fraAdd};
    TextBox txtAddCommand{*this, "txtAddCommand", &fraAdd};
    Frame fraUnPack{*this, "fraUnPack"};
    Label lblPathToUnpack{*this, "lblPathToUnpack", &fraUnPack};
    TextBox txtPath2{*this, "txtPath2", &fraUnPack};
    Label lblCom2{*this, "lblCom2", &fraUnPack};
    TextBox txtUnPack{*this, "txtUnPack", &fraUnPack};
    CommandButton cmdAdd{*this, "cmdAdd"};
    CommandButton cmdUpdate{*this, "cmdUpdate"};
    CommandButton cmdClose{*this, "cmdClose"};
    // The enabled state is also set wherever the selection changes; the timer only keeps it
    // so, and ten looks a second cost next to nothing while the window stands open.
    Timer timEnable{*this, "timEnable", 100};

protected:
    void Form_Load() override;

private:
    void loadList();

    const Services& m_services;
    int m_number = 0;
};

} // namespace velmora

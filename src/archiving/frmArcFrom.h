#pragma once
// The restore window: unpacks an archive into a folder with one of the user's archivers.
// The archiver is started and left to run; nothing is deleted.
#include "archiving/Archivers.h"
#include "platform/Services.h"
#include "platform/SettingsStore.h"
#include "platform/toolkit/Form.h"

#include <memory>
#include <string>

namespace velmora {

class frmArcFrom : public Form {
public:
    // `folders` is the main window's folder tree: its path becomes the current folder.
    frmArcFrom(Toolkit& tk, const Services& services, DirListBox& folders);

    void cboArchivers_Click();
    void cmdOK_Click();

    Image imgLG{*this, "imgLG"};
    Label lblProcess{*this, "lblProcess"};
    Line linSEP{*this, "linSEP"};
    Shape shpx{*this, "shpx"};
    Label lblArchiver{*this, "lblArchiver"};
    ComboBox cboArchivers{*this, "cboArchivers"};
    Label lblFolder{*this, "lblFolder"};
    TextBox txtDestFolder{*this, "txtDestFolder"};
    Label lblArc{*this, "lblArc"};
    TextBox txtArchive{*this, "txtArchive"};
    TextBox txtExt{*this, "txtExt"};
    Label lblFolderDest{*this, "lblFolderDest"};
    TextBox txtDestF{*this, "txtDestF"};
    CommandButton cmdOK{*this, "cmdOK"};
    CommandButton cmdCancel{*this, "cmdCancel"};

protected:
    void Form_Load() override;

private:
    const Services& m_services;
    DirListBox& m_folders;
    archivers::Chosen m_archiver;
    // While the window loads: the one reading of the archiver table its list and first
    // selection share.
    std::unique_ptr<SettingsSection> m_loading;
};

} // namespace velmora

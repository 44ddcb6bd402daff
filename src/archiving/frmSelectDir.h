#pragma once
// The folder chooser: a drive box, a folder tree and a path field; OK hands the path to the
// window that opened it.
#include "platform/Services.h"
#include "platform/toolkit/Form.h"

#include <functional>
#include <optional>
#include <string>

namespace velmora {

class frmSelectDir : public Form {
public:
    // `openStartFolder` is the settings dialog's start-folder field when that dialog is open;
    // `deliver` writes the chosen path into the caller's field (the compress window's when
    // `RarIt`, else the settings dialog's).
    frmSelectDir(Toolkit& tk, const Services& services, std::function<std::optional<std::string>()> openStartFolder,
                 std::function<void(bool rarIt, const std::string& path)> deliver);

    // Set by the compress window, cleared by the settings dialog, before each opening.
    bool RarIt = false;

    void drvDisks_Change();
    void dirFolders_Change();
    void cmdOK_Click();

    Label lblFolders{*this, "lblFolders"};
    Label lblD{*this, "lblD"};
    DriveListBox drvDisks;
    Label lblF{*this, "lblF"};
    DirListBox dirFolders;
    Label lblP{*this, "lblP"};
    TextBox txtPath{*this, "txtPath"};
    Image Image1{*this, "Image1"};
    CommandButton cmdOK{*this, "cmdOK"};
    CommandButton cmdCancel{*this, "cmdCancel"};

protected:
    void Form_Load() override;

private:
    const Services& m_services;
    std::function<std::optional<std::string>()> m_openStartFolder;
    std::function<void(bool, const std::string&)> m_deliver;
};

} // namespace velmora

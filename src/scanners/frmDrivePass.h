#pragma once
// The drive scan window: walks a folder tree and lists every junk file in it.
#include "platform/Services.h"
#include "platform/toolkit/Form.h"

#include <string>
#include <vector>

namespace velmora {

class MaskList;

class frmDrivePass : public Form {
public:
    // `mainFiles` is the main window's file list, whose masks the walk uses.
    frmDrivePass(Toolkit& tk, const Services& services, FileListBox& mainFiles);

    // The folder the window considers current, the last drive that could be made current,
    // and the main window's masks when the window opened.
    std::string DirToScan;
    std::string LastDrive;
    std::string OldPat;

    // Walks `CurrDir` depth first and appends the matching files of each folder after those
    // of all its subfolders. Links and other file systems are never entered; a folder that
    // cannot be read is passed over. Returns false when the walk was cancelled.
    bool DirWalk(const MaskList& sPattern, const std::string& CurrDir, std::vector<std::string>& sFound);

    void cmdScan_Click();
    void cmdClose_Click();
    void cmdFolderList_Click();
    void close() override;
    bool walking() const { return m_walking; }

    DriveListBox drvDrvs;
    DirListBox dirDirectorie;
    ListBox lstParasites{*this, "lstParasites"};
    Label lblInstructions{*this, "lblInstructions"};
    Image imgFolder{*this, "imgFolder"};
    Image imgFZ{*this, "imgFZ"};
    Label lblDir{*this, "lblDir"};
    CommandButton cmdScan{*this, "cmdScan"};
    CommandButton cmdFolderList{*this, "cmdFolderList"};
    CommandButton cmdViewFolder{*this, "cmdViewFolder"};
    CommandButton cmdDelete{*this, "cmdDelete"};
    CommandButton cmdProperties{*this, "cmdProperties"};
    CommandButton cmdClose{*this, "cmdClose"};

protected:
    void Form_Load() override;
    void Form_Unload() override;

private:
    void drvDrvs_Change();
    void dirDirectorie_Change();
    void lstParasites_Click();
    void setWalking(bool on);
    void fillList(std::vector<std::string>& found);

    const Services& m_services;
    FileListBox& m_mainFiles;
    bool m_walking = false;
    bool m_cancelled = false;
    bool m_restoringDrive = false;
};

} // namespace velmora

#pragma once
// The drive scan window: walks a folder tree, lists every junk file in it, and deletes them or
// shows their properties.
#include "browser/Deletion.h"
#include "platform/FileSystem.h"
#include "platform/Services.h"
#include "platform/toolkit/Form.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velmora {

class MaskList;
class frmProperties;

// One file a walk found: the full path the list shows, and the folder that was walked (shared
// by its files) with the file's exact name in it, which is what the actions act on.
struct FoundFile {
    std::string path;
    std::shared_ptr<const ListedFolder> folder;
    std::string name;
};

class frmDrivePass : public Form {
public:
    // `mainFiles` is the main window's file list, whose masks the walk uses; `properties` is
    // the properties window this window opens over itself.
    frmDrivePass(Toolkit& tk, const Services& services, FileListBox& mainFiles, FormSlot<frmProperties>& properties);

    // The folder the window considers current, the last drive that could be made current,
    // and the main window's masks when the window opened.
    std::string DirToScan;
    std::string LastDrive;
    std::string OldPat;

    // Walks `CurrDir` depth first and appends the matching files of each folder after those
    // of all its subfolders. Links and other file systems are never entered; a folder that
    // cannot be read is passed over and counted (unreadableFolders). Shows where it is (lblDir,
    // a yield) at its first subfolder and then every 30 ms or so of walking. Returns false when
    // the walk was cancelled.
    bool DirWalk(const MaskList& sPattern, const std::string& CurrDir, std::vector<FoundFile>& sFound);
    // The folders the last walk could not open or read, `CurrDir` itself included.
    int unreadableFolders() const { return m_unreadable; }

    void cmdScan_Click();
    void cmdClose_Click();
    void cmdFolderList_Click();
    // Asks, then deletes the selected files (see deleteFound).
    void cmdDelete_Click();
    void cmdProperties_Click();
    void cmdViewFolder_Click();
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
    void fillList(std::vector<FoundFile>& found);
    // The file the entry with this item datum stands for; nullptr when none.
    const ListedFile* foundFile(std::uint64_t data) const;

    const Services& m_services;
    FileListBox& m_mainFiles;
    FormSlot<frmProperties>& m_properties;
    // Where the last walk's files were found, the entry of item datum d at d - m_firstData. Data
    // go on counting from walk to walk, so a deletion under way never takes a later walk's
    // entry for one it was asked about.
    std::vector<ListedFile> m_found;
    std::uint64_t m_firstData = 1;
    int m_unreadable = 0;
    bool m_walking = false;
    bool m_deleting = false;
    bool m_cancelled = false;
    bool m_restoringDrive = false;
};

} // namespace velmora

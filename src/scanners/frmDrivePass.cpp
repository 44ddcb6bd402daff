#include "scanners/frmDrivePass.h"

#include "platform/FileSystem.h"
#include "platform/Wildcard.h"
#include "platform/toolkit/Reentry.h"

#include <chrono>

namespace velmora {

frmDrivePass::frmDrivePass(Toolkit& tk, const Services& services, FileListBox& mainFiles)
    : Form(tk, "frmDrivePass"), drvDrvs(*this, "drvDrvs", services.fs),
      dirDirectorie(*this, "dirDirectorie", services.fs), m_services(services), m_mainFiles(mainFiles)
{
    setCaption("Cканировать диск или папку"); // the first letter is a Latin C
    setClientSize(8400, 5580);
    lblInstructions.setGeometry({120, 120, 8160, 255});
    lblInstructions.setCaption("Выберите диск и папку для сканирования и нажмите Начать.");
    drvDrvs.setGeometry({120, 480, 3255, 315});
    dirDirectorie.setGeometry({120, 900, 3255, 3495});
    lstParasites.setGeometry({3480, 480, 4800, 3915});
    lstParasites.setMultiSelect(MultiSelect::Extended);
    imgFolder.setGeometry({120, 4500, 375, 375});
    imgFolder.setPicture("folder.gif");
    imgFolder.setVisible(false);
    imgFZ.setGeometry({120, 4500, 375, 375});
    imgFZ.setPicture("file.gif");
    imgFZ.setVisible(false);
    lblDir.setGeometry({600, 4560, 7680, 255});
    lblDir.setVisible(false);
    int left = 120;
    for (auto [button, caption] :
         std::initializer_list<std::pair<CommandButton*, const char*>>{{&cmdScan, "&Начать"},
                                                                       {&cmdFolderList, "&Обновить"},
                                                                       {&cmdViewFolder, "&Обзор..."},
                                                                       {&cmdDelete, "&Удалить"},
                                                                       {&cmdProperties, "&Свойства"},
                                                                       {&cmdClose, "З&акрыть"}}) {
        button->setGeometry({left, 5040, 1260, 375});
        button->setCaption(caption);
        left += 1380;
    }
    cmdScan.setDefault(true);
    cmdClose.setCancel(true);
    cmdDelete.setEnabled(false);
    cmdProperties.setEnabled(false);

    drvDrvs.onChange = [this] { drvDrvs_Change(); };
    dirDirectorie.onChange = [this] { dirDirectorie_Change(); };
    lstParasites.onClick = [this] { lstParasites_Click(); };
    cmdScan.onClick = [this] { cmdScan_Click(); };
    cmdClose.onClick = [this] { cmdClose_Click(); };
    cmdFolderList.onClick = [this] { cmdFolderList_Click(); };
    // Deleting, properties and the folder viewer come with their own commands; until then the
    // three buttons do nothing.
}

void frmDrivePass::Form_Load()
{
    OldPat = m_mainFiles.pattern();
    DirToScan = drvDrvs.drive().substr(0, 2);
    LastDrive = drvDrvs.drive();
    cmdFolderList_Click();
}

void frmDrivePass::Form_Unload()
{
    m_cancelled = true;
    m_mainFiles.setPattern(OldPat);
}

void frmDrivePass::cmdFolderList_Click()
{
    dirDirectorie.setPath(DirToScan);
    dirDirectorie.refresh();
}

void frmDrivePass::dirDirectorie_Change() { DirToScan = dirDirectorie.path(); }

void frmDrivePass::drvDrvs_Change()
{
    // Going back to the last drive is no new choice: the tree stays where it is.
    if (m_restoringDrive) return;
    FileSystem& fs = m_services.fs;
    const std::string drive = drvDrvs.drive();
    const char letter = path::driveLetter(drive);
    if (!fs.setCurrentDrive(letter) || !fs.setCurrentFolder(drive.substr(0, 2) + "\\")) {
        const Reentry restoring(m_restoringDrive);
        drvDrvs.setDrive(LastDrive);
        return;
    }
    LastDrive = drive;
    DirToScan = drive.substr(0, 2);
    cmdFolderList_Click();
}

void frmDrivePass::lstParasites_Click()
{
    const int index = lstParasites.listIndex();
    if (index >= 0) lblDir.setCaption(lstParasites.list(static_cast<std::size_t>(index)));
    lblDir.setVisible(true);
    imgFZ.setVisible(true);
    cmdProperties.setEnabled(true);
}

void frmDrivePass::setWalking(bool on)
{
    for (Control* c : std::initializer_list<Control*>{&lstParasites, &dirDirectorie, &cmdDelete, &drvDrvs,
                                                      &cmdFolderList, &cmdViewFolder, &cmdScan})
        c->setEnabled(!on);
    if (on) cmdProperties.setEnabled(false);
    imgFolder.setVisible(on);
    lblDir.setVisible(on);
    cmdClose.setCaption(on ? "Отм&ена" : "З&акрыть");
}

void frmDrivePass::cmdScan_Click()
{
    if (m_walking) return;
    const std::string folder = dirDirectorie.path();
    lstParasites.clear();
    imgFZ.setVisible(false);
    m_cancelled = false;
    {
        // While it is up, a second start is ignored and closing the window cancels the walk.
        const Reentry walking(m_walking);
        setWalking(true);
        std::vector<std::string> found;
        const MaskList pattern(m_mainFiles.pattern());
        if (DirWalk(pattern, folder, found)) fillList(found);
    }
    if (m_cancelled) {
        if (isLoaded()) unload();
        return;
    }
    setWalking(false);
}

// Adds the found files, letting the window breathe between batches: adding and redrawing
// one entry at a time would make a long list take far longer than the walk that found it.
void frmDrivePass::fillList(std::vector<std::string>& found)
{
    using SteadyClock = std::chrono::steady_clock;
    constexpr auto slice = std::chrono::milliseconds(50);
    std::vector<std::string> batch;
    auto sliceStart = SteadyClock::now();
    for (std::string& entry : found) {
        if (!entry.empty()) batch.push_back(std::move(entry));
        if (SteadyClock::now() - sliceStart < slice) continue;
        lstParasites.addItems(std::move(batch));
        batch.clear();
        toolkit().yield();
        if (m_cancelled) return;
        sliceStart = SteadyClock::now();
    }
    lstParasites.addItems(std::move(batch));
    toolkit().yield();
}

bool frmDrivePass::DirWalk(const MaskList& sPattern, const std::string& CurrDir, std::vector<std::string>& sFound)
{
    const auto root = m_services.fs.openFolder(CurrDir);
    if (!root) return true;
    return root->walk(CurrDir, &sPattern, [&](const WalkVisit& visit) {
        if (visit.kind == WalkVisit::Kind::Enter) {
            if (!visit.parent) return WalkStep::Continue;
            toolkit().yield();
            return m_cancelled ? WalkStep::Stop : WalkStep::Continue;
        }
        std::string folderText = visit.path;
        while (folderText.size() > 2 && folderText.back() == '\\') folderText.pop_back();
        lblDir.setCaption(folderText);
        for (const DirEntry& file : *visit.files) sFound.push_back(folderText + "\\" + file.name);
        return WalkStep::Continue;
    });
}

void frmDrivePass::cmdClose_Click()
{
    if (m_walking) {
        m_cancelled = true; // the walk ends at its next yield and closes the window
        return;
    }
    unload();
}

void frmDrivePass::close() { cmdClose_Click(); }

} // namespace velmora

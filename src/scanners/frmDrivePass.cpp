#include "scanners/frmDrivePass.h"

#include "browser/Deletion.h"
#include "browser/Properties.h"
#include "platform/FileSystem.h"
#include "platform/ProcessStarter.h"
#include "platform/Wildcard.h"
#include "platform/toolkit/Reentry.h"
#include "settings/Product.h"

#include <chrono>

namespace velmora {

namespace {

using SteadyClock = std::chrono::steady_clock;
// How often a long list change is shown: often enough to watch, rarely enough to cost little.
constexpr auto RedrawSlice = std::chrono::milliseconds(50);
// How often a walk shows where it is and lets the window breathe: a repaint per folder would
// cost a tree of small folders several times the walk itself.
constexpr auto ProgressSlice = std::chrono::milliseconds(30);

constexpr const char* Instructions = "Выберите диск и папку для сканирования и нажмите Начать.";

} // namespace

frmDrivePass::frmDrivePass(Toolkit& tk, const Services& services, FileListBox& mainFiles,
                           FormSlot<frmProperties>& properties)
    : Form(tk, "frmDrivePass"), drvDrvs(*this, "drvDrvs", services.fs),
      dirDirectorie(*this, "dirDirectorie", services.fs), m_services(services), m_mainFiles(mainFiles),
      m_properties(properties)
{
    setCaption("Cканировать диск или папку"); // the first letter is a Latin C
    setClientSize(8400, 5580);
    // Two lines: the count of folders a walk could not read follows the instructions.
    lblInstructions.setGeometry({120, 75, 8160, 390});
    lblInstructions.setCaption(Instructions);
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
    lstParasites.onDblClick = [this] { cmdDelete_Click(); };
    cmdScan.onClick = [this] { cmdScan_Click(); };
    cmdClose.onClick = [this] { cmdClose_Click(); };
    cmdFolderList.onClick = [this] { cmdFolderList_Click(); };
    cmdDelete.onClick = [this] { cmdDelete_Click(); };
    cmdProperties.onClick = [this] { cmdProperties_Click(); };
    cmdViewFolder.onClick = [this] { cmdViewFolder_Click(); };
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
    m_firstData += m_found.size();
    m_found.clear();
    lblInstructions.setCaption(Instructions);
    imgFZ.setVisible(false);
    m_cancelled = false;
    {
        // While it is up, a second start is ignored and closing the window cancels the walk.
        const Reentry walking(m_walking);
        setWalking(true);
        std::vector<FoundFile> found;
        const MaskList pattern(m_mainFiles.pattern());
        if (DirWalk(pattern, folder, found)) fillList(found);
    }
    if (m_cancelled) {
        if (isLoaded()) unload();
        return;
    }
    setWalking(false);
    // An empty list must not pass for a clean folder when some of it was never seen.
    std::string instructions = Instructions;
    if (m_unreadable > 0) instructions += " Не удалось прочитать папок: " + std::to_string(m_unreadable) + ".";
    lblInstructions.setCaption(instructions);
}

// Adds the found files, letting the window breathe between batches: adding and redrawing
// one entry at a time would make a long list take far longer than the walk that found it.
// After the last batch the window is drawn once the scan's handler has returned, with its
// buttons enabled again: a yield there would draw it twice.
void frmDrivePass::fillList(std::vector<FoundFile>& found)
{
    std::vector<std::string> batch;
    // Each entry's datum finds its file in m_found.
    const auto add = [&] {
        const std::size_t first = lstParasites.listCount();
        const std::uint64_t firstData = m_firstData + m_found.size() - batch.size();
        lstParasites.addItems(std::move(batch));
        batch.clear();
        for (std::size_t i = first; i < lstParasites.listCount(); ++i)
            lstParasites.setItemData(i, firstData + (i - first));
    };
    batch.reserve(found.size());
    m_found.reserve(m_found.size() + found.size());
    auto sliceStart = SteadyClock::now();
    std::size_t sinceLook = 0;
    for (FoundFile& entry : found) {
        if (!entry.path.empty()) {
            batch.push_back(std::move(entry.path));
            m_found.push_back({std::move(entry.folder), std::move(entry.name)});
        }
        // A look at the clock costs more than an entry: one every few hundred.
        if (++sinceLook < 256) continue;
        sinceLook = 0;
        if (SteadyClock::now() - sliceStart < RedrawSlice) continue;
        add();
        toolkit().yield();
        if (m_cancelled) return;
        sliceStart = SteadyClock::now();
    }
    add();
}

bool frmDrivePass::DirWalk(const MaskList& sPattern, const std::string& CurrDir, std::vector<FoundFile>& sFound)
{
    m_unreadable = 0;
    const auto root = m_services.fs.openFolder(CurrDir);
    if (!root) {
        // A folder that has gone meanwhile is no folder left unread.
        if (m_services.fs.folderExists(CurrDir)) ++m_unreadable;
        return true;
    }
    // The label names the folder whose files were listed last, as of the last time it was shown.
    std::string lastListed;
    SteadyClock::time_point shown{}; // long ago: the first subfolder shows at once
    const bool completed = root->walk(CurrDir, &sPattern, [&](const WalkVisit& visit) {
        if (visit.kind == WalkVisit::Kind::Unreadable) {
            ++m_unreadable;
            return WalkStep::Continue;
        }
        if (visit.kind == WalkVisit::Kind::Enter) {
            if (!visit.parent) return WalkStep::Continue;
            const auto now = SteadyClock::now();
            if (now - shown < ProgressSlice) return WalkStep::Continue;
            if (!lastListed.empty()) lblDir.setCaption(lastListed);
            toolkit().yield();
            shown = SteadyClock::now();
            return m_cancelled ? WalkStep::Stop : WalkStep::Continue;
        }
        std::string folderText = visit.path;
        while (folderText.size() > 2 && folderText.back() == '\\') folderText.pop_back();
        if (!visit.files->empty()) {
            // The walk's own path, not the folder text: "C:" alone would name the drive's current folder.
            const auto folder = std::make_shared<const ListedFolder>(ListedFolder{visit.path, visit.folder.id()});
            for (const DirEntry& file : *visit.files)
                sFound.push_back({folderText + "\\" + file.name, folder, file.name});
        }
        lastListed = std::move(folderText);
        return WalkStep::Continue;
    });
    if (completed && !lastListed.empty()) lblDir.setCaption(lastListed);
    return completed;
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

void frmDrivePass::cmdDelete_Click()
{
    // A second deletion while this one yields would ask about the entries it is deleting.
    const Reentry deleting(m_deleting);
    if (deleting.again()) return;
    deleteFound({*this, m_services.fs, lstParasites, [this](std::uint64_t data) { return foundFile(data); }, imgFZ,
                 cmdProperties});
}

const ListedFile* frmDrivePass::foundFile(std::uint64_t data) const
{
    if (data < m_firstData || data - m_firstData >= m_found.size()) return nullptr;
    return &m_found[static_cast<std::size_t>(data - m_firstData)];
}

void frmDrivePass::cmdProperties_Click()
{
    std::vector<PropertiesEntry> selected;
    for (std::size_t i = 0; i < lstParasites.listCount(); ++i) {
        const ListedFile* found = lstParasites.selected(i) ? foundFile(lstParasites.itemData(i)) : nullptr;
        if (found) selected.push_back({*found->folder, found->name, lstParasites.list(i)});
    }
    showProperties({m_services.fs, m_properties, *this}, selected);
}

// A folder with a blank goes in quotes: elsewhere than on Windows the viewer takes its
// arguments word by word. A viewer that cannot be started is the host's matter.
void frmDrivePass::cmdViewFolder_Click() { m_services.processes.start("explorer " + commandWord(DirToScan)); }

} // namespace velmora

#include "browser/FolderBrowser.h"

#include "browser/StatusLine.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/toolkit/Form.h"
#include "platform/toolkit/Reentry.h"

namespace velmora {

FolderBrowser::FolderBrowser(Toolkit& tk, FileSystem& fs, DriveListBox& drive, DirListBox& folders, FileListBox& files,
                             Label& scanStatus, NavigationHistory& history, std::function<void()> updateStatus)
    : m_tk(tk), m_fs(fs), m_drive(drive), m_folders(folders), m_files(files), m_scanStatus(scanStatus),
      m_history(history), m_updateStatus(std::move(updateStatus))
{}

void FolderBrowser::driveChanged()
{
    if (m_folders.setPath(text::toUpper(m_drive.drive()))) return;
    // Back to the drive the tree shows. If that drive cannot be opened either, going back
    // again would never end: stop here.
    const Reentry restoring(m_restoringDrive);
    if (!restoring.again()) m_drive.setDrive(m_folders.path());
}

void FolderBrowser::folderChanged()
{
    const bool listed = m_files.setPath(m_folders.path());
    if (!m_history.FromHistory) {
        m_history.FolderHistory.push_back(m_folders.path());
        m_history.HistoryPos = static_cast<int>(m_history.FolderHistory.size()) - 1;
    }
    m_history.FromHistory = false;
    if (!listed) m_folders.setPath(m_files.path());
}

void FolderBrowser::stepTo(int pos)
{
    {
        // Down again afterwards also when the folder could not be opened or was shown
        // already, so that no folder change cleared it: nothing is under way.
        const Reentry fromHistory(m_history.FromHistory);
        m_folders.setPath(m_history.FolderHistory[static_cast<std::size_t>(pos)]);
    }
    m_history.HistoryPos = pos;
    if (m_updateStatus) m_updateStatus();
}

void FolderBrowser::back()
{
    if (m_history.HistoryPos > 0) stepTo(m_history.HistoryPos - 1);
}

void FolderBrowser::forward()
{
    const int last = static_cast<int>(m_history.FolderHistory.size()) - 1;
    if (m_history.HistoryPos >= 0 && m_history.HistoryPos < last) stepTo(m_history.HistoryPos + 1);
}

std::string FolderBrowser::nearestExisting(std::string path) const
{
    for (;;) {
        if (m_fs.canEnter(path)) return path;
        std::string up = path::parent(path);
        if (up == path) return {};
        path = std::move(up);
    }
}

void FolderBrowser::up()
{
    // A copy: the tree may move while the loop yields.
    const std::string current = m_folders.path();
    std::size_t last = std::string::npos;
    for (std::size_t pos = current.find('\\'); pos != std::string::npos; pos = current.find('\\', pos + 1)) {
        last = pos;
        // Each level lets pending events run (a status tick, another click), as the command
        // always has; the copy above keeps that safe.
        m_tk.yield();
    }
    if (last != std::string::npos) {
        std::string target = current.substr(0, last + 1);
        // The parent may have vanished together with the folder shown. A parent that is there
        // but cannot be listed leaves the view where it is, as any folder change that fails.
        if (!m_fs.folderExists(current) && !m_fs.canEnter(target)) target = nearestExisting(target);
        if (!target.empty()) m_folders.setPath(target);
    }
    if (m_updateStatus) m_updateStatus();
}

void FolderBrowser::refresh()
{
    m_scanStatus.setCaption("Обновление списка. Подождите");
    if (!m_fs.folderExists(m_folders.path())) {
        const std::string target = nearestExisting(m_folders.path());
        if (!target.empty()) m_folders.setPath(target);
    }
    m_files.refresh();
    m_folders.refresh();
    m_drive.refresh();
    if (m_updateStatus) m_updateStatus();
    m_scanStatus.setCaption(std::string(ReadyToScan));
}

} // namespace velmora

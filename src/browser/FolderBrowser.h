#pragma once
// The main window's folder browser: drive box -> folder tree -> file list, and the
// navigation history that records every folder opened.
#include <functional>
#include <string>
#include <vector>

namespace velmora {

class DirListBox;
class DriveListBox;
class FileListBox;
class FileSystem;
class Label;
class Toolkit;

struct NavigationHistory {
    std::vector<std::string> FolderHistory; // oldest first, never shortened
    int HistoryPos = -1;                    // the current entry
    bool FromHistory = false;               // a history button's folder change is under way
};

class FolderBrowser {
public:
    FolderBrowser(Toolkit& tk, FileSystem& fs, DriveListBox& drive, DirListBox& folders, FileListBox& files,
                  Label& scanStatus, NavigationHistory& history, std::function<void()> updateStatus);

    // The drive box changed: the tree opens that drive's current folder; a drive that
    // cannot be opened sends the box back to the tree's drive.
    void driveChanged();
    // The tree changed: the file list follows and the folder is recorded.
    void folderChanged();
    // "Назад" and "Вперед": one step through the history without recording it.
    void back();
    void forward();
    // "Вверх": the parent folder, as a recorded change.
    void up();
    // "Обновить": re-reads the file list, the tree and the drives.
    void refresh();

private:
    // The nearest folder at or above `path` that can still be entered; empty when none.
    std::string nearestExisting(std::string path) const;
    void stepTo(int pos);

    Toolkit& m_tk;
    FileSystem& m_fs;
    DriveListBox& m_drive;
    DirListBox& m_folders;
    FileListBox& m_files;
    Label& m_scanStatus;
    NavigationHistory& m_history;
    std::function<void()> m_updateStatus;
    bool m_restoringDrive = false;
};

} // namespace velmora

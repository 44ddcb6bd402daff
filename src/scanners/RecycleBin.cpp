#include "platform/FileSystem.h"
#include "platform/toolkit/Form.h"
#include "scanners/Scan.h"

#include <cctype>
#include <vector>

namespace velmora {

namespace {

// Empties every subfolder of `bin` at every depth, each folder before its own subfolders,
// so that removing the list backwards takes children before parents. Links and other file
// systems are never entered.
void emptySubfolders(FileSystem& fs, const std::string& bin, std::vector<std::string>& emptied)
{
    std::vector<std::string> pending{bin};
    while (!pending.empty()) {
        const std::string folder = std::move(pending.back());
        pending.pop_back();
        ListOptions options;
        options.details = false;
        options.sameDevice = true;
        const auto subfolders = fs.listFolders(folder, options);
        if (!subfolders) continue;
        // Pushed backwards so they are taken in listing order.
        for (auto it = subfolders->rbegin(); it != subfolders->rend(); ++it) {
            if (it->isLink()) continue;
            pending.push_back(path::join(folder, it->name));
        }
        if (folder == bin) continue;
        fs.deleteMatching(folder, "*.*");
        emptied.push_back(folder);
    }
}

} // namespace

void emptyRecycleBins(const ScanContext& c)
{
    FileSystem& fs = c.services.fs;
    const std::string savedMask = c.files.pattern();
    const std::string savedPath = c.folders.path();
    c.files.setPattern("*.*");
    std::vector<std::string> emptied;

    for (std::size_t i = 0; i < c.drive.listCount(); ++i) {
        const std::string entry = c.drive.list(i);
        if (scan::isFloppy(entry)) continue;
        c.drive.setDrive(entry);
        const std::string bin = entry.substr(0, 2) + "\\Recycled";
        const auto attributes = fs.attributes(bin);
        // A linked or mounted bin leads out of the drive.
        if (!attributes || (*attributes & attr::ReparsePoint) || !fs.sameFileSystem(entry.substr(0, 2) + "\\", bin))
            continue;
        if (!c.folders.setPath(bin) || c.folders.path() != bin) continue;
        if (c.files.listCount() == 0) continue;
        const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(entry[0])));
        fs.setCurrentDrive(letter);
        fs.setCurrentFolder(bin);
        fs.deleteMatching(bin, "*.*");
        emptySubfolders(fs, bin, emptied);
        c.folders.setPath(bin);
        for (auto it = emptied.rbegin(); it != emptied.rend(); ++it) {
            const char driveOfPath = static_cast<char>(std::tolower(static_cast<unsigned char>((*it)[0])));
            fs.setCurrentDrive(driveOfPath);
            fs.setCurrentFolder(it->substr(0, 2) + "\\Recycled");
            fs.removeFolder(*it);
            c.folders.refresh();
        }
        c.files.refresh();
    }

    c.tk.msgBox("Очистка корзины Windows успешно завершена.", MsgButtons::OK, MsgIcon::Information, "Velmora");
    c.files.setPattern(savedMask);
    c.folders.setPath(savedPath);
}

} // namespace velmora

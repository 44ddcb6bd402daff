#include "scanners/RecycleBin.h"

#include "platform/FileSystem.h"
#include "platform/Wildcard.h"
#include "platform/toolkit/Form.h"
#include "settings/Product.h"

namespace velmora {

void emptyRecycleBins(const ScanContext& c)
{
    FileSystem& fs = c.services.fs;
    const std::string savedMask = c.files.pattern();
    const std::string savedPath = c.folders.path();
    c.files.setPattern("*.*");
    const MaskList everything("*.*");

    for (std::size_t i = 0; i < c.drive.listCount(); ++i) {
        const std::string entry = c.drive.list(i);
        if (scan::isFloppy(entry)) continue;
        c.drive.setDrive(entry);
        const std::string prefix = entry.substr(0, 2);
        const std::string bin = prefix + "\\Recycled";
        // A linked or mounted bin leads out of the drive.
        const auto root = fs.openFolder(prefix + "\\");
        const auto binFolder = root ? root->openSubfolder("Recycled", NameMatch::AnyCase) : nullptr;
        if (!binFolder || !c.folders.setPath(bin)) continue;
        if (c.files.listCount() == 0) continue;
        const char letter = path::driveLetter(entry);
        fs.setCurrentDrive(letter);
        fs.setCurrentFolder(bin);
        binFolder->removeMatching(everything);
        // Every subfolder at every depth is emptied on the way down and removed, when it has
        // become empty, on the way up, so a folder goes after its own subfolders. Links and
        // other mounts are never entered.
        binFolder->walk(bin, nullptr, [&](const WalkVisit& visit) {
            if (!visit.parent) return WalkStep::Continue;
            if (visit.kind == WalkVisit::Kind::Enter)
                visit.folder.removeMatching(everything);
            else
                visit.parent->removeFolder(visit.name);
            return WalkStep::Continue;
        });
        // Nothing runs in between, so one re-read shows what a re-read per folder would.
        c.folders.setPath(bin);
        c.folders.refresh();
        c.files.refresh();
    }

    c.tk.msgBox("Очистка корзины Windows успешно завершена.", MsgButtons::OK, MsgIcon::Information, MessageTitle);
    c.files.setPattern(savedMask);
    c.folders.setPath(savedPath);
}

} // namespace velmora

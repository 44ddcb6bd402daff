#include "scanners/RecycleBin.h"

#include "platform/FileSystem.h"
#include "platform/Wildcard.h"
#include "platform/toolkit/Form.h"
#include "settings/Product.h"

namespace velmora {

namespace {

// Deletes the files of a bin and empties every subfolder at every depth on the way down,
// removing it, when it has become empty, on the way up, so a folder goes after its own
// subfolders. Links and other mounts are never entered.
void emptyBin(Folder& bin, const std::string& path, const MaskList& everything)
{
    bin.removeMatching(everything);
    bin.walk(path, nullptr, [&](const WalkVisit& visit) {
        if (!visit.parent) return WalkStep::Continue;
        if (visit.kind == WalkVisit::Kind::Enter)
            visit.folder.removeMatching(everything);
        else if (visit.kind == WalkVisit::Kind::Leave)
            visit.parent->removeFolder(visit.name);
        return WalkStep::Continue;
    });
}

// "\Recycled" of Windows 9x, emptied through the browser: the tree and the file list show
// the bin, and a bin that shows no files is left alone, subfolders and all.
void emptyRecycled(const ScanContext& c, const Folder& root, const std::string& entry, const MaskList& everything)
{
    FileSystem& fs = c.services.fs;
    const std::string bin = entry.substr(0, 2) + "\\Recycled";
    // A linked or mounted bin leads out of the drive.
    const auto binFolder = root.openSubfolder("Recycled", NameMatch::AnyCase);
    if (!binFolder || !c.folders.setPath(bin)) return;
    if (c.files.listCount() == 0) return;
    fs.setCurrentDrive(path::driveLetter(entry));
    fs.setCurrentFolder(bin);
    emptyBin(*binFolder, bin, everything);
    // Nothing runs in between, so one re-read shows what a re-read per folder would.
    c.folders.setPath(bin);
    c.folders.refresh();
    c.files.refresh();
}

// The bins of Windows 2000/XP ("\RECYCLER") and of later Windows ("\$Recycle.Bin") hold one
// bin per user, named by the user's SID, and nothing else at their top. Each user's bin is
// emptied on its own, when it holds anything, and stays.
void emptyUserBins(const Folder& root, const std::string& prefix, const MaskList& everything)
{
    for (const char* name : {"RECYCLER", "$Recycle.Bin"}) {
        const auto top = root.openSubfolder(name, NameMatch::AnyCase);
        const auto users = top ? top->listFolders({nullptr, false}) : std::nullopt;
        if (!users) continue;
        const std::string topPath = prefix + "\\" + name;
        for (const DirEntry& user : *users) {
            const auto bin = top->openSubfolder(user.name);
            const auto held = bin ? bin->names() : std::nullopt;
            if (held && !held->empty()) emptyBin(*bin, path::join(topPath, user.name), everything);
        }
    }
}

// Removes one file or link of a trash, a read-only one too, as the desktop does. True when
// it went.
bool removeTrashed(Folder& folder, const std::string& name)
{
    if (folder.remove(name)) return true;
    const auto attributes = folder.attributes(name);
    return attributes && (*attributes & attr::ReadOnly) && folder.setAttributes(name, 0) && folder.remove(name);
}

// A trashed folder may be read-only to its owner (a module cache, say): opened up so that
// what it holds can go.
void makeWritable(Folder& parent, std::string_view name)
{
    const auto attributes = parent.attributes(name);
    if (attributes && (*attributes & attr::ReadOnly)) parent.setAttributes(name, 0);
}

// Removes every file and link of a folder (a link to a folder too: it holds the folder up);
// the batch announced first.
void removeFilesOf(Folder& folder)
{
    const auto entries = folder.listEntries();
    if (!entries) return;
    std::vector<std::string> names;
    for (const DirEntry& entry : *entries)
        if (entry.isLink() || !entry.isFolder()) names.push_back(entry.name);
    folder.prepareRemoval(names);
    for (const std::string& name : names) removeTrashed(folder, name);
    folder.prepareRemoval({});
}

// Removes the trashed folder `name` of `files` whole; never through a link, never into
// another mount (such a folder and those holding it stay). True when it went.
bool removeTrashedFolder(Folder& files, const std::string& name, const std::string& path)
{
    makeWritable(files, name);
    if (const auto folder = files.openSubfolder(name)) {
        folder->walk(path, nullptr, [](const WalkVisit& visit) {
            if (visit.kind == WalkVisit::Kind::Enter) {
                if (visit.parent) makeWritable(*visit.parent, visit.name);
                removeFilesOf(visit.folder);
            } else if (visit.kind == WalkVisit::Kind::Leave && visit.parent) {
                visit.parent->removeFolder(visit.name);
            }
            return WalkStep::Continue;
        });
    }
    return files.removeFolder(name);
}

// Empties one desktop trash folder: each trashed entry of "files" goes (a folder whole, a
// link itself), and only then its record in "info"; a record whose entry is no longer there
// goes too. The cache of trashed folders' sizes goes once a trashed folder has, rather than
// tell of a folder that is gone.
void emptyTrash(Folder& trash, const std::string& path)
{
    const auto files = trash.openSubfolder("files");
    const auto entries = files ? files->listEntries() : std::nullopt;
    if (!entries) return;
    const auto info = trash.openSubfolder("info");
    const std::string filesPath = path::join(path, "files");

    std::vector<std::string> plain;
    for (const DirEntry& entry : *entries)
        if (entry.isLink() || !entry.isFolder()) plain.push_back(entry.name);
    files->prepareRemoval(plain);
    bool folderGone = false;
    for (const DirEntry& entry : *entries) {
        const bool folder = entry.isFolder() && !entry.isLink();
        const bool gone = folder ? removeTrashedFolder(*files, entry.name, path::join(filesPath, entry.name))
                                 : removeTrashed(*files, entry.name);
        folderGone = folderGone || (folder && gone);
        if (gone && info) removeTrashed(*info, entry.name + ".trashinfo");
    }
    files->prepareRemoval({});

    constexpr std::string_view suffix = ".trashinfo";
    const auto records = info ? info->listFiles({nullptr, false}) : std::nullopt;
    if (records) {
        for (const DirEntry& record : *records) {
            const std::string& name = record.name;
            if (name.size() <= suffix.size() || !name.ends_with(suffix)) continue;
            const auto entryThere = files->contains(name.substr(0, name.size() - suffix.size()));
            if (entryThere && !*entryThere) removeTrashed(*info, name);
        }
    }
    if (folderGone) removeTrashed(trash, "directorysizes");
}

// The desktop's trash at a drive's root: ".Trash-<user>", and "<user>" inside ".Trash" only
// while that is a real folder marked owners-only, as a folder every user shares must be.
void emptyVolumeTrash(const Folder& root, const std::string& prefix, const std::string& user)
{
    const std::string own = ".Trash-" + user;
    if (const auto trash = root.openSubfolder(own)) emptyTrash(*trash, prefix + "\\" + own);
    const auto shared = root.openSubfolder(".Trash");
    if (!shared || !shared->ownersOnly()) return;
    if (const auto trash = shared->openSubfolder(user)) emptyTrash(*trash, prefix + "\\.Trash\\" + user);
}

} // namespace

void emptyRecycleBins(const ScanContext& c)
{
    FileSystem& fs = c.services.fs;
    const std::string savedMask = c.files.pattern();
    const std::string savedPath = c.folders.path();
    c.files.setPattern("*.*");
    const MaskList everything("*.*");
    const DesktopTrash desktop = fs.desktopTrash(c.services.env);

    for (std::size_t i = 0; i < c.drive.listCount(); ++i) {
        const std::string entry = c.drive.list(i);
        if (scan::isFloppy(entry)) continue;
        c.drive.setDrive(entry);
        const std::string prefix = entry.substr(0, 2);
        const auto root = fs.openFolder(prefix + "\\");
        if (!root) continue;
        emptyRecycled(c, *root, entry, everything);
        emptyUserBins(*root, prefix, everything);
        if (!desktop.user.empty()) emptyVolumeTrash(*root, prefix, desktop.user);
    }
    for (const std::string& folder : desktop.folders) {
        if (scan::isFloppy(folder)) continue;
        if (const auto trash = fs.openFolder(folder)) emptyTrash(*trash, folder);
    }

    c.tk.msgBox("Очистка корзины Windows успешно завершена.", MsgButtons::OK, MsgIcon::Information, MessageTitle);
    c.files.setPattern(savedMask);
    c.folders.setPath(savedPath);
}

} // namespace velmora

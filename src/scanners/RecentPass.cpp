#include "scanners/RecentPass.h"

#include "browser/StatusLine.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/Wildcard.h"
#include "platform/toolkit/Form.h"
#include "reports/ReportHandOver.h"
#include "rules/Masks.h"
#include "settings/Product.h"

#include <cctype>
#include <vector>

namespace velmora {

namespace {

constexpr std::string_view ShortcutMask = "*.lnk;*@*[*].txt";

// A profile folder: the parent it was listed in and its exact name there.
struct Profile {
    std::string path;
    std::string parent;
    std::string name;
};

// The profile folders under one parent folder, judged entry by entry: an entry that cannot
// be entered (a file, a locked folder), a link or another mount is passed over.
void collectProfiles(const ScanContext& c, char drive, const std::string& parent, std::vector<Profile>& profiles)
{
    FileSystem& fs = c.services.fs;
    const auto parentFolder = fs.openFolder(parent);
    const auto entries = parentFolder ? parentFolder->listEntries() : std::nullopt;
    if (!entries) return;
    const std::string* previous = nullptr;
    for (const DirEntry& entry : *entries) {
        if (previous && *previous == entry.name) break; // a listing that repeats itself has ended
        previous = &entry.name;
        c.tk.yield();
        fs.setCurrentDrive(drive);
        const std::string candidate = parent + entry.name;
        // A link or another mount is judged before it is entered, so the working folder never
        // moves into someone else's tree.
        if (entry.name == "." || entry.name == ".." || !parentFolder->openSubfolder(entry.name) ||
            !fs.setCurrentFolder(candidate))
            continue;
        profiles.push_back({candidate, parent, entry.name});
    }
}

// The Cookies or Recent folder of a profile when it belongs to the profile's own tree: a
// linked or mounted one leads into someone else's and is passed over.
std::unique_ptr<Folder> openOwnSubfolder(FileSystem& fs, const Profile& profile, std::string_view sub)
{
    const auto parent = fs.openFolder(profile.parent);
    const auto folder = parent ? parent->openSubfolder(profile.name) : nullptr;
    return folder ? folder->openSubfolder(sub, NameMatch::AnyCase) : nullptr;
}

// The files still in a folder that was emptied; one that cannot be read is not known to be
// empty and counts as one.
std::size_t filesLeft(const Folder& folder)
{
    const auto files = folder.listFiles();
    return files ? files->size() : 1;
}

} // namespace

std::size_t recentPass(const ScanContext& c)
{
    FileSystem& fs = c.services.fs;
    const std::string savedFolder = fs.currentFolder(fs.currentDrive());
    std::string report = "Отчет о сканировании на наличие ярлыков\r\nСканирование начато " +
                         c.services.clock.nowText() + "\r\nНиже приведен список папок, содержащих временные файлы.\r\n";
    c.files.setPattern(ShortcutMask);
    std::vector<Profile> profiles;

    for (std::size_t i = 0; i < c.drive.listCount(); ++i) {
        const std::string entry = c.drive.list(i);
        if (scan::isFloppy(entry)) continue;
        const std::string prefix = entry.substr(0, 2);
        c.scanStatus.setCaption("Составляю список папок - диск " + text::toUpper(entry.substr(0, 1)));
        c.tk.yield();
        const char letter = path::driveLetter(entry);
        collectProfiles(c, letter, prefix + "\\Documents and Settings\\", profiles);
        collectProfiles(c, letter, prefix + "\\Windows\\Profiles\\", profiles);
    }

    std::int64_t total = 0;
    // The folders counted, so that what is emptied is what was counted and told.
    std::vector<FolderId> counted;
    for (const Profile& profile : profiles) {
        c.tk.yield();
        c.drive.setDrive(profile.path.substr(0, 3));
        for (std::string_view sub : {"Cookies", "Recent"}) {
            const std::string folder = profile.path + "\\" + std::string(sub);
            // A subfolder that is missing, cannot be opened or is not the profile's own counts nothing.
            const auto own = openOwnSubfolder(fs, profile, sub);
            const bool shown = own && scan::openInBrowser(c, folder) && c.files.listedFolder().id == own->id();
            const auto count = shown ? static_cast<std::int64_t>(c.files.listCount()) : 0;
            counted.push_back(shown ? own->id() : FolderId{});
            if (count > 0) {
                c.scanStatus.setCaption("Сканирую " + folder + ". Найдено: " + std::to_string(count));
                report += "Найден(ы) ярлык(и): " + std::to_string(count) + " шт. Папка: " + c.folders.path() + "\r\n";
            }
            total += count;
        }
    }

    c.tk.msgBox(std::to_string(total) + " ярлык" + scan::ending(total) +
                    " было найдено при осмотре директорий документов.",
                MsgButtons::OK, MsgIcon::Information, MessageTitle);
    std::size_t stayed = 0;
    if (total > 0) {
        const MaskList everything("*.*");
        std::size_t next = 0;
        for (const Profile& profile : profiles) {
            for (std::string_view sub : {"Cookies", "Recent"}) {
                const FolderId& wasCounted = counted[next++];
                const auto own = openOwnSubfolder(fs, profile, sub);
                if (!own || !(own->id() == wasCounted)) continue;
                c.folders.setPath(profile.path + "\\" + std::string(sub));
                own->removeMatching(everything);
                stayed += filesLeft(*own);
            }
        }
    } else {
        report += "Ярлыков не найдено.\r\n";
    }
    report += "Сканирование завершено " + c.services.clock.nowText();
    c.handOver("Velmora - отчет о сканировании ярлыков", report);
    c.files.setPattern(masks::ExtendedWithoutAlexa);
    c.scanStatus.setCaption(std::string(ReadyToScan));
    c.drive.setDrive(savedFolder.substr(0, 3));
    c.folders.setPath(savedFolder);
    return stayed;
}

} // namespace velmora

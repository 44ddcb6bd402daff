#include "scanners/RecentPass.h"

#include "browser/StatusLine.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/Wildcard.h"
#include "platform/toolkit/Form.h"
#include "reports/ReportHandOver.h"
#include "rules/Masks.h"
#include "scanners/Profiles.h"
#include "settings/Product.h"

#include <algorithm>
#include <array>
#include <span>
#include <vector>

namespace velmora {

namespace {

constexpr std::string_view ShortcutMask = "*.lnk;*@*[*].txt";

// The folders a profile keeps shortcuts and cookies in, cookies first: at the profile's top
// in the older layouts, under AppData in a Users folder.
constexpr std::array<std::string_view, 2> OlderFolders{"Cookies", "Recent"};
constexpr std::array<std::string_view, 3> AppDataFolders{"AppData\\Roaming\\Microsoft\\Windows\\Cookies",
                                                         "AppData\\Local\\Microsoft\\Windows\\INetCookies",
                                                         "AppData\\Roaming\\Microsoft\\Windows\\Recent"};

struct Profile {
    scan::Profile folder;
    std::span<const std::string_view> subfolders;
};

void collect(const ScanContext& c, char drive, const std::string& parent, std::span<const std::string_view> subfolders,
             std::vector<Profile>& profiles)
{
    std::vector<scan::Profile> found;
    scan::collectProfiles(c, drive, parent, scan::EnterEach::Yes, found);
    for (scan::Profile& p : found) profiles.push_back({std::move(p), subfolders});
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
        collect(c, letter, prefix + "\\Documents and Settings\\", OlderFolders, profiles);
        collect(c, letter, prefix + "\\Windows\\Profiles\\", OlderFolders, profiles);
        collect(c, letter, prefix + "\\Users\\", AppDataFolders, profiles);
    }

    std::int64_t total = 0;
    // The folders counted, so that what is emptied is what was counted and told.
    std::vector<FolderId> counted;
    for (const Profile& profile : profiles) {
        c.tk.yield();
        c.drive.setDrive(profile.folder.path.substr(0, 3));
        for (std::string_view sub : profile.subfolders) {
            const std::string folder = profile.folder.path + "\\" + std::string(sub);
            // A subfolder that is missing, cannot be opened or is not the profile's own counts
            // nothing; nor does one already counted by another way to it (a profile parent that
            // is a link to another), so no file is counted twice.
            const auto own = scan::openProfileFolder(fs, profile.folder, sub);
            const bool again = own && std::find(counted.begin(), counted.end(), own->id()) != counted.end();
            const bool shown =
                own && !again && scan::openInBrowser(c, folder) && c.files.listedFolder().id == own->id();
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
            for (std::string_view sub : profile.subfolders) {
                const FolderId& wasCounted = counted[next++];
                const auto own = scan::openProfileFolder(fs, profile.folder, sub);
                if (!own || !(own->id() == wasCounted)) continue;
                c.folders.setPath(profile.folder.path + "\\" + std::string(sub));
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

#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/toolkit/Form.h"
#include "rules/Masks.h"
#include "scanners/Scan.h"

#include <cctype>
#include <vector>

namespace velmora {

namespace {

constexpr std::string_view ShortcutMask = "*.lnk;*@*[*].txt";

// The profile folders under one parent folder, judged entry by entry: an entry that cannot
// be entered (a file, a locked folder) or that is a link is passed over.
void collectProfiles(const ScanContext& c, char drive, const std::string& parent, std::vector<std::string>& profiles)
{
    FileSystem& fs = c.services.fs;
    const auto entries = fs.listEntries(parent);
    if (!entries) return;
    const std::string* previous = nullptr;
    for (const DirEntry& entry : *entries) {
        if (previous && *previous == entry.name) break; // a listing that repeats itself has ended
        previous = &entry.name;
        c.tk.yield();
        fs.setCurrentDrive(drive);
        const std::string candidate = parent + entry.name;
        if (!fs.setCurrentFolder(candidate) || entry.name == "." || entry.name == ".." || entry.isLink() ||
            !fs.sameFileSystem(parent, candidate))
            continue;
        profiles.push_back(candidate);
    }
}

} // namespace

void recentPass(const ScanContext& c)
{
    FileSystem& fs = c.services.fs;
    const std::string savedFolder = fs.currentFolder(fs.currentDrive());
    std::string report = "Отчет о сканировании на наличие ярлыков\r\nСканирование начато " +
                         c.services.clock.nowText() +
                         "\r\nНиже приведен список папок, содержащих временные файлы.\r\n";
    c.files.setPattern(ShortcutMask);
    std::vector<std::string> profiles;

    for (std::size_t i = 0; i < c.drive.listCount(); ++i) {
        const std::string entry = c.drive.list(i);
        if (scan::isFloppy(entry)) continue;
        const std::string prefix = entry.substr(0, 2);
        c.scanStatus.setCaption("Составляю список папок - диск " + text::toUpper(entry.substr(0, 1)));
        c.tk.yield();
        const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(entry[0])));
        collectProfiles(c, letter, prefix + "\\Documents and Settings\\", profiles);
        collectProfiles(c, letter, prefix + "\\Windows\\Profiles\\", profiles);
    }

    std::int64_t total = 0;
    for (const std::string& profile : profiles) {
        c.tk.yield();
        c.drive.setDrive(profile.substr(0, 3));
        for (std::string_view sub : {"Cookies", "Recent"}) {
            const std::string folder = profile + "\\" + std::string(sub);
            c.folders.setPath(folder);
            // A subfolder that is missing or cannot be opened counts nothing.
            const auto count = c.folders.path() == folder ? static_cast<std::int64_t>(c.files.listCount()) : 0;
            if (count > 0) {
                c.scanStatus.setCaption("Сканирую " + folder + ". Найдено: " + std::to_string(count));
                report += "Найден(ы) ярлык(и): " + std::to_string(count) + " шт. Папка: " + c.folders.path() + "\r\n";
            }
            total += count;
        }
    }

    c.tk.msgBox(std::to_string(total) + " ярлык" + scan::ending(total) +
                    " было найдено при осмотре директорий документов.",
                MsgButtons::OK, MsgIcon::Information, "Velmora");
    if (total > 0) {
        for (const std::string& profile : profiles) {
            for (std::string_view sub : {"Cookies", "Recent"}) {
                const std::string folder = profile + "\\" + std::string(sub);
                c.folders.setPath(folder);
                // A mounted or linked subfolder belongs to someone else's tree.
                if (fs.sameFileSystem(profile, folder)) fs.deleteMatching(folder, "*.*");
            }
        }
    } else {
        report += "Ярлыков не найдено.\r\n";
    }
    report += "Сканирование завершено " + c.services.clock.nowText();
    c.handOver("Velmora - отчет о сканировании ярлыков", report);
    c.files.setPattern(masks::ExtendedWithoutAlexa);
    c.scanStatus.setCaption("Готов сканировать");
    c.drive.setDrive(savedFolder.substr(0, 3));
    c.folders.setPath(savedFolder);
}

} // namespace velmora

#include "scanners/AutoPass.h"

#include "browser/StatusLine.h"
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/toolkit/Form.h"
#include "reports/ReportHandOver.h"
#include "scanners/Profiles.h"
#include "settings/Product.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

namespace velmora {

namespace {

constexpr std::array<std::string_view, 6> StandardFolders{
    "\\Windows", "\\Windows\\temp", "\\Windows\\Temporary Internet Files", "\\Windows\\tmp", "\\temp", "\\tmp"};

// A folder to scan. One found inside a profile was opened name by name, so that it is known
// to lie in the profile's own tree; it is counted only while the browser shows that folder.
struct Candidate {
    std::string path;
    std::optional<FolderId> profileFolder;
};

// The temporary folders of the profiles under one parent of the drive, those that exist.
void addProfileTemps(const ScanContext& c, char drive, const std::string& parent, std::string_view temp,
                     std::vector<Candidate>& candidates)
{
    std::vector<scan::Profile> profiles;
    scan::collectProfiles(c, drive, parent, scan::EnterEach::No, profiles);
    for (const scan::Profile& profile : profiles)
        if (const auto folder = scan::openProfileFolder(c.services.fs, profile, temp))
            candidates.push_back({profile.path + "\\" + std::string(temp), folder->id()});
}

} // namespace

void autoPass(const ScanContext& c)
{
    const Clock& clock = c.services.clock;
    std::string report = "Отчет об автоматическом сканировании\r\n"
                         "Сканирование начато " +
                         clock.nowText() +
                         "\r\n"
                         "Ниже приведен список папок, содержащих временные файлы.\r\n";
    std::int64_t total = 0;
    std::string lastJunkFolder;

    std::vector<Candidate> candidates;
    for (std::size_t i = 0; i < c.drive.listCount(); ++i) {
        c.tk.yield();
        if (i >= c.drive.listCount()) break;
        const std::string entry = c.drive.list(i);
        if (scan::isFloppy(entry)) continue;
        const std::string prefix = entry.substr(0, 2);
        const auto first = static_cast<std::ptrdiff_t>(candidates.size());
        for (std::string_view folder : StandardFolders) candidates.push_back({prefix + std::string(folder), {}});
        std::string envTemp = c.services.env.get("temp");
        if (envTemp.empty()) envTemp = c.services.env.get("tmp");
        if (!envTemp.empty() && text::toUpper(envTemp.substr(0, 2)) == text::toUpper(prefix) &&
            std::none_of(candidates.begin() + first, candidates.end(),
                         [&](const Candidate& known) { return known.path == envTemp; }))
            candidates.push_back({envTemp, {}});
        const char letter = path::driveLetter(entry);
        addProfileTemps(c, letter, prefix + "\\Documents and Settings\\", "Local Settings\\Temp", candidates);
        addProfileTemps(c, letter, prefix + "\\Users\\", "AppData\\Local\\Temp", candidates);
        c.scanStatus.setCaption("Составляю список папок - диск " + text::toUpper(entry.substr(0, 1)));
    }

    // Two spellings of one folder (C:\WINDOWS\TEMP from the environment, c:\Windows\temp) are
    // one candidate: the first keeps its place, so no file is counted twice.
    std::vector<FolderId> scanned;
    for (const auto& [candidate, profileFolder] : candidates) {
        c.tk.yield();
        std::optional<FolderId> id = profileFolder;
        if (!id)
            if (const auto folder = c.services.fs.openFolder(candidate)) id = folder->id();
        if (id) {
            if (std::find(scanned.begin(), scanned.end(), *id) != scanned.end()) continue;
            scanned.push_back(*id);
        }
        if (scan::openInBrowser(c, candidate) && (!profileFolder || c.files.listedFolder().id == *profileFolder)) {
            const auto n = static_cast<std::int64_t>(c.files.listCount());
            total += n;
            if (n != 0) {
                lastJunkFolder = candidate;
                report += "Найден(ы) файл(ы): " + std::to_string(n) + " шт. в папке " + candidate + "\r\n";
            }
        }
        c.scanStatus.setCaption("Сканирую " + candidate + ". Найдено " + std::to_string(total));
    }

    if (total == 0) report += "Временных файлов не найдено.\r\n";
    report += "Сканирование завершено " + clock.nowText();
    if (!lastJunkFolder.empty()) c.folders.setPath(lastJunkFolder);
    c.scanStatus.setCaption(std::string(ReadyToScan));
    c.tk.msgBox(std::to_string(total) + " файл" + scan::ending(total) + " было найдено в директориях временных файлов.",
                MsgButtons::OK, MsgIcon::Information, MessageTitle);
    c.handOver("Velmora - отчет об автоматическом сканировании", report);
}

} // namespace velmora

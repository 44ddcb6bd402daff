#include "scanners/AutoPass.h"

#include "browser/StatusLine.h"
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/toolkit/Form.h"
#include "reports/ReportHandOver.h"
#include "settings/Product.h"

#include <algorithm>
#include <array>
#include <vector>

namespace velmora {

namespace {

constexpr std::array<std::string_view, 6> StandardFolders{
    "\\Windows", "\\Windows\\temp", "\\Windows\\Temporary Internet Files", "\\Windows\\tmp", "\\temp", "\\tmp"};

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

    std::vector<std::string> candidates;
    for (std::size_t i = 0; i < c.drive.listCount(); ++i) {
        c.tk.yield();
        if (i >= c.drive.listCount()) break;
        const std::string entry = c.drive.list(i);
        if (scan::isFloppy(entry)) continue;
        const std::string prefix = entry.substr(0, 2);
        const auto first = static_cast<std::ptrdiff_t>(candidates.size());
        for (std::string_view folder : StandardFolders) candidates.push_back(prefix + std::string(folder));
        std::string envTemp = c.services.env.get("temp");
        if (envTemp.empty()) envTemp = c.services.env.get("tmp");
        if (!envTemp.empty() && text::toUpper(envTemp.substr(0, 2)) == text::toUpper(prefix) &&
            std::find(candidates.begin() + first, candidates.end(), envTemp) == candidates.end())
            candidates.push_back(envTemp);
        c.scanStatus.setCaption("Составляю список папок - диск " + text::toUpper(entry.substr(0, 1)));
    }

    // Two spellings of one folder (C:\WINDOWS\TEMP from the environment, c:\Windows\temp) are
    // one candidate: the first keeps its place, so no file is counted twice.
    std::vector<FolderId> scanned;
    for (const std::string& candidate : candidates) {
        c.tk.yield();
        if (const auto folder = c.services.fs.openFolder(candidate)) {
            if (std::find(scanned.begin(), scanned.end(), folder->id()) != scanned.end()) continue;
            scanned.push_back(folder->id());
        }
        if (scan::openInBrowser(c, candidate)) {
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

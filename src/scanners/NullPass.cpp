#include "scanners/NullPass.h"

#include "browser/Deletion.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/toolkit/Form.h"
#include "reports/ReportHandOver.h"
#include "settings/Product.h"

#include <vector>

namespace velmora {

void nullPass(const ScanContext& c)
{
    if (c.tk.msgBox("NullPASS™ проведет сканирование текущей папки на предмет наличия файлов с размером 0 байт."
                    "\r\n\r\nПродолжить?",
                    MsgButtons::YesNo, MsgIcon::Question, MessageTitle) != MsgResult::Yes)
        return;
    FileSystem& fs = c.services.fs;
    const std::string folder = c.folders.path();
    std::string report =
        "Сканирование начато " + c.services.clock.nowText() + "\r\n\r\nПроверка папки: " + folder + "\r\n\r\n";
    const std::string savedMask = c.files.pattern();
    c.files.setPattern("*.*");

    // The found list: names in the folder as it was listed, each acted on by that exact name.
    std::vector<std::string> found;
    const ListedFolder listed = c.files.listedFolder();
    if (c.files.listCount() != 0) {
        fs.setCurrentFolder(folder);
        const auto opened = fs.openListed(listed);
        for (std::size_t i = 0; opened && i < c.files.listCount(); ++i) {
            const std::string& name = c.files.list(i);
            // A size that cannot be read is no proof of an empty file.
            const auto size = opened->size(name);
            if (!size || *size != 0) continue;
            report += "Найден файл (размер 0 байт): " + name + "\r\n";
            found.push_back(name);
        }
    }

    c.tk.msgBox("Операция успешно завершена", MsgButtons::OK, MsgIcon::Information, MessageTitle);
    if (found.empty()) report += "Файлов с нулевым размером не найдено.\r\n";
    report += "Сканирование завершено " + c.services.clock.nowText();
    c.handOver("Velmora - отчет", report);

    if (!found.empty() && c.tk.msgBox("Удалить файлы (" + std::to_string(found.size()) + ") размером 0 байт из папки " +
                                          c.folders.path() + " ?",
                                      MsgButtons::YesNo, MsgIcon::Question, MessageTitle) == MsgResult::Yes) {
        const auto opened = fs.openListed(listed);
        std::size_t deleted = 0;
        for (const std::string& name : found) {
            if (!opened) break;
            // A file written to since it was found is no longer junk, and stays; one that is
            // no longer there went, as with every other deletion.
            const auto size = opened->size(name);
            if (size ? *size == 0 && (opened->remove(name) || noLongerThere(*opened, name))
                     : noLongerThere(*opened, name))
                ++deleted;
        }
        // Nothing runs between the deletions, so one re-read shows what each would have.
        c.files.refresh();
        tellDeletion(c.tk, deleted, found.size(), "");
    }
    c.files.setPattern(savedMask);
}

} // namespace velmora

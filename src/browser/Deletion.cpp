#include "browser/Deletion.h"

#include "platform/FileSystem.h"
#include "platform/toolkit/Form.h"

#include <string>

namespace velmora {

namespace {

bool confirm(Toolkit& tk, const std::string& what, std::size_t count, const std::string& folder)
{
    const std::string text = "Вы действительно хотите удалить " + what + " (" + std::to_string(count) +
                             ") из папки:\r\n\r\n'" + folder + "'?";
    return tk.msgBox(text, MsgButtons::YesNo, MsgIcon::Question, "Velmora") == MsgResult::Yes;
}

// Clears the attributes first so read-only junk goes too; a link is removed itself.
void deleteEntry(const DeletionTargets& t, std::size_t index, std::size_t count)
{
    t.scanStatus.setCaption("Сканирую файл " + std::to_string(index + 1) + " из " + std::to_string(count));
    const std::string file = path::join(t.folders.path(), t.files.list(index));
    t.fs.setAttributes(file, 0);
    t.fs.deleteFile(file);
}

} // namespace

void deleteAll(const DeletionTargets& t)
{
    if (t.files.listCount() == 0) return;
    if (!confirm(t.tk, "все временные файлы", t.files.listCount(), t.folders.path())) return;
    const std::size_t count = t.files.listCount();
    if (count == 0) return;
    for (std::size_t i = 0; i < count; ++i) deleteEntry(t, i, count);
    t.tk.msgBox("Успешно завершено.", MsgButtons::OK, MsgIcon::Information, "Velmora");
    t.files.refresh();
    t.folders.refresh();
    t.drive.refresh();
    t.scanStatus.setCaption("Готов сканировать");
}

void deleteSelected(const DeletionTargets& t)
{
    std::size_t selected = 0;
    for (std::size_t i = 0; i < t.files.listCount(); ++i) {
        t.tk.yield();
        if (i < t.files.listCount() && t.files.selected(i)) ++selected;
    }
    if (selected == 0) return;
    if (!confirm(t.tk, "все выделенные временные файлы", selected, t.folders.path())) return;
    const std::size_t count = t.files.listCount();
    for (std::size_t i = 0; i < count; ++i)
        if (t.files.selected(i)) deleteEntry(t, i, count);
    t.folders.refresh();
    t.files.refresh();
    t.drive.refresh();
    t.scanStatus.setCaption("Готов сканировать");
    t.tk.msgBox("Завершено успешно.", MsgButtons::OK, MsgIcon::Information, "Velmora");
}

} // namespace velmora

#include "browser/Deletion.h"

#include "browser/StatusLine.h"
#include "platform/FileSystem.h"
#include "platform/toolkit/Form.h"
#include "settings/Product.h"

#include <string>
#include <utility>
#include <vector>

namespace velmora {

namespace {

bool confirm(Toolkit& tk, const std::string& what, std::size_t count, const std::string& folder)
{
    const std::string text = "Вы действительно хотите удалить " + what + " (" + std::to_string(count) +
                             ") из папки:\r\n\r\n'" + folder + "'?";
    return tk.msgBox(text, MsgButtons::YesNo, MsgIcon::Question, MessageTitle) == MsgResult::Yes;
}

// The entries a question named, taken when it was asked: a Yes deletes these and nothing
// else, in the folder they were listed in, whatever the list shows by the time it comes.
struct Doomed {
    ListedFolder folder;
    std::size_t listCount = 0;
    std::vector<std::pair<std::size_t, std::string>> entries; // index in the list, name
};

Doomed take(const FileListBox& files, bool selectedOnly)
{
    Doomed d{files.listedFolder(), files.listCount(), {}};
    for (std::size_t i = 0; i < files.listCount(); ++i)
        if (!selectedOnly || files.selected(i)) d.entries.emplace_back(i, files.list(i));
    return d;
}

// Clears the attributes first so read-only junk goes too; a link is removed itself. The
// number of files that went.
std::size_t deleteEntries(const DeletionTargets& t, const Doomed& d, const MayDelete& mayDelete = {})
{
    const auto folder = t.fs.openListed(d.folder);
    if (folder) {
        std::vector<std::string> names;
        names.reserve(d.entries.size());
        for (const auto& entry : d.entries) names.push_back(entry.second);
        folder->prepareRemoval(names);
    }
    std::size_t deleted = 0;
    for (const auto& [index, name] : d.entries) {
        t.scanStatus.setCaption("Сканирую файл " + std::to_string(index + 1) + " из " + std::to_string(d.listCount));
        if (!folder || (mayDelete && !mayDelete(*folder, name))) continue;
        folder->setAttributes(name, 0);
        if (folder->remove(name)) ++deleted;
    }
    return deleted;
}

} // namespace

void tellDeletion(Toolkit& tk, std::size_t deleted, std::size_t tried, const std::string& success)
{
    if (deleted == tried) {
        if (!success.empty()) tk.msgBox(success, MsgButtons::OK, MsgIcon::Information, MessageTitle);
        return;
    }
    const std::string text = "Удалено файлов: " + std::to_string(deleted) + " из " + std::to_string(tried) +
                             ".\r\nНе удалось удалить: " + std::to_string(tried - deleted) + ".";
    tk.msgBox(text, MsgButtons::OK, MsgIcon::Exclamation, MessageTitle);
}

std::size_t deleteAll(const DeletionTargets& t)
{
    if (t.files.listCount() == 0) return 0;
    const Doomed doomed = take(t.files, false);
    if (!confirm(t.tk, "все временные файлы", doomed.entries.size(), t.folders.path())) return 0;
    if (t.files.listCount() == 0) return 0;
    const std::size_t deleted = deleteEntries(t, doomed);
    tellDeletion(t.tk, deleted, doomed.entries.size(), "Успешно завершено.");
    t.files.refresh();
    t.folders.refresh();
    t.drive.refresh();
    t.scanStatus.setCaption(std::string(ReadyToScan));
    return doomed.entries.size() - deleted;
}

void deleteSelected(const DeletionTargets& t, const MayDelete& mayDelete)
{
    std::size_t selected = 0;
    for (std::size_t i = 0; i < t.files.listCount(); ++i) {
        t.tk.yield();
        if (i < t.files.listCount() && t.files.selected(i)) ++selected;
    }
    if (selected == 0) return;
    // The list may have changed while the count yielded: the question names what is selected now.
    const Doomed doomed = take(t.files, true);
    if (doomed.entries.empty()) return;
    if (!confirm(t.tk, "все выделенные временные файлы", doomed.entries.size(), t.folders.path())) return;
    const std::size_t deleted = deleteEntries(t, doomed, mayDelete);
    t.folders.refresh();
    t.files.refresh();
    t.drive.refresh();
    t.scanStatus.setCaption(std::string(ReadyToScan));
    tellDeletion(t.tk, deleted, doomed.entries.size(), "Завершено успешно.");
}

} // namespace velmora

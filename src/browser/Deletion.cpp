#include "browser/Deletion.h"

#include "browser/StatusLine.h"
#include "platform/FileSystem.h"
#include "platform/toolkit/Form.h"
#include "settings/Product.h"

#include <chrono>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

namespace velmora {

bool noLongerThere(const Folder& folder, std::string_view name)
{
    if (name.empty() || name == "." || name == ".." || name.find_first_of("\\/") != std::string_view::npos)
        return false;
    return folder.contains(name) == false;
}

namespace {

// The rule every command counts by (see the header): true when the file is gone.
bool deleteListed(Folder& folder, const std::string& name, const MayDelete& mayDelete = {})
{
    if (mayDelete && !mayDelete(folder, name)) return noLongerThere(folder, name);
    folder.setAttributes(name, 0);
    // A remove that fails leaves the question open: gone meanwhile, or still there (in use,
    // no right to, a folder now by that name).
    return folder.remove(name) || noLongerThere(folder, name);
}

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

// The number of files that are gone.
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
        if (folder && deleteListed(*folder, name, mayDelete)) ++deleted;
    }
    return deleted;
}

using SteadyClock = std::chrono::steady_clock;
// How often entries that went leave a long list: one at a time, it would be redrawn once per file.
constexpr auto RedrawSlice = std::chrono::milliseconds(50);

// A drive scan's deletion under way: the entries it was asked about, by item datum, and the
// folder it has open, kept while that folder's files come one after another.
class FoundDeletion {
public:
    explicit FoundDeletion(const FoundDeletionTargets& t) : m_t(t) {}

    // Passes over the list until no entry the question named is left untried (the list may
    // change while a pass yields). False when the window was closed meanwhile.
    bool run(std::unordered_set<std::uint64_t> asked)
    {
        const bool several = asked.size() > 1;
        auto sliceStart = SteadyClock::now();
        for (bool acted = true; acted && !asked.empty();) {
            acted = false;
            for (std::size_t i = 0; i < m_t.list.listCount(); ++i) {
                if (several) {
                    if (SteadyClock::now() - sliceStart >= RedrawSlice) {
                        i = dropGone(i);
                        sliceStart = SteadyClock::now();
                    }
                    m_t.window.toolkit().yield();
                    if (!m_t.window.isLoaded()) return false;
                    if (i >= m_t.list.listCount()) break;
                }
                const std::uint64_t data = m_t.list.itemData(i);
                if (asked.erase(data) == 0) continue;
                acted = true;
                ++tried;
                if (deleteOne(i)) {
                    m_gone.insert(data);
                } else {
                    // Kept, so the list never hides a file that is still there.
                    m_t.list.setSelected(i, false);
                    ++stayed;
                }
            }
            dropGone(0);
        }
        return true;
    }

    std::size_t tried = 0, stayed = 0;

private:
    bool deleteOne(std::size_t index)
    {
        const ListedFile* file = m_t.file(m_t.list.itemData(index));
        if (!file || !file->folder) return false;
        if (m_listed != file->folder) {
            m_listed = file->folder;
            // A folder whose path leads to another folder now is not the one listed: nothing in
            // it is touched.
            m_folder = m_t.fs.openListed(*m_listed);
            if (m_folder) m_folder->prepareRemoval(selectedNamesFrom(index));
        }
        return m_folder && deleteListed(*m_folder, file->name);
    }

    // The selected files of the folder just opened that follow the entry at `index`.
    std::vector<std::string> selectedNamesFrom(std::size_t index) const
    {
        std::vector<std::string> names;
        for (std::size_t i = index; i < m_t.list.listCount(); ++i) {
            const ListedFile* file = m_t.file(m_t.list.itemData(i));
            if (!file || file->folder != m_listed) break;
            if (m_t.list.selected(i)) names.push_back(file->name);
        }
        return names;
    }

    // Takes the entries whose files went out of the list; the index `position` had becomes
    // the one returned.
    std::size_t dropGone(std::size_t position)
    {
        if (m_gone.empty()) return position;
        std::vector<std::size_t> indices;
        std::size_t before = 0;
        for (std::size_t i = 0; i < m_t.list.listCount(); ++i) {
            if (!m_gone.contains(m_t.list.itemData(i))) continue;
            indices.push_back(i);
            if (i < position) ++before;
        }
        m_t.list.removeItems(indices);
        m_gone.clear();
        return position - before;
    }

    const FoundDeletionTargets& m_t;
    std::unordered_set<std::uint64_t> m_gone;
    std::shared_ptr<const ListedFolder> m_listed;
    std::unique_ptr<Folder> m_folder;
};

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
    // Timers tick while the question waits, and what they run may re-read the list: one emptied
    // meanwhile ends the run as an empty list does, with nothing deleted and nothing told.
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

void deleteFound(const FoundDeletionTargets& t)
{
    ListBox& list = t.list;
    std::size_t counted = 0;
    for (std::size_t i = 0; i < list.listCount(); ++i) {
        t.window.toolkit().yield();
        if (!t.window.isLoaded()) return;
        if (list.selected(i)) ++counted;
    }
    if (counted == 0) return;
    // The list may have changed while the count yielded: the question names what is selected now.
    std::unordered_set<std::uint64_t> asked;
    std::string only;
    for (std::size_t i = 0; i < list.listCount(); ++i) {
        if (!list.selected(i)) continue;
        asked.insert(list.itemData(i));
        only = list.list(i);
    }
    if (asked.empty()) return;

    list.setEnabled(false);
    const std::size_t count = asked.size();
    const std::string question = count == 1 ? "Вы хотите удалить файл " + only + "?"
                                            : "Вы хотите удалить файлы (" + std::to_string(count) + ")?";
    if (t.window.toolkit().msgBox(question, MsgButtons::YesNo, MsgIcon::Question, MessageTitle) != MsgResult::Yes) {
        list.setEnabled(true);
        return;
    }
    FoundDeletion deletion(t);
    if (!deletion.run(std::move(asked))) return;
    list.setEnabled(true);
    t.fileIcon.setVisible(false);
    t.properties.setEnabled(false);
    if (deletion.stayed > 0) tellDeletion(t.window.toolkit(), deletion.tried - deletion.stayed, deletion.tried, "");
}

} // namespace velmora

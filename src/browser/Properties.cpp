#include "browser/Properties.h"

#include "platform/DateTime.h"
#include "platform/Text.h"
#include "settings/Product.h"

#include <limits>
#include <memory>
#include <utility>

namespace velmora {

namespace {

constexpr std::string_view TitleStart = "Свойства ";

// What could be read of the selected files.
struct Composed {
    std::string title{TitleStart};
    std::int64_t total = 0;
    int count = 0;
    std::optional<DateTime> date; // of the last file read
    const PropertiesEntry* last = nullptr;
};

Composed compose(FileSystem& fs, const std::vector<PropertiesEntry>& selected)
{
    Composed c;
    // Entries of one folder come together: that folder is opened once for all of them.
    std::unique_ptr<Folder> folder;
    const ListedFolder* opened = nullptr;
    for (const PropertiesEntry& entry : selected) {
        if (!opened || opened->path != entry.folder.path || !(opened->id == entry.folder.id)) {
            folder = fs.openListed(entry.folder);
            opened = &entry.folder;
        }
        if (!folder) continue;
        const auto size = folder->size(entry.name);
        const auto date = folder->modificationTime(entry.name);
        if (!size || !date) continue;
        ++c.count;
        c.title += entry.shown + " ";
        // Sparse files may claim sizes near the limit: the total stops there rather than wrap.
        c.total = *size > std::numeric_limits<std::int64_t>::max() - c.total ? std::numeric_limits<std::int64_t>::max()
                                                                             : c.total + *size;
        c.date = date;
        c.last = &entry;
    }
    c.title += "(" + std::to_string(c.count) + ")";
    return c;
}

} // namespace

frmProperties::frmProperties(Toolkit& tk, FileSystem& fs) : Form(tk, "frmProperties"), m_fs(fs)
{
    setCaption("Свойства");
    setClientSize(5640, 1950);
    fraFile.setGeometry({120, 60, 5400, 1215});
    lblSize.setGeometry({180, 300, 5100, 255});
    lblDateTime.setGeometry({180, 720, 5100, 255});
    cmdDelete.setGeometry({2760, 1440, 1275, 375});
    cmdDelete.setCaption("&Удалить");
    cmdClose.setGeometry({4245, 1440, 1275, 375});
    cmdClose.setCaption("З&акрыть");
    cmdClose.setDefault(true);
    cmdClose.setCancel(true);

    cmdDelete.onClick = [this] { cmdDelete_Click(); };
    cmdClose.onClick = [this] { unload(); };
}

// The question names what the title shows; only the file the window was built for, and only
// while the title still names it, is deleted. Its attributes stay as they are: a read-only
// file stays, silently, as every failure here does.
void frmProperties::cmdDelete_Click()
{
    const std::string name = properties::nameFromTitle(caption());
    const std::string title = std::string(ProductName) + " - удаление временного файла";
    if (toolkit().msgBox("Удалить файл " + name + "?", MsgButtons::YesNo, MsgIcon::Question, title) != MsgResult::Yes)
        return;
    if (!file || file->shown != name) return;
    const auto folder = m_fs.openListed(file->folder);
    if (folder && folder->remove(file->name)) file.reset();
}

std::vector<PropertiesEntry> selectedEntries(const FileListBox& files)
{
    std::vector<PropertiesEntry> entries;
    const ListedFolder folder = files.listedFolder();
    for (std::size_t i = 0; i < files.listCount(); ++i)
        if (files.selected(i)) entries.push_back({folder, files.list(i), files.list(i)});
    return entries;
}

void showProperties(const PropertiesTargets& t, const std::vector<PropertiesEntry>& selected)
{
    const Composed c = compose(t.fs, selected);
    if (c.count == 0) {
        t.owner.toolkit().msgBox("Свойства файла недоступны. Выберите хотя бы один файл.", MsgButtons::OK,
                                 MsgIcon::Exclamation, MessageTitle);
        return;
    }
    // Each command fills a fresh window; one already up (it is modal) is left alone.
    if (frmProperties* open = t.window.ifLoaded()) {
        if (open->visible()) return;
        open->unload();
    }
    frmProperties& w = t.window.get();
    w.setCaption(c.title);
    w.lblSize.setCaption(properties::sizeLine(c.total));
    w.fraFile.setCaption(properties::frameCaption(c.title));
    const bool one = c.count == 1;
    w.cmdDelete.setEnabled(one);
    w.lblDateTime.setCaption(one ? "Дата изменения: " + generalFileTime(*c.date) : "(Дата недоступна)");
    if (one) w.file = *c.last;
    w.showModal(&t.owner);
}

namespace properties {

std::string frameCaption(std::string_view title)
{
    if (text::length(title) < 50) return std::string(title);
    return text::left(title, 47) + "...";
}

std::string sizeLine(std::int64_t bytes)
{
    const std::int64_t k = bytes / 1024, m = k / 1024, g = m / 1024;
    return "Размер: " + std::to_string(bytes) + " байт (" + std::to_string(k) + " Кб, " + std::to_string(m) + " Мб, " +
           std::to_string(g) + " Гб)";
}

std::string nameFromTitle(std::string_view title)
{
    constexpr std::size_t head = 8; // "Свойства"
    constexpr std::size_t tail = 3; // "(1)"
    const std::size_t chars = text::length(title);
    if (chars <= head + tail) return {};
    std::string name = text::mid(title, head, chars - head - tail);
    // The title puts one blank before the name and one after it; blanks of the name itself stay.
    if (!name.empty() && name.front() == ' ') name.erase(0, 1);
    if (!name.empty() && name.back() == ' ') name.pop_back();
    return name;
}

} // namespace properties

} // namespace velmora

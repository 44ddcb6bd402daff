#include "platform/toolkit/Controls.h"

#include "platform/Text.h"
#include "platform/Wildcard.h"
#include "platform/toolkit/Form.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <optional>
#include <unordered_set>

namespace velmora {

void CaptionControl::setCaption(std::string text)
{
    if (m_caption == text) return;
    m_caption = std::move(text);
    changed();
}

CommandButton::CommandButton(Form& form, std::string name, Control* container)
    : CaptionControl(form, std::move(name), ControlKind::CommandButton, container)
{}

void CommandButton::setDefault(bool on)
{
    m_default = on;
    changed();
}

void CommandButton::setCancel(bool on)
{
    m_cancel = on;
    changed();
}

void CommandButton::setPicture(std::string file)
{
    m_picture = std::move(file);
    changed();
}

void CommandButton::setFocusable(bool on)
{
    m_focusable = on;
    changed();
}

Label::Label(Form& form, std::string name, Control* container)
    : CaptionControl(form, std::move(name), ControlKind::Label, container)
{}

TextBox::TextBox(Form& form, std::string name, Control* container)
    : Control(form, std::move(name), ControlKind::TextBox, container)
{}

void TextBox::setText(std::string_view text)
{
    std::string next = m_maxLength > 0 ? text::left(text, m_maxLength) : std::string(text);
    if (next == m_text) return;
    m_text = std::move(next);
    changed();
    fire(onChange);
}

void TextBox::setMaxLength(std::size_t chars)
{
    m_maxLength = chars;
    changed();
    if (m_maxLength > 0 && text::length(m_text) > m_maxLength) setText(m_text);
}

void TextBox::setMultiLine(bool on)
{
    m_multiLine = on;
    changed();
}

void TextBox::setLocked(bool on)
{
    m_locked = on;
    changed();
}

void TextBox::type(std::string_view text)
{
    if (!usable() || !shown() || m_locked) return;
    setText(text);
}

CheckBox::CheckBox(Form& form, std::string name, Control* container)
    : CaptionControl(form, std::move(name), ControlKind::CheckBox, container)
{}

void CheckBox::setValue(int v)
{
    if (v == m_value) return;
    m_value = v;
    changed();
    fire(onClick);
}

std::string CheckBox::displayValue() const { return std::to_string(m_value); }

void CheckBox::click()
{
    if (usable() && shown()) setValue(m_value == 1 ? 0 : 1);
}

OptionButton::OptionButton(Form& form, std::string name, Control* container)
    : CaptionControl(form, std::move(name), ControlKind::OptionButton, container)
{}

void OptionButton::setValue(bool on)
{
    if (!on) {
        if (m_value) {
            m_value = false;
            changed();
        }
        return;
    }
    for (Control* c : form().controls()) {
        if (c != this && c->kind() == ControlKind::OptionButton && c->container() == container()) {
            auto* other = static_cast<OptionButton*>(c);
            if (other->m_value) {
                other->m_value = false;
                other->changed();
            }
        }
    }
    const bool was = m_value;
    m_value = true;
    if (!was) changed();
    fire(onClick); // choosing an option fires Click even when it was chosen already
}

std::string OptionButton::displayValue() const { return m_value ? "1" : "0"; }

void OptionButton::click()
{
    if (usable() && shown()) setValue(true);
}

// The selection of entries [first, first + count) and the current entry changed.
static ListChange selectionChange(std::size_t first, std::size_t count)
{
    return {ListChange::Kind::Selection, first, count, nullptr};
}

void ListControl::addItem(std::string text)
{
    m_items.push_back(std::move(text));
    changed(ListChange{ListChange::Kind::Appended, m_items.size() - 1, 1, nullptr});
}

void ListControl::addItems(std::vector<std::string> texts)
{
    if (texts.empty()) return;
    const std::size_t first = m_items.size();
    m_items.insert(m_items.end(), std::make_move_iterator(texts.begin()), std::make_move_iterator(texts.end()));
    changed(ListChange{ListChange::Kind::Appended, first, m_items.size() - first, nullptr});
}

void ListControl::removeItem(std::size_t i)
{
    if (i >= m_items.size()) return;
    m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(i));
    if (m_listIndex >= static_cast<int>(m_items.size())) m_listIndex = static_cast<int>(m_items.size()) - 1;
    const std::vector<std::size_t> gone{i};
    changed(ListChange{ListChange::Kind::Removed, i, 1, &gone});
}

// Keeps the entries of `v` whose indices are not in `ascending`, in order.
template <class T> static void eraseIndices(std::vector<T>& v, const std::vector<std::size_t>& ascending)
{
    std::size_t kept = 0, next = 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (next < ascending.size() && ascending[next] == i) {
            ++next;
            continue;
        }
        if (kept != i) v[kept] = std::move(v[i]);
        ++kept;
    }
    v.resize(kept);
}

void ListControl::removeItems(const std::vector<std::size_t>& ascending)
{
    if (ascending.empty()) return;
    // As one removeItem after another would leave it.
    eraseIndices(m_items, ascending);
    if (m_listIndex >= static_cast<int>(m_items.size())) m_listIndex = static_cast<int>(m_items.size()) - 1;
    changed(ListChange{ListChange::Kind::Removed, ascending.front(), ascending.size(), &ascending});
}

void ListControl::clear()
{
    m_items.clear();
    m_listIndex = -1;
    changed();
}

ComboBox::ComboBox(Form& form, std::string name, Control* container)
    : ListControl(form, std::move(name), ControlKind::ComboBox, container)
{}

void ComboBox::setListIndex(int i)
{
    if (i < -1 || i >= static_cast<int>(m_items.size())) i = -1;
    if (i == m_listIndex) return;
    m_listIndex = i;
    changed(selectionChange(0, 0));
    fire(onClick);
}

std::string ComboBox::text() const
{
    return m_listIndex >= 0 ? m_items[static_cast<std::size_t>(m_listIndex)] : std::string();
}

void ComboBox::choose(int i)
{
    if (usable() && shown() && i >= 0 && i < static_cast<int>(m_items.size())) setListIndex(i);
}

ListBox::ListBox(Form& form, std::string name, Control* container)
    : ListControl(form, std::move(name), ControlKind::ListBox, container)
{}

bool ListBox::selected(std::size_t i) const { return i < m_selected.size() && m_selected[i]; }

void ListBox::setSelected(std::size_t i, bool on)
{
    if (i >= m_selected.size() || static_cast<bool>(m_selected[i]) == on) return;
    const bool alone = on && m_multi == MultiSelect::None;
    if (alone) std::fill(m_selected.begin(), m_selected.end(), 0);
    m_selected[i] = on;
    if (on) m_listIndex = static_cast<int>(i);
    changed(alone ? selectionChange(0, m_selected.size()) : selectionChange(i, 1));
}

std::size_t ListBox::selCount() const
{
    return static_cast<std::size_t>(std::count(m_selected.begin(), m_selected.end(), 1));
}

void ListBox::setListIndex(int i)
{
    if (i < -1 || i >= static_cast<int>(m_items.size())) i = -1;
    if (m_multi == MultiSelect::None) {
        std::fill(m_selected.begin(), m_selected.end(), 0);
        if (i >= 0) m_selected[static_cast<std::size_t>(i)] = 1;
    }
    const bool moved = i != m_listIndex;
    m_listIndex = i;
    changed(m_multi == MultiSelect::None ? selectionChange(0, m_selected.size()) : selectionChange(0, 0));
    if (moved) fire(onClick);
}

void ListBox::addItem(std::string text)
{
    m_selected.push_back(0);
    ListControl::addItem(std::move(text));
}

void ListBox::addItems(std::vector<std::string> texts)
{
    m_selected.resize(m_selected.size() + texts.size(), 0);
    ListControl::addItems(std::move(texts));
}

void ListBox::removeItem(std::size_t i)
{
    if (i >= m_items.size()) return;
    m_selected.erase(m_selected.begin() + static_cast<std::ptrdiff_t>(i));
    ListControl::removeItem(i);
}

void ListBox::removeItems(const std::vector<std::size_t>& ascending)
{
    eraseIndices(m_selected, ascending);
    ListControl::removeItems(ascending);
}

void ListBox::clear()
{
    m_selected.clear();
    ListControl::clear();
}

// Click, Shift-click and Ctrl-click as an extended-selection list handles them. Returns the
// entries whose selection may have changed.
template <class Sel>
static ListChange extendedSelect(Sel& selected, std::size_t& anchor, std::size_t i, bool shift, bool ctrl,
                                 MultiSelect multi)
{
    if (multi == MultiSelect::None || (!shift && !ctrl)) {
        std::fill(selected.begin(), selected.end(), 0);
        selected[i] = 1;
        anchor = i;
        return selectionChange(0, selected.size());
    }
    if (multi == MultiSelect::Simple || (ctrl && !shift)) {
        selected[i] = selected[i] ? 0 : 1;
        anchor = i;
        return selectionChange(i, 1);
    }
    if (!ctrl) std::fill(selected.begin(), selected.end(), 0);
    const std::size_t lo = std::min(anchor, i), hi = std::min(std::max(anchor, i), selected.size() - 1);
    for (std::size_t k = lo; k <= hi; ++k) selected[k] = 1;
    return ctrl ? selectionChange(lo, hi + 1 - lo) : selectionChange(0, selected.size());
}

void ListBox::userSelect(std::size_t i, bool shift, bool ctrl)
{
    if (!usable() || !shown() || i >= m_items.size()) return;
    const ListChange change = extendedSelect(m_selected, m_anchor, i, shift, ctrl, m_multi);
    m_listIndex = static_cast<int>(i);
    changed(change);
    fire(onClick);
}

void ListBox::userSetSelected(std::size_t i, bool on)
{
    if (!usable() || !shown() || i >= m_items.size()) return;
    const bool alone = m_multi == MultiSelect::None && on;
    if (alone) std::fill(m_selected.begin(), m_selected.end(), 0);
    m_selected[i] = on;
    m_listIndex = static_cast<int>(i);
    changed(alone ? selectionChange(0, m_selected.size()) : selectionChange(i, 1));
    fire(onClick);
}

Frame::Frame(Form& form, std::string name, Control* container)
    : CaptionControl(form, std::move(name), ControlKind::Frame, container)
{}

PictureBox::PictureBox(Form& form, std::string name, Control* container)
    : Control(form, std::move(name), ControlKind::PictureBox, container)
{}

void PictureBox::setPicture(std::string file)
{
    m_picture = std::move(file);
    changed();
}

void PictureBox::setBorder(bool on)
{
    m_border = on;
    changed();
}

Image::Image(Form& form, std::string name, Control* container)
    : Control(form, std::move(name), ControlKind::Image, container)
{}

void Image::setPicture(std::string file)
{
    m_picture = std::move(file);
    changed();
}

Timer::Timer(Form& form, std::string name, int intervalMs)
    : Control(form, std::move(name), ControlKind::Timer), m_interval(intervalMs)
{
    setVisible(false);
}

void Timer::setInterval(int ms)
{
    if (ms == m_interval) return;
    m_interval = ms;
    changed();
}

void Timer::tick()
{
    if (enabled() && m_interval > 0) fire(onTimer);
}

// ---- drive box ----

DriveListBox::DriveListBox(Form& form, std::string name, FileSystem& fs, Control* container)
    : ListControl(form, std::move(name), ControlKind::DriveListBox, container), m_fs(fs)
{
    m_drives = m_fs.drives();
    for (const auto& d : m_drives) m_items.push_back(d.boxText());
    const char current = m_fs.currentDrive();
    for (std::size_t i = 0; i < m_drives.size(); ++i)
        if (m_drives[i].letter == current) m_listIndex = static_cast<int>(i);
    if (m_listIndex < 0 && !m_drives.empty()) m_listIndex = 0;
}

std::string DriveListBox::drive() const
{
    return m_listIndex >= 0 ? m_items[static_cast<std::size_t>(m_listIndex)] : std::string();
}

bool DriveListBox::setDrive(std::string_view text)
{
    if (text.empty()) return false;
    const char letter = path::driveLetter(text);
    for (std::size_t i = 0; i < m_drives.size(); ++i) {
        if (m_drives[i].letter != letter) continue;
        if (m_listIndex == static_cast<int>(i)) return true;
        m_listIndex = static_cast<int>(i);
        changed(selectionChange(0, 0));
        fire(onChange);
        return true;
    }
    return false;
}

void DriveListBox::refresh()
{
    const std::string current = drive();
    m_drives = m_fs.drives();
    m_items.clear();
    m_listIndex = -1;
    for (std::size_t i = 0; i < m_drives.size(); ++i) {
        m_items.push_back(m_drives[i].boxText());
        if (!current.empty() && m_drives[i].letter == current[0]) m_listIndex = static_cast<int>(i);
    }
    changed();
}

void DriveListBox::choose(int i)
{
    if (usable() && shown() && i >= 0 && i < static_cast<int>(m_items.size()))
        setDrive(m_items[static_cast<std::size_t>(i)]);
}

// ---- folder tree ----

DirListBox::DirListBox(Form& form, std::string name, FileSystem& fs, Control* container)
    : Control(form, std::move(name), ControlKind::DirListBox, container), m_fs(fs)
{
    m_path = m_fs.currentFolder(m_fs.currentDrive());
    refresh();
}

// "C:", "C: [label]" and "c:" alone name a drive's current folder.
static bool namesDriveOnly(std::string_view text)
{
    return text.size() >= 2 && text[1] == ':' && std::isalpha(static_cast<unsigned char>(text[0])) &&
           (text.size() == 2 || text[2] == ' ');
}

bool DirListBox::setPath(std::string_view text)
{
    std::string target;
    if (namesDriveOnly(text)) {
        const char letter = path::driveLetter(text);
        if (!m_fs.driveReady(letter)) return false;
        target = m_fs.currentFolder(letter);
    } else {
        if (text.empty()) return false;
        target = m_fs.absolute(text);
    }
    if (target.empty() || !m_fs.canEnter(target)) return false;
    if (target == m_path) return true;
    m_path = std::move(target);
    refresh();
    fire(onChange);
    return true;
}

void DirListBox::refresh()
{
    m_subfolders.clear();
    ListOptions namesOnly;
    namesOnly.details = false;
    if (auto folders = m_fs.listFolders(m_path, namesOnly)) {
        m_subfolders.reserve(folders->size());
        for (const auto& f : *folders) m_subfolders.push_back(path::join(m_path, f.name));
    }
    changed();
}

void DirListBox::open(std::size_t i)
{
    if (usable() && shown() && i < m_subfolders.size()) setPath(std::string(m_subfolders[i]));
}

// ---- file list ----

FileListBox::FileListBox(Form& form, std::string name, FileSystem& fs, Control* container)
    : Control(form, std::move(name), ControlKind::FileListBox, container), m_fs(fs),
      m_mask(std::make_unique<MaskList>(m_pattern))
{
    m_path = m_fs.currentFolder(m_fs.currentDrive());
    relist(m_path, false);
}

FileListBox::~FileListBox() = default;

bool FileListBox::relist(std::string_view folder, bool keepSelection)
{
    auto opened = m_fs.openFolder(folder);
    if (!opened) return false;
    // Watch first, so that nothing changing between the listing and the watch goes unseen.
    auto watch = opened->watch();
    ListOptions options;
    options.mask = m_mask.get();
    // Names and kinds only: a folder of 100,000 files lists without a look at each of them.
    // Sizes are read later, by updateSizes.
    options.details = false;
    auto files = opened->listFiles(options);
    if (!files) return false;
    m_watch = std::move(watch);
    m_folder = std::move(opened);
    std::vector<char> selected(files->size(), 0);
    if (keepSelection) {
        std::unordered_set<std::string> was;
        for (std::size_t i = 0; i < m_entries.size(); ++i)
            if (m_selected[i]) was.insert(m_entries[i].name);
        if (!was.empty())
            for (std::size_t i = 0; i < files->size(); ++i) selected[i] = was.count((*files)[i].name) ? 1 : 0;
    }
    m_entries = std::move(*files);
    m_selected = std::move(selected);
    m_sized.assign(m_entries.size(), 0);
    m_sweep = 0;
    if (m_listIndex >= static_cast<int>(m_entries.size())) m_listIndex = static_cast<int>(m_entries.size()) - 1;
    if (!keepSelection) m_listIndex = m_entries.empty() ? -1 : 0;
    return true;
}

ListedFolder FileListBox::listedFolder() const { return {m_path, m_folder ? m_folder->id() : FolderId{}}; }

bool FileListBox::setPath(std::string_view folder)
{
    if (folder.empty()) return false;
    std::string target = m_fs.absolute(folder);
    if (!relist(target, false)) return false;
    m_path = std::move(target);
    changed(); // once, with the path: a long list is drawn once
    fire(onPathChange);
    return true;
}

void FileListBox::setPattern(std::string_view masks)
{
    m_pattern = std::string(masks);
    m_mask = std::make_unique<MaskList>(m_pattern);
    if (relist(m_path, false)) changed();
    fire(onPatternChange);
}

bool FileListBox::refresh()
{
    if (!relist(m_path, true)) return false;
    changed();
    return true;
}

void FileListBox::updateSizes()
{
    using SteadyClock = std::chrono::steady_clock;
    if (!m_folder) return;
    // Sizes are read by exact name in the folder that was listed, wherever it has gone; a
    // name that has gone costs one failed look-up.
    auto restat = [&](std::size_t i) {
        DirEntry& e = m_entries[i];
        e.size = m_folder->size(e.name).value_or(0);
        m_sized[i] = 1;
    };
    auto gone = [&](std::size_t i) {
        m_entries[i].size = 0;
        m_sized[i] = 1;
    };
    // A selected entry's size is never summed unread, whatever reading it now costs.
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        if (m_selected[i] && !m_sized[i]) restat(i);
    if (m_watch) {
        const auto changedNames = m_watch->poll();
        // Many changes at once are mostly a mass deletion: one read of the names that are
        // left tells which have gone far sooner than looking at each of them.
        constexpr std::size_t many = 256;
        std::optional<std::unordered_set<std::string>> present;
        if (!changedNames || changedNames->size() > many) {
            if (auto names = m_folder->names()) present.emplace(names->begin(), names->end());
        }
        if (!changedNames) {
            if (present)
                for (std::size_t i = 0; i < m_entries.size(); ++i)
                    if (!present->count(m_entries[i].name)) gone(i);
            // A watch that lost count (or its folder) starts afresh, so the read above is
            // not repeated at every call.
            m_watch = m_folder->watch();
        } else if (!changedNames->empty()) {
            const std::unordered_set<std::string> names(changedNames->begin(), changedNames->end());
            for (std::size_t i = 0; i < m_entries.size(); ++i) {
                if (!names.count(m_entries[i].name)) continue;
                if (present && !present->count(m_entries[i].name))
                    gone(i);
                else
                    restat(i);
            }
        }
    }
    // What no watch reports (a file grown through a link elsewhere, a network folder) is
    // caught by reading the selected sizes in turn, a slice per call within a small time
    // budget (some 2,000 files), so even 100,000 are each read again within 50 calls. The same slices read the sizes
    // not read yet, so a later selection finds them read.
    constexpr auto budget = std::chrono::microseconds(2500);
    const auto start = SteadyClock::now();
    const std::size_t count = m_entries.size();
    for (std::size_t done = 0; done < count; ++done) {
        if ((done & 63) == 63 && SteadyClock::now() - start > budget) break;
        if (m_sweep >= count) m_sweep = 0;
        const std::size_t i = m_sweep++;
        if (m_selected[i] || !m_sized[i]) restat(i);
    }
}

std::vector<std::string> FileListBox::items() const
{
    std::vector<std::string> names;
    names.reserve(m_entries.size());
    for (const auto& e : m_entries) names.push_back(e.name);
    return names;
}

std::string FileListBox::filePath(std::size_t i) const { return path::join(m_path, m_entries.at(i).name); }

bool FileListBox::selected(std::size_t i) const { return i < m_selected.size() && m_selected[i]; }

void FileListBox::setSelected(std::size_t i, bool on)
{
    if (i >= m_selected.size() || static_cast<bool>(m_selected[i]) == on) return;
    m_selected[i] = on;
    changed(selectionChange(i, 1));
}

void FileListBox::setAllSelected(bool on)
{
    const char want = on ? 1 : 0;
    if (std::all_of(m_selected.begin(), m_selected.end(), [want](char s) { return s == want; })) return;
    std::fill(m_selected.begin(), m_selected.end(), want);
    changed(selectionChange(0, m_selected.size()));
}

void FileListBox::invertSelection()
{
    if (m_selected.empty()) return;
    for (char& s : m_selected) s = s ? 0 : 1;
    changed(selectionChange(0, m_selected.size()));
}

std::size_t FileListBox::selCount() const
{
    return static_cast<std::size_t>(std::count(m_selected.begin(), m_selected.end(), 1));
}

void FileListBox::setListIndex(int i)
{
    if (i < -1 || i >= static_cast<int>(m_entries.size())) i = -1;
    if (i == m_listIndex) return;
    m_listIndex = i;
    changed(selectionChange(0, 0));
}

void FileListBox::userSelect(std::size_t i, bool shift, bool ctrl)
{
    if (!usable() || !shown() || i >= m_entries.size()) return;
    const ListChange change = extendedSelect(m_selected, m_anchor, i, shift, ctrl, MultiSelect::Extended);
    m_listIndex = static_cast<int>(i);
    changed(change);
    fire(onClick);
}

void FileListBox::userSetSelected(std::size_t i, bool on)
{
    if (!usable() || !shown() || i >= m_entries.size()) return;
    m_selected[i] = on;
    m_listIndex = static_cast<int>(i);
    changed(selectionChange(i, 1));
    fire(onClick);
}

// ---- menus and decoration ----

Menu::Menu(Form& form, std::string name) : CaptionControl(form, std::move(name), ControlKind::Menu)
{
    setVisible(false); // a pop-up menu shows only when popped up
}

std::vector<MenuItem*> Menu::items() const
{
    std::vector<MenuItem*> result;
    for (Control* c : form().controls())
        if (c->kind() == ControlKind::MenuItem && c->container() == this) result.push_back(static_cast<MenuItem*>(c));
    return result;
}

MenuItem::MenuItem(Menu& menu, std::string name, std::string caption)
    : CaptionControl(menu.form(), std::move(name), ControlKind::MenuItem, &menu)
{
    setCaption(std::move(caption));
}

void MenuItem::setChecked(bool on)
{
    m_checked = on;
    changed();
}

void MenuItem::click()
{
    // Items live in a hidden menu: only their own state decides.
    if (enabled() && visible() && !isSeparator()) fire(onClick);
}

Line::Line(Form& form, std::string name, Control* container)
    : Control(form, std::move(name), ControlKind::Line, container)
{}

Shape::Shape(Form& form, std::string name, Control* container)
    : Control(form, std::move(name), ControlKind::Shape, container)
{}

} // namespace velmora

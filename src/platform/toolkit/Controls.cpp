#include "platform/toolkit/Controls.h"

#include "platform/Text.h"
#include "platform/Wildcard.h"
#include "platform/toolkit/Form.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <unordered_set>
#include <utility>

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
    m_itemData.push_back(0);
    ListControl::addItem(std::move(text));
}

void ListBox::addItems(std::vector<std::string> texts)
{
    m_selected.resize(m_selected.size() + texts.size(), 0);
    m_itemData.resize(m_itemData.size() + texts.size(), 0);
    ListControl::addItems(std::move(texts));
}

void ListBox::removeItem(std::size_t i)
{
    if (i >= m_items.size()) return;
    m_selected.erase(m_selected.begin() + static_cast<std::ptrdiff_t>(i));
    m_itemData.erase(m_itemData.begin() + static_cast<std::ptrdiff_t>(i));
    ListControl::removeItem(i);
}

void ListBox::removeItems(const std::vector<std::size_t>& ascending)
{
    eraseIndices(m_selected, ascending);
    eraseIndices(m_itemData, ascending);
    ListControl::removeItems(ascending);
}

void ListBox::clear()
{
    m_selected.clear();
    m_itemData.clear();
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
    auto listed = [this, letter] {
        return std::find_if(m_drives.begin(), m_drives.end(),
                            [letter](const DriveInfo& d) { return d.letter == letter; });
    };
    if (listed() == m_drives.end()) refresh();
    const auto at = listed();
    if (at == m_drives.end()) return false;
    const auto i = static_cast<int>(at - m_drives.begin());
    if (m_listIndex == i) return true;
    m_listIndex = i;
    changed(selectionChange(0, 0));
    fire(onChange);
    return true;
}

void DriveListBox::refresh()
{
    std::optional<DriveInfo> current;
    if (m_listIndex >= 0) current = m_drives[static_cast<std::size_t>(m_listIndex)];
    m_drives = m_fs.drives();
    if (current) {
        const auto at = std::find_if(m_drives.begin(), m_drives.end(),
                                     [&current](const DriveInfo& d) { return d.letter >= current->letter; });
        if (at == m_drives.end() || at->letter != current->letter) {
            current->ready = false;
            m_drives.insert(at, *current);
        }
    }
    m_items.clear();
    m_listIndex = -1;
    for (std::size_t i = 0; i < m_drives.size(); ++i) {
        m_items.push_back(m_drives[i].boxText());
        if (current && m_drives[i].letter == current->letter) m_listIndex = static_cast<int>(i);
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

// The folders from the drive down to the open one, as paths.
static std::vector<std::string> ancestorsOf(const std::string& path)
{
    std::vector<std::string> up;
    if (path.size() < 3 || path[1] != ':' || path[2] != '\\') {
        up.push_back(path);
        return up;
    }
    up.push_back(path.substr(0, 3));
    for (std::size_t pos = 3; pos < path.size();) {
        std::size_t next = path.find('\\', pos);
        if (next == std::string::npos) next = path.size();
        if (next > pos) up.push_back(path.substr(0, next));
        pos = next + 1;
    }
    return up;
}

std::vector<DirListBox::Row> DirListBox::rows() const
{
    const std::vector<std::string> up = ancestorsOf(m_path);
    std::vector<Row> rows;
    rows.reserve(up.size() + m_subfolders.size());
    for (std::size_t i = 0; i < up.size(); ++i) {
        const bool drive = i == 0 && up[i].size() == 3;
        const std::size_t slash = up[i].rfind('\\', up[i].size() - 2);
        std::string name = drive                                  ? text::toLower(up[i])
                           : i == 0 || slash == std::string::npos ? up[i]
                                                                  : up[i].substr(slash + 1);
        rows.push_back({up[i], std::move(name), static_cast<int>(i), drive ? Row::Kind::Drive : Row::Kind::Open});
    }
    const int depth = static_cast<int>(up.size());
    for (const std::string& sub : m_subfolders) {
        const std::size_t slash = sub.rfind('\\');
        rows.push_back({sub, slash == std::string::npos ? sub : sub.substr(slash + 1), depth, Row::Kind::Closed});
    }
    return rows;
}

std::size_t DirListBox::openFolderRow() const { return ancestorsOf(m_path).size() - 1; }

void DirListBox::openRow(std::size_t i)
{
    const std::size_t here = openFolderRow();
    if (i > here) return open(i - here - 1);
    if (i == here || !usable() || !shown()) return;
    setPath(ancestorsOf(m_path)[i]);
}

// ---- file list ----

// Reads the sizes of a file list's entries on a thread of its own, so that a folder on a slow
// volume (a network or FUSE mount under load, where one look at a file can take a good part of a
// second) never holds the window: each update hands over what it wants read and takes what has
// been read. The folder listed is handed over whole; from then on only that thread uses it.
class FileListBox::SizeReader {
public:
    using Clock = std::chrono::steady_clock;
    struct Read {
        std::size_t index;
        std::int64_t size; // 0 when it could not be read
    };
    // What one update asks for.
    struct Request {
        std::vector<std::size_t> reads; // read these, in this order
        // Read the folder's names first: of `present`, those not there count 0 without a look
        // and the others are read; with `all`, every entry not there counts 0, and a new
        // watch is made (the old one lost count).
        bool names = false;
        bool all = false;
        std::vector<std::size_t> present;
        // A slice of the sweep: this many entries read again in turn, going on from where the
        // last slice ended; of those `sweep` marks, or of every entry when it is nullptr.
        std::size_t slice = 0;
        std::shared_ptr<const std::vector<char>> sweep;
        // The update waits for the reader until `until`, or as long after the reader took the
        // request as `until` is after `asked`; not at all when `until` is `asked`.
        Clock::time_point asked;
        Clock::time_point until;
    };
    // How long an update waits for a waiting reader to start on its request.
    static constexpr auto kLongestStart = std::chrono::milliseconds(50);

    SizeReader() : m_state(std::make_shared<State>()) {}
    ~SizeReader()
    {
        bool working = false;
        {
            const std::lock_guard lock(m_state->mutex);
            m_state->stop = true;
            working = m_state->working;
        }
        m_state->wake.notify_all();
        if (!m_thread.joinable()) return;
        // A thread inside a file system call that does not come back (a hung network mount)
        // must not hold the window's closing: it ends on its own once the call returns.
        if (working)
            m_thread.detach();
        else
            m_thread.join();
    }
    SizeReader(const SizeReader&) = delete;
    SizeReader& operator=(const SizeReader&) = delete;

    // A new listing: nothing asked or read of the last one is taken any more.
    void start(std::unique_ptr<Folder> folder, std::vector<std::string> names)
    {
        std::shared_ptr<Folder> old;
        {
            const std::lock_guard lock(m_state->mutex);
            State& s = *m_state;
            ++s.listing;
            old = std::exchange(s.folder, std::shared_ptr<Folder>(std::move(folder)));
            s.names = std::make_shared<const std::vector<std::string>>(std::move(names));
            s.reads.clear();
            s.namesWanted = s.allWanted = false;
            s.present.clear();
            s.sweep.reset();
            s.slice = 0;
            s.cursor = 0;
            s.done.clear();
            s.watch.reset();
            s.watchMade = false;
        }
    }

    // Hands `r` over and waits until it is done or its time is up.
    void ask(Request r)
    {
        State& s = *m_state;
        std::unique_lock lock(s.mutex);
        s.reads.insert(s.reads.end(), r.reads.begin(), r.reads.end());
        if (r.names) {
            s.namesWanted = true;
            s.allWanted = s.allWanted || r.all;
            s.present.insert(s.present.end(), r.present.begin(), r.present.end());
        }
        if (r.slice > 0) {
            s.sweep = std::move(r.sweep);
            s.slice = r.slice;
        }
        if (s.idle()) return;
        s.waitUntil = r.until;
        s.waitTime = r.until - r.asked;
        if (!m_thread.joinable()) {
            try {
                m_thread = std::thread(work, m_state);
            } catch (const std::system_error&) {
                return; // no thread to be had now: the next update tries again
            }
        }
        // A reader inside a call of an earlier request (a slow volume) gets the update's time
        // and no more. One that was waiting for work gets the same time from when it takes
        // this request: a busy machine may be slow to run it, and that is no file system call.
        const bool waiting = !s.working;
        const std::uint64_t ticket = ++s.asked;
        s.wake.notify_one();
        // A request with no time of its own is not waited for: a later update takes its sizes.
        if (r.until <= r.asked) return;
        const auto done = [&s] { return s.idle(); };
        if (s.quiet.wait_until(lock, r.until, done) || !waiting) return;
        const auto taken = [&s, ticket] { return s.idle() || s.taken >= ticket; };
        if (!s.quiet.wait_until(lock, r.until + kLongestStart, taken) || s.idle()) return;
        s.quiet.wait_until(lock, s.deadline(), done);
    }

    // What has been read since the last take; `watch` gets the new watch when one was made.
    std::vector<Read> take(std::unique_ptr<FolderWatch>& watch)
    {
        const std::lock_guard lock(m_state->mutex);
        if (m_state->watchMade) {
            watch = std::move(m_state->watch);
            m_state->watchMade = false;
        }
        return std::exchange(m_state->done, {});
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable wake;  // the reader waits for work
        std::condition_variable quiet; // an update waits for the reader
        std::uint64_t listing = 0;
        std::shared_ptr<Folder> folder;
        std::shared_ptr<const std::vector<std::string>> names;
        std::deque<std::size_t> reads;
        bool namesWanted = false, allWanted = false;
        std::vector<std::size_t> present;
        std::shared_ptr<const std::vector<char>> sweep;
        std::size_t slice = 0; // of the sweep, still to read
        Clock::time_point waitUntil;
        Clock::duration waitTime{};
        std::uint64_t asked = 0, taken = 0; // requests handed over, and taken by the reader
        Clock::time_point takenAt;          // when the reader took the last of them
        std::size_t cursor = 0;             // where the next slice of the sweep starts
        std::vector<Read> done;
        std::unique_ptr<FolderWatch> watch;
        bool watchMade = false;
        bool working = false;
        bool stop = false;

        bool idle() const { return !working && reads.empty() && !namesWanted && slice == 0; }
        // Until when the update waits: its own time, or as much of it from when the reader took
        // the request, if that came later.
        Clock::time_point deadline() const { return takenAt <= waitUntil ? waitUntil : takenAt + waitTime; }
    };

    static void work(std::shared_ptr<State> state)
    {
        State& s = *state;
        std::unique_lock lock(s.mutex);
        for (;;) {
            s.wake.wait(lock, [&s] { return s.stop || !s.idle(); });
            if (s.stop) return;
            if (!s.folder) { // nothing listed: nothing to read
                s.reads.clear();
                s.namesWanted = false;
                s.slice = 0;
                s.quiet.notify_all();
                continue;
            }
            s.working = true;
            s.taken = s.asked;
            s.takenAt = Clock::now();
            s.quiet.notify_all();
            const std::uint64_t listing = s.listing;
            const std::shared_ptr<Folder> folder = s.folder;
            const std::shared_ptr<const std::vector<std::string>> names = s.names;
            const auto current = [&] { return !s.stop && s.listing == listing; };
            // One size, read with the lock let go; false when the listing changed meanwhile.
            const auto read = [&](std::size_t i) {
                lock.unlock();
                const std::int64_t size = i < names->size() ? folder->size((*names)[i]).value_or(0) : 0;
                lock.lock();
                if (!current()) return false;
                s.done.push_back({i, size});
                return true;
            };
            if (s.namesWanted) {
                const bool all = std::exchange(s.allWanted, false);
                std::vector<std::size_t> present = std::exchange(s.present, {});
                s.namesWanted = false;
                lock.unlock();
                // Watch first, so that nothing changing between the read and the watch goes unseen.
                std::unique_ptr<FolderWatch> watch = all ? folder->watch() : nullptr;
                std::optional<std::unordered_set<std::string>> there;
                // Many changes at once are mostly a mass deletion: one read of the names that are
                // left tells which have gone far sooner than looking at each of them.
                if (auto found = folder->names()) there.emplace(found->begin(), found->end());
                lock.lock();
                if (current()) {
                    if (all) {
                        s.watch = std::move(watch);
                        s.watchMade = true;
                    }
                    const auto gone = [&](std::size_t i) {
                        return there && i < names->size() && !there->count((*names)[i]);
                    };
                    if (all)
                        for (std::size_t i = 0; i < names->size(); ++i)
                            if (gone(i)) s.done.push_back({i, 0});
                    for (std::size_t i : present) {
                        if (gone(i))
                            s.done.push_back({i, 0});
                        else
                            s.reads.push_back(i);
                    }
                }
            }
            while (current() && !s.reads.empty()) {
                const std::size_t i = s.reads.front();
                s.reads.pop_front();
                if (!read(i)) break;
            }
            // The slice is read whole, however long it takes: the update waits only for its
            // time, and a host whose every look costs more than a little (Wine, a network
            // volume) still has each size read again within the updates promised. Reads asked
            // meanwhile go first; the rest of the slice waits for the next turn.
            if (current() && s.slice > 0) {
                const std::shared_ptr<const std::vector<char>> wanted = s.sweep;
                const std::size_t count = wanted ? std::min(wanted->size(), names->size()) : names->size();
                for (std::size_t looked = 0; looked < count && s.slice > 0; ++looked) {
                    if (s.cursor >= count) s.cursor = 0;
                    const std::size_t i = s.cursor++;
                    if (wanted && !(*wanted)[i]) continue;
                    if (!read(i)) break;
                    --s.slice;
                    if (!s.reads.empty() || s.namesWanted) break;
                }
                // Nothing marked, or every mark read: the slice is over.
                if (current() && s.reads.empty() && !s.namesWanted) s.slice = 0;
            }
            s.working = false;
            s.quiet.notify_all();
        }
    }

    std::shared_ptr<State> m_state;
    std::thread m_thread;
};

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
    m_pending.assign(m_entries.size(), 0);
    m_unread = m_entries.size();
    m_ticks = 0;
    selectionChanged();
    m_folderId = opened->id();
    std::vector<std::string> names;
    names.reserve(m_entries.size());
    for (const DirEntry& e : m_entries) names.push_back(e.name);
    if (!m_reader) m_reader = std::make_unique<SizeReader>();
    m_reader->start(std::move(opened), std::move(names));
    if (m_listIndex >= static_cast<int>(m_entries.size())) m_listIndex = static_cast<int>(m_entries.size()) - 1;
    if (!keepSelection) m_listIndex = m_entries.empty() ? -1 : 0;
    return true;
}

ListedFolder FileListBox::listedFolder() const { return {m_path, m_reader ? m_folderId : FolderId{}}; }

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

void FileListBox::takeSizes()
{
    for (const SizeReader::Read& r : m_reader->take(m_watch)) {
        if (r.index >= m_entries.size()) continue;
        std::int64_t& size = m_entries[r.index].size;
        if (m_counted && m_selected[r.index]) m_selectedBytes += r.size - size;
        size = r.size;
        if (!m_sized[r.index]) --m_unread;
        m_sized[r.index] = 1;
        m_pending[r.index] = 0;
    }
}

void FileListBox::selectionChanged()
{
    m_counted = false;
    m_sweepMask.reset();
    m_quickSlice = 0;
}

void FileListBox::countSelection() const
{
    if (m_counted) return;
    m_selCount = 0;
    m_selectedBytes = 0;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (!m_selected[i]) continue;
        ++m_selCount;
        m_selectedBytes += m_entries[i].size;
    }
    m_counted = true;
}

void FileListBox::updateSizes()
{
    if (!m_reader) return;
    constexpr auto budget = std::chrono::microseconds(2500);
    // The sweep's pace: with a watch, every entry within slowUpdates, a slice every slowEvery
    // updates (some 170 files every half second at 100,000); without one, every entry selected
    // or never read within quickUpdates. A slice reads a few at least, so a small folder is read
    // through soon.
    constexpr std::size_t slowUpdates = 6000, slowEvery = 10, quickUpdates = 16, leastSlice = 64;
    const auto slice = [least = leastSlice](std::size_t entries, std::size_t updates) {
        return std::max(least, (entries + updates - 1) / updates);
    };
    SizeReader::Request request;
    request.asked = SizeReader::Clock::now();
    request.until = request.asked + budget;
    takeSizes();
    const std::size_t count = m_entries.size();
    // A selected entry's size is asked for first, whatever reading it costs.
    if (m_unread > 0) {
        for (std::size_t i = 0; i < count; ++i) {
            if (m_selected[i] && !m_sized[i] && !m_pending[i]) {
                request.reads.push_back(i);
                m_pending[i] = 1;
            }
        }
    }
    if (m_watch) {
        const auto changedNames = m_watch->poll();
        if (!changedNames) {
            // A watch that lost count (or its folder) is made afresh by the reader, with one read
            // of the names telling which entries have gone.
            request.names = request.all = true;
            m_watch.reset();
        } else if (!changedNames->empty()) {
            constexpr std::size_t many = 256;
            const std::unordered_set<std::string> names(changedNames->begin(), changedNames->end());
            std::vector<std::size_t>& to = changedNames->size() > many ? request.present : request.reads;
            request.names = changedNames->size() > many;
            for (std::size_t i = 0; i < count; ++i)
                if (names.count(m_entries[i].name)) to.push_back(i);
        }
    }
    ++m_ticks;
    // The sweep is quick with a watch too until every size was read once (a later selection,
    // the properties, want them), and while the selection is a slice or less: a watch may tell
    // late (Windows tells of a growing file's size only as its cache is written out), and a
    // few files cost next to nothing to read at every update.
    if (m_watch && m_unread == 0 && selCount() > leastSlice) {
        if (m_ticks % slowEvery == 0) request.slice = slice(count, slowUpdates / slowEvery);
    } else {
        // Made again when the selection changed or more sizes have been read since.
        if (!m_sweepMask || m_sweepUnread != m_unread) {
            auto mask = std::make_shared<std::vector<char>>(count);
            m_sweepCount = 0;
            for (std::size_t i = 0; i < count; ++i) {
                (*mask)[i] = m_selected[i] || !m_sized[i] ? 1 : 0;
                m_sweepCount += static_cast<std::size_t>((*mask)[i]);
            }
            m_sweepMask = std::move(mask);
            m_sweepUnread = m_unread;
        }
        // The slice stays as large as the sweep was at its start, however many of its first
        // reads have come in since: the sweep ends within its updates.
        m_quickSlice = std::max(m_quickSlice, slice(m_sweepCount, quickUpdates));
        if (m_sweepCount > 0) {
            request.slice = m_quickSlice;
            request.sweep = m_sweepMask;
        }
    }
    // The update waits for what it asked for by name (the sizes of a selection never read, of
    // files the watch told of) and for a sweep read whole in one slice, as a small list is. A
    // longer sweep's slice is taken by a later update: a change it finds shows an update later,
    // and a window reading a long list through does not wait at each of its updates.
    const std::size_t swept = request.sweep ? m_sweepCount : count;
    if (request.reads.empty() && !request.names && request.slice < swept) request.until = request.asked;
    m_reader->ask(std::move(request));
    takeSizes();
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
    selectionChanged();
    changed(selectionChange(i, 1));
}

void FileListBox::setAllSelected(bool on)
{
    const char want = on ? 1 : 0;
    if (std::all_of(m_selected.begin(), m_selected.end(), [want](char s) { return s == want; })) return;
    std::fill(m_selected.begin(), m_selected.end(), want);
    selectionChanged();
    changed(selectionChange(0, m_selected.size()));
}

void FileListBox::invertSelection()
{
    if (m_selected.empty()) return;
    for (char& s : m_selected) s = s ? 0 : 1;
    selectionChanged();
    changed(selectionChange(0, m_selected.size()));
}

std::size_t FileListBox::selCount() const
{
    countSelection();
    return m_selCount;
}

std::int64_t FileListBox::selectedBytes() const
{
    countSelection();
    return m_selectedBytes;
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
    selectionChanged();
    changed(change);
    fire(onClick);
}

void FileListBox::userSetSelected(std::size_t i, bool on)
{
    if (!usable() || !shown() || i >= m_entries.size()) return;
    m_selected[i] = on;
    m_listIndex = static_cast<int>(i);
    selectionChanged();
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

#pragma once
// One class per kind of control.
#include "platform/FileSystem.h"
#include "platform/toolkit/Control.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velmora {

class MaskList;

// A control with a caption ("&" marks the access key).
class CaptionControl : public Control {
public:
    using Control::Control;
    const std::string& caption() const { return m_caption; }
    void setCaption(std::string text);
    std::string displayText() const override { return m_caption; }

private:
    std::string m_caption;
};

class CommandButton : public CaptionControl {
public:
    CommandButton(Form& form, std::string name, Control* container = nullptr);
    bool isDefault() const { return m_default; } // Enter presses it
    bool isCancel() const { return m_cancel; }   // Esc presses it
    void setDefault(bool on);
    void setCancel(bool on);
    // A picture button shows this picture (a file of the help folder) instead of a caption.
    const std::string& picture() const { return m_picture; }
    void setPicture(std::string file);
    // A button that takes no keyboard focus (a picture that reacts to a click).
    bool focusable() const { return m_focusable; }
    void setFocusable(bool on);

private:
    bool m_focusable = true;
    bool m_default = false;
    bool m_cancel = false;
    std::string m_picture;
};

class Label : public CaptionControl {
public:
    Label(Form& form, std::string name, Control* container = nullptr);
};

class TextBox : public Control {
public:
    TextBox(Form& form, std::string name, Control* container = nullptr);
    const std::string& text() const { return m_text; }
    // Cut to the max length in characters; Change fires only when the text differs.
    void setText(std::string_view text);
    std::size_t maxLength() const { return m_maxLength; }
    // 0 means no limit; a shorter limit cuts the text held now.
    void setMaxLength(std::size_t chars);
    bool multiLine() const { return m_multiLine; }
    void setMultiLine(bool on);
    bool locked() const { return m_locked; }
    void setLocked(bool on);
    std::string displayText() const override { return m_text; }

    std::function<void()> onChange;

    // The user replaced the text (typing, pasting, deleting): ignored when not usable or locked.
    void type(std::string_view text);

private:
    std::string m_text;
    std::size_t m_maxLength = 0;
    bool m_multiLine = false;
    bool m_locked = false;
};

class CheckBox : public CaptionControl {
public:
    CheckBox(Form& form, std::string name, Control* container = nullptr);
    int value() const { return m_value; }
    // Click fires when the value changes.
    void setValue(int v);
    std::string displayValue() const override;
    void click() override; // the user toggles it

private:
    int m_value = 0;
};

class OptionButton : public CaptionControl {
public:
    OptionButton(Form& form, std::string name, Control* container = nullptr);
    bool value() const { return m_value; }
    // Setting true clears the other option buttons of the same container and fires Click.
    void setValue(bool on);
    std::string displayValue() const override;
    void click() override;

private:
    bool m_value = false;
};

// Items and a current index, shared by drop-down lists and list boxes.
class ListControl : public Control {
public:
    using Control::Control;
    std::size_t listCount() const { return m_items.size(); }
    const std::string& list(std::size_t i) const { return m_items.at(i); }
    const std::vector<std::string>& items() const { return m_items; }
    virtual void addItem(std::string text);
    // Appends many items with one notification: a long list is drawn once, not per item.
    virtual void addItems(std::vector<std::string> texts);
    virtual void removeItem(std::size_t i);
    // Removes the items at `ascending` (sorted, no repeats) with one notification: many
    // removals from a long list cost one pass, not one per item.
    virtual void removeItems(const std::vector<std::size_t>& ascending);
    virtual void clear();
    // -1 when no item is current.
    int listIndex() const { return m_listIndex; }

protected:
    std::vector<std::string> m_items;
    int m_listIndex = -1;
};

class ComboBox : public ListControl {
public:
    ComboBox(Form& form, std::string name, Control* container = nullptr);
    // Click fires when the index changes; an index out of range makes it -1.
    void setListIndex(int i);
    std::string text() const;
    std::string displayText() const override { return text(); }
    void choose(int i); // the user picks an item
};

enum class MultiSelect { None, Simple, Extended };

// What the list box and the file list share for a front-end: entries shown as texts, any of
// which the user selects. A front-end draws and drives either through this alone.
class SelectableList {
public:
    virtual ~SelectableList() = default;
    virtual std::size_t entryCount() const = 0;
    virtual const std::string& entryText(std::size_t i) const = 0;
    virtual bool entrySelected(std::size_t i) const = 0;
    // The user clicked entry i (with Shift / Ctrl as held): selects and fires Click.
    virtual void userSelect(std::size_t i, bool shift = false, bool ctrl = false) = 0;
    // The user set entry i's selection alone (a Ctrl-click); fires Click.
    virtual void userSetSelected(std::size_t i, bool on) = 0;
    // The current entry; -1 when none.
    virtual int currentEntry() const = 0;
    // Moves the current entry as the list's setListIndex does.
    virtual void setCurrentEntry(int i) = 0;
    // How the user's clicks and moves select.
    virtual MultiSelect selectionMode() const = 0;
};

class ListBox : public ListControl, public SelectableList {
public:
    ListBox(Form& form, std::string name, Control* container = nullptr);
    MultiSelect multiSelect() const { return m_multi; }
    void setMultiSelect(MultiSelect m) { m_multi = m; }
    bool selected(std::size_t i) const;
    void setSelected(std::size_t i, bool on);
    std::size_t selCount() const;
    void setListIndex(int i);
    void addItem(std::string text) override;
    void addItems(std::vector<std::string> texts) override;
    void removeItem(std::size_t i) override;
    void removeItems(const std::vector<std::size_t>& ascending) override;
    void clear() override;
    // A number the program keeps with entry i, never shown: it moves with the entry as others
    // come and go, so whatever the entry stands for can be found again by it. 0 for a new entry.
    std::uint64_t itemData(std::size_t i) const { return m_itemData.at(i); }
    void setItemData(std::size_t i, std::uint64_t data) { m_itemData.at(i) = data; }

    void userSelect(std::size_t i, bool shift = false, bool ctrl = false) override;
    void userSetSelected(std::size_t i, bool on) override;
    std::size_t entryCount() const override { return listCount(); }
    const std::string& entryText(std::size_t i) const override { return list(i); }
    bool entrySelected(std::size_t i) const override { return selected(i); }
    int currentEntry() const override { return listIndex(); }
    void setCurrentEntry(int i) override { setListIndex(i); }
    MultiSelect selectionMode() const override { return m_multi; }

private:
    std::vector<char> m_selected;
    std::vector<std::uint64_t> m_itemData;
    MultiSelect m_multi = MultiSelect::None;
    std::size_t m_anchor = 0;
};

class Frame : public CaptionControl {
public:
    Frame(Form& form, std::string name, Control* container = nullptr);
};

class PictureBox : public Control {
public:
    PictureBox(Form& form, std::string name, Control* container = nullptr);
    const std::string& picture() const { return m_picture; }
    void setPicture(std::string file);
    bool border() const { return m_border; }
    void setBorder(bool on);

private:
    std::string m_picture;
    bool m_border = true;
};

class Image : public Control {
public:
    Image(Form& form, std::string name, Control* container = nullptr);
    const std::string& picture() const { return m_picture; }
    void setPicture(std::string file);

private:
    std::string m_picture;
};

class Timer : public Control {
public:
    Timer(Form& form, std::string name, int intervalMs);
    int interval() const { return m_interval; }
    void setInterval(int ms);
    std::function<void()> onTimer;
    void tick(); // fires onTimer when enabled with a non-zero interval

private:
    int m_interval;
};

// The drive box: every drive of the file system as "c: [label]".
class DriveListBox : public ListControl {
public:
    DriveListBox(Form& form, std::string name, FileSystem& fs, Control* container = nullptr);
    // "c: [label]" of the current drive.
    std::string drive() const;
    // Takes the drive letter from `text` ("C:\", "c: [x]", "d:"); fires Change when the drive
    // differs. A drive that is not ready can be chosen; its handler decides. A letter the box
    // does not list has the list read again first (a volume mounted meanwhile). False, with
    // nothing changed, when the letter is not one of the drives even then.
    bool setDrive(std::string_view text);
    // Re-reads the drive list, keeping the current drive: one that left the file system stays
    // listed as it was shown until another drive is chosen, so the drive shown never changes
    // under the user.
    void refresh();
    // The user opens the list: it is read again, so that volumes mounted or unmounted since
    // come and go.
    void dropDown() { refresh(); }
    std::function<void()> onChange;
    void choose(int i); // the user picks an entry
    std::string displayText() const override { return drive(); }

private:
    FileSystem& m_fs;
    std::vector<DriveInfo> m_drives;
};

// The folder tree: a folder path and its subfolders.
class DirListBox : public Control {
public:
    DirListBox(Form& form, std::string name, FileSystem& fs, Control* container = nullptr);
    const std::string& path() const { return m_path; }
    // Opens `text`: a folder path, or a drive ("C:", "C: [label]") meaning that drive's
    // current folder. Fires Change. False, with nothing changed, when it cannot be opened.
    bool setPath(std::string_view text);
    // Subfolders of the path, as full paths, in listing order.
    std::size_t listCount() const { return m_subfolders.size(); }
    const std::string& list(std::size_t i) const { return m_subfolders.at(i); }
    const std::vector<std::string>& subfolders() const { return m_subfolders; }
    // Re-reads the subfolders of the path.
    void refresh();
    std::function<void()> onChange;
    void open(std::size_t i); // the user opens subfolder i

    // A row of the tree as it is drawn: the drive and each folder down to the open one, then
    // the open folder's subfolders.
    struct Row {
        enum class Kind { Drive, Open, Closed };
        std::string path;
        std::string name; // what the row shows
        int depth = 0;    // its indent
        Kind kind = Kind::Closed;
        friend bool operator==(const Row&, const Row&) = default;
    };
    // "C:\A\B" is "c:\", "A", "B" above B's subfolders.
    std::vector<Row> rows() const;
    // The row of the open folder itself.
    std::size_t openFolderRow() const;
    // The user opens row i: a subfolder, or a folder above (nothing for the open folder).
    void openRow(std::size_t i);
    std::string displayText() const override { return m_path; }

private:
    FileSystem& m_fs;
    std::string m_path;
    std::vector<std::string> m_subfolders;
};

// The file list: the files of a folder matching a mask list, with extended selection.
class FileListBox : public Control, public SelectableList {
public:
    FileListBox(Form& form, std::string name, FileSystem& fs, Control* container = nullptr);
    ~FileListBox() override;
    const std::string& path() const { return m_path; }
    // Lists the folder; fires PathChange. False, with nothing changed, when it cannot be listed.
    bool setPath(std::string_view folder);
    const std::string& pattern() const { return m_pattern; }
    // Re-lists at once with the new masks; fires PatternChange.
    void setPattern(std::string_view masks);
    // Re-lists the folder; the selection of names still listed is kept.
    bool refresh();
    // Brings the sizes of the listed entries up to date without re-listing; called at each tick
    // of a window's timer. A listing reads names only; sizes are read on a thread of the list's
    // own, in this order: every selected entry whose size was never read, what the folder watch
    // reports, then a slice of a sweep that reads every entry again for the changes no watch
    // sees (a file grown through a hard link elsewhere). The sweep is quick (every selected
    // entry and every one never read, within 16 calls) until every size was read once, while
    // 64 entries or fewer are selected, and for good without a watch; with one it is otherwise
    // slow (every entry within 6,000 calls, a slice every 10th), so that an idle window costs
    // next to nothing.
    // A call hands that over and takes what has been read by then. It waits at most 2.5 ms,
    // and only for the entries it named and for a sweep read whole in one slice: a longer
    // sweep's slice, and on a slow volume the rest, come at later calls. Until then an entry
    // never read counts 0 bytes. A vanished file stays listed with 0 bytes until the next
    // re-read.
    void updateSizes();
    // The folder the entries came from: act on them through FileSystem::openListed.
    ListedFolder listedFolder() const;

    std::size_t listCount() const { return m_entries.size(); }
    const std::string& list(std::size_t i) const { return m_entries.at(i).name; }
    // Entries carry their names; their sizes only once updateSizes has read them (0 before).
    const DirEntry& entry(std::size_t i) const { return m_entries.at(i); }
    const std::vector<DirEntry>& entries() const { return m_entries; }
    // The names shown, in order.
    std::vector<std::string> items() const;
    // The path of entry i: the folder, "\" unless it is a drive root, the name.
    std::string filePath(std::size_t i) const;

    bool selected(std::size_t i) const;
    void setSelected(std::size_t i, bool on);
    // Selects or deselects every entry / turns every entry's selection over, telling the
    // front-end once. No Click fires.
    void setAllSelected(bool on);
    void invertSelection();
    std::size_t selCount() const;
    // The sizes of the selected entries added up, as last read.
    std::int64_t selectedBytes() const;
    int listIndex() const { return m_listIndex; }
    void setListIndex(int i);

    std::function<void()> onPathChange;
    std::function<void()> onPatternChange;

    void userSelect(std::size_t i, bool shift = false, bool ctrl = false) override;
    void userSetSelected(std::size_t i, bool on) override;
    std::size_t entryCount() const override { return listCount(); }
    const std::string& entryText(std::size_t i) const override { return list(i); }
    bool entrySelected(std::size_t i) const override { return selected(i); }
    int currentEntry() const override { return listIndex(); }
    void setCurrentEntry(int i) override { setListIndex(i); }
    // A range with Shift, one more file with Ctrl.
    MultiSelect selectionMode() const override { return MultiSelect::Extended; }
    std::string displayText() const override { return m_path; }

private:
    class SizeReader;

    // Lists `folder` into the entries without telling the front-end; false, with nothing
    // changed, when it cannot be listed.
    bool relist(std::string_view folder, bool keepSelection);
    // Takes the sizes read since the last take.
    void takeSizes();
    // The selection changed: what was counted of it must be counted again.
    void selectionChanged();
    // Counts the selection and its bytes again when it changed since the last count.
    void countSelection() const;

    FileSystem& m_fs;
    std::string m_path;
    std::string m_pattern = "*.*";
    std::unique_ptr<MaskList> m_mask;
    std::unique_ptr<FolderWatch> m_watch;
    FolderId m_folderId; // who the listed folder was
    // Holds the listed folder open and reads sizes in it; nullptr before a first listing.
    std::unique_ptr<SizeReader> m_reader;
    std::vector<DirEntry> m_entries;
    std::vector<char> m_selected;
    std::vector<char> m_sized;   // whether entry i's size has been read since the listing
    std::vector<char> m_pending; // entry i is asked for and not read yet
    std::size_t m_unread = 0;    // entries whose size was never read
    // Counted once per change of the selection, then kept up to date as sizes come in, so that
    // a tick of the timer costs nothing a file.
    mutable bool m_counted = false;
    mutable std::size_t m_selCount = 0;
    mutable std::int64_t m_selectedBytes = 0;
    // What the sweep reads without a watch: the entries selected, or never read, when it was
    // made; nullptr when the selection changed since.
    std::shared_ptr<const std::vector<char>> m_sweepMask;
    std::size_t m_sweepCount = 0;  // the entries it marks
    std::size_t m_sweepUnread = 0; // m_unread when it was made
    std::size_t m_quickSlice = 0;  // its slice, fixed from the selection's change on
    unsigned m_ticks = 0;          // updates since the listing, pacing the slow sweep
    int m_listIndex = -1;
    std::size_t m_anchor = 0;
};

class MenuItem;

// A pop-up menu: its items are the MenuItems whose container it is.
class Menu : public CaptionControl {
public:
    Menu(Form& form, std::string name);
    std::vector<MenuItem*> items() const;
};

class MenuItem : public CaptionControl {
public:
    MenuItem(Menu& menu, std::string name, std::string caption);
    // A separator has the caption "-".
    bool isSeparator() const { return caption() == "-"; }
    bool checked() const { return m_checked; }
    void setChecked(bool on);
    void click() override; // ignored when disabled

private:
    bool m_checked = false;
};

class Line : public Control {
public:
    Line(Form& form, std::string name, Control* container = nullptr);
};

class Shape : public Control {
public:
    Shape(Form& form, std::string name, Control* container = nullptr);
};

// Calls `f` with `control` as the class of its kind: the one place that tells a control's class
// by its kind. `f` takes each class, or a base of it (Control& for any); what `f` returns.
template <class F> decltype(auto) visitKind(Control& control, F&& f)
{
    switch (control.kind()) {
    case ControlKind::CommandButton:
        return f(static_cast<CommandButton&>(control));
    case ControlKind::Label:
        return f(static_cast<Label&>(control));
    case ControlKind::TextBox:
        return f(static_cast<TextBox&>(control));
    case ControlKind::CheckBox:
        return f(static_cast<CheckBox&>(control));
    case ControlKind::OptionButton:
        return f(static_cast<OptionButton&>(control));
    case ControlKind::ComboBox:
        return f(static_cast<ComboBox&>(control));
    case ControlKind::ListBox:
        return f(static_cast<ListBox&>(control));
    case ControlKind::Frame:
        return f(static_cast<Frame&>(control));
    case ControlKind::PictureBox:
        return f(static_cast<PictureBox&>(control));
    case ControlKind::Image:
        return f(static_cast<Image&>(control));
    case ControlKind::Timer:
        return f(static_cast<Timer&>(control));
    case ControlKind::DriveListBox:
        return f(static_cast<DriveListBox&>(control));
    case ControlKind::DirListBox:
        return f(static_cast<DirListBox&>(control));
    case ControlKind::FileListBox:
        return f(static_cast<FileListBox&>(control));
    case ControlKind::Menu:
        return f(static_cast<Menu&>(control));
    case ControlKind::MenuItem:
        return f(static_cast<MenuItem&>(control));
    case ControlKind::Line:
        return f(static_cast<Line&>(control));
    case ControlKind::Shape:
        return f(static_cast<Shape&>(control));
    }
    return f(control); // a value outside the enumeration
}

// Overloads gathered from lambdas, for visitKind.
template <class... F> struct Overloaded : F... {
    using F::operator()...;
};
template <class... F> Overloaded(F...) -> Overloaded<F...>;

} // namespace velmora

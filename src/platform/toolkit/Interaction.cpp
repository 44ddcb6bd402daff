#include "platform/toolkit/Interaction.h"

#include "platform/Text.h"
#include "platform/Utf8.h"
#include "platform/toolkit/Form.h"

#include <algorithm>

namespace velmora {

namespace {

// The control's own Enter, before the form's default button: true when taken.
bool ownEnter(Control& control, const ControlView& view)
{
    switch (control.kind()) {
    case ControlKind::CommandButton:
        // Enter on a focused button presses that button, not the form's default one.
        control.click();
        return true;
    case ControlKind::DirListBox: {
        // Enter opens the highlighted folder; on the open folder itself it is the form's.
        auto& tree = static_cast<DirListBox&>(control);
        const int row = view.highlightedRow();
        if (row < 0 || static_cast<std::size_t>(row) == tree.openFolderRow()) return false;
        tree.openRow(static_cast<std::size_t>(row));
        return true;
    }
    default:
        return false;
    }
}

// Moves a list's current entry to `target`, selecting it as a click would unless Ctrl is held
// or the list is a simple one.
void moveTo(SelectableList& list, int target, bool shift, bool ctrl)
{
    if (ctrl || list.selectionMode() == MultiSelect::Simple)
        list.setCurrentEntry(target);
    else
        list.userSelect(static_cast<std::size_t>(target), shift, false);
}

SelectableList* selectable(Control& control)
{
    if (control.kind() != ControlKind::ListBox && control.kind() != ControlKind::FileListBox) return nullptr;
    return dynamic_cast<SelectableList*>(&control);
}

// A list's own keys after KeyDown.
KeyResult listKey(SelectableList& list, const KeyPress& press, const ControlView& view)
{
    const std::size_t count = list.entryCount();
    const int current = list.currentEntry();
    if (press.code == key::Space) {
        if (count > 0) list.userSelect(static_cast<std::size_t>(std::max(current, 0)), false, press.ctrl);
        return KeyResult::Taken;
    }
    if (const int target = listMove(press.code, current, count, view.shownRows()); target >= 0) {
        moveTo(list, target, press.shift, press.ctrl);
        return KeyResult::Taken;
    }
    if (press.typed == 0) return KeyResult::Widget;
    typeToFind(dynamic_cast<Control&>(list), press.typed, press.shift, press.ctrl);
    return KeyResult::Taken;
}

// The first character of `s`, upper-cased.
std::string firstUpper(std::string_view s)
{
    if (s.empty()) return {};
    return text::toUpper(s.substr(0, utf8::decodeAt(s, 0).len));
}

bool sameGroup(const Control& a, const Control& b)
{
    return b.kind() == ControlKind::OptionButton && b.container() == a.container();
}

} // namespace

KeyResult pressKey(Control& control, const KeyPress& press, const ControlView& view)
{
    if (!view.alive()) return KeyResult::Taken;
    if (view.keepsKeys()) return KeyResult::Widget;
    if (press.code == key::Return && ownEnter(control, view)) return KeyResult::Taken;
    if ((press.code == key::Return || press.code == key::Escape) && dialogKey(control.form(), press.code))
        return KeyResult::Taken;
    if (press.code == key::Tab) return KeyResult::NextStop;
    if (press.code != 0 && control.onKeyDown) {
        control.keyDown(press.code);
        if (!view.alive()) return KeyResult::Taken;
    }
    if (SelectableList* list = selectable(control)) return listKey(*list, press, view);
    return KeyResult::Widget;
}

bool dialogKey(Form& form, int code)
{
    CommandButton* target = code == key::Return   ? form.defaultButton()
                            : code == key::Escape ? form.cancelButton()
                                                  : nullptr;
    if (!target) return false;
    target->click();
    return true;
}

int listMove(int code, int current, std::size_t count, int shownRows)
{
    if (count == 0) return -1;
    const int last = static_cast<int>(count) - 1;
    const int page = std::max(shownRows - 1, 1);
    switch (code) {
    case key::Up:
        return std::max(current - 1, 0);
    case key::Down:
        return std::min(current + 1, last);
    case key::Home:
        return 0;
    case key::End:
        return last;
    case key::PageUp:
        return std::max(current - page, 0);
    case key::PageDown:
        return std::min(std::max(current, 0) + page, last);
    default:
        return -1;
    }
}

bool typeToFind(Control& control, char32_t typed, bool shift, bool ctrl)
{
    SelectableList* list = selectable(control);
    if (!list || ctrl || typed < 32 || typed == 127 || typed > 0x10FFFF || (typed >= 0xD800 && typed < 0xE000))
        return false;
    const std::size_t count = list->entryCount();
    if (count == 0) return false;
    char bytes[4];
    const std::string want = text::toUpper(std::string_view(bytes, utf8::encode(typed, bytes)));
    const auto from = static_cast<std::size_t>(std::max(list->currentEntry(), 0));
    for (std::size_t step = 1; step <= count; ++step) {
        const std::size_t i = (from + step) % count;
        if (firstUpper(list->entryText(i)) == want) {
            moveTo(*list, static_cast<int>(i), shift, false);
            return true;
        }
    }
    return false;
}

bool isTabStop(const Control& control)
{
    switch (control.kind()) {
    case ControlKind::CommandButton:
        return static_cast<const CommandButton&>(control).focusable();
    case ControlKind::OptionButton: {
        // As in a dialog, Tab reaches the chosen option of a group, not each one.
        if (static_cast<const OptionButton&>(control).value()) return true;
        for (const Control* c : control.form().controls())
            if (c != &control && sameGroup(control, *c) && static_cast<const OptionButton*>(c)->value()) return false;
        return true;
    }
    case ControlKind::TextBox:
    case ControlKind::CheckBox:
    case ControlKind::ComboBox:
    case ControlKind::ListBox:
    case ControlKind::DriveListBox:
    case ControlKind::DirListBox:
    case ControlKind::FileListBox:
        return true;
    default:
        return false;
    }
}

Control* nextTabStop(const Form& form, const Control* from, bool back,
                     const std::function<bool(const Control&)>& reachable)
{
    std::vector<Control*> stops;
    for (Control* c : form.controls())
        if (isTabStop(*c) && c->usable() && c->shown() && (!reachable || reachable(*c))) stops.push_back(c);
    if (stops.empty()) return nullptr;
    const auto at = std::find(stops.begin(), stops.end(), from);
    if (at == stops.end()) return back ? stops.back() : stops.front();
    const auto i = static_cast<std::size_t>(at - stops.begin());
    return stops[(i + (back ? stops.size() - 1 : 1)) % stops.size()];
}

void PassiveClicks::press(int button)
{
    if (button == mouse::Left) m_pressed = true;
}

void PassiveClicks::doubleClick(Control& control, const ControlView& view)
{
    control.dblClick();
    if (view.alive()) m_pressed = true;
}

void PassiveClicks::release(Control& control, int button, int x, int y, bool inside, const ControlView& view)
{
    const bool pressed = button == mouse::Left && m_pressed;
    if (button == mouse::Left) m_pressed = false;
    if (button != 0) control.mouseUp(button, x, y);
    if (pressed && inside && view.alive()) control.click();
}

} // namespace velmora

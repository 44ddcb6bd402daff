#pragma once
// The rules of the user's keys and clicks that every front-end keeps alike: the order in which
// a key is handled, moves in a list, typing to find an entry, where Tab stops, clicks on
// controls that take no focus. A front-end turns its native events into these calls and then
// draws what the model holds.
#include "platform/toolkit/Control.h"

#include <functional>

namespace velmora {

class Form;

namespace key {
inline constexpr int Tab = 9;
inline constexpr int Space = 32;
inline constexpr int PageUp = 33;
inline constexpr int PageDown = 34;
inline constexpr int End = 35;
inline constexpr int Home = 36;
inline constexpr int Up = 38;
inline constexpr int Down = 40;
} // namespace key

// What a front-end tells the rules of the widget a key or click came to.
class ControlView {
public:
    virtual ~ControlView() = default;
    // False once a handler unloaded the form or dropped the control, and the widget with it.
    virtual bool alive() const = 0;
    // True while the widget handles every key itself (a dropped-down list).
    virtual bool keepsKeys() const { return false; }
    // The row a folder tree's widget highlights (the widget moves it itself); -1 when none.
    virtual int highlightedRow() const { return -1; }
    // How many rows of a list the widget shows at once.
    virtual int shownRows() const { return 1; }
};

struct KeyPress {
    int code = 0; // Windows virtual-key code, as KeyDown sees it; 0 for a key without one
    bool shift = false;
    bool ctrl = false;
    // The character the key types; 0 for none, or where the platform delivers it apart
    // (then it goes to typeToFind when it comes).
    char32_t typed = 0;
};

enum class KeyResult {
    Taken,    // handled by the model (or its control is gone): the widget must not see it
    Widget,   // the widget's own: typing in a text box, arrows in a dropped-down list
    NextStop, // Tab: the front-end moves the focus to nextTabStop()
};

// Hands a key pressed on `control` to the model in the order every front-end keeps: a widget
// that keeps its keys has them; Enter is the control's own first (a button presses itself, a
// folder tree opens its highlighted row); Enter and Esc then press the form's default and
// cancel buttons; Tab moves the focus; every other key fires KeyDown and, unless that
// handler took the control away, is the control's own (a list's moves and type-to-find).
KeyResult pressKey(Control& control, const KeyPress& press, const ControlView& view);

// Enter or Esc that no control took presses the form's default or cancel button. True when
// the form has that button (it may still refuse the press, being disabled).
bool dialogKey(Form& form, int code);

// Where `code` (Up, Down, Home, End, Page Up, Page Down) moves the current entry of a list of
// `count` entries that shows `shownRows` at once: a page is one row fewer, at least one.
// -1 when the key moves nothing or the list is empty.
int listMove(int code, int current, std::size_t count, int shownRows);

// Typing `typed` in a list box or file list moves to the next entry after the current one
// whose first character is the same without regard to case, wrapping round, and selects it as
// a click would (with Shift held, as a Shift-click). Nothing with Ctrl held, for a control
// character, or on another kind. True when an entry was found.
bool typeToFind(Control& list, char32_t typed, bool shift, bool ctrl);

// Whether Tab may stop at `control` by its kind and state: a control that takes the focus; a
// button only when it takes the focus; of an option group (the options of one container) only
// the chosen option, or every one while none is. Whether it is usable now is not asked.
bool isTabStop(const Control& control);

// The control Tab (with `back`, Shift+Tab) moves the focus to from `from` (nullptr: from
// none), in the form's order, among its tab stops that are usable, shown and that `reachable`
// (when given) accepts; wraps round. nullptr when there is none.
Control* nextTabStop(const Form& form, const Control* from, bool back,
                     const std::function<bool(const Control&)>& reachable = {});

// The mouse on a control that takes no focus (a frame, a panel, a label): its Click is a left
// button that goes down on it and comes up on it.
class PassiveClicks {
public:
    // A button went down on the control.
    void press(int button);
    // A left double click: DblClick, and the press of a click to come.
    void doubleClick(Control& control, const ControlView& view);
    // A button came up at (x, y), in twips of the control; `inside` when over the control.
    // MouseUp, then Click when the left button went down here.
    void release(Control& control, int button, int x, int y, bool inside, const ControlView& view);

private:
    bool m_pressed = false;
};

} // namespace velmora

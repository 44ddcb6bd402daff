#pragma once
// The native windows of the controls (internal to the Win32 front-end): one adapter per kind of
// control builds the Windows control that draws it, draws it again from the model after each
// change, and hands the user's actions on it back to the model. Win32FrontEnd holds one adapter
// per control of each loaded form.
#include "platform/toolkit/Form.h"
#include "platform/toolkit/Interaction.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace velmora::win32 {

class ControlAdapter;
class Picture;

// The window class of the windows the front-end draws itself: containers (frames, picture
// boxes) and the drawn controls (images, lines, shapes).
inline constexpr wchar_t PanelClass[] = L"VelmoraPanel";

// What the adapters need from the front-end that holds them.
class AdapterHost {
public:
    virtual ~AdapterHost() = default;

    // Twips to pixels and back at the screen's resolution.
    virtual int px(int twips) const = 0;
    virtual int twips(int pixels) const = 0;
    // Screen pixels per 96-dpi pixel: the scale at which pictures are drawn.
    virtual double pictureScale() const = 0;
    // The font a control's Font names, made once and owned by the host.
    virtual HFONT font(const Font& font) = 0;
    // A picture file of the program's; nullptr when it is missing or unreadable.
    virtual const Picture* picture(const std::string& name) = 0;
    // The adapter of a control of a loaded form; nullptr when the control has none yet.
    virtual ControlAdapter* adapterOf(const Control& control) const = 0;
    // The adapter whose window `window` is; nullptr for any other window.
    virtual ControlAdapter* routed(HWND window) const = 0;
    // Messages of `window` are `adapter`'s from now on (nullptr: nobody's).
    virtual void route(HWND window, ControlAdapter* adapter) = 0;
    // WM_TIMER `id` of the form's window goes to `adapter` (nullptr: to nobody).
    virtual void routeTimer(UINT_PTR id, ControlAdapter* adapter) = 0;
    virtual UINT_PTR newTimerId() = 0;
    // Shows `text` as the tooltip of `window`, a control of `form`; "" takes it away.
    virtual void setToolTip(const Form& form, HWND window, const std::string& text) = 0;
    // Hands a mouse message of `window` to the tooltips of `form`.
    virtual void relayToolTip(const Form& form, HWND window, UINT msg, WPARAM wParam, LPARAM lParam) = 0;
    // Hides `window` at once and destroys it once no message of ours is being handled: it may
    // be the very window whose message runs the handler that drops it.
    virtual void retire(HWND window) = 0;
    // The top-level window of a loaded form; nullptr when it has none.
    virtual HWND formWindow(const Form& form) const = 0;
    // Brackets the handling of one Windows message by the front-end (see retire).
    virtual void enterMessage() = 0;
    virtual void leaveMessage() = 0;
};

// Draws one control and hands the user's actions on it to the model. Made by makeAdapter()
// and owned by the front-end while the control's form is loaded. A form's controls may be
// destroyed before the form unloads, so an adapter never touches its control on the way out.
class ControlAdapter {
public:
    // How a control's window takes part in the focus and the mouse.
    enum class Presence {
        Focusable, // takes the focus and handles the mouse itself: buttons, boxes, lists
        Passive,   // takes no focus; a left click on it is the control's Click: frames, panels
        Drawn,     // passive, and below every real control of its container: labels, pictures
        None,      // no window: timers, menus
    };

    virtual ~ControlAdapter();
    ControlAdapter(const ControlAdapter&) = delete;
    ControlAdapter& operator=(const ControlAdapter&) = delete;

    Control& control() const { return m_control; }
    Presence presence() const { return m_presence; }
    bool takesFocus() const { return m_presence == Presence::Focusable; }
    // The window drawing the control; nullptr for timers and menus.
    HWND window() const { return m_window; }
    AdapterHost& host() const { return m_host; }

    // Builds the window inside `parent` (the form's window or the container's) and routes its
    // messages here. Called once, first.
    void build(HWND parent);
    // Draws the window from the control's state.
    virtual void sync();
    // Draws only what `change` says changed in a list control's entries; by default, all.
    virtual void follow(const ListChange& change);
    // Runs a user's action on the control, then draws the window again: the model may have
    // refused, cut or changed what the window did. Does nothing when the form no longer holds
    // the control. The action may unload the form, and this adapter with it: touch nothing of
    // the adapter after calling this.
    void act(const std::function<void()>& action);

    // A key pressed while the control's window has the focus, before Windows handles it, as
    // the model's rules took it (Taken: Windows never sees it; NextStop: Tab, left to the
    // front-end).
    KeyResult keyDown(int keyCode, bool shift, bool ctrl);
    // True while the window handles every key itself (a dropped list): keyDown leaves them.
    virtual bool keepsKeys() const { return false; }
    // A notification of the control's window to its parent (WM_COMMAND's code).
    virtual void command(int) {}
    // The brush for WM_CTLCOLOR*; nullptr for the default.
    virtual HBRUSH colour(HDC) { return nullptr; }
    // WM_DRAWITEM of an owner-drawn window; true when drawn.
    virtual bool drawItem(const DRAWITEMSTRUCT&) { return false; }
    // A message to the control's own window; true when handled, with its result in `result`.
    // The message may unload the form: the adapter may be gone when this returns true.
    virtual bool message(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Shows the control's tooltip when `msg`, a mouse message of its window, calls for it.
    void relayToolTip(UINT msg, WPARAM wParam, LPARAM lParam);
    // A tick of the timer this adapter set.
    virtual void timer() {}
    // Paints a window of the panel class.
    virtual void paint(HDC, const RECT&) {}

protected:
    ControlAdapter(Control& control, AdapterHost& host, Presence presence);

    // Whether the adapter outlived a handler with its control still on the form: a handler may
    // unload the form or drop the control, and the adapter with it.
    class Alive {
    public:
        explicit Alive(const ControlAdapter& adapter);
        explicit operator bool() const;

    private:
        std::weak_ptr<const char> m_life;
        const ControlAdapter* m_adapter;
    };

    Form& form() const { return m_form; }
    // True while the form holds the control: until then a control may already be destroyed.
    bool held() const;
    // Replaces the window by a fresh one from create(), in its place and keeping the focus.
    void rebuild();
    // The control's MouseUp at `pos`, a point of the window's client area in pixels.
    void mouseUp(int button, POINT pos);
    // Sets the window's text when it differs from what it shows.
    void setText(const std::wstring& text);

    // Makes the kind's window inside `parent`; nullptr for a kind that has none.
    virtual HWND create(HWND parent) = 0;
    // Draws what only this kind has; sync() draws the rest around it.
    virtual void syncKind() {}
    // The window's rectangle in its parent, in pixels.
    virtual RECT pixelRect() const;
    // The highlighted row of a window that moves it itself (the folder tree); -1 when none.
    virtual int highlightedRow() const { return -1; }
    // The rows a list window shows at once.
    virtual int shownRows() const { return 1; }
    // Draws the window again after a user's action, which the window itself may have drawn
    // otherwise than the model took it.
    virtual void redrawAfterAction() { sync(); }
    // A left double click: the control's DblClick.
    virtual void doubleClick();

private:
    class View;

    HWND make(HWND parent);
    // A point of the window's client area in twips from the window's own corner.
    POINT twipsAt(POINT pos) const;
    // The window's messages reach this adapter no more.
    void detach(HWND window);

    Control& m_control;
    Form& m_form;
    AdapterHost& m_host;
    Presence m_presence;
    HWND m_window = nullptr;
    std::shared_ptr<const char> m_life;
    // What the window was last given, so that an unchanged state costs no message.
    RECT m_rect{-1, -1, -1, -1};
    HFONT m_font = nullptr;
    std::string m_toolTip;
    PassiveClicks m_clicks;
};

// The adapter for the control's kind: the one place that pairs each kind with its class.
std::unique_ptr<ControlAdapter> makeAdapter(Control& control, AdapterHost& host);

// WM_COMMAND, WM_CTLCOLOR* and WM_DRAWITEM from a control's window to its parent, handed to
// the control's adapter; true when handled, with the result in `result`.
bool childNotification(const AdapterHost& host, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

// Registers the panel window class (once per process).
void registerPanelClass();

} // namespace velmora::win32

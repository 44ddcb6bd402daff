#include "platform/win32ui/Win32Controls.h"

#include "platform/toolkit/Accessible.h"
#include "platform/toolkit/ListFollower.h"
#include "platform/win32/Win32Text.h"
#include "platform/win32ui/Win32Accessible.h"
#include "platform/win32ui/Win32Pictures.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <exception>
#include <optional>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

namespace velmora::win32 {

namespace {

HINSTANCE instance() { return ::GetModuleHandleW(nullptr); }

// The caption without its access-key marks: "&&" is one "&", "&x" is "x".
std::wstring withoutMnemonics(const std::wstring& caption)
{
    std::wstring out;
    out.reserve(caption.size());
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == L'&' && i + 1 < caption.size())
            ++i;
        else if (caption[i] == L'&')
            continue;
        out += caption[i];
    }
    return out;
}

std::wstring windowText(HWND window)
{
    std::wstring text(static_cast<std::size_t>(std::max(::GetWindowTextLengthW(window), 0)) + 1, L'\0');
    const int n = ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(std::max(n, 0)));
    return text;
}

LRESULT send(HWND window, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0)
{
    return ::SendMessageW(window, msg, wParam, lParam);
}

LONG_PTR style(HWND window) { return ::GetWindowLongPtrW(window, GWL_STYLE); }

// Sets the style bits `mask` of the window to `bits`; true when they changed.
bool setStyle(HWND window, LONG_PTR mask, LONG_PTR bits, int which = GWL_STYLE)
{
    const LONG_PTR old = ::GetWindowLongPtrW(window, which);
    const LONG_PTR next = (old & ~mask) | (bits & mask);
    if (next == old) return false;
    ::SetWindowLongPtrW(window, which, next);
    return true;
}

int mouseButtonOf(UINT msg)
{
    switch (msg) {
    case WM_LBUTTONUP:
        return mouse::Left;
    case WM_RBUTTONUP:
        return mouse::Right;
    case WM_MBUTTONUP:
        return 4;
    default:
        return 0;
    }
}

POINT pointOf(LPARAM lParam) { return {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

bool keyHeld(int vk) { return ::GetKeyState(vk) < 0; }

// `clipChildren` false: the panel's background is painted under its children too, for a child
// that leaves its inside undrawn (a group box without a caption).
HWND createPanel(HWND parent, bool clipChildren = true)
{
    return ::CreateWindowExW(0, PanelClass, L"", WS_CHILD | WS_CLIPSIBLINGS | (clipChildren ? WS_CLIPCHILDREN : 0), 0,
                             0, 0, 0, parent, nullptr, instance(), nullptr);
}

ControlAdapter* adapterOfWindow(HWND window)
{
    return reinterpret_cast<ControlAdapter*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

bool isMouseMessage(UINT msg) { return msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST && msg != WM_MOUSEWHEEL; }

// The windows the front-end draws itself: their adapter is in GWLP_USERDATA once made (and
// none once it went), their children's notifications go to the children's adapters.
LRESULT CALLBACK panelProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    ControlAdapter* adapter = adapterOfWindow(window);
    if (!adapter) return ::DefWindowProcW(window, msg, wParam, lParam);
    AdapterHost& host = adapter->host();
    host.enterMessage();
    LRESULT result = 0;
    if (isMouseMessage(msg)) adapter->relayToolTip(msg, wParam, lParam);
    // Either may unload the form, and the adapter with it: it is not touched afterwards.
    bool handled =
        childNotification(host, msg, wParam, lParam, result) || adapter->message(msg, wParam, lParam, result);
    if (!handled && (msg == WM_PAINT || msg == WM_PRINTCLIENT)) {
        PAINTSTRUCT ps{};
        HDC dc = msg == WM_PAINT ? ::BeginPaint(window, &ps) : reinterpret_cast<HDC>(wParam);
        if (msg == WM_PRINTCLIENT) {
            ::GetClientRect(window, &ps.rcPaint);
            ::FillRect(dc, &ps.rcPaint, ::GetSysColorBrush(COLOR_BTNFACE));
        }
        adapter->paint(dc, ps.rcPaint);
        if (msg == WM_PAINT) ::EndPaint(window, &ps);
        handled = true;
    }
    if (!handled) result = ::DefWindowProcW(window, msg, wParam, lParam);
    host.leaveMessage();
    return result;
}

// The procedure each standard control (button, edit, list, ...) had before its adapter took
// its messages.
std::unordered_map<HWND, WNDPROC>& originalProcs()
{
    static std::unordered_map<HWND, WNDPROC> procs;
    return procs;
}

// A standard control's messages go to its adapter first. Subclassed the classic way: the
// common controls' SetWindowSubclass looks a property up at every message, which Wine asks
// its server for, and a list of 100,000 entries is filled with 100,000 messages.
LRESULT CALLBACK controlProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto& procs = originalProcs();
    const auto it = procs.find(window);
    if (it == procs.end()) return ::DefWindowProcW(window, msg, wParam, lParam);
    const WNDPROC original = it->second;
    LRESULT result = 0;
    // Screen readers ask the client object for the name: the model's, not always the text. With
    // nothing to say, Windows' own guess stands.
    if (msg == WM_GETOBJECT && static_cast<LONG>(lParam) == static_cast<LONG>(OBJID_CLIENT))
        if (ControlAdapter* adapter = adapterOfWindow(window))
            if (const std::string name = accessibleName(adapter->control()); !name.empty())
                if (const LRESULT object =
                        accessibleObject(window, wParam, widen(name), widen(accessibleDescription(adapter->control()))))
                    return object;
    if (ControlAdapter* adapter = adapterOfWindow(window)) {
        AdapterHost& host = adapter->host();
        host.enterMessage();
        if (isMouseMessage(msg)) adapter->relayToolTip(msg, wParam, lParam);
        // The adapter may go with the form inside message(): it is not touched afterwards.
        if (!adapter->message(msg, wParam, lParam, result))
            result = ::CallWindowProcW(original, window, msg, wParam, lParam);
        host.leaveMessage();
    } else {
        result = ::CallWindowProcW(original, window, msg, wParam, lParam);
    }
    if (msg == WM_NCDESTROY) procs.erase(window);
    return result;
}

} // namespace

void registerPanelClass()
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (::GetClassInfoExW(instance(), PanelClass, &wc)) return;
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = panelProc;
    wc.hInstance = instance();
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = PanelClass;
    ::RegisterClassExW(&wc);
}

bool childNotification(const AdapterHost& host, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg) {
    case WM_COMMAND:
        if (lParam == 0) return false; // a menu or an accelerator, not a control
        if (ControlAdapter* a = host.routed(reinterpret_cast<HWND>(lParam))) {
            a->command(HIWORD(wParam));
            result = 0;
            return true;
        }
        return false;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
        if (ControlAdapter* a = host.routed(reinterpret_cast<HWND>(lParam)))
            if (HBRUSH brush = a->colour(reinterpret_cast<HDC>(wParam))) {
                result = reinterpret_cast<LRESULT>(brush);
                return true;
            }
        return false;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (ControlAdapter* a = host.routed(item->hwndItem); a && a->drawItem(*item)) {
            result = TRUE;
            return true;
        }
        return false;
    }
    default:
        return false;
    }
}

// ---- ControlAdapter ----

ControlAdapter::ControlAdapter(Control& control, AdapterHost& host, Presence presence)
    : m_control(control), m_form(control.form()), m_host(host), m_presence(presence),
      m_life(std::make_shared<const char>('\0'))
{}

ControlAdapter::~ControlAdapter()
{
    if (!m_window) return;
    detach(m_window);
    m_host.retire(m_window);
}

void ControlAdapter::detach(HWND window)
{
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    if (!m_toolTip.empty()) m_host.setToolTip(m_form, window, {});
    m_host.route(window, nullptr);
}

void ControlAdapter::relayToolTip(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!m_toolTip.empty()) m_host.relayToolTip(m_form, m_window, msg, wParam, lParam);
}

ControlAdapter::Alive::Alive(const ControlAdapter& adapter) : m_life(adapter.m_life), m_adapter(&adapter) {}

ControlAdapter::Alive::operator bool() const { return !m_life.expired() && m_adapter->held(); }

bool ControlAdapter::held() const
{
    const auto& controls = m_form.controls();
    return std::find(controls.begin(), controls.end(), &m_control) != controls.end();
}

HWND ControlAdapter::make(HWND parent)
{
    HWND window = create(parent);
    if (!window) return nullptr;
    m_host.route(window, this);
    wchar_t kind[32] = {};
    ::GetClassNameW(window, kind, 32);
    if (std::wstring_view(kind) != PanelClass)
        originalProcs()[window] = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(controlProc)));
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return window;
}

void ControlAdapter::build(HWND parent) { m_window = make(parent); }

void ControlAdapter::rebuild()
{
    HWND old = m_window;
    if (!old) return;
    HWND focus = ::GetFocus();
    const bool hadFocus = focus && (focus == old || ::IsChild(old, focus));
    detach(old);
    m_window = make(::GetParent(old));
    // In the old one's place among its siblings: just below it, which it leaves.
    ::SetWindowPos(m_window, old, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    m_host.retire(old);
    m_rect = {-1, -1, -1, -1};
    m_font = nullptr;
    m_toolTip.clear();
    if (hadFocus) ::SetFocus(m_window);
}

RECT ControlAdapter::pixelRect() const
{
    const Geometry& g = m_control.geometry();
    const int x = m_host.px(g.left), y = m_host.px(g.top);
    return {x, y, std::max(m_host.px(g.left + g.width), x), std::max(m_host.px(g.top + g.height), y)};
}

void ControlAdapter::setText(const std::wstring& text)
{
    if (windowText(m_window) != text) ::SetWindowTextW(m_window, text.c_str());
}

void ControlAdapter::sync()
{
    HWND w = m_window;
    if (!w) return;
    const Control& c = m_control;
    const RECT r = pixelRect();
    if (!::EqualRect(&r, &m_rect)) {
        m_rect = r;
        ::SetWindowPos(w, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // A control inside a disabled container is drawn disabled too, as it cannot be used.
    const bool usable = c.usable();
    if (!::IsWindowEnabled(w) != !usable) ::EnableWindow(w, usable);
    if (c.toolTip() != m_toolTip) {
        m_toolTip = c.toolTip();
        m_host.setToolTip(m_form, w, m_toolTip);
    }
    if (HFONT font = m_host.font(c.font()); font != m_font) {
        m_font = font;
        send(w, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    syncKind();
    w = m_window;
    const bool shown = (style(w) & WS_VISIBLE) != 0;
    if (shown != c.visible()) ::ShowWindow(w, c.visible() ? SW_SHOWNA : SW_HIDE);
}

void ControlAdapter::act(const std::function<void()>& action)
{
    if (!held()) return;
    const Alive alive(*this);
    runHandler(form(), action);
    if (alive) redrawAfterAction();
}

void ControlAdapter::follow(const ListChange&) { sync(); }

POINT ControlAdapter::twipsAt(POINT pos) const
{
    // From the window's own corner, border included, as the control's coordinates count.
    POINT screen = pos;
    ::ClientToScreen(m_window, &screen);
    RECT outer;
    ::GetWindowRect(m_window, &outer);
    return {m_host.twips(screen.x - outer.left), m_host.twips(screen.y - outer.top)};
}

void ControlAdapter::mouseUp(int button, POINT pos)
{
    if (button == 0 || !m_control.onMouseUp || !m_window) return;
    const POINT at = twipsAt(pos);
    Control& c = m_control;
    runHandler(form(), [&c, button, at] { c.mouseUp(button, at.x, at.y); });
}

void ControlAdapter::doubleClick()
{
    Control& c = m_control;
    runHandler(form(), [&c] { c.dblClick(); });
}

// The adapter as the interaction rules see it, for as long as it lives.
class ControlAdapter::View final : public ControlView {
public:
    explicit View(const ControlAdapter& adapter) : m_adapter(adapter), m_alive(adapter) {}
    bool alive() const override { return static_cast<bool>(m_alive); }
    bool keepsKeys() const override { return alive() && m_adapter.keepsKeys(); }
    int highlightedRow() const override { return alive() ? m_adapter.highlightedRow() : -1; }
    int shownRows() const override { return alive() ? m_adapter.shownRows() : 1; }

private:
    const ControlAdapter& m_adapter;
    Alive m_alive;
};

KeyResult ControlAdapter::keyDown(int vk, bool shift, bool ctrl)
{
    if (!held()) return KeyResult::Taken;
    const View view(*this);
    const KeyPress press{vk, shift, ctrl, 0}; // a character comes apart, as WM_CHAR
    KeyResult result = KeyResult::Taken;
    Control& c = m_control;
    runHandler(form(), [&] { result = pressKey(c, press, view); });
    return view.alive() ? result : KeyResult::Taken;
}

bool ControlAdapter::message(UINT msg, WPARAM, LPARAM lParam, LRESULT& result)
{
    result = 0;
    const bool passive = m_presence != Presence::Focusable;
    Control& c = m_control;
    switch (msg) {
    case WM_NCDESTROY:
        // Destroyed under the adapter (with its parent): nothing routes to it any more.
        detach(m_window);
        m_window = nullptr;
        return false;
    case WM_LBUTTONDOWN:
        if (!passive) return false;
        m_clicks.press(mouse::Left);
        ::SetCapture(m_window);
        return true;
    case WM_LBUTTONDBLCLK: {
        const View view(*this);
        if (!passive) {
            doubleClick();
            return !view.alive();
        }
        runHandler(form(), [&] { m_clicks.doubleClick(c, view); });
        if (view.alive()) ::SetCapture(m_window);
        return true;
    }
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        return passive;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
        const int button = mouseButtonOf(msg);
        const POINT pos = pointOf(lParam);
        const View view(*this);
        if (!passive) {
            mouseUp(button, pos);
            return !view.alive();
        }
        if (button == mouse::Left && ::GetCapture() == m_window) ::ReleaseCapture();
        RECT client;
        ::GetClientRect(m_window, &client);
        const bool inside = ::PtInRect(&client, pos) != FALSE;
        const POINT at = twipsAt(pos);
        runHandler(form(), [&] { m_clicks.release(c, button, at.x, at.y, inside, view); });
        return true;
    }
    default:
        return false;
    }
}

namespace {

// ---- buttons, labels, text ----

class CommandButtonAdapter final : public ControlAdapter {
public:
    CommandButtonAdapter(CommandButton& button, AdapterHost& host)
        : ControlAdapter(button, host, Presence::Focusable), m_button(button)
    {}

private:
    HWND create(HWND parent) override
    {
        m_bitmap = nullptr;
        return ::CreateWindowExW(0, WC_BUTTONW, L"", WS_CHILD | WS_CLIPSIBLINGS | BS_PUSHBUTTON | BS_MULTILINE, 0, 0, 0,
                                 0, parent, nullptr, instance(), nullptr);
    }

    void syncKind() override
    {
        HWND w = window();
        const LONG_PTR type = m_button.isDefault() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        if ((style(w) & BS_TYPEMASK) != type) send(w, BM_SETSTYLE, static_cast<WPARAM>(type), TRUE);
        setStyle(w, WS_TABSTOP, m_button.focusable() ? WS_TABSTOP : 0);

        const std::wstring caption = widen(m_button.caption());
        const Picture* picture = m_button.picture().empty() ? nullptr : host().picture(m_button.picture());
        if (setStyle(w, BS_BITMAP, picture ? BS_BITMAP : 0)) ::InvalidateRect(w, nullptr, TRUE);
        if (picture) {
            HBITMAP bitmap = picture->bitmap(::GetSysColor(COLOR_BTNFACE), host().pictureScale());
            if (bitmap != m_bitmap) {
                m_bitmap = bitmap;
                send(w, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
            }
            setText(caption); // not drawn, but read by screen readers
            return;
        }
        if (m_bitmap) {
            m_bitmap = nullptr;
            send(w, BM_SETIMAGE, IMAGE_BITMAP, 0);
        }
        if (m_button.picture().empty()) {
            setText(caption);
            return;
        }
        // A picture button whose file is missing: a short text in its place.
        std::wstring glyph = withoutMnemonics(caption);
        if (glyph.empty()) {
            glyph = widen(m_button.picture());
            if (const auto slash = glyph.find_last_of(L"\\/"); slash != std::wstring::npos) glyph.erase(0, slash + 1);
            if (const auto dot = glyph.rfind(L'.'); dot != std::wstring::npos && dot > 0) glyph.erase(dot);
        }
        setText(glyph);
    }

    void command(int code) override
    {
        if (code == BN_CLICKED) act([this] { m_button.click(); });
    }

    // The second press of a double click is a second click; a button has no DblClick.
    void doubleClick() override {}

    bool message(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (m_button.focusable()) return ControlAdapter::message(msg, wParam, lParam, result);
        // A button that takes no focus is pressed and released here: the button's own mouse
        // handling would take the focus first.
        HWND w = window();
        const POINT pos = pointOf(lParam);
        auto inside = [w, pos] {
            RECT client;
            ::GetClientRect(w, &client);
            return ::PtInRect(&client, pos) != FALSE;
        };
        result = 0;
        switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            m_down = true;
            ::SetCapture(w);
            send(w, BM_SETSTATE, TRUE);
            return true;
        case WM_MOUSEMOVE:
            if (!m_down) return false;
            send(w, BM_SETSTATE, inside());
            return true;
        case WM_CAPTURECHANGED:
            if (m_down && reinterpret_cast<HWND>(lParam) != w) {
                m_down = false;
                send(w, BM_SETSTATE, FALSE);
            }
            return false;
        case WM_LBUTTONUP: {
            const bool was = std::exchange(m_down, false);
            if (::GetCapture() == w) ::ReleaseCapture();
            send(w, BM_SETSTATE, FALSE);
            const Alive alive(*this);
            mouseUp(mouse::Left, pos);
            if (alive && was && inside()) act([this] { m_button.click(); });
            return true;
        }
        default:
            return ControlAdapter::message(msg, wParam, lParam, result);
        }
    }

    CommandButton& m_button;
    HBITMAP m_bitmap = nullptr; // as last given to the button; owned by the picture
    bool m_down = false;        // a button that takes no focus is held down
};

class LabelAdapter final : public ControlAdapter {
public:
    LabelAdapter(Label& label, AdapterHost& host) : ControlAdapter(label, host, Presence::Drawn), m_label(label) {}

private:
    HWND create(HWND parent) override
    {
        // SS_LEFT wraps words; "&" marks the access key, which moves the focus to the next control.
        return ::CreateWindowExW(0, WC_STATICW, L"", WS_CHILD | WS_CLIPSIBLINGS | SS_LEFT | SS_NOTIFY, 0, 0, 0, 0,
                                 parent, nullptr, instance(), nullptr);
    }

    void syncKind() override { setText(widen(m_label.caption())); }

    Label& m_label;
};

class TextBoxAdapter final : public ControlAdapter {
public:
    TextBoxAdapter(TextBox& box, AdapterHost& host) : ControlAdapter(box, host, Presence::Focusable), m_box(box) {}

    void sync() override
    {
        // One edit for one line, another for many: a box that changes over gets the other.
        if (window() && m_box.multiLine() != m_multi) rebuild();
        ControlAdapter::sync();
    }

private:
    HWND create(HWND parent) override
    {
        m_multi = m_box.multiLine();
        m_limit = static_cast<std::size_t>(-1);
        const DWORD kind = m_multi ? ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL : ES_AUTOHSCROLL;
        return ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_EDITW, L"", WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | kind, 0, 0,
                                 0, 0, parent, nullptr, instance(), nullptr);
    }

    void syncKind() override
    {
        HWND w = window();
        if (((style(w) & ES_READONLY) != 0) != m_box.locked()) send(w, EM_SETREADONLY, m_box.locked());
        if (m_box.maxLength() != m_limit) {
            m_limit = m_box.maxLength();
            send(w, EM_SETLIMITTEXT, m_limit > 0x7FFFFFFE ? 0 : m_limit);
        }
        const std::wstring text = widen(m_box.text());
        if (windowText(w) == text) return;
        DWORD start = 0, end = 0;
        send(w, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        m_setting = true;
        ::SetWindowTextW(w, text.c_str());
        m_setting = false;
        const auto length = static_cast<DWORD>(text.size());
        send(w, EM_SETSEL, std::min(start, length), static_cast<LPARAM>(std::min(end, length)));
    }

    void command(int code) override
    {
        // Every change that is not ours is the user's: typing, pasting, undoing.
        if (code != EN_CHANGE || m_setting) return;
        const std::string text = narrow(windowText(window()));
        act([this, &text] { m_box.type(text); });
    }

    // A locked box is read-only but looks like any other.
    HBRUSH colour(HDC dc) override
    {
        if (!m_box.locked() || !::IsWindowEnabled(window())) return nullptr;
        ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
        ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
        return ::GetSysColorBrush(COLOR_WINDOW);
    }

    TextBox& m_box;
    bool m_multi = false;
    bool m_setting = false; // the window's text is being set from the model
    std::size_t m_limit = 0;
};

class CheckBoxAdapter final : public ControlAdapter {
public:
    CheckBoxAdapter(CheckBox& box, AdapterHost& host) : ControlAdapter(box, host, Presence::Focusable), m_box(box) {}

private:
    HWND create(HWND parent) override
    {
        // Not an automatic check box: the model decides what a click does.
        return ::CreateWindowExW(0, WC_BUTTONW, L"", WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | BS_3STATE | BS_MULTILINE,
                                 0, 0, 0, 0, parent, nullptr, instance(), nullptr);
    }

    void syncKind() override
    {
        setText(widen(m_box.caption()));
        const int v = m_box.value();
        const WPARAM state = v == 1 ? BST_CHECKED : v == 2 ? BST_INDETERMINATE : BST_UNCHECKED;
        if (static_cast<WPARAM>(send(window(), BM_GETCHECK)) != state) send(window(), BM_SETCHECK, state);
    }

    void command(int code) override
    {
        if (code == BN_CLICKED) act([this] { m_box.click(); });
    }

    CheckBox& m_box;
};

class OptionButtonAdapter final : public ControlAdapter {
public:
    OptionButtonAdapter(OptionButton& option, AdapterHost& host)
        : ControlAdapter(option, host, Presence::Focusable), m_option(option)
    {}

private:
    HWND create(HWND parent) override
    {
        // Not an automatic option: the model clears the other options of the container.
        return ::CreateWindowExW(0, WC_BUTTONW, L"",
                                 WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | BS_RADIOBUTTON | BS_MULTILINE, 0, 0, 0, 0,
                                 parent, nullptr, instance(), nullptr);
    }

    void syncKind() override
    {
        setText(widen(m_option.caption()));
        const WPARAM state = m_option.value() ? BST_CHECKED : BST_UNCHECKED;
        if (static_cast<WPARAM>(send(window(), BM_GETCHECK)) != state) send(window(), BM_SETCHECK, state);
    }

    void command(int code) override
    {
        if (code == BN_CLICKED) act([this] { m_option.click(); });
    }

    OptionButton& m_option;
};

// ---- lists ----

// Appends texts to a list box or a combo box; many at once with room made first and the
// window drawn once at the end.
template <class Texts>
void appendTexts(HWND window, UINT addMessage, const Texts& texts, std::size_t from, std::size_t to)
{
    const std::size_t n = to > from ? to - from : 0;
    const bool bulk = n > 16;
    if (bulk) {
        if (addMessage == LB_ADDSTRING) {
            std::size_t bytes = 0;
            for (std::size_t i = from; i < to; ++i) bytes += (texts[i].size() + 1) * sizeof(wchar_t);
            send(window, LB_INITSTORAGE, n, static_cast<LPARAM>(bytes));
        }
        send(window, WM_SETREDRAW, FALSE);
    }
    for (std::size_t i = from; i < to; ++i) {
        const std::wstring text = widen(texts[i]);
        send(window, addMessage, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    if (bulk) {
        send(window, WM_SETREDRAW, TRUE);
        ::InvalidateRect(window, nullptr, TRUE);
    }
}

// A drop-down list of texts: the combo box, and the drive box with its "c: [label]" entries.
template <class Model> class DropDownAdapter final : public ControlAdapter, private ListView {
public:
    DropDownAdapter(Model& model, AdapterHost& host) : ControlAdapter(model, host, Presence::Focusable), m_model(model)
    {}

private:
    static constexpr int DroppedRows = 8;

    HWND create(HWND parent) override
    {
        m_rows.forget();
        m_fieldHeight = -1;
        return ::CreateWindowExW(0, WC_COMBOBOXW, L"",
                                 WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST |
                                     CBS_HASSTRINGS,
                                 0, 0, 0, 0, parent, nullptr, instance(), nullptr);
    }

    // A combo box's window reaches down over its dropped list; its closed height is set apart.
    RECT pixelRect() const override
    {
        RECT r = ControlAdapter::pixelRect();
        const auto row = static_cast<int>(send(window(), CB_GETITEMHEIGHT, 0));
        r.bottom += DroppedRows * std::max(row, 1) + 2;
        return r;
    }

    // While the list is dropped, its keys (Enter, Esc, arrows) are the box's own.
    bool keepsKeys() const override { return send(window(), CB_GETDROPPEDSTATE) != 0; }

    void command(int code) override
    {
        HWND w = window();
        switch (code) {
        case CBN_DROPDOWN:
            // The drive box reads the drives again as it opens: volumes come and go.
            if constexpr (std::is_same_v<Model, DriveListBox>) act([this] { m_model.dropDown(); });
            break;
        case CBN_SELENDOK:
            m_chosen = true;
            break;
        case CBN_SELENDCANCEL:
            m_chosen = false;
            break;
        case CBN_CLOSEUP: {
            // Chosen once the list is closed, so that what the choice shows is not under it.
            const bool chosen = std::exchange(m_chosen, false);
            const int i = static_cast<int>(send(w, CB_GETCURSEL));
            if (chosen && i != m_model.listIndex())
                act([this, i] { m_model.choose(i); });
            else
                sync();
            break;
        }
        case CBN_SELCHANGE:
            // The arrow keys on a closed box choose at once.
            if (!send(w, CB_GETDROPPEDSTATE)) {
                const int i = static_cast<int>(send(w, CB_GETCURSEL));
                act([this, i] { m_model.choose(i); });
            }
            break;
        default:
            break;
        }
    }

    void follow(const ListChange& change) override { m_rows.follow(change, RowsOf<Model>(m_model), *this); }

    void syncKind() override
    {
        HWND w = window();
        // The closed box as high as the model says: its field, with the border around it.
        const RECT r = ControlAdapter::pixelRect();
        const int field = std::max<int>(r.bottom - r.top - 6, 1);
        if (field != m_fieldHeight) {
            m_fieldHeight = field;
            send(w, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
        }
        m_rows.sync(RowsOf<Model>(m_model), *this);
    }

    std::size_t drawnCount() const override
    {
        return static_cast<std::size_t>(std::max<LRESULT>(send(window(), CB_GETCOUNT), 0));
    }
    void resetRows(const std::vector<std::string>& rows) override
    {
        send(window(), CB_RESETCONTENT);
        appendTexts(window(), CB_ADDSTRING, rows, 0, rows.size());
    }
    void appendRows(const std::vector<std::string>& rows, std::size_t first) override
    {
        appendTexts(window(), CB_ADDSTRING, rows, first, rows.size());
    }
    void removeRows(std::size_t first, std::size_t count) override
    {
        for (std::size_t i = first + count; i-- > first;) send(window(), CB_DELETESTRING, i);
    }
    void drawSelection(std::size_t, std::size_t, const std::vector<Run>&, bool) override {}
    void drawCurrent(int row, bool) override
    {
        if (static_cast<int>(send(window(), CB_GETCURSEL)) != row) send(window(), CB_SETCURSEL, row);
    }

    Model& m_model;
    ListFollower m_rows;
    int m_fieldHeight = -1;
    bool m_chosen = false; // the dropped list was closed with a choice
};

using ComboBoxAdapter = DropDownAdapter<ComboBox>;
using DriveListAdapter = DropDownAdapter<DriveListBox>;

// The list box of a list box control or a file list: its rows, the model's selection and caret,
// and the keys and clicks that change them. The model owns the selection; the window only
// draws it (its own clicks and keys never reach it).
template <class Model> class ListAdapter : public ControlAdapter, private ListView {
public:
    ListAdapter(Model& model, AdapterHost& host) : ControlAdapter(model, host, Presence::Focusable), m_model(model) {}

protected:
    Model& model() const { return m_model; }
    virtual MultiSelect multiSelect() const = 0;

private:
    HWND create(HWND parent) override
    {
        m_rows.forget();
        // Drawn as an extended-selection list whatever the mode: what is selected is the model's.
        return ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTBOXW, L"",
                                 WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | WS_VSCROLL | LBS_EXTENDEDSEL | LBS_NOTIFY |
                                     LBS_NOINTEGRALHEIGHT,
                                 0, 0, 0, 0, parent, nullptr, instance(), nullptr);
    }

    void syncKind() override;
    void follow(const ListChange& change) override;
    int shownRows() const override
    {
        const auto height = static_cast<int>(std::max<LRESULT>(send(window(), LB_GETITEMHEIGHT, 0), 1));
        RECT client;
        ::GetClientRect(window(), &client);
        return static_cast<int>(client.bottom / height);
    }
    bool message(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void redrawAfterAction() override {}

    std::size_t drawnCount() const override
    {
        return static_cast<std::size_t>(std::max<LRESULT>(send(window(), LB_GETCOUNT), 0));
    }
    std::optional<std::size_t> rowAt(POINT p) const;
    void select(std::size_t first, std::size_t last, bool on);
    void resetRows(const std::vector<std::string>& rows) override;
    void appendRows(const std::vector<std::string>& rows, std::size_t first) override
    {
        appendTexts(window(), LB_ADDSTRING, rows, first, rows.size());
    }
    void removeRows(std::size_t first, std::size_t count) override
    {
        for (std::size_t i = first + count; i-- > first;) send(window(), LB_DELETESTRING, i);
    }
    void drawSelection(std::size_t first, std::size_t end, const std::vector<Run>& selected, bool whole) override;
    void drawCurrent(int row, bool moved) override;

    Model& m_model;
    // Each removal moves every row after it: many are drawn afresh sooner than under Qt.
    ListFollower m_rows{ListFollower::Limits{32, 256}};
};

template <class Model> std::optional<std::size_t> ListAdapter<Model>::rowAt(POINT p) const
{
    // LB_ITEMFROMPOINT answers 16 bits: a long list is counted here.
    RECT client;
    ::GetClientRect(window(), &client);
    if (!::PtInRect(&client, p)) return std::nullopt;
    const auto height = static_cast<long>(send(window(), LB_GETITEMHEIGHT, 0));
    if (height <= 0) return std::nullopt;
    const auto top = static_cast<std::size_t>(std::max<LRESULT>(send(window(), LB_GETTOPINDEX), 0));
    const std::size_t i = top + static_cast<std::size_t>(p.y / height);
    if (i >= m_rows.rows().size() || i >= m_model.listCount()) return std::nullopt;
    return i;
}

template <class Model> void ListAdapter<Model>::select(std::size_t first, std::size_t last, bool on)
{
    HWND w = window();
    if (first == last)
        send(w, LB_SETSEL, on, static_cast<LPARAM>(first));
    else if (on)
        send(w, LB_SELITEMRANGEEX, first, static_cast<LPARAM>(last));
    else
        send(w, LB_SELITEMRANGEEX, last, static_cast<LPARAM>(first));
}

template <class Model>
void ListAdapter<Model>::drawSelection(std::size_t first, std::size_t end, const std::vector<Run>& selected, bool whole)
{
    HWND w = window();
    if (end == first + 1) {
        select(first, first, !selected.empty());
        return;
    }
    const bool bulk = end - first > 64;
    if (bulk) send(w, WM_SETREDRAW, FALSE);
    if (whole)
        send(w, LB_SETSEL, FALSE, -1);
    else
        select(first, end - 1, false);
    for (const auto& [a, b] : selected) select(a, b, true);
    if (bulk) {
        send(w, WM_SETREDRAW, TRUE);
        ::InvalidateRect(w, nullptr, TRUE);
    }
}

template <class Model> void ListAdapter<Model>::drawCurrent(int index, bool moved)
{
    HWND w = window();
    if (index < 0 || static_cast<std::size_t>(index) >= drawnCount()) return;
    // The caret scrolls into view only when it moved.
    const LRESULT top = send(w, LB_GETTOPINDEX);
    send(w, LB_SETCARETINDEX, static_cast<WPARAM>(index), FALSE);
    if (!moved && send(w, LB_GETTOPINDEX) != top) send(w, LB_SETTOPINDEX, static_cast<WPARAM>(top));
}

template <class Model> void ListAdapter<Model>::resetRows(const std::vector<std::string>& rows)
{
    HWND w = window();
    send(w, WM_SETREDRAW, FALSE);
    send(w, LB_RESETCONTENT);
    appendTexts(w, LB_ADDSTRING, rows, 0, rows.size());
    send(w, WM_SETREDRAW, TRUE);
    ::InvalidateRect(w, nullptr, TRUE);
}

template <class Model> void ListAdapter<Model>::follow(const ListChange& change)
{
    if (window()) m_rows.follow(change, RowsOf<Model>(m_model), *this);
}

template <class Model> void ListAdapter<Model>::syncKind() { m_rows.sync(RowsOf<Model>(m_model), *this); }

template <class Model> bool ListAdapter<Model>::message(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    result = 0;
    const POINT pos = pointOf(lParam);
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        ::SetFocus(window());
        if (msg == WM_LBUTTONDOWN)
            if (const auto row = rowAt(pos)) {
                const bool shift = (wParam & MK_SHIFT) != 0, ctrl = (wParam & MK_CONTROL) != 0;
                const std::size_t i = *row;
                act([&] { m_model.userSelect(i, shift, ctrl); });
            }
        return true;
    case WM_LBUTTONDBLCLK:
        if (rowAt(pos)) doubleClick();
        return true;
    case WM_MOUSEMOVE:
        // A drag selects nothing: what the model told the window is what it shows.
        return (wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) != 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        mouseUp(mouseButtonOf(msg), pos);
        return true;
    case WM_KEYDOWN:
        return true; // handed to the model before Windows saw it
    case WM_CHAR: {
        const auto typed = static_cast<char32_t>(wParam);
        const bool shift = keyHeld(VK_SHIFT), ctrl = keyHeld(VK_CONTROL);
        act([&] { typeToFind(m_model, typed, shift, ctrl); });
        return true;
    }
    default:
        return ControlAdapter::message(msg, wParam, lParam, result);
    }
}

class ListBoxAdapter final : public ListAdapter<ListBox> {
public:
    using ListAdapter::ListAdapter;

private:
    MultiSelect multiSelect() const override { return model().multiSelect(); }
};

// The file list always selects a range with Shift and one more file with Ctrl.
class FileListAdapter final : public ListAdapter<FileListBox> {
public:
    using ListAdapter::ListAdapter;

private:
    MultiSelect multiSelect() const override { return MultiSelect::Extended; }
};

// A drive, an open folder or a closed one, drawn `size` pixels square at (x, y).
void drawFolderGlyph(HDC dc, int x, int y, int size, int kind)
{
    const int u = std::max(size / 16, 1);
    HPEN pen = ::CreatePen(PS_SOLID, 1, kind == 0 ? RGB(64, 64, 64) : RGB(96, 72, 0));
    HBRUSH body = ::CreateSolidBrush(kind == 0   ? RGB(192, 192, 192)
                                     : kind == 1 ? RGB(255, 236, 150)
                                                 : RGB(240, 200, 80));
    HGDIOBJ oldPen = ::SelectObject(dc, pen);
    HGDIOBJ oldBrush = ::SelectObject(dc, body);
    if (kind == 0) {
        ::Rectangle(dc, x + u, y + 5 * u, x + 15 * u, y + 12 * u);
        const RECT led{x + 11 * u, y + 8 * u, x + 13 * u, y + 9 * u + 1};
        HBRUSH green = ::CreateSolidBrush(RGB(0, 160, 0));
        ::FillRect(dc, &led, green);
        ::DeleteObject(green);
    } else {
        const POINT tab[] = {
            {x + u, y + 4 * u}, {x + 2 * u, y + 2 * u}, {x + 6 * u, y + 2 * u}, {x + 7 * u, y + 4 * u}};
        ::Polygon(dc, tab, 4);
        ::Rectangle(dc, x + u, y + 4 * u, x + 15 * u, y + 14 * u);
    }
    ::SelectObject(dc, oldBrush);
    ::SelectObject(dc, oldPen);
    ::DeleteObject(body);
    ::DeleteObject(pen);
}

// The folder tree: the drive and the ancestors of the open folder, the folder itself, then its
// subfolders, each indented by its depth. A click only moves the highlight; a double click or
// Enter opens the row.
class DirListAdapter final : public ControlAdapter {
public:
    DirListAdapter(DirListBox& dir, AdapterHost& host) : ControlAdapter(dir, host, Presence::Focusable), m_dir(dir) {}

private:
    HWND create(HWND parent) override
    {
        m_rows.clear();
        m_names.clear();
        m_rowHeight = -1;
        return ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTBOXW, L"",
                                 WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY |
                                     LBS_NOINTEGRALHEIGHT | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS,
                                 0, 0, 0, 0, parent, nullptr, instance(), nullptr);
    }

    int glyphSize() const { return static_cast<int>(16 * host().pictureScale()); }

    void syncKind() override;
    bool drawItem(const DRAWITEMSTRUCT& item) override;

    int highlightedRow() const override { return static_cast<int>(send(window(), LB_GETCURSEL)); }

    bool message(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (msg == WM_LBUTTONDBLCLK) {
            const auto hit = static_cast<DWORD>(send(window(), LB_ITEMFROMPOINT, 0, lParam));
            if (HIWORD(hit) == 0) {
                const std::size_t row = LOWORD(hit);
                act([this, row] { m_dir.openRow(row); });
            }
            result = 0;
            return true;
        }
        return ControlAdapter::message(msg, wParam, lParam, result);
    }

    DirListBox& m_dir;
    std::vector<DirListBox::Row> m_rows; // as last drawn
    std::vector<std::wstring> m_names;   // what each row shows
    int m_rowHeight = -1;
};

void DirListAdapter::syncKind()
{
    HWND w = window();
    const int height = std::max(glyphSize(), host().px(240)) + 2;
    if (height != m_rowHeight) {
        m_rowHeight = height;
        send(w, LB_SETITEMHEIGHT, 0, height);
    }
    std::vector<DirListBox::Row> rows = m_dir.rows();
    if (rows == m_rows) return;
    m_rows = std::move(rows);
    m_names.clear();
    for (const DirListBox::Row& row : m_rows) m_names.push_back(widen(row.name));
    send(w, WM_SETREDRAW, FALSE);
    send(w, LB_RESETCONTENT);
    for (const std::wstring& name : m_names) send(w, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    send(w, WM_SETREDRAW, TRUE);
    ::InvalidateRect(w, nullptr, TRUE);
    send(w, LB_SETCURSEL, m_dir.openFolderRow());
}

bool DirListAdapter::drawItem(const DRAWITEMSTRUCT& item)
{
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    ::FillRect(dc, &r, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    if (item.itemID != static_cast<UINT>(-1) && item.itemID < m_names.size()) {
        const DirListBox::Row& row = m_rows[item.itemID];
        const int size = glyphSize();
        const int x = r.left + 2 + row.depth * host().px(240);
        drawFolderGlyph(dc, x, r.top + (r.bottom - r.top - size) / 2, size, static_cast<int>(row.kind));
        HGDIOBJ oldFont = ::SelectObject(dc, host().font(control().font()));
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, ::GetSysColor(!::IsWindowEnabled(window()) ? COLOR_GRAYTEXT
                                         : selected                   ? COLOR_HIGHLIGHTTEXT
                                                                      : COLOR_WINDOWTEXT));
        RECT text{x + size + 4, r.top, r.right, r.bottom};
        const std::wstring& name = m_names[item.itemID];
        ::DrawTextW(dc, name.c_str(), static_cast<int>(name.size()), &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        ::SelectObject(dc, oldFont);
    }
    if (item.itemState & ODS_FOCUS) ::DrawFocusRect(dc, &r);
    return true;
}

// ---- frames, pictures, lines ----

// A frame is a window of its own holding its controls, with a group box drawn under them.
class FrameAdapter final : public ControlAdapter {
public:
    FrameAdapter(Frame& frame, AdapterHost& host) : ControlAdapter(frame, host, Presence::Passive), m_frame(frame) {}

private:
    HWND create(HWND parent) override
    {
        HWND panel = createPanel(parent, false);
        m_group = ::CreateWindowExW(0, WC_BUTTONW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | BS_GROUPBOX, 0, 0, 0,
                                    0, panel, nullptr, instance(), nullptr);
        m_groupFont = nullptr;
        return panel;
    }

    void syncKind() override
    {
        RECT r;
        ::GetClientRect(window(), &r);
        ::SetWindowPos(m_group, HWND_BOTTOM, 0, 0, r.right, r.bottom, SWP_NOACTIVATE);
        if (HFONT font = host().font(m_frame.font()); font != m_groupFont) {
            m_groupFont = font;
            send(m_group, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        }
        const std::wstring caption = widen(m_frame.caption());
        if (windowText(m_group) != caption) ::SetWindowTextW(m_group, caption.c_str());
        if (!::IsWindowEnabled(m_group) != !m_frame.usable()) ::EnableWindow(m_group, m_frame.usable());
    }

    Frame& m_frame;
    HWND m_group = nullptr; // a child of the frame's window, destroyed with it
    HFONT m_groupFont = nullptr;
};

class PictureBoxAdapter final : public ControlAdapter {
public:
    PictureBoxAdapter(PictureBox& box, AdapterHost& host) : ControlAdapter(box, host, Presence::Passive), m_box(box) {}

private:
    HWND create(HWND parent) override
    {
        m_shown.clear();
        return createPanel(parent);
    }

    void syncKind() override
    {
        HWND w = window();
        if (setStyle(w, WS_EX_CLIENTEDGE, m_box.border() ? WS_EX_CLIENTEDGE : 0, GWL_EXSTYLE))
            ::SetWindowPos(w, nullptr, 0, 0, 0, 0,
                           SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        if (m_shown != m_box.picture()) {
            m_shown = m_box.picture();
            ::InvalidateRect(w, nullptr, TRUE);
        }
    }

    void paint(HDC dc, const RECT&) override
    {
        if (const Picture* p = host().picture(m_box.picture())) p->draw(dc, 0, 0, host().pictureScale());
    }

    PictureBox& m_box;
    std::string m_shown;
};

class ImageAdapter final : public ControlAdapter {
public:
    ImageAdapter(Image& image, AdapterHost& host) : ControlAdapter(image, host, Presence::Drawn), m_image(image) {}

private:
    HWND create(HWND parent) override
    {
        m_shown.clear();
        return createPanel(parent);
    }

    void syncKind() override
    {
        if (m_shown == m_image.picture()) return;
        m_shown = m_image.picture();
        ::InvalidateRect(window(), nullptr, TRUE);
    }

    void paint(HDC dc, const RECT&) override
    {
        if (const Picture* p = host().picture(m_image.picture())) p->draw(dc, 0, 0, host().pictureScale());
    }

    Image& m_image;
    std::string m_shown;
};

class LineAdapter final : public ControlAdapter {
public:
    LineAdapter(Line& line, AdapterHost& host) : ControlAdapter(line, host, Presence::Drawn) {}

private:
    HWND create(HWND parent) override { return createPanel(parent); }

    // A line no thicker than a pixel still draws one.
    RECT pixelRect() const override
    {
        RECT r = ControlAdapter::pixelRect();
        if (r.right - r.left >= r.bottom - r.top)
            r.bottom = std::max(r.bottom, r.top + 1);
        else
            r.right = std::max(r.right, r.left + 1);
        return r;
    }

    void paint(HDC dc, const RECT&) override
    {
        RECT r;
        ::GetClientRect(window(), &r);
        if (r.right >= r.bottom) {
            r.top = r.bottom / 2;
            r.bottom = r.top + 1;
        } else {
            r.left = r.right / 2;
            r.right = r.left + 1;
        }
        ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_BTNSHADOW));
    }
};

// A rectangle's outline. Its window is only that outline, so whatever lies inside shows.
class ShapeAdapter final : public ControlAdapter {
public:
    ShapeAdapter(Shape& shape, AdapterHost& host) : ControlAdapter(shape, host, Presence::Drawn) {}

private:
    HWND create(HWND parent) override
    {
        m_size = {-1, -1};
        return createPanel(parent);
    }

    void syncKind() override
    {
        const RECT r = pixelRect();
        const SIZE size{r.right - r.left, r.bottom - r.top};
        if (size.cx == m_size.cx && size.cy == m_size.cy) return;
        m_size = size;
        HRGN outline = ::CreateRectRgn(0, 0, size.cx, size.cy);
        if (size.cx > 2 && size.cy > 2) {
            HRGN inside = ::CreateRectRgn(1, 1, size.cx - 1, size.cy - 1);
            ::CombineRgn(outline, outline, inside, RGN_DIFF);
            ::DeleteObject(inside);
        }
        ::SetWindowRgn(window(), outline, TRUE); // the window owns the region now
    }

    void paint(HDC dc, const RECT&) override
    {
        RECT r;
        ::GetClientRect(window(), &r);
        ::FrameRect(dc, &r, ::GetSysColorBrush(COLOR_WINDOWTEXT));
    }

    SIZE m_size{-1, -1};
};

// ---- no window ----

// A timer of the form's window; its ticks come as WM_TIMER through the front-end.
class TimerAdapter final : public ControlAdapter {
public:
    TimerAdapter(Timer& timer, AdapterHost& host)
        : ControlAdapter(timer, host, Presence::None), m_timer(timer), m_id(host.newTimerId())
    {
        host.routeTimer(m_id, this);
    }

    ~TimerAdapter() override
    {
        if (m_on && m_formWindow) ::KillTimer(m_formWindow, m_id);
        host().routeTimer(m_id, nullptr);
    }

    void sync() override
    {
        HWND w = host().formWindow(form());
        if (!w) return;
        const bool on = m_timer.enabled() && m_timer.interval() > 0;
        // Enabling a timer or changing its interval starts its count afresh, as on Windows.
        if (!on) {
            if (m_on) ::KillTimer(w, m_id);
        } else if (!m_on || m_timer.interval() != m_interval) {
            ::SetTimer(w, m_id, static_cast<UINT>(m_timer.interval()), nullptr);
        }
        m_formWindow = w;
        m_on = on;
        m_interval = m_timer.interval();
    }

    void timer() override
    {
        // A handler still running (a message box of its own, a yield) is not entered again.
        if (!held() || m_ticking) return;
        m_ticking = true;
        const Alive alive(*this);
        Timer& t = m_timer;
        runHandler(form(), [&t] { t.tick(); });
        if (alive) m_ticking = false;
    }

private:
    HWND create(HWND) override { return nullptr; }

    Timer& m_timer;
    UINT_PTR m_id;
    HWND m_formWindow = nullptr;
    int m_interval = -1;
    bool m_on = false;
    bool m_ticking = false;
};

// Menus and their items have no window: the front-end builds a pop-up menu from them when the
// program asks for one.
class MenuAdapter final : public ControlAdapter {
public:
    MenuAdapter(Control& menuOrItem, AdapterHost& host) : ControlAdapter(menuOrItem, host, Presence::None) {}

private:
    HWND create(HWND) override { return nullptr; }
};

} // namespace

std::unique_ptr<ControlAdapter> makeAdapter(Control& c, AdapterHost& host)
{
    using Made = std::unique_ptr<ControlAdapter>;
    return visitKind(c,
                     Overloaded{
                         [&host](CommandButton& b) -> Made { return std::make_unique<CommandButtonAdapter>(b, host); },
                         [&host](Label& l) -> Made { return std::make_unique<LabelAdapter>(l, host); },
                         [&host](TextBox& t) -> Made { return std::make_unique<TextBoxAdapter>(t, host); },
                         [&host](CheckBox& b) -> Made { return std::make_unique<CheckBoxAdapter>(b, host); },
                         [&host](OptionButton& o) -> Made { return std::make_unique<OptionButtonAdapter>(o, host); },
                         [&host](ComboBox& b) -> Made { return std::make_unique<ComboBoxAdapter>(b, host); },
                         [&host](ListBox& l) -> Made { return std::make_unique<ListBoxAdapter>(l, host); },
                         [&host](Frame& f) -> Made { return std::make_unique<FrameAdapter>(f, host); },
                         [&host](PictureBox& p) -> Made { return std::make_unique<PictureBoxAdapter>(p, host); },
                         [&host](Image& i) -> Made { return std::make_unique<ImageAdapter>(i, host); },
                         [&host](Timer& t) -> Made { return std::make_unique<TimerAdapter>(t, host); },
                         [&host](DriveListBox& d) -> Made { return std::make_unique<DriveListAdapter>(d, host); },
                         [&host](DirListBox& d) -> Made { return std::make_unique<DirListAdapter>(d, host); },
                         [&host](FileListBox& f) -> Made { return std::make_unique<FileListAdapter>(f, host); },
                         [&host](Line& l) -> Made { return std::make_unique<LineAdapter>(l, host); },
                         [&host](Shape& s) -> Made { return std::make_unique<ShapeAdapter>(s, host); },
                         // Menus, their items (and a kind outside the enumeration) draw nothing.
                         [&host](Control& other) -> Made { return std::make_unique<MenuAdapter>(other, host); },
                     });
}

} // namespace velmora::win32

#include "platform/win32ui/Win32FrontEnd.h"

#include "platform/win32/Win32Text.h"
#include "platform/win32ui/Win32Controls.h"
#include "platform/win32ui/Win32Pictures.h"

#include <commctrl.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <tuple>
#include <unordered_map>

namespace velmora {

using win32::ControlAdapter;

namespace {

constexpr wchar_t FormClass[] = L"VelmoraForm";
constexpr DWORD FormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

HINSTANCE instance() { return ::GetModuleHandleW(nullptr); }

bool isContainer(const Control& c) { return c.kind() == ControlKind::Frame || c.kind() == ControlKind::PictureBox; }

bool inside(const Control& c, const Control& container)
{
    for (const Control* up = c.container(); up; up = up->container())
        if (up == &container) return true;
    return false;
}

// The access key a caption marks ("&Да" gives Д), upper-cased; 0 when it marks none.
wchar_t accessKeyOf(const std::string& caption)
{
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        std::wstring rest = win32::widen(std::string_view(caption).substr(i + 1, 4));
        if (rest.empty()) return 0;
        wchar_t c = rest[0];
        ::CharUpperBuffW(&c, 1);
        return c;
    }
    return 0;
}

const std::string* captionOf(const Control& c)
{
    switch (c.kind()) {
    case ControlKind::CommandButton:
    case ControlKind::Label:
    case ControlKind::CheckBox:
    case ControlKind::OptionButton:
    case ControlKind::Frame:
        return &static_cast<const CaptionControl&>(c).caption();
    default:
        return nullptr;
    }
}

// A font the system lacks is replaced by one of the same kind: a fixed-pitch one for a fixed
// font (a report's columns line up), a serif one for a serif font.
BYTE pitchAndFamily(const std::string& name)
{
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    auto has = [&lower](const char* part) { return lower.find(part) != std::string::npos; };
    if (has("courier") || has("fixedsys") || has("terminal") || has("console") || has("mono"))
        return FIXED_PITCH | FF_MODERN;
    if (has("times") || (has("serif") && !has("sans"))) return VARIABLE_PITCH | FF_ROMAN;
    return DEFAULT_PITCH | FF_SWISS;
}

LRESULT CALLBACK formProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

} // namespace

struct Win32FrontEnd::Impl final : win32::AdapterHost {
    struct FormView {
        std::uint64_t id = 0; // the form's serial
        Form* form = nullptr;
        HWND window = nullptr;
        HWND toolTips = nullptr; // made at the first tooltip
        std::unordered_map<const Control*, std::unique_ptr<ControlAdapter>> adapters;
        std::unordered_map<const Control*, bool> containerUsable; // as the children were last drawn
        std::vector<HWND> disabled;                               // the windows its modality disabled
        HWND lastFocus = nullptr;                                 // given back when the window is active again
        bool positioned = false;
        bool dialogStyle = false;
    };

    Impl() : pictures({win32::PictureStore::programHelpFolder()})
    {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&icc);
        HDC screen = ::GetDC(nullptr);
        dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
        if (screen) ::ReleaseDC(nullptr, screen);
        if (dpi < 24) dpi = 96;
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        if (!::GetClassInfoExW(instance(), FormClass, &wc)) {
            wc.cbSize = sizeof wc;
            wc.style = CS_DBLCLKS;
            wc.lpfnWndProc = formProc;
            wc.hInstance = instance();
            wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
            wc.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
            wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
            wc.lpszClassName = FormClass;
            ::RegisterClassExW(&wc);
        }
        win32::registerPanelClass();
    }

    ~Impl() override
    {
        for (auto& fv : forms) {
            fv->adapters.clear();
            ::DestroyWindow(fv->window);
        }
        forms.clear();
        for (HWND w : retired)
            if (::IsWindow(w)) ::DestroyWindow(w);
        for (auto& [key, font] : fonts) ::DeleteObject(font);
    }

    Toolkit* toolkit = nullptr;
    int dpi = 96;
    std::vector<std::unique_ptr<FormView>> forms;
    win32::PictureStore pictures;
    std::map<std::tuple<std::string, int, bool, bool>, HFONT> fonts;
    std::unordered_map<HWND, ControlAdapter*> windows;
    std::unordered_map<UINT_PTR, ControlAdapter*> timers;
    UINT_PTR nextTimer = 1;
    std::vector<HWND> retired;
    int messageDepth = 0;

    // ---- lookups ----

    FormView* formById(std::uint64_t id) const
    {
        for (const auto& f : forms)
            if (f->id == id) return f.get();
        return nullptr;
    }

    FormView* formOf(const Form* form) const
    {
        for (const auto& f : forms)
            if (f->form == form) return f.get();
        return nullptr;
    }

    FormView* formByWindow(HWND window) const
    {
        for (const auto& f : forms)
            if (f->window == window) return f.get();
        return nullptr;
    }

    static ControlAdapter* adapterIn(const FormView& fv, const Control* c)
    {
        auto it = fv.adapters.find(c);
        return it == fv.adapters.end() ? nullptr : it->second.get();
    }

    // The control when its form is still loaded with its adapter and still holds it: a menu's
    // choice may come after either went away.
    Control* live(std::uint64_t formId, const Control* c) const
    {
        const FormView* fv = formById(formId);
        if (!fv || !adapterIn(*fv, c)) return nullptr;
        const auto& cs = fv->form->controls();
        return std::find(cs.begin(), cs.end(), c) == cs.end() ? nullptr : const_cast<Control*>(c);
    }

    // The adapter of `window` or of the nearest window around it (a combo box's edit).
    ControlAdapter* adapterAround(HWND window) const
    {
        for (HWND w = window; w; w = ::GetParent(w)) {
            if (ControlAdapter* a = routed(w)) return a;
            if (!(::GetWindowLongPtrW(w, GWL_STYLE) & WS_CHILD)) break;
        }
        return nullptr;
    }

    // ---- what the adapters need ----

    int px(int twips) const override { return ::MulDiv(twips, dpi, 1440); }
    int twips(int pixels) const override { return ::MulDiv(pixels, 1440, dpi); }
    double pictureScale() const override { return dpi / 96.0; }

    HFONT font(const Font& f) override
    {
        const auto key = std::make_tuple(f.name, f.size, f.bold, f.underline);
        if (auto it = fonts.find(key); it != fonts.end()) return it->second;
        const int points = f.size > 0 ? f.size : 8;
        HFONT h =
            ::CreateFontW(-::MulDiv(points, dpi, 72), 0, 0, 0, f.bold ? FW_BOLD : FW_NORMAL, FALSE,
                          f.underline ? TRUE : FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                          DEFAULT_QUALITY, pitchAndFamily(f.name), win32::widen(f.name).c_str());
        if (!h) h = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
        fonts[key] = h;
        return h;
    }

    const win32::Picture* picture(const std::string& name) override { return pictures.find(name); }

    ControlAdapter* adapterOf(const Control& control) const override
    {
        const FormView* fv = formOf(&control.form());
        return fv ? adapterIn(*fv, &control) : nullptr;
    }

    ControlAdapter* routed(HWND window) const override
    {
        auto it = windows.find(window);
        return it == windows.end() ? nullptr : it->second;
    }

    void route(HWND window, ControlAdapter* adapter) override
    {
        if (adapter)
            windows[window] = adapter;
        else
            windows.erase(window);
    }

    void routeTimer(UINT_PTR id, ControlAdapter* adapter) override
    {
        if (adapter)
            timers[id] = adapter;
        else
            timers.erase(id);
    }

    UINT_PTR newTimerId() override { return nextTimer++; }

    void setToolTip(const Form& form, HWND window, const std::string& text) override;
    void relayToolTip(const Form& form, HWND window, UINT msg, WPARAM wParam, LPARAM lParam) override;

    void retire(HWND window) override
    {
        ::ShowWindow(window, SW_HIDE);
        retired.push_back(window);
    }

    HWND formWindow(const Form& form) const override
    {
        const FormView* fv = formOf(&form);
        return fv ? fv->window : nullptr;
    }

    void enterMessage() override { ++messageDepth; }
    void leaveMessage() override { --messageDepth; }

    // Destroys the retired windows once nothing of ours is on the stack.
    void collectRetired()
    {
        if (retired.empty() || messageDepth > 0 || (toolkit && toolkit->handlerDepth() > 0)) return;
        const std::vector<HWND> gone = std::move(retired);
        retired.clear();
        for (HWND w : gone)
            if (::IsWindow(w)) ::DestroyWindow(w);
    }

    // ---- controls ----

    HWND parentFor(const FormView& fv, const Control& c) const;
    ControlAdapter& addControl(FormView& fv, Control* c);
    void restack(const FormView& fv, const Control* container) const;
    void syncAll(FormView& fv);
    void syncForm(FormView& fv);
    void syncInside(FormView& fv, const Control& container);

    // ---- windows ----

    LRESULT formMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
    void closeBox(std::uint64_t formId);
    void setOwner(FormView& fv, Form* owner);
    void placeFirstTime(FormView& fv, Form* owner);
    void useDialogStyle(FormView& fv);
    void releaseModality(FormView& fv);
    void dropForm(std::unique_ptr<FormView> fv);
    void restoreFocus(FormView& fv);
    void focus(ControlAdapter& a);
    void moveFocus(FormView& fv, const Control* from, bool back);
    static bool onForm(const FormView& fv, HWND window);

    static void bringToFront(HWND w)
    {
        ::SetForegroundWindow(w);
        ::BringWindowToTop(w);
    }

    // ---- the message loop ----

    // Handles one message: waits for it, or takes it only when there is one. False when there
    // was none, or WM_QUIT came (it is posted again for the loops outside).
    bool pumpOne(bool wait);
    // Keys before Windows has them; true when taken.
    bool preTranslate(const MSG& m);
    bool keyMessage(const MSG& m);
    bool accessKey(const MSG& m);
};

namespace {

LRESULT CALLBACK formProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* d = reinterpret_cast<Win32FrontEnd::Impl*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!d) return ::DefWindowProcW(window, msg, wParam, lParam);
    d->enterMessage();
    const LRESULT result = d->formMessage(window, msg, wParam, lParam);
    d->leaveMessage();
    return result;
}

} // namespace

LRESULT Win32FrontEnd::Impl::formMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (win32::childNotification(*this, msg, wParam, lParam, result)) return result;
    FormView* fv = formByWindow(window);
    if (!fv) return msg == WM_CLOSE ? 0 : ::DefWindowProcW(window, msg, wParam, lParam);
    switch (msg) {
    case WM_TIMER:
        if (auto it = timers.find(wParam); it != timers.end()) it->second->timer();
        return 0;
    case WM_CLOSE:
        closeBox(fv->id);
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focused = ::GetFocus();
            if (focused && ::IsChild(window, focused)) fv->lastFocus = focused;
        } else if (!HIWORD(wParam)) {
            restoreFocus(*fv);
        }
        return 0;
    case WM_SETFOCUS:
        if (fv->lastFocus && ::IsWindow(fv->lastFocus) && ::IsWindowVisible(fv->lastFocus) &&
            ::IsWindowEnabled(fv->lastFocus))
            ::SetFocus(fv->lastFocus);
        return 0;
    default:
        return ::DefWindowProcW(window, msg, wParam, lParam);
    }
}

// ---- controls ----

HWND Win32FrontEnd::Impl::parentFor(const FormView& fv, const Control& c) const
{
    if (Control* container = c.container())
        if (const ControlAdapter* a = adapterIn(fv, container); a && a->window()) return a->window();
    return fv.window;
}

ControlAdapter& Win32FrontEnd::Impl::addControl(FormView& fv, Control* c)
{
    // A container may come after its children in the form's order: it is made first.
    if (Control* container = c->container(); container && !adapterIn(fv, container)) {
        const auto& cs = fv.form->controls();
        if (std::find(cs.begin(), cs.end(), container) != cs.end()) addControl(fv, container);
    }
    std::unique_ptr<ControlAdapter>& slot = fv.adapters[c];
    if (!slot) {
        slot = win32::makeAdapter(*c, *this);
        slot->build(parentFor(fv, *c));
    }
    return *slot;
}

// The form's order is back to front, and the drawn controls (labels, pictures, lines) lie under
// every real one of their container.
void Win32FrontEnd::Impl::restack(const FormView& fv, const Control* container) const
{
    for (int pass = 0; pass < 2; ++pass)
        for (const Control* c : fv.form->controls()) {
            if (c->container() != container) continue;
            const ControlAdapter* a = adapterIn(fv, c);
            if (!a || !a->window() || (a->presence() == ControlAdapter::Presence::Drawn) != (pass == 0)) continue;
            ::SetWindowPos(a->window(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
}

void Win32FrontEnd::Impl::syncForm(FormView& fv)
{
    const std::wstring caption = win32::widen(fv.form->caption());
    std::wstring shown(static_cast<std::size_t>(::GetWindowTextLengthW(fv.window)) + 1, L'\0');
    shown.resize(static_cast<std::size_t>(::GetWindowTextW(fv.window, shown.data(), static_cast<int>(shown.size()))));
    if (shown != caption) ::SetWindowTextW(fv.window, caption.c_str());

    RECT r{0, 0, px(fv.form->clientWidth()), px(fv.form->clientHeight())};
    ::AdjustWindowRectEx(&r, static_cast<DWORD>(::GetWindowLongPtrW(fv.window, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongPtrW(fv.window, GWL_EXSTYLE)));
    RECT now;
    ::GetWindowRect(fv.window, &now);
    if (now.right - now.left != r.right - r.left || now.bottom - now.top != r.bottom - r.top)
        ::SetWindowPos(fv.window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32FrontEnd::Impl::syncAll(FormView& fv)
{
    const auto& controls = fv.form->controls();
    // Controls that went away, then any added after the form was built.
    std::vector<const Control*> gone;
    for (const auto& [c, a] : fv.adapters)
        if (std::find(controls.begin(), controls.end(), c) == controls.end()) gone.push_back(c);
    for (const Control* c : gone) fv.adapters.erase(c);
    bool added = false;
    for (Control* c : controls)
        if (!adapterIn(fv, c)) {
            addControl(fv, c);
            added = true;
        }
    if (added) {
        restack(fv, nullptr);
        for (Control* c : controls)
            if (isContainer(*c)) restack(fv, c);
    }
    syncForm(fv);
    for (Control* c : controls)
        if (ControlAdapter* a = adapterIn(fv, c)) a->sync();
    for (Control* c : controls)
        if (isContainer(*c)) fv.containerUsable[c] = c->usable();
}

// A container's usability reaches every control inside it.
void Win32FrontEnd::Impl::syncInside(FormView& fv, const Control& container)
{
    const bool usable = container.usable();
    auto it = fv.containerUsable.find(&container);
    if (it != fv.containerUsable.end() && it->second == usable) return;
    fv.containerUsable[&container] = usable;
    for (Control* c : fv.form->controls())
        if (inside(*c, container))
            if (ControlAdapter* a = adapterIn(fv, c)) a->sync();
}

// ---- windows ----

void Win32FrontEnd::Impl::setToolTip(const Form& form, HWND window, const std::string& text)
{
    FormView* fv = formOf(&form);
    if (!fv) return;
    if (!fv->toolTips) {
        if (text.empty()) return;
        fv->toolTips = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                         WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                                         CW_USEDEFAULT, CW_USEDEFAULT, fv->window, nullptr, instance(), nullptr);
        if (!fv->toolTips) return;
    }
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND; // its mouse messages are relayed: see relayToolTip
    tool.hwnd = fv->window;
    tool.uId = reinterpret_cast<UINT_PTR>(window);
    ::SendMessageW(fv->toolTips, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    if (text.empty()) return;
    std::wstring tip = win32::widen(text);
    tool.lpszText = tip.data();
    ::SendMessageW(fv->toolTips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void Win32FrontEnd::Impl::relayToolTip(const Form& form, HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    const FormView* fv = formOf(&form);
    if (!fv || !fv->toolTips) return;
    MSG m{window, msg, wParam, lParam, static_cast<DWORD>(::GetMessageTime()), {}};
    ::GetCursorPos(&m.pt);
    ::SendMessageW(fv->toolTips, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&m));
}

void Win32FrontEnd::Impl::closeBox(std::uint64_t formId)
{
    FormView* fv = formById(formId);
    if (!fv) return;
    Form* form = fv->form;
    runHandler(*form, [form] { form->close(); });
}

void Win32FrontEnd::Impl::setOwner(FormView& fv, Form* owner)
{
    FormView* ov = owner ? formOf(owner) : nullptr;
    if (!ov || ov == &fv) return;
    // Owned windows stay above their owner; a window never ends up owning itself.
    for (HWND w = ov->window; w; w = ::GetWindow(w, GW_OWNER))
        if (w == fv.window) return;
    if (::GetWindow(fv.window, GW_OWNER) != ov->window)
        ::SetWindowLongPtrW(fv.window, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(ov->window));
}

void Win32FrontEnd::Impl::placeFirstTime(FormView& fv, Form* owner)
{
    if (fv.positioned) return;
    fv.positioned = true;
    RECT screen{0, 0, 800, 600};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &screen, 0);
    RECT area = screen;
    if (FormView* ov = owner ? formOf(owner) : nullptr; ov && ::IsWindowVisible(ov->window))
        ::GetWindowRect(ov->window, &area);
    RECT r;
    ::GetWindowRect(fv.window, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    int x = (area.left + area.right - w) / 2, y = (area.top + area.bottom - h) / 2;
    x = std::max(std::min(x, static_cast<int>(screen.right) - w), static_cast<int>(screen.left));
    y = std::max(std::min(y, static_cast<int>(screen.bottom) - h), static_cast<int>(screen.top));
    ::SetWindowPos(fv.window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// A form shown modally becomes a dialog: no minimize box, a dialog's frame.
void Win32FrontEnd::Impl::useDialogStyle(FormView& fv)
{
    if (fv.dialogStyle) return;
    fv.dialogStyle = true;
    HWND w = fv.window;
    ::SetWindowLongPtrW(w, GWL_STYLE, ::GetWindowLongPtrW(w, GWL_STYLE) & ~static_cast<LONG_PTR>(WS_MINIMIZEBOX));
    ::SetWindowLongPtrW(w, GWL_EXSTYLE, ::GetWindowLongPtrW(w, GWL_EXSTYLE) | WS_EX_DLGMODALFRAME);
    ::SetWindowPos(w, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    syncForm(fv);
}

void Win32FrontEnd::Impl::releaseModality(FormView& fv)
{
    for (HWND w : fv.disabled)
        if (::IsWindow(w)) ::EnableWindow(w, TRUE);
    fv.disabled.clear();
}

void Win32FrontEnd::Impl::dropForm(std::unique_ptr<FormView> fv)
{
    // The windows it disabled come back first, so that its owner is the one activated next.
    releaseModality(*fv);
    HWND w = fv->window;
    // Its owned forms stay: an owner's unload must not take their windows along.
    for (const auto& other : forms)
        if (::GetWindow(other->window, GW_OWNER) == w) ::SetWindowLongPtrW(other->window, GWLP_HWNDPARENT, 0);
    // From here on no message, key or tick of its controls reaches the model.
    fv->adapters.clear();
    const bool wasActive = ::GetActiveWindow() == w;
    HWND owner = ::GetWindow(w, GW_OWNER);
    retire(w);
    if (wasActive && owner && ::IsWindowVisible(owner) && ::IsWindowEnabled(owner)) bringToFront(owner);
}

void Win32FrontEnd::Impl::focus(ControlAdapter& a)
{
    HWND w = a.window();
    if (!w || !::IsWindowVisible(w) || !::IsWindowEnabled(w)) return;
    // A text box keeps its caret as it was, as a form's text box does, rather than having its text
    // selected as a dialog's would.
    ::SetFocus(w);
}

void Win32FrontEnd::Impl::restoreFocus(FormView& fv)
{
    HWND last = fv.lastFocus;
    if (last && ::IsWindow(last) && ::IsChild(fv.window, last) && ::IsWindowVisible(last) && ::IsWindowEnabled(last)) {
        ::SetFocus(last);
        return;
    }
    moveFocus(fv, nullptr, false);
    if (!::GetFocus() || !::IsChild(fv.window, ::GetFocus())) ::SetFocus(fv.window);
}

// Whether any of `window` lies in the form's client area: a panel waiting outside it (the main
// window's command panel) holds controls no one can see.
bool Win32FrontEnd::Impl::onForm(const FormView& fv, HWND window)
{
    RECT r, client, common;
    ::GetWindowRect(window, &r);
    ::GetClientRect(fv.window, &client);
    ::MapWindowPoints(fv.window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    return ::IntersectRect(&common, &r, &client) != FALSE;
}

// Tab and Shift+Tab: the next tab stop, in the form's order.
void Win32FrontEnd::Impl::moveFocus(FormView& fv, const Control* from, bool back)
{
    auto reachable = [this, &fv](const Control& c) {
        const ControlAdapter* a = adapterIn(fv, &c);
        return a && a->window() && ::IsWindowVisible(a->window()) && ::IsWindowEnabled(a->window()) &&
               onForm(fv, a->window());
    };
    if (Control* next = nextTabStop(*fv.form, from, back, reachable))
        if (ControlAdapter* a = adapterIn(fv, next)) focus(*a);
}

// ---- the message loop ----

bool Win32FrontEnd::Impl::pumpOne(bool wait)
{
    collectRetired();
    MSG m;
    if (wait) {
        const BOOL got = ::GetMessageW(&m, nullptr, 0, 0);
        if (got == -1) return false;
        if (got == 0) {
            ::PostQuitMessage(static_cast<int>(m.wParam));
            return false;
        }
    } else {
        if (!::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) return false;
        if (m.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(m.wParam));
            return false;
        }
    }
    if (!preTranslate(m)) {
        ::TranslateMessage(&m);
        ::DispatchMessageW(&m);
    }
    return true;
}

bool Win32FrontEnd::Impl::preTranslate(const MSG& m)
{
    switch (m.message) {
    case WM_KEYDOWN:
        return keyMessage(m);
    case WM_SYSCHAR:
        return accessKey(m);
    default:
        return false;
    }
}

bool Win32FrontEnd::Impl::keyMessage(const MSG& m)
{
    const int vk = static_cast<int>(m.wParam);
    const bool shift = ::GetKeyState(VK_SHIFT) < 0, ctrl = ::GetKeyState(VK_CONTROL) < 0;
    ControlAdapter* a = adapterAround(m.hwnd);
    FormView* fv = a ? formOf(&a->control().form()) : formByWindow(::GetAncestor(m.hwnd, GA_ROOT));
    if (!fv) return false;
    const std::uint64_t id = fv->id;
    enterMessage();
    bool taken = false;
    if (a) {
        const KeyResult result = a->keyDown(vk, shift, ctrl);
        taken = result == KeyResult::Taken;
        // Tab leaves the adapter there.
        if (result == KeyResult::NextStop && !ctrl) {
            if (FormView* still = formById(id)) moveFocus(*still, &a->control(), shift);
            taken = true;
        }
    } else if (vk == VK_RETURN || vk == VK_ESCAPE) {
        Form* form = fv->form;
        runHandler(*form, [&] { taken = dialogKey(*form, vk); });
    } else if (vk == VK_TAB && !ctrl) {
        moveFocus(*fv, nullptr, shift);
        taken = true;
    }
    leaveMessage();
    return taken;
}

// Alt and a letter: the control whose caption marks that access key.
bool Win32FrontEnd::Impl::accessKey(const MSG& m)
{
    wchar_t want = static_cast<wchar_t>(m.wParam);
    ::CharUpperBuffW(&want, 1);
    FormView* fv = formByWindow(::GetAncestor(m.hwnd, GA_ROOT));
    if (!fv) return false;
    const auto& controls = fv->form->controls();
    // The control an access-key control stands for: a label the control after it, a frame the
    // first inside it, any other itself.
    auto target = [&](std::size_t k) -> ControlAdapter* {
        Control* c = controls[k];
        if (c->kind() != ControlKind::Label && c->kind() != ControlKind::Frame) return adapterIn(*fv, c);
        const bool frame = c->kind() == ControlKind::Frame;
        for (std::size_t n = frame ? 0 : k + 1; n < controls.size(); ++n) {
            ControlAdapter* next = adapterIn(*fv, controls[n]);
            if (next && isTabStop(*controls[n]) && (!frame || inside(*controls[n], *c))) return next;
        }
        return nullptr;
    };
    std::vector<ControlAdapter*> matches;
    for (std::size_t k = 0; k < controls.size(); ++k) {
        const Control* c = controls[k];
        const std::string* caption = captionOf(*c);
        if (!caption || !c->usable() || !c->shown() || accessKeyOf(*caption) != want) continue;
        if (ControlAdapter* a = target(k)) matches.push_back(a);
    }
    if (matches.empty()) return false;
    enterMessage();
    if (matches.size() > 1) {
        // A key that several captions mark only moves the focus from one to the next, as in a
        // dialog: pressing it never picks one of them unseen.
        const ControlAdapter* now = adapterAround(::GetFocus());
        const auto at = std::find(matches.begin(), matches.end(), now);
        focus(
            *matches[at == matches.end() ? 0 : (static_cast<std::size_t>(at - matches.begin()) + 1) % matches.size()]);
    } else {
        ControlAdapter& a = *matches.front();
        Control* c = &a.control();
        switch (c->kind()) {
        case ControlKind::CommandButton:
            a.act([c] { c->click(); });
            break;
        case ControlKind::CheckBox:
        case ControlKind::OptionButton:
            focus(a);
            a.act([c] { c->click(); });
            break;
        default:
            focus(a);
            break;
        }
    }
    leaveMessage();
    return true;
}

// ---- Win32FrontEnd ----

Win32FrontEnd::Win32FrontEnd() : d(std::make_unique<Impl>()) {}

Win32FrontEnd::~Win32FrontEnd() = default;

void Win32FrontEnd::attach(Toolkit& toolkit) { d->toolkit = &toolkit; }

int Win32FrontEnd::run()
{
    while (!d->forms.empty() && d->pumpOne(true)) {
    }
    return 0;
}

void Win32FrontEnd::setPictureFolders(std::vector<std::string> folders) { d->pictures.setFolders(std::move(folders)); }

HWND Win32FrontEnd::window(const Form& form) const { return d->formWindow(form); }

HWND Win32FrontEnd::window(const Control& control) const
{
    const ControlAdapter* a = d->adapterOf(control);
    return a ? a->window() : nullptr;
}

void Win32FrontEnd::formLoaded(Form& form)
{
    if (d->formOf(&form)) return;
    auto fv = std::make_unique<Impl::FormView>();
    fv->id = form.serial();
    fv->form = &form;
    fv->window = ::CreateWindowExW(0, FormClass, L"", FormStyle, CW_USEDEFAULT, CW_USEDEFAULT, 100, 100, nullptr,
                                   nullptr, instance(), d.get());
    if (!fv->window) return;
    Impl::FormView& ref = *fv;
    d->forms.push_back(std::move(fv));
    for (Control* c : form.controls()) d->addControl(ref, c);
    d->restack(ref, nullptr);
    for (Control* c : form.controls())
        if (isContainer(*c)) d->restack(ref, c);
    d->syncAll(ref);
}

void Win32FrontEnd::formUnloaded(Form& form)
{
    auto it = std::find_if(d->forms.begin(), d->forms.end(), [&form](const auto& fv) { return fv->form == &form; });
    if (it == d->forms.end()) return;
    std::unique_ptr<Impl::FormView> fv = std::move(*it);
    d->forms.erase(it);
    d->dropForm(std::move(fv));
}

void Win32FrontEnd::showForm(Form& form)
{
    Impl::FormView* fv = d->formOf(&form);
    if (!fv) return;
    d->syncAll(*fv); // default buttons and list modes are set without notice
    d->setOwner(*fv, form.owner());
    d->placeFirstTime(*fv, form.owner());
    ::ShowWindow(fv->window, SW_SHOW);
    Impl::bringToFront(fv->window);
}

void Win32FrontEnd::hideForm(Form& form)
{
    Impl::FormView* fv = d->formOf(&form);
    if (!fv) return;
    // A modal form that hides itself hands control back to whoever showed it: its owner
    // comes back first, so that it is the window activated next.
    d->releaseModality(*fv);
    ::ShowWindow(fv->window, SW_HIDE);
}

void Win32FrontEnd::runModal(Form& form, Form* owner)
{
    Impl::FormView* fv = d->formOf(&form);
    if (!fv) return;
    const std::uint64_t id = fv->id;
    d->useDialogStyle(*fv);
    d->syncAll(*fv);
    d->setOwner(*fv, owner);
    d->placeFirstTime(*fv, owner);
    // Every other window of the program waits for this one.
    for (const auto& other : d->forms)
        if (other.get() != fv && ::IsWindowEnabled(other->window)) {
            ::EnableWindow(other->window, FALSE);
            fv->disabled.push_back(other->window);
        }
    ::ShowWindow(fv->window, SW_SHOW);
    Impl::bringToFront(fv->window);
    // The form object may be gone once its view is: only the view is asked.
    for (;;) {
        Impl::FormView* still = d->formById(id);
        if (!still || !still->form->visible()) break;
        if (!d->pumpOne(true)) break;
    }
    if (Impl::FormView* still = d->formById(id)) d->releaseModality(*still);
}

MsgResult Win32FrontEnd::messageBox(const MessageBoxSpec& spec)
{
    if (messageBoxHook) return messageBoxHook(spec);

    HWND owner = nullptr;
    if (d->toolkit)
        if (Form* active = d->toolkit->activeForm())
            if (Impl::FormView* fv = d->formOf(active); fv && ::IsWindowVisible(fv->window)) owner = fv->window;
    UINT flags = MB_SETFOREGROUND | (owner ? MB_APPLMODAL : MB_TASKMODAL);
    switch (spec.buttons) {
    case MsgButtons::OK:
        flags |= MB_OK;
        break;
    case MsgButtons::OKCancel:
        flags |= MB_OKCANCEL;
        break;
    case MsgButtons::YesNo:
        flags |= MB_YESNO;
        break;
    case MsgButtons::RetryCancel:
        flags |= MB_RETRYCANCEL;
        break;
    }
    switch (spec.icon) {
    case MsgIcon::None:
        break;
    case MsgIcon::Information:
        flags |= MB_ICONINFORMATION;
        break;
    case MsgIcon::Question:
        flags |= MB_ICONQUESTION;
        break;
    case MsgIcon::Exclamation:
        flags |= MB_ICONEXCLAMATION;
        break;
    case MsgIcon::Critical:
        flags |= MB_ICONERROR;
        break;
    }
    // The box waits for an answer over every window of the program, as a modal form does.
    std::vector<HWND> disabled;
    for (const auto& fv : d->forms)
        if (fv->window != owner && ::IsWindowEnabled(fv->window)) {
            ::EnableWindow(fv->window, FALSE);
            disabled.push_back(fv->window);
        }
    const std::wstring text = win32::widen(spec.text), title = win32::widen(spec.title);
    const int pressed = ::MessageBoxW(owner, text.c_str(), title.c_str(), flags);
    for (HWND w : disabled)
        if (::IsWindow(w)) ::EnableWindow(w, TRUE);
    switch (pressed) {
    case IDOK:
        return MsgResult::OK;
    case IDCANCEL:
        return spec.buttons == MsgButtons::OK ? MsgResult::OK : MsgResult::Cancel;
    case IDYES:
        return MsgResult::Yes;
    case IDNO:
        return MsgResult::No;
    case IDRETRY:
        return MsgResult::Retry;
    default:
        return safeAnswer(spec.buttons);
    }
}

void Win32FrontEnd::yield()
{
    // Bounded, so that a window that keeps asking to be painted cannot hold the program here.
    for (int n = 0; n < 10000 && d->pumpOne(false); ++n) {
    }
}

void Win32FrontEnd::popupMenu(Menu& menu, int x, int y, MenuItem* defaultItem)
{
    Impl::FormView* fv = d->formOf(&menu.form());
    if (!fv) return;
    const std::uint64_t id = fv->id;
    HWND owner = fv->window;
    HMENU popup = ::CreatePopupMenu();
    if (!popup) return;
    std::vector<MenuItem*> items;
    for (MenuItem* item : menu.items()) {
        if (!item->visible()) continue;
        if (item->isSeparator()) {
            ::AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        items.push_back(item);
        const UINT flags = MF_STRING | (item->enabled() ? MF_ENABLED : MF_GRAYED) | (item->checked() ? MF_CHECKED : 0);
        ::AppendMenuW(popup, flags, items.size(), win32::widen(item->caption()).c_str());
        if (item == defaultItem) ::SetMenuDefaultItem(popup, static_cast<UINT>(items.size()), FALSE);
    }
    POINT at{d->px(x), d->px(y)};
    ::ClientToScreen(owner, &at);
    // The menu closes when the user clicks elsewhere only while its window is in front.
    ::SetForegroundWindow(owner);
    const auto chosen = static_cast<std::size_t>(
        ::TrackPopupMenuEx(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_NONOTIFY, at.x,
                           at.y, owner, nullptr));
    ::PostMessageW(owner, WM_NULL, 0, 0);
    ::DestroyMenu(popup);
    if (chosen == 0 || chosen > items.size()) return;
    MenuItem* item = items[chosen - 1];
    if (d->live(id, item)) runHandler(item->form(), [item] { item->click(); });
}

void Win32FrontEnd::setFocus(Control& control)
{
    Impl::FormView* fv = d->formOf(&control.form());
    ControlAdapter* a = fv ? Impl::adapterIn(*fv, &control) : nullptr;
    if (!a || !a->window()) return;
    // Kept for when the window is active again, if it is not now.
    fv->lastFocus = a->window();
    if (::IsWindowVisible(fv->window)) d->focus(*a);
}

void Win32FrontEnd::activateForm(Form& form)
{
    if (Impl::FormView* fv = d->formOf(&form); fv && ::IsWindowVisible(fv->window)) Impl::bringToFront(fv->window);
}

void Win32FrontEnd::controlChanged(Control& control)
{
    Impl::FormView* fv = d->formOf(&control.form());
    if (!fv) return;
    ControlAdapter* a = Impl::adapterIn(*fv, &control);
    if (!a) {
        a = &d->addControl(*fv, &control);
        d->restack(*fv, control.container());
    }
    a->sync();
    if (isContainer(control)) d->syncInside(*fv, control);
}

void Win32FrontEnd::listChanged(Control& control, const ListChange& change)
{
    Impl::FormView* fv = d->formOf(&control.form());
    if (!fv) return;
    if (ControlAdapter* a = Impl::adapterIn(*fv, &control)) {
        a->follow(change);
        return;
    }
    controlChanged(control);
}

void Win32FrontEnd::formChanged(Form& form)
{
    if (Impl::FormView* fv = d->formOf(&form)) d->syncForm(*fv);
}

void Win32FrontEnd::endProgram()
{
    std::fflush(stdout);
    std::fflush(stderr);
    if (endProgramHook) endProgramHook();
    std::_Exit(0);
}

} // namespace velmora

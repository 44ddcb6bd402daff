#include "win32ui/WindowTesting.h"

#include "platform/win32/Win32Text.h"

#include <gdiplus.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>

namespace velmora::win32test {

namespace {

namespace gp = Gdiplus::DllExports;

std::wstring wideText(HWND window)
{
    std::wstring t(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    t.resize(static_cast<std::size_t>(::GetWindowTextW(window, t.data(), static_cast<int>(t.size()))));
    return t;
}

std::vector<HWND> children(HWND parent)
{
    std::vector<HWND> out;
    ::EnumChildWindows(
        parent,
        [](HWND w, LPARAM list) {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&out));
    return out;
}

// Thread timers carry no pointer of their own: each finds its object by its id.
template <class T> std::map<UINT_PTR, T*>& timers()
{
    static std::map<UINT_PTR, T*> all;
    return all;
}

} // namespace

std::string text(HWND window) { return win32::narrow(wideText(window)); }

std::string className(HWND window)
{
    wchar_t name[128] = {};
    ::GetClassNameW(window, name, 128);
    return win32::narrow(name);
}

RECT placeInParent(HWND window)
{
    RECT r;
    ::GetWindowRect(window, &r);
    ::MapWindowPoints(nullptr, ::GetParent(window), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::vector<std::string> rows(HWND list, bool combo)
{
    std::vector<std::string> out;
    const auto n = static_cast<int>(::SendMessageW(list, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        const auto length = ::SendMessageW(list, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        std::wstring t(static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
        ::SendMessageW(list, combo ? CB_GETLBTEXT : LB_GETTEXT, static_cast<WPARAM>(i),
                       reinterpret_cast<LPARAM>(t.data()));
        out.push_back(win32::narrow(t.c_str()));
    }
    return out;
}

std::vector<int> selectedRows(HWND list)
{
    std::vector<int> out(static_cast<std::size_t>(std::max<LRESULT>(::SendMessageW(list, LB_GETSELCOUNT, 0, 0), 0)));
    if (!out.empty()) ::SendMessageW(list, LB_GETSELITEMS, out.size(), reinterpret_cast<LPARAM>(out.data()));
    return out;
}

void clickAt(HWND window, POINT at, WPARAM keys)
{
    const LPARAM where = MAKELPARAM(at.x, at.y);
    ::SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON | keys, where);
    ::SendMessageW(window, WM_LBUTTONUP, keys, where);
}

void doubleClickAt(HWND window, POINT at)
{
    const LPARAM where = MAKELPARAM(at.x, at.y);
    clickAt(window, at);
    ::SendMessageW(window, WM_LBUTTONDBLCLK, MK_LBUTTON, where);
    ::SendMessageW(window, WM_LBUTTONUP, 0, where);
}

void rightClickAt(HWND window, POINT at)
{
    const LPARAM where = MAKELPARAM(at.x, at.y);
    ::SendMessageW(window, WM_RBUTTONDOWN, MK_RBUTTON, where);
    ::SendMessageW(window, WM_RBUTTONUP, 0, where);
}

void postKey(HWND window, int vk)
{
    ::PostMessageW(window, WM_KEYDOWN, static_cast<WPARAM>(vk), 1);
    ::PostMessageW(window, WM_KEYUP, static_cast<WPARAM>(vk), static_cast<LPARAM>(0xC0000001u));
}

void postAltKey(HWND window, wchar_t c)
{
    constexpr LPARAM altHeld = 1 << 29;
    ::PostMessageW(window, WM_SYSCHAR, c, altHeld | 1);
}

void postText(HWND window, const std::wstring& text)
{
    for (wchar_t c : text) ::PostMessageW(window, WM_CHAR, c, 1);
}

std::wstring buildFolder()
{
    std::wstring self(32768, L'\0');
    self.resize(::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    for (int up = 0; up < 2; ++up) self.erase(std::min(self.find_last_of(L"\\/"), self.size()));
    return self;
}

bool capture(HWND window, const std::string& fileName)
{
    if (!window || !::IsWindowVisible(window)) return false;
    ::SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    RECT r;
    ::GetWindowRect(window, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return false;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC source = ::GetWindowDC(window);
    HBITMAP dib = ::CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = ::CreateCompatibleDC(source);
    HGDIOBJ old = ::SelectObject(memory, dib);
    ::BitBlt(memory, 0, 0, w, h, source, 0, 0, SRCCOPY);
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
    ::ReleaseDC(window, source);

    std::set<std::uint32_t> colours;
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    for (int i = 0; pixels && i < w * h && colours.size() < 3; i += 7) colours.insert(pixels[i] & 0xFFFFFFu);

    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    bool saved = false;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok) {
        Gdiplus::GpBitmap* bitmap = nullptr;
        if (gp::GdipCreateBitmapFromHBITMAP(dib, nullptr, &bitmap) == Gdiplus::Ok) {
            const CLSID png{0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
            const std::wstring file = buildFolder() + L"\\" + win32::widen(fileName);
            saved = gp::GdipSaveImageToFile(bitmap, file.c_str(), &png, nullptr) == Gdiplus::Ok;
            gp::GdipDisposeImage(bitmap);
        }
        Gdiplus::GdiplusShutdown(token);
    }
    ::DeleteObject(dib);
    return saved && colours.size() > 2;
}

// ---- BoxAnswerer ----

BoxAnswerer::BoxAnswerer() : m_timer(::SetTimer(nullptr, 0, 15, tick)) { timers<BoxAnswerer>()[m_timer] = this; }

BoxAnswerer::~BoxAnswerer()
{
    ::KillTimer(nullptr, m_timer);
    timers<BoxAnswerer>().erase(m_timer);
}

void CALLBACK BoxAnswerer::tick(HWND, UINT, UINT_PTR id, DWORD)
{
    auto& all = timers<BoxAnswerer>();
    if (auto it = all.find(id); it != all.end()) it->second->look();
}

void BoxAnswerer::look()
{
    std::vector<HWND> boxes;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND w, LPARAM list) {
            if (::IsWindowVisible(w) && className(w) == "#32770")
                reinterpret_cast<std::vector<HWND>*>(list)->push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&boxes));
    for (HWND box : boxes) {
        bool answered = false;
        for (HWND done : m_answered) answered = answered || done == box;
        if (answered) continue;
        SeenBox seen;
        seen.title = text(box);
        for (HWND child : children(box)) {
            const std::string kind = className(child);
            if (kind == "Static" && !text(child).empty() && seen.text.empty()) seen.text = text(child);
            if (kind == "Button" && ::IsWindowVisible(child)) seen.buttons.push_back(text(child));
        }
        if (onBox) onBox(box);
        int answer = 0;
        if (!m_answers.empty()) {
            answer = m_answers.front();
            m_answers.erase(m_answers.begin());
        } else {
            // The safe answer: No, else Cancel, else OK.
            for (int id : {IDNO, IDCANCEL, IDOK})
                if (!answer && ::GetDlgItem(box, id)) answer = id;
        }
        m_seen.push_back(std::move(seen));
        m_answered.push_back(box);
        ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(box, answer)));
    }
    // A box that went may leave its handle to the next one.
    std::erase_if(m_answered, [](HWND w) { return !::IsWindow(w) || !::IsWindowVisible(w); });
}

// ---- Poll ----

Poll::Poll(std::function<bool()> step) : m_step(std::move(step)), m_timer(::SetTimer(nullptr, 0, 10, tick))
{
    timers<Poll>()[m_timer] = this;
}

Poll::~Poll()
{
    ::KillTimer(nullptr, m_timer);
    timers<Poll>().erase(m_timer);
}

void CALLBACK Poll::tick(HWND, UINT, UINT_PTR id, DWORD)
{
    auto& all = timers<Poll>();
    auto it = all.find(id);
    if (it == all.end()) return;
    Poll& p = *it->second;
    // The step may wait in a loop of its own (a message box), where this timer ticks again.
    if (p.m_done || p.m_running) return;
    p.m_running = true;
    const bool done = p.m_step();
    auto again = all.find(id);
    if (again == all.end()) return; // the step ended the poll
    p.m_running = false;
    if (done) {
        p.m_done = true;
        ::KillTimer(nullptr, p.m_timer);
    }
}

} // namespace velmora::win32test

#pragma once
// What the window tests do to native windows as a user would, and how they look at them:
// clicks and keys sent to a window, message boxes answered from a timer of the test's own
// thread, screenshots of a window written as PNG files into the build folder.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace velmora::win32test {

// The window's text, as UTF-8.
std::string text(HWND window);
// The window's class name ("Button", "ListBox", ...).
std::string className(HWND window);
// The window's rectangle in its parent's client area, in pixels.
RECT placeInParent(HWND window);

// The texts of a list box's rows, or a combo box's (`combo`).
std::vector<std::string> rows(HWND list, bool combo = false);
// The rows a list box shows selected, in order.
std::vector<int> selectedRows(HWND list);

// A left click at a point of the window's client area, with the mouse keys (MK_SHIFT, ...)
// held; the window handles it before this returns.
void clickAt(HWND window, POINT at, WPARAM keys = 0);
void doubleClickAt(HWND window, POINT at);
void rightClickAt(HWND window, POINT at);
// Posts a key to the window as the keyboard would (WM_KEYDOWN, the character, WM_KEYUP):
// the front-end's loop sees it when it next runs.
void postKey(HWND window, int vk);
// Alt and a character, as the keyboard posts it.
void postAltKey(HWND window, wchar_t c);
// Posts the characters one by one, as typing them.
void postText(HWND window, const std::wstring& text);

// The folder the build writes into: the one above the test program's.
std::wstring buildFolder();

// Draws the top-level `window` again, copies it (frame and title included) into a bitmap and
// writes it as `<build folder>\<fileName>`. True when the picture holds more than two colours,
// so that something was drawn.
bool capture(HWND window, const std::string& fileName);

// A message box as it stood on the screen.
struct SeenBox {
    std::string title;
    std::string text;
    std::vector<std::string> buttons; // their captions, in order
};

// Answers the message boxes of this thread as they come up: a timer of the thread looks for a
// box every few milliseconds, notes it and presses the next queued answer (IDYES, IDNO, ...),
// or the box's first button when none is queued. One at a time per thread.
class BoxAnswerer {
public:
    BoxAnswerer();
    ~BoxAnswerer();
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;

    void queue(int answer) { m_answers.push_back(answer); }
    // Called with each box before it is answered (a screenshot, say).
    std::function<void(HWND box)> onBox;
    const std::vector<SeenBox>& seen() const { return m_seen; }

private:
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD);
    void look();

    UINT_PTR m_timer = 0;
    std::vector<int> m_answers;
    std::vector<SeenBox> m_seen;
    std::vector<HWND> m_answered;
};

// Calls `step` from a timer of this thread every few milliseconds until it answers true: a way
// to act while the program waits in a loop of its own (a modal window, a scan that yields).
class Poll {
public:
    explicit Poll(std::function<bool()> step);
    ~Poll();
    Poll(const Poll&) = delete;
    Poll& operator=(const Poll&) = delete;
    bool done() const { return m_done; }

private:
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD);

    std::function<bool()> m_step;
    UINT_PTR m_timer = 0;
    bool m_done = false;
    bool m_running = false;
};

} // namespace velmora::win32test

#include "platform/win32/Win32Console.h"

#include "platform/Utf8.h"
#include "platform/win32/Win32Text.h"

#include <windows.h>

#include <iostream>
#include <streambuf>
#include <string>

namespace velmora::win32 {

namespace {

bool isConsole(HANDLE h)
{
    DWORD mode = 0;
    return h && h != INVALID_HANDLE_VALUE && ::GetConsoleMode(h, &mode);
}

// Typed lines, as UTF-8.
class ConsoleInput : public std::streambuf {
public:
    explicit ConsoleInput(HANDLE h) : m_h(h) {}

protected:
    int_type underflow() override
    {
        if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
        wchar_t wide[1024];
        DWORD n = 0;
        // Ctrl+Z at the start of a line ends the input, as it does for any console program.
        if (!::ReadConsoleW(m_h, wide, 1024, &n, nullptr) || n == 0 || (n >= 1 && wide[0] == L'\x1A'))
            return traits_type::eof();
        m_text.clear();
        for (wchar_t c : std::wstring_view(wide, n)) {
            if (c != L'\r') m_text += c;
        }
        m_bytes = narrow(m_text);
        setg(m_bytes.data(), m_bytes.data(), m_bytes.data() + m_bytes.size());
        return m_bytes.empty() ? underflow() : traits_type::to_int_type(*gptr());
    }

private:
    HANDLE m_h;
    std::wstring m_text;
    std::string m_bytes;
};

// Written text, shown as UTF-16 once its characters are whole.
class ConsoleOutput : public std::streambuf {
public:
    explicit ConsoleOutput(HANDLE h) : m_h(h) {}
    ~ConsoleOutput() override { sync(); }

protected:
    int_type overflow(int_type c) override
    {
        if (!traits_type::eq_int_type(c, traits_type::eof())) m_pending += traits_type::to_char_type(c);
        if (m_pending.size() >= 4096) sync();
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override
    {
        m_pending.append(s, static_cast<std::size_t>(n));
        if (m_pending.size() >= 4096) sync();
        return n;
    }
    int sync() override
    {
        // A character cut at the end waits for its other bytes.
        std::size_t whole = m_pending.size();
        for (std::size_t back = 1; back <= 3 && back <= m_pending.size(); ++back) {
            const auto c = static_cast<unsigned char>(m_pending[m_pending.size() - back]);
            if (!utf8::isContinuation(c)) {
                const std::size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
                if (need > back) whole = m_pending.size() - back;
                break;
            }
        }
        const std::wstring text = widen(std::string_view(m_pending).substr(0, whole));
        m_pending.erase(0, whole);
        DWORD written = 0;
        return text.empty() || ::WriteConsoleW(m_h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)
                   ? 0
                   : -1;
    }

private:
    HANDLE m_h;
    std::string m_pending;
};

} // namespace

struct ConsoleStreams::Impl {
    bool consoleIn = isConsole(::GetStdHandle(STD_INPUT_HANDLE));
    std::unique_ptr<ConsoleInput> inBuf;
    std::unique_ptr<ConsoleOutput> outBuf, errBuf;
    std::unique_ptr<std::istream> in;
    std::unique_ptr<std::ostream> out, err;
};

ConsoleStreams::ConsoleStreams() : m(std::make_unique<Impl>())
{
    if (m->consoleIn) {
        m->inBuf = std::make_unique<ConsoleInput>(::GetStdHandle(STD_INPUT_HANDLE));
        m->in = std::make_unique<std::istream>(m->inBuf.get());
    }
    if (isConsole(::GetStdHandle(STD_OUTPUT_HANDLE))) {
        m->outBuf = std::make_unique<ConsoleOutput>(::GetStdHandle(STD_OUTPUT_HANDLE));
        m->out = std::make_unique<std::ostream>(m->outBuf.get());
    }
    if (isConsole(::GetStdHandle(STD_ERROR_HANDLE))) {
        m->errBuf = std::make_unique<ConsoleOutput>(::GetStdHandle(STD_ERROR_HANDLE));
        m->err = std::make_unique<std::ostream>(m->errBuf.get());
        m->err->setf(std::ios::unitbuf);
    }
}

ConsoleStreams::~ConsoleStreams()
{
    if (m->out) m->out->flush();
    if (m->err) m->err->flush();
}

std::istream& ConsoleStreams::in() { return m->in ? *m->in : std::cin; }
std::ostream& ConsoleStreams::out() { return m->out ? *m->out : std::cout; }
std::ostream& ConsoleStreams::err() { return m->err ? *m->err : std::cerr; }
bool ConsoleStreams::inputIsConsole() const { return m->consoleIn; }

} // namespace velmora::win32

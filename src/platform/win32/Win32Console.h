#pragma once
// The standard streams of a console program as the program's UTF-8 text.
#include <iosfwd>
#include <memory>

namespace velmora::win32 {

// On a console window each stream is read or written as UTF-16 (ReadConsoleW,
// WriteConsoleW), so Russian text is typed and shown whatever the console's code pages; on a
// pipe or a file the bytes pass as they are (UTF-8; lines end in "\r\n" on the way out).
class ConsoleStreams {
public:
    ConsoleStreams();
    ~ConsoleStreams();
    ConsoleStreams(const ConsoleStreams&) = delete;
    ConsoleStreams& operator=(const ConsoleStreams&) = delete;

    std::istream& in();
    std::ostream& out();
    std::ostream& err();
    // True when standard input is a console window, which shows what is typed by itself.
    bool inputIsConsole() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace velmora::win32

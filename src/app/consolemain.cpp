// velmora-console.exe: the program's windows as text, for a console, a pipe, a redirected
// file or a scheduled task. The Windows host's services (Win32Host) under the console
// front-end; see main.cpp for the map of the program.
//
// A console-subsystem program of its own rather than velmora.exe attaching to its parent's
// console: Windows hands a console program its standard handles whoever starts it (a pipe,
// a file, the task scheduler) and makes cmd.exe wait for it, where a GUI program gets no
// standard handles under a pipe and returns the prompt at once.
#include "core/App.h"
#include "platform/console/ConsoleFrontEnd.h"
#include "platform/win32/Win32Host.h"

#include <windows.h>

#include <iostream>

int main()
{
    using namespace velmora;
    // On a console window the program's UTF-8 texts are shown and typed as such; a pipe or a
    // file gets the bytes as they are.
    ::SetConsoleOutputCP(CP_UTF8);
    ::SetConsoleCP(CP_UTF8);
    Win32Host host;

    // A console shows what the person typed; a pipe or a file gets it echoed after the prompt.
    DWORD mode = 0;
    ConsoleOptions options;
    options.echo = !::GetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), &mode);
    ConsoleFrontEnd frontEnd(std::cin, std::cout, std::cerr, options);
    Toolkit tk(frontEnd);
    frontEnd.attach(tk);
    App app(tk, host.services);
    app.start();
    return frontEnd.run();
}

// velmora-console.exe: the program's windows as text, for a console, a pipe, a redirected
// file or a scheduled task. The Windows host's services (Win32Host) under the console
// front-end; see main.cpp for the map of the program.
//
// A console-subsystem program of its own rather than velmora.exe attaching to its parent's
// console: Windows hands a console program its standard handles whoever starts it (a pipe,
// a file, the task scheduler) and makes cmd.exe wait for it, where a GUI program gets no
// standard handles under a pipe and returns the prompt at once.
#include "app/StatusConsole.h"
#include "core/App.h"
#include "core/Switches.h"
#include "platform/win32/Win32Console.h"
#include "platform/win32/Win32Host.h"

#include <cstdlib>
#include <ostream>

int main()
{
    using namespace velmora;
    Win32Host host;
    win32::ConsoleStreams streams;
    if (const Request request = requestOf(host.env.commandLine(), Host::Windows); request != Request::Start) {
        streams.out() << (request == Request::Usage ? usageText(Host::Windows) : versionText()) << std::flush;
        return streams.out() ? exitstatus::Done : EXIT_FAILURE;
    }
    // A console shows what the person typed; a pipe or a file gets it echoed after the prompt.
    ConsoleOptions options;
    options.echo = !streams.inputIsConsole();
    StatusConsoleFrontEnd frontEnd(streams.in(), streams.out(), streams.err(), options);
    Toolkit tk(frontEnd);
    frontEnd.attach(tk);
    App app(tk, host.services);
    frontEnd.endWithStatusOf(app);
    app.start();
    return frontEnd.run();
}

// velmora.exe: the program's windows on Windows. The Windows host's services (Win32Host)
// under the Win32 front-end; see main.cpp for the map of the program.
#include "core/App.h"
#include "platform/win32/Win32FrontEnd.h"
#include "platform/win32/Win32Host.h"

#include <windows.h>

#include <cstdlib>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    using namespace velmora;
    Win32Host host;
    Win32FrontEnd frontEnd;
    Toolkit tk(frontEnd);
    frontEnd.attach(tk);
    App app(tk, host.services);
    // The front-end's end flushes the standard streams, then this ends the process with the
    // status a switch's run left.
    frontEnd.endProgramHook = [&app] { std::_Exit(app.exitStatus()); };
    app.start();
    return frontEnd.run();
}

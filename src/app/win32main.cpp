// velmora.exe: the program's windows on Windows. The Windows host's services (Win32Host)
// under the Win32 front-end; see main.cpp for the map of the program.
#include "core/App.h"
#include "core/Switches.h"
#include "platform/win32/Win32Host.h"
#include "platform/win32/Win32Text.h"
#include "platform/win32ui/Win32FrontEnd.h"
#include "settings/Product.h"

#include <windows.h>

#include <cstdlib>
#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    using namespace velmora;
    Win32Host host;
    // A program without a console answers in a message; velmora-console.exe prints.
    if (const Request request = requestOf(host.env.commandLine(), Host::Windows); request != Request::Start) {
        const std::string text = request == Request::Usage ? usageText(Host::Windows) : versionText();
        ::MessageBoxW(nullptr, win32::widen(text).c_str(), win32::widen(MessageTitle).c_str(),
                      MB_OK | MB_ICONINFORMATION);
        return exitstatus::Done;
    }
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

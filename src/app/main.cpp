// Velmora: a junk-file cleaner that behaves as a Windows program, on a Linux host.
//
// A map of the program, from the bottom up:
//
//   platform/*.h         the services a window may need: settings store, file system
//                        (drives, paths, open folders, walks), environment, processes,
//                        shell, printer, clock; text and wildcard helpers
//   platform/toolkit/    the window model: forms and controls as plain objects whose
//                        setters fire their events; the FrontEnd interface that draws them
//   platform/posix/      the Linux host: drive map, names, links and mounts kept apart
//   platform/win32/      the Windows host: drive letters, open folders by handle, registry
//                        settings, processes, shell, GDI printer, the console's streams
//   platform/qt/         the Qt window front-end;  platform/console/  the text front-end
//   platform/win32ui/    the Win32 window front-end: native controls over the same model
//   platform/testing/    the scripted front-end and the doubles of the services, for tests
//   settings/            every settings key and default, the product's name (a leaf)
//   rules/ browser/      junk masks and the mask editor; the folder browser, selection,
//                        status line and deletion of the main window
//   scanners/ reports/   the automatic scans and the drive scan window; the report window,
//                        its settings window and the report viewer
//   archiving/           the user's external archivers (six settings each) and their
//                        editor; their packing and unpacking command lines; the compress
//                        window (pack, then delete only what the archive holds), the restore
//                        window and the folder chooser
//   core/                the main window (start-up, shut-down, its handlers), the welcome
//                        launcher, the settings dialog, novice mode, the switches, and App,
//                        which owns the services, the runtime and every window's slot
//   adapters/            velmora-unzip and velmora-un7z, the programs that hand an archive
//                        to unzip or 7z and list it for the program
//   app/                 the programs: this one, velmora.exe and velmora-console.exe
//
// This file answers --help and --version, picks a front-end (VELMORA_UI=console, or the
// console when no display can be opened), builds the host services, creates App and runs
// the front-end's loop until the main window closes, or a switch's run ends the process
// with its status (app/StatusConsole.h).
// See docs/ARCHITECTURE.md, "How an event travels".
#include "app/StatusConsole.h"
#include "core/App.h"
#include "core/Switches.h"
#include "platform/posix/PosixArchiveReader.h"
#include "platform/posix/PosixEnvironment.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/PosixProcessStarter.h"
#include "platform/posix/PosixShell.h"
#include "platform/posix/SystemClock.h"
#if VELMORA_WITH_QT
#include "platform/qt/QtFrontEnd.h"
#include "platform/qt/QtPrinter.h"
#include "platform/qt/QtSettingsStore.h"

#include <QApplication>
#else
#include "platform/MemorySettingsStore.h"
#include "platform/NoPrinter.h"
#endif

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#if VELMORA_WITH_QT
namespace {

bool consoleRequested()
{
    const char* ui = std::getenv("VELMORA_UI");
    return ui && std::string_view(ui) == "console";
}

} // namespace
#endif

int main(int argc, char** argv)
{
    using namespace velmora;
    // The program's argument text is every argument as given: Qt takes its own options (such as
    // "-style") out of argv, which would make "/AUTOPASS -style x" read as "/AUTOPASS".
    std::vector<char*> arguments(argv, argv + argc);
    PosixFileSystem fs(PosixFileSystem::VolumeSources{});
    PosixEnvironment env(static_cast<int>(arguments.size()), arguments.data(), fs);

    // Answered before a display is looked for, so that it works anywhere.
    if (const Request request = requestOf(env.commandLine(), Host::Linux); request != Request::Start) {
        const std::string text = request == Request::Usage ? usageText(Host::Linux) : versionText();
        std::fputs(text.c_str(), stdout);
        return std::fflush(stdout) == 0 ? exitstatus::Done : EXIT_FAILURE;
    }

#if VELMORA_WITH_QT
    bool console = consoleRequested();
    if (!console && !QtFrontEnd::canOpenDisplay()) {
        std::fputs("velmora: no display; using the console front-end\n", stderr);
        console = true;
    }
    // The console still prints and keeps settings through Qt, which then needs no display.
    if (console) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        // Qt's own notes would mix with the console's text; nothing in them is for the user.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
            if (type == QtFatalMsg) std::fputs(message.toLocal8Bit().constData(), stderr);
        });
    }
    // The console hands Qt no options at all: "-platform xcb" must not override offscreen.
    int qtArgc = console ? 1 : argc;
    QApplication qtApp(qtArgc, argv);
    QtSettingsStore settings;
    QtPrinter printer;
#else
    // A build without Qt: console only, settings kept for this run alone.
    const bool console = true;
    MemorySettingsStore settings;
    NoPrinter printer;
#endif

    PosixProcessStarter processes(fs);
    PosixShell shell(processes);
    SystemClock clock;
    PosixArchiveReader archives(fs, PosixArchiveReader::adapterFolder());
    const Services services{settings, fs, env, processes, shell, printer, clock, archives};

    if (console) {
        // A terminal shows what the person typed; a pipe or a script gets it echoed after the prompt.
        ConsoleOptions options;
        options.echo = !isatty(STDIN_FILENO);
        StatusConsoleFrontEnd frontEnd(std::cin, std::cout, std::cerr, options);
        Toolkit tk(frontEnd);
        frontEnd.attach(tk);
        App app(tk, services);
        frontEnd.endWithStatusOf(app);
        app.start();
        return frontEnd.run();
    }
#if VELMORA_WITH_QT
    QtFrontEnd frontEnd;
    Toolkit tk(frontEnd);
    frontEnd.attach(tk);
    App app(tk, services);
    // Qt's end flushes the standard streams, then this ends the process with the run's status.
    frontEnd.endProgramHook = [&app] { std::_Exit(app.exitStatus()); };
    app.start();
    return frontEnd.run();
#endif
}

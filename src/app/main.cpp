// Picks a front-end, builds the application and runs it.
#include "core/App.h"
#include "platform/console/ConsoleFrontEnd.h"
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
#include "platform/testing/Doubles.h"
#endif

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <iostream>
#include <memory>
#include <string_view>

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
    QApplication qtApp(argc, argv);
    QtSettingsStore settings;
    QtPrinter printer;
#else
    // A build without Qt: console only, settings kept for this run alone.
    const bool console = true;
    testing::MemorySettings settings;
    testing::RecordingPrinter printer;
    printer.failWith = "no printer in this build";
#endif

    PosixFileSystem fs(PosixFileSystem::drivesFromEnvironment());
    PosixEnvironment env(argc, argv, fs);
    PosixProcessStarter processes(fs);
    PosixShell shell(processes);
    SystemClock clock;
    const Services services{settings, fs, env, processes, shell, printer, clock};

    if (console) {
        // A terminal shows what the person typed; a pipe or a script gets it echoed after the prompt.
        ConsoleOptions options;
        options.echo = !isatty(STDIN_FILENO);
        ConsoleFrontEnd frontEnd(std::cin, std::cout, std::cerr, options);
        Toolkit tk(frontEnd);
        frontEnd.attach(tk);
        App app(tk, services);
        app.start();
        return frontEnd.run();
    }
#if VELMORA_WITH_QT
    QtFrontEnd frontEnd;
    Toolkit tk(frontEnd);
    frontEnd.attach(tk);
    App app(tk, services);
    app.start();
    return frontEnd.run();
#endif
}

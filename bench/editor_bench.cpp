// The archiver editor standing open in the Qt window (offscreen) with nobody touching it: the
// process's CPU time over a stretch of wall time, as a share of a core, with its enabling timer
// off, at its own interval and at 1 ms.
#include "archiving/Archivers.h"
#include "archiving/frmCustomizeArchivers.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/qt/QtFrontEnd.h"
#include "platform/testing/Doubles.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;
using namespace velmora;

namespace {

struct Idle {
    double share = 0; // per cent of a core
    int ticks = 0;
};

// Lets the event loop run for `seconds` and measures what the process spent meanwhile.
Idle standOpen(frmCustomizeArchivers& editor, double seconds)
{
    Idle idle;
    editor.timEnable.onTimer = [&] {
        ++idle.ticks;
        editor.timEnable_Timer();
    };
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    const std::clock_t cpuStart = std::clock();
    const auto wallStart = std::chrono::steady_clock::now();
    loop.exec();
    const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    idle.share = cpu / wall * 100.0;
    return idle;
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication qt(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    const fs::path root = fs::temp_directory_path() / "velmora-editor-bench";
    fs::create_directories(root);

    PosixFileSystem files("c:=" + root.string());
    testing::MemorySettings settings;
    for (int n = 1; n <= 3; ++n) {
        archivers::save(settings, "Name", n, "Archiver " + std::to_string(n));
        archivers::save(settings, "Execute", n, "C:\\ARC\\arc" + std::to_string(n) + ".exe");
    }
    testing::MapEnvironment env;
    testing::RecordingProcessStarter processes;
    testing::RecordingShell shell;
    testing::RecordingPrinter printer;
    testing::FixedClock clock;
    QtFrontEnd frontEnd;
    Toolkit tk(frontEnd);
    frontEnd.attach(tk);
    const Services services{settings, files, env, processes, shell, printer, clock};
    frmCustomizeArchivers editor(tk, services);
    editor.load();
    editor.show();
    standOpen(editor, 0.5); // drawn once before anything is measured

    const int own = editor.timEnable.interval();
    editor.timEnable.setEnabled(false);
    const Idle off = standOpen(editor, seconds);
    editor.timEnable.setEnabled(true);
    const Idle mine = standOpen(editor, seconds);
    editor.timEnable.setInterval(1);
    const Idle fast = standOpen(editor, seconds);

    std::printf("archiver editor open, idle, %.1f s each, share of one core:\n", seconds);
    std::printf("  timer off         : %6.3f %%\n", off.share);
    std::printf("  timer every %3d ms: %6.3f %%  (%5.0f ticks/s)  must stay under 1 %%\n", own, mine.share,
                mine.ticks / seconds);
    std::printf("  timer every   1 ms: %6.3f %%  (%5.0f ticks/s)\n", fast.share, fast.ticks / seconds);
    editor.unload();
    fs::remove_all(root);
    return 0;
}

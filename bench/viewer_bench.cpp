// The report viewer on a report file of 5 MB, shown in the Qt report window (offscreen):
// from the click to the window closing again, beside reading the file alone. Then the share of
// a core the report settings window's timer takes while the window stands open.
#include "core/App.h"
#include "core/frmScanTemps.h"
#include "platform/Text.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/qt/QtFrontEnd.h"
#include "platform/testing/Doubles.h"
#include "reports/frmReport.h"
#include "reports/frmReportInfo.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;
using namespace velmora;

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication qt(argc, argv);
    const fs::path root = fs::temp_directory_path() / "velmora-viewer-bench";
    fs::remove_all(root);
    fs::create_directories(root / "TEMP");
    std::string report, bytes;
    for (int i = 0; bytes.size() < 5'000'000; ++i) {
        const std::string line = "Найден(ы) файл(ы): " + std::to_string(i % 97) + " шт. в папке C:\\WINDOWS\\TEMP\\" +
                                 std::to_string(i) + "\r\n";
        report += line;
        bytes += text::toCp1251(line);
    }
    std::ofstream(root / "TEMP" / "report.txt", std::ios::binary) << bytes;

    PosixFileSystem files("c:=" + root.string());
    testing::MemorySettings settings;
    testing::MapEnvironment env;
    env.set("TMP", "C:\\TEMP");
    testing::RecordingProcessStarter processes;
    testing::RecordingShell shell;
    testing::RecordingPrinter printer;
    testing::FixedClock clock;
    QtFrontEnd frontEnd;
    Toolkit tk(frontEnd);
    frontEnd.attach(tk);
    App app(tk, {settings, files, env, processes, shell, printer, clock});
    app.start();

    using Clock = std::chrono::steady_clock;
    const auto readStart = Clock::now();
    const auto read = files.readFile("C:\\TEMP\\report.txt");
    const double readMs = std::chrono::duration<double, std::milli>(Clock::now() - readStart).count();

    // Close the report window as soon as its modal loop runs.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* w = app.reportWindow().ifLoaded(); w && w->visible()) w->unload();
    });
    closer.start(1);
    const auto start = Clock::now();
    app.mainWindow().cmdViewReports.click();
    const double viewMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::printf("report file         : %zu bytes, %zu lines\n", read ? read->size() : 0,
                static_cast<std::size_t>(std::count(report.begin(), report.end(), '\n')));
    std::printf("reading it alone    : %8.1f ms\n", readMs);
    std::printf("viewer, click→closed: %8.1f ms  (must stay under 1000 ms)\n", viewMs);

    // The report settings window's timer: what one look at the file costs, times the ticks
    // of a second.
    frmReportInfo& info = app.reportSettings().get();
    closer.stop();
    constexpr int ticks = 2000;
    const auto tickStart = Clock::now();
    for (int i = 0; i < ticks; ++i) info.timCheck_Timer();
    const double tickMs = std::chrono::duration<double, std::milli>(Clock::now() - tickStart).count() / ticks;
    const double share = tickMs * (1000.0 / info.timCheck.interval()) / 1000.0 * 100.0;
    std::printf("report settings tick: %8.4f ms every %d ms: %.3f %% of a core  (must stay under 1 %%)\n", tickMs,
                info.timCheck.interval(), share);
    fs::remove_all(root);
    return 0;
}

// Big folders in the windows: the same steps on the real program under the Qt front-end
// (offscreen) and under the scripted one, each pair printed with its ratio. The main window
// starts in a folder of 100,000 junk files; the drive scan walks a 200,000-file tree and a
// tree of 250,000 files in 50,000 folders.
// Usage: velmora_bench_bigfolder [WORK_FOLDER]   (the trees are generated once and kept)
// With VELMORA_BENCH_SCAN_ONLY set, the drive scan of the 100,000 junk files and its walk only.
#include "UnwatchedFolder.h"
#include "core/App.h"
#include "core/frmScanTemps.h"
#include "platform/Wildcard.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/qt/QtFrontEnd.h"
#include "platform/testing/Doubles.h"
#include "platform/testing/ScriptedFrontEnd.h"
#include "scanners/frmDrivePass.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace velmora;

namespace {

using SteadyClock = std::chrono::steady_clock;

double msSince(SteadyClock::time_point start)
{
    return std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
}

double msOf(const std::function<void()>& f)
{
    const auto start = SteadyClock::now();
    f();
    return msSince(start);
}

// Empty files named `prefix<i><ext>` in `folder`, made relative to it.
void makeFiles(const fs::path& folder, int count, const std::function<std::string(int)>& name)
{
    fs::create_directories(folder);
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < count; ++i) ::close(::openat(dir, name(i).c_str(), O_WRONLY | O_CREAT, 0644));
    ::close(dir);
}

// One file in a hundred is junk, as on a used disk.
std::string mixedName(int i)
{
    static const char* plain[] = {".txt", ".DLL", ".exe", ".Doc", ".jpg", ".log", ".ini", ".Dat"};
    static const char* junk[] = {".tmp", ".TMP", ".Bak", ".chk", ".$$$", ".gid", ".000", ".err"};
    const unsigned h = static_cast<unsigned>(i) * 2654435761u;
    return "file" + std::to_string(i) + (h % 100 == 0 ? junk[(h >> 8) % 8] : plain[(h >> 8) % 8]);
}

void generate(const fs::path& work)
{
    if (fs::exists(work / "done")) return;
    fs::remove_all(work);
    std::printf("generating the folders in %s ...\n", work.c_str());
    std::fflush(stdout);
    makeFiles(work / "TEMP", 100000, [](int i) { return "junk" + std::to_string(i) + ".tmp"; });
    // 200,000 files in 2,111 folders.
    std::vector<fs::path> folders{work / "Tree200k"};
    for (int a = 0; a < 10; ++a)
        for (int b = 0; b < 10; ++b) {
            const fs::path level2 = work / "Tree200k" / ("Dir" + std::to_string(a)) / ("sub" + std::to_string(b));
            if (b == 0) folders.push_back(level2.parent_path());
            folders.push_back(level2);
            for (int c = 0; c < 20; ++c) folders.push_back(level2 / ("Leaf" + std::to_string(c)));
        }
    const int per = 200000 / static_cast<int>(folders.size());
    int made = 0;
    for (std::size_t f = 0; f < folders.size(); ++f) {
        const int n = f + 1 == folders.size() ? 200000 - made : per;
        makeFiles(folders[f], n, [made](int i) { return mixedName(made + i); });
        made += n;
    }
    // 250,000 files in 50,000 small folders.
    for (int a = 0; a < 50; ++a)
        for (int b = 0; b < 1000; ++b) {
            const int base = (a * 1000 + b) * 5;
            makeFiles(work / "Tree250k" / ("Group" + std::to_string(a)) / ("f" + std::to_string(b)), 5,
                      [base](int i) { return mixedName(base + i); });
        }
    std::FILE* done = std::fopen((work / "done").c_str(), "w");
    if (done) std::fclose(done);
}

struct Figures {
    double startupEmpty = 0, startup = 0, startupInside = 0, selectAll = 0, deselectAll = 0, invert = 0, firstTick = 0,
           tickWatched = 0, tickUnwatched = 0;
    double openScanEmpty = 0, openScan = 0, reopenScan = 0, closeScan = 0, scan200k = 0, scan250k = 0, scanJunk = 0,
           walkJunk = 0;
    std::size_t listed = 0, found200k = 0, found250k = 0, foundJunk = 0;
};

// One front-end under test: how it runs a modal window with something done inside.
struct Driver {
    FrontEnd& frontEnd;
    // Runs `open` (which shows a form modally) and calls `inside` once the form is up.
    std::function<void(const std::function<void()>& open, const std::function<void()>& inside)> modal;
};

double slowestTick(frmScanTemps& main)
{
    double slowest = 0;
    for (int i = 0; i < 40; ++i) slowest = std::max(slowest, msOf([&] { main.timUpdate_Timer(); }));
    return slowest;
}

// Opens the drive scan window from the main window and closes it again: the time until it is
// up and drawn, and in `closing` the time its closing takes.
double openDriveScan(const Driver& driver, App& app, double* closing = nullptr)
{
    SteadyClock::time_point clicked, closed;
    double opening = 0;
    driver.modal([&] { clicked = SteadyClock::now(), app.mainWindow().cmdDrives.click(); },
                 [&] {
                     app.tk().yield();
                     opening = msSince(clicked);
                     closed = SteadyClock::now();
                     app.driveScanWindow()->cmdClose.click();
                 });
    if (closing) *closing = msSince(closed);
    return opening;
}

// The program with doubles for everything but the files, its start folder `folder`, started
// from the host folder `startedIn` (start-up copies its help files from there).
struct Session {
    Session(const fs::path& work, const Driver& driver, const char* folder, const fs::path& startedIn)
        : files(enter(startedIn, "c:=" + work.string())), tk(driver.frontEnd)
    {
        settings::saveOption(settings, settings::WelcomeOnStart, "0");
        env.set("TMP", folder);
        env.set("windir", "C:\\WINDOWS");
        if (auto* qt = dynamic_cast<QtFrontEnd*>(&driver.frontEnd)) qt->attach(tk);
        startup = msOf([&] {
            app = std::make_unique<App>(tk, Services{settings, files, env, processes, shell, printer, clock});
            app->start();
            tk.yield();
        });
    }

    // The drive map, once the process works in `folder`: the file system takes it at its birth.
    static std::string enter(const fs::path& folder, std::string driveMap)
    {
        fs::current_path(folder);
        return driveMap;
    }

    SwitchableFileSystem files;
    testing::MemorySettings settings;
    testing::MapEnvironment env;
    testing::RecordingProcessStarter processes;
    testing::RecordingShell shell;
    testing::RecordingPrinter printer;
    testing::FixedClock clock;
    Toolkit tk;
    std::unique_ptr<App> app;
    double startup = 0;

    // A closed window's widgets go at the next turn of an event loop: that of the session
    // after this one would pay for them (100,000 rows) within whatever it measures first.
    ~Session()
    {
        app.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
};

Figures measure(const fs::path& work, const Driver& driver)
{
    Figures f;
    // Started from the help folder, as scripts/run does; the first start also takes what any
    // first window costs.
    {
        Session empty(work, driver, "C:\\EMPTY", VELMORA_PICTURES);
        f.startupEmpty = empty.startup;
        f.openScanEmpty = openDriveScan(driver, *empty.app);
    }
    f.startupInside = Session(work, driver, "C:\\TEMP", work / "TEMP").startup;
    Session session(work, driver, "C:\\TEMP", VELMORA_PICTURES);
    f.startup = session.startup;
    SwitchableFileSystem& files = session.files;
    std::unique_ptr<App>& app = session.app;
    frmScanTemps& main = app->mainWindow();
    f.listed = main.filFiles.listCount();

    f.selectAll = msOf([&] { main.mnuSelectAll.click(); });
    f.deselectAll = msOf([&] { main.mnuDeselectAll.click(); });
    f.invert = msOf([&] { main.mnuMainInvertSelection.click(); });
    // A listing reads names only; the first tick with everything selected reads every size.
    f.firstTick = msOf([&] { main.timUpdate_Timer(); });
    f.tickWatched = slowestTick(main);
    // After a re-listing the same first tick reads them again, as the re-listing itself did
    // when it read sizes: that tick is not the one measured.
    files.watches = false;
    main.filFiles.refresh();
    main.timUpdate_Timer();
    f.tickUnwatched = slowestTick(main);
    files.watches = true;
    main.filFiles.refresh();
    // The re-listed rows laid out and drawn, and their sizes read (each update, 50 ms apart as
    // the timer's, asks for a sixteenth of them), as they are a second later, before a person's
    // next click: the scans below measure their own window's list, not the main window's first
    // reads.
    for (int tick = 0; tick < 20; ++tick) {
        main.timUpdate_Timer();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    session.tk.yield();

    f.openScan = openDriveScan(driver, *app, &f.closeScan);
    f.reopenScan = openDriveScan(driver, *app);

    // The best of nine scans, the tree's folders in the cache as after any first walk. With
    // `walkMs`, each scan has the walk alone beside it, in the same window with the same masks:
    // what the scan is measured against, taken in turns so that the machine's moods fall on both,
    // the walk after the scan one time and before it the next, so that neither always finds
    // the other's caches warm.
    auto scan = [&](const char* folder, double& ms, std::size_t& found, double* walkMs = nullptr) {
        ms = 1e9;
        if (walkMs) *walkMs = 1e9;
        for (int run = 0; run < 9; ++run)
            driver.modal([&] { main.cmdDrives.click(); },
                         [&] {
                             frmDrivePass& w = app->driveScanWindow().get();
                             w.dirDirectorie.setPath(folder);
                             const auto walk = [&] {
                                 if (!walkMs) return;
                                 const MaskList masks(main.filFiles.pattern());
                                 std::vector<FoundFile> walked;
                                 *walkMs = std::min(*walkMs, msOf([&] { w.DirWalk(masks, folder, walked); }));
                             };
                             if (run % 2 == 1) walk();
                             // Until the window has laid out and drawn what was found.
                             ms = std::min(ms, msOf([&] { w.cmdScan.click(), app->tk().yield(); }));
                             found = w.lstParasites.listCount();
                             if (run % 2 == 0) walk();
                             w.cmdClose.click();
                         });
    };
    if (std::getenv("VELMORA_BENCH_SCAN_ONLY")) {
        scan("C:\\TEMP", f.scanJunk, f.foundJunk, &f.walkJunk);
        return f;
    }
    scan("C:\\Tree200k", f.scan200k, f.found200k);
    scan("C:\\Tree250k", f.scan250k, f.found250k);
    // Every file found: the list of the window would be most of the time, were it slow.
    scan("C:\\TEMP", f.scanJunk, f.foundJunk, &f.walkJunk);
    return f;
}

double lsTime(const fs::path& folder)
{
    const std::string command = "ls -l '" + folder.string() + "' > /dev/null";
    if (std::system(command.c_str()) != 0) return 0; // warms the cache too
    double best = 1e9;
    bool ran = true;
    for (int i = 0; i < 3; ++i) best = std::min(best, msOf([&] { ran = ran && std::system(command.c_str()) == 0; }));
    return ran ? best : 0;
}

void row(const std::string& what, double qt, double scripted, const char* limit)
{
    // Padded by characters, not bytes: the Russian captions take two bytes a letter.
    const auto chars = std::count_if(what.begin(), what.end(), [](char c) { return (c & 0xC0) != 0x80; });
    const std::string padded =
        what + std::string(static_cast<std::size_t>(std::max<std::ptrdiff_t>(44 - chars, 0)), ' ');
    std::printf("%s %9.1f ms %9.1f ms %7.2f   %s\n", padded.c_str(), qt, scripted, scripted > 0 ? qt / scripted : 0.0,
                limit);
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication qtApp(argc, argv);
    const fs::path work = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "velmora-bigfolder-bench";
    generate(work);
    fs::create_directories(work / "EMPTY");
    const double ls = lsTime(work / "TEMP");

    testing::ScriptedFrontEnd scriptedFrontEnd;
    const Driver scripted{scriptedFrontEnd, [&](const auto& open, const auto& inside) {
                              scriptedFrontEnd.onModal = [&](Form&) { inside(); };
                              open();
                              scriptedFrontEnd.onModal = nullptr;
                          }};
    const Figures s = measure(work, scripted);

    QtFrontEnd qtFrontEnd;
    qtFrontEnd.setPictureFolders({VELMORA_PICTURES}); // as the program finds them beside itself
    const Driver qt{qtFrontEnd, [&](const auto& open, const auto& inside) {
                        QTimer::singleShot(0, inside);
                        open();
                    }};
    const Figures q = measure(work, qt);

    std::printf("main list %zu files; drive scan found %zu, %zu and %zu junk files (scripted: %zu, %zu, %zu)\n",
                q.listed, q.found200k, q.found250k, q.foundJunk, s.found200k, s.found250k, s.foundJunk);
    std::printf("%-44s %12s %12s %7s   %s\n", "step", "Qt", "scripted", "ratio", "limit");
    row("start-up in an empty folder (the first)", q.startupEmpty, s.startupEmpty, "");
    row("start-up in the 100,000-file folder", q.startup, s.startup, "");
    row("  the same, started from inside that folder", q.startupInside, s.startupInside, "");
    std::printf("%-44s %9.1f ms   start-up / ls: Qt %.2f (%.2f from inside), scripted %.2f   (Qt at most 0.5)\n",
                "  ls -l of that folder", ls, q.startup / ls, q.startupInside / ls, s.startup / ls);
    row("\"Выбрать все\" on 100,000 files", q.selectAll, s.selectAll, "Qt at most 50 ms");
    row("\"Снять все\" on 100,000 files", q.deselectAll, s.deselectAll, "Qt at most 50 ms");
    row("\"Инвертировать выделение\" on 100,000", q.invert, s.invert, "Qt at most 50 ms");
    row("first status tick, 100,000 sizes read", q.firstTick, s.firstTick, "");
    row("status tick, 100,000 selected, watched", q.tickWatched, s.tickWatched, "Qt at most 5 ms (slowest of 40)");
    row("status tick, 100,000 selected, no watch", q.tickUnwatched, s.tickUnwatched, "Qt at most 5 ms (slowest of 40)");
    row("opening the drive scan window, empty folder", q.openScanEmpty, s.openScanEmpty, "");
    row("opening the drive scan window", q.openScan, s.openScan, "Qt at most 20 ms");
    row("  opening it again", q.reopenScan, s.reopenScan, "Qt at most 20 ms");
    row("closing it (the main list read again)", q.closeScan, s.closeScan, "");
    row("drive scan, 200,000 files", q.scan200k, s.scan200k, "ratio at most 1.2");
    row("drive scan, 250,000 files in 50,000 folders", q.scan250k, s.scan250k, "ratio at most 1.2");
    row("drive scan, 100,000 files all found", q.scanJunk, s.scanJunk, "ratio at most 1.2");
    std::printf("%-44s %9.1f ms %9.1f ms   scan / its walk: Qt %.2f, scripted %.2f   (Qt at most 1.2)\n",
                "  its walk alone, no list", q.walkJunk, s.walkJunk, q.scanJunk / q.walkJunk, s.scanJunk / s.walkJunk);
    return 0;
}

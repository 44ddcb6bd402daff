// The periodic update of the main window with 10,000 and 100,000 files, every one selected:
// the slowest single update (it runs every 50 ms and has a 5 ms budget); what an idle window
// costs, with a folder watch and without one; how many updates a changed size takes to reach
// the status line in either case, and one that no watch sees; and the updates after every
// listed file was deleted behind the program's back. Then, at 10,000 files, the whole
// program's update beside the same update without the novice-mode rules, with the settings
// file the program really reads.
#include "UnwatchedFolder.h"
#include "browser/Selection.h"
#include "browser/StatusLine.h"
#include "core/App.h"
#include "core/NoviceMode.h"
#include "core/frmCustom.h"
#include "core/frmScanTemps.h"
#include "core/frmWelcome.h"
#include "platform/MemorySettingsStore.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/testing/Doubles.h"
#include "platform/testing/ScriptedFrontEnd.h"
#include "platform/toolkit/Form.h"
#include "settings/Settings.h"

#if VELMORA_WITH_QT
#include "platform/qt/QtSettingsStore.h"
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace velmora;

namespace {

double millisecondsOf(const std::function<void()>& f)
{
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// The processor time of the whole process, every thread, so far.
double cpuMilliseconds()
{
    rusage use{};
    ::getrusage(RUSAGE_SELF, &use);
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    return ms(use.ru_utime) + ms(use.ru_stime);
}

// Appends one byte to `name` in the open folder `dir`; false when it could not.
bool grow(int dir, const std::string& name)
{
    const int fd = ::openat(dir, name.c_str(), O_WRONLY | O_APPEND);
    if (fd < 0) return false;
    const bool written = ::write(fd, "y", 1) == 1;
    ::close(fd);
    return written;
}

void run(int count)
{
    const fs::path root = fs::temp_directory_path() / "velmora-status-bench";
    fs::remove_all(root);
    fs::create_directories(root / "TEMP");
    const int dir = ::open((root / "TEMP").c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < count; ++i) {
        const std::string name = "f" + std::to_string(i) + ".tmp";
        const int fd = ::openat(dir, name.c_str(), O_WRONLY | O_CREAT, 0644);
        if (fd >= 0 && ::write(fd, "x", 1) == 1) ::close(fd);
    }

    SwitchableFileSystem files("c:=" + root.string());
    testing::ScriptedFrontEnd frontEnd;
    Toolkit tk(frontEnd);
    struct Window : Form {
        Window(Toolkit& t, FileSystem& f) : Form(t, "w"), fil(*this, "fil", f) {}
        FileListBox fil;
        Label lbl{*this, "lbl"};
        PictureBox pic{*this, "pic"};
        Menu mnu{*this, "mnu"};
        MenuItem ext{mnu, "ext", "Показать &расширения"};
        CommandButton a{*this, "a"}, b{*this, "b"}, c{*this, "c"}, d{*this, "d"};
    } w(tk, files);
    w.load();
    w.fil.setPath("C:\\TEMP");
    w.fil.setPattern("*.tmp");
    for (std::size_t i = 0; i < w.fil.listCount(); ++i) w.fil.setSelected(i, true);
    const UpdateTargets targets{w.fil, w.lbl, w.ext, w.pic, w.a, w.b, w.c, w.d};
    auto update = [&] { periodicUpdate(targets, {}); };
    update();

    double slowest = 0;
    for (int i = 0; i < 40; ++i) slowest = std::max(slowest, millisecondsOf(update));
    // The reference: reading every selected file's size at each update.
    const double everySize = millisecondsOf([&] {
        std::int64_t total = 0;
        for (std::size_t i = 0; i < w.fil.listCount(); ++i) total += files.fileSize(w.fil.filePath(i)).value_or(0);
        (void)total;
    });

    // Updates until the status line shows `bytes`, at the timer's pace or at most every ms.
    const auto updatesUntil = [&](std::int64_t bytes, int most, std::chrono::milliseconds pace) {
        const std::string wanted = ", всего " + std::to_string(bytes) + " байт";
        int updates = 0;
        while (w.lbl.caption().find(wanted) == std::string::npos && updates < most) {
            std::this_thread::sleep_for(pace);
            update();
            ++updates;
        }
        return updates;
    };
    // An idle window: 100 updates at the timer's pace; the share of one core is the processor
    // time of the whole process (the size reader's thread too) over the time they took.
    constexpr auto timer = std::chrono::milliseconds(50);
    const auto idleShare = [&] {
        const double before = cpuMilliseconds();
        const double took = millisecondsOf([&] {
            for (int i = 0; i < 100; ++i) {
                std::this_thread::sleep_for(timer);
                update();
            }
        });
        return (cpuMilliseconds() - before) / took * 100;
    };
    std::int64_t bytes = count;
    // The folder listed afresh, with a watch or without, and every size read once (the window
    // is idle from then on).
    const auto listAfresh = [&](bool watches) {
        files.watches = watches;
        w.fil.refresh();
        updatesUntil(bytes, 1000, timer);
    };
    // One mode: its idle share, then the updates a file grown by a byte takes to show.
    struct Mode {
        double idle = 0;
        int change = -1;
    };
    const auto measureMode = [&](bool watches, const char* grown) {
        listAfresh(watches);
        Mode m;
        m.idle = idleShare();
        if (grow(dir, grown)) m.change = updatesUntil(++bytes, 1000, timer);
        return m;
    };
    const Mode watched = measureMode(true, "f7.tmp");
    const Mode unwatched = measureMode(false, "f8.tmp");
    listAfresh(true);

    // A change no watch reports: every file grows through a second name in another folder.
    fs::create_directories(root / "other");
    for (int i = 0; i < count; ++i) {
        const std::string name = "f" + std::to_string(i) + ".tmp";
        if (::linkat(dir, name.c_str(), AT_FDCWD, (root / "other" / name).c_str(), 0) != 0) {
            std::perror("linkat");
            std::exit(1);
        }
    }
    update(); // the link events themselves are not about the listed folder
    const int other = ::open((root / "other").c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < count; ++i) bytes += grow(other, "f" + std::to_string(i) + ".tmp") ? 1 : 0;
    ::close(other);
    const int updatesToGrow = updatesUntil(bytes, 7000, std::chrono::milliseconds(1));

    // Every listed file deleted behind the program's back.
    fs::remove_all(root / "other");
    for (int i = 0; i < count; ++i) ::unlinkat(dir, ("f" + std::to_string(i) + ".tmp").c_str(), 0);
    double afterDeletion = 0;
    int updatesToZero = 0;
    while (w.lbl.caption().find(", всего 0 байт") == std::string::npos && updatesToZero < 1000) {
        std::this_thread::sleep_for(timer);
        afterDeletion = std::max(afterDeletion, millisecondsOf(update));
        ++updatesToZero;
    }
    ::close(dir);

    std::printf("%d files, all selected\n", count);
    std::printf("  slowest update              : %8.3f ms  (budget 5 ms a tick)\n", slowest);
    std::printf("  reading every size once     : %8.3f ms  (reference)\n", everySize);
    std::printf("  idle, with a watch          : %8.2f %% of a core  (at most 0.5 %%)\n", watched.idle);
    std::printf("  idle, without a watch       : %8.2f %% of a core\n", unwatched.idle);
    std::printf("  a changed size, watched     : %8d updates  (at most 20)\n", watched.change);
    std::printf("  a changed size, no watch    : %8d updates  (at most 20)\n", unwatched.change);
    std::printf("  growth through hard links   : %8d updates  (the slow sweep: at most 6,000)\n", updatesToGrow);
    std::printf("  slowest update after delete : %8.3f ms\n", afterDeletion);
    std::printf("  updates until 0 bytes       : %8d\n", updatesToZero);
    fs::remove_all(root);
}

struct Timings {
    std::vector<double> ms;
    double median()
    {
        std::sort(ms.begin(), ms.end());
        return ms[ms.size() / 2];
    }
    double slowest() const { return *std::max_element(ms.begin(), ms.end()); }
};

// The main window's update with and without the rules, taken in turns so that whatever else
// the machine does falls on both alike; the launcher and the settings dialog are loaded, so
// every one of the eight rows runs.
void rules(int count)
{
    const fs::path root = fs::temp_directory_path() / "velmora-rules-bench";
    fs::remove_all(root);
    fs::create_directories(root / "TEMP");
    for (int i = 0; i < count; ++i) {
        const int fd = ::open((root / "TEMP" / ("f" + std::to_string(i) + ".tmp")).c_str(), O_WRONLY | O_CREAT, 0644);
        if (fd >= 0 && ::write(fd, "x", 1) == 1) ::close(fd);
    }
#if VELMORA_WITH_QT
    QtSettingsStore store((root / "Quorvik.ini").string());
    const char* storeName = "the QSettings file";
#else
    MemorySettingsStore store;
    const char* storeName = "the memory store";
#endif
    PosixFileSystem files("c:=" + root.string());
    testing::MapEnvironment env;
    env.set("TMP", "C:\\TEMP");
    testing::RecordingProcessStarter processes;
    testing::RecordingShell shell;
    testing::RecordingPrinter printer;
    testing::FixedClock clock;
    testing::ScriptedFrontEnd frontEnd;
    Toolkit tk(frontEnd);
    App app(tk, {store, files, env, processes, shell, printer, clock});
    app.start();
    frmScanTemps& main = app.mainWindow();
    app.settingsDialog().get();
    for (std::size_t i = 0; i < main.filFiles.listCount(); ++i) main.filFiles.setSelected(i, true);
    const UpdateTargets targets{main.filFiles,          main.lblEntries,    main.mnuExt,  main.picPopUp,
                                main.cmdDeleteSelected, main.cmdProperties, main.cmdArch, main.cmdDelete};

    Timings alone, professional, novice, readOnly;
    for (const char* flag : {"0", "1"}) {
        store.save(settings::App, settings::Options, settings::DisableProf, flag);
        Timings& withRules = flag[0] == '1' ? novice : professional;
        main.timUpdate_Timer();
        for (int i = 0; i < 100; ++i) {
            alone.ms.push_back(millisecondsOf([&] { periodicUpdate(targets, {}); }));
            withRules.ms.push_back(millisecondsOf([&] { main.timUpdate_Timer(); }));
            readOnly.ms.push_back(millisecondsOf([&] { (void)novice::isOn(store); }));
        }
    }
    const bool locked = !main.cmdDrives.enabled() && !app.welcomeWindow()->cmdFindDrives.enabled() &&
                        !app.settingsDialog()->cmdArchivers.enabled();
    // The one tick that loads a window again: the settings dialog after the user closed it.
    app.settingsDialog()->unload();
    const double reopen = millisecondsOf([&] { app.settingsDialog().get(); });

    std::printf(
        "%d files, all selected: the main window's update, without and with the rules in turns, 100 a mode (%s)\n",
        count, storeName);
    std::printf("  update without the rules    : %8.3f ms median, %8.3f ms slowest\n", alone.median(), alone.slowest());
    std::printf("  update, rules, professional : %8.3f ms median, %8.3f ms slowest\n", professional.median(),
                professional.slowest());
    std::printf("  update, rules, novice       : %8.3f ms median, %8.3f ms slowest%s\n", novice.median(),
                novice.slowest(), locked ? "" : "  (NOT LOCKED)");
    std::printf("  reading the flag alone      : %8.3f ms median\n", readOnly.median());
    std::printf("  loading the settings dialog : %8.3f ms (its load step applies the rules)\n", reopen);
    fs::remove_all(root);
}

} // namespace

int main()
{
    run(10000);
    run(100000);
    rules(10000);
    return 0;
}

// The periodic update of the main window with 10,000 and 100,000 files, every one selected:
// the slowest single update (it runs every 50 ms and has a 5 ms budget), how many updates a
// change no folder watch reports takes to reach the status line, and the updates after every
// listed file was deleted behind the program's back. Then, at 10,000 files, the whole
// program's update beside the same update without the novice-mode rules, with the settings
// file the program really reads.
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
#include <vector>

#include <fcntl.h>
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

    PosixFileSystem files("c:=" + root.string());
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

    // A change no watch reports: every file grows through a second name in another folder.
    fs::create_directories(root / "other");
    for (int i = 0; i < count; ++i) {
        const std::string name = "f" + std::to_string(i) + ".tmp";
        if (::linkat(dir, name.c_str(), AT_FDCWD, (root / "other" / name).c_str(), 0) != 0)
            std::fprintf(stderr, "cannot link %s\n", name.c_str());
    }
    update(); // the link events themselves are not about the listed folder
    for (const auto& e : fs::directory_iterator(root / "other")) {
        const int fd = ::open(e.path().c_str(), O_WRONLY | O_APPEND);
        if (fd >= 0 && ::write(fd, "y", 1) == 1) ::close(fd);
    }
    const std::string grown = std::to_string(2LL * count) + " байт";
    int updatesToGrow = 0;
    while (w.lbl.caption().find(grown) == std::string::npos && updatesToGrow < 1000) {
        update();
        ++updatesToGrow;
    }

    // Every listed file deleted behind the program's back.
    fs::remove_all(root / "other");
    for (int i = 0; i < count; ++i) ::unlinkat(dir, ("f" + std::to_string(i) + ".tmp").c_str(), 0);
    double afterDeletion = 0;
    int updatesToZero = 0;
    while (w.lbl.caption().find(", всего 0 байт") == std::string::npos && updatesToZero < 1000) {
        afterDeletion = std::max(afterDeletion, millisecondsOf(update));
        ++updatesToZero;
    }
    ::close(dir);

    std::printf("%d files, all selected\n", count);
    std::printf("  slowest update              : %8.3f ms  (budget 5 ms a tick)\n", slowest);
    std::printf("  reading every size once     : %8.3f ms  (reference)\n", everySize);
    std::printf("  updates until growth shows  : %8d     (at most 20: one second)\n", updatesToGrow);
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

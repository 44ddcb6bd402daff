// Opening the compress and the restore window over a long archiver table, with the settings
// file the program really reads (QSettings, INI) and the Qt windows (offscreen): from the
// window's creation until it is shown with its list filled, for 1,000, 2,000 and 3,000
// archivers. Beside it, the table read one key at a time, as every list was read before.
#include "archiving/Archivers.h"
#include "archiving/frmArcFrom.h"
#include "archiving/frmArcTo.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/qt/QtFrontEnd.h"
#include "platform/qt/QtSettingsStore.h"
#include "platform/testing/Doubles.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QSettings>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

namespace fs = std::filesystem;
using namespace velmora;

namespace {

double millisecondsOf(const std::function<void()>& f)
{
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// The slowest of a few runs: every opening reads the file afresh, so none is cheaper by luck.
double worstOf(int runs, const std::function<void()>& f)
{
    double worst = 0;
    for (int i = 0; i < runs; ++i) worst = std::max(worst, millisecondsOf(f));
    return worst;
}

// A table of `count` archivers with all six fields, written in one go.
void writeTable(const std::string& file, int count)
{
    fs::remove(file);
    QSettings ini(QString::fromStdString(file), QSettings::IniFormat);
    for (int n = 1; n <= count; ++n) {
        const QString group = QStringLiteral("[Options]/[Archivers]/");
        const QString k = QString::number(n);
        ini.setValue(group + QStringLiteral("Name") + k, QStringLiteral("Archiver ") + k);
        ini.setValue(group + QStringLiteral("Execute") + k, QStringLiteral("/usr/bin/7z"));
        ini.setValue(group + QStringLiteral("Extention") + k, QStringLiteral("7z"));
        ini.setValue(group + QStringLiteral("Command") + k, QStringLiteral("a -spd -bso0 -bsp0"));
        ini.setValue(group + QStringLiteral("Unpack") + k, QStringLiteral("-aos -bso0 -bsp0"));
        ini.setValue(group + QStringLiteral("ExecUn") + k, QStringLiteral("/usr/libexec/velmora/velmora-un7z"));
    }
    ini.sync();
}

template <typename Window> double open(Window& window)
{
    return millisecondsOf([&] {
        window.load();
        window.show();
        QApplication::processEvents();
    });
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication qt(argc, argv);
    const fs::path root = fs::temp_directory_path() / "velmora-archivers-bench";
    fs::remove_all(root);
    fs::create_directories(root / "TEMP");
    const std::string file = (root / "Quorvik.ini").string();

    PosixFileSystem files("c:=" + root.string());
    QtSettingsStore settings(file);
    testing::MapEnvironment env;
    testing::RecordingProcessStarter processes;
    testing::RecordingShell shell;
    testing::RecordingPrinter printer;
    testing::FixedClock clock;
    QtFrontEnd frontEnd;
    Toolkit tk(frontEnd);
    frontEnd.attach(tk);
    const Services services{settings, files, env, processes, shell, printer, clock};
    struct Main : Form {
        Main(Toolkit& t, FileSystem& f) : Form(t, "frmMain"), dir(*this, "dir", f), fil(*this, "fil", f) {}
        DirListBox dir;
        FileListBox fil;
    } main(tk, files);
    main.load();
    main.dir.setPath("C:\\TEMP");

    constexpr int Runs = 5;
    std::printf("opening an archive window, archiver table in %s, slowest of %d (must stay within 100 ms):\n",
                file.c_str(), Runs);
    std::printf("  archivers   file KB   one reading ms   restore ms   compress ms   one key at a time ms\n");
    for (const int count : {1000, 2000, 3000}) {
        writeTable(file, count);
        const double restore = worstOf(Runs, [&] {
            frmArcFrom window(tk, services, main.dir);
            open(window);
            if (window.cboArchivers.listCount() != static_cast<std::size_t>(count)) std::abort();
            window.unload();
        });
        const double compress = worstOf(Runs, [&] {
            frmArcTo window(tk, services, ArcSource{main.dir, main.fil, nullptr}, nullptr);
            open(window);
            if (window.cboArchivers.listCount() != static_cast<std::size_t>(count)) std::abort();
            window.unload();
        });
        const double reading = worstOf(Runs, [&] {
            if (settings.section(settings::App, settings::ArchiversSection)->get("Name1", "").empty()) std::abort();
        });
        // The names as a list read them before, each key from its own reading of the file:
        // only at 1,000, where it already takes seconds.
        double byKey = 0;
        if (count == 1000)
            byKey = millisecondsOf([&] {
                for (int n = 1; !archivers::read(settings, "Name", n).empty(); ++n) {
                }
            });
        std::printf("  %9d   %7.0f   %14.1f   %10.1f   %11.1f   ", count,
                    static_cast<double>(fs::file_size(file)) / 1024, reading, restore, compress);
        if (byKey > 0)
            std::printf("%20.0f\n", byKey);
        else
            std::printf("%20s\n", "-");
    }
    main.unload();
    fs::remove_all(root);
    return 0;
}

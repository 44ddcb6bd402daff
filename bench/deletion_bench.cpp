// The deletion part of delete-all, delete-selected and the drive scan's delete, 100,000 files
// each, beside `find -delete` of the same files, in one run. Each file is asked whether another
// program holds it before it goes, as every deletion does.
// Usage: velmora_bench_deletion [WORK_FOLDER]   (a temporary folder is used when none is given)
#include "core/App.h"
#include "core/frmScanTemps.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/testing/Doubles.h"
#include "platform/testing/ScriptedFrontEnd.h"
#include "scanners/frmDrivePass.h"
#include "settings/Settings.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace velmora;

namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr int Files = 100000;

double msSince(SteadyClock::time_point start)
{
    return std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
}

// `Files` empty junk files, in one folder or spread over `folders` subfolders of it.
void makeFiles(const fs::path& folder, int folders = 1)
{
    fs::remove_all(folder);
    for (int f = 0; f < folders; ++f) {
        const fs::path at = folders == 1 ? folder : folder / ("sub" + std::to_string(f));
        fs::create_directories(at);
        const int dir = ::open(at.c_str(), O_RDONLY | O_DIRECTORY);
        for (int i = f; i < Files; i += folders) {
            const std::string name = "junk" + std::to_string(i) + ".tmp";
            ::close(::openat(dir, name.c_str(), O_WRONLY | O_CREAT, 0644));
        }
        ::close(dir);
    }
    ::sync();
}

// The better of two runs, each on files made afresh.
double findDelete(const fs::path& folder, int folders = 1)
{
    const std::string command = "find '" + folder.string() + "' -type f -delete";
    double best = 1e9;
    for (int run = 0; run < 2; ++run) {
        makeFiles(folder, folders);
        const auto start = SteadyClock::now();
        if (std::system(command.c_str()) != 0) std::fprintf(stderr, "find failed\n");
        best = std::min(best, msSince(start));
    }
    return best;
}

// The program on scripted windows with drive c: at `work`, its start folder C:\TEMP. The
// time from the deletion's question to `done` is what each run measures.
struct Session {
    explicit Session(const fs::path& work) : files("c:=" + work.string()), tk(frontEnd)
    {
        settings::saveOption(settings, settings::WelcomeOnStart, "0");
        env.set("TMP", "C:\\TEMP");
        env.set("windir", "C:\\WINDOWS");
        app = std::make_unique<App>(tk, Services{settings, files, env, processes, shell, printer, clock});
        app->start();
        frontEnd.onBox = [this](const MessageBoxSpec& box) {
            if (box.buttons == MsgButtons::YesNo)
                asked = SteadyClock::now();
            else
                answered = SteadyClock::now();
        };
    }
    // From the question to the end of `command`, or to the first box after the question.
    double measure(const std::function<void()>& command)
    {
        frontEnd.answers = {MsgResult::Yes};
        answered = {};
        command();
        const auto end = answered == SteadyClock::time_point{} ? SteadyClock::now() : answered;
        return std::chrono::duration<double, std::milli>(end - asked).count();
    }

    testing::ScriptedFrontEnd frontEnd;
    PosixFileSystem files;
    testing::MemorySettings settings;
    testing::MapEnvironment env;
    testing::RecordingProcessStarter processes;
    testing::RecordingShell shell;
    testing::RecordingPrinter printer;
    testing::FixedClock clock;
    Toolkit tk;
    std::unique_ptr<App> app;
    SteadyClock::time_point asked, answered;
};

void row(const char* what, double ms, double reference)
{
    std::printf("%-38s %9.1f ms   find -delete %9.1f ms   ratio %5.2f   (at most 1.5)\n", what, ms, reference,
                ms / reference);
}

} // namespace

int main(int argc, char** argv)
{
    const fs::path work = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "velmora-deletion-bench";
    const fs::path temp = work / "TEMP";
    fs::create_directories(work / "WINDOWS");

    const double findFlat = findDelete(temp);
    makeFiles(temp);
    double all = 0;
    {
        Session s(work);
        frmScanTemps& main = s.app->mainWindow();
        if (main.filFiles.listCount() != Files) std::fprintf(stderr, "listed %zu\n", main.filFiles.listCount());
        all = s.measure([&] { main.cmdDelete.click(); });
    }

    makeFiles(temp);
    double selected = 0;
    {
        Session s(work);
        frmScanTemps& main = s.app->mainWindow();
        for (std::size_t i = 0; i < main.filFiles.listCount(); ++i) main.filFiles.setSelected(i, true);
        main.timUpdate_Timer(); // enables the command, as the window's next tick does
        selected = s.measure([&] { main.cmdDeleteSelected.click(); });
    }

    const fs::path tree = work / "TREE";
    const double findTree = findDelete(tree, 100);
    makeFiles(tree, 100);
    double scan = 0;
    {
        Session s(work);
        s.frontEnd.onModal = [&](Form&) {
            frmDrivePass& w = s.app->driveScanWindow().get();
            w.dirDirectorie.setPath("C:\\TREE");
            w.cmdScan.click();
            for (std::size_t i = 0; i < w.lstParasites.listCount(); ++i) w.lstParasites.setSelected(i, true);
            scan = s.measure([&] { w.cmdDelete.click(); });
            w.cmdClose.click();
        };
        s.app->mainWindow().cmdDrives.click();
    }
    std::size_t left = 0;
    for (const auto& e : fs::recursive_directory_iterator(work)) left += e.is_regular_file() ? 1 : 0;

    std::printf("%d files a run; files left over: %zu\n", Files, left);
    row("delete-all, one folder", all, findFlat);
    row("delete-selected, one folder", selected, findFlat);
    row("drive scan delete, 100 folders", scan, findTree);
    fs::remove_all(work);
    return 0;
}

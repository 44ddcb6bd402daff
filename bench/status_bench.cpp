// The periodic update of the main window with 10,000 and 100,000 files, every one selected:
// the slowest single update (it runs every 50 ms and has a 5 ms budget), how many updates a
// change no folder watch reports takes to reach the status line, and the updates after every
// listed file was deleted behind the program's back.
#include "browser/Selection.h"
#include "browser/StatusLine.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/testing/ScriptedFrontEnd.h"
#include "platform/toolkit/Form.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

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
        ::linkat(dir, name.c_str(), AT_FDCWD, (root / "other" / name).c_str(), 0);
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

} // namespace

int main()
{
    run(10000);
    run(100000);
    return 0;
}

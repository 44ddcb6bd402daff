// One periodic update of the main window with 10,000 files, every one selected.
#include "browser/Selection.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/testing/ScriptedFrontEnd.h"
#include "platform/toolkit/Form.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace velmora;

int main()
{
    const fs::path root = fs::temp_directory_path() / "velmora-status-bench";
    fs::remove_all(root);
    fs::create_directories(root / "TEMP");
    for (int i = 0; i < 10000; ++i) std::ofstream(root / "TEMP" / ("f" + std::to_string(i) + ".tmp")) << i;

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

    auto time = [&](auto&& f) {
        double bestMs = 1e9;
        for (int i = 0; i < 20; ++i) {
            const auto start = std::chrono::steady_clock::now();
            f();
            bestMs = std::min(bestMs, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
        return bestMs;
    };
    const double update = time([&] { periodicUpdate(targets, {}); });
    // The reference: reading every selected file's size at each tick.
    const double restat = time([&] {
        std::int64_t total = 0;
        for (std::size_t i = 0; i < w.fil.listCount(); ++i) total += files.fileSize(w.fil.filePath(i)).value_or(0);
        (void)total;
    });
    std::printf("files listed          : %zu, all selected\n", w.fil.listCount());
    std::printf("periodic update       : %8.3f ms  (must stay under 5 ms)\n", update);
    std::printf("re-reading every size : %8.3f ms  (reference)\n", restat);
    std::printf("status line           : %s\n", w.lbl.caption().c_str());
    fs::remove_all(root);
    return 0;
}

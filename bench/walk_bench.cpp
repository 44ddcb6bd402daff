// The drive scan walk against `find -xdev -false` on the same generated tree, side by side.
// Usage: velmora_bench_walk [TREE_FOLDER]   (a temporary tree is generated when none is given)
#include "browser/Properties.h"
#include "platform/Wildcard.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/testing/Doubles.h"
#include "platform/testing/ScriptedFrontEnd.h"
#include "rules/Masks.h"
#include "scanners/frmDrivePass.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace velmora;

namespace {

// Runs the `find` the walk is measured against; a failed one would make its time meaningless.
void runFind(const std::string& command)
{
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "find failed: %s\n", command.c_str());
}

// 1 + 10 + 100 + 2000 = 2,111 folders holding 200,000 files, 1% junk, mixed case.
void generate(const fs::path& root)
{
    std::mt19937 rng(42);
    const char* plain[] = {".txt", ".DLL", ".exe", ".Doc", ".jpg", ".log", ".ini", ".Dat"};
    const char* junk[] = {".tmp", ".TMP", ".Bak", ".chk", ".$$$", ".gid", ".000", ".err"};
    std::vector<fs::path> folders{root};
    for (int a = 0; a < 10; ++a) {
        folders.push_back(root / ("Dir" + std::to_string(a)));
        for (int b = 0; b < 10; ++b) {
            folders.push_back(folders.back().parent_path() / ("Dir" + std::to_string(a)) / ("sub" + std::to_string(b)));
            const fs::path level2 = folders.back();
            for (int c = 0; c < 20; ++c) folders.push_back(level2 / ("Leaf" + std::to_string(c)));
        }
    }
    for (const auto& f : folders) fs::create_directories(f);
    const int files = 200000;
    for (int i = 0; i < files; ++i) {
        const fs::path& folder = folders[static_cast<std::size_t>(i) % folders.size()];
        const bool isJunk = rng() % 100 == 0;
        const std::string ext = isJunk ? junk[rng() % 8] : plain[rng() % 8];
        std::ofstream(folder / ((i % 2 ? "File" : "data_") + std::to_string(i) + ext));
    }
    std::printf("generated %zu folders, %d files in %s\n", folders.size(), files, root.c_str());
}

// A chain of `depth` nested folders with a junk file at the bottom, made relative to each
// parent so no path grows with the depth.
void generateDeep(const fs::path& root, int depth)
{
    fs::create_directories(root);
    int dir = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < depth; ++i) {
        const std::string name = "level" + std::to_string(i);
        ::mkdirat(dir, name.c_str(), 0755);
        const int next = ::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(dir);
        dir = next;
    }
    ::close(::openat(dir, "bottom.tmp", O_WRONLY | O_CREAT, 0644));
    ::close(dir);
}

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

template <class F> double best(int runs, F&& f)
{
    double result = 1e9;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        f();
        result = std::min(result, seconds(std::chrono::steady_clock::now() - start));
    }
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    fs::path root;
    bool generated = false;
    if (argc > 1) {
        root = argv[1];
    } else {
        root = fs::temp_directory_path() / "velmora-walk-bench";
        if (!fs::exists(root / "Dir9")) {
            fs::remove_all(root);
            generate(root);
        }
        generated = true;
    }

    const std::string findCommand = "find '" + root.string() + "' -xdev -false";
    runFind(findCommand); // warm the cache
    const double findTime = best(5, [&] { runFind(findCommand); });

    PosixFileSystem files("c:=" + root.string());
    testing::MemorySettings settings;
    testing::MapEnvironment env;
    testing::RecordingProcessStarter processes;
    testing::RecordingShell shell;
    testing::RecordingPrinter printer;
    testing::FixedClock clock;
    const Services services{settings, files, env, processes, shell, printer, clock};
    testing::ScriptedFrontEnd frontEnd;
    Toolkit tk(frontEnd);
    struct Host : Form {
        Host(Toolkit& t, FileSystem& f) : Form(t, "host"), fil(*this, "fil", f) {}
        FileListBox fil;
    } host(tk, files);
    host.load();
    host.fil.setPattern(masks::Extended);
    FormSlot<frmProperties> properties([&] { return std::make_unique<frmProperties>(tk, files); });
    frmDrivePass window(tk, services, host.fil, properties);
    window.load();

    const MaskList mask(masks::Extended);
    std::size_t found = 0;
    const double walkTime = best(5, [&] {
        std::vector<FoundFile> result;
        window.DirWalk(mask, "C:\\", result);
        found = result.size();
    });

    std::vector<std::string> many(100000);
    for (std::size_t i = 0; i < many.size(); ++i) many[i] = "C:\\Dir1\\sub2\\Leaf3\\file" + std::to_string(i) + ".tmp";
    const double fillTime = best(3, [&] {
        window.lstParasites.clear();
        std::vector<std::string> copy = many;
        window.lstParasites.addItems(std::move(copy));
    });

    // A tree 3,000 levels deep: the walk must cost what the tree's size costs.
    const fs::path deep = fs::temp_directory_path() / "velmora-walk-bench-deep";
    if (!fs::exists(deep / "level0")) generateDeep(deep, 3000);
    const std::string findDeep = "find '" + deep.string() + "' -xdev -false";
    runFind(findDeep);
    const double findDeepTime = best(3, [&] { runFind(findDeep); });
    PosixFileSystem deepFiles("c:=" + deep.string());
    testing::FixedClock deepClock;
    const Services deepServices{settings, deepFiles, env, processes, shell, printer, deepClock};
    frmDrivePass deepWindow(tk, deepServices, host.fil, properties);
    std::size_t deepFound = 0;
    const double deepTime = best(3, [&] {
        std::vector<FoundFile> result;
        deepWindow.DirWalk(mask, "C:\\", result);
        deepFound = result.size();
    });

    std::printf("find -xdev -false : %8.1f ms\n", findTime * 1000);
    std::printf("DirWalk, 20 masks : %8.1f ms  (%zu junk files)\n", walkTime * 1000, found);
    std::printf("ratio             : %8.2f  (must be at most 1.50)\n", walkTime / findTime);
    std::printf("fill 100,000      : %8.1f ms  (must not exceed the walk)\n", fillTime * 1000);
    std::printf("3,000 levels deep : find %.1f ms, DirWalk %.1f ms (%zu found), ratio %.2f\n", findDeepTime * 1000,
                deepTime * 1000, deepFound, deepTime / findDeepTime);
    if (generated) std::printf("tree kept in %s for the next run\n", root.c_str());
    return 0;
}

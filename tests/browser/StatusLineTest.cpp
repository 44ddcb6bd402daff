// The periodic update: the status line, sizes and the enabled states.
#include "browser/StatusLine.h"

#include "support/ProgramTests.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

namespace velmora {
namespace {

using testsupport::ProgramHarness;
namespace fs = std::filesystem;
using MainWindow = testsupport::MainWindow;

TEST(HostMappingStatusLine, OneHundredThousandVanishedSelectedNamesCostOneQuickUpdate)
{
    if (const auto why = testsupport::hugeFoldersTooSlow()) GTEST_SKIP() << *why;
    constexpr int Count = 100000;
    ProgramHarness h;
    const auto folder = h.root.mkdir("c/TEMP");
    // Names linked to a few one-byte files: a new name costs far less than a new file, and a
    // file holds at most 1,023 names on NTFS.
    constexpr int NamesPerFile = 1000;
    for (int seed = 0; seed < Count / NamesPerFile; ++seed)
        h.root.write("c/Seed/" + std::to_string(seed) + ".dat", "x");
    auto name = [](int i) {
        char text[32];
        std::snprintf(text, sizeof text, "f%06d.tmp", i);
        return std::string(text);
    };
    for (int i = 0; i < Count; ++i) {
        const std::string seed = std::to_string(i / NamesPerFile) + ".dat";
        ASSERT_TRUE(testsupport::makeHardLink(h.host("c/Seed/" + seed), folder / name(i))) << name(i);
    }
    auto& main = h.start();
    ASSERT_EQ(main.filFiles.listCount(), static_cast<std::size_t>(Count));
    for (std::size_t i = 0; i < main.filFiles.listCount(); ++i) main.filFiles.setSelected(i, true);
    // Sizes never read are read off the window's thread: the sum fills in over a few ticks of
    // the timer, none of which holds the window.
    const std::string whole = "100000 файлов, 100000 файлов выделено, всего 100000 байт";
    auto slowest = std::chrono::steady_clock::duration::zero();
    for (int tick = 0; tick < 200 && main.lblEntries.caption() != whole; ++tick) {
        if (tick > 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const auto begun = std::chrono::steady_clock::now();
        main.timUpdate_Timer();
        slowest = std::max(slowest, std::chrono::steady_clock::now() - begun);
    }
    EXPECT_EQ(main.lblEntries.caption(), whole);
    EXPECT_LT(slowest, std::chrono::milliseconds(100))
        << std::chrono::duration_cast<std::chrono::milliseconds>(slowest).count() << " ms";

    for (int i = 0; i < Count; ++i) ASSERT_TRUE(fs::remove(folder / name(i)));
    const auto start = std::chrono::steady_clock::now();
    main.timUpdate_Timer();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::seconds(1))
        << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";

    const std::string expected = "100000 файлов, 100000 файлов выделено, всего 0 байт";
    int updates = 0;
    // At the timer's pace: sizes are read off the window's thread, between updates too.
    while (updates < 20 && main.lblEntries.caption() != expected) {
        std::this_thread::sleep_for(std::chrono::milliseconds(main.timUpdate.interval()));
        main.timUpdate_Timer();
        ++updates;
    }
    EXPECT_EQ(main.lblEntries.caption(), expected) << "after 1 + " << updates << " updates";
}

// No watch sees it: the slow sweep reads it again, at most 6,000 updates later (some 80 here).
TEST(HostMappingStatusLine, AFileGrownThroughAHardLinkElsewhereIsCountedByTheSlowSweep)
{
    ProgramHarness h;
    const auto folder = h.root.mkdir("c/TEMP");
    for (int i = 0; i < 500; ++i) std::ofstream(folder / ("a" + std::to_string(i) + ".tmp"));
    h.root.write("c/TEMP/zz.tmp", "12");
    h.root.mkdir("c/Other");
    fs::create_hard_link(h.host("c/TEMP/zz.tmp"), h.host("c/Other/alias.dat"));
    auto& main = h.start();
    main.mnuSelectAll.click();
    // Faster than the timer, but with time for the reader's thread to keep up.
    const auto updatesUntil = [&main](const std::string& caption) {
        int updates = 0;
        while (updates < 6000 && main.lblEntries.caption() != caption) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            main.timUpdate_Timer();
            ++updates;
        }
        return updates;
    };
    updatesUntil("501 файл, 501 файл выделен, всего 2 байт");
    ASSERT_EQ(main.lblEntries.caption(), "501 файл, 501 файл выделен, всего 2 байт");
    {
        std::ofstream grow(h.host("c/Other/alias.dat"), std::ios::binary | std::ios::app);
        grow << std::string(5000, 'x');
    }
    const std::string expected = "501 файл, 501 файл выделен, всего 5002 байт";
    const int updates = updatesUntil(expected);
    EXPECT_EQ(main.lblEntries.caption(), expected) << updates << " updates";
}

TEST(StatusLine, WordsFollowTheWholeCount)
{
    EXPECT_EQ(status::line(0, 0, 0), "0 файлов, 0 файлов выделено, всего 0 байт");
    EXPECT_EQ(status::line(1, 1, 512), "1 файл, 1 файл выделен, всего 512 байт");
    EXPECT_EQ(status::line(23, 2, 40960), "23 файла, 2 файла выделены, всего 40960 байт");
    EXPECT_EQ(status::line(14, 11, 7), "14 файлов, 11 файлов выделено, всего 7 байт");
    EXPECT_EQ(status::line(21, 21, 300), "21 файл, 21 файл выделен, всего 300 байт");
    EXPECT_EQ(status::line(111, 112, 5000000000), "111 файл, 112 файла выделены, всего 5000000000 байт");
    EXPECT_EQ(status::line(20, 20, 0), "20 файлов, 20 файлов выделено, всего 0 байт");
}

TEST_F(MainWindow, EnabledStatesFollowTheListAndTheSelection)
{
    h.root.mkdir("c/TEMP");
    auto& main = h.start();
    EXPECT_EQ(main.lblEntries.caption(), "0 файлов, 0 файлов выделено, всего 0 байт");
    for (auto* b : {&main.cmdDelete, &main.cmdDeleteSelected, &main.cmdProperties, &main.cmdArch})
        EXPECT_FALSE(b->enabled()) << b->name();

    populate(21);
    main.cmdRefresh.click();
    EXPECT_TRUE(main.cmdDelete.enabled());
    EXPECT_FALSE(main.cmdDeleteSelected.enabled());
    main.filFiles.userSelect(0);
    main.timUpdate_Timer();
    EXPECT_EQ(main.lblEntries.caption(), "21 файл, 1 файл выделен, всего 1 байт");
    EXPECT_EQ(main.SelFiles, 1);
    for (auto* b : {&main.cmdDeleteSelected, &main.cmdProperties, &main.cmdArch}) EXPECT_TRUE(b->enabled());
}

// A few files selected are read again at every tick; a tick or two more covers a host that
// lets a deleted file's name linger for a moment (Wine).
TEST(StatusLineFreshness, SizesFollowTheDiskWithinAFewTicks)
{
    testsupport::ProgramHarness h;
    h.root.write("c/TEMP/grow.tmp", "12");
    h.root.write("c/TEMP/other.tmp", "1");
    auto& main = h.start();
    main.mnuSelectAll.click();
    const auto shows = [&main](const std::string& bytes) {
        const std::string caption = "2 файла, 2 файла выделены, всего " + bytes + " байт";
        for (int tick = 0; tick < 3 && main.lblEntries.caption() != caption; ++tick) {
            if (tick > 0) std::this_thread::sleep_for(std::chrono::milliseconds(main.timUpdate.interval()));
            main.timUpdate_Timer();
        }
        return main.lblEntries.caption() == caption;
    };
    EXPECT_TRUE(shows("3"));
    h.root.write("c/TEMP/grow.tmp", std::string(5000, 'x'));
    EXPECT_TRUE(shows("5001"));
    std::filesystem::remove(h.host("c/TEMP/other.tmp"));
    EXPECT_TRUE(shows("5000")) << "a vanished file counts 0";
    h.root.write("c/TEMP/grow.tmp", "");
    EXPECT_TRUE(shows("0"));
}

} // namespace
} // namespace velmora

#include "platform/testing/Doubles.h"

#include <gtest/gtest.h>

using namespace velmora::testing;

TEST(MemorySettingsTest, KeysByApplicationSectionAndKey)
{
    MemorySettings s;
    EXPECT_EQ(s.get("Quorvik", "Options", "Path", "def"), "def");
    EXPECT_TRUE(s.save("Quorvik", "Options", "Path", "C:\\TEMP"));
    EXPECT_TRUE(s.save("Quorvik", "[Options]\\[Report]", "Always Save", "1"));
    EXPECT_EQ(s.get("Quorvik", "Options", "Path", "def"), "C:\\TEMP");
    EXPECT_EQ(s.get("Other", "Options", "Path", "def"), "def");
    EXPECT_EQ(s.get("Quorvik", "Other", "Path", "def"), "def");
    EXPECT_EQ(s.get("Quorvik", "Options", "Other", "def"), "def");
    EXPECT_TRUE(s.save("Quorvik", "Options", "Path", ""));
    EXPECT_EQ(s.get("Quorvik", "Options", "Path", "def"), "");
    EXPECT_EQ(s.saveLog, (std::vector<std::string>{"Options/Path=C:\\TEMP", "[Options]\\[Report]/Always Save=1",
                                                   "Options/Path="}));
}

TEST(MemorySettingsTest, FailingSavesKeepNothing)
{
    MemorySettings s;
    s.failSaves = true;
    EXPECT_FALSE(s.save("Quorvik", "Options", "Path", "x"));
    EXPECT_EQ(s.get("Quorvik", "Options", "Path", "def"), "def");
    EXPECT_TRUE(s.saveLog.empty());
}

TEST(MapEnvironmentTest, NamesIgnoreCase)
{
    MapEnvironment env;
    env.set("Temp", "C:\\TEMP");
    EXPECT_EQ(env.get("TEMP"), "C:\\TEMP");
    EXPECT_EQ(env.get("temp"), "C:\\TEMP");
    env.set("TEMP", "D:\\T");
    EXPECT_EQ(env.get("Temp"), "D:\\T");
    EXPECT_EQ(env.vars.size(), 1u);
    env.unset("tEMP");
    EXPECT_EQ(env.get("TEMP"), "");
    env.cmdLine = "/auto";
    EXPECT_EQ(env.commandLine(), "/auto");
}

TEST(RecordingDoubles, ProcessStarterAndShell)
{
    RecordingProcessStarter p;
    EXPECT_TRUE(p.start("notepad C:\\a.txt"));
    p.exitStatus = 3;
    p.runningPolls = 1;
    auto arj = p.launch("arj a x");
    ASSERT_TRUE(arj);
    EXPECT_EQ(arj->exitStatus(std::chrono::milliseconds(0)), std::nullopt);
    EXPECT_EQ(arj->exitStatus(std::chrono::milliseconds(0)), 3);
    p.fail = true;
    EXPECT_FALSE(p.start("bad"));
    EXPECT_EQ(p.launch("bad2"), nullptr);
    EXPECT_EQ(p.started, (std::vector<std::string>{"notepad C:\\a.txt", "arj a x", "bad", "bad2"}));

    RecordingShell sh;
    EXPECT_TRUE(sh.open("http://example.org"));
    EXPECT_EQ(sh.opened, std::vector<std::string>{"http://example.org"});
}

TEST(RecordingDoubles, PrinterRecordsEveryCall)
{
    RecordingPrinter p;
    EXPECT_TRUE(p.setFontName("Arial Cyr"));
    EXPECT_TRUE(p.setFontSize(12));
    EXPECT_TRUE(p.setBold(true));
    EXPECT_TRUE(p.setUnderline(false));
    EXPECT_TRUE(p.printLine("Отчёт"));
    EXPECT_TRUE(p.printLine(""));
    EXPECT_TRUE(p.endDoc());
    EXPECT_EQ(p.calls, (std::vector<std::string>{"font Arial Cyr", "size 12", "bold 1", "underline 0", "line Отчёт",
                                                 "line ", "end"}));
    EXPECT_EQ(p.deviceName(), "Test Printer");
    EXPECT_EQ(p.lastError(), "");
}

TEST(RecordingDoubles, PrinterFailsEveryCallWhenTold)
{
    RecordingPrinter p;
    p.failWith = "Принтер не готов";
    EXPECT_FALSE(p.setFontName("Arial"));
    EXPECT_FALSE(p.setFontSize(10));
    EXPECT_FALSE(p.setBold(false));
    EXPECT_FALSE(p.setUnderline(true));
    EXPECT_FALSE(p.printLine("x"));
    EXPECT_FALSE(p.endDoc());
    EXPECT_EQ(p.lastError(), "Принтер не готов");
    EXPECT_EQ(p.calls.size(), 6u) << "failed calls are recorded as attempted";
    p.clearError();
    EXPECT_EQ(p.lastError(), "");
    p.failWith.reset();
    p.calls.clear();
    EXPECT_TRUE(p.printLine("y"));
    EXPECT_EQ(p.calls, std::vector<std::string>{"line y"});
}

TEST(FixedClockTest, GivesItsTime)
{
    FixedClock clock;
    EXPECT_EQ(clock.nowText(), "07.12.2026 23:49:51");
    clock.time = {2026, 1, 2, 3, 4, 5};
    EXPECT_EQ(clock.nowText(), "02.01.2026 3:04:05");
}

#include "platform/posix/PosixEnvironment.h"
#include "platform/posix/PosixFileSystem.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>

namespace velmora {
namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

// Puts back every variable the tests touch.
class PosixEnvironmentTest : public ::testing::Test {
protected:
    PosixEnvironmentTest()
    {
        for (const char* name :
             {"TEMP", "TMP", "Temp", "TMPDIR", "windir", "WINDIR", "XDG_DATA_HOME", "VelmoraProbe"}) {
            const char* v = std::getenv(name);
            m_saved[name] = v ? std::optional<std::string>(v) : std::nullopt;
            ::unsetenv(name);
        }
    }
    ~PosixEnvironmentTest() override
    {
        for (const auto& [name, value] : m_saved) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    }

    std::map<std::string, std::optional<std::string>> m_saved;
    TempDir root;
    // D: lies inside C:, so the longer prefix must win.
    PosixFileSystem vfs{"c:=" + root.path().string() + ";d:=" + (root.path() / "nested").string()};
    PosixEnvironment env{0, nullptr, vfs};
};

TEST_F(PosixEnvironmentTest, NamesIgnoreCase)
{
    ::setenv("VelmoraProbe", "value; with $(x)", 1);
    EXPECT_EQ(env.get("VELMORAPROBE"), "value; with $(x)");
    EXPECT_EQ(env.get("velmoraprobe"), "value; with $(x)");
    EXPECT_EQ(env.get("VelmoraProbeX"), "");
    EXPECT_EQ(env.get(""), "");
}

TEST_F(PosixEnvironmentTest, HostPathsComeInDriveForm)
{
    ::setenv("TEMP", (root.path().string() + "//Temp/").c_str(), 1);
    EXPECT_EQ(env.get("temp"), "C:\\Temp");
    ::setenv("TEMP", (root.path() / "nested/t").c_str(), 1);
    EXPECT_EQ(env.get("TEMP"), "D:\\t");
    ::setenv("TEMP", root.path().c_str(), 1);
    EXPECT_EQ(env.get("TEMP"), "C:\\");
    // A sibling, not inside: on no drive, so it opens nothing rather than a folder of C:.
    ::setenv("TEMP", (root.path().string() + "x/y").c_str(), 1);
    std::string backslashed = root.path().string() + "x/y";
    std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
    EXPECT_EQ(env.get("TEMP"), "\\\\?\\unix" + backslashed);
    EXPECT_FALSE(vfs.openFolder(env.get("TEMP")));
    ::setenv("TEMP", (root.path() / "a:b").c_str(), 1);
    EXPECT_EQ(env.get("TEMP"), "C:\\a\xEF\x80\xBA"
                               "b");
    ::setenv("TMP", "E:\\ALREADY", 1);
    EXPECT_EQ(env.get("Tmp"), "E:\\ALREADY");
    ::setenv("WINDIR", (root.path() / "WINDOWS").c_str(), 1);
    EXPECT_EQ(env.get("windir"), "C:\\WINDOWS");
}

TEST_F(PosixEnvironmentTest, OnlyATmpNeverDefinedStandsForTheHostTempFolder)
{
    ::setenv("TMPDIR", (root.path() / "hosttmp").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (root.path() / "nested/data").c_str(), 1);
    EXPECT_EQ(env.get("TEMP"), "");
    EXPECT_EQ(env.get("tmp"), "C:\\hosttmp");
    EXPECT_EQ(env.get("WinDir"), "D:\\data\\Velmora");
    EXPECT_TRUE(fs::is_directory(root.path() / "nested/data/Velmora/help"));

    // Defined but empty, a variable reads empty, so the program's own fallbacks apply.
    ::setenv("TMP", "", 1);
    EXPECT_EQ(env.get("TMP"), "");
    ::unsetenv("TMP");
    ::setenv("TEMP", "", 1);
    EXPECT_EQ(env.get("TMP"), "");
    EXPECT_EQ(env.get("TEMP"), "");
    ::setenv("TEMP", (root.path() / "t").c_str(), 1);
    EXPECT_EQ(env.get("TMP"), "");
    EXPECT_EQ(env.get("temp"), "C:\\t");
    ::unsetenv("TEMP");

    ::unsetenv("TMPDIR");
    const PosixFileSystem host("c:=/");
    const PosixEnvironment wholeHost(0, nullptr, host);
    EXPECT_EQ(wholeHost.get("TMP"), "C:\\tmp");
}

TEST(PosixEnvironment, CommandLineJoinsTheArguments)
{
    const PosixFileSystem vfs("");
    char prog[] = "velmora", a1[] = "-auto", a2[] = "C:\\My Docs", a3[] = "";
    char* argv[] = {prog, a1, a2, a3, nullptr};
    EXPECT_EQ(PosixEnvironment(4, argv, vfs).commandLine(), "-auto C:\\My Docs ");
    EXPECT_EQ(PosixEnvironment(1, argv, vfs).commandLine(), "");
}

} // namespace
} // namespace velmora

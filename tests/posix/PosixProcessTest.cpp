#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/PosixProcessStarter.h"
#include "platform/posix/PosixShell.h"
#include "platform/testing/Doubles.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace velmora {
namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

// Started with VELMORA_ARGV_DUMP set, this test program is itself the helper the tests below
// start: before any test runs it writes its working folder, whether its input is empty, and
// its arguments, NUL-separated, to that file, and exits with VELMORA_ARGV_EXIT.
[[maybe_unused]] const bool helperMode = [] {
    const char* out = std::getenv("VELMORA_ARGV_DUMP");
    if (!out) return false;
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    const std::string cmdline((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    char byte = 0;
    std::string record = fs::current_path().string();
    record += '\0';
    record += ::read(STDIN_FILENO, &byte, 1) == 0 ? "stdin:empty" : "stdin:data";
    record += '\0';
    record += cmdline.substr(cmdline.find('\0') + 1);
    const std::string part = std::string(out) + ".part";
    std::ofstream(part, std::ios::binary) << record;
    fs::rename(part, out);
    const char* code = std::getenv("VELMORA_ARGV_EXIT");
    std::_Exit(code ? std::atoi(code) : 0);
}();

std::vector<std::string> splitNul(const std::string& s)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < s.size()) {
        const std::size_t end = s.find('\0', start);
        out.push_back(s.substr(start, end - start));
        start = end == std::string::npos ? s.size() : end + 1;
    }
    return out;
}

using Words = std::vector<std::string>;

std::optional<int> waitForExit(std::unique_ptr<StartedProcess> p)
{
    if (!p) return std::nullopt;
    return p->exitStatus(std::chrono::minutes(1));
}

TEST(PosixCommandLine, SplitsByTheWindowsRules)
{
    const auto split = PosixProcessStarter::splitCommandLine;
    EXPECT_EQ(split("  notepad\t C:\\a.txt  "), (Words{"notepad", "C:\\a.txt"}));
    EXPECT_EQ(split("x \"C:\\Program Files\\\" y"), (Words{"x", "C:\\Program Files\\", "y"}));
    EXPECT_EQ(split("say \"he said \"\"hi\"\"\""), (Words{"say", "he said \"hi\""}));
    EXPECT_EQ(split("a\"b c\"d \"\" e"), (Words{"ab cd", "", "e"}));
    EXPECT_EQ(split("rm -rf;$(id)|`id`>x *"), (Words{"rm", "-rf;$(id)|`id`>x", "*"}));
    EXPECT_EQ(split("\"unterminated  quote"), (Words{"unterminated  quote"}));
    EXPECT_EQ(split(""), Words{});

    for (const std::string word : {"", "plain", "two words", "\"", "a\"\"b", "C:\\dir\\", "'$(x)';|", "-n\t\"x\" "})
        EXPECT_EQ(split("p " + PosixProcessStarter::quote(word)), (Words{"p", word})) << word;
}

TEST(PosixCommandLine, DrivePathsBecomeHostPathsAndExplorerTheFolderViewer)
{
    TempDir c;
    c.mkdir("My Docs");
    const PosixFileSystem vfs("c:=" + c.path().string());
    const PosixProcessStarter starter(vfs);
    const std::string docs = (c.path() / "My Docs").string();
    EXPECT_EQ(starter.hostArguments("Explorer.EXE \"C:\\MY DOCS\""), (Words{"xdg-open", docs}));
    EXPECT_EQ(starter.hostArguments("explorer c:/my docs"), (Words{"xdg-open", c.path().string() + "/my", "docs"}));
    EXPECT_EQ(starter.hostArguments("tool /select,C:\\x C:rel"), (Words{"tool", "/select,C:\\x", "C:rel"}));
    EXPECT_EQ(starter.hostArguments("zip \"Q:\\Arc\\x.zip\" C:\\x"), std::nullopt) << "Q: is no drive here";
    EXPECT_EQ(starter.hostArguments("unzip x.zip Q:"), std::nullopt);
}

class PosixStarterTest : public ::testing::Test {
protected:
    PosixStarterTest()
    {
        c.mkdir("Sub");
        fs::create_directory(c.path() / "Bin");
        fs::create_symlink(fs::read_symlink("/proc/self/exe"), c.path() / "Bin/Helper");
        ::setenv("VELMORA_ARGV_DUMP", dump.c_str(), 1);
    }
    ~PosixStarterTest() override
    {
        ::unsetenv("VELMORA_ARGV_DUMP");
        ::unsetenv("VELMORA_ARGV_EXIT");
        fs::current_path(m_savedCwd);
    }
    std::vector<std::string> record() const { return splitNul(testsupport::readHostFile(dump)); }

    fs::path m_savedCwd = fs::current_path();
    TempDir c;
    fs::path dump = c.path() / "argv.bin";
    PosixFileSystem vfs{"c:=" + c.path().string()};
    PosixProcessStarter starter{vfs};
};

TEST_F(PosixStarterTest, ArgumentsArriveIntactAndNoShellRuns)
{
    const fs::path marker = c.path() / "INJECTED";
    ASSERT_TRUE(vfs.setCurrentFolder("C:\\SUB"));
    ::setenv("VELMORA_ARGV_EXIT", "7", 1);

    const std::string line = "C:\\BIN\\HELPER \"a b\" ; \"$(touch " + marker.string() +
                             ")\" 'q' -n \"say \"\"hi\"\"\" C:\\sub\\f.txt `touch " + marker.string() + "` *";
    EXPECT_EQ(waitForExit(starter.launch(line)), 7);
    EXPECT_EQ(record(),
              (Words{(c.path() / "Sub").string(), "stdin:empty", "a b", ";", "$(touch " + marker.string() + ")", "'q'",
                     "-n", "say \"hi\"", (c.path() / "Sub/f.txt").string(), "`touch", marker.string() + "`", "*"}));
    EXPECT_FALSE(fs::exists(marker));
}

TEST_F(PosixStarterTest, StartDoesNotWaitNorLeaveZombies)
{
    EXPECT_TRUE(starter.start("c:\\bin\\helper detached"));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!fs::exists(dump) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(fs::exists(dump));
    EXPECT_EQ(record().back(), "detached");
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1); // nothing of ours left to reap
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(PosixStarterTest, ALaunchedProgramIsAwaitedWithoutBlockingAndNeverLeftAZombie)
{
    auto sleeper = starter.launch("sleep 0.4");
    ASSERT_TRUE(sleeper);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(sleeper->exitStatus(std::chrono::milliseconds(20)), std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(300));
    EXPECT_EQ(sleeper->exitStatus(std::chrono::minutes(1)), 0);
    EXPECT_EQ(sleeper->exitStatus(std::chrono::milliseconds(0)), 0) << "asked again";

    auto killed = starter.launch("sh -c \"kill -9 $$\"");
    ASSERT_TRUE(killed);
    EXPECT_EQ(killed->exitStatus(std::chrono::minutes(1)), 128 + 9);

    // Dropped while it runs: it runs on and is reaped by a later launch.
    const auto dropped = std::chrono::steady_clock::now();
    starter.launch("sleep 0.2").reset();
    EXPECT_LT(std::chrono::steady_clock::now() - dropped, std::chrono::milliseconds(150));
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(waitForExit(starter.launch("true")), 0);
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(PosixStarterTest, ABareDriveIsItsRoot)
{
    ASSERT_TRUE(vfs.setCurrentFolder("C:\\SUB"));
    EXPECT_EQ(starter.hostArguments("unzip x.zip C: c:\\ CC: C:x"),
              (Words{"unzip", "x.zip", c.path().string(), c.path().string(), "CC:", "C:x"}));
}

TEST_F(PosixStarterTest, AProgramThatCannotStartIsAResult)
{
    EXPECT_EQ(starter.launch("velmora-no-such-program --x"), nullptr);
    EXPECT_FALSE(starter.start("velmora-no-such-program"));
    EXPECT_FALSE(starter.start("C:\\Sub"));
    EXPECT_FALSE(starter.start(""));
    EXPECT_EQ(starter.launch("   \"\" "), nullptr);
    EXPECT_FALSE(fs::exists(dump));
}

TEST(PosixShell, HandsOverExactlyOneArgument)
{
    TempDir c;
    c.write("My Docs/Read Me.txt");
    const PosixFileSystem vfs("c:=" + c.path().string());
    testing::RecordingProcessStarter starter;
    PosixShell shell(starter, vfs);

    EXPECT_TRUE(shell.open("c:\\my docs\\read me.TXT"));
    const std::string url = "http://example.com/?q=\"x\"&y=$(id);z";
    EXPECT_TRUE(shell.open(url));
    EXPECT_FALSE(shell.open("Q:\\nowhere.txt"));
    EXPECT_FALSE(shell.open(""));
    EXPECT_FALSE(shell.open("\\\\?\\unix\\tmp\\vlm2-2.htm")); // a folder on no drive
    EXPECT_FALSE(shell.open("\\\\server\\share\\x.htm"));
    ASSERT_EQ(starter.started.size(), 2u);
    EXPECT_EQ(PosixProcessStarter::splitCommandLine(starter.started[0]),
              (Words{"xdg-open", (c.path() / "My Docs/Read Me.txt").string()}));
    EXPECT_EQ(PosixProcessStarter::splitCommandLine(starter.started[1]), (Words{"xdg-open", url}));

    // Without a file system of its own, the shell leaves drive paths to the real starter.
    PosixShell plain(starter);
    EXPECT_TRUE(plain.open("C:\\My Docs\\Read Me.txt"));
    EXPECT_EQ(PosixProcessStarter(vfs).hostArguments(starter.started.back()),
              (Words{"xdg-open", (c.path() / "My Docs/Read Me.txt").string()}));
}

} // namespace
} // namespace velmora

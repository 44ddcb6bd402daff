// The archiver records the README gives, run as the program runs them: junk packed by the real
// zip and 7z from a Windows command line, unpacked through the adapters, bytes compared.
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/PosixHost.h"
#include "platform/posix/PosixProcessStarter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <set>

extern char** environ;

namespace velmora {
namespace {

namespace fs = std::filesystem;
using testsupport::readHostFile;
using testsupport::TempDir;
using Files = std::map<std::string, std::string>;

struct Archiver {
    std::string name, execute, command, extension, execUn, unpack;
};
void PrintTo(const Archiver& a, std::ostream* os) { *os << a.name; }

// The records of the README, the adapters taken from this build.
const Archiver Zip{
    .name = "Zip",
    .execute = "/usr/bin/zip",
    .command = "-j -q",
    .extension = "zip",
    .execUn = VELMORA_UNZIP_ADAPTER,
    .unpack = "-q -n -^",
};
const Archiver SevenZip{
    .name = "SevenZip",
    .execute = "/usr/bin/7z",
    .command = "a -spd -bso0 -bsp0",
    .extension = "7z",
    .execUn = VELMORA_UN7Z_ADAPTER,
    .unpack = "-aos -bso0 -bsp0",
};

// A word of a command line as the program hands it over: quoted when it holds a blank.
std::string word(const std::string& s)
{
    return s.find_first_of(" \t") == std::string::npos ? s : PosixProcessStarter::quote(s);
}

// Every regular file below `root`, by its path relative to it, with its bytes.
Files contents(const fs::path& root)
{
    Files out;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file()) out[fs::relative(e.path(), root).string()] = readHostFile(e.path());
    return out;
}

struct Ran {
    int status = -1;
    std::string errors, output;
};

// Runs `args` directly in `cwd`, its input empty, its output and errors kept, with
// `env` ("NAME=value") in place of the test's own variables of those names.
Ran run(const std::vector<std::string>& args, const fs::path& cwd, const std::vector<std::string>& env = {})
{
    std::vector<std::string> vars = env;
    for (char** e = environ; *e; ++e) {
        const std::string_view var(*e);
        const auto overridden = [&](const std::string& v) {
            return v.substr(0, v.find('=')) == var.substr(0, var.find('='));
        };
        if (std::none_of(env.begin(), env.end(), overridden)) vars.emplace_back(var);
    }
    std::vector<char*> argv, envp;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    for (const auto& v : vars) envp.push_back(const_cast<char*>(v.c_str()));
    argv.push_back(nullptr);
    envp.push_back(nullptr);

    const TempDir scratch;
    const std::string errors = (scratch.path() / "stderr").string();
    const std::string output = (scratch.path() / "stdout").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed) return {};
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), readHostFile(errors),
            readHostFile(output)};
}

// Packing and unpacking as the program does it: C:\Junk holds the junk, D:\My Archives the
// archive, E: is where it comes back.
class ArchiverRoundTrip : public ::testing::TestWithParam<Archiver> {
protected:
    ~ArchiverRoundTrip() override { fs::current_path(m_savedCwd); }

    // The program's packing line for the selected host names, started in the listed folder.
    std::optional<int> pack(const std::vector<std::string>& selected)
    {
        const Archiver& a = GetParam();
        std::string line = a.execute + " " + a.command + " \"" + archive() + "\"";
        for (const auto& name : selected) line += " " + word("C:\\Junk\\" + posixhost::toProgramName(name));
        EXPECT_TRUE(vfs.setCurrentFolder("C:\\Junk"));
        return launch(line);
    }
    std::optional<int> unpack(const std::string& destination)
    {
        const Archiver& a = GetParam();
        return launch(word(a.execUn) + " " + a.unpack + " \"" + archive() + "\" " + word(destination));
    }
    std::string archive() const { return "D:\\My Archives\\Junk." + GetParam().extension; }
    std::optional<int> launch(const std::string& line)
    {
        auto p = starter.launch(line);
        if (!p) return std::nullopt;
        return p->exitStatus(std::chrono::minutes(1));
    }

    fs::path m_savedCwd = fs::current_path();
    TempDir root;
    fs::path c = root.mkdir("c"), d = root.mkdir("d/My Archives").parent_path(), e = root.mkdir("e");
    PosixFileSystem vfs{"c:=" + c.string() + ";d:=" + d.string() + ";e:=" + e.string()};
    PosixProcessStarter starter{vfs};
};

TEST_P(ArchiverRoundTrip, TheSelectedFilesComeBackByteForByteAndNothingElseGoesIn)
{
    Files selected;
    for (const std::string name : {"plain.tmp", "a b.tmp", "-lead.tmp", "[x].tmp", "a*b.tmp", "q?.tmp", "nl\nname.tmp",
                                   "back\\slash.tmp", "\xff\xfe.tmp", "empty.tmp"})
        selected[name] = name == "empty.tmp" ? "" : name + std::string("\0\r\n\xff", 4) + std::string(3000, name[0]);
    // What the names would match as patterns; never selected, so never packed.
    const Files decoys{{"x.tmp", "decoy x"}, {"aXb.tmp", "decoy aXb"}, {"qq.tmp", "decoy qq"}};
    for (const auto& [name, bytes] : selected) root.write("c/Junk/" + name, bytes);
    for (const auto& [name, bytes] : decoys) root.write("c/Junk/" + name, bytes);

    std::vector<std::string> names;
    for (const auto& [name, bytes] : selected) names.push_back(name);
    ASSERT_EQ(pack(names), 0);
    ASSERT_GT(fs::file_size(d / ("My Archives/Junk." + GetParam().extension)), 0u);

    // Unpacked into a drive's bare root, and into a folder whose name holds a blank.
    ASSERT_EQ(unpack("E:"), 0);
    EXPECT_EQ(contents(e), selected);
    fs::remove_all(e);
    fs::create_directory(e);
    ASSERT_EQ(unpack("E:\\Restored files"), 0);
    EXPECT_EQ(contents(e / "Restored files"), selected);

    // Again over what is there: nothing is asked, nothing overwritten.
    root.write("e/Restored files/plain.tmp", "newer");
    EXPECT_EQ(unpack("E:\\Restored files"), 0);
    selected["plain.tmp"] = "newer";
    EXPECT_EQ(contents(e / "Restored files"), selected);
}

INSTANTIATE_TEST_SUITE_P(Records, ArchiverRoundTrip, ::testing::Values(Zip, SevenZip),
                         [](const auto& p) { return p.param.name; });

// The adapters called directly with names an unpacker would read as switches or patterns.
struct AdapterNames : ::testing::Test {
    TempDir dir;

    // An archive `name` (of the kind `ext` says) holding one file, payload.txt, whose bytes are
    // the name without its extension.
    void make(const std::string& ext, const std::string& name)
    {
        const TempDir source;
        source.write("payload.txt", name.substr(0, name.size() - ext.size()));
        const auto made =
            ext == ".zip"
                ? run({"/usr/bin/zip", "-j", "-q", (dir.path() / name).string(), "payload.txt"}, source.path())
                : run({"/usr/bin/7z", "a", "-spd", "-bso0", "-bsp0", "--", (dir.path() / name).string(), "payload.txt"},
                      source.path());
        ASSERT_EQ(made.status, 0) << name << made.errors;
    }
};

TEST_F(AdapterNames, EachArchiveUnpacksItselfWhereverItsNameWouldMatchOthers)
{
    // An archive (before its extension), its decoys, and where it goes below dir, handed over
    // relative (run in dir) or absolute.
    struct Case {
        std::string archive;
        std::vector<std::string> decoys;
        std::string destination;
        bool absolute = false;
    };
    const std::vector<Case> cases{
        {"[x]", {"x"}, "-to [x]"},
        {"a*b", {"aXb", "a b"}, "to*"},
        {"q?", {"qq"}, "abs q?", true},
        {"-lead", {}, "-lead out"},
        {"back\\sl[a]sh", {"backslash", "back\\slash"}, "bs*"},
    };
    for (const auto& [adapter, ext] : {std::pair<std::string, std::string>{VELMORA_UNZIP_ADAPTER, ".zip"},
                                       std::pair<std::string, std::string>{VELMORA_UN7Z_ADAPTER, ".7z"}}) {
        SCOPED_TRACE(ext);
        for (const auto& c : cases) {
            make(ext, c.archive + ext);
            for (const auto& decoy : c.decoys) make(ext, decoy + ext);

            const std::string to = c.absolute ? (dir.path() / c.destination).string() : c.destination;
            const Ran r = run({adapter, c.archive + ext, to}, dir.path());
            EXPECT_EQ(r.status, 0) << c.archive << r.errors;
            EXPECT_EQ(contents(dir.path() / c.destination), (Files{{"payload.txt", c.archive}})) << c.archive;
            fs::remove_all(dir.path() / *fs::path(c.destination).begin());
        }
        // Nothing went anywhere else: only the archives are left.
        for (const auto& entry : fs::directory_iterator(dir.path()))
            EXPECT_TRUE(entry.is_regular_file()) << entry.path();
    }
}

TEST_F(AdapterNames, AMissingArchiveIsNeverTakenForAnotherOne)
{
    make(".zip", "x.zip");
    make(".zip", "s[*]t.zip"); // the text a literal "s*t.zip" is handed to unzip as
    for (const std::string missing : {"[x].zip", "s*t.zip"}) {
        const Ran r = run({VELMORA_UNZIP_ADAPTER, missing, "out"}, dir.path());
        EXPECT_EQ(r.status, 9) << missing;
        EXPECT_NE(r.errors.find("cannot open " + missing), std::string::npos) << r.errors;
    }
    make(".7z", "x.7z");
    EXPECT_NE(run({VELMORA_UN7Z_ADAPTER, "[x].7z", "out"}, dir.path()).status, 0);
    make(".7z", "aXb.7z");
    EXPECT_NE(run({VELMORA_UN7Z_ADAPTER, "a*b.7z", "out"}, dir.path()).status, 0);
    EXPECT_FALSE(dir.exists("out/payload.txt"));
}

// Archives holding links, unpacked one after another into one folder that already holds a link
// of its own: no member becomes a link, nothing is written through one, nothing lands outside.
TEST_F(AdapterNames, NoLinkIsMadeOrWrittenThrough)
{
    const fs::path victim = dir.mkdir("victim");
    for (const auto& [adapter, ext] : {std::pair<std::string, std::string>{VELMORA_UNZIP_ADAPTER, ".zip"},
                                       std::pair<std::string, std::string>{VELMORA_UN7Z_ADAPTER, ".7z"}}) {
        SCOPED_TRACE(ext);
        const TempDir links, files;
        fs::create_symlink("../victim", links.path() / "docs");
        fs::create_symlink(victim, links.path() / "abs");
        for (const char* name : {"docs/planted.txt", "abs/planted.txt", "mine/planted.txt"})
            files.write(name, "planted");
        const fs::path linkArchive = dir.path() / ("links" + ext), fileArchive = dir.path() / ("files" + ext);
        const Ran packed =
            ext == ".zip" ? run({"/usr/bin/zip", "-q", "-y", linkArchive.string(), "docs", "abs"}, links.path())
                          : run({"/usr/bin/7z", "a", "-snl", "-bso0", "-bsp0", linkArchive.string(), "docs", "abs"},
                                links.path());
        ASSERT_EQ(packed.status, 0) << packed.errors;
        ASSERT_EQ((ext == ".zip"
                       ? run({"/usr/bin/zip", "-q", "-r", fileArchive.string(), "docs", "abs", "mine"}, files.path())
                       : run({"/usr/bin/7z", "a", "-bso0", "-bsp0", fileArchive.string(), "docs", "abs", "mine"},
                             files.path()))
                      .status,
                  0);
        const fs::path out = dir.mkdir("out" + ext);
        fs::create_symlink("../victim", out / "mine");
        run({adapter, linkArchive.string(), out.string()}, dir.path());
        // Overwriting too: a link in the way is never written through.
        run({adapter, ext == ".zip" ? "-o" : "-aoa", fileArchive.string(), out.string()}, dir.path());

        EXPECT_TRUE(fs::is_empty(victim));
        for (const auto& entry : fs::recursive_directory_iterator(out)) {
            EXPECT_TRUE(!entry.is_symlink() || entry.path() == out / "mine") << entry.path();
            EXPECT_EQ(entry.path().filename().string().find(".velmora"), std::string::npos) << entry.path();
        }
    }
    // Where nothing was in the way, the files came out as plain files in plain folders.
    EXPECT_EQ(contents(dir.path() / "out.zip"),
              (Files{{"docs/planted.txt", "planted"}, {"abs/planted.txt", "planted"}}));
}

TEST_F(AdapterNames, TheListingGivesEachPlainFileWithItsSizeAndFailsOnACutArchive)
{
    const TempDir source;
    source.write("a b.tmp", "abc");
    source.write("sub/x.tmp", "x");
    source.write("new\nline.tmp", "nl");
    fs::create_symlink("a b.tmp", source.path() / "link");
    const auto records = [](const std::string& out) {
        std::set<std::string> set;
        for (std::size_t at = 0, end; (end = out.find('\0', at)) != std::string::npos; at = end + 1)
            set.insert(out.substr(at, end - at));
        return set;
    };
    ASSERT_EQ(run({"/usr/bin/zip", "-q", "-y", "-r", (dir.path() / "l.zip").string(), "a b.tmp", "sub", "new\nline.tmp",
                   "link"},
                  source.path())
                  .status,
              0);
    ASSERT_EQ(
        run({"/usr/bin/7z", "a", "-snl", "-bso0", "-bsp0", (dir.path() / "l.7z").string(), "a b.tmp", "sub", "link"},
            source.path())
            .status,
        0);
    const Ran zip = run({VELMORA_UNZIP_ADAPTER, "--list", "l.zip"}, dir.path());
    EXPECT_EQ(zip.status, 0) << zip.errors;
    EXPECT_EQ(records(zip.output), (std::set<std::string>{"3\ta b.tmp", "1\tsub/x.tmp", "2\tnew\nline.tmp"}));
    const Ran sevenZip = run({VELMORA_UN7Z_ADAPTER, "--list", "l.7z"}, dir.path());
    EXPECT_EQ(sevenZip.status, 0) << sevenZip.errors;
    EXPECT_EQ(records(sevenZip.output), (std::set<std::string>{"3\ta b.tmp", "1\tsub/x.tmp"}));

    for (const char* name : {"l.zip", "l.7z"}) {
        fs::resize_file(dir.path() / name, fs::file_size(dir.path() / name) - 30);
        EXPECT_NE(
            run({name[2] == 'z' ? VELMORA_UNZIP_ADAPTER : VELMORA_UN7Z_ADAPTER, "--list", name}, dir.path()).status, 0)
            << name;
    }
}

// The unpackers replaced by the fake archiver, to see the words each adapter hands over.
struct AdapterWords : ::testing::Test {
    TempDir dir;
    fs::path log = dir.path() / "log";
    AdapterWords()
    {
        dir.mkdir("bin");
        fs::create_symlink(VELMORA_FAKE_ARCHIVER, dir.path() / "bin/unzip");
        fs::create_symlink(VELMORA_FAKE_ARCHIVER, dir.path() / "bin/7z");
    }
    Ran call(const std::string& program, std::vector<std::string> args, const std::string& exit = "0")
    {
        args.insert(args.begin(), program);
        return run(
            args, dir.path(),
            {"PATH=" + (dir.path() / "bin").string(), "VELMORA_FAKE_LOG=" + log.string(), "VELMORA_FAKE_EXIT=" + exit});
    }
    // The words the unpacker got, its private output folder written as "PRIVATE".
    std::vector<std::string> words() const
    {
        std::vector<std::string> out;
        const std::string record = readHostFile(log);
        for (std::size_t at = record.find('\0') + 1; at < record.size(); at = record.find('\0', at) + 1) {
            std::string word = record.substr(at, record.find('\0', at) - at);
            if (const std::size_t fd = word.find("/proc/self/fd/"); fd != std::string::npos)
                word = word.substr(0, fd) + "PRIVATE";
            out.push_back(word);
        }
        return out;
    }
};

TEST_F(AdapterWords, SwitchesFirstNamesGuardedAndTheStatusPassedThrough)
{
    using Words = std::vector<std::string>;
    EXPECT_EQ(call(VELMORA_UNZIP_ADAPTER, {"-q", "-n", "-x.zip", "-d"}, "3").status, 3);
    EXPECT_EQ(words(), (Words{"-q", "-n", "./-x.zip", "-d", "PRIVATE"}));
    EXPECT_TRUE(fs::is_directory(dir.path() / "-d")) << "made, as unzip makes its destination";
    EXPECT_EQ(call(VELMORA_UN7Z_ADAPTER, {"-aos", "/abs/-x.7z", "@list"}, "2").status, 2);
    EXPECT_EQ(words(), (Words{"x", "-spd", "-aos", "-oPRIVATE", "--", "/abs/-x.7z"}));
    EXPECT_TRUE(fs::is_directory(dir.path() / "@list"));
    EXPECT_EQ(call(VELMORA_UN7Z_ADAPTER, {"a.7z", ""}).status, 0);
    EXPECT_EQ(words(), (Words{"x", "-spd", "-oPRIVATE", "--", "./a.7z"}));
    for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().find(".velmora"), std::string::npos) << "left behind";
}

TEST_F(AdapterWords, TooFewWordsOrNoUnpackerIsAnErrorOfItsOwn)
{
    for (const char* adapter : {VELMORA_UNZIP_ADAPTER, VELMORA_UN7Z_ADAPTER}) {
        for (const auto& args : {std::vector<std::string>{}, {"only.zip"}}) {
            std::vector<std::string> words{adapter};
            words.insert(words.end(), args.begin(), args.end());
            const Ran r = run(words, dir.path());
            EXPECT_EQ(r.status, 2) << adapter << args.size();
            EXPECT_EQ(r.errors.rfind("usage: velmora-un", 0), 0u) << r.errors;
            EXPECT_EQ(std::count(r.errors.begin(), r.errors.end(), '\n'), 1);
        }
        const Ran missing = run({adapter, "a", "b"}, dir.path(), {"PATH=" + (dir.path() / "nowhere").string()});
        EXPECT_EQ(missing.status, 127);
        EXPECT_NE(missing.errors.find("cannot run"), std::string::npos) << missing.errors;
    }
    EXPECT_FALSE(fs::exists(log));
}

TEST(FakeArchiver, RecordsItsFolderAndExactArgumentsAndMakesTheArchiveItIsTold)
{
    const TempDir dir;
    const fs::path log = dir.path() / "log";
    const std::string odd = "new\nline \xff\xfe";
    const Ran r = run({VELMORA_FAKE_ARCHIVER, "a", "made.zip", odd}, dir.path(),
                      {"VELMORA_FAKE_LOG=" + log.string(), "VELMORA_FAKE_ARCHIVE=2", "VELMORA_FAKE_EXIT=4",
                       "VELMORA_FAKE_SLEEP_MS=1"});
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(readHostFile(log), dir.path().string() + '\0' + "a" + '\0' + "made.zip" + '\0' + odd + '\0');
    EXPECT_GT(fs::file_size(dir.path() / "made.zip"), 0u);
    EXPECT_FALSE(fs::exists(dir.path() / "log.part"));
}

} // namespace
} // namespace velmora

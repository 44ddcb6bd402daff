// Compress and delete: the command line, the wait for the archiver, and what is deleted.
#include "archiving/frmArcTo.h"
#include "archiving/frmSelectDir.h"

#include "support/ProgramTests.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace velmora {
namespace {

using testsupport::listed;
namespace fs = std::filesystem;

const std::string NotMade(const std::string& archive) { return "Архив " + archive + " не создан. Файлы не удалены."; }

class CompressWindow : public testsupport::MainWindow {
protected:
    void SetUp() override
    {
        h.root.write("c/TEMP/a.tmp", "aa");
        h.root.write("c/TEMP/b c.tmp", "bb");
        h.root.write("c/TEMP/d.tmp", "dd");
        h.root.mkdir("c/Arc");
        archiver(1, "RAR", "rar.exe", "a -ep", "rar");
        h.setOption(settings::JumpOnStartup, "C:\\TEMP");
        h.start();
        // Archivers "make" their archive unless a test says otherwise.
        h.processes.onLaunch = [this](std::string_view) { h.root.write("c/Arc/unused.rar", "archive"); };
    }
    void archiver(int n, const std::string& name, const std::string& execute, const std::string& command,
                  const std::string& ext)
    {
        const std::string section = "[Options]\\[Archivers]";
        const std::string k = std::to_string(n);
        h.settings.save("Quorvik", section, "Name" + k, name);
        h.settings.save("Quorvik", section, "Execute" + k, execute);
        h.settings.save("Quorvik", section, "Command" + k, command);
        h.settings.save("Quorvik", section, "Extention" + k, ext);
    }
    void select(std::initializer_list<std::string> names)
    {
        FileListBox& files = h.main().filFiles;
        for (std::size_t i = 0; i < files.listCount(); ++i)
            files.setSelected(i, std::find(names.begin(), names.end(), files.list(i)) != names.end());
        h.main().timUpdate_Timer();
    }
    // Opens the window from the main window's button and lets `act` work in it.
    void compress(const std::function<void(frmArcTo&)>& act)
    {
        h.fe.onModal = [&](Form& form) {
            if (auto* w = dynamic_cast<frmArcTo*>(&form)) act(*w);
        };
        h.main().cmdArch.click();
        h.fe.onModal = nullptr;
    }
    // Runs the window with the destination `dest` and OK; the window's state at the end.
    void pack(const std::string& dest, int answer = 1)
    {
        h.fe.answers.push_back(answer ? MsgResult::Yes : MsgResult::No);
        compress([&](frmArcTo& w) {
            w.txtDestFolder.type(dest);
            w.cmdOK.click();
            destShown = w.txtDestFolder.text();
            stage = w.lblProcess.caption();
            closeCaption = w.cmdCancel.caption();
            closeUsable = w.cmdCancel.enabled() && !w.cmdOK.enabled() && !w.cmdBrowse.enabled() &&
                          !w.txtArchive.enabled() && !w.cboArchivers.enabled();
            w.cmdCancel.click();
        });
    }
    std::string destShown, stage, closeCaption;
    bool closeUsable = false;
};

TEST_F(CompressWindow, PacksTheSelectedFilesWaitsForTheArchiverThenDeletesThemAfterItsOwnQuestion)
{
    select({"a.tmp", "b c.tmp"});
    compress([](frmArcTo& w) {
        EXPECT_EQ(w.caption(), "Сжать и удалить");
        EXPECT_EQ(w.cboArchivers.items(), std::vector<std::string>{"# 1 RAR"});
        EXPECT_EQ(w.txtExt.text(), "rar");
        EXPECT_EQ(w.txtArchive.text(), "unused");
        EXPECT_EQ(w.txtDestFolder.text(), "D:\\Windows");
        EXPECT_EQ(w.lblProcess.caption(), "Этап 1. Задание параметров");
        EXPECT_EQ(w.cmdCancel.caption(), "Отм&ена");
        w.cmdCancel.click();
    });
    EXPECT_TRUE(h.processes.started.empty());

    // The archiver is looked at three times before it ends: nothing may go meanwhile.
    h.processes.runningPolls = 3;
    int looks = 0;
    h.processes.whileRunning = [&] {
        ++looks;
        EXPECT_TRUE(fs::exists(h.host("c/TEMP/a.tmp")));
        EXPECT_TRUE(h.fe.boxes.empty());
        frmArcTo* w = h.app->compressWindow().ifLoaded();
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->lblProcess.caption(), "Этап 2. Сжатие данных");
        EXPECT_FALSE(w->cmdCancel.enabled());
    };
    const int yields = h.fe.yields;
    pack("C:\\Arc");
    EXPECT_EQ(looks, 3);
    EXPECT_GE(h.fe.yields - yields, 3) << "the windows stay alive while the archiver works";
    ASSERT_EQ(h.processes.started.size(), 1u);
    EXPECT_EQ(h.processes.started[0], "rar.exe a -ep \"C:\\Arc\\unused.rar\" C:\\TEMP\\a.tmp \"C:\\TEMP\\b c.tmp\"");
    EXPECT_EQ(h.fs->currentFolder('c'), "C:\\TEMP");
    ASSERT_EQ(h.fe.boxes.size(), 2u);
    EXPECT_EQ(h.fe.boxes[0].spec.text,
              "Вы действительно хотите удалить все выделенные временные файлы (2) из папки:\r\n\r\n'C:\\TEMP'?");
    EXPECT_EQ(listed(h.main().filFiles), (std::set<std::string>{"d.tmp"}));
    EXPECT_EQ(stage, "Этап 4. Процесс завершен");
    EXPECT_EQ(closeCaption, "&Закрыть");
    EXPECT_TRUE(closeUsable);
    EXPECT_EQ(h.app->compressWindow().ifLoaded(), nullptr);
}

TEST_F(CompressWindow, ADriveRootIsCutToItsLetterAndAFileOfTheRootGetsOneSeparator)
{
    h.root.write("c/x.tmp", "x");
    archiver(1, "ZIP", "zip", "", "zip");
    h.processes.onLaunch = [this](std::string_view) { h.root.write("c/unused.zip", "archive"); };
    h.main().dirDirectories.setPath("C:\\");
    select({"x.tmp"});
    pack(" C:\\ ");
    EXPECT_EQ(destShown, "C:");
    EXPECT_EQ(h.processes.started, std::vector<std::string>{"zip \"C:\\unused.zip\" C:\\x.tmp"});
    EXPECT_FALSE(fs::exists(h.host("c/x.tmp")));
    EXPECT_TRUE(fs::exists(h.host("c/unused.zip")));
}

TEST_F(CompressWindow, WithoutAGoodArchiveNothingIsDeletedAndTheUserIsTold)
{
    struct Case {
        const char* what;
        bool cannotStart;
        int status;
        const char* made; // what the archiver leaves as the archive; nullptr: nothing
    };
    for (const Case& c :
         {Case{"exits with 1", false, 1, "archive"}, Case{"cannot be started", true, 0, nullptr},
          Case{"exits 0 without an archive", false, 0, nullptr}, Case{"leaves an empty archive", false, 0, ""}}) {
        SCOPED_TRACE(c.what);
        fs::remove(h.host("c/Arc/unused.rar"));
        h.fe.boxes.clear();
        h.processes.fail = c.cannotStart;
        h.processes.exitStatus = c.status;
        h.processes.onLaunch = [&](std::string_view) {
            if (c.made) h.root.write("c/Arc/unused.rar", c.made);
        };
        select({"a.tmp", "b c.tmp", "d.tmp"});
        pack("C:\\Arc");
        ASSERT_EQ(h.fe.boxes.size(), 1u);
        EXPECT_EQ(h.fe.boxes[0].spec.title, "Velmora");
        EXPECT_EQ(h.fe.boxes[0].spec.text, NotMade("C:\\Arc\\unused.rar"));
        EXPECT_EQ(h.fe.boxes[0].spec.icon, MsgIcon::Exclamation);
        EXPECT_EQ(h.fe.boxes[0].spec.buttons, MsgButtons::OK);
        EXPECT_EQ(listed(h.main().filFiles), (std::set<std::string>{"a.tmp", "b c.tmp", "d.tmp"}));
        EXPECT_EQ(stage, "Этап 4. Процесс завершен");
        EXPECT_TRUE(closeUsable);
    }
}

TEST_F(CompressWindow, AnEmptyArchiveNameOnlyAsksForOne)
{
    select({"a.tmp"});
    compress([&](frmArcTo& w) {
        w.txtArchive.type("");
        w.cmdOK.click();
        EXPECT_EQ(w.lblProcess.caption(), "Этап 1. Задание параметров");
        EXPECT_TRUE(w.cmdOK.enabled());
        w.cmdCancel.click();
    });
    ASSERT_EQ(h.fe.boxes.size(), 1u);
    EXPECT_EQ(h.fe.boxes[0].spec.text, "Введите название файла архива");
    EXPECT_EQ(h.fe.boxes[0].spec.title, "Velmora");
    EXPECT_TRUE(h.processes.started.empty());
    EXPECT_EQ(listed(h.main().filFiles).size(), 3u);
}

TEST_F(CompressWindow, AnEarlierArchiveAmongTheSelectedFilesIsPackedAroundButNeverDeleted)
{
    h.root.write("c/TEMP/UNUSED.RAR", "old archive");
    h.main().filFiles.setPattern("*.tmp;*.rar");
    select({"a.tmp", "UNUSED.RAR"});
    // It adds to the archive that is there, under that archive's own spelling.
    h.processes.onLaunch = [this](std::string_view) { h.root.write("c/TEMP/UNUSED.RAR", "old archive, a.tmp"); };
    pack("C:\\TEMP");
    EXPECT_EQ(h.processes.started,
              std::vector<std::string>{"rar.exe a -ep \"C:\\TEMP\\unused.rar\" C:\\TEMP\\a.tmp C:\\TEMP\\UNUSED.RAR"});
    EXPECT_EQ(listed(h.main().filFiles), (std::set<std::string>{"UNUSED.RAR", "b c.tmp", "d.tmp"}));
}

TEST_F(CompressWindow, AFileChangedOrReplacedWhileTheArchiverRanIsKept)
{
    select({"a.tmp", "b c.tmp", "d.tmp"});
    h.processes.runningPolls = 1;
    h.processes.whileRunning = [this] {
        h.root.write("c/TEMP/a.tmp", "written meanwhile");
        fs::remove(h.host("c/TEMP/d.tmp"));
        h.root.write("c/TEMP/d.tmp", "another file");
    };
    pack("C:\\Arc");
    EXPECT_EQ(listed(h.main().filFiles), (std::set<std::string>{"a.tmp", "d.tmp"}));
    EXPECT_EQ(testsupport::readHostFile(h.host("c/TEMP/a.tmp")), "written meanwhile");
    ASSERT_EQ(h.fe.boxes.size(), 2u);
    EXPECT_EQ(h.fe.boxes[1].spec.text, "Удалено файлов: 1 из 3.\r\nНе удалось удалить: 2.");
}

TEST_F(CompressWindow, AFileRewrittenWhileTheQuestionIsOpenIsKeptEvenAtTheSameSizeAndTime)
{
    select({"a.tmp", "b c.tmp"});
    const auto time = fs::last_write_time(h.host("c/TEMP/a.tmp"));
    h.fe.onBox = [&](const MessageBoxSpec& box) {
        if (box.buttons != MsgButtons::YesNo) return;
        h.root.write("c/TEMP/a.tmp", "AA"); // as many bytes as before, at the same time
        fs::last_write_time(h.host("c/TEMP/a.tmp"), time);
        h.root.write("c/TEMP/swap", "BB"); // another file put in its place, time kept
        fs::last_write_time(h.host("c/TEMP/swap"), fs::last_write_time(h.host("c/TEMP/b c.tmp")));
        fs::rename(h.host("c/TEMP/swap"), h.host("c/TEMP/b c.tmp"));
    };
    pack("C:\\Arc");
    EXPECT_EQ(listed(h.main().filFiles), (std::set<std::string>{"a.tmp", "b c.tmp", "d.tmp"}));
    EXPECT_EQ(testsupport::readHostFile(h.host("c/TEMP/a.tmp")), "AA");
    EXPECT_EQ(testsupport::readHostFile(h.host("c/TEMP/b c.tmp")), "BB");
}

TEST_F(CompressWindow, ARelativeDestinationNamesTheSameArchiveForTheArchiverAndTheCheck)
{
    h.root.mkdir("c/TEMP/sub");
    select({"a.tmp"});
    h.processes.onLaunch = [this](std::string_view) { h.root.write("c/TEMP/sub/unused.rar", "archive"); };
    pack("sub"); // three letters, and no root: not cut
    EXPECT_EQ(h.processes.started,
              std::vector<std::string>{"rar.exe a -ep \"C:\\TEMP\\sub\\unused.rar\" C:\\TEMP\\a.tmp"});
    EXPECT_FALSE(h.root.exists("c/TEMP/a.tmp"));
}

TEST_F(CompressWindow, ClosingWhileTheArchiverRunsDeletesNothing)
{
    select({"a.tmp"});
    h.processes.runningPolls = 1000;
    h.processes.whileRunning = [this] {
        if (frmArcTo* w = h.app->compressWindow().ifLoaded()) w->close();
    };
    compress([](frmArcTo& w) { w.cmdOK.click(); });
    EXPECT_EQ(h.processes.stopped, 1) << "left to run, it could replace a later archive of the same name";
    EXPECT_EQ(h.app->compressWindow().ifLoaded(), nullptr);
    EXPECT_TRUE(h.fe.boxes.empty());
    EXPECT_EQ(listed(h.main().filFiles).size(), 3u);
}

TEST_F(CompressWindow, BrowseFillsTheDestinationAndAnEmptyTableLeavesTheDefaults)
{
    h.settings.save("Quorvik", "[Options]\\[Archivers]", "Name1", "");
    select({"a.tmp"});
    h.processes.onLaunch = nullptr;
    compress([&](frmArcTo& w) {
        EXPECT_TRUE(w.cboArchivers.items().empty());
        EXPECT_EQ(w.txtExt.text(), "RAR");
        h.fe.onModal = [](Form& form) {
            auto& chooser = dynamic_cast<frmSelectDir&>(form);
            EXPECT_TRUE(chooser.RarIt);
            chooser.txtPath.type("C:\\Arc");
            chooser.cmdOK.click();
        };
        w.cmdBrowse.click();
        EXPECT_EQ(w.txtDestFolder.text(), "C:\\Arc");
        w.cmdOK.click();
        w.cmdCancel.click();
    });
    EXPECT_TRUE(h.processes.started.empty()) << "without a program the archive itself would be started";
    ASSERT_EQ(h.fe.boxes.size(), 1u);
    EXPECT_EQ(h.fe.boxes[0].spec.text, NotMade("C:\\Arc\\unused."));
}

TEST_F(CompressWindow, OnlyAnArchiveThisRunMadeLetsTheFilesGo)
{
    struct Case {
        const char* what;
        std::function<void()> before, during;
    };
    std::vector<Case> cases{
        {"an earlier archive in other letters, left as it was",
         [this] { h.root.write("c/Arc/UNUSED.RAR", "earlier archive"); }, [] {}},
    };
    if (!testsupport::linksMissing()) {
        cases.push_back({"a link to a full file", [] {},
                         [this] {
                             h.root.write("c/Arc/full", "not this run's");
                             testsupport::makeLink(h.host("c/Arc/full"), h.host("c/Arc/unused.rar"));
                         }});
        cases.push_back({"a link to nowhere", [] {},
                         [this] { testsupport::makeLink(h.host("c/Arc/gone"), h.host("c/Arc/unused.rar")); }});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(h.host("c/Arc"));
        h.root.mkdir("c/Arc");
        h.fe.boxes.clear();
        c.before();
        h.processes.onLaunch = [&](std::string_view) { c.during(); };
        select({"a.tmp", "b c.tmp"});
        pack("C:\\Arc");
        ASSERT_EQ(h.fe.boxes.size(), 1u);
        EXPECT_EQ(h.fe.boxes[0].spec.text, NotMade("C:\\Arc\\unused.rar"));
        EXPECT_EQ(listed(h.main().filFiles), (std::set<std::string>{"a.tmp", "b c.tmp", "d.tmp"}));
    }
}

TEST_F(CompressWindow, AFileTheArchiveDoesNotHoldAtItsSizeStays)
{
    h.archives.listing = {ArchiveListing::Outcome::Listed, {{"a.tmp", 2}, {"b c.tmp", 5}, {"D.TMP", 2}}};
    select({"a.tmp", "b c.tmp", "d.tmp"});
    pack("C:\\Arc");
    EXPECT_EQ(h.archives.read, std::vector<std::string>{"C:\\Arc\\unused.rar"});
    EXPECT_EQ(listed(h.main().filFiles), (std::set<std::string>{"b c.tmp", "d.tmp"}));
    ASSERT_EQ(h.fe.boxes.size(), 2u);
    EXPECT_EQ(h.fe.boxes[1].spec.text, "Удалено файлов: 1 из 3.\r\nНе удалось удалить: 2.");

    // A format the host reads but an archive it cannot: as good as none.
    h.fe.boxes.clear();
    fs::remove(h.host("c/Arc/unused.rar"));
    h.archives.listing = {ArchiveListing::Outcome::Unreadable, {}};
    select({"b c.tmp"});
    pack("C:\\Arc");
    ASSERT_EQ(h.fe.boxes.size(), 1u);
    EXPECT_EQ(h.fe.boxes[0].spec.text, NotMade("C:\\Arc\\unused.rar"));
    EXPECT_TRUE(h.root.exists("c/TEMP/b c.tmp"));
}

TEST_F(CompressWindow, AFolderSwappedWhileTheArchiverRanLetsNothingGo)
{
    if (const auto why = testsupport::heldFoldersStay()) GTEST_SKIP() << *why;
    // The junk is in C:\J\TEMP: the folder itself or the one above it is swapped for a folder
    // holding files of the same names and sizes, and put back before the archiver ends.
    h.root.write("c/J/TEMP/a.tmp", "aa");
    h.root.write("c/J/TEMP/b.tmp", "bb");
    // Named, not bound: clang before 16 (clang-tidy's) cannot capture a structured binding.
    for (const auto& swapped : {std::pair<std::string, std::string>{"c/J/TEMP", "c/J/TEMP/"},
                                std::pair<std::string, std::string>{"c/J", "c/J/TEMP/"}}) {
        const std::string& folder = swapped.first;
        const std::string& impostor = swapped.second;
        SCOPED_TRACE(folder);
        const auto swap = [&] {
            const fs::path real = h.host(folder), aside = h.host(folder + ".real");
            fs::rename(real, aside);
            h.root.write(impostor + "a.tmp", "xx");
            h.root.write(impostor + "b.tmp", "yy");
            fs::rename(real, h.host(folder + ".other"));
            fs::rename(aside, real);
        };
        h.fe.boxes.clear();
        h.main().dirDirectories.setPath("C:\\J\\TEMP");
        select({"a.tmp", "b.tmp"});
        h.processes.runningPolls = 1;
        h.processes.whileRunning = swap;
        pack("C:\\Arc");
        ASSERT_EQ(h.fe.boxes.size(), 1u);
        EXPECT_EQ(h.fe.boxes[0].spec.text, "Папка C:\\J\\TEMP изменилась, пока работал архиватор. Файлы не удалены.");
        EXPECT_EQ(listed(h.main().filFiles), (std::set<std::string>{"a.tmp", "b.tmp"}));
        fs::remove_all(h.host(folder + ".other"));
    }

    // One file swapped and put back: only it stays.
    h.fe.boxes.clear();
    h.main().dirDirectories.setPath("C:\\TEMP");
    select({"a.tmp", "d.tmp"});
    h.processes.whileRunning = [this] {
        fs::rename(h.host("c/TEMP/a.tmp"), h.host("c/a.real"));
        h.root.write("c/TEMP/a.tmp", "xx");
        fs::rename(h.host("c/a.real"), h.host("c/TEMP/a.tmp"));
    };
    pack("C:\\Arc");
    EXPECT_EQ(listed(h.main().filFiles), (std::set<std::string>{"a.tmp", "b c.tmp"}));
    ASSERT_EQ(h.fe.boxes.size(), 2u);
    EXPECT_EQ(h.fe.boxes[1].spec.text, "Удалено файлов: 1 из 2.\r\nНе удалось удалить: 1.");
}

#ifndef _WIN32
TEST_F(CompressWindow, ZipAnd7zArchivesAreKnownByTheirBytesAndFreeOnlyWhatTheyHold)
{
    h.useHostArchives();
    h.root.write("elsewhere/b c.tmp", "a longer b");
    // Named .rar whatever they are. They hold a.tmp as it is, "b c.tmp" at another size, no d.tmp.
    for (const std::string make : {"/usr/bin/zip -j -q", "/usr/bin/7z a -t7z -spd -bso0 -bsp0"}) {
        SCOPED_TRACE(make);
        h.fe.boxes.clear();
        h.root.write("c/TEMP/a.tmp", "aa");
        h.main().filFiles.refresh();
        fs::remove(h.host("c/Arc/unused.rar"));
        h.processes.onLaunch = [&](std::string_view) {
            const std::string line = make + " '" + h.hostText("c/Arc/unused.rar") + "' '" + h.hostText("c/TEMP/a.tmp") +
                                     "' '" + testsupport::pathText(h.root.path() / "elsewhere/b c.tmp") + "'";
            ASSERT_EQ(std::system(line.c_str()), 0) << line;
        };
        select({"a.tmp", "b c.tmp", "d.tmp"});
        pack("C:\\Arc");
        EXPECT_EQ(listed(h.main().filFiles), (std::set<std::string>{"b c.tmp", "d.tmp"}));
        ASSERT_EQ(h.fe.boxes.size(), 2u);
        EXPECT_EQ(h.fe.boxes[1].spec.text, "Удалено файлов: 1 из 3.\r\nНе удалось удалить: 2.");
    }
}
#endif

TEST_F(CompressWindow, AQuoteOrADestinationOnNoDriveStartsAndDeletesNothing)
{
    select({"a.tmp", "b c.tmp"});
    compress([&](frmArcTo& w) {
        w.txtArchive.type("x\" -sdel \"y");
        w.txtDestFolder.type("C:\\Arc");
        w.cmdOK.click();
        EXPECT_EQ(w.lblProcess.caption(), "Этап 1. Задание параметров");
        EXPECT_TRUE(w.cmdOK.enabled());
        w.cmdCancel.click();
    });
    ASSERT_EQ(h.fe.boxes.size(), 1u);
    EXPECT_EQ(h.fe.boxes[0].spec.text, "Название файла архива и имена папок не могут содержать кавычки (\")");
    for (const std::string dest : {"\\\\nas\\backup", "\\\\?\\unix\\tmp"}) {
        h.fe.boxes.clear();
        pack(dest);
        ASSERT_EQ(h.fe.boxes.size(), 1u);
        EXPECT_EQ(h.fe.boxes[0].spec.text, NotMade(dest + "\\unused.rar"));
        EXPECT_EQ(stage, "Этап 4. Процесс завершен");
    }
    EXPECT_TRUE(h.processes.started.empty());
    EXPECT_EQ(listed(h.main().filFiles), (std::set<std::string>{"a.tmp", "b c.tmp", "d.tmp"}));
}

// Sets environment variables for the length of a test: the fake archiver reads them.
class ScopedEnv {
public:
    ScopedEnv(std::initializer_list<std::pair<const char*, std::string>> vars)
    {
        for (const auto& [name, value] : vars) {
            testsupport::setVariable(name, value.c_str());
            m_names.push_back(name);
        }
    }
    ~ScopedEnv()
    {
        for (const char* name : m_names) testsupport::setVariable(name, nullptr);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::vector<const char*> m_names;
};

std::vector<std::string> splitNul(const std::string& s)
{
    std::vector<std::string> out;
    for (std::size_t start = 0, end; start < s.size(); start = end + 1) {
        end = s.find('\0', start);
        if (end == std::string::npos) end = s.size();
        out.push_back(s.substr(start, end - start));
    }
    return out;
}

class CompressWithHostProcesses : public CompressWindow {
protected:
    void SetUp() override
    {
        CompressWindow::SetUp();
        h.useHostProcesses();
        h.processes.onLaunch = nullptr;
        // On drive C:, so that every host starts it by a drive path.
        const auto built = testsupport::builtProgram(testsupport::pathText(fs::path(VELMORA_FAKE_ARCHIVER).filename()));
        h.root.mkdir("c/Program");
        fs::copy_file(built, h.host("c/Program") / built.filename());
        fake = "C:\\Program\\" + testsupport::pathText(built.filename());
        archiver(1, "FAKE", fake, "-q", "fak");
    }
    std::string log() const { return testsupport::pathText(h.root.path() / "argv.log"); }
    std::string fake;
};

TEST_F(CompressWithHostProcesses, EachFileReachesTheArchiverAsOneArgumentWithItsBytesIntact)
{
    // Each host's oddest names: a Windows name holds no line break, "\\", quote or invalid byte.
    const std::vector<std::string> odd =
        testsupport::oddNamesMissing() ? std::vector<std::string>{"b c.tmp", "-n.tmp", "a&b ^c %PATH% $(id).tmp",
                                                                  "Отчёт №1.tmp", "space before .tmp"}
                                       : std::vector<std::string>{"b c.tmp",  "-n.tmp",       "line\nbreak.tmp",
                                                                  "x\\y.tmp", "\xff\xfe.tmp", "q\"uote $(id).tmp"};
    for (const auto& name : odd) h.root.write("c/TEMP/" + name, name);
    h.main().filFiles.refresh();
    for (std::size_t i = 0; i < h.main().filFiles.listCount(); ++i) h.main().filFiles.setSelected(i, true);
    h.main().timUpdate_Timer();
    const ScopedEnv env{{"VELMORA_FAKE_LOG", log()}, {"VELMORA_FAKE_ARCHIVE", "2"}};
    pack("C:\\Arc");

    auto args = splitNul(testsupport::readHostFile(log()));
    ASSERT_GE(args.size(), 3u);
    EXPECT_EQ(args[0], h.hostText("c/TEMP")) << "the archiver works in the folder shown";
    EXPECT_EQ(args[1], "-q");
    EXPECT_EQ(args[2], h.hostText("c/Arc/unused.fak"));
    std::set<std::string> files(args.begin() + 3, args.end());
    std::set<std::string> expected;
    for (const auto& name : odd) expected.insert(h.hostText("c/TEMP/" + name));
    for (const auto& name : {"a.tmp", "d.tmp"}) expected.insert(h.hostText("c/TEMP/" + std::string(name)));
    EXPECT_EQ(files, expected);
    EXPECT_EQ(args.size(), 3 + expected.size()) << "b c.tmp as one argument, nothing split";
    EXPECT_TRUE(listed(h.main().filFiles).empty());
}

TEST_F(CompressWithHostProcesses, AFailingArchiverDeletesNothing)
{
    struct Case {
        const char* what;
        std::string execute;
        const char* exit;
        const char* makes;
        const char* late = "";
    };
    for (const Case& c :
         {Case{"exits with 1", fake, "1", "2"}, Case{"cannot be started", "C:\\Program\\no-such-archiver", "0", "2"},
          Case{"makes no archive", fake, "0", "0"}, Case{"is given an archive on no drive", fake, "0", "2"},
          Case{"leaves the archive to a child that writes it later, over an earlier one", fake, "0", "2", "300"}}) {
        SCOPED_TRACE(c.what);
        archiver(1, "FAKE", c.execute, "-q", "fak");
        fs::remove(h.host("c/Arc/unused.fak"));
        if (*c.late) h.root.write("c/Arc/UNUSED.FAK", "earlier archive");
        h.fe.boxes.clear();
        const ScopedEnv env{{"VELMORA_FAKE_EXIT", c.exit}, {"VELMORA_FAKE_ARCHIVE", c.makes}};
        const ScopedEnv late{{"VELMORA_FAKE_LATE_MS", c.late}};
        select({"a.tmp", "b c.tmp"});
        const std::string dest = std::string(c.what).ends_with("no drive") ? "Q:\\Arc" : "C:\\Arc";
        pack(dest);
        ASSERT_EQ(h.fe.boxes.size(), 1u);
        EXPECT_EQ(h.fe.boxes[0].spec.text, NotMade(dest + "\\unused.fak"));
        EXPECT_EQ(std::distance(fs::directory_iterator(h.host("c/TEMP")), fs::directory_iterator()), 3)
            << "no stray archive in the folder shown";
        EXPECT_EQ(listed(h.main().filFiles), (std::set<std::string>{"a.tmp", "b c.tmp", "d.tmp"}));
        if (*c.late) std::this_thread::sleep_for(std::chrono::milliseconds(600)); // the child is done
    }
}

} // namespace
} // namespace velmora

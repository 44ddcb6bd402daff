#include "platform/qt/QtSettingsStore.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using velmora::QtSettingsStore;
using velmora::testsupport::readHostFile;
using velmora::testsupport::TempDir;

namespace {

constexpr const char* kApp = "Quorvik";

class QtSettingsStoreTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string file = (dir.path() / "Quorvik.ini").string();
};

} // namespace

TEST_F(QtSettingsStoreTest, ValuesRoundTripExactly)
{
    QtSettingsStore store(file);
    const std::pair<const char*, const char*> cases[] = {
        {"Options", "Path"},
        {"[Options]", "Always Save"},
        {"[Options]\\[Report]", "Always Save"},
        {"[Options]\\[Report]", "[Weird] key=1;#x"},
        {"Настройки", "Папка"},
    };
    const char* const values[] = {
        "C:\\WINDOWS\\TEMP",
        "Мои документы\\Отчёт №1.txt",
        "*.tmp;*.bak;*.$$$",
        "a, b, c",
        "  spaced  ",
        "@at start",
        "\"quoted\"",
        "true",
        "",
    };
    int n = 0;
    for (const auto& [section, key] : cases) {
        for (const char* value : values) {
            const std::string k = std::string(key) + std::to_string(n++);
            ASSERT_TRUE(store.save(kApp, section, k, value)) << section << '/' << k;
            EXPECT_EQ(store.get(kApp, section, k, "def"), value) << section << '/' << k;
            EXPECT_EQ(QtSettingsStore(file).get(kApp, section, k, "def"), value) << section << '/' << k;
        }
    }
}

TEST_F(QtSettingsStoreTest, SectionsAreGroupPaths)
{
    QtSettingsStore store(file);
    ASSERT_TRUE(store.save(kApp, "[Options]\\[Report]", "Always Save", "1"));
    ASSERT_TRUE(store.save(kApp, "[Options]", "Novice", "0"));
    QSettings raw(QString::fromStdString(file), QSettings::IniFormat);
    EXPECT_EQ(raw.value(QStringLiteral("[Options]/[Report]/Always Save")).toString(), QStringLiteral("1"));
    EXPECT_EQ(raw.value(QStringLiteral("[Options]/Novice")).toString(), QStringLiteral("0"));
    EXPECT_EQ(store.get(kApp, "[Options]/[Report]", "Always Save", "def"), "1");
    // The section and the key are separate names.
    EXPECT_EQ(store.get(kApp, "[Options]", "[Report]", "def"), "def");
    EXPECT_EQ(store.get(kApp, "[Options]\\[Report]", "Always save", "def"), "def");
}

TEST_F(QtSettingsStoreTest, AbsentKeysGiveTheDefault)
{
    QtSettingsStore store(file);
    EXPECT_EQ(store.get(kApp, "Options", "Path", "C:\\"), "C:\\");
    EXPECT_FALSE(std::filesystem::exists(file)); // reading creates nothing
    ASSERT_TRUE(store.save(kApp, "Options", "Path", "D:\\"));
    EXPECT_EQ(store.get(kApp, "Options", "Other", "x"), "x");
    EXPECT_EQ(store.get(kApp, "Other", "Path", "x"), "x");
}

TEST_F(QtSettingsStoreTest, CorruptFileGivesDefaults)
{
    std::string junk("\0\xFF\xFE[[[=\n=]]\n[Options\nPath\n\x01\x02=@Variant(\x7f)\n", 40);
    for (int i = 0; i < 200; ++i) junk += static_cast<char>((i * 37) % 256);
    dir.write("Quorvik.ini", junk);
    QtSettingsStore store(file);
    EXPECT_EQ(store.get(kApp, "Options", "Path", "def"), "def");
    EXPECT_EQ(store.get(kApp, "[Options]\\[Report]", "Always Save", "0"), "0");
    store.save(kApp, "Options", "Path", "C:\\"); // may refuse to overwrite; must not crash
}

TEST_F(QtSettingsStoreTest, FolderThatCannotBeMadeMakesSaveFail)
{
    dir.write("file", "not a folder");
    QtSettingsStore below((dir.path() / "file" / "Quorvik.ini").string());
    EXPECT_FALSE(below.save(kApp, "Options", "Path", "C:\\"));
    EXPECT_EQ(below.get(kApp, "Options", "Path", "def"), "def");
}

TEST_F(QtSettingsStoreTest, ReadOnlyFolderMakesSaveFail)
{
    if (const auto why = velmora::testsupport::plainUserMissing()) GTEST_SKIP() << *why;
    const auto ro = dir.mkdir("ro");
    velmora::testsupport::openTreeToEveryone(dir.path());
    std::filesystem::permissions(ro, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
                                         std::filesystem::perms::others_read | std::filesystem::perms::others_exec);
    // Root writes into read-only folders: the check runs as an unprivileged user.
    EXPECT_EXIT(
        {
            if (!velmora::testsupport::dropRootPrivileges()) std::_Exit(3);
            QtSettingsStore store((ro / "Quorvik.ini").string());
            const bool failedQuietly =
                !store.save(kApp, "Options", "Path", "C:\\") && store.get(kApp, "Options", "Path", "def") == "def";
            std::_Exit(failedQuietly ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(QtSettingsStoreTest, TwoInstancesSeeEachOthersWrites)
{
    QtSettingsStore a(file), b(file);
    ASSERT_TRUE(a.save(kApp, "Options", "A", "1"));
    EXPECT_EQ(b.get(kApp, "Options", "A", "def"), "1");
    ASSERT_TRUE(b.save(kApp, "Options", "B", "2"));
    EXPECT_EQ(a.get(kApp, "Options", "B", "def"), "2");
    ASSERT_TRUE(a.save(kApp, "Options", "A", "3"));
    EXPECT_EQ(b.get(kApp, "Options", "A", "def"), "3");
    EXPECT_EQ(b.get(kApp, "Options", "B", "def"), "2");
}

TEST_F(QtSettingsStoreTest, ChangesMadeOutsideAreSeenAndKept)
{
    QtSettingsStore store(file);
    ASSERT_TRUE(store.save(kApp, "Options", "Mine", "1"));
    EXPECT_EQ(store.get(kApp, "Options", "Theirs", "def"), "def");
    // Another program rewrites the file, longer than before.
    dir.write("Quorvik.ini", "[Options]\nMine=1\nTheirs=written elsewhere\n");
    EXPECT_EQ(store.get(kApp, "Options", "Theirs", "def"), "written elsewhere");
    ASSERT_TRUE(store.save(kApp, "Options", "Later", "2"));
    const std::string text = readHostFile(file);
    EXPECT_NE(text.find("Theirs=written elsewhere"), std::string::npos) << text;
    EXPECT_NE(text.find("Later=2"), std::string::npos) << text;
}

TEST_F(QtSettingsStoreTest, TwoProcessesWritingAtOnceLoseNothing)
{
    constexpr int kKeys = 40;
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        QtSettingsStore store(file);
        bool ok = true;
        for (int i = 0; i < kKeys; ++i)
            ok = store.save(kApp, "Child", "K" + std::to_string(i), std::to_string(i)) && ok;
        _exit(ok ? 0 : 1);
    }
    QtSettingsStore store(file);
    for (int i = 0; i < kKeys; ++i) EXPECT_TRUE(store.save(kApp, "Parent", "K" + std::to_string(i), std::to_string(i)));
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    for (int i = 0; i < kKeys; ++i) {
        EXPECT_EQ(store.get(kApp, "Parent", "K" + std::to_string(i), "lost"), std::to_string(i));
        EXPECT_EQ(store.get(kApp, "Child", "K" + std::to_string(i), "lost"), std::to_string(i));
    }
}

TEST_F(QtSettingsStoreTest, PerUserFileIsNamedAfterTheApplication)
{
    // Qt reads XDG_CONFIG_HOME once per process; point its user folder here and back.
    const QString before = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(dir.path().string()));
    QtSettingsStore store;
    const bool saved = store.save(kApp, "[Options]\\[Report]", "Always Save", "Да");
    const std::string other = store.get("OtherApp", "[Options]\\[Report]", "Always Save", "def");
    const std::string mine = store.get(kApp, "[Options]\\[Report]", "Always Save", "def");
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, before);
    EXPECT_TRUE(saved);
    EXPECT_EQ(mine, "Да");
    EXPECT_EQ(other, "def");
    EXPECT_TRUE(dir.exists("Velmora/Quorvik.ini"));
}

TEST_F(QtSettingsStoreTest, ASectionAnswersAsGetAndEachOneReadsTheFileAfresh)
{
    const char* section = "[Options]\\[Archivers]";
    QtSettingsStore store(file);
    ASSERT_TRUE(store.save(kApp, section, "Name1", "Zip"));
    // Added by hand beside Name1, as the file spells that section, with an unquoted comma.
    const std::string written = readHostFile(file);
    const std::size_t name = written.find("Name1=Zip");
    ASSERT_NE(name, std::string::npos) << written;
    const std::size_t line = written.rfind('\n', name) + 1;
    dir.write("Quorvik.ini", written + written.substr(line, name - line) + "Command1=a, b\n");
    const auto first = store.section(kApp, section);
    EXPECT_EQ(first->get("Name1", "def"), "Zip");
    EXPECT_EQ(first->get("Command1", "def"), "a, b");
    EXPECT_EQ(first->get("Name2", "def"), "def");
    // Changed by hand, then by another instance, while the first is still held.
    std::string text = readHostFile(file);
    text.replace(text.find("=Zip"), 4, "=7-Zip");
    dir.write("Quorvik.ini", text);
    ASSERT_TRUE(QtSettingsStore(file).save(kApp, section, "Name2", "Rar"));
    const auto next = store.section(kApp, section);
    EXPECT_EQ(next->get("Name1", "def"), "7-Zip");
    EXPECT_EQ(next->get("Name2", "def"), "Rar");
}

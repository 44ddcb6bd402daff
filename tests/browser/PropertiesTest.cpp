// The properties window opened from the main window, and its texts.
#include "browser/Properties.h"
#include "platform/Text.h"

#include "support/ProgramTests.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

namespace velmora {
namespace {

using testsupport::ProgramHarness;
namespace fs = std::filesystem;

const std::string NothingSelected = "Свойства файла недоступны. Выберите хотя бы один файл.";
const std::string DeleteTitle = "Velmora - удаление временного файла";

// What the properties window showed when it came up.
struct Shown {
    std::string title, frame, size, date;
    bool canDelete = false;
    Form* owner = nullptr;
};

// Runs `open` and returns what the properties window showed; `act` then works in the open window.
std::optional<Shown> openProperties(ProgramHarness& h, const std::function<void()>& open,
                                    const std::function<void(frmProperties&)>& act = {})
{
    std::optional<Shown> shown;
    h.fe.onModal = [&](Form& form) {
        auto* w = dynamic_cast<frmProperties*>(&form);
        if (!w) return;
        shown = Shown{w->caption(),           w->fraFile.caption(),
                      w->lblSize.caption(),   w->lblDateTime.caption(),
                      w->cmdDelete.enabled(), w->owner()};
        if (act) act(*w);
    };
    open();
    h.fe.onModal = nullptr;
    return shown;
}

// Selects exactly the listed entries with these names.
void selectOnly(FileListBox& files, std::initializer_list<std::string> names)
{
    for (std::size_t i = 0; i < files.listCount(); ++i)
        files.setSelected(i, std::find(names.begin(), names.end(), files.list(i)) != names.end());
}

void setLocalModificationTime(const fs::path& file, int year, int month, int day, int hour, int minute, int second)
{
    ASSERT_TRUE(testsupport::setModificationTime(file, {year, month, day, hour, minute, second}));
}

class Properties : public testsupport::MainWindow {
protected:
    frmScanTemps& start(std::initializer_list<std::string> selected)
    {
        auto& main = h.start();
        selectOnly(main.filFiles, selected);
        main.timUpdate_Timer();
        return main;
    }
};

TEST(PropertiesTexts, SizesInEveryUnitRoundDownAndNamesComeBackWhole)
{
    EXPECT_EQ(properties::sizeLine(1023), "Размер: 1023 байт (0 Кб, 0 Мб, 0 Гб)");
    EXPECT_EQ(properties::sizeLine(5242880), "Размер: 5242880 байт (5120 Кб, 5 Мб, 0 Гб)");

    EXPECT_EQ(properties::nameFromTitle("Свойства a.tmp (1)"), "a.tmp");
    EXPECT_EQ(properties::nameFromTitle("Свойства Отчёт за  май.tmp (1)"), "Отчёт за  май.tmp");
    EXPECT_EQ(properties::nameFromTitle("Свойства C:\\Мои файлы\\x.tmp (1)"), "C:\\Мои файлы\\x.tmp");
    EXPECT_EQ(properties::nameFromTitle("Свойства  lead.tmp (1)"), " lead.tmp") << "the name's own blank stays";
    for (const char* shortTitle : {"", "Свойства", "Свойства (1)"})
        EXPECT_EQ(properties::nameFromTitle(shortTitle), "") << shortTitle;
}

TEST_F(Properties, OneEmptyFileShowsZeroSizesItsDateWithoutAMidnightTimeAndCanBeDeleted)
{
    h.root.write("c/TEMP/a.tmp");
    h.root.write("c/TEMP/m.tmp");
    setLocalModificationTime(h.host("c/TEMP/a.tmp"), 2021, 3, 4, 5, 6, 7);
    setLocalModificationTime(h.host("c/TEMP/m.tmp"), 2020, 12, 31, 0, 0, 0);
    auto& main = start({"a.tmp"});
    auto shown = openProperties(h, [&] { main.cmdProperties.click(); });
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->title, "Свойства a.tmp (1)");
    EXPECT_EQ(shown->frame, "Свойства a.tmp (1)");
    EXPECT_EQ(shown->size, "Размер: 0 байт (0 Кб, 0 Мб, 0 Гб)");
    EXPECT_EQ(shown->date, "Дата изменения: 04.03.2021 5:06:07");
    EXPECT_TRUE(shown->canDelete);
    EXPECT_EQ(shown->owner, &main);
    EXPECT_EQ(h.fe.shown.back(), "frmProperties (modal)");
    EXPECT_TRUE(h.fe.boxes.empty());
    EXPECT_EQ(h.app->propertiesWindow().ifLoaded(), nullptr) << "closing unloads it";

    selectOnly(main.filFiles, {"m.tmp"});
    shown = openProperties(h, [&] { main.cmdProperties.click(); });
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->date, "Дата изменения: 31.12.2020");
}

TEST_F(Properties, TwoFilesFromTheMenuShowTheirTotalAndNeitherDateNorDelete)
{
    h.root.write("c/TEMP/a.tmp", std::string(1024, 'a'));
    h.root.write("c/TEMP/b.bak", std::string(512, 'b'));
    h.root.write("c/TEMP/c.tmp", "not selected");
    auto& main = start({"a.tmp", "b.bak"});
    const auto shown = openProperties(h, [&] { main.mnuProps.click(); });
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->title, "Свойства a.tmp b.bak (2)");
    EXPECT_EQ(shown->size, "Размер: 1536 байт (1 Кб, 0 Мб, 0 Гб)");
    EXPECT_EQ(shown->date, "(Дата недоступна)");
    EXPECT_FALSE(shown->canDelete);
}

TEST_F(Properties, TheFrameShowsATitleOf49CharactersWholeAndCutsOneOf50)
{
    // "Свойства " and " (1)" take 13 characters; the names are Cyrillic, so bytes would count wrong.
    const std::string name36 = std::string("Ж") + "абвгдеёжзийклмнопрстуфхцчшщъыьэ.tmp";
    const std::string name37 = "Я" + name36;
    h.root.write("c/TEMP/" + name36);
    h.root.write("c/TEMP/" + name37);
    auto& main = start({name36});
    auto shown = openProperties(h, [&] { main.cmdProperties.click(); });
    ASSERT_TRUE(shown);
    ASSERT_EQ(text::length(shown->title), 49u);
    EXPECT_EQ(shown->frame, shown->title);

    selectOnly(main.filFiles, {name37});
    shown = openProperties(h, [&] { main.cmdProperties.click(); });
    ASSERT_TRUE(shown);
    ASSERT_EQ(text::length(shown->title), 50u);
    EXPECT_EQ(shown->frame, "Свойства " + name37 + " ...");
    EXPECT_EQ(text::length(shown->frame), 50u);
    EXPECT_EQ(shown->title, "Свойства " + name37 + " (1)") << "the window's own title is never cut";
}

TEST_F(Properties, NoEntriesOrNoSelectionWarnsAndOpensNothing)
{
    h.root.mkdir("c/TEMP");
    auto& main = h.start();
    ASSERT_EQ(main.filFiles.listCount(), 0u);
    main.cmdProperties_Click();
    h.root.write("c/TEMP/a.tmp");
    main.cmdRefresh.click();
    ASSERT_EQ(main.filFiles.listCount(), 1u);
    main.cmdProperties_Click();
    ASSERT_EQ(h.fe.boxes.size(), 2u);
    for (const auto& box : h.fe.boxes) {
        EXPECT_EQ(box.spec.text, NothingSelected);
        EXPECT_EQ(box.spec.title, "Velmora");
        EXPECT_EQ(box.spec.buttons, MsgButtons::OK);
        EXPECT_EQ(box.spec.icon, MsgIcon::Exclamation);
    }
    EXPECT_EQ(std::count(h.fe.shown.begin(), h.fe.shown.end(), "frmProperties (modal)"), 0);
}

TEST_F(Properties, DeleteAsksAboutTheNameWithItsInnerBlanksAndTakesOnlyThatFile)
{
    const std::string name = "мой  старый файл.tmp";
    h.root.write("c/TEMP/" + name, "x");
    h.root.write("c/TEMP/other.tmp", "y");
    auto& main = start({name});
    bool stayedOpen = false;
    const auto shown = openProperties(
        h, [&] { main.cmdProperties.click(); },
        [&](frmProperties& w) {
            w.cmdDelete.click(); // answered No
            EXPECT_TRUE(h.root.exists("c/TEMP/" + name));
            h.fe.answers = {MsgResult::Yes};
            w.cmdDelete.click();
            stayedOpen = w.isLoaded() && w.caption() == "Свойства " + name + " (1)";
        });
    ASSERT_TRUE(shown);
    ASSERT_EQ(h.fe.boxes.size(), 2u);
    for (const auto& box : h.fe.boxes) {
        EXPECT_EQ(box.spec.text, "Удалить файл " + name + "?");
        EXPECT_EQ(box.spec.title, DeleteTitle);
        EXPECT_EQ(box.spec.buttons, MsgButtons::YesNo);
        EXPECT_EQ(box.spec.icon, MsgIcon::Question);
    }
    EXPECT_FALSE(h.root.exists("c/TEMP/" + name));
    EXPECT_TRUE(h.root.exists("c/TEMP/other.tmp"));
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(main.filFiles.listCount(), 2u) << "the main list is not re-read";
}

TEST(PropertiesAtRoot, AFileInADriveRootIsMeasuredAndDeletedThere)
{
    ProgramHarness h;
    h.root.write("d/top.tmp", "1234");
    h.root.write("c/top.tmp", "other drive");
    h.setOption("JumpOnStartup", "D:\\");
    auto& main = h.start();
    ASSERT_EQ(main.dirDirectories.path(), "D:\\");
    main.filFiles.setSelected(0, true);
    const auto shown = openProperties(
        h, [&] { main.cmdProperties_Click(); },
        [&](frmProperties& w) {
            h.fe.answers = {MsgResult::Yes};
            w.cmdDelete.click();
        });
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->size, "Размер: 4 байт (0 Кб, 0 Мб, 0 Гб)");
    EXPECT_FALSE(h.root.exists("d/top.tmp"));
    EXPECT_TRUE(h.root.exists("c/top.tmp"));
}

TEST_F(Properties, AReadOnlyFileStaysSilentlyForItsAttributesAreLeftAlone)
{
    h.root.write("c/TEMP/ro.tmp", "r");
    testsupport::setMode(h.host("c/TEMP/ro.tmp"), 0444);
    auto& main = start({"ro.tmp"});
    openProperties(
        h, [&] { main.cmdProperties.click(); },
        [&](frmProperties& w) {
            h.fe.answers = {MsgResult::Yes};
            w.cmdDelete.click();
        });
    EXPECT_EQ(h.fe.boxes.size(), 1u) << "the question alone";
    EXPECT_TRUE(h.root.exists("c/TEMP/ro.tmp"));
    EXPECT_TRUE(testsupport::isReadOnly(h.host("c/TEMP/ro.tmp")));
}

TEST_F(Properties, SizesBeyondTwoGigabytesAddUpWhole)
{
    h.root.write("c/TEMP/big.tmp");
    fs::resize_file(h.host("c/TEMP/big.tmp"), 5368709120); // sparse: no disk used
    h.root.write("c/TEMP/small.tmp", "x");
    auto& main = start({"big.tmp", "small.tmp"});
    const auto shown = openProperties(h, [&] { main.cmdProperties.click(); });
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->size, "Размер: 5368709121 байт (5242880 Кб, 5120 Мб, 5 Гб)");
}

TEST_F(Properties, AFileThatVanishedIsLeftOutAndWhenNoneIsLeftTheWarningComes)
{
    h.root.write("c/TEMP/a.tmp", "aa");
    h.root.write("c/TEMP/b.tmp", "bbb");
    auto& main = start({"a.tmp", "b.tmp"});
    fs::remove(h.host("c/TEMP/b.tmp")); // still listed: the list is not re-read
    const auto shown = openProperties(
        h, [&] { main.cmdProperties.click(); },
        [&](frmProperties& w) {
            h.fe.answers = {MsgResult::Yes};
            w.cmdDelete.click();
        });
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->title, "Свойства a.tmp (1)");
    EXPECT_EQ(shown->size, "Размер: 2 байт (0 Кб, 0 Мб, 0 Гб)");
    EXPECT_TRUE(shown->canDelete) << "one readable file: its date and its delete";
    EXPECT_EQ(shown->date.rfind("Дата изменения: ", 0), 0u);
    EXPECT_FALSE(h.root.exists("c/TEMP/a.tmp"));

    ASSERT_EQ(main.filFiles.selCount(), 2u);
    main.cmdProperties.click();
    EXPECT_EQ(h.fe.boxes.back().spec.text, NothingSelected);
}

// The window deletes the file it was built for, in the folder that was listed, or nothing.
TEST_F(Properties, ATitleThatNoLongerNamesTheFileDeletesNothing)
{
    h.root.write("c/TEMP/a.tmp", "a");
    h.root.write("c/TEMP/b.tmp", "b");
    auto& main = start({"a.tmp"});
    openProperties(
        h, [&] { main.cmdProperties.click(); },
        [&](frmProperties& w) {
            w.setCaption("Свойства b.tmp (1)");
            h.fe.answers = {MsgResult::Yes};
            w.cmdDelete.click();
        });
    ASSERT_EQ(h.fe.boxes.size(), 1u);
    EXPECT_EQ(h.fe.boxes[0].spec.text, "Удалить файл b.tmp?");
    EXPECT_TRUE(h.root.exists("c/TEMP/a.tmp"));
    EXPECT_TRUE(h.root.exists("c/TEMP/b.tmp"));
}

TEST_F(Properties, AFolderSwappedOrAFileReplacedByALinkLosesNothingOutside)
{
    if (const auto why = testsupport::linksMissing()) GTEST_SKIP() << *why;
    h.root.write("c/TEMP/a.tmp", "a");
    h.root.write("c/Other/a.tmp", "other");
    h.root.write("c/Precious/data.tmp", "keep me");
    auto& main = start({"a.tmp"});
    openProperties(
        h, [&] { main.cmdProperties.click(); },
        [&](frmProperties& w) {
            fs::rename(h.host("c/TEMP"), h.host("c/TEMP.old"));
            ASSERT_TRUE(testsupport::makeLink(h.host("c/Other"), h.host("c/TEMP")));
            h.fe.answers = {MsgResult::Yes};
            w.cmdDelete.click();
            fs::remove(h.host("c/TEMP"));
            fs::rename(h.host("c/TEMP.old"), h.host("c/TEMP"));
            fs::remove(h.host("c/TEMP/a.tmp"));
            ASSERT_TRUE(testsupport::makeLink(h.host("c/Precious/data.tmp"), h.host("c/TEMP/a.tmp")));
            h.fe.answers = {MsgResult::Yes};
            w.cmdDelete.click();
        });
    EXPECT_EQ(h.fe.boxes.size(), 2u);
    EXPECT_EQ(testsupport::readHostFile(h.host("c/Other/a.tmp")), "other");
    EXPECT_FALSE(fs::exists(fs::symlink_status(h.host("c/TEMP/a.tmp")))) << "the link itself went";
    EXPECT_EQ(testsupport::readHostFile(h.host("c/Precious/data.tmp")), "keep me");
}

} // namespace
} // namespace velmora

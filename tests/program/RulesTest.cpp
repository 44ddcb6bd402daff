// Settings keys, junk masks and the mask editor.
#include "archiving/Archivers.h"
#include "rules/Masks.h"
#include "support/ProgramHarness.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using testsupport::ProgramHarness;

TEST(SettingsKeys, FlagsReadNumericallyAndTextThatIsNoNumberReadsAsTheDefault)
{
    EXPECT_EQ(settings::flagNumber("01"), 1);
    EXPECT_EQ(settings::flagNumber(" 1 "), 1);
    EXPECT_EQ(settings::flagNumber("-0"), 0);
    EXPECT_FALSE(settings::flagNumber("yes"));
    EXPECT_FALSE(settings::flagNumber(""));
    EXPECT_FALSE(settings::flagNumber("1x"));
    EXPECT_TRUE(settings::flagEquals("01", 1, 0));
    EXPECT_FALSE(settings::flagEquals("2", 1, 0)) << "only 1 switches a flag on";
    EXPECT_TRUE(settings::flagEquals("on", 1, 1));
}

TEST(SettingsKeys, FirstRunDefaults)
{
    testing::MemorySettings store;
    testing::MapEnvironment env;
    EXPECT_EQ(settings::defaultStartFolder(env), "C:\\TEMP");
    env.set("TEMP", "C:\\Temp2");
    EXPECT_EQ(settings::defaultStartFolder(env), "C:\\Temp2");
    env.set("TMP", "D:\\tmp");
    EXPECT_EQ(settings::defaultStartFolder(env), "D:\\tmp") << "computed anew at each read";
    EXPECT_FALSE(settings::alwaysSaveReport(store));
    EXPECT_EQ(settings::reportFileName(store), "report.txt");
    store.save("Quorvik", "[Options]\\[Report]", "Always Save", "01");
    EXPECT_TRUE(settings::alwaysSaveReport(store));
}

TEST(SettingsKeys, TheArchiverTableEndsAtTheFirstEmptyName)
{
    testing::MemorySettings store;
    const std::string section = "[Options]\\[Archivers]";
    store.save("Quorvik", section, "Name1", "RAR");
    store.save("Quorvik", section, "Execute1", "rar.exe");
    store.save("Quorvik", section, "ExecUn1", "unrar.exe");
    store.save("Quorvik", section, "Name2", "ZIP");
    store.save("Quorvik", section, "Name3", "");
    store.save("Quorvik", section, "Name4", "ARJ");
    const auto table = archivers::readTable(store);
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0].execute, "rar.exe");
    EXPECT_EQ(table[0].execUn, "unrar.exe");
    EXPECT_EQ(table[1].name, "ZIP");
    EXPECT_EQ(archivers::key("Extention", 12), "Extention12");
}

TEST(JunkMasks, PresetsAndListsHoldTheirMasks)
{
    auto count = [](std::string_view list) { return std::count(list.begin(), list.end(), ';') + 1; };
    EXPECT_EQ(count(masks::Full), 18);
    EXPECT_EQ(count(masks::Compressed), 10);
    EXPECT_EQ(count(masks::Minimal), 13);
    EXPECT_EQ(count(masks::Extended), 20);
    EXPECT_EQ(masks::Extended.size(), 129u);
    EXPECT_EQ(masks::Categories[7].masks, masks::Full);
    EXPECT_EQ(masks::categoryMasks(-1), "");
}

TEST(JunkMasks, StartupSelectionTakesOnlyAnExactPresetText)
{
    EXPECT_EQ(masks::startupSelection(masks::Compressed), masks::Compressed);
    EXPECT_EQ(masks::startupSelection(masks::Minimal), masks::Minimal);
    EXPECT_EQ(masks::startupSelection(std::string(masks::Compressed) + " "), masks::Full);
    EXPECT_EQ(masks::startupSelection(masks::Extended), masks::Full);
    EXPECT_EQ(masks::startupSelection("*.tmp"), masks::Full);
}

class MaskEditor : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (auto name : {"user@site[1].txt", "CHKLIST.MS", "CHKLIST.CPS", "a.tmp", "plain.txt", "x.chk"})
            h.root.write(std::string("c/TEMP/") + name);
        main = &h.start();
        main->mnuExt.click();
        ASSERT_TRUE(main->picPopUp.visible());
    }
    std::vector<std::string> listed() const { return main->filFiles.items(); }
    void applyCategory(int index)
    {
        main->cboTypes.choose(index);
        main->cmdConfirm.click();
    }
    ProgramHarness h;
    frmScanTemps* main = nullptr;
};

TEST_F(MaskEditor, CategoriesListCookiesAndChecklists)
{
    applyCategory(5);
    EXPECT_FALSE(main->picPopUp.visible());
    EXPECT_EQ(listed(), std::vector<std::string>{"user@site[1].txt"});
    main->mnuExt.click();
    applyCategory(6);
    EXPECT_EQ(listed(), (std::vector<std::string>{"CHKLIST.CPS", "CHKLIST.MS", "x.chk"}));
}

TEST_F(MaskEditor, FieldIsLimitedToTheCategoryLength)
{
    EXPECT_EQ(main->txtFilter.text(), "*.tmp") << "start-up chose category 0";
    main->txtFilter.type("*.tmp;*.bak");
    EXPECT_EQ(main->txtFilter.text(), "*.tmp");
    main->cboTypes.choose(7);
    EXPECT_EQ(main->txtFilter.maxLength(), masks::Full.size());
    main->txtFilter.type(std::string(masks::Full) + ";*.xyz");
    EXPECT_EQ(main->txtFilter.text(), masks::Full);
}

TEST_F(MaskEditor, ApplyingAnEmptyTextChangesNothingAndCancelKeepsTheText)
{
    const std::string before = main->filFiles.pattern();
    main->txtFilter.type("");
    main->cmdConfirm.click();
    EXPECT_TRUE(main->picPopUp.visible());
    EXPECT_EQ(main->filFiles.pattern(), before);
    main->txtFilter.type("*.t");
    main->cmdClosePopUp.click();
    EXPECT_FALSE(main->picPopUp.visible());
    EXPECT_EQ(main->filFiles.pattern(), before);
    EXPECT_EQ(main->txtFilter.text(), "*.t");
}

TEST_F(MaskEditor, AFileMatchingTwoMasksIsListedOnce)
{
    main->cboTypes.choose(7);
    main->txtFilter.type("*.tmp;a.*");
    main->cmdConfirm.click();
    EXPECT_EQ(listed(), std::vector<std::string>{"a.tmp"});
}

TEST(StartupMasks, StoredPresetOrFull)
{
    for (const auto& [stored, expected] : std::vector<std::pair<std::string, std::string_view>>{
             {std::string(masks::Compressed), masks::Compressed},
             {std::string(masks::Compressed) + " ", masks::Full},
             {"", masks::Full}}) {
        ProgramHarness h;
        h.root.mkdir("c/TEMP");
        if (!stored.empty()) h.setOption("FilterFilesBy", stored);
        EXPECT_EQ(h.start().filFiles.pattern(), expected) << stored;
    }
}

} // namespace
} // namespace velmora

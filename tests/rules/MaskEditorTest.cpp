// The mask editor panel of the main window.
#include "rules/Masks.h"

#include "support/ProgramTests.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using testsupport::listed;
using testsupport::ProgramHarness;

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

// ".*" names the files that begin with a dot, in the list and in what delete-all takes; a
// name before the dot still takes that name without an extension.
TEST_F(MaskEditor, DotStarTakesOnlyNamesBeginningWithADot)
{
    h.root.write("c/TEMP/.session");
    h.root.write("c/TEMP/CHKLIST");
    main->txtFilter.type(".*");
    main->cmdConfirm.click();
    EXPECT_EQ(listed(), std::vector<std::string>{".session"});
    h.fe.answers = {MsgResult::Yes};
    main->cmdDelete.click();
    EXPECT_FALSE(h.root.exists("c/TEMP/.session"));
    EXPECT_TRUE(h.root.exists("c/TEMP/plain.txt"));
    EXPECT_TRUE(h.root.exists("c/TEMP/a.tmp"));

    main->mnuExt.click();
    applyCategory(6);
    EXPECT_EQ(listed(), (std::vector<std::string>{"CHKLIST", "CHKLIST.CPS", "CHKLIST.MS", "x.chk"}));
}

} // namespace
} // namespace velmora

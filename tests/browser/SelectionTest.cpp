// The selection commands and the pop-up menu of the file list.
#include "browser/Selection.h"

#include "support/ProgramTests.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using testsupport::ProgramHarness;
namespace fs = std::filesystem;
using MainWindow = testsupport::MainWindow;

TEST_F(MainWindow, SelectionCommandsAndTheMaskEditorItem)
{
    populate(20);
    auto& main = h.start();
    main.mnuSelectAll.click();
    main.timUpdate_Timer();
    EXPECT_EQ(main.lblEntries.caption(), "20 файлов, 20 файлов выделено, всего 210 байт");
    main.filFiles.userSelect(3, false, true);
    main.mnuMainInvertSelection.click();
    main.timUpdate_Timer();
    EXPECT_EQ(main.SelFiles, 1);
    EXPECT_TRUE(main.filFiles.selected(3));
    main.mnuDeselectAll.click();
    main.timUpdate_Timer();
    EXPECT_EQ(main.SelFiles, 0);

    EXPECT_EQ(main.mnuExt.caption(), "Показать &расширения");
    main.mnuExt.click();
    main.timUpdate_Timer();
    EXPECT_EQ(main.mnuExt.caption(), "Скрыть &расширения");
}

TEST_F(MainWindow, ASelectionCommandTakesTheListAsPendingEventsLeftIt)
{
    if (const auto why = testsupport::heldFoldersStay()) GTEST_SKIP() << *why;
    populate(10);
    auto& main = h.start();
    main.filFiles.userSelect(0);
    int yields = 0;
    h.fe.onYield = [&] {
        if (++yields > 1) return;
        // The folder changes under the command, before it touches the list.
        fs::remove_all(h.host("c/TEMP"));
        h.root.mkdir("c/TEMP");
        h.root.write("c/TEMP/only.tmp");
        h.root.write("c/TEMP/other.tmp");
        main.filFiles.refresh();
    };
    main.mnuMainInvertSelection.click();
    EXPECT_EQ(yields, 1) << "one pass, not one yield per entry";
    ASSERT_EQ(main.filFiles.listCount(), 2u);
    EXPECT_EQ(main.filFiles.selCount(), 2u);

    // No Click reaches the list, and an empty list takes no yield.
    int clicks = 0;
    main.filFiles.onClick = [&] { ++clicks; };
    main.mnuDeselectAll.click();
    main.mnuSelectAll.click();
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(main.filFiles.selCount(), 2u);
    fs::remove_all(h.host("c/TEMP"));
    h.root.mkdir("c/TEMP");
    main.filFiles.refresh();
    yields = 0;
    main.mnuSelectAll.click();
    EXPECT_EQ(yields, 0);
    h.fe.onYield = nullptr;
}

TEST(PopupMenu, TheRightButtonOpensItWithDeleteAsDefaultFollowingTheButtons)
{
    testsupport::ProgramHarness h;
    h.root.write("c/TEMP/a.tmp");
    auto& main = h.start();
    MenuItem* shownDefault = nullptr;
    bool deleteEnabled = true;
    h.fe.onPopup = [&](Menu& menu, MenuItem* def) {
        EXPECT_EQ(&menu, &main.mnuMain);
        shownDefault = def;
        deleteEnabled = main.mnuDel.enabled();
    };
    main.filFiles.mouseUp(mouse::Left, 10, 10);
    EXPECT_EQ(shownDefault, nullptr) << "only the right button opens the menu";
    main.filFiles.mouseUp(mouse::Right, 10, 10);
    EXPECT_EQ(shownDefault, &main.mnuDel);
    EXPECT_FALSE(deleteEnabled);
    main.filFiles.userSelect(0);
    main.timUpdate_Timer();
    main.filFiles.mouseUp(mouse::Right, 10, 10);
    EXPECT_TRUE(deleteEnabled);
    EXPECT_TRUE(main.mnuProps.enabled());
}

} // namespace
} // namespace velmora

// The rules of the user's keys and clicks that every front-end calls, without any front-end.
#include "platform/toolkit/Interaction.h"
#include "platform/testing/ScriptedFrontEnd.h"
#include "platform/toolkit/Form.h"
#include "support/HostServices.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace velmora {
namespace {

struct KeysForm : Form {
    explicit KeysForm(Toolkit& tk) : Form(tk, "frmKeys")
    {
        cmdOK.setDefault(true);
        cmdCancel.setCancel(true);
        cmdOK.onClick = [this] { log.push_back("ok"); };
        cmdCancel.onClick = [this] { log.push_back("cancel"); };
        cmdOther.onClick = [this] { log.push_back("other"); };
        txtName.onKeyDown = [this](int code) { log.push_back("key " + std::to_string(code)); };
        lstFiles.onKeyDown = [this](int code) { log.push_back("list key " + std::to_string(code)); };
        lstFiles.setMultiSelect(MultiSelect::Extended);
        lstSimple.setMultiSelect(MultiSelect::Simple);
        lstFiles.addItems({"альфа", "Бета", "берёза", "Гамма", "дельта", "ель"});
        lstSimple.addItems({"один", "два", "три"});
    }

    TextBox txtName{*this, "txtName"};
    CommandButton cmdOK{*this, "cmdOK"};
    CommandButton cmdCancel{*this, "cmdCancel"};
    CommandButton cmdOther{*this, "cmdOther"};
    ListBox lstFiles{*this, "lstFiles"};
    ListBox lstSimple{*this, "lstSimple"};
    std::vector<std::string> log;
};

// A widget that lives as long as its form is loaded.
struct View : ControlView {
    explicit View(const Form& f, int shown = 1, int highlighted = -1) : form(f), rows(shown), row(highlighted) {}
    bool alive() const override { return form.isLoaded(); }
    int highlightedRow() const override { return row; }
    int shownRows() const override { return rows; }
    const Form& form;
    int rows, row;
};

class InteractionTest : public ::testing::Test {
protected:
    void SetUp() override { f.load(); }

    KeyResult press(Control& c, int code, bool shift = false, bool ctrl = false, char32_t typed = 0)
    {
        return pressKey(c, {code, shift, ctrl, typed}, View(f, 4));
    }
    std::vector<std::size_t> selected(const ListBox& list)
    {
        std::vector<std::size_t> on;
        for (std::size_t i = 0; i < list.listCount(); ++i)
            if (list.selected(i)) on.push_back(i);
        return on;
    }

    testing::ScriptedFrontEnd fe;
    Toolkit tk{fe};
    KeysForm f{tk};
};

TEST_F(InteractionTest, EnterIsTheButtonsOwnThenTheFormsAndKeyDownSeesOnlyWhatTheDialogLeft)
{
    EXPECT_EQ(press(f.txtName, key::Return), KeyResult::Taken);
    EXPECT_EQ(press(f.txtName, key::Escape), KeyResult::Taken);
    EXPECT_EQ(press(f.cmdOther, key::Return), KeyResult::Taken);
    EXPECT_EQ(press(f.txtName, key::Tab, true), KeyResult::NextStop);
    EXPECT_EQ(press(f.txtName, 'A'), KeyResult::Widget) << "a text box types for itself";
    EXPECT_EQ(f.log, (std::vector<std::string>{"ok", "cancel", "other", "key 65"}));

    f.cmdOK.setDefault(false);
    EXPECT_EQ(press(f.txtName, key::Return), KeyResult::Widget) << "no default button: KeyDown has it";
    EXPECT_EQ(f.log.back(), "key 13");

    // A handler that unloads the form leaves nothing for the list to move.
    f.lstFiles.onKeyDown = [this](int) { f.unload(); };
    EXPECT_EQ(press(f.lstFiles, key::Down), KeyResult::Taken);
    EXPECT_EQ(f.lstFiles.listIndex(), -1);
}

TEST_F(InteractionTest, ListKeysMoveSelectAndFindWhatIsTypedWithoutRegardToCase)
{
    ListBox& list = f.lstFiles;
    list.userSelect(0);
    press(list, key::Down, true);
    EXPECT_EQ(selected(list), (std::vector<std::size_t>{0, 1}));
    press(list, key::Down, false, true);
    EXPECT_EQ(list.listIndex(), 2) << "Ctrl moves the caret only";
    press(list, key::Space, false, true);
    EXPECT_EQ(selected(list), (std::vector<std::size_t>{0, 1, 2}));
    press(list, key::PageDown);
    EXPECT_EQ(selected(list), (std::vector<std::size_t>{5})) << "four rows shown: a page is three";
    press(list, key::PageUp);
    EXPECT_EQ(list.listIndex(), 2);
    EXPECT_EQ(f.log,
              (std::vector<std::string>{"list key 40", "list key 40", "list key 32", "list key 34", "list key 33"}));

    // Typing finds the next entry after the current one, wrapping round.
    press(list, 'B', false, false, U'б');
    EXPECT_EQ(selected(list), (std::vector<std::size_t>{1}));
    EXPECT_TRUE(typeToFind(list, U'Б', false, false));
    EXPECT_EQ(list.listIndex(), 2);
    EXPECT_TRUE(typeToFind(list, U'б', true, false));
    EXPECT_EQ(selected(list), (std::vector<std::size_t>{1, 2})) << "wrapped round, with Shift as a Shift-click";
    EXPECT_FALSE(typeToFind(list, U'я', false, false));
    EXPECT_FALSE(typeToFind(list, U'г', false, true)) << "Ctrl finds nothing";
    EXPECT_EQ(list.listIndex(), 1);

    ListBox& simple = f.lstSimple;
    press(simple, key::Down);
    press(simple, key::Down);
    EXPECT_EQ(simple.listIndex(), 1);
    EXPECT_EQ(simple.selCount(), 0u) << "moving in a simple list selects nothing";
    press(simple, key::Space);
    EXPECT_EQ(selected(simple), (std::vector<std::size_t>{1}));

    EXPECT_EQ(listMove(key::End, 0, 0, 10), -1) << "an empty list moves nowhere";
    EXPECT_EQ(listMove(key::PageDown, -1, 9, 1), 1) << "a page is a row at least";
}

struct GroupsForm : Form {
    explicit GroupsForm(Toolkit& tk) : Form(tk, "frmGroups")
    {
        cmdPicture.setFocusable(false);
        lblName.setCaption("&Имя");
    }
    CommandButton cmdFirst{*this, "cmdFirst"};
    CommandButton cmdPicture{*this, "cmdPicture"};
    Label lblName{*this, "lblName"};
    Frame fraGroup{*this, "fraGroup"};
    OptionButton optA{*this, "optA", &fraGroup};
    OptionButton optB{*this, "optB", &fraGroup};
    OptionButton optC{*this, "optC"};
    TextBox txtLast{*this, "txtLast"};
};

TEST(TabStops, TabReachesTheChosenOptionOfAGroupAndSkipsWhatCannotTakeTheFocus)
{
    testing::ScriptedFrontEnd fe;
    Toolkit tk{fe};
    GroupsForm f{tk};
    auto order = [&f] {
        std::vector<std::string> names;
        for (const Control* c = nextTabStop(f, nullptr, false); c && names.size() < 10; c = nextTabStop(f, c, false)) {
            if (!names.empty() && c->name() == names.front()) break;
            names.push_back(c->name());
        }
        return names;
    };
    EXPECT_EQ(order(), (std::vector<std::string>{"cmdFirst", "optA", "optB", "optC", "txtLast"}))
        << "while none is chosen every option is a stop";
    f.optB.setValue(true);
    f.txtLast.setEnabled(false);
    EXPECT_EQ(order(), (std::vector<std::string>{"cmdFirst", "optB", "optC"}));
    EXPECT_EQ(nextTabStop(f, &f.cmdFirst, true)->name(), "optC") << "Shift+Tab wraps back round";
    EXPECT_EQ(nextTabStop(f, &f.cmdFirst, false, [](const Control& c) { return c.name() != "optB"; })->name(), "optC");
}

TEST(FolderTree, RowsRunFromTheDriveDownAndEnterOpensTheHighlightedOneOrPressesTheDefault)
{
    testsupport::TempDir root;
    root.mkdir("Windows/System/Deep");
    root.mkdir("Windows/Temp");
    testsupport::HostFileSystem fs(testsupport::driveEntry('c', root.path()));
    testing::ScriptedFrontEnd fe;
    Toolkit tk{fe};
    struct F : Form {
        F(Toolkit& t, FileSystem& files) : Form(t, "f"), dir(*this, "dir", files)
        {
            cmdOK.setDefault(true);
            cmdOK.onClick = [this] { ++oks; };
        }
        CommandButton cmdOK{*this, "cmdOK"};
        DirListBox dir;
        int oks = 0;
    } f{tk, fs};
    f.load();
    ASSERT_TRUE(f.dir.setPath("C:\\Windows\\System"));
    using Kind = DirListBox::Row::Kind;
    EXPECT_EQ(f.dir.rows(), (std::vector<DirListBox::Row>{{"C:\\", "c:\\", 0, Kind::Drive},
                                                          {"C:\\Windows", "Windows", 1, Kind::Open},
                                                          {"C:\\Windows\\System", "System", 2, Kind::Open},
                                                          {"C:\\Windows\\System\\Deep", "Deep", 3, Kind::Closed}}));
    EXPECT_EQ(f.dir.openFolderRow(), 2u);

    EXPECT_EQ(pressKey(f.dir, {key::Return}, View(f, 1, 2)), KeyResult::Taken);
    EXPECT_EQ(f.oks, 1) << "Enter on the open folder is the form's";
    EXPECT_EQ(pressKey(f.dir, {key::Return}, View(f, 1, 1)), KeyResult::Taken);
    EXPECT_EQ(f.dir.path(), "C:\\Windows") << "an ancestor opens by its row";
    f.dir.openRow(3);
    EXPECT_EQ(f.dir.path(), "C:\\Windows\\Temp");
    f.dir.setEnabled(false);
    f.dir.openRow(0);
    EXPECT_EQ(f.dir.path(), "C:\\Windows\\Temp") << "a disabled tree opens nothing";
}

TEST(PassiveClicks, ALeftButtonDownAndUpOnTheControlClicksAfterItsMouseUp)
{
    testing::ScriptedFrontEnd fe;
    Toolkit tk{fe};
    GroupsForm f{tk};
    f.load();
    std::vector<std::string> log;
    f.lblName.onClick = [&] { log.push_back("click"); };
    f.lblName.onDblClick = [&] { log.push_back("dblclick"); };
    f.lblName.onMouseUp = [&](int button, int x, int) {
        log.push_back("up " + std::to_string(button) + " " + std::to_string(x));
    };
    const View view(f);
    PassiveClicks clicks;
    clicks.press(mouse::Left);
    clicks.release(f.lblName, mouse::Left, 30, 0, true, view);
    clicks.press(mouse::Left);
    clicks.release(f.lblName, mouse::Left, 90, 0, false, view); // let go outside
    clicks.release(f.lblName, mouse::Left, 15, 0, true, view);  // never pressed here
    clicks.press(mouse::Right);
    clicks.release(f.lblName, mouse::Right, 15, 0, true, view);
    clicks.doubleClick(f.lblName, view);
    clicks.release(f.lblName, mouse::Left, 15, 0, true, view);
    EXPECT_EQ(log, (std::vector<std::string>{"up 1 30", "click", "up 1 90", "up 1 15", "up 2 15", "dblclick", "up 1 15",
                                             "click"}));

    f.lblName.onMouseUp = [&](int, int, int) { f.unload(); };
    clicks.press(mouse::Left);
    clicks.release(f.lblName, mouse::Left, 15, 0, true, view);
    EXPECT_EQ(log.back(), "click") << "no click after a MouseUp that unloaded the form";
    EXPECT_EQ(log.size(), 8u);
}

} // namespace
} // namespace velmora

// The native window of each kind of control: what it is, how it draws the model, and what the
// user's clicks and keys on it do to the model.
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Text.h"
#include "platform/win32ui/Win32FrontEnd.h"
#include "support/TestSupport.h"
#include "win32ui/WindowTesting.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

namespace velmora {
namespace {

using namespace win32test;
using testsupport::pathText;

// One control of every kind, the browser ones on temporary drives C: and D:.
struct KindsForm : Form {
    KindsForm(Toolkit& tk, FileSystem& fs)
        : Form(tk, "frmKinds"), drvDrive(*this, "drvDrive", fs), dirFolders(*this, "dirFolders", fs),
          filFiles(*this, "filFiles", fs)
    {
        setCaption("Все виды");
        setClientSize(9000, 6000);
        cmdOK.setCaption("&Готово");
        cmdOK.setGeometry({120, 120, 1200, 375});
        cmdOK.setDefault(true);
        cmdCancel.setCaption("Отмена");
        cmdCancel.setGeometry({1440, 120, 1200, 375});
        cmdCancel.setCancel(true);
        lblName.setCaption("&Имя:");
        lblName.setGeometry({120, 600, 900, 255});
        fraBox.setCaption("Рамка");
        fraBox.setGeometry({120, 900, 3000, 1500});
        chkSure.setCaption("Уверен");
        chkSure.setGeometry({120, 300, 1500, 255});
        optOne.setCaption("Один");
        optOne.setGeometry({120, 700, 1200, 255});
        optTwo.setCaption("Два");
        optTwo.setGeometry({1500, 700, 1200, 255});
        linInFrame.setGeometry({120, 1100, 2000, 0});
        txtName.setGeometry({1080, 570, 2000, 300});
        cboKind.setGeometry({3300, 3600, 2400, 315});
        lstSimple.setGeometry({120, 2500, 3000, 1500});
        lstSimple.setMultiSelect(MultiSelect::Extended);
        picPanel.setGeometry({3300, 120, 1200, 900});
        imgLogo.setGeometry({4600, 120, 600, 600});
        drvDrive.setGeometry({3300, 1200, 2400, 315});
        dirFolders.setGeometry({3300, 1600, 2400, 1800});
        filFiles.setGeometry({5800, 1200, 3000, 2200});
        linSide.setGeometry({8880, 3500, 0, 2000});
        shpBox.setGeometry({3300, 4100, 1500, 900});

        cmdOK.onClick = [this] { ++okClicks; };
        cmdCancel.onClick = [this] { ++cancelClicks; };
        lblName.onClick = [this] { ++labelClicks; };
        fraBox.onClick = [this] { ++frameClicks; };
        lstSimple.onKeyDown = [this](int key) { keys.push_back(key); };
        filFiles.onMouseUp = [this](int button, int, int) { fileButtons.push_back(button); };
        timTick.setEnabled(false);
    }

    CommandButton cmdOK{*this, "cmdOK"};
    CommandButton cmdCancel{*this, "cmdCancel"};
    Label lblName{*this, "lblName"};
    TextBox txtName{*this, "txtName"};
    Frame fraBox{*this, "fraBox"};
    CheckBox chkSure{*this, "chkSure", &fraBox};
    OptionButton optOne{*this, "optOne", &fraBox};
    OptionButton optTwo{*this, "optTwo", &fraBox};
    Line linInFrame{*this, "linInFrame", &fraBox};
    ComboBox cboKind{*this, "cboKind"};
    ListBox lstSimple{*this, "lstSimple"};
    PictureBox picPanel{*this, "picPanel"};
    Image imgLogo{*this, "imgLogo"};
    Timer timTick{*this, "timTick", 5};
    DriveListBox drvDrive;
    DirListBox dirFolders;
    FileListBox filFiles;
    Menu mnuPopup{*this, "mnuPopup"};
    MenuItem mnuOpen{mnuPopup, "mnuOpen", "&Открыть"};
    Line linSide{*this, "linSide"};
    Shape shpBox{*this, "shpBox"};

    int okClicks = 0, cancelClicks = 0, labelClicks = 0, frameClicks = 0;
    std::vector<int> keys, fileButtons;
};

// The point in the middle of row i of a list box.
POINT rowPoint(HWND list, int i)
{
    const auto top = static_cast<int>(::SendMessageW(list, LB_GETTOPINDEX, 0, 0));
    const auto height = static_cast<int>(::SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
    return {10, (i - top) * height + height / 2};
}

class Win32ControlsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fe.attach(tk);
        for (auto name : {"Windows/a.tmp", "Windows/b.tmp", "Windows/Отчёт.tmp"}) root.write(name);
        root.mkdir("Windows/System");
        form = std::make_unique<KindsForm>(tk, files);
        form->load();
        form->show();
        fe.yield();
    }
    void TearDown() override
    {
        if (form && form->isLoaded()) form->unload();
        form.reset();
        fe.yield();
        std::filesystem::current_path(m_home);
    }
    HWND w(const Control& c) { return fe.window(c); }

    // Every row, selection and the caret of a list box as the model has them.
    template <class Model> void expectListShowsModel(const Model& model)
    {
        HWND list = w(model);
        std::vector<std::string> want;
        std::vector<int> selected;
        for (std::size_t i = 0; i < model.listCount(); ++i) {
            want.push_back(model.list(i));
            if (model.selected(i)) selected.push_back(static_cast<int>(i));
        }
        EXPECT_EQ(rows(list), want);
        EXPECT_EQ(selectedRows(list), selected);
        if (model.listIndex() >= 0) {
            EXPECT_EQ(::SendMessageW(list, LB_GETCARETINDEX, 0, 0), model.listIndex());
        }
    }

    std::filesystem::path m_home = std::filesystem::current_path();
    testsupport::TempDir root;
    testsupport::TempDir second;
    Win32FileSystem files{"c:=" + pathText(root.path()) + ";d:=" + pathText(second.path())};
    Win32FrontEnd fe;
    Toolkit tk{fe};
    std::unique_ptr<KindsForm> form;
};

TEST_F(Win32ControlsTest, EveryKindIsItsNativeWindowAtItsTwipGeometryWithItsRussianCaption)
{
    struct Expect {
        const Control& control;
        const char* windowClass; // nullptr: no window
    };
    const KindsForm& f = *form;
    const Expect expected[] = {
        {f.cmdOK, "Button"},         {f.cmdCancel, "Button"},     {f.lblName, "Static"},
        {f.txtName, "Edit"},         {f.fraBox, "VelmoraPanel"},  {f.chkSure, "Button"},
        {f.optOne, "Button"},        {f.optTwo, "Button"},        {f.linInFrame, "VelmoraPanel"},
        {f.cboKind, "ComboBox"},     {f.lstSimple, "ListBox"},    {f.picPanel, "VelmoraPanel"},
        {f.imgLogo, "VelmoraPanel"}, {f.timTick, nullptr},        {f.drvDrive, "ComboBox"},
        {f.dirFolders, "ListBox"},   {f.filFiles, "ListBox"},     {f.mnuPopup, nullptr},
        {f.mnuOpen, nullptr},        {f.linSide, "VelmoraPanel"}, {f.shpBox, "VelmoraPanel"},
    };
    ASSERT_EQ(std::size(expected), form->controls().size()) << "a kind added to the form needs a row here";
    for (const Expect& e : expected) {
        HWND window = w(e.control);
        if (!e.windowClass) {
            EXPECT_EQ(window, nullptr) << e.control.name();
            continue;
        }
        ASSERT_NE(window, nullptr) << e.control.name();
        EXPECT_EQ(className(window), e.windowClass) << e.control.name();
        // Controls of a frame live in the frame's window, the others in the form's.
        EXPECT_EQ(::GetParent(window), e.control.container() ? w(*e.control.container()) : fe.window(*form))
            << e.control.name();
    }
    // 15 twips are a pixel at 96 dots per inch; a line is at least a pixel across.
    EXPECT_EQ(placeInParent(w(f.txtName)).left, 72);
    EXPECT_EQ(placeInParent(w(f.txtName)).right, 72 + 133);
    EXPECT_EQ(placeInParent(w(f.lstSimple)).bottom, 267); // 4000 twips, rounded
    EXPECT_EQ(placeInParent(w(f.linSide)).right - placeInParent(w(f.linSide)).left, 1);
    RECT client;
    ::GetClientRect(fe.window(*form), &client);
    EXPECT_EQ(client.right, 600);
    EXPECT_EQ(client.bottom, 400);

    EXPECT_EQ(text(fe.window(*form)), "Все виды");
    EXPECT_EQ(text(w(f.cmdOK)), "&Готово");
    EXPECT_EQ(text(w(f.lblName)), "&Имя:");
    EXPECT_EQ(::GetWindowLongPtrW(w(f.cmdOK), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_EQ(::GetWindowLongPtrW(w(f.cmdCancel), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
}

TEST_F(Win32ControlsTest, LabelsPicturesAndLinesLieBelowTheRealControlsOfTheirContainer)
{
    // Windows keeps siblings from the top down: every drawn control after every real one.
    std::vector<HWND> order;
    for (HWND c = ::GetWindow(fe.window(*form), GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) order.push_back(c);
    auto at = [&order](HWND h) { return std::find(order.begin(), order.end(), h) - order.begin(); };
    for (const Control* drawn :
         std::initializer_list<const Control*>{&form->lblName, &form->imgLogo, &form->linSide, &form->shpBox})
        for (const Control* real :
             std::initializer_list<const Control*>{&form->cmdOK, &form->txtName, &form->filFiles, &form->picPanel})
            EXPECT_GT(at(w(*drawn)), at(w(*real))) << drawn->name() << " over " << real->name();
    // The form's order is back to front among the real ones.
    EXPECT_LT(at(w(form->filFiles)), at(w(form->cmdOK)));
}

TEST_F(Win32ControlsTest, ClicksChecksOptionsAndKeysActThroughTheModel)
{
    KindsForm& f = *form;
    ::SendMessageW(w(f.cmdOK), BM_CLICK, 0, 0);
    EXPECT_EQ(f.okClicks, 1);
    ::SendMessageW(w(f.chkSure), BM_CLICK, 0, 0);
    EXPECT_EQ(f.chkSure.value(), 1);
    EXPECT_EQ(::SendMessageW(w(f.chkSure), BM_GETCHECK, 0, 0), BST_CHECKED);
    ::SendMessageW(w(f.optTwo), BM_CLICK, 0, 0);
    ::SendMessageW(w(f.optOne), BM_CLICK, 0, 0);
    EXPECT_TRUE(f.optOne.value());
    EXPECT_FALSE(f.optTwo.value());
    EXPECT_EQ(::SendMessageW(w(f.optTwo), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    // A label clicks on a release inside it; a frame too.
    clickAt(w(f.lblName), {3, 3});
    clickAt(w(f.fraBox), {40, 40});
    EXPECT_EQ(f.labelClicks, 1);
    EXPECT_EQ(f.frameClicks, 1);

    // A disabled frame disables what it holds; the model refuses its clicks.
    f.fraBox.setEnabled(false);
    EXPECT_FALSE(::IsWindowEnabled(w(f.chkSure)));
    ::SendMessageW(w(f.chkSure), BM_CLICK, 0, 0);
    EXPECT_EQ(f.chkSure.value(), 1);
    f.fraBox.setEnabled(true);
    EXPECT_TRUE(::IsWindowEnabled(w(f.chkSure)));

    // Enter and Esc in a text box press the default and cancel buttons; Tab moves the focus in
    // the form's order; Alt and a label's access key give the focus to the box after it.
    postKey(w(f.txtName), VK_RETURN);
    postKey(w(f.txtName), VK_ESCAPE);
    fe.yield();
    EXPECT_EQ(f.okClicks, 2);
    EXPECT_EQ(f.cancelClicks, 1);
    ::SetFocus(w(f.cmdOK));
    postKey(w(f.cmdOK), VK_TAB);
    fe.yield();
    EXPECT_EQ(::GetFocus(), w(f.cmdCancel));
    postAltKey(w(f.cmdCancel), L'и');
    fe.yield();
    EXPECT_EQ(::GetFocus(), w(f.txtName));
    postAltKey(w(f.txtName), L'Г');
    fe.yield();
    EXPECT_EQ(f.okClicks, 3);
}

// Windows' rule, which keeps a key from pressing one of two buttons unseen.
TEST_F(Win32ControlsTest, AnAccessKeyTwoCaptionsMarkMovesTheFocusOnlyAndTooltipsAreTheModels)
{
    KindsForm& f = *form;
    f.cmdCancel.setCaption("&Гасить");
    ::SetFocus(w(f.txtName));
    postAltKey(w(f.txtName), L'г');
    fe.yield();
    EXPECT_EQ(::GetFocus(), w(f.cmdOK));
    postAltKey(w(f.cmdOK), L'г');
    fe.yield();
    EXPECT_EQ(::GetFocus(), w(f.cmdCancel));
    EXPECT_EQ(f.okClicks + f.cancelClicks, 0);

    f.cmdOK.setToolTip("Применить и закрыть");
    HWND tips = nullptr;
    for (HWND top = ::GetWindow(::GetDesktopWindow(), GW_CHILD); top && !tips; top = ::GetWindow(top, GW_HWNDNEXT))
        if (className(top) == "tooltips_class32" && ::GetWindow(top, GW_OWNER) == fe.window(f)) tips = top;
    ASSERT_NE(tips, nullptr);
    wchar_t tip[80] = {};
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = fe.window(f);
    tool.uId = reinterpret_cast<UINT_PTR>(w(f.cmdOK));
    tool.lpszText = tip;
    ::SendMessageW(tips, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&tool));
    EXPECT_EQ(win32::narrow(tip), "Применить и закрыть");
    f.cmdOK.setToolTip("");
    EXPECT_EQ(::SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 0);
}

TEST_F(Win32ControlsTest, TypingReachesTheModelWithinItsMaxLengthAndTheModelsTextTheBox)
{
    TextBox& box = form->txtName;
    box.setMaxLength(5);
    postText(w(box), L"Привет!");
    fe.yield();
    EXPECT_EQ(box.text(), "Приве");
    EXPECT_EQ(text(w(box)), "Приве");
    box.setText("ок");
    EXPECT_EQ(text(w(box)), "ок");
    // A box made multi-line gets another edit, with the text and the focus kept.
    ::SetFocus(w(box));
    HWND single = w(box);
    box.setMaxLength(0);
    box.setMultiLine(true);
    EXPECT_NE(w(box), single);
    EXPECT_TRUE(::GetWindowLongPtrW(w(box), GWL_STYLE) & ES_MULTILINE);
    EXPECT_EQ(::GetFocus(), w(box));
    box.setText("две\r\nстроки");
    EXPECT_EQ(text(w(box)), "две\r\nстроки");
    box.setLocked(true);
    postText(w(box), L"x");
    fe.yield();
    EXPECT_EQ(box.text(), "две\r\nстроки");
}

TEST_F(Win32ControlsTest, ListBoxFollowsEveryKindOfChangeAndSelectsOnlyThroughTheModel)
{
    ListBox& list = form->lstSimple;
    list.addItem("один");
    list.addItems({"два", "три", "четыре", "пять"});
    expectListShowsModel(list);
    clickAt(w(list), rowPoint(w(list), 1));
    clickAt(w(list), rowPoint(w(list), 3), MK_SHIFT);
    EXPECT_EQ(list.selCount(), 3u);
    expectListShowsModel(list);
    clickAt(w(list), rowPoint(w(list), 2), MK_CONTROL);
    expectListShowsModel(list);
    list.removeItems({0, 2});
    expectListShowsModel(list);
    list.removeItem(0);
    expectListShowsModel(list);
    // Keys go to KeyDown first, then move the caret and the selection.
    postKey(w(list), VK_END);
    postKey(w(list), VK_DELETE);
    fe.yield();
    EXPECT_EQ(list.listIndex(), 1);
    EXPECT_EQ(form->keys, (std::vector<int>{VK_END, VK_DELETE}));
    expectListShowsModel(list);
    list.clear();
    expectListShowsModel(list);

    ComboBox& combo = form->cboKind;
    combo.addItems({"Временные", "Резервные"});
    combo.setListIndex(1);
    EXPECT_EQ(rows(w(combo), true), combo.items());
    EXPECT_EQ(::SendMessageW(w(combo), CB_GETCURSEL, 0, 0), 1);
    combo.removeItem(0);
    EXPECT_EQ(rows(w(combo), true), combo.items());
    EXPECT_EQ(::SendMessageW(w(combo), CB_GETCURSEL, 0, 0), 0);
}

TEST_F(Win32ControlsTest, BrowserControlsShowTheirFoldersAndTakeTheUsersChoice)
{
    KindsForm& f = *form;
    EXPECT_EQ(rows(w(f.drvDrive), true),
              (std::vector<std::string>{"c: [" + pathText(root.path()) + "]", "d: [" + pathText(second.path()) + "]"}));
    ASSERT_TRUE(f.dirFolders.setPath("C:\\Windows"));
    EXPECT_EQ(rows(w(f.dirFolders)), (std::vector<std::string>{"c:\\", "Windows", "System"}));
    EXPECT_EQ(::SendMessageW(w(f.dirFolders), LB_GETCURSEL, 0, 0), 1);
    // A click moves the highlight only; a double click opens the folder.
    clickAt(w(f.dirFolders), rowPoint(w(f.dirFolders), 2));
    EXPECT_EQ(f.dirFolders.path(), "C:\\Windows");
    doubleClickAt(w(f.dirFolders), rowPoint(w(f.dirFolders), 2));
    EXPECT_EQ(f.dirFolders.path(), "C:\\Windows\\System");

    ASSERT_TRUE(f.filFiles.setPath("C:\\Windows"));
    expectListShowsModel(f.filFiles);
    rightClickAt(w(f.filFiles), rowPoint(w(f.filFiles), 0));
    EXPECT_EQ(f.fileButtons, std::vector<int>{mouse::Right});
    f.filFiles.setAllSelected(true);
    expectListShowsModel(f.filFiles);
    root.write("Windows/c.tmp");
    f.filFiles.refresh();
    expectListShowsModel(f.filFiles);

    // The user picks the second drive in the closed box with the keyboard.
    ::SendMessageW(w(f.drvDrive), CB_SETCURSEL, 1, 0);
    ::SendMessageW(fe.window(f), WM_COMMAND, MAKEWPARAM(0, CBN_SELCHANGE), reinterpret_cast<LPARAM>(w(f.drvDrive)));
    EXPECT_EQ(f.drvDrive.listIndex(), 1);
}

// 100,000 entries cost what one change of them costs, not a pass over the list per entry.
TEST_F(Win32ControlsTest, AListOfAHundredThousandEntriesFollowsItsChangesQuickly)
{
    ListBox& list = form->lstSimple;
    std::vector<std::string> names;
    for (int i = 0; i < 100000; ++i) names.push_back("файл" + std::to_string(100000 + i) + ".tmp");
    using Clock = std::chrono::steady_clock;
    auto timed = [](const char* what, auto&& step) {
        const auto start = Clock::now();
        step();
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        std::printf("%-28s %8.1f ms\n", what, ms);
        return ms;
    };
    // Generous bounds for a loaded machine; each measures one change, as the program makes it.
    EXPECT_LT(timed("append 100,000", [&] { list.addItems(names); }), 3000);
    EXPECT_EQ(::SendMessageW(w(list), LB_GETCOUNT, 0, 0), 100000);
    EXPECT_LT(timed("select all by Shift+click",
                    [&] {
                        list.userSelect(0);
                        list.userSelect(99999, true);
                    }),
              500);
    EXPECT_EQ(::SendMessageW(w(list), LB_GETSELCOUNT, 0, 0), 100000);
    std::vector<std::size_t> everyOther;
    for (std::size_t i = 0; i < 100000; i += 2) everyOther.push_back(i);
    EXPECT_LT(timed("remove 50,000 scattered", [&] { list.removeItems(everyOther); }), 3000);
    EXPECT_LT(timed("remove a run of 20,000",
                    [&] {
                        std::vector<std::size_t> run;
                        for (std::size_t i = 10000; i < 30000; ++i) run.push_back(i);
                        list.removeItems(run);
                    }),
              3000);
    ASSERT_EQ(::SendMessageW(w(list), LB_GETCOUNT, 0, 0), 30000);
    EXPECT_EQ(::SendMessageW(w(list), LB_GETSELCOUNT, 0, 0), 30000);
    const std::vector<std::string> shown = rows(w(list));
    EXPECT_EQ(shown, list.items());
}

TEST_F(Win32ControlsTest, PictureButtonsShowTheProgramsPictureOrItsNameWhenMissing)
{
    fe.setPictureFolders({testsupport::pathText(std::filesystem::path(buildFolder()) / "help")});
    CommandButton& button = form->cmdCancel;
    button.setPicture("UP.GIF"); // Windows finds a file without regard to case
    EXPECT_TRUE(::GetWindowLongPtrW(w(button), GWL_STYLE) & BS_BITMAP);
    EXPECT_NE(::SendMessageW(w(button), BM_GETIMAGE, IMAGE_BITMAP, 0), 0);
    button.setCaption("");
    button.setPicture("nowhere.gif");
    EXPECT_FALSE(::GetWindowLongPtrW(w(button), GWL_STYLE) & BS_BITMAP);
    EXPECT_EQ(text(w(button)), "nowhere");
}

TEST_F(Win32ControlsTest, HandlersMayUnloadTheFormFromItsOwnButtonAndTimer)
{
    form->cmdOK.onClick = [this] { form->unload(); };
    ::SendMessageW(w(form->cmdOK), BM_CLICK, 0, 0);
    EXPECT_FALSE(form->isLoaded());
    EXPECT_EQ(fe.window(*form), nullptr);

    form->load();
    form->show();
    int ticks = 0;
    form->timTick.onTimer = [&] {
        ++ticks;
        form->unload();
    };
    form->timTick.setEnabled(true);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (form->isLoaded() && std::chrono::steady_clock::now() < until) fe.yield();
    EXPECT_FALSE(form->isLoaded());
    EXPECT_EQ(ticks, 1);
}

} // namespace
} // namespace velmora

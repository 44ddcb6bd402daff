// Forms as top-level windows: modal windows and their owners, message boxes a user answers,
// pop-up menus, the close box, and the message loop's end.
#include "platform/win32ui/Win32FrontEnd.h"
#include "platform/win32/Win32Text.h"
#include "win32ui/WindowTesting.h"

#include <gtest/gtest.h>

#include <chrono>

namespace velmora {
namespace {

using namespace win32test;

struct SmallForm : Form {
    SmallForm(Toolkit& tk, std::string name) : Form(tk, std::move(name))
    {
        setCaption("Окно " + this->name());
        setClientSize(4500, 2000);
        cmdOK.setCaption("OK");
        cmdOK.setGeometry({120, 120, 1200, 375});
    }
    void close() override
    {
        ++closeBoxes;
        if (closeUnloads) unload();
    }

    CommandButton cmdOK{*this, "cmdOK"};
    Timer timEnd{*this, "timEnd", 0};
    Menu mnuPopup{*this, "mnuPopup"};
    MenuItem mnuOff{mnuPopup, "mnuOff", "&Недоступно"};
    MenuItem mnuSep{mnuPopup, "mnuSep", "-"};
    MenuItem mnuOpen{mnuPopup, "mnuOpen", "&Открыть"};
    MenuItem mnuChecked{mnuPopup, "mnuChecked", "С &флажком"};
    int closeBoxes = 0;
    bool closeUnloads = true;
};

class Win32FrontEndTest : public ::testing::Test {
protected:
    Win32FrontEndTest() { fe.attach(tk); }
    Win32FrontEnd fe;
    Toolkit tk{fe};
};

// Whether the message boxes speak Russian here: Wine takes their buttons from the locale.
bool russianBoxes() { return PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_RUSSIAN; }

TEST_F(Win32FrontEndTest, ModalFormWaitsWithItsOwnerDisabledAndReturnsOnceUnloaded)
{
    SmallForm owner(tk, "owner"), dialog(tk, "dialog");
    owner.load();
    owner.show();
    dialog.load();
    bool ownerDisabled = false, ownsIt = false;
    Poll poll([&] {
        if (!dialog.visible()) return false;
        ownerDisabled = !::IsWindowEnabled(fe.window(owner));
        ownsIt = ::GetWindow(fe.window(dialog), GW_OWNER) == fe.window(owner);
        ::SendMessageW(fe.window(dialog.cmdOK), BM_CLICK, 0, 0);
        return true;
    });
    dialog.cmdOK.onClick = [&] { dialog.unload(); };
    dialog.showModal(&owner);
    EXPECT_TRUE(poll.done());
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(ownsIt);
    EXPECT_FALSE(dialog.isLoaded());
    EXPECT_TRUE(::IsWindowEnabled(fe.window(owner)));
    // A modal form that only hides itself also hands control back.
    dialog.load();
    Poll hide([&] {
        if (!dialog.visible()) return false;
        dialog.hide();
        return true;
    });
    dialog.showModal(&owner);
    EXPECT_TRUE(dialog.isLoaded());
    EXPECT_TRUE(::IsWindowEnabled(fe.window(owner)));
    // An owner unloaded first does not take the window it owns along.
    dialog.show(&owner);
    owner.unload();
    fe.yield();
    EXPECT_TRUE(::IsWindow(fe.window(dialog)));
    EXPECT_TRUE(::IsWindowVisible(fe.window(dialog)));
}

TEST_F(Win32FrontEndTest, MessageBoxesShowTheirTextTitleAndButtonsAndReturnTheAnswer)
{
    SmallForm form(tk, "main");
    form.load();
    form.show();
    BoxAnswerer answers;
    answers.queue(IDYES);
    answers.queue(IDNO);
    answers.queue(IDRETRY);
    answers.onBox = [&answers](HWND box) {
        if (answers.seen().empty()) capture(box, "win32-message-box.png");
    };
    EXPECT_EQ(tk.msgBox("Удалить 3 файла?\r\nВторая строка", MsgButtons::YesNo, MsgIcon::Question, "Velmora"),
              MsgResult::Yes);
    EXPECT_EQ(tk.msgBox("Ещё раз?", MsgButtons::YesNo, MsgIcon::Question, "Velmora"), MsgResult::No);
    EXPECT_EQ(tk.msgBox("Диск не готов", MsgButtons::RetryCancel, MsgIcon::Exclamation, "Ошибка"), MsgResult::Retry);
    EXPECT_EQ(tk.msgBox("Готово", MsgButtons::OK, MsgIcon::Information, "Velmora"), MsgResult::OK);
    EXPECT_EQ(tk.msgBox("Продолжить?", MsgButtons::OKCancel, MsgIcon::None, "Velmora"), MsgResult::Cancel);
    ASSERT_EQ(answers.seen().size(), 5u);
    const SeenBox& first = answers.seen()[0];
    EXPECT_EQ(first.title, "Velmora");
    EXPECT_EQ(first.text, "Удалить 3 файла?\r\nВторая строка");
    EXPECT_EQ(answers.seen()[2].title, "Ошибка");
    for (const SeenBox& box : answers.seen()) EXPECT_FALSE(box.buttons.empty()) << box.text;
    if (russianBoxes()) {
        EXPECT_EQ(first.buttons, (std::vector<std::string>{"&Да", "&Нет"}));
    }
    // The form waited under the box and is usable again.
    EXPECT_TRUE(::IsWindowEnabled(fe.window(form)));
}

TEST_F(Win32FrontEndTest, PopupMenuShowsItsItemsAndClicksTheOneChosen)
{
    SmallForm form(tk, "menu");
    form.load();
    form.show();
    form.mnuOff.setEnabled(false);
    form.mnuChecked.setChecked(true);
    int opened = 0;
    form.mnuOpen.onClick = [&] { ++opened; };
    std::vector<std::string> items;
    std::vector<UINT> states;
    Poll poll([&] {
        HWND menuWindow = ::FindWindowW(L"#32768", nullptr);
        if (!menuWindow || !::IsWindowVisible(menuWindow)) return false;
        auto menu = reinterpret_cast<HMENU>(::SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
        for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
            wchar_t caption[64] = {};
            ::GetMenuStringW(menu, static_cast<UINT>(i), caption, 64, MF_BYPOSITION);
            items.push_back(win32::narrow(caption));
            states.push_back(::GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION));
        }
        // Chosen by its access key, as a user would.
        postText(menuWindow, L"о");
        return true;
    });
    // Should the key not reach the menu, the menu still goes and the test ends.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    Poll cancel([&] {
        if (std::chrono::steady_clock::now() < deadline) return false;
        ::EndMenu();
        return true;
    });
    tk.popupMenu(form.mnuPopup, 300, 300, nullptr);
    EXPECT_EQ(items, (std::vector<std::string>{"&Недоступно", "", "&Открыть", "С &флажком"}));
    ASSERT_EQ(states.size(), 4u);
    EXPECT_TRUE(states[0] & MF_GRAYED);
    EXPECT_TRUE(states[1] & MF_SEPARATOR);
    EXPECT_TRUE(states[3] & MF_CHECKED);
    EXPECT_EQ(opened, 1);
}

TEST_F(Win32FrontEndTest, CloseBoxAsksTheFormAndRunEndsWithTheLastForm)
{
    SmallForm form(tk, "close");
    form.load();
    form.show();
    form.closeUnloads = false;
    ::SendMessageW(fe.window(form), WM_CLOSE, 0, 0);
    EXPECT_EQ(form.closeBoxes, 1);
    EXPECT_TRUE(form.isLoaded());
    EXPECT_TRUE(::IsWindowVisible(fe.window(form)));

    // Hiding is not the end; the last form's unload is, from a tick of its own timer.
    form.closeUnloads = true;
    int ticks = 0;
    form.timEnd.onTimer = [&] {
        if (++ticks == 1) {
            form.hide();
            return;
        }
        ::PostMessageW(fe.window(form), WM_CLOSE, 0, 0);
    };
    form.timEnd.setInterval(20);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(fe.run(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_GE(ticks, 2);
    EXPECT_FALSE(form.isLoaded());
    EXPECT_EQ(form.closeBoxes, 2);
}

} // namespace
} // namespace velmora

// The welcome launcher: shown by start-up, its seven buttons, and the main window it always
// returns to.
#include "core/frmWelcome.h"
#include "core/frmCustom.h"
#include "scanners/frmDrivePass.h"

#include "support/ProgramTests.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using testsupport::ProgramHarness;

class Launcher : public ::testing::Test {
protected:
    void SetUp() override
    {
        h.root.mkdir("c/TEMP");
        h.start();
    }
    frmWelcome* launcher() { return h.app->welcomeWindow().ifLoaded(); }
    // Takes the main window off the screen, so that bringing it back shows.
    void hideMain()
    {
        h.main().hide();
        h.fe.activated.clear();
    }
    void expectBackInTheMainWindow()
    {
        EXPECT_EQ(launcher(), nullptr);
        EXPECT_TRUE(h.app->mainWindow().visible());
        EXPECT_EQ(h.app->mainWindow().owner(), nullptr);
        ASSERT_FALSE(h.fe.activated.empty());
        EXPECT_EQ(h.fe.activated.back(), "frmScanTemps");
    }
    // What a modal window opened from the launcher saw while it was up.
    struct Seen {
        std::string form;
        const Form* owner = nullptr;
        bool launcherUp = false;
        bool mainShown = false;
    };
    void recordModals()
    {
        h.fe.onModal = [this](Form& form) {
            const frmWelcome* w = launcher();
            seen.push_back({form.name(), form.owner(), w && w->visible(), h.app->mainWindow().visible()});
        };
    }
    ProgramHarness h;
    std::vector<Seen> seen;
};

TEST_F(Launcher, StartUpShowsItOverTheMainWindowWithItsSevenButtonsInOrder)
{
    frmWelcome* w = launcher();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->visible());
    EXPECT_FALSE(w->isModal()) << "start-up does not wait for it";
    EXPECT_EQ(w->owner(), &h.main());
    EXPECT_TRUE(h.main().visible());
    EXPECT_EQ(h.fe.shown, (std::vector<std::string>{"frmWelcome", "frmScanTemps"}));
    EXPECT_EQ(h.fe.activated.back(), "frmWelcome") << "the launcher stays in front";
    EXPECT_EQ(w->caption(), "Добро пожаловать в VLM");
    EXPECT_EQ(w->lblDes.caption(), "Выберите возможность:");

    struct Row {
        const CommandButton& button;
        std::string caption, toolTip;
    };
    const Row rows[] = {
        {w->cmdFindTrash, "Поиск мусора в &ручном режиме", "Вы сами выбираете, как и что искать"},
        {w->cmdShortcuts, "Поиск &ярлыков автоматически",
         "VLM ищет ярлыки недавно открытых документов и файлы Cookie (для IE)"},
        {w->cmdFindAuto, "Поиск мусора &автоматически",
         "VLM ищет файловый мусор в самых распространенных папках (таких, как \\temp, \\windows и т.д.)"},
        {w->cmdRept, "Просмотр отчета", "Просмотр отчетов, создаваемых в автоматических режимах сканирования"},
        {w->cmdFindDrives, "Поиск мусора полу&автоматически",
         "Поиск мусора полуавтоматически: вы задаете папку для сканирования - всё остальное выполняет VLM"},
        {w->cmdClose, "&Закрыть это окно", "Закрытие окна с последующим возвращением в ручной режим сканирования"},
        {w->cmdSettings, "Установка &настроек программы",
         "Установка настроек, таких, как опции поиска файлового мусора"},
    };
    int above = w->lblDes.top();
    for (const Row& row : rows) {
        EXPECT_EQ(row.button.caption(), row.caption);
        EXPECT_EQ(row.button.toolTip(), row.toolTip);
        EXPECT_GT(row.button.top(), above) << row.button.name() << " keeps its place in the order";
        EXPECT_LE(row.button.top() + row.button.height(), w->clientHeight());
        EXPECT_TRUE(row.button.usable());
        above = row.button.top();
    }
}

TEST(LauncherOff, WelcomeOnStartZeroNeverLoadsIt)
{
    ProgramHarness h;
    h.root.mkdir("c/TEMP");
    h.setOption(settings::WelcomeOnStart, "0");
    auto& main = h.start();
    main.timUpdate_Timer();
    EXPECT_EQ(h.app->welcomeWindow().ifLoaded(), nullptr);
    EXPECT_EQ(h.fe.shown, std::vector<std::string>{"frmScanTemps"});
}

// The two buttons that only close, and the close box, all end in the main window; the
// launcher never comes back in that run, not even for the periodic update.
TEST_F(Launcher, EveryWayOfClosingShowsAndFocusesTheMainWindow)
{
    const std::function<void(frmWelcome&)> ways[] = {
        [](frmWelcome& w) { w.close(); },
        [](frmWelcome& w) { w.cmdClose.click(); },
        [](frmWelcome& w) { w.cmdFindTrash.click(); },
    };
    for (const auto& closeIt : ways) {
        if (!launcher()) h.app->welcomeWindow()->show(&h.main());
        hideMain();
        closeIt(*launcher());
        expectBackInTheMainWindow();
        h.main().timUpdate_Timer();
        EXPECT_EQ(launcher(), nullptr) << "the update does not load it again";
    }
    EXPECT_TRUE(h.fe.boxes.empty());
}

// The scans run while the launcher stays up, over a main window already brought back; the
// launcher closes only once the user has closed their report.
TEST_F(Launcher, ScansRunToTheirEndWithTheLauncherStillUp)
{
    h.root.write("c/WINDOWS/TEMP/a.tmp");
    h.root.write("c/TEMP/report.txt", "Отчет\r\n");
    struct Case {
        std::function<void(frmWelcome&)> press;
        std::string message; // the scan's own message, empty for the report viewer
    };
    const Case cases[] = {
        {[](frmWelcome& w) { w.cmdFindAuto.click(); }, "1 файл было найдено в директориях временных файлов."},
        {[](frmWelcome& w) { w.cmdShortcuts.click(); }, "0 ярлыков было найдено при осмотре директорий документов."},
        {[](frmWelcome& w) { w.cmdRept.click(); }, ""},
    };
    for (const Case& c : cases) {
        if (!launcher()) h.app->welcomeWindow()->show(&h.main());
        hideMain();
        h.fe.boxes.clear();
        seen.clear();
        bool mainShownAtMessage = false;
        h.fe.onBox = [&](const MessageBoxSpec&) { mainShownAtMessage = h.main().visible(); };
        recordModals();
        c.press(*launcher());
        if (!c.message.empty()) {
            ASSERT_EQ(h.fe.boxes.size(), 1u);
            EXPECT_EQ(h.fe.boxes[0].spec.text, c.message);
            EXPECT_TRUE(mainShownAtMessage) << "the main window comes back before the scan";
        }
        ASSERT_EQ(seen.size(), 1u) << c.message;
        EXPECT_EQ(seen[0].form, "frmReport");
        EXPECT_EQ(seen[0].owner, &h.main());
        EXPECT_TRUE(seen[0].launcherUp);
        EXPECT_TRUE(seen[0].mainShown);
        expectBackInTheMainWindow();
    }
}

TEST_F(Launcher, TheDriveScanOpensOverTheMainWindowAndTheSettingsOverTheLauncher)
{
    hideMain();
    recordModals();
    launcher()->cmdFindDrives.click();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].form, "frmDrivePass");
    EXPECT_EQ(seen[0].owner, &h.main());
    EXPECT_TRUE(seen[0].launcherUp);
    EXPECT_FALSE(seen[0].mainShown) << "no return to the main window before the drive scan";
    expectBackInTheMainWindow();

    // Settings, then Cancel: the launcher closes and nothing is stored.
    h.app->welcomeWindow()->show(&h.main());
    const frmWelcome* opener = launcher();
    hideMain();
    h.settings.saveLog.clear();
    seen.clear();
    h.fe.onModal = [&](Form& form) {
        seen.push_back({form.name(), form.owner(), launcher() && launcher()->visible(), h.main().visible()});
        if (auto* dialog = dynamic_cast<frmCustom*>(&form)) {
            dialog->chkNoviceLevel.click();
            dialog->cmdCancel.click();
        }
    };
    launcher()->cmdSettings.click();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].form, "frmCustom");
    EXPECT_EQ(seen[0].owner, opener);
    EXPECT_TRUE(seen[0].launcherUp);
    expectBackInTheMainWindow();
    EXPECT_TRUE(h.settings.saveLog.empty());
}

// Closing the launcher while its scan still runs takes the user to the main window at once;
// the scan goes on to its end, and a second button meanwhile starts nothing.
TEST_F(Launcher, WhileItsScanRunsASecondButtonIsIgnoredAndTheCloseBoxStillWorks)
{
    h.root.write("c/WINDOWS/TEMP/a.tmp");
    frmWelcome& w = *launcher();
    int yields = 0;
    h.fe.onYield = [&] {
        if (++yields != 1) return;
        w.cmdShortcuts.click();
        w.cmdFindDrives.click();
        hideMain();
        w.close();
    };
    recordModals();
    w.cmdFindAuto.click();
    h.fe.onYield = nullptr;
    ASSERT_EQ(h.fe.boxes.size(), 1u) << "no second scan";
    EXPECT_EQ(h.fe.boxes[0].spec.text, "1 файл было найдено в директориях временных файлов.");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].form, "frmReport");
    EXPECT_FALSE(seen[0].launcherUp);
    expectBackInTheMainWindow();
}

TEST(LauncherNovice, OnlyTheDriveScanButtonIsDisabled)
{
    ProgramHarness h;
    h.root.mkdir("c/TEMP");
    h.setOption(settings::DisableProf, "1");
    h.start();
    frmWelcome& w = *h.app->welcomeWindow().ifLoaded();
    EXPECT_FALSE(w.cmdFindDrives.enabled());
    for (const CommandButton* b :
         {&w.cmdFindTrash, &w.cmdShortcuts, &w.cmdFindAuto, &w.cmdRept, &w.cmdClose, &w.cmdSettings})
        EXPECT_TRUE(b->usable()) << b->name();
    int modals = 0;
    h.fe.onModal = [&](Form&) { ++modals; };
    w.cmdFindDrives.click();
    EXPECT_EQ(modals, 0);
    EXPECT_TRUE(w.isLoaded());
    w.cmdShortcuts.click();
    EXPECT_EQ(modals, 1) << "the shortcut scan's report";
    EXPECT_EQ(h.app->welcomeWindow().ifLoaded(), nullptr);
}

} // namespace
} // namespace velmora

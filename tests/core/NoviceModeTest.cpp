// Novice mode: the eight controls over three windows, locked and released by the periodic
// update as the stored flag changes.
#include "core/NoviceMode.h"
#include "core/frmCustom.h"
#include "core/frmWelcome.h"

#include "support/ProgramTests.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace velmora {
namespace {

using testsupport::ProgramHarness;

class NoviceMode : public ::testing::Test {
protected:
    void SetUp() override
    {
        h.root.mkdir("c/TEMP");
        h.start();
        // The settings dialog as the user has it open.
        dialog = &h.app->settingsDialog().get();
        dialog->show(&h.main());
    }
    void tick() { h.main().timUpdate_Timer(); }
    void switchTo(const char* flag)
    {
        h.setOption(settings::DisableProf, flag);
        tick();
    }
    // The eight controls, in the order the rules run.
    std::vector<const Control*> eight()
    {
        frmScanTemps& m = h.main();
        const frmWelcome& w = *h.app->welcomeWindow().ifLoaded();
        return {&m.mnuExt,         &m.cmdDrives,    &w.cmdFindDrives, &dialog->optOp[0],
                &dialog->optOp[2], &m.cmdRecoverIt, &m.cmdNullPass,   &dialog->cmdArchivers};
    }
    ProgramHarness h;
    frmCustom* dialog = nullptr;
};

TEST_F(NoviceMode, TheStoredFlagLocksTheEightWithinOneTickAndReleasesThem)
{
    dialog->optOp[2].click(); // "Остальные" is the chosen page
    for (const Control* c : eight()) EXPECT_TRUE(c->enabled()) << c->name();

    switchTo("1");
    for (const Control* c : eight()) EXPECT_FALSE(c->enabled()) << c->name();
    EXPECT_TRUE(h.main().cmdAutoPass.enabled()) << "nothing else is touched";
    EXPECT_TRUE(h.main().cmdRecentPass.enabled());
    EXPECT_TRUE(dialog->optOp[1].enabled());

    switchTo("0");
    for (const Control* c : eight())
        EXPECT_EQ(c->enabled(), c != &dialog->optOp[2]) << c->name() << ": the chosen page stays locked";
    dialog->optOp[1].click();
    tick();
    EXPECT_TRUE(dialog->optOp[2].enabled());

    // Anything but a stored 1 is professional mode.
    for (const char* flag : {"2", "yes", ""}) {
        switchTo(flag);
        EXPECT_TRUE(h.main().cmdDrives.enabled()) << '"' << flag << '"';
    }
    switchTo(" 1");
    EXPECT_FALSE(h.main().cmdDrives.enabled());
}

TEST_F(NoviceMode, TheOtherPageLocksOnlyWhileChosenAndStaysLockedAfterwards)
{
    switchTo("1");
    EXPECT_TRUE(dialog->optOp[2].enabled()) << "not the chosen page";
    dialog->optOp[2].click();
    EXPECT_TRUE(dialog->picReSwitch[2].visible());
    tick();
    EXPECT_FALSE(dialog->optOp[2].enabled());
    dialog->optOp[1].click();
    tick();
    EXPECT_FALSE(dialog->optOp[2].enabled()) << "choosing another page does not release it";
    EXPECT_FALSE(dialog->optOp[2].usable());
    switchTo("0");
    EXPECT_TRUE(dialog->optOp[2].enabled());
}

// Windows that are not loaded are left alone by the update, and are right from the moment
// they load; the update reads the store once.
TEST_F(NoviceMode, WindowsAreNotLoadedForTheRulesAndAreLockedWhenTheyLoad)
{
    dialog->cmdCancel.click();
    h.app->welcomeWindow().ifLoaded()->cmdClose.click();
    h.setOption(settings::DisableProf, "1");
    const int readsBefore = h.settings.reads;
    tick();
    EXPECT_EQ(h.settings.reads - readsBefore, 1);
    EXPECT_EQ(h.app->settingsDialog().ifLoaded(), nullptr);
    EXPECT_EQ(h.app->welcomeWindow().ifLoaded(), nullptr);

    bool lockedWhenShown = false;
    h.fe.onModal = [&](Form& form) {
        if (auto* d = dynamic_cast<frmCustom*>(&form))
            lockedWhenShown = !d->optOp[0].enabled() && !d->cmdArchivers.enabled() && d->optOp[2].enabled();
    };
    h.main().cmdMainFuncCust.click();
    EXPECT_TRUE(lockedWhenShown);
    EXPECT_FALSE(h.app->welcomeWindow()->cmdFindDrives.enabled());
}

// A state written again at every tick would redraw the controls twenty times a second.
TEST_F(NoviceMode, ATickThatChangesNothingWritesNothing)
{
    switchTo("1");
    std::vector<std::string> changed;
    h.fe.onControlChanged = [&](Control& c) { changed.push_back(c.name()); };
    for (int i = 0; i < 3; ++i) tick();
    for (const Control* c : eight()) EXPECT_EQ(std::count(changed.begin(), changed.end(), c->name()), 0) << c->name();
}

// A row that fails, or whose window is not loaded, is skipped; the rows after it still run.
TEST(NoviceRules, AFailingRowIsSkippedAndTheRowsAfterItRun)
{
    testing::ScriptedFrontEnd fe;
    fe.onControlChanged = [](Control& c) {
        if (c.name() == "drives") throw std::runtime_error("cannot redraw");
    };
    Toolkit tk(fe);
    Form main(tk, "main");
    Menu menu{main, "mnu"};
    MenuItem ext{menu, "ext", "Показать &расширения"};
    CommandButton drives{main, "drives"}, restore{main, "restore"}, nullPass{main, "nullPass"};
    main.load();
    novice::apply(true, {&ext, &drives, nullptr, nullptr, nullptr, &restore, &nullPass, nullptr});
    for (const Control* c : std::initializer_list<const Control*>{&ext, &restore, &nullPass})
        EXPECT_FALSE(c->enabled()) << c->name();
}

} // namespace
} // namespace velmora

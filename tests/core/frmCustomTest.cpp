// The settings dialog: what it shows when it opens, the mask text check, OK and Cancel.
#include "core/frmCustom.h"
#include "rules/Masks.h"

#include "support/ProgramTests.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using testsupport::ProgramHarness;

class SettingsDialog : public ::testing::Test {
protected:
    // Opens the dialog from the main window's button and lets `act` work in it while it is
    // up; `act` closes it (or the close box does).
    void open(const std::function<void(frmCustom&)>& act)
    {
        auto& main = h.main();
        h.fe.onModal = [&](Form& form) {
            if (auto* dialog = dynamic_cast<frmCustom*>(&form)) {
                owner = form.owner();
                act(*dialog);
            }
        };
        main.cmdMainFuncCust.click();
    }
    std::string stored(std::string_view key) const
    {
        return h.settings.get(settings::App, settings::Options, key, "(absent)");
    }
    void SetUp() override
    {
        h.root.mkdir("c/TEMP");
        h.start();
        h.settings.saveLog.clear();
    }
    ProgramHarness h;
    const Form* owner = nullptr;
};

TEST_F(SettingsDialog, OpensOnTheGeneralPageWithFullChosenAndTheStoredValues)
{
    h.setOption(settings::BackForwardOption, "0");
    h.setOption(settings::WelcomeOnStart, "1");
    h.setOption(settings::ReportFileName, "D:\\logs\\r.txt");
    open([&](frmCustom& d) {
        EXPECT_EQ(d.caption(), "Velmora - Настройка");
        EXPECT_TRUE(d.optOp[1].value());
        EXPECT_TRUE(d.picReSwitch[1].visible());
        EXPECT_FALSE(d.picReSwitch[0].visible() || d.picReSwitch[2].visible());
        // The tabs read "Общие", "Остальные", "Список мусора" from left to right.
        EXPECT_LT(d.optOp[1].left(), d.optOp[2].left());
        EXPECT_LT(d.optOp[2].left(), d.optOp[0].left());
        EXPECT_TRUE(d.opt1.value());
        EXPECT_EQ(d.txtJumpTo.text(), "C:\\TEMP") << "TMP, as the start folder's default";
        EXPECT_EQ(d.txtRepTxt.text(), "D:\\logs\\r.txt");
        EXPECT_EQ(d.chkBackForward.value(), 0);
        EXPECT_EQ(d.chkUseWelcome.value(), 1);
        EXPECT_EQ(d.chkNoviceLevel.value(), 0);
        EXPECT_EQ(d.chkShowToolbar.value(), 1);
        // The default mask text is no accepted one: the Full preset's stands in for it.
        EXPECT_EQ(d.txtFiltr.text(), masks::Full);
        d.optOp[0].click();
        EXPECT_TRUE(d.picReSwitch[0].visible());
        EXPECT_FALSE(d.picReSwitch[1].visible());
        d.cmdCancel.click();
    });
    EXPECT_EQ(owner, &h.main());
    EXPECT_EQ(h.fe.shown.back(), "frmCustom (modal)");
}

TEST_F(SettingsDialog, AStoredTextThatIsNoAcceptedOneBecomesTheFullPresetOnOk)
{
    h.setOption(settings::FilterFilesBy, std::string(masks::Compressed));
    open([](frmCustom& d) { d.cmdOK.click(); });
    EXPECT_EQ(stored(settings::FilterFilesBy), masks::Full);

    h.setOption(settings::FilterFilesBy, std::string(masks::Minimal));
    open([](frmCustom& d) {
        EXPECT_TRUE(d.opt1.value());
        EXPECT_EQ(d.txtFiltr.text(), masks::Minimal);
        d.cmdOK.click();
    });
    EXPECT_EQ(stored(settings::FilterFilesBy), masks::Minimal);
}

TEST_F(SettingsDialog, AnEditedMaskTextSnapsBackToTheChosenPreset)
{
    open([](frmCustom& d) {
        d.optOp[0].click();
        d.opt2.click();
        EXPECT_EQ(d.txtFiltr.text(), masks::Compressed);
        EXPECT_EQ(d.txtFiltr.maxLength(), masks::Compressed.size());
        d.txtFiltr.type(std::string(masks::Compressed.substr(1)) + "x");
        EXPECT_EQ(d.txtFiltr.text(), masks::Compressed);
        d.opt3.click();
        EXPECT_EQ(d.txtFiltr.text(), masks::Minimal);
        d.txtFiltr.type("");
        EXPECT_EQ(d.txtFiltr.text(), masks::Minimal);
        d.cmdOK.click();
    });
    EXPECT_EQ(stored(settings::FilterFilesBy), masks::Minimal);
}

TEST_F(SettingsDialog, OkStoresTheSevenOptionsInTheirOrderAndChangesNothingRunning)
{
    const std::string maskBefore = h.main().filFiles.pattern();
    const std::string folderBefore = h.main().dirDirectories.path();
    open([](frmCustom& d) {
        d.chkBackForward.click();
        d.chkNoviceLevel.click();
        d.optOp[2].click();
        d.chkShowToolbar.click();
        d.txtJumpTo.type("");
        d.txtRepTxt.type("other.txt");
        d.cmdOK.click();
    });
    EXPECT_EQ(h.settings.saveLog,
              (std::vector<std::string>{
                  "[Options]/JumpOnStartup=", "[Options]/FilterFilesBy=" + std::string(masks::Full),
                  "[Options]/BackForwardOption=0", "[Options]/ShowHideToolbars=0", "[Options]/ReportFileName=other.txt",
                  "[Options]/WelcomeOnStart=1", "[Options]/DisableProf=1"}));
    EXPECT_EQ(h.main().filFiles.pattern(), maskBefore);
    EXPECT_EQ(h.main().dirDirectories.path(), folderBefore);
    EXPECT_TRUE(h.main().picTB.visible());
}

TEST_F(SettingsDialog, CancelAndTheCloseBoxStoreNothingWhateverChanged)
{
    h.setOption(settings::ReportFileName, "kept.txt");
    const auto before = h.settings.values;
    auto changeEverything = [](frmCustom& d) {
        d.chkBackForward.click();
        d.chkUseWelcome.click();
        d.chkNoviceLevel.click();
        d.optOp[0].click();
        d.opt3.click();
        d.optOp[2].click();
        d.chkShowToolbar.click();
        d.txtJumpTo.type("D:\\Elsewhere");
        d.txtRepTxt.type("changed.txt");
    };
    open([&](frmCustom& d) {
        changeEverything(d);
        d.cmdCancel.click();
    });
    open([&](frmCustom& d) {
        changeEverything(d);
        d.close();
    });
    EXPECT_EQ(h.settings.values, before);
}

TEST_F(SettingsDialog, TheToolBarAndTheMenuOpenItToo)
{
    int opened = 0;
    h.fe.onModal = [&](Form& form) {
        if (auto* dialog = dynamic_cast<frmCustom*>(&form)) {
            ++opened;
            dialog->cmdCancel.click();
        }
    };
    h.main().cmdCustomize.click();
    h.main().mnuSetup.click();
    EXPECT_EQ(opened, 2);
}

TEST_F(SettingsDialog, ATouchLoadsItHiddenAndAfreshAfterItWasClosed)
{
    open([](frmCustom& d) { d.cmdOK.click(); });
    h.setOption(settings::DisableProf, "1");
    // What the novice rules do at every tick: touch a control of the dialog.
    frmCustom& touched = h.app->settingsDialog().get();
    EXPECT_TRUE(touched.isLoaded());
    EXPECT_FALSE(touched.visible());
    EXPECT_EQ(touched.chkNoviceLevel.value(), 1) << "the load step read the store again";
}

} // namespace
} // namespace velmora

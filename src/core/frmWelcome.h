#pragma once
// The welcome launcher: seven large buttons into the program's main ways of working, shown at
// start-up. However it closes, the user ends up in the main window.
#include "platform/toolkit/Form.h"

#include <functional>

namespace velmora {

class SettingsStore;

class frmWelcome : public Form {
public:
    // What the buttons start, every one required; App connects them to the main window and
    // its neighbours.
    struct Commands {
        // Shows the main window, modeless and without owner, and gives it the focus.
        std::function<void()> returnToMain;
        // The main window's commands, each run to its end (its message and report window).
        std::function<void()> autoPass, recentPass, viewReports;
        // The drive scan window, modal over the main window.
        std::function<void()> driveScan;
        // The settings dialog, modal over this launcher.
        std::function<void(frmWelcome&)> settings;
    };
    frmWelcome(Toolkit& tk, const SettingsStore& settings, Commands commands);

    void cmdFindTrash_Click();
    void cmdShortcuts_Click();
    void cmdFindAuto_Click();
    void cmdRept_Click();
    void cmdFindDrives_Click();
    void cmdClose_Click();
    void cmdSettings_Click();

    Image Image1{*this, "Image1"};
    Label lblDes{*this, "lblDes"};
    CommandButton cmdFindTrash{*this, "cmdFindTrash"};
    CommandButton cmdShortcuts{*this, "cmdShortcuts"};
    CommandButton cmdFindAuto{*this, "cmdFindAuto"};
    CommandButton cmdRept{*this, "cmdRept"};
    CommandButton cmdFindDrives{*this, "cmdFindDrives"};
    CommandButton cmdClose{*this, "cmdClose"};
    CommandButton cmdSettings{*this, "cmdSettings"};

protected:
    void Form_Load() override;
    // Every way of closing ends in the main window, the close box included.
    void Form_Unload() override;

private:
    void layOut();
    void connect();
    // Runs `command` (when no other command started here still runs), then closes the launcher.
    void runThenClose(const std::function<void()>& command);

    const SettingsStore& m_settings;
    Commands m_commands;
    bool m_running = false;
};

} // namespace velmora

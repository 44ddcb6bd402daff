#pragma once
// The application: the platform services, the window runtime and every window of the program.
#include "platform/Services.h"
#include "platform/toolkit/Form.h"
#include "settings/Product.h"

#include <string_view>

namespace velmora {

class frmArcFrom;
class frmArcTo;
class frmCustom;
class frmCustomizeArchivers;
class frmSelectDir;
class frmDrivePass;
class frmProperties;
class frmReport;
class frmReportInfo;
class frmScanTemps;
class frmWelcome;

class App {
public:
    App(Toolkit& tk, const Services& services);
    ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    Toolkit& tk() const { return m_tk; }
    const Services& services() const { return m_services; }

    // Creates the main window (its start-up runs) and shows it; a welcome launcher that start-up
    // showed stays in front of it.
    void start();

    // The status the process ends with: what a switch's run left, else 0.
    int exitStatus() const { return m_exitStatus; }
    void setExitStatus(int status) { m_exitStatus = status; }

    frmScanTemps& mainWindow();
    FormSlot<frmReport>& reportWindow() { return m_reportWindow; }
    FormSlot<frmDrivePass>& driveScanWindow() { return m_driveScanWindow; }
    FormSlot<frmCustom>& settingsDialog() { return m_settingsDialog; }
    FormSlot<frmReportInfo>& reportSettings() { return m_reportSettings; }
    FormSlot<frmSelectDir>& folderChooser() { return m_folderChooser; }
    FormSlot<frmArcTo>& compressWindow() { return m_compressWindow; }
    FormSlot<frmProperties>& propertiesWindow() { return m_propertiesWindow; }
    FormSlot<frmArcFrom>& restoreWindow() { return m_restoreWindow; }
    FormSlot<frmCustomizeArchivers>& archiverEditor() { return m_archiverEditor; }
    FormSlot<frmWelcome>& welcomeWindow() { return m_welcomeWindow; }

private:
    Toolkit& m_tk;
    Services m_services;
    FormSlot<frmScanTemps> m_mainWindow;
    FormSlot<frmReport> m_reportWindow;
    FormSlot<frmDrivePass> m_driveScanWindow;
    FormSlot<frmCustom> m_settingsDialog;
    FormSlot<frmSelectDir> m_folderChooser;
    FormSlot<frmReportInfo> m_reportSettings;
    FormSlot<frmArcTo> m_compressWindow;
    FormSlot<frmArcFrom> m_restoreWindow;
    FormSlot<frmCustomizeArchivers> m_archiverEditor;
    FormSlot<frmProperties> m_propertiesWindow;
    FormSlot<frmWelcome> m_welcomeWindow;
    int m_exitStatus = 0;
};

} // namespace velmora

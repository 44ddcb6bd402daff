#include "core/App.h"

#include "archiving/frmArcFrom.h"
#include "archiving/frmArcTo.h"
#include "archiving/frmCustomizeArchivers.h"
#include "archiving/frmSelectDir.h"
#include "browser/Properties.h"
#include "core/frmCustom.h"
#include "core/frmScanTemps.h"
#include "core/frmWelcome.h"
#include "reports/frmReport.h"
#include "reports/frmReportInfo.h"
#include "scanners/frmDrivePass.h"

namespace velmora {

App::App(Toolkit& tk, const Services& services)
    : m_tk(tk), m_services(services), m_mainWindow([this] { return std::make_unique<frmScanTemps>(*this); }),
      m_reportWindow([this] { return std::make_unique<frmReport>(m_tk, m_services); }), m_driveScanWindow([this] {
          return std::make_unique<frmDrivePass>(m_tk, m_services, mainWindow().filFiles, m_propertiesWindow);
      }),
      m_settingsDialog([this] {
          return std::make_unique<frmCustom>(
              m_tk, m_services,
              frmCustom::Openers{[this](frmCustom& dialog) { m_reportSettings->showModal(&dialog); },
                                 [this](frmCustom& dialog) {
                                     frmSelectDir& chooser = m_folderChooser.get();
                                     chooser.RarIt = false;
                                     chooser.showModal(&dialog);
                                 },
                                 [this](frmCustom& dialog) { m_archiverEditor->showModal(&dialog); }});
      }),
      m_folderChooser([this] {
          return std::make_unique<frmSelectDir>(
              m_tk, m_services,
              [this]() -> std::optional<std::string> {
                  if (frmCustom* dialog = m_settingsDialog.ifLoaded()) return dialog->txtJumpTo.text();
                  return std::nullopt;
              },
              [this](bool rarIt, const std::string& path) {
                  if (rarIt) {
                      if (frmArcTo* compress = m_compressWindow.ifLoaded()) compress->txtDestFolder.setText(path);
                  } else if (frmCustom* dialog = m_settingsDialog.ifLoaded()) {
                      dialog->txtJumpTo.setText(path);
                  }
              });
      }),
      m_reportSettings([this] {
          return std::make_unique<frmReportInfo>(
              m_tk, m_services, [this] { mainWindow().cmdViewReports_Click(); },
              [this](const std::string& moved) {
                  if (frmCustom* dialog = m_settingsDialog.ifLoaded()) dialog->txtRepTxt.setText(moved);
              });
      }),
      m_compressWindow([this] {
          frmScanTemps& main = mainWindow();
          return std::make_unique<frmArcTo>(m_tk, m_services,
                                            ArcSource{main.dirDirectories, main.filFiles,
                                                      [&main](const MayDelete& check) { main.deleteSelected(check); }},
                                            [this](frmArcTo& window) {
                                                frmSelectDir& chooser = m_folderChooser.get();
                                                chooser.RarIt = true;
                                                chooser.showModal(&window);
                                            });
      }),
      m_restoreWindow([this] { return std::make_unique<frmArcFrom>(m_tk, m_services, mainWindow().dirDirectories); }),
      m_archiverEditor([this] { return std::make_unique<frmCustomizeArchivers>(m_tk, m_services); }),
      m_propertiesWindow([this] { return std::make_unique<frmProperties>(m_tk, m_services.fs); }),
      m_welcomeWindow([this] {
          return std::make_unique<frmWelcome>(
              m_tk, m_services.settings,
              // The launcher's closing never builds a main window afresh, which would start up again.
              frmWelcome::Commands{[this] {
                                       if (frmScanTemps* main = m_mainWindow.ifLoaded()) {
                                           main->show();
                                           main->setFocus();
                                       }
                                   },
                                   [this] { mainWindow().cmdAutoPass_Click(); },
                                   [this] { mainWindow().cmdRecentPass_Click(); },
                                   [this] { mainWindow().cmdViewReports_Click(); },
                                   [this] { m_driveScanWindow->showModal(&mainWindow()); },
                                   [this](frmWelcome& launcher) { m_settingsDialog->showModal(&launcher); }});
      })
{}

App::~App() = default;

void App::start()
{
    frmScanTemps& main = mainWindow();
    main.show();
    // Start-up showed the launcher over a main window that was not on screen yet; it stays the
    // window in front, as an owned window does.
    if (frmWelcome* welcome = m_welcomeWindow.ifLoaded(); welcome && welcome->visible()) welcome->setFocus();
}

frmScanTemps& App::mainWindow() { return m_mainWindow.get(); }

} // namespace velmora

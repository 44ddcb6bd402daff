#pragma once
// The application: the platform services, the window runtime and every window of the program.
#include "platform/Services.h"
#include "platform/toolkit/Form.h"

#include <string_view>

namespace velmora {

class frmDrivePass;
class frmReport;
class frmScanTemps;

inline constexpr std::string_view ProductName = "Velmora";
inline constexpr std::string_view ProductVersion = "2.2";
// The product's about line, shown as the main window's title.
inline constexpr std::string_view AboutLine = "Velmora 2.2 - Quorvik";
inline constexpr std::string_view WebSite = "http://www.quorvik.ru/velmora/";

class App {
public:
    App(Toolkit& tk, const Services& services);
    ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    Toolkit& tk() const { return m_tk; }
    const Services& services() const { return m_services; }

    // Creates the main window (its start-up runs) and shows it.
    void start();

    frmScanTemps& mainWindow();
    FormSlot<frmReport>& reportWindow() { return m_reportWindow; }
    FormSlot<frmDrivePass>& driveScanWindow() { return m_driveScanWindow; }

private:
    Toolkit& m_tk;
    Services m_services;
    FormSlot<frmScanTemps> m_mainWindow;
    FormSlot<frmReport> m_reportWindow;
    FormSlot<frmDrivePass> m_driveScanWindow;
};

} // namespace velmora

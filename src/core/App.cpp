#include "core/App.h"

#include "core/frmScanTemps.h"

namespace velmora {

App::App(Toolkit& tk, const Services& services)
    : m_tk(tk), m_services(services), m_mainWindow([this] { return std::make_unique<frmScanTemps>(*this); })
{
}

App::~App() = default;

void App::start()
{
    frmScanTemps& main = mainWindow();
    main.show();
}

frmScanTemps& App::mainWindow() { return m_mainWindow.get(); }

} // namespace velmora

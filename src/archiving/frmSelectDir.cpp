#include "archiving/frmSelectDir.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "settings/Settings.h"

#include <string_view>

namespace velmora {

namespace {

// The message for a drive that failed, by the runtime's description; nothing for any other.
std::optional<std::string> deviceMessage(const DriveError& e)
{
    const std::string number = " (" + std::to_string(e.number) + ")";
    if (e.description == "Device unavailable") return "Устройство недоступно" + number;
    if (e.description == "Disk not ready") return "Диск не готов" + number;
    if (e.description == "Path/access file error")
        return "Ошибка доступа. Возможно, вы не имеете привилегий администратора" + number;
    return std::nullopt;
}

} // namespace

frmSelectDir::frmSelectDir(Toolkit& tk, const Services& services,
                           std::function<std::optional<std::string>()> openStartFolder,
                           std::function<void(bool, const std::string&)> deliver)
    : Form(tk, "frmSelectDir"), drvDisks(*this, "drvDisks", services.fs), dirFolders(*this, "dirFolders", services.fs),
      m_services(services), m_openStartFolder(std::move(openStartFolder)), m_deliver(std::move(deliver))
{
    setCaption("Выбор папки");
    setClientSize(4815, 4560);
    lblFolders.setGeometry({120, 120, 4575, 255});
    lblFolders.setCaption("Выберите папку.");
    lblD.setGeometry({120, 480, 975, 255});
    lblD.setCaption("&Диски:");
    drvDisks.setGeometry({1200, 450, 3495, 315});
    lblF.setGeometry({120, 900, 975, 255});
    lblF.setCaption("П&апки:");
    dirFolders.setGeometry({1200, 900, 3495, 2175});
    lblP.setGeometry({120, 3240, 975, 255});
    lblP.setCaption("&Путь:");
    txtPath.setGeometry({1200, 3210, 3495, 315});
    Image1.setGeometry({120, 3720, 480, 480});
    Image1.setPicture("folder.gif");
    cmdOK.setGeometry({1800, 3960, 1335, 375});
    cmdOK.setCaption("&OK");
    cmdOK.setDefault(true);
    cmdCancel.setGeometry({3360, 3960, 1335, 375});
    cmdCancel.setCaption("Отм&ена");
    cmdCancel.setCancel(true);

    drvDisks.onChange = [this] { drvDisks_Change(); };
    dirFolders.onChange = [this] { dirFolders_Change(); };
    cmdOK.onClick = [this] { cmdOK_Click(); };
    cmdCancel.onClick = [this] { unload(); };
}

void frmSelectDir::Form_Load()
{
    if (auto field = m_openStartFolder ? m_openStartFolder() : std::nullopt) {
        txtPath.setText(*field);
        return;
    }
    const std::string defaultFolder = settings::defaultStartFolder(m_services.env);
    txtPath.setText(settings::readOption(m_services.settings, settings::JumpOnStartup, defaultFolder));
}

void frmSelectDir::dirFolders_Change() { txtPath.setText(dirFolders.path()); }

void frmSelectDir::drvDisks_Change()
{
    const std::string drive = drvDisks.drive();
    for (;;) {
        if (dirFolders.setPath(text::toUpper(drive))) return;
        const auto error = m_services.fs.driveError(path::driveLetter(drive));
        const auto message = error ? deviceMessage(*error) : std::nullopt;
        if (!message) return;
        if (toolkit().msgBox(*message, MsgButtons::RetryCancel, MsgIcon::Critical, "Ошибка устройства") !=
            MsgResult::Retry)
            return;
    }
}

void frmSelectDir::cmdOK_Click()
{
    if (m_deliver) m_deliver(RarIt, txtPath.text());
    unload();
}

} // namespace velmora

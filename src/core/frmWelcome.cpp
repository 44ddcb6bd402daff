#include "core/frmWelcome.h"

#include "core/NoviceMode.h"
#include "platform/toolkit/Reentry.h"

#include <initializer_list>

namespace velmora {

frmWelcome::frmWelcome(Toolkit& tk, const SettingsStore& settings, Commands commands)
    : Form(tk, "frmWelcome"), m_settings(settings), m_commands(std::move(commands))
{
    setCaption("Добро пожаловать в VLM");
    layOut();
    connect();
}

void frmWelcome::layOut()
{
    setClientSize(5400, 5850);
    Image1.setGeometry({120, 120, 570, 5610});
    Image1.setPicture("logo.gif");
    lblDes.setGeometry({840, 150, 4440, 255});
    lblDes.setCaption("Выберите возможность:");
    struct ButtonText {
        CommandButton& button;
        const char* caption;
        const char* toolTip;
    };
    int top = 510;
    for (const ButtonText& b : std::initializer_list<ButtonText>{
             {cmdFindTrash, "Поиск мусора в &ручном режиме", "Вы сами выбираете, как и что искать"},
             {cmdShortcuts, "Поиск &ярлыков автоматически",
              "VLM ищет ярлыки недавно открытых документов и файлы Cookie (для IE)"},
             {cmdFindAuto, "Поиск мусора &автоматически",
              "VLM ищет файловый мусор в самых распространенных папках (таких, как \\temp, \\windows и т.д.)"},
             {cmdRept, "Просмотр отчета", "Просмотр отчетов, создаваемых в автоматических режимах сканирования"},
             {cmdFindDrives, "Поиск мусора полу&автоматически",
              "Поиск мусора полуавтоматически: вы задаете папку для сканирования - всё остальное выполняет VLM"},
             {cmdClose, "&Закрыть это окно", "Закрытие окна с последующим возвращением в ручной режим сканирования"},
             {cmdSettings, "Установка &настроек программы",
              "Установка настроек, таких, как опции поиска файлового мусора"},
         }) {
        b.button.setCaption(b.caption);
        b.button.setToolTip(b.toolTip);
        b.button.setGeometry({840, top, 4440, 615});
        top += 735;
    }
}

void frmWelcome::connect()
{
    cmdFindTrash.onClick = [this] { cmdFindTrash_Click(); };
    cmdShortcuts.onClick = [this] { cmdShortcuts_Click(); };
    cmdFindAuto.onClick = [this] { cmdFindAuto_Click(); };
    cmdRept.onClick = [this] { cmdRept_Click(); };
    cmdFindDrives.onClick = [this] { cmdFindDrives_Click(); };
    cmdClose.onClick = [this] { cmdClose_Click(); };
    cmdSettings.onClick = [this] { cmdSettings_Click(); };
}

// The focus fails silently while the launcher is not on screen yet, which is always the case
// here; the rules of novice mode are applied before it can be seen.
void frmWelcome::Form_Load()
{
    setFocus();
    novice::apply(novice::isOn(m_settings), {.launcherDriveScan = &cmdFindDrives});
}

void frmWelcome::Form_Unload() { m_commands.returnToMain(); }

void frmWelcome::runThenClose(const std::function<void()>& command)
{
    // The scans yield while they work, and the launcher stays up meanwhile: a second button
    // must not start another command over the first.
    const Reentry running(m_running);
    if (running.again()) return;
    command();
    unload();
}

void frmWelcome::cmdFindTrash_Click() { cmdClose_Click(); }

void frmWelcome::cmdClose_Click()
{
    m_commands.returnToMain();
    unload();
}

void frmWelcome::cmdFindAuto_Click()
{
    runThenClose([this] {
        m_commands.returnToMain();
        m_commands.autoPass();
    });
}

void frmWelcome::cmdShortcuts_Click()
{
    runThenClose([this] {
        m_commands.returnToMain();
        m_commands.recentPass();
    });
}

void frmWelcome::cmdRept_Click()
{
    runThenClose([this] {
        m_commands.returnToMain();
        m_commands.viewReports();
    });
}

void frmWelcome::cmdFindDrives_Click() { runThenClose(m_commands.driveScan); }
void frmWelcome::cmdSettings_Click()
{
    runThenClose([this] { m_commands.settings(*this); });
}

} // namespace velmora

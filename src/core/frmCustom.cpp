#include "core/frmCustom.h"

#include "core/NoviceMode.h"
#include "platform/Text.h"
#include "rules/Masks.h"
#include "settings/Settings.h"

#include <string>

namespace velmora {

namespace {

constexpr int PageTop = 600;
constexpr int PageWidth = 6135;
constexpr int PageHeight = 3135;

// The mask texts the dialog keeps as they stand.
bool accepted(std::string_view masks)
{
    return masks == masks::Extended || masks == masks::ExtendedCompressed || masks == masks::Minimal;
}

std::string flagText(const CheckBox& box) { return std::to_string(box.value()); }

} // namespace

frmCustom::frmCustom(Toolkit& tk, const Services& services, Openers openers)
    : Form(tk, "frmCustom"), m_services(services), m_open(std::move(openers))
{
    setCaption("Velmora - Настройка");
    layOut();
    connect();
}

void frmCustom::layOut()
{
    setClientSize(6375, 4440);
    fraConfiguration.setGeometry({120, 60, PageWidth, 495});
    // "Общие", "Остальные", "Список мусора" from left to right.
    optOp[1].setGeometry({120, 180, 1335, 255});
    optOp[2].setGeometry({1575, 180, 1455, 255});
    optOp[0].setGeometry({3150, 180, 1815, 255});
    optOp[0].setCaption("Список мусора");
    optOp[1].setCaption("Общие");
    optOp[2].setCaption("Остальные");
    optOp[1].setValue(true);
    for (PictureBox& page : picReSwitch) page.setGeometry({120, PageTop, PageWidth, PageHeight});
    picReSwitch[0].setVisible(false);
    picReSwitch[2].setVisible(false);
    for (Label& about : lblAboutReSwitch) about.setGeometry({120, 120, 5895, 255});
    lblAboutReSwitch[0].setCaption("Данная вкладка содержит параметры отображения списка");
    lblAboutReSwitch[1].setCaption("Данная вкладка содержит общие параметры");
    lblAboutReSwitch[2].setCaption("Данная вкладка позволяет установить разные параметры.");

    fraFilters.setGeometry({120, 480, 5895, 735});
    fraFilters.setCaption("Расширения");
    opt1.setGeometry({120, 300, 1575, 255});
    opt1.setCaption("Полный");
    opt2.setGeometry({1800, 300, 1575, 255});
    opt2.setCaption("Сжатый");
    opt3.setGeometry({3480, 300, 2055, 255});
    opt3.setCaption("Минимальный");
    opt1.setValue(true);
    lblFiltr.setGeometry({120, 1320, 5895, 255});
    lblFiltr.setCaption("Выберите расширения \"мусора\":");
    txtFiltr.setGeometry({120, 1620, 5895, 1095});
    txtFiltr.setMultiLine(true);

    chkBackForward.setGeometry({120, 480, 5895, 255});
    chkBackForward.setCaption("Использовать функции Назад и Вперед");
    chkUseWelcome.setGeometry({120, 840, 5895, 255});
    chkUseWelcome.setCaption("Показывать окно \"Добро пожаловать\"");
    chkNoviceLevel.setGeometry({120, 1200, 5895, 255});
    chkNoviceLevel.setCaption("Режим новичка");
    cmdArchivers.setGeometry({120, 1680, 2895, 375});
    cmdArchivers.setCaption("Параметры архиваторов...");

    lblJumpTo.setGeometry({120, 480, 5895, 255});
    lblJumpTo.setCaption("При запуске переходить в папку:");
    txtJumpTo.setGeometry({120, 780, 5295, 315});
    txtJumpTo.setText("C:\\Temp");
    cmdBrowse.setGeometry({5535, 780, 480, 315});
    cmdBrowse.setCaption("...");
    lblRepFile.setGeometry({120, 1260, 5895, 255});
    lblRepFile.setCaption("Файл отчета:");
    txtRepTxt.setGeometry({120, 1560, 5295, 315});
    txtRepTxt.setText("report.txt");
    cmdReport.setGeometry({5535, 1560, 480, 315});
    cmdReport.setCaption("...");
    chkShowToolbar.setGeometry({120, 2100, 5895, 255});
    chkShowToolbar.setCaption("Показывать панель инструментов");

    cmdOK.setGeometry({3360, 3900, 1380, 375});
    cmdOK.setCaption("&OK");
    cmdOK.setDefault(true);
    cmdCancel.setGeometry({4875, 3900, 1380, 375});
    cmdCancel.setCaption("Отм&ена");
    cmdCancel.setCancel(true);
}

void frmCustom::connect()
{
    for (int i = 0; i < 3; ++i) optOp[i].onClick = [this, i] { optOp_Click(i); };
    opt1.onClick = [this] { opt1_Click(); };
    opt2.onClick = [this] { opt2_Click(); };
    opt3.onClick = [this] { opt3_Click(); };
    txtFiltr.onChange = [this] { txtFiltr_Change(); };
    cmdOK.onClick = [this] { cmdOK_Click(); };
    cmdCancel.onClick = [this] { cmdCancel_Click(); };
    const auto open = [this](const std::function<void(frmCustom&)>& opener) {
        if (opener) opener(*this);
    };
    cmdReport.onClick = [this, open] { open(m_open.reportSettings); };
    cmdBrowse.onClick = [this, open] { open(m_open.folderChooser); };
    cmdArchivers.onClick = [this, open] { open(m_open.archivers); };
}

void frmCustom::Form_Load()
{
    const SettingsStore& store = m_services.settings;
    const std::string defaultFolder = settings::defaultStartFolder(m_services.env);
    const std::string jumpOnStartup = settings::readOption(store, settings::JumpOnStartup, defaultFolder);
    const std::string welcomeOnStart = settings::readOption(store, settings::WelcomeOnStart, "1");
    const std::string disableProf = settings::readOption(store, settings::DisableProf, "0");
    const std::string reportFileName =
        settings::readOption(store, settings::ReportFileName, settings::DefaultReportFile);
    const std::string filterFilesBy = settings::readOption(store, settings::FilterFilesBy, masks::ExtendedWithoutAlexa);
    const std::string backForward = settings::readOption(store, settings::BackForwardOption, "1");
    const std::string showToolbars = settings::readOption(store, settings::ShowHideToolbars, "1");

    txtFiltr.setMaxLength(text::length(filterFilesBy));
    txtFiltr.setText(filterFilesBy);
    // A check box holds 0 or 1; a stored text that is no number reads as cleared.
    auto flag = [](const std::string& text) { return settings::flagEquals(text, 1, 0) ? 1 : 0; };
    chkBackForward.setValue(flag(backForward));
    chkShowToolbar.setValue(flag(showToolbars));
    txtRepTxt.setText(reportFileName);
    txtJumpTo.setText(jumpOnStartup);
    chkNoviceLevel.setValue(flag(disableProf));
    chkUseWelcome.setValue(flag(welcomeOnStart));
    // The periodic update keeps the locks right while the dialog is loaded; from its first
    // showing on they must be right already.
    novice::apply(flag(disableProf) == 1,
                  {.junkListPage = &optOp[0], .otherPage = &optOp[2], .archivers = &cmdArchivers});
}

void frmCustom::optOp_Click(int i)
{
    for (PictureBox& page : picReSwitch) page.setVisible(false);
    picReSwitch[i].setVisible(true);
}

void frmCustom::choosePreset(const OptionButton& preset, std::string_view masks)
{
    if (!preset.value()) return;
    txtFiltr.setMaxLength(text::length(masks));
    txtFiltr.setText(masks);
}

void frmCustom::opt1_Click() { choosePreset(opt1, masks::Full); }
void frmCustom::opt2_Click() { choosePreset(opt2, masks::Compressed); }
void frmCustom::opt3_Click() { choosePreset(opt3, masks::Minimal); }

void frmCustom::txtFiltr_Change()
{
    if (accepted(txtFiltr.text())) return;
    if (opt1.value())
        opt1_Click();
    else if (opt2.value())
        opt2_Click();
    else if (opt3.value())
        opt3_Click();
}

void frmCustom::cmdOK_Click()
{
    SettingsStore& store = m_services.settings;
    settings::saveOption(store, settings::JumpOnStartup, txtJumpTo.text());
    settings::saveOption(store, settings::FilterFilesBy, txtFiltr.text());
    settings::saveOption(store, settings::BackForwardOption, flagText(chkBackForward));
    settings::saveOption(store, settings::ShowHideToolbars, flagText(chkShowToolbar));
    settings::saveOption(store, settings::ReportFileName, txtRepTxt.text());
    settings::saveOption(store, settings::WelcomeOnStart, flagText(chkUseWelcome));
    settings::saveOption(store, settings::DisableProf, flagText(chkNoviceLevel));
    unload();
}

void frmCustom::cmdCancel_Click() { unload(); }

} // namespace velmora

#include "core/frmScanTemps.h"

#include "archiving/frmArcFrom.h"
#include "archiving/frmArcTo.h"
#include "browser/Deletion.h"
#include "browser/Properties.h"
#include "browser/Selection.h"
#include "browser/StatusLine.h"
#include "core/App.h"
#include "core/NoviceMode.h"
#include "core/Switches.h"
#include "core/frmCustom.h"
#include "core/frmWelcome.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/SettingsStore.h"
#include "platform/Shell.h"
#include "platform/toolkit/Reentry.h"
#include "reports/ReportViewer.h"
#include "rules/MaskEditor.h"
#include "rules/Masks.h"
#include "scanners/AutoPass.h"
#include "scanners/NullPass.h"
#include "scanners/RecentPass.h"
#include "scanners/RecycleBin.h"
#include "scanners/frmDrivePass.h"
#include "settings/Settings.h"

namespace velmora {

namespace {

struct ButtonText {
    CommandButton& button;
    const char* caption;
    const char* toolTip;
};

// The help files start-up copies from the current folder into the help folder.
constexpr const char* HelpFiles[] = {"vlm2-2.htm", "comp.gif",   "getinto.gif", "install.gif",
                                     "new.gif",    "report.gif", "search.gif",  "settings.gif"};

// "C:\..." (or "C:/..."): a folder that does not depend on any drive's current folder.
bool isAbsoluteOnADrive(std::string_view path)
{
    return path.size() >= 3 && path::driveLetter(path) != 0 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
}

constexpr int ListWidth = 5415;
constexpr int ListWidthWithPanel = 4000;
constexpr int PanelHiddenLeft = 6240;
constexpr int PanelShownLeft = 4200;

} // namespace

frmScanTemps::frmScanTemps(App& app)
    : Form(app.tk(), "frmScanTemps"), filFiles(*this, "filFiles", app.services().fs),
      dirDirectories(*this, "dirDirectories", app.services().fs), drvDrive(*this, "drvDrive", app.services().fs),
      m_app(app), m_browser(app.tk(), app.services().fs, drvDrive, dirDirectories, filFiles, lblScanReady, history,
                            [this] { timUpdate_Timer(); }),
      m_reports(app.reportWindow(), app.services(), *this)
{
    setCaption(std::string(AboutLine));
    setClientSize(6210, 6600);
    layOut();
    connect();
}

void frmScanTemps::layOut()
{
    for (const ButtonText& b : std::initializer_list<ButtonText>{
             {cmdAutoPass, "&AutoPASS™",
              "Провести автоматический поиск файлового мусора (учитываются типичные папки, напр. \\windows)"},
             {cmdRecentPass, "RecentPASS™",
              "Провести поиск ярлыков открытых документов (Пуск>Документы) и файлов Cookie (для IE)"},
             {cmdNullPass, "NullPASS™", "Провести поиск файлов размером 0 байт в текущей папке"},
             {cmdRecycled, "Очистить &корзину", "Очистить корзину Windows"},
             {cmdDrives, "&DrivePASS™",
              "Провести полуавтоматический поиск файлового мусора: вы задаете папку, остальное VLM делает сам"},
             {cmdViewReports, "&Просмотр отчета...", "Просмотреть отчет, создаваемый в автоматическом режиме"},
             {cmdMainFuncCust, "&Настроить...", "Настроить программу"},
             {cmdProperties, "&Свойства", "Просмотреть свойства файла (файлов)"},
             {cmdRecoverIt, "&Восст. из архива", "Распаковать созданный архив"},
             {cmdArch, "Сж&ать и удалить",
              "Создать архив, поместить в него файловый мусор, а затем удалить выделенные файлы"},
             {cmdDeleteSelected, "Удалить в&ыделенное", "Удалить только выделенные файлы"},
             {cmdDelete, "Удалить &все", "Удалить весь файловый мусор из этого каталога"},
             {cmdExit, "В&ыход", "Выйти из VLM"},
             {cmdCloseTaskBar, "", "Скрыть полное меню"},
             {cmdOpenTaskBar, "", "Показать полное меню"},
             {cmdHelp, "", "Получить справку по Velmora"},
             {cmdWebSite, "", "Посетить сайт Velmora"},
             {cmdNext, "", "Назад"},
             {cmdBack, "", "Вперед"},
             {cmdUpOneLevel, "", "Вверх"},
             {cmdRefresh, "", "Обновить"},
             {cmdDSel, "", "Удалить выделенное"},
             {cmdCustomize, "", "Настройка"},
             {cmdConfirm, "&OK", "Применить"},
             {cmdClosePopUp, "Отм&ена", ""},
         }) {
        b.button.setCaption(b.caption);
        b.button.setToolTip(b.toolTip);
    }

    // The command panel waits outside the client area until it is slid in.
    picTools.setGeometry({PanelHiddenLeft, 525, 2055, 5535});
    picTools.setBorder(false);
    struct Place {
        CommandButton& button;
        int top, width;
    };
    for (const Place& p : std::initializer_list<Place>{{cmdDelete, 0, 2010},
                                                       {cmdDeleteSelected, 360, 2010},
                                                       {cmdArch, 720, 2010},
                                                       {cmdRecoverIt, 1080, 2010},
                                                       {cmdProperties, 1440, 2010},
                                                       {cmdMainFuncCust, 1800, 2010},
                                                       {cmdViewReports, 2160, 2010},
                                                       {cmdAutoPass, 2580, 2025},
                                                       {cmdNullPass, 2940, 2025},
                                                       {cmdRecycled, 3960, 2025},
                                                       {cmdDrives, 4365, 2025},
                                                       {cmdRecentPass, 4725, 2025},
                                                       {cmdExit, 5160, 2025}})
        p.button.setGeometry({0, p.top, p.width, 375});
    cmdCloseTaskBar.setGeometry({150, 3495, 240, 240});

    // Wider than designed: the status line must fit whole in a font of today's size.
    lblEntries.setGeometry({120, 120, 4800, 195});
    lblEntries.setCaption("0 файл, 0 выделен; всего 0 байт");
    lblEntries.setToolTip("Информация о выделенных файлах");
    imgVLM2.setGeometry({5010, 60, 1110, 315});
    imgVLM2.setPicture("vlm2.gif");
    linSSS.setGeometry({120, 405, 5415, 0});
    filFiles.setGeometry({120, 480, ListWidth, 3345});
    lblScanReady.setGeometry({120, 3900, 1680, 195});
    lblScanReady.setCaption(std::string(ReadyToScan));
    lblScanReady.setToolTip("Статус сканирования");
    dirDirectories.setGeometry({120, 4200, ListWidth, 1890});
    shp2.setGeometry({60, 6120, 6090, 435});
    drvDrive.setGeometry({120, 6180, 3495, 315});
    picTB.setGeometry({3720, 6165, 2415, 375});
    picTB.setBorder(false);
    int left = 0;
    for (CommandButton* b : {&cmdNext, &cmdBack, &cmdUpOneLevel, &cmdRefresh, &cmdDSel, &cmdCustomize}) {
        b->setGeometry({left, 0, 375, 375});
        left += 405;
    }
    cmdNext.setPicture("back.gif");
    cmdBack.setPicture("forward.gif");
    cmdUpOneLevel.setPicture("up.gif");
    cmdRefresh.setPicture("refresh.gif");
    cmdDSel.setPicture("delete.gif");
    cmdCustomize.setPicture("setup.gif");
    cmdOpenTaskBar.setPicture("open.gif");
    cmdCloseTaskBar.setPicture("close.gif");
    cmdHelp.setPicture("help.gif");
    cmdWebSite.setPicture("web.gif");
    // The four picture buttons of the window's edge react to a click but take no focus.
    for (CommandButton* b : {&cmdOpenTaskBar, &cmdCloseTaskBar, &cmdHelp, &cmdWebSite}) b->setFocusable(false);
    imgVLM.setGeometry({5625, 480, 570, 5610});
    imgVLM.setPicture("logo.gif");
    cmdOpenTaskBar.setGeometry({5816, 645, 240, 240});
    cmdHelp.setGeometry({5816, 1065, 240, 240});
    cmdWebSite.setGeometry({5816, 1485, 240, 240});

    picPopUp.setGeometry({120, 480, ListWidth, 1245});
    picPopUp.setVisible(false);
    shpcc.setGeometry({0, 0, ListWidth, 1245});
    lblcc.setGeometry({120, 90, 3000, 195});
    lblcc.setCaption("Установка расширений");
    imgFinder.setGeometry({4800, 60, 480, 240});
    imgFinder.setPicture("finder.gif");
    cboTypes.setGeometry({120, 360, 3615, 315});
    cboTypes.setToolTip("Выберите тип временных файлов");
    txtFilter.setGeometry({120, 780, 3615, 285});
    txtFilter.setToolTip("Расширения");
    txtFilter.setText("*.tmp");
    cmdConfirm.setGeometry({3840, 360, 1455, 315});
    cmdClosePopUp.setGeometry({3840, 780, 1455, 315});
    maskeditor::fillCategories(cboTypes);

    filFiles.setPattern(masks::Extended);
}

void frmScanTemps::connect()
{
    drvDrive.onChange = [this] { drvDrive_Change(); };
    dirDirectories.onChange = [this] { dirDirectories_Change(); };
    cmdNext.onClick = [this] { cmdNext_Click(); };
    cmdBack.onClick = [this] { cmdBack_Click(); };
    cmdUpOneLevel.onClick = [this] { cmdUpOneLevel_Click(); };
    cmdRefresh.onClick = [this] { cmdRefresh_Click(); };
    cmdExit.onClick = [this] { cmdExit_Click(); };
    cmdOpenTaskBar.onClick = [this] { cmdOpenTaskBar_Click(); };
    cmdCloseTaskBar.onClick = [this] { cmdCloseTaskBar_Click(); };
    cmdHelp.onClick = [this] { cmdHelp_Click(); };
    cmdWebSite.onClick = [this] { cmdWebSite_Click(); };
    cboTypes.onClick = [this] { cboTypes_Click(); };
    cmdConfirm.onClick = [this] { cmdConfirm_Click(); };
    cmdClosePopUp.onClick = [this] { cmdClosePopUp_Click(); };
    cmdDelete.onClick = [this] { cmdDelete_Click(); };
    cmdDeleteSelected.onClick = [this] { cmdDeleteSelected_Click(); };
    cmdArch.onClick = [this] { cmdArch_Click(); };
    cmdRecoverIt.onClick = [this] { cmdRecoverIt_Click(); };
    cmdProperties.onClick = [this] { cmdProperties_Click(); };
    mnuProps.onClick = [this] { cmdProperties_Click(); };
    cmdDSel.onClick = [this] { cmdDeleteSelected_Click(); };
    mnuDel.onClick = [this] { cmdDeleteSelected_Click(); };
    cmdAutoPass.onClick = [this] { cmdAutoPass_Click(); };
    cmdRecentPass.onClick = [this] { cmdRecentPass_Click(); };
    cmdViewReports.onClick = [this] { cmdViewReports_Click(); };
    cmdNullPass.onClick = [this] { cmdNullPass_Click(); };
    cmdRecycled.onClick = [this] { cmdRecycled_Click(); };
    cmdDrives.onClick = [this] { cmdDrives_Click(); };
    cmdMainFuncCust.onClick = [this] { cmdMainFuncCust_Click(); };
    cmdCustomize.onClick = [this] { cmdCustomize_Click(); };
    mnuSetup.onClick = [this] { cmdMainFuncCust_Click(); };
    filFiles.onDblClick = [this] { filFiles_DblClick(); };
    filFiles.onKeyDown = [this](int code) { filFiles_KeyDown(code); };
    filFiles.onMouseUp = [this](int button, int x, int y) { filFiles_MouseUp(button, x, y); };
    mnuSelectAll.onClick = [this] { mnuSelectAll_Click(); };
    mnuDeselectAll.onClick = [this] { mnuDeselectAll_Click(); };
    mnuMainInvertSelection.onClick = [this] { mnuMainInvertSelection_Click(); };
    mnuExt.onClick = [this] { mnuExt_Click(); };
    timUpdate.onTimer = [this] { timUpdate_Timer(); };
}

// Start-up: every step that fails is skipped and the next one runs.
void frmScanTemps::Form_Load()
{
    const Services& sv = m_app.services();
    cboTypes.setListIndex(0);
    const std::string defaultFolder = settings::defaultStartFolder(sv.env);

    const std::string helpFolder = sv.env.get("windir") + "\\help\\";
    for (const char* file : HelpFiles) sv.fs.copyFile(file, helpFolder + file);

    const std::string filterFilesBy = settings::readOption(sv.settings, settings::FilterFilesBy, masks::Extended);
    const std::string backForward = settings::readOption(sv.settings, settings::BackForwardOption, "1");
    const std::string showToolbars = settings::readOption(sv.settings, settings::ShowHideToolbars, "1");
    const std::string jumpOnStartup = settings::readOption(sv.settings, settings::JumpOnStartup, defaultFolder);
    const std::string welcomeOnStart = settings::readOption(sv.settings, settings::WelcomeOnStart, "1");
    const std::string disableProf = settings::readOption(sv.settings, settings::DisableProf, "0");
    // An unattended run never lets the periodic update tick, not even while the novice
    // warning below waits for its OK.
    const Switch given = switchOf(sv.env.commandLine());
    if (given != Switch::None) timUpdate.setEnabled(false);

    if (settings::flagEquals(disableProf, 1, 0))
        toolkit().msgBox("Вы работаете в режиме новичка. Этот режим предусмотрен для освоения возможностей этой "
                         "программы.\r\n\r\nЧтобы переключится в режим профессионала, в окне ''Настройка'' снимите "
                         "флажок ''Режим новичка'' на вкладке ''Общие''.",
                         MsgButtons::OK, MsgIcon::Exclamation, "Velmora - Предупреждение");

    // "C:" or "." is the folder the process happens to be in; a run nobody watches opens
    // only a folder named in full.
    if (given == Switch::None || isAbsoluteOnADrive(jumpOnStartup)) {
        const std::string jumpDrive = jumpOnStartup.substr(0, 3);
        drvDrive.setDrive(jumpDrive);
        dirDirectories.setPath(jumpOnStartup);
        if (!jumpDrive.empty()) sv.fs.setCurrentDrive(jumpDrive[0]);
        sv.fs.setCurrentFolder(jumpOnStartup);
    }

    const bool toolbarHidden = settings::flagEquals(showToolbars, 0, 1);
    if (settings::flagEquals(backForward, 0, 1) && !toolbarHidden) {
        cmdBack.setVisible(false);
        cmdNext.setVisible(false);
        drvDrive.setWidth(4270);
    }
    if (toolbarHidden) {
        picTB.setVisible(false);
        drvDrive.setWidth(drvDrive.width() + picTB.width() + 100);
    }

    filFiles.setPattern(masks::startupSelection(filterFilesBy));

    if (runCommandLineSwitch(given, jumpOnStartup)) return;
    if (settings::flagEquals(welcomeOnStart, 1, 1)) showWelcomeLauncher();

    timUpdate_Timer();
}

// A switch runs its command as if clicked, questions and messages included, and then ends the
// program at once, with a status that says whether every file went. Delete-all runs on the
// start-up folder, named in full, or not at all: otherwise the list shows whatever folder the
// program happened to be in, and a scheduled job that answers Yes unseen would clean that one.
bool frmScanTemps::runCommandLineSwitch(Switch given, const std::string& startFolder)
{
    if (given == Switch::None) return false;
    int status = exitstatus::Done;
    if (given == Switch::AutoRecent) {
        if (recentPass(scanContext()) > 0) status = exitstatus::FilesStayed;
    } else {
        const auto start = isAbsoluteOnADrive(startFolder) ? m_app.services().fs.openFolder(startFolder) : nullptr;
        if (!start || !(start->id() == filFiles.listedFolder().id))
            status = exitstatus::NoStartFolder;
        else if (deleteAllShown() > 0)
            status = exitstatus::FilesStayed;
    }
    m_app.setExitStatus(status);
    toolkit().endProgram();
}

// Start-up does not wait for the launcher; it brings this window back however it closes.
void frmScanTemps::showWelcomeLauncher()
{
    m_app.welcomeWindow()->show(this);
    hide();
}

// Closing the main window ends the program at once, asking and saving nothing.
void frmScanTemps::Form_Unload() { toolkit().endProgram(); }

void frmScanTemps::timUpdate_Timer()
{
    SelFiles =
        periodicUpdate({filFiles, lblEntries, mnuExt, picPopUp, cmdDeleteSelected, cmdProperties, cmdArch, cmdDelete},
                       [this] { applyNoviceMode(); });
}

// The launcher and the settings dialog are not loaded for the sake of the rules: one that is
// not loaded is passed over here and applies them itself when it loads.
void frmScanTemps::applyNoviceMode()
{
    frmWelcome* welcome = m_app.welcomeWindow().ifLoaded();
    frmCustom* dialog = m_app.settingsDialog().ifLoaded();
    novice::apply(novice::isOn(m_app.services().settings),
                  {&mnuExt, &cmdDrives, welcome ? &welcome->cmdFindDrives : nullptr,
                   dialog ? &dialog->optOp[0] : nullptr, dialog ? &dialog->optOp[2] : nullptr, &cmdRecoverIt,
                   &cmdNullPass, dialog ? &dialog->cmdArchivers : nullptr});
}

void frmScanTemps::drvDrive_Change() { m_browser.driveChanged(); }
void frmScanTemps::dirDirectories_Change() { m_browser.folderChanged(); }
void frmScanTemps::cmdNext_Click() { m_browser.back(); }
void frmScanTemps::cmdBack_Click() { m_browser.forward(); }
void frmScanTemps::cmdUpOneLevel_Click() { m_browser.up(); }
void frmScanTemps::cmdRefresh_Click() { m_browser.refresh(); }

void frmScanTemps::cmdExit_Click()
{
    // Every other window first, newest first; closing this one ends the program.
    for (;;) {
        Form* other = nullptr;
        for (Form* f : toolkit().forms())
            if (f != this) other = f;
        if (!other) break;
        other->close();
        if (other->isLoaded()) break; // a window that refuses to close keeps the program up
    }
    close();
}

void frmScanTemps::cmdOpenTaskBar_Click()
{
    picTools.setLeft(PanelShownLeft);
    for (Control* c : std::initializer_list<Control*>{&cmdOpenTaskBar, &imgVLM, &cmdHelp, &cmdWebSite})
        c->setVisible(false);
    filFiles.setWidth(ListWidthWithPanel);
    dirDirectories.setWidth(ListWidthWithPanel);
    fitMaskEditor(ListWidthWithPanel);
}

void frmScanTemps::cmdCloseTaskBar_Click()
{
    picTools.setLeft(PanelHiddenLeft);
    for (Control* c : std::initializer_list<Control*>{&cmdOpenTaskBar, &imgVLM, &cmdHelp, &cmdWebSite})
        c->setVisible(true);
    filFiles.setWidth(ListWidth);
    dirDirectories.setWidth(ListWidth);
    fitMaskEditor(ListWidth);
}

// The mask editor lies over the file list and shrinks with it, so the panel never hides it.
void frmScanTemps::fitMaskEditor(int width)
{
    const int fieldWidth = width - 1800;
    picPopUp.setWidth(width);
    shpcc.setWidth(width);
    imgFinder.setLeft(width - 615);
    cboTypes.setWidth(fieldWidth);
    txtFilter.setWidth(fieldWidth);
    for (CommandButton* b : {&cmdConfirm, &cmdClosePopUp}) b->setGeometry({fieldWidth + 225, b->top(), 1455, 315});
}

// Help and the web page open with the host's default programs; nothing is told when none does.
void frmScanTemps::cmdHelp_Click()
{
    m_app.services().shell.open(m_app.services().env.get("windir") + "\\help\\vlm2-2.htm");
}

void frmScanTemps::cmdWebSite_Click() { m_app.services().shell.open(std::string(WebSite)); }

void frmScanTemps::cboTypes_Click() { maskeditor::categoryChosen(cboTypes, txtFilter); }
void frmScanTemps::cmdConfirm_Click() { maskeditor::apply(txtFilter, picPopUp, filFiles); }
void frmScanTemps::cmdClosePopUp_Click() { maskeditor::cancel(picPopUp); }

void frmScanTemps::cmdDelete_Click() { deleteAllShown(); }

std::size_t frmScanTemps::deleteAllShown()
{
    return deleteAll({toolkit(), m_app.services().fs, drvDrive, dirDirectories, filFiles, lblScanReady});
}

void frmScanTemps::cmdDeleteSelected_Click() { deleteSelected({}); }

void frmScanTemps::deleteSelected(const MayDelete& mayDelete)
{
    velmora::deleteSelected({toolkit(), m_app.services().fs, drvDrive, dirDirectories, filFiles, lblScanReady},
                            mayDelete);
}

void frmScanTemps::cmdArch_Click() { m_app.compressWindow()->showModal(this); }
void frmScanTemps::cmdRecoverIt_Click() { m_app.restoreWindow()->showModal(this); }

void frmScanTemps::cmdProperties_Click()
{
    showProperties({m_app.services().fs, m_app.propertiesWindow(), *this}, selectedEntries(filFiles));
}

void frmScanTemps::filFiles_DblClick() { cmdDeleteSelected_Click(); }

void frmScanTemps::filFiles_KeyDown(int keyCode)
{
    if (keyCode == key::Delete && SelFiles != 0) cmdDeleteSelected_Click();
}

void frmScanTemps::filFiles_MouseUp(int button, int x, int y)
{
    if (button != mouse::Right) return;
    mnuDel.setEnabled(cmdDeleteSelected.enabled());
    mnuProps.setEnabled(cmdProperties.enabled());
    toolkit().popupMenu(mnuMain, filFiles.left() + x, filFiles.top() + y, &mnuDel);
}

void frmScanTemps::mnuSelectAll_Click() { applySelection(toolkit(), filFiles, SelectionCommand::SelectAll); }
void frmScanTemps::mnuDeselectAll_Click() { applySelection(toolkit(), filFiles, SelectionCommand::DeselectAll); }
void frmScanTemps::mnuMainInvertSelection_Click() { applySelection(toolkit(), filFiles, SelectionCommand::Invert); }
void frmScanTemps::mnuExt_Click() { picPopUp.setVisible(!picPopUp.visible()); }

ScanContext frmScanTemps::scanContext()
{
    return {toolkit(), m_app.services(), drvDrive, dirDirectories, filFiles, lblScanReady, m_reports};
}

void frmScanTemps::cmdAutoPass_Click()
{
    // The scan yields while it works; a second click meanwhile must not start another.
    const Reentry running(m_autoPassRunning);
    if (!running.again()) autoPass(scanContext());
}

void frmScanTemps::cmdRecentPass_Click() { recentPass(scanContext()); }
void frmScanTemps::cmdNullPass_Click() { nullPass(scanContext()); }
void frmScanTemps::cmdRecycled_Click() { emptyRecycleBins(scanContext()); }
void frmScanTemps::cmdDrives_Click() { m_app.driveScanWindow()->showModal(this); }
void frmScanTemps::cmdMainFuncCust_Click() { m_app.settingsDialog()->showModal(this); }
void frmScanTemps::cmdCustomize_Click() { m_app.settingsDialog()->showModal(this); }

void frmScanTemps::cmdViewReports_Click() { viewReportFile(toolkit(), m_app.services(), m_app.reportWindow(), *this); }

} // namespace velmora

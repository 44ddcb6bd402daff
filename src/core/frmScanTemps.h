#pragma once
// The main window: the folder browser with its junk list, the command panel, the mask editor.
#include "browser/Deletion.h"
#include "browser/FolderBrowser.h"
#include "core/Switches.h"
#include "platform/toolkit/Form.h"
#include "reports/ReportHandOver.h"

namespace velmora {

class App;
struct ScanContext;

class frmScanTemps : public Form {
public:
    explicit frmScanTemps(App& app);

    // Counted by every periodic update: the selected entries of the file list.
    int SelFiles = 0;
    NavigationHistory history;

    // Where the scans' reports go: the report window, over this window.
    const ReportHandOver& reports() const { return m_reports; }

    // The commands other windows call.
    void cmdAutoPass_Click();
    void cmdRecentPass_Click();
    void cmdViewReports_Click();
    void cmdDeleteSelected_Click();
    // Delete-selected where each entry goes only when `mayDelete` allows it.
    void deleteSelected(const MayDelete& mayDelete);
    void cmdArch_Click();
    void cmdRecoverIt_Click();
    void cmdProperties_Click();
    void cmdDelete_Click();
    void cmdNullPass_Click();
    void cmdRecycled_Click();
    void cmdDrives_Click();
    void cmdMainFuncCust_Click();
    void cmdCustomize_Click();
    void timUpdate_Timer();

    // The sliding command panel and what it holds.
    PictureBox picTools{*this, "picTools"};
    CommandButton cmdDelete{*this, "cmdDelete", &picTools};
    CommandButton cmdDeleteSelected{*this, "cmdDeleteSelected", &picTools};
    CommandButton cmdArch{*this, "cmdArch", &picTools};
    CommandButton cmdRecoverIt{*this, "cmdRecoverIt", &picTools};
    CommandButton cmdProperties{*this, "cmdProperties", &picTools};
    CommandButton cmdMainFuncCust{*this, "cmdMainFuncCust", &picTools};
    CommandButton cmdViewReports{*this, "cmdViewReports", &picTools};
    CommandButton cmdAutoPass{*this, "cmdAutoPass", &picTools};
    CommandButton cmdNullPass{*this, "cmdNullPass", &picTools};
    CommandButton cmdCloseTaskBar{*this, "cmdCloseTaskBar", &picTools};
    CommandButton cmdRecycled{*this, "cmdRecycled", &picTools};
    CommandButton cmdDrives{*this, "cmdDrives", &picTools};
    CommandButton cmdRecentPass{*this, "cmdRecentPass", &picTools};
    CommandButton cmdExit{*this, "cmdExit", &picTools};

    Label lblEntries{*this, "lblEntries"};
    Image imgVLM2{*this, "imgVLM2"};
    Line linSSS{*this, "linSSS"};
    FileListBox filFiles;
    Label lblScanReady{*this, "lblScanReady"};
    DirListBox dirDirectories;
    Shape shp2{*this, "shp2"};

    // The small tool bar beside the drive box.
    PictureBox picTB{*this, "picTB"};
    // The names run against the tooltips, as designed: cmdNext ("Назад") goes back.
    CommandButton cmdNext{*this, "cmdNext", &picTB};
    CommandButton cmdBack{*this, "cmdBack", &picTB};
    CommandButton cmdUpOneLevel{*this, "cmdUpOneLevel", &picTB};
    CommandButton cmdRefresh{*this, "cmdRefresh", &picTB};
    CommandButton cmdDSel{*this, "cmdDSel", &picTB};
    CommandButton cmdCustomize{*this, "cmdCustomize", &picTB};
    // After the tool bar, so that when it widens it lies over the place of the hidden buttons.
    DriveListBox drvDrive;

    Image imgVLM{*this, "imgVLM"};
    CommandButton cmdOpenTaskBar{*this, "cmdOpenTaskBar"};
    CommandButton cmdHelp{*this, "cmdHelp"};
    CommandButton cmdWebSite{*this, "cmdWebSite"};

    // The mask editor, hidden until the menu shows it.
    PictureBox picPopUp{*this, "picPopUp"};
    Shape shpcc{*this, "shpcc", &picPopUp};
    Label lblcc{*this, "lblcc", &picPopUp};
    Image imgFinder{*this, "imgFinder", &picPopUp};
    ComboBox cboTypes{*this, "cboTypes", &picPopUp};
    TextBox txtFilter{*this, "txtFilter", &picPopUp};
    CommandButton cmdConfirm{*this, "cmdConfirm", &picPopUp};
    CommandButton cmdClosePopUp{*this, "cmdClosePopUp", &picPopUp};

    Timer timUpdate{*this, "timUpdate", 50};

    Menu mnuMain{*this, "mnuMain"};
    MenuItem mnuSelectAll{mnuMain, "mnuSelectAll", "&Выбрать все"};
    MenuItem mnuDeselectAll{mnuMain, "mnuDeselectAll", "&Снять все"};
    MenuItem mnuMainSEP2{mnuMain, "mnuMainSEP2", "-"};
    MenuItem mnuMainInvertSelection{mnuMain, "mnuMainInvertSelection", "&Инвертировать выделение"};
    MenuItem mnuMainSEP{mnuMain, "mnuMainSEP", "-"};
    MenuItem mnuDel{mnuMain, "mnuDel", "У&далить"};
    MenuItem mnuProps{mnuMain, "mnuProps", "Свойства"};
    MenuItem mnuSep0{mnuMain, "mnuSep0", "-"};
    MenuItem mnuSetup{mnuMain, "mnuSetup", "&Настроить..."};
    MenuItem mnuExt{mnuMain, "mnuExt", "Показать &расширения"};

protected:
    void Form_Load() override;
    void Form_Unload() override;

private:
    void layOut();
    void connect();

    void drvDrive_Change();
    void dirDirectories_Change();
    void cmdNext_Click();
    void cmdBack_Click();
    void cmdUpOneLevel_Click();
    void cmdRefresh_Click();
    void cmdExit_Click();
    void cmdOpenTaskBar_Click();
    void cmdCloseTaskBar_Click();
    void cmdHelp_Click();
    void cmdWebSite_Click();
    void fitMaskEditor(int width);
    void cboTypes_Click();
    void cmdConfirm_Click();
    void cmdClosePopUp_Click();
    void filFiles_DblClick();
    void filFiles_KeyDown(int keyCode);
    void filFiles_MouseUp(int button, int x, int y);
    void mnuSelectAll_Click();
    void mnuDeselectAll_Click();
    void mnuMainInvertSelection_Click();
    void mnuExt_Click();
    void applyNoviceMode();
    bool runCommandLineSwitch(Switch given, const std::string& startFolder);
    // Delete-all on the folder shown; how many files stayed.
    std::size_t deleteAllShown();
    void showWelcomeLauncher();
    ScanContext scanContext();

    App& m_app;
    FolderBrowser m_browser;
    ReportHandOver m_reports;
    bool m_autoPassRunning = false;
};

} // namespace velmora

// The program's own windows under the Win32 front-end: every window opened and drawn, a scan
// and a deletion clicked through on drive-mapped temporary folders, message boxes answered,
// and screenshots a person can look at, written into the build folder.
#include "archiving/frmArcFrom.h"
#include "archiving/frmArcTo.h"
#include "archiving/frmCustomizeArchivers.h"
#include "archiving/frmSelectDir.h"
#include "browser/Properties.h"
#include "core/App.h"
#include "core/frmCustom.h"
#include "core/frmScanTemps.h"
#include "core/frmWelcome.h"
#include "platform/testing/Doubles.h"
#include "platform/toolkit/Accessible.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Text.h"
#include "platform/win32ui/Win32FrontEnd.h"
#include "reports/frmReport.h"
#include "reports/frmReportInfo.h"
#include "scanners/frmDrivePass.h"
#include "support/TestSupport.h"
#include "win32ui/WindowTesting.h"

#include <gtest/gtest.h>
#include <oleacc.h>

#include <chrono>
#include <filesystem>

namespace velmora {
namespace {

namespace fs = std::filesystem;
using namespace win32test;
using testsupport::pathText;

class ProgramWindows : public ::testing::Test {
protected:
    ProgramWindows() : files("c:=" + pathText(tree.mkdir("c")) + ";d:=" + pathText(tree.mkdir("d")))
    {
        env.set("TMP", "C:\\TEMP");
        env.set("windir", "C:\\WINDOWS");
        fe.setPictureFolders({pathText(fs::path(buildFolder()) / "help")});
        fe.attach(tk);
    }
    // The program moves the working folder into the drives; it must leave before they go.
    ~ProgramWindows() override { fs::current_path(m_home); }

    Services services() { return {settings, files, env, processes, shell, printer, clock}; }
    HWND w(const Form& f) const { return fe.window(f); }
    HWND w(const Control& c) const { return fe.window(c); }
    void hideAll()
    {
        for (Form* f : tk.forms()) f->hide();
    }

    fs::path m_home = fs::current_path();
    testsupport::TempDir tree;
    Win32FileSystem files;
    testing::MemorySettings settings;
    testing::MapEnvironment env;
    testing::RecordingProcessStarter processes;
    testing::RecordingShell shell;
    testing::RecordingPrinter printer;
    testing::FixedClock clock;
    Win32FrontEnd fe;
    Toolkit tk{fe};
    BoxAnswerer boxes; // every box gets its safe answer unless a test queues another
};

TEST_F(ProgramWindows, MainWindowShowsItsControlsWithRussianCaptions)
{
    settings.save("Quorvik", "[Options]", "WelcomeOnStart", "0");
    for (auto name : {"c/TEMP/setup.tmp", "c/TEMP/old.bak", "c/TEMP/Чертёж.tmp", "c/TEMP/Sub/x.txt"})
        tree.write(name, "data");
    App app(tk, services());
    app.start();
    auto& main = app.mainWindow();
    main.filFiles.userSelect(1);
    main.timUpdate_Timer();
    fe.yield();
    EXPECT_EQ(text(w(main)), main.caption());
    EXPECT_EQ(text(w(main.lblEntries)), "3 файла, 1 файл выделен, всего 4 байт");
    EXPECT_EQ(::SendMessageW(w(main.filFiles), LB_GETCOUNT, 0, 0), 3);
    EXPECT_TRUE(capture(w(main), "win32-main-window.png"));
    main.cmdOpenTaskBar.click();
    fe.yield();
    EXPECT_TRUE(capture(w(main), "win32-main-window-panel.png"));
    main.cmdCloseTaskBar.click();
    main.mnuExt.click();
    main.cboTypes.choose(4);
    fe.yield();
    EXPECT_TRUE(capture(w(main), "win32-main-window-masks.png"));
    EXPECT_TRUE(boxes.seen().empty());
    hideAll();
}

TEST_F(ProgramWindows, WelcomeLauncherAndTheMainWindowInNoviceMode)
{
    tree.write("c/TEMP/setup.tmp", "data");
    App app(tk, services());
    app.start();
    frmWelcome* welcome = app.welcomeWindow().ifLoaded();
    ASSERT_NE(welcome, nullptr);
    fe.yield();
    EXPECT_TRUE(::IsWindowVisible(w(*welcome)));
    EXPECT_EQ(::GetWindow(w(*welcome), GW_OWNER), w(app.mainWindow()));
    EXPECT_TRUE(capture(w(*welcome), "win32-welcome-launcher.png"));

    settings.save("Quorvik", "[Options]", "DisableProf", "1");
    auto& main = app.mainWindow();
    main.timUpdate_Timer();
    EXPECT_FALSE(::IsWindowEnabled(w(welcome->cmdFindDrives)));
    fe.yield();
    EXPECT_TRUE(capture(w(*welcome), "win32-welcome-launcher-novice.png"));
    ::SendMessageW(w(welcome->cmdClose), BM_CLICK, 0, 0);
    EXPECT_FALSE(app.welcomeWindow().ifLoaded());
    main.cmdOpenTaskBar.click();
    for (const Control* c :
         std::initializer_list<const Control*>{&main.cmdDrives, &main.cmdRecoverIt, &main.cmdNullPass})
        EXPECT_FALSE(::IsWindowEnabled(w(*c))) << c->name();
    fe.yield();
    EXPECT_TRUE(capture(w(main), "win32-main-window-novice-panel.png"));
    hideAll();
}

TEST_F(ProgramWindows, SettingsDialogOnEachOfItsPages)
{
    App app(tk, services());
    app.start();
    frmCustom& dialog = app.settingsDialog().get();
    dialog.show();
    fe.yield();
    EXPECT_TRUE(capture(w(dialog), "win32-settings-general.png"));
    ::SendMessageW(w(dialog.optOp[2]), BM_CLICK, 0, 0);
    fe.yield();
    EXPECT_TRUE(capture(w(dialog), "win32-settings-other.png"));
    ::SendMessageW(w(dialog.optOp[0]), BM_CLICK, 0, 0);
    fe.yield();
    EXPECT_TRUE(capture(w(dialog), "win32-settings-junk-list.png"));
    hideAll();
}

TEST_F(ProgramWindows, FolderChooserReportSettingsAndArchiverWindows)
{
    settings.save("Quorvik", "[Options]\\[Archivers]", "Name1", "ZIP");
    settings.save("Quorvik", "[Options]\\[Archivers]", "Extention1", "zip");
    App app(tk, services());
    app.start();
    frmSelectDir& chooser = app.folderChooser().get();
    chooser.show();
    fe.yield();
    EXPECT_TRUE(capture(w(chooser), "win32-folder-chooser.png"));
    frmReportInfo& info = app.reportSettings().get();
    info.show();
    info.timCheck_Timer();
    fe.yield();
    EXPECT_TRUE(capture(w(info), "win32-report-settings.png"));
    hideAll();

    frmArcTo& compress = app.compressWindow().get();
    compress.show();
    fe.yield();
    EXPECT_TRUE(capture(w(compress), "win32-compress-window.png"));
    ::SendMessageW(w(compress.cmdOK), BM_CLICK, 0, 0); // no archive is made: a message, then the last stage
    EXPECT_EQ(compress.lblProcess.caption(), "Этап 4. Процесс завершен");
    EXPECT_EQ(boxes.seen().size(), 1u);
    fe.yield();
    EXPECT_TRUE(capture(w(compress), "win32-compress-window-done.png"));
    frmArcFrom& restore = app.restoreWindow().get();
    restore.show();
    fe.yield();
    EXPECT_TRUE(capture(w(restore), "win32-restore-window.png"));
    frmCustomizeArchivers& editor = app.archiverEditor().get();
    editor.show();
    fe.yield();
    EXPECT_TRUE(capture(w(editor), "win32-archiver-editor.png"));
    hideAll();
}

TEST_F(ProgramWindows, DriveScanWindowAfterAWalk)
{
    tree.write("c/Data/Deep/old.bak");
    tree.write("c/Data/new.tmp");
    App app(tk, services());
    app.start();
    auto& scan = app.driveScanWindow().get();
    scan.dirDirectorie.setPath("C:\\Data");
    scan.show(&app.mainWindow());
    ::SendMessageW(w(scan.cmdScan), BM_CLICK, 0, 0);
    EXPECT_EQ(scan.lstParasites.listCount(), 2u);
    EXPECT_EQ(::SendMessageW(w(scan.lstParasites), LB_GETCOUNT, 0, 0), 2);
    fe.yield();
    EXPECT_TRUE(capture(w(scan), "win32-drive-scan-window.png"));
    hideAll();
}

TEST_F(ProgramWindows, PropertiesWindowOfOneFileAndOfTwo)
{
    settings.save("Quorvik", "[Options]", "WelcomeOnStart", "0");
    tree.write("c/TEMP/Отчёт за май.tmp", std::string(1536, 'x'));
    tree.write("c/TEMP/old.bak", "data");
    App app(tk, services());
    app.start();
    auto& main = app.mainWindow();
    ASSERT_EQ(main.filFiles.listCount(), 2u);
    // The window is modal: it is captured from inside its own loop, then closed by its button.
    auto captureProperties = [&](const std::string& png) {
        bool captured = false;
        Poll poll([&] {
            frmProperties* window = app.propertiesWindow().ifLoaded();
            if (!window || !window->visible()) return false;
            captured = capture(w(*window), png);
            ::SendMessageW(w(window->cmdClose), BM_CLICK, 0, 0);
            return true;
        });
        main.timUpdate_Timer(); // the button is usable once the periodic update saw the selection
        EXPECT_TRUE(::IsWindowEnabled(w(main.cmdProperties)));
        ::SendMessageW(w(main.cmdProperties), BM_CLICK, 0, 0);
        return captured;
    };
    for (std::size_t i = 0; i < 2; ++i) main.filFiles.setSelected(i, main.filFiles.list(i) != "old.bak");
    EXPECT_TRUE(captureProperties("win32-properties-one-file.png"));
    main.filFiles.setSelected(0, true);
    main.filFiles.setSelected(1, true);
    EXPECT_TRUE(captureProperties("win32-properties-two-files.png"));
    EXPECT_TRUE(boxes.seen().empty());
    hideAll();
}

// What a user does with the mouse and the keyboard: an automatic scan from the command panel,
// its message and its report; then two files picked in the list and deleted with the Delete key.
TEST_F(ProgramWindows, AScanAndADeletionClickedThroughTheWindows)
{
    settings.save("Quorvik", "[Options]", "WelcomeOnStart", "0");
    tree.write("c/WINDOWS/TEMP/one.tmp");
    tree.write("c/WINDOWS/TEMP/two.tmp");
    tree.write("c/TEMP/five.tmp");
    tree.write("c/TEMP/four.tmp");
    tree.write("c/TEMP/three.bak");
    env.unset("TMP"); // "C:\TEMP" would be scanned a second time under another spelling
    App app(tk, services());
    app.start();
    auto& main = app.mainWindow();
    fe.yield();

    ::SendMessageW(w(main.cmdOpenTaskBar), BM_CLICK, 0, 0);
    bool reportShown = false;
    std::string reportTitle;
    Poll closeReport([&] {
        frmReport* report = app.reportWindow().ifLoaded();
        if (!report || !report->visible()) return false;
        reportTitle = text(w(*report));
        reportShown = capture(w(*report), "win32-report-window.png");
        ::SendMessageW(w(*report), WM_CLOSE, 0, 0);
        return true;
    });
    ::SendMessageW(w(main.cmdAutoPass), BM_CLICK, 0, 0);
    EXPECT_TRUE(reportShown);
    EXPECT_EQ(reportTitle, "Velmora - отчет об автоматическом сканировании");
    ASSERT_FALSE(boxes.seen().empty());
    EXPECT_EQ(boxes.seen().front().text, "5 файлов было найдено в директориях временных файлов.");
    EXPECT_EQ(boxes.seen().front().title, "Velmora");

    // The scan left the list in a temporary folder; the user opens C:\TEMP and picks two files.
    ASSERT_TRUE(main.dirDirectories.setPath("C:\\TEMP"));
    fe.yield();
    HWND list = w(main.filFiles);
    ASSERT_EQ(::SendMessageW(list, LB_GETCOUNT, 0, 0), 3); // five.tmp, four.tmp, three.bak
    const auto height = static_cast<int>(::SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
    clickAt(list, {10, height / 2});
    clickAt(list, {10, 2 * height + height / 2}, MK_CONTROL);
    EXPECT_EQ(main.filFiles.selCount(), 2u);
    // The Delete key acts on what the periodic update counted: wait for its next tick.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (main.SelFiles != 2 && std::chrono::steady_clock::now() < until) fe.yield();
    const std::size_t before = boxes.seen().size();
    boxes.queue(IDYES);
    postKey(list, VK_DELETE);
    fe.yield();
    ASSERT_GE(boxes.seen().size(), before + 1);
    EXPECT_EQ(boxes.seen()[before].text,
              "Вы действительно хотите удалить все выделенные временные файлы (2) из папки:\r\n\r\n'C:\\TEMP'?");
    EXPECT_FALSE(tree.exists("c/TEMP/five.tmp"));
    EXPECT_FALSE(tree.exists("c/TEMP/three.bak"));
    EXPECT_TRUE(tree.exists("c/TEMP/four.tmp"));
    EXPECT_EQ(rows(list), std::vector<std::string>{"four.tmp"});
    EXPECT_TRUE(tree.exists("c/WINDOWS/TEMP/one.tmp")); // listed elsewhere: untouched
    hideAll();
}

// A screen reader asks a window for its object: a picture button says its tip, the file list
// the label beside it, though neither is the window's text.
TEST_F(ProgramWindows, ScreenReadersHearAPictureButtonsTipAndAListsLabel)
{
    settings.save("Quorvik", "[Options]", "WelcomeOnStart", "0");
    App app(tk, services());
    app.start();
    auto& main = app.mainWindow();
    fe.yield();
    ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
    auto nameOf = [](HWND window) {
        IAccessible* object = nullptr;
        std::wstring name;
        if (FAILED(::AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                                reinterpret_cast<void**>(&object))))
            return std::string("(no object)");
        VARIANT self;
        ::VariantInit(&self);
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        BSTR text = nullptr;
        if (object->get_accName(self, &text) == S_OK && text) name.assign(text, ::SysStringLen(text));
        ::SysFreeString(text);
        object->Release();
        return win32::narrow(name);
    };
    const std::string list = accessibleName(main.filFiles);
    EXPECT_FALSE(list.empty());
    EXPECT_EQ(nameOf(w(main.cmdHelp)), withoutAccessKey(main.cmdHelp.toolTip()));
    EXPECT_EQ(nameOf(w(main.filFiles)), list);
    EXPECT_EQ(nameOf(w(main.cmdOpenTaskBar)), withoutAccessKey(main.cmdOpenTaskBar.toolTip()));
    ::CoUninitialize();
    hideAll();
}

} // namespace
} // namespace velmora

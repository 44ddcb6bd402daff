// The program's own windows under Qt: screenshots a person can look at, and a printed PDF.
#include "archiving/frmArcFrom.h"
#include "archiving/frmArcTo.h"
#include "archiving/frmCustomizeArchivers.h"
#include "archiving/frmSelectDir.h"
#include "browser/Properties.h"
#include "core/App.h"
#include "core/frmCustom.h"
#include "core/frmScanTemps.h"
#include "core/frmWelcome.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/qt/QtFrontEnd.h"
#include "platform/qt/QtPrinter.h"
#include "platform/testing/Doubles.h"
#include "platform/toolkit/Accessible.h"
#include "reports/frmReport.h"
#include "reports/frmReportInfo.h"
#include "scanners/frmDrivePass.h"
#include "support/TestSupport.h"

#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

namespace velmora {
namespace {

namespace fs = std::filesystem;

class ProgramWindows : public ::testing::Test {
protected:
    ProgramWindows() : files("c:=" + (tree.mkdir("c")).string() + ";d:=" + tree.mkdir("d").string()), printer()
    {
        // The way a person without a printer prints: into a PDF named by the environment.
        setenv("VELMORA_PRINT_TO", (fs::path(VELMORA_BUILD_DIR) / "report-print.pdf").c_str(), 1);
        env.set("TMP", "C:\\TEMP");
        env.set("windir", "C:\\WINDOWS");
        frontEnd.messageBoxHook = [this](const MessageBoxSpec& spec) {
            boxes.push_back(spec.text);
            return safeAnswer(spec.buttons);
        };
        frontEnd.setPictureFolders({std::string(VELMORA_SOURCE_DIR) + "/help"});
        frontEnd.attach(tk);
    }
    // The program moves the working folder into the drives; it must leave before they go.
    ~ProgramWindows() override { fs::current_path(m_home); }

    // Grabs a window to a PNG under the build folder; true when it shows more than one colour.
    static bool grab(QWidget* window, const std::string& name)
    {
        if (!window) return false;
        QApplication::processEvents();
        const QImage image = window->grab().toImage();
        image.save(QString::fromStdString(std::string(VELMORA_BUILD_DIR) + "/" + name));
        std::set<QRgb> colours;
        for (int y = 0; y < image.height() && colours.size() < 3; y += 7)
            for (int x = 0; x < image.width() && colours.size() < 3; x += 7) colours.insert(image.pixel(x, y));
        return colours.size() > 2;
    }

    fs::path m_home = fs::current_path();
    testsupport::TempDir tree;
    PosixFileSystem files;
    testing::MemorySettings settings;
    testing::MapEnvironment env;
    testing::RecordingProcessStarter processes;
    testing::RecordingShell shell;
    QtPrinter printer;
    testing::FixedClock clock;
    QtFrontEnd frontEnd;
    Toolkit tk{frontEnd};
    std::vector<std::string> boxes;
};

TEST_F(ProgramWindows, MainWindowShowsItsControlsWithRussianCaptions)
{
    for (auto name : {"c/TEMP/setup.tmp", "c/TEMP/old.bak", "c/TEMP/Чертёж.tmp", "c/TEMP/Sub/x.txt"})
        tree.write(name, "data");
    App app(tk, {settings, files, env, processes, shell, printer, clock});
    app.start();
    auto& main = app.mainWindow();
    main.filFiles.userSelect(1);
    main.timUpdate_Timer();
    EXPECT_TRUE(grab(frontEnd.widget(main), "main-window.png"));
    main.cmdOpenTaskBar.click();
    EXPECT_TRUE(grab(frontEnd.widget(main), "main-window-panel.png"));
    main.cmdCloseTaskBar.click();
    main.mnuExt.click();
    main.cboTypes.choose(4);
    EXPECT_TRUE(grab(frontEnd.widget(main), "main-window-masks.png"));
    for (Form* f : tk.forms()) f->hide();
}

TEST_F(ProgramWindows, WelcomeLauncherAndTheMainWindowInNoviceMode)
{
    tree.write("c/TEMP/setup.tmp", "data");
    App app(tk, {settings, files, env, processes, shell, printer, clock});
    app.start();
    frmWelcome* welcome = app.welcomeWindow().ifLoaded();
    ASSERT_NE(welcome, nullptr);
    EXPECT_TRUE(grab(frontEnd.widget(*welcome), "welcome-launcher.png"));

    settings.save("Quorvik", "[Options]", "DisableProf", "1");
    auto& main = app.mainWindow();
    main.timUpdate_Timer();
    EXPECT_FALSE(welcome->cmdFindDrives.enabled());
    EXPECT_FALSE(frontEnd.widget(welcome->cmdFindDrives)->isEnabled());
    EXPECT_TRUE(grab(frontEnd.widget(*welcome), "welcome-launcher-novice.png"));
    welcome->cmdClose.click();
    main.cmdOpenTaskBar.click();
    for (const Control* c :
         std::initializer_list<const Control*>{&main.cmdDrives, &main.cmdRecoverIt, &main.cmdNullPass})
        EXPECT_FALSE(frontEnd.widget(*c)->isEnabled()) << c->name();
    EXPECT_TRUE(grab(frontEnd.widget(main), "main-window-novice-panel.png"));
    EXPECT_TRUE(boxes.empty());
    for (Form* f : tk.forms()) f->hide();
}

// Host names holding characters no Windows name can hold show as one name each, those
// characters as private-use ones, in a window a person can look at.
TEST_F(ProgramWindows, HostNamesThatReadAsPathsShowAsOneEntryEach)
{
    for (auto name : {"c/TEMP/..\\Important.tmp", "c/TEMP/a:b?.tmp", "c/TEMP/new\nline.tmp", "c/TEMP/plain.tmp"})
        tree.write(name, "data");
    App app(tk, {settings, files, env, processes, shell, printer, clock});
    app.start();
    auto& main = app.mainWindow();
    ASSERT_EQ(main.filFiles.listCount(), 4u);
    for (std::size_t i = 0; i < main.filFiles.listCount(); ++i) {
        const std::string& name = main.filFiles.list(i);
        EXPECT_EQ(name.find_first_of("\\:?\n"), std::string::npos) << name;
    }
    EXPECT_TRUE(grab(frontEnd.widget(main), "main-window-odd-names.png"));
    for (Form* f : tk.forms()) f->hide();
}

TEST_F(ProgramWindows, SettingsDialogOnEachOfItsPages)
{
    App app(tk, {settings, files, env, processes, shell, printer, clock});
    app.start();
    frmCustom& dialog = app.settingsDialog().get();
    dialog.show();
    EXPECT_TRUE(grab(frontEnd.widget(dialog), "settings-general.png"));
    dialog.optOp[2].click();
    EXPECT_TRUE(grab(frontEnd.widget(dialog), "settings-other.png"));
    dialog.optOp[0].click();
    EXPECT_TRUE(grab(frontEnd.widget(dialog), "settings-junk-list.png"));
    for (Form* f : tk.forms()) f->hide();
}

TEST_F(ProgramWindows, FolderChooserAndReportSettings)
{
    App app(tk, {settings, files, env, processes, shell, printer, clock});
    app.start();
    frmSelectDir& chooser = app.folderChooser().get();
    chooser.show();
    EXPECT_TRUE(grab(frontEnd.widget(chooser), "folder-chooser.png"));
    frmReportInfo& info = app.reportSettings().get();
    info.show();
    info.timCheck_Timer();
    EXPECT_TRUE(grab(frontEnd.widget(info), "report-settings.png"));
    for (Form* f : tk.forms()) f->hide();
}

TEST_F(ProgramWindows, ArchiverWindows)
{
    settings.save("Quorvik", "[Options]\\[Archivers]", "Name1", "ZIP");
    settings.save("Quorvik", "[Options]\\[Archivers]", "Extention1", "zip");
    App app(tk, {settings, files, env, processes, shell, printer, clock});
    app.start();
    frmArcTo& compress = app.compressWindow().get();
    compress.show();
    EXPECT_TRUE(grab(frontEnd.widget(compress), "compress-window.png"));
    compress.cmdOK.click(); // no archive is made: the message, then the last stage
    EXPECT_EQ(compress.lblProcess.caption(), "Этап 4. Процесс завершен");
    EXPECT_TRUE(grab(frontEnd.widget(compress), "compress-window-done.png"));
    frmArcFrom& restore = app.restoreWindow().get();
    restore.show();
    EXPECT_TRUE(grab(frontEnd.widget(restore), "restore-window.png"));
    frmCustomizeArchivers& editor = app.archiverEditor().get();
    editor.show();
    EXPECT_TRUE(grab(frontEnd.widget(editor), "archiver-editor.png"));
    for (Form* f : tk.forms()) f->hide();
}

TEST_F(ProgramWindows, ReportWindowWithARealAutoPassReportAndItsPrintout)
{
    tree.write("c/Windows/temp/one.tmp");
    tree.write("c/Windows/temp/two.tmp");
    tree.write("c/temp/three.bak");
    env.unset("TMP"); // "C:\\TEMP" would be scanned a second time under another spelling
    fs::remove(fs::path(VELMORA_BUILD_DIR) / "report-print.pdf");
    App app(tk, {settings, files, env, processes, shell, printer, clock});
    app.start();
    bool grabbed = false;
    // The scan yields to the event loop while it works: wait for the report to be shown.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        frmReport* report = app.reportWindow().ifLoaded();
        if (!report || !report->visible()) return;
        poll.stop();
        grabbed = grab(frontEnd.widget(*report), "report-window.png");
        report->cmdPrint.click();
    });
    poll.start(10);
    app.mainWindow().cmdAutoPass_Click();
    EXPECT_TRUE(grabbed);
    EXPECT_EQ(boxes.front(), "3 файла было найдено в директориях временных файлов.");
    EXPECT_NE(
        std::find(boxes.begin(), boxes.end(), "Печать отчета на принтере " + printer.deviceName() + " завершена."),
        boxes.end());
    EXPECT_GT(fs::file_size(fs::path(VELMORA_BUILD_DIR) / "report-print.pdf"), 1000u);
    for (Form* f : tk.forms()) f->hide();
}

TEST_F(ProgramWindows, DriveScanWindowAfterAWalk)
{
    tree.write("c/Data/Deep/old.bak");
    tree.write("c/Data/new.tmp");
    App app(tk, {settings, files, env, processes, shell, printer, clock});
    app.start();
    auto& scan = app.driveScanWindow().get();
    scan.dirDirectorie.setPath("C:\\Data");
    scan.show(&app.mainWindow());
    scan.cmdScan.click();
    EXPECT_EQ(scan.lstParasites.listCount(), 2u);
    EXPECT_TRUE(grab(frontEnd.widget(scan), "drive-scan-window.png"));
    for (Form* f : tk.forms()) f->hide();
}

TEST_F(ProgramWindows, PropertiesWindowOfOneFileAndOfTwo)
{
    tree.write("c/TEMP/Отчёт за май.tmp", std::string(1536, 'x'));
    tree.write("c/TEMP/old.bak", "data");
    App app(tk, {settings, files, env, processes, shell, printer, clock});
    app.start();
    auto& main = app.mainWindow();
    ASSERT_EQ(main.filFiles.listCount(), 2u);
    // The window is modal: grab it from inside its own loop, then close it.
    auto grabProperties = [&](const std::string& png) {
        bool grabbed = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            frmProperties* window = app.propertiesWindow().ifLoaded();
            if (!window || !window->visible()) return;
            poll.stop();
            grabbed = grab(frontEnd.widget(*window), png);
            window->cmdClose.click();
        });
        poll.start(10);
        main.cmdProperties_Click();
        return grabbed;
    };
    for (std::size_t i = 0; i < 2; ++i) main.filFiles.setSelected(i, main.filFiles.list(i) != "old.bak");
    EXPECT_TRUE(grabProperties("properties-one-file.png"));
    main.filFiles.setSelected(0, true);
    main.filFiles.setSelected(1, true);
    EXPECT_TRUE(grabProperties("properties-two-files.png"));
    EXPECT_TRUE(boxes.empty());
    for (Form* f : tk.forms()) f->hide();
}

TEST_F(ProgramWindows, AWidenedDriveBoxLiesOverTheHiddenHistoryButtons)
{
    tree.mkdir("c/TEMP");
    settings.save("Quorvik", "[Options]", "BackForwardOption", "0");
    App app(tk, {settings, files, env, processes, shell, printer, clock});
    app.start();
    auto& main = app.mainWindow();
    QWidget* window = frontEnd.widget(main);
    QWidget* driveBox = frontEnd.widget(main.drvDrive);
    ASSERT_TRUE(window && driveBox);
    QApplication::processEvents();
    // Just left of the box's right edge, where the tool bar's first buttons were.
    const QPoint edge = driveBox->mapTo(window, QPoint(driveBox->width() - 4, driveBox->height() / 2));
    QWidget* hit = window->childAt(edge);
    EXPECT_TRUE(hit == driveBox || driveBox->isAncestorOf(hit));
    EXPECT_TRUE(grab(window, "main-window-no-history-buttons.png"));
    for (Form* f : tk.forms()) f->hide();
}

// Every control a person can reach, in every window, has a name a screen reader can say; the
// picture buttons say their tip, lists the label beside them.
TEST_F(ProgramWindows, EveryControlOfEveryWindowHasAnAccessibleName)
{
    tree.write("c/TEMP/setup.tmp", "data");
    App app(tk, {settings, files, env, processes, shell, printer, clock});
    app.start();
    auto& main = app.mainWindow();
    main.filFiles.userSelect(0);
    app.welcomeWindow().get();
    app.reportWindow().get();
    app.driveScanWindow().get();
    app.settingsDialog().get();
    app.reportSettings().get();
    app.folderChooser().get();
    app.compressWindow().get();
    app.restoreWindow().get();
    app.archiverEditor().get();
    app.propertiesWindow().get();
    ASSERT_EQ(tk.forms().size(), 11u);

    const std::set<QAccessible::Role> interactive{
        QAccessible::PushButton, QAccessible::CheckBox, QAccessible::RadioButton, QAccessible::ComboBox,
        QAccessible::List,       QAccessible::Tree,     QAccessible::EditableText};
    std::size_t named = 0;
    std::map<const QObject*, std::string> controlOf;
    for (Form* f : tk.forms())
        for (const Control* c : f->controls()) controlOf[frontEnd.widget(*c)] = f->name() + "." + c->name();
    std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
        if (!node) return;
        if (interactive.count(node->role())) {
            EXPECT_FALSE(node->text(QAccessible::Name).isEmpty()) << controlOf[node->object()];
            ++named;
            return; // rows and drop-down lists are the control's own
        }
        for (int i = 0; i < node->childCount(); ++i) walk(node->child(i));
    };
    for (Form* f : tk.forms()) walk(QAccessible::queryAccessibleInterface(frontEnd.widget(*f)));
    EXPECT_GT(named, 100u);

    auto nameOf = [&](const Control& c) {
        return QAccessible::queryAccessibleInterface(frontEnd.widget(c))->text(QAccessible::Name).toStdString();
    };
    EXPECT_EQ(nameOf(main.cmdHelp), withoutAccessKey(main.cmdHelp.toolTip()));
    EXPECT_EQ(nameOf(main.cmdOpenTaskBar), withoutAccessKey(main.cmdOpenTaskBar.toolTip()));
    EXPECT_EQ(nameOf(main.filFiles), accessibleName(main.filFiles));
    EXPECT_EQ(nameOf(app.driveScanWindow().get().lstParasites),
              accessibleName(app.driveScanWindow().get().lstParasites));
    for (Form* f : tk.forms()) f->hide();
}

} // namespace
} // namespace velmora

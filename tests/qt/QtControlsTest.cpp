// The widget of each kind of control: what it is, how it draws the model, and what the user's
// clicks and keys on it do to the model.
#include "platform/posix/PosixFileSystem.h"
#include "platform/qt/QtFrontEnd.h"
#include "platform/qt/QtText.h"
#include "qt/QtTestEvents.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

namespace velmora {
namespace {

using namespace qttest;

// One control of every kind, the browser ones on temporary drives C: and D:.
struct KindsForm : Form {
    KindsForm(Toolkit& tk, FileSystem& fs)
        : Form(tk, "frmKinds"), drvDrive(*this, "drvDrive", fs), dirFolders(*this, "dirFolders", fs),
          filFiles(*this, "filFiles", fs)
    {
        setClientSize(9000, 6000);
        cmdOK.setCaption("OK");
        cmdOK.setGeometry({120, 120, 1200, 375});
        cmdOK.setDefault(true);
        lblName.setCaption("&Имя:");
        lblName.setGeometry({120, 600, 900, 255});
        fraBox.setCaption("Рамка");
        fraBox.setGeometry({120, 900, 3000, 1500});
        linInFrame.setGeometry({120, 600, 2000, 0});
        txtName.setGeometry({1080, 570, 2000, 300});
        lstSimple.setGeometry({120, 2500, 3000, 1500});
        lstSimple.setMultiSelect(MultiSelect::Simple);
        picPanel.setGeometry({3300, 120, 1200, 900});
        imgLogo.setGeometry({4600, 120, 600, 600});
        drvDrive.setGeometry({3300, 1200, 2400, 315});
        dirFolders.setGeometry({3300, 1600, 2400, 1800});
        filFiles.setGeometry({5800, 1200, 3000, 2200});
        linSide.setGeometry({8880, 3500, 0, 2000});
        shpBox.setGeometry({3300, 3600, 1500, 900});

        cmdOK.onClick = [this] { ++okClicks; };
        cmdOK.onDblClick = [this] { ++okDblClicks; };
        lblName.onClick = [this] { ++labelClicks; };
        lblName.onDblClick = [this] { ++labelDblClicks; };
        lblName.onMouseUp = [this](int button, int, int) { labelButtons.push_back(button); };
        fraBox.onClick = [this] { ++frameClicks; };
        drvDrive.onChange = [this] { ++driveChanges; };
        timTick.setEnabled(false);
    }

    void Form_Load() override
    {
        for (const char* s : {"один", "два", "три"}) lstSimple.addItem(s);
    }

    CommandButton cmdOK{*this, "cmdOK"};
    Label lblName{*this, "lblName"};
    Frame fraBox{*this, "fraBox"};
    Line linInFrame{*this, "linInFrame", &fraBox};
    TextBox txtName{*this, "txtName"};
    CheckBox chkSure{*this, "chkSure"};
    OptionButton optOne{*this, "optOne"};
    ComboBox cboKind{*this, "cboKind"};
    ListBox lstSimple{*this, "lstSimple"};
    PictureBox picPanel{*this, "picPanel"};
    Image imgLogo{*this, "imgLogo"};
    Timer timTick{*this, "timTick", 5};
    DriveListBox drvDrive;
    DirListBox dirFolders;
    FileListBox filFiles;
    Menu mnuPopup{*this, "mnuPopup"};
    MenuItem mnuOpen{mnuPopup, "mnuOpen", "&Открыть"};
    Line linSide{*this, "linSide"};
    Shape shpBox{*this, "shpBox"};

    int okClicks = 0, okDblClicks = 0, labelClicks = 0, labelDblClicks = 0, frameClicks = 0, driveChanges = 0;
    std::vector<int> labelButtons;
};

class QtControlsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fe.attach(tk);
        for (auto name : {"Windows/a.tmp", "Windows/b.tmp", "Windows/c.tmp", "Windows/d.tmp"}) root.write(name);
        root.mkdir("Windows/System");
        form = std::make_unique<KindsForm>(tk, fs);
        form->load();
        form->show();
        QCoreApplication::processEvents();
    }
    void TearDown() override
    {
        if (form && form->isLoaded()) form->unload();
        form.reset();
        flushDeletes();
    }
    template <class W> W* widget(const Control& c) { return qobject_cast<W*>(fe.widget(c)); }
    QWidget* window() { return fe.widget(*form); }

    testsupport::TempDir root;
    testsupport::TempDir second;
    PosixFileSystem fs{"c:=" + root.path().string() + ";d:=" + second.path().string()};
    QtFrontEnd fe;
    Toolkit tk{fe};
    std::unique_ptr<KindsForm> form;
};

TEST_F(QtControlsTest, EveryKindHasItsWidgetAndOnlyRealControlsTakeTheFocus)
{
    struct Expect {
        const Control& control;
        const char* widgetClass; // nullptr: no widget
        bool focus;
    };
    const KindsForm& f = *form;
    const Expect expected[] = {
        {f.cmdOK, "QPushButton", true},   {f.lblName, "QLabel", false},        {f.fraBox, "QGroupBox", false},
        {f.linInFrame, "QFrame", false},  {f.txtName, "QLineEdit", true},      {f.chkSure, "QCheckBox", true},
        {f.optOne, "QRadioButton", true}, {f.cboKind, "QComboBox", true},      {f.lstSimple, "QListView", true},
        {f.picPanel, "QLabel", false},    {f.imgLogo, "QLabel", false},        {f.timTick, nullptr, false},
        {f.drvDrive, "QComboBox", true},  {f.dirFolders, "QListWidget", true}, {f.filFiles, "QListView", true},
        {f.mnuPopup, nullptr, false},     {f.mnuOpen, nullptr, false},         {f.linSide, "QFrame", false},
        {f.shpBox, "QFrame", false},
    };
    ASSERT_EQ(std::size(expected), form->controls().size()) << "a kind added to the form needs a row here";
    for (const Expect& e : expected) {
        QWidget* w = fe.widget(e.control);
        if (!e.widgetClass) {
            EXPECT_EQ(w, nullptr) << e.control.name();
            continue;
        }
        ASSERT_NE(w, nullptr) << e.control.name();
        EXPECT_STREQ(w->metaObject()->className(), e.widgetClass) << e.control.name();
        EXPECT_EQ(w->focusPolicy() != Qt::NoFocus, e.focus) << e.control.name();
    }
    EXPECT_EQ(fe.widget(form->linInFrame)->parentWidget(), fe.widget(form->fraBox));
}

TEST_F(QtControlsTest, LabelsImagesLinesAndShapesLieBelowEveryRealControl)
{
    const QObjectList children = window()->children();
    qsizetype lastDrawn = -1, firstReal = children.size();
    for (Control* c : form->controls()) {
        QWidget* w = fe.widget(*c);
        if (!w || w->parentWidget() != window()) continue;
        const qsizetype i = children.indexOf(w);
        const bool drawn = c == &form->lblName || c == &form->imgLogo || c == &form->linSide || c == &form->shpBox;
        if (drawn)
            lastDrawn = std::max(lastDrawn, i);
        else if (c != &form->fraBox && c != &form->picPanel)
            firstReal = std::min(firstReal, i);
    }
    EXPECT_LT(lastDrawn, firstReal);
}

TEST_F(QtControlsTest, LabelGivesItsAccessKeyToTheNextControlThatTakesTheFocusAndTabGoesThereToo)
{
    auto* label = widget<QLabel>(form->lblName);
    EXPECT_EQ(label->buddy(), fe.widget(form->txtName)) << "the frame and the line between take no focus";
    EXPECT_EQ(label->text(), QString::fromUtf8("&Имя:"));

    fe.widget(form->cmdOK)->setFocus();
    sendKey(fe.widget(form->cmdOK), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), fe.widget(form->txtName));
    sendKey(fe.widget(form->txtName), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), fe.widget(form->cmdOK));
}

TEST_F(QtControlsTest, PassiveControlsClickOnReleaseInsideThemButtonsHaveNoDoubleClick)
{
    QWidget* label = fe.widget(form->lblName);
    const QPoint inside = label->rect().center();
    click(label, inside);
    EXPECT_EQ(form->labelClicks, 1);
    sendMouse(label, QEvent::MouseButtonPress, inside, Qt::LeftButton);
    sendMouse(label, QEvent::MouseButtonRelease, QPoint(-5, -5), Qt::LeftButton);
    EXPECT_EQ(form->labelClicks, 1) << "released outside: no click";
    click(label, inside, Qt::RightButton);
    EXPECT_EQ(form->labelClicks, 1);
    EXPECT_EQ(form->labelButtons, (std::vector<int>{mouse::Left, mouse::Left, mouse::Right}));
    sendMouse(label, QEvent::MouseButtonDblClick, inside, Qt::LeftButton);
    EXPECT_EQ(form->labelDblClicks, 1);

    click(fe.widget(form->fraBox), QPoint(5, 5));
    EXPECT_EQ(form->frameClicks, 1);

    auto* ok = widget<QPushButton>(form->cmdOK);
    click(ok, ok->rect().center());
    sendMouse(ok, QEvent::MouseButtonDblClick, ok->rect().center(), Qt::LeftButton);
    sendMouse(ok, QEvent::MouseButtonRelease, ok->rect().center(), Qt::LeftButton);
    EXPECT_EQ(form->okClicks, 2) << "the second press of a double click is a second click";
    EXPECT_EQ(form->okDblClicks, 0);
}

TEST_F(QtControlsTest, HandlersMayUnloadTheFormFromEveryKindOfInput)
{
    const std::vector<std::function<void(KindsForm&)>> unloadBy = {
        [this](KindsForm& f) { click(fe.widget(f.lblName), QPoint(2, 2)); },
        [this](KindsForm& f) {
            sendMouse(fe.widget(f.lblName), QEvent::MouseButtonDblClick, QPoint(2, 2), Qt::LeftButton);
        },
        [this](KindsForm& f) { clickRow(widget<QListView>(f.lstSimple), 1); },
        [this](KindsForm& f) { sendKey(fe.widget(f.lstSimple), Qt::Key_Down); },
        [this](KindsForm& f) { sendKey(fe.widget(f.txtName), 0, {}, QStringLiteral("x")); },
        [this](KindsForm& f) { sendKey(fe.widget(f.cmdOK), Qt::Key_Return); },
        [this](KindsForm& f) { sendKey(fe.widget(f.chkSure), Qt::Key_Escape); },
    };
    for (std::size_t i = 0; i < unloadBy.size(); ++i) {
        if (i > 0) {
            form = std::make_unique<KindsForm>(tk, fs);
            form->load();
            form->show();
        }
        KindsForm& f = *form;
        auto unload = [&f] { f.unload(); };
        f.lblName.onClick = f.lblName.onDblClick = f.lstSimple.onClick = f.txtName.onChange = f.cmdOK.onClick = unload;
        f.lstSimple.onKeyDown = [&f](int) { f.unload(); };
        f.cmdOK.setCancel(true);
        QPointer<QWidget> w = window();
        unloadBy[i](f);
        EXPECT_FALSE(f.isLoaded()) << "input " << i;
        flushDeletes();
        EXPECT_TRUE(w.isNull()) << "input " << i;
    }
}

TEST_F(QtControlsTest, TextBoxChangesEditorKeepingTextAndFocusAndTheOldOneStopsTyping)
{
    form->txtName.setText("раз");
    QPointer<QLineEdit> line = widget<QLineEdit>(form->txtName);
    line->setFocus();
    form->txtName.setMultiLine(true);
    auto* multi = widget<QPlainTextEdit>(form->txtName);
    ASSERT_NE(multi, nullptr);
    EXPECT_EQ(multi->toPlainText(), QString::fromUtf8("раз"));
    EXPECT_TRUE(multi->hasFocus());
    EXPECT_EQ(multi->geometry(), line->geometry());
    ASSERT_FALSE(line.isNull()) << "deleted by the event loop, later";
    line->setText(QStringLiteral("stale"));
    EXPECT_EQ(form->txtName.text(), "раз");

    form->txtName.setMultiLine(false);
    ASSERT_NE(widget<QLineEdit>(form->txtName), nullptr);
    EXPECT_EQ(widget<QLineEdit>(form->txtName)->text(), QString::fromUtf8("раз"));
}

TEST_F(QtControlsTest, PanelsAndImagesShowPicturesOfTheProgramsFoldersOnly)
{
    testsupport::TempDir pictures, browsed;
    auto savePicture = [](const std::filesystem::path& file) {
        QPixmap pixmap(8, 8);
        pixmap.fill(Qt::blue);
        return pixmap.save(QString::fromStdString(file.string()));
    };
    ASSERT_TRUE(savePicture(pictures.path() / "logo.png"));
    pictures.mkdir("sub");
    ASSERT_TRUE(savePicture(pictures.path() / "sub" / "x.png"));
    ASSERT_TRUE(savePicture(browsed.path() / "stray.png"));
    fe.setPictureFolders({pictures.path().string()});
    // The current folder follows the folder being browsed: no picture comes from there.
    const std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::current_path(browsed.path());

    auto* panel = widget<QLabel>(form->picPanel);
    EXPECT_TRUE(panel->autoFillBackground()) << "a panel hides what lies under it";
    EXPECT_EQ(panel->frameShape(), QFrame::Panel);
    EXPECT_EQ(panel->lineWidth(), 2);
    form->picPanel.setBorder(false);
    EXPECT_EQ(panel->frameShape(), QFrame::NoFrame);

    form->picPanel.setPicture("stray.png");
    EXPECT_TRUE(panel->pixmap().isNull());
    form->picPanel.setPicture("logo.png");
    EXPECT_EQ(panel->pixmap().size(), QSize(8, 8));
    form->imgLogo.setPicture("SUB\\X.PNG");
    EXPECT_EQ(widget<QLabel>(form->imgLogo)->pixmap().size(), QSize(8, 8)) << "found without regard to case";
    EXPECT_FALSE(widget<QLabel>(form->imgLogo)->autoFillBackground());
    form->imgLogo.setPicture("");
    EXPECT_TRUE(widget<QLabel>(form->imgLogo)->pixmap().isNull());
    std::filesystem::current_path(home);
}

TEST_F(QtControlsTest, LinesDrawAtLeastOnePixelAcrossAndShapesABox)
{
    auto* across = qobject_cast<QFrame*>(fe.widget(form->linInFrame));
    EXPECT_EQ(across->frameShape(), QFrame::HLine);
    EXPECT_EQ(across->height(), 1);
    auto* down = qobject_cast<QFrame*>(fe.widget(form->linSide));
    EXPECT_EQ(down->frameShape(), QFrame::VLine);
    EXPECT_EQ(down->width(), 1);
    form->linSide.setGeometry({120, 5800, 4000, 0});
    EXPECT_EQ(down->frameShape(), QFrame::HLine) << "a line turned flat draws across";
    EXPECT_EQ(qobject_cast<QFrame*>(fe.widget(form->shpBox))->frameShape(), QFrame::Box);
}

TEST_F(QtControlsTest, ListKeysAndTypingReachTheModelAndTheWidgetNeverSelectsByItself)
{
    ASSERT_TRUE(form->filFiles.setPath("C:\\Windows"));
    auto* files = widget<QListView>(form->filFiles);
    ASSERT_EQ(rowCount(files), 4);
    clickRow(files, 0);
    sendKey(files, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(selectedRows(files), (std::vector<int>{0, 1}));
    sendKey(files, Qt::Key_C, {}, QStringLiteral("C"));
    EXPECT_EQ(selectedRows(files), (std::vector<int>{2})) << "typing finds c.tmp";
    sendKey(files, Qt::Key_A, Qt::ControlModifier, QStringLiteral("\x01"));
    EXPECT_EQ(selectedRows(files), (std::vector<int>{2}));
    EXPECT_EQ(form->filFiles.selCount(), 1u);
}

TEST_F(QtControlsTest, FolderTreeMovesItsHighlightOnAClickAndDriveBoxPicksADrive)
{
    ASSERT_TRUE(form->dirFolders.setPath("C:\\Windows"));
    auto* tree = widget<QListWidget>(form->dirFolders);
    ASSERT_EQ(tree->count(), 3);
    clickRow(tree, 0);
    EXPECT_EQ(tree->currentRow(), 0);
    EXPECT_EQ(form->dirFolders.path(), "C:\\Windows") << "a single click opens nothing";
    tree->setCurrentRow(1);
    sendKey(tree, Qt::Key_Return);
    EXPECT_EQ(form->okClicks, 1) << "Enter on the open folder is the form's";
    EXPECT_EQ(form->dirFolders.path(), "C:\\Windows");

    auto* drives = widget<QComboBox>(form->drvDrive);
    ASSERT_EQ(drives->count(), 2);
    sendKey(drives, Qt::Key_Down);
    EXPECT_EQ(form->drvDrive.drive(), "d: [" + second.path().string() + "]");
    EXPECT_EQ(form->driveChanges, 1);
    EXPECT_EQ(drives->currentIndex(), 1);
}

TEST_F(QtControlsTest, TimerIsNotEnteredAgainWhileItsHandlerRestartsItAndYields)
{
    int depth = 0, deepest = 0, ticks = 0;
    form->timTick.onTimer = [&] {
        ++ticks;
        deepest = std::max(deepest, ++depth);
        // A new interval starts the count afresh: the timer is due again within the wait.
        form->timTick.setInterval(form->timTick.interval() == 5 ? 6 : 5);
        if (depth == 1) waitFor([] { return false; }, 30); // the handler yields, as long scans do
        --depth;
    };
    form->timTick.setEnabled(true);
    ASSERT_TRUE(waitFor([&] { return ticks >= 2; }));
    EXPECT_EQ(deepest, 1);

    form->timTick.setInterval(0);
    const int stopped = ticks;
    waitFor([] { return false; }, 40);
    EXPECT_EQ(ticks, stopped) << "interval 0 stops the timer";
}

// What a list widget shows, against its model: the same rows, selection and current row.
void expectShows(QListView* w, const SelectableList& model, int current, const std::string& step)
{
    ASSERT_EQ(static_cast<std::size_t>(rowCount(w)), model.entryCount()) << step;
    std::vector<int> want;
    for (std::size_t i = 0; i < model.entryCount(); ++i) {
        EXPECT_EQ(utf8(rowText(w, static_cast<int>(i))), model.entryText(i)) << step << " row " << i;
        if (model.entrySelected(i)) want.push_back(static_cast<int>(i));
    }
    EXPECT_EQ(selectedRows(w), want) << step;
    if (current >= 0) {
        EXPECT_EQ(w->currentIndex().row(), current) << step;
    }
}

TEST_F(QtControlsTest, FileListWidgetShowsExactlyTheModelAfterEachKindOfChange)
{
    for (int i = 0; i < 60; ++i) root.write("Big/f" + std::to_string(100 + i) + ".tmp");
    FileListBox& fil = form->filFiles;
    ASSERT_TRUE(fil.setPath("C:\\Big"));
    auto* files = widget<QListView>(fil);
    auto check = [&](const std::string& step) { expectShows(files, fil, fil.listIndex(), step); };
    check("listed");

    fil.setAllSelected(true);
    check("select all");
    clickRow(files, 3, Qt::ControlModifier);
    check("a Ctrl-click takes one file out");
    fil.invertSelection();
    check("invert");
    clickRow(files, 5);
    check("a single click");
    clickRow(files, 9, Qt::ShiftModifier);
    check("Shift-click");
    clickRow(files, 20, Qt::ShiftModifier | Qt::ControlModifier);
    check("Shift-Ctrl-click adds a range");
    fil.setSelected(7, false);
    fil.setSelected(40, true);
    check("one file at a time");
    fil.setAllSelected(false);
    check("deselect all");

    // A drag over the rows selects nothing: the model's selection is what shows.
    fil.userSelect(2);
    const QPoint from = rowCentre(files, 2);
    const QPoint to = rowCentre(files, 6);
    QMouseEvent drag(QEvent::MouseMove, QPointF(to), QPointF(files->viewport()->mapToGlobal(to)), Qt::NoButton,
                     Qt::LeftButton, {});
    sendMouse(files->viewport(), QEvent::MouseButtonPress, from, Qt::LeftButton);
    QApplication::sendEvent(files->viewport(), &drag);
    check("a drag");
    sendMouse(files->viewport(), QEvent::MouseButtonRelease, to, Qt::LeftButton);

    for (int i : {10, 11, 30}) fil.setSelected(static_cast<std::size_t>(i), true);
    std::filesystem::remove(root.path() / "Big/f111.tmp");
    std::filesystem::remove(root.path() / "Big/f100.tmp");
    root.write("Big/f1000.tmp");
    ASSERT_TRUE(fil.refresh());
    check("refresh");
    fil.setListIndex(static_cast<int>(fil.listCount()) - 1);
    check("the caret moved");
    fil.setPattern("f10*.tmp");
    check("a new pattern");
}

TEST_F(QtControlsTest, ListBoxAndComboWidgetsFollowAppendsAndRemovals)
{
    ListBox& lst = form->lstSimple;
    auto* list = widget<QListView>(lst);
    auto check = [&](const std::string& step) { expectShows(list, lst, lst.listIndex(), step); };
    std::vector<std::string> texts;
    for (int i = 0; i < 300; ++i) texts.push_back("строка " + std::to_string(i));
    lst.addItems(texts);
    lst.addItem("последняя");
    check("appended");
    for (std::size_t i = 0; i < lst.listCount(); i += 3) lst.setSelected(i, true);
    lst.setListIndex(150);
    check("selected");
    lst.removeItems({0, 1, 2, 10, 11, 299});
    check("a few runs removed");
    std::vector<std::size_t> scattered;
    for (std::size_t i = 0; i < lst.listCount(); i += 2) scattered.push_back(i);
    lst.removeItems(scattered);
    check("many scattered entries removed");
    lst.removeItem(lst.listCount() - 1);
    check("the last one removed");
    lst.clear();
    check("cleared");

    ComboBox& cbo = form->cboKind;
    auto* combo = widget<QComboBox>(cbo);
    cbo.addItems({"а", "б", "в", "г"});
    cbo.setListIndex(3);
    cbo.removeItems({0, 2});
    cbo.addItem("д");
    ASSERT_EQ(combo->count(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(utf8(combo->itemText(i)), cbo.list(static_cast<std::size_t>(i)));
    EXPECT_EQ(combo->currentIndex(), cbo.listIndex());
}

} // namespace
} // namespace velmora

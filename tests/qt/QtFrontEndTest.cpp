// The Qt front-end: the window model drawn as widgets, and the user's actions handed back.
#include "platform/qt/QtFrontEnd.h"
#include "platform/posix/PosixFileSystem.h"
#include "qt/QtTestEvents.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSet>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <optional>

namespace velmora {
namespace {

struct SampleForm : Form {
    explicit SampleForm(Toolkit& tk) : Form(tk, "frmSample")
    {
        setCaption("Очистка диска");
        setClientSize(7200, 4800);
        cmdGo.setCaption("&Пуск");
        cmdGo.setGeometry({1500, 3900, 1200, 375});
        cmdGo.setDefault(true);
        cmdCancel.setCaption("Отмена");
        cmdCancel.setGeometry({2850, 3900, 1200, 375});
        cmdCancel.setCancel(true);
        lblMask.setCaption("&Маска:");
        lblMask.setGeometry({120, 120, 900, 255});
        txtMask.setGeometry({1080, 90, 2400, 300});
        txtMask.setMaxLength(8);
        lstFiles.setGeometry({120, 480, 3360, 1800});
        lstFiles.setMultiSelect(MultiSelect::Extended);
        cboKind.setGeometry({3600, 90, 2400, 315});
        chkConfirm.setCaption("Спрашивать подтверждение");
        chkConfirm.setGeometry({3600, 480, 3000, 255});
        fraMode.setCaption("Режим");
        fraMode.setGeometry({3600, 840, 3000, 1200});
        optAll.setCaption("Все файлы");
        optAll.setGeometry({120, 300, 2500, 255});
        optSome.setCaption("Только выбранные");
        optSome.setGeometry({120, 660, 2500, 255});
        lblNote.setCaption("Файлы && папки");
        lblNote.setGeometry({120, 2400, 3360, 255});

        cmdGo.onClick = [this] { ++goClicks; };
        cmdCancel.onClick = [this] { ++cancelClicks; };
        txtMask.onChange = [this] { ++textChanges; };
        lstFiles.onClick = [this] { ++listClicks; };
        lstFiles.onDblClick = [this] { ++listDblClicks; };
        lstFiles.onKeyDown = [this](int k) { keys.push_back(k); };
        lstFiles.onMouseUp = [this](int b, int x, int y) { mouseUps.push_back({b, x, y}); };
        cboKind.onClick = [this] { ++comboClicks; };
        chkConfirm.onClick = [this] { ++checkClicks; };
        timTick.onTimer = [this] { ++ticks; };
        timTick.setEnabled(false);
        mnuOpen.onClick = [this] { picks.push_back("open"); };
        mnuDelete.onClick = [this] { picks.push_back("delete"); };
        mnuOff.setEnabled(false);
    }

    void Form_Load() override
    {
        for (const char* s : {"autoexec.bak", "бюджет.tmp", "config.old", "~wrl0001.tmp"}) lstFiles.addItem(s);
        for (const char* s : {"Все", "Временные", "Резервные"}) cboKind.addItem(s);
        cboKind.setListIndex(0);
        comboClicks = 0;
    }

    CommandButton cmdGo{*this, "cmdGo"};
    CommandButton cmdCancel{*this, "cmdCancel"};
    Label lblMask{*this, "lblMask"};
    TextBox txtMask{*this, "txtMask"};
    ListBox lstFiles{*this, "lstFiles"};
    ComboBox cboKind{*this, "cboKind"};
    CheckBox chkConfirm{*this, "chkConfirm"};
    Frame fraMode{*this, "fraMode"};
    OptionButton optAll{*this, "optAll", &fraMode};
    OptionButton optSome{*this, "optSome", &fraMode};
    Timer timTick{*this, "timTick", 5};
    Menu mnuList{*this, "mnuList"};
    MenuItem mnuOpen{mnuList, "mnuOpen", "&Открыть"};
    MenuItem mnuSep{mnuList, "mnuSep", "-"};
    MenuItem mnuDelete{mnuList, "mnuDelete", "&Удалить"};
    MenuItem mnuOff{mnuList, "mnuOff", "Недоступно"};
    Label lblNote{*this, "lblNote"};

    int goClicks = 0, cancelClicks = 0, textChanges = 0, listClicks = 0, listDblClicks = 0, comboClicks = 0,
        checkClicks = 0, ticks = 0;
    std::vector<int> keys;
    std::vector<std::tuple<int, int, int>> mouseUps;
    std::vector<std::string> picks;
};

struct ChildForm : Form {
    explicit ChildForm(Toolkit& tk) : Form(tk, "frmChild")
    {
        setCaption("Параметры");
        setClientSize(3000, 1500);
        cmdOK.setCaption("OK");
        cmdOK.setGeometry({900, 900, 1200, 375});
        cmdOK.onClick = [this] { unload(); };
    }
    CommandButton cmdOK{*this, "cmdOK"};
};

using namespace qttest;

class QtFrontEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fe.attach(tk);
        form = std::make_unique<SampleForm>(tk);
        form->load();
    }
    void TearDown() override
    {
        if (form && form->isLoaded()) form->unload();
        form.reset();
        flushDeletes();
    }
    template <class W> W* widget(const Control& c) { return qobject_cast<W*>(fe.widget(c)); }
    QWidget* window() { return fe.widget(*form); }
    void showSample()
    {
        form->show();
        QCoreApplication::processEvents();
    }

    QtFrontEnd fe;
    Toolkit tk{fe};
    std::unique_ptr<SampleForm> form;
};

TEST_F(QtFrontEndTest, FormBecomesAWindowWithItsControlsAtTheirTwipGeometry)
{
    ASSERT_NE(window(), nullptr);
    EXPECT_EQ(window()->windowTitle(), QString::fromUtf8("Очистка диска"));
    const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInch();
    auto px = [dpi](int twips) { return static_cast<int>(std::lround(twips * dpi / 1440.0)); };
    EXPECT_EQ(window()->size(), QSize(px(7200), px(4800)));
    auto* go = widget<QPushButton>(form->cmdGo);
    ASSERT_NE(go, nullptr);
    EXPECT_EQ(go->geometry(), QRect(px(1500), px(3900), px(2700) - px(1500), px(4275) - px(3900)));
    EXPECT_EQ(go->text(), QString::fromUtf8("&Пуск"));

    auto* frame = widget<QGroupBox>(form->fraMode);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(widget<QRadioButton>(form->optAll)->parentWidget(), frame) << "options live inside their frame";
    EXPECT_EQ(widget<QRadioButton>(form->optAll)->pos(), QPoint(px(120), px(300)));
    EXPECT_EQ(fe.widget(form->timTick), nullptr);
    EXPECT_EQ(fe.widget(form->mnuList), nullptr);
}

TEST_F(QtFrontEndTest, LabelsKeepAccessKeysOnlyWhereAControlFollows)
{
    auto* mask = widget<QLabel>(form->lblMask);
    EXPECT_EQ(mask->buddy(), fe.widget(form->txtMask));
    EXPECT_EQ(mask->text(), QString::fromUtf8("&Маска:"));
    auto* note = widget<QLabel>(form->lblNote);
    EXPECT_EQ(note->buddy(), nullptr);
    EXPECT_EQ(note->text(), QString::fromUtf8("Файлы & папки"));
    EXPECT_TRUE(QFontMetrics(note->font()).inFont(QChar(u'Ж'))) << "the label's font draws Cyrillic";

    form->lblNote.setCaption("bad \xff\xfe name");
    EXPECT_TRUE(note->text().contains(QChar(0xFFFD))) << "bytes that are not UTF-8 show as replacement characters";
}

TEST_F(QtFrontEndTest, ModelChangesReachTheWidgets)
{
    showSample();
    auto* go = widget<QPushButton>(form->cmdGo);
    form->cmdGo.setCaption("&Стоп");
    form->cmdGo.setEnabled(false);
    form->cmdGo.setToolTip("Остановить <b>поиск</b>");
    EXPECT_EQ(go->text(), QString::fromUtf8("&Стоп"));
    EXPECT_FALSE(go->isEnabled());
    EXPECT_TRUE(go->toolTip().contains(QStringLiteral("&lt;b&gt;"))) << "tool tips are plain text";
    form->cmdGo.setVisible(false);
    EXPECT_TRUE(go->isHidden());

    form->setCaption("Новый заголовок");
    EXPECT_EQ(window()->windowTitle(), QString::fromUtf8("Новый заголовок"));

    auto* list = widget<QListView>(form->lstFiles);
    ASSERT_EQ(rowCount(list), 4);
    EXPECT_EQ(rowText(list, 1), QString::fromUtf8("бюджет.tmp"));
    form->lstFiles.setSelected(1, true);
    form->lstFiles.setSelected(3, true);
    EXPECT_EQ(selectedRows(list), (std::vector<int>{1, 3}));
    form->lstFiles.removeItem(0);
    EXPECT_EQ(rowCount(list), 3);
    EXPECT_EQ(selectedRows(list), (std::vector<int>{0, 2}));

    auto* combo = widget<QComboBox>(form->cboKind);
    ASSERT_EQ(combo->count(), 3);
    form->cboKind.setListIndex(2);
    EXPECT_EQ(combo->currentText(), QString::fromUtf8("Резервные"));

    form->chkConfirm.setValue(2);
    EXPECT_EQ(widget<QCheckBox>(form->chkConfirm)->checkState(), Qt::PartiallyChecked);
    form->optSome.setValue(true);
    EXPECT_TRUE(widget<QRadioButton>(form->optSome)->isChecked());
    form->optAll.setValue(true);
    EXPECT_FALSE(widget<QRadioButton>(form->optSome)->isChecked());
}

TEST_F(QtFrontEndTest, ButtonsChecksAndOptionsActThroughTheModel)
{
    showSample();
    widget<QPushButton>(form->cmdGo)->click();
    EXPECT_EQ(form->goClicks, 1);

    auto* check = widget<QCheckBox>(form->chkConfirm);
    check->click();
    EXPECT_EQ(form->chkConfirm.value(), 1);
    EXPECT_EQ(form->checkClicks, 1);

    auto* some = widget<QRadioButton>(form->optSome);
    some->click();
    EXPECT_TRUE(form->optSome.value());
    some->click();
    EXPECT_TRUE(some->isChecked()) << "clicking the chosen option keeps it chosen";
    widget<QRadioButton>(form->optAll)->click();
    EXPECT_FALSE(some->isChecked());

    form->chkConfirm.setEnabled(false);
    check->setEnabled(true); // as if the widget missed the change: the model still refuses
    check->click();
    EXPECT_EQ(form->chkConfirm.value(), 1);
    EXPECT_TRUE(check->isChecked());
}

TEST_F(QtFrontEndTest, TypingReachesTheTextBoxWithinItsMaxLength)
{
    showSample();
    auto* edit = widget<QLineEdit>(form->txtMask);
    ASSERT_NE(edit, nullptr);
    const QString typed = QString::fromUtf8("*.бак");
    for (QChar ch : typed) sendKey(edit, 0, {}, QString(ch));
    EXPECT_EQ(form->txtMask.text(), "*.бак");
    EXPECT_EQ(form->textChanges, 5);
    for (int i = 0; i < 6; ++i) sendKey(edit, Qt::Key_X, {}, QStringLiteral("x"));
    EXPECT_EQ(form->txtMask.text(), "*.бакxxx") << "eight characters, not eight bytes";
    edit->undo();
    EXPECT_EQ(QString::fromStdString(form->txtMask.text()), edit->text()) << "an undo is the user's edit too";

    form->txtMask.setText("*.tmp");
    EXPECT_EQ(edit->text(), QStringLiteral("*.tmp"));
    form->txtMask.setLocked(true);
    EXPECT_TRUE(edit->isReadOnly());
}

TEST_F(QtFrontEndTest, MultiLineTextBoxConvertsLineBreaksAndCutsToItsMaxLength)
{
    form->txtMask.setFont({"Courier New", 10, false, false});
    form->txtMask.setMultiLine(true);
    auto* edit = widget<QPlainTextEdit>(form->txtMask);
    ASSERT_NE(edit, nullptr) << "a multi-line box is a plain-text editor";
    EXPECT_TRUE(QFontInfo(edit->font()).fixedPitch());

    form->txtMask.setText("a\r\nb");
    EXPECT_EQ(edit->toPlainText(), QStringLiteral("a\nb"));
    edit->moveCursor(QTextCursor::End);
    edit->insertPlainText(QString::fromUtf8("\nвгдеёж"));
    EXPECT_EQ(form->txtMask.text(), "a\r\nb\r\nвг") << "cut to eight characters, each line break two";
    EXPECT_EQ(edit->toPlainText(), QString::fromUtf8("a\nb\nвг"));
}

TEST_F(QtFrontEndTest, ListClicksSelectThroughTheModel)
{
    showSample();
    auto* list = widget<QListView>(form->lstFiles);
    clickRow(list, 1);
    EXPECT_TRUE(form->lstFiles.selected(1));
    EXPECT_EQ(form->listClicks, 1);
    clickRow(list, 3, Qt::ShiftModifier);
    EXPECT_EQ(form->lstFiles.selCount(), 3u);
    clickRow(list, 2, Qt::ControlModifier);
    EXPECT_FALSE(form->lstFiles.selected(2));
    EXPECT_EQ(selectedRows(list), (std::vector<int>{1, 3}));
    EXPECT_EQ(form->lstFiles.listIndex(), 2);

    const QPoint at = rowCentre(list, 0);
    sendMouse(list->viewport(), QEvent::MouseButtonPress, at, Qt::RightButton);
    sendMouse(list->viewport(), QEvent::MouseButtonRelease, at, Qt::RightButton);
    EXPECT_EQ(selectedRows(list), (std::vector<int>{1, 3})) << "the right button leaves the selection";
    ASSERT_EQ(form->mouseUps.size(), 4u) << "every release, left ones too";
    EXPECT_EQ(std::get<0>(form->mouseUps[0]), mouse::Left);
    const auto [button, x, y] = form->mouseUps.back();
    EXPECT_EQ(button, mouse::Right);
    const QPoint inList = list->viewport()->mapTo(list, at);
    const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInch();
    EXPECT_NEAR(x, inList.x() * 1440.0 / dpi, 1.0) << "twips from the list's corner";
    EXPECT_NEAR(y, inList.y() * 1440.0 / dpi, 1.0);

    sendMouse(list->viewport(), QEvent::MouseButtonDblClick, at, Qt::LeftButton);
    EXPECT_EQ(form->listDblClicks, 1);
}

TEST_F(QtFrontEndTest, ListKeysGoToKeyDownAndMoveTheSelection)
{
    showSample();
    auto* list = widget<QListView>(form->lstFiles);
    clickRow(list, 0);
    sendKey(list, Qt::Key_Delete);
    sendKey(list, Qt::Key_Down);
    sendKey(list, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(selectedRows(list), (std::vector<int>{1, 2}));
    sendKey(list, Qt::Key_Home);
    sendKey(list, Qt::Key_AsciiTilde, {}, QStringLiteral("~"));
    EXPECT_EQ(form->lstFiles.listIndex(), 3) << "a typed character finds the next item starting with it";
    sendKey(list, Qt::Key_C, {}, QStringLiteral("c"));
    EXPECT_EQ(form->keys, (std::vector<int>{key::Delete, 40, 40, 36, 67}));
    EXPECT_EQ(form->lstFiles.listIndex(), 2);
}

TEST_F(QtFrontEndTest, EnterAndEscapePressTheDefaultAndCancelButtons)
{
    showSample();
    sendKey(widget<QLineEdit>(form->txtMask), Qt::Key_Return);
    EXPECT_EQ(form->goClicks, 1);
    sendKey(widget<QListView>(form->lstFiles), Qt::Key_Escape);
    EXPECT_EQ(form->cancelClicks, 1);
    EXPECT_TRUE(form->keys.empty()) << "Enter and Esc belong to the buttons";
    sendKey(widget<QPushButton>(form->cmdCancel), Qt::Key_Return);
    EXPECT_EQ(form->cancelClicks, 2) << "Enter on a focused button presses that button";
    sendKey(window(), Qt::Key_Enter);
    EXPECT_EQ(form->goClicks, 2);

    form->cmdGo.setEnabled(false);
    sendKey(widget<QLineEdit>(form->txtMask), Qt::Key_Return);
    EXPECT_EQ(form->goClicks, 2) << "a disabled default button is not pressed";
}

TEST_F(QtFrontEndTest, ComboPickReachesTheModel)
{
    showSample();
    sendKey(widget<QComboBox>(form->cboKind), Qt::Key_Down);
    EXPECT_EQ(form->cboKind.listIndex(), 1);
    EXPECT_EQ(form->comboClicks, 1);
}

TEST_F(QtFrontEndTest, TimersTickWhileEnabled)
{
    form->timTick.setEnabled(true);
    ASSERT_TRUE(waitFor([&] { return form->ticks >= 2; }));
    form->timTick.setEnabled(false);
    const int ticks = form->ticks;
    waitFor([] { return false; }, 40);
    EXPECT_EQ(form->ticks, ticks);

    form->timTick.onTimer = [this] { form->unload(); };
    form->timTick.setEnabled(true);
    EXPECT_TRUE(waitFor([&] { return !form->isLoaded(); })) << "a timer may unload its own form";
}

TEST_F(QtFrontEndTest, CloseBoxAsksTheForm)
{
    struct Stubborn : SampleForm {
        using SampleForm::SampleForm;
        void close() override { ++asked; }
        int asked = 0;
    };
    Stubborn stubborn(tk);
    stubborn.load();
    stubborn.show();
    fe.widget(stubborn)->close();
    EXPECT_EQ(stubborn.asked, 1);
    EXPECT_TRUE(stubborn.isLoaded());
    EXPECT_TRUE(fe.widget(stubborn)->isVisible()) << "the form decides, not the window";
    stubborn.unload();

    showSample();
    QPointer<QWidget> w = window();
    w->close();
    EXPECT_FALSE(form->isLoaded());
    flushDeletes();
    EXPECT_TRUE(w.isNull());
}

TEST_F(QtFrontEndTest, UnloadInsideAWidgetsOwnHandlerIsSafe)
{
    showSample();
    QPointer<QWidget> w = window();
    form->cmdGo.onClick = [this] { form->unload(); };
    widget<QPushButton>(form->cmdGo)->click();
    EXPECT_FALSE(form->isLoaded());
    EXPECT_EQ(fe.widget(*form), nullptr);
    flushDeletes();
    EXPECT_TRUE(w.isNull());
}

TEST_F(QtFrontEndTest, ModalFormReturnsOnceUnloaded)
{
    showSample();
    ChildForm child(tk);
    child.load();
    std::vector<std::string> log;
    bool wasModal = false;
    QTimer::singleShot(0, [&] {
        wasModal = QApplication::activeModalWidget() == fe.widget(child);
        log.push_back("shown");
        qobject_cast<QPushButton*>(fe.widget(child.cmdOK))->click();
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] { child.unload(); });
    watchdog.start(5000);

    form->cmdGo.onClick = [&] {
        log.push_back("before");
        child.showModal(form.get());
        log.push_back("after");
    };
    widget<QPushButton>(form->cmdGo)->click();
    EXPECT_EQ(log, (std::vector<std::string>{"before", "shown", "after"}));
    EXPECT_TRUE(wasModal);
    EXPECT_FALSE(child.isLoaded());

    // A modal form that hides itself gives control back and stays loaded for its caller.
    ChildForm hider(tk);
    hider.load();
    hider.cmdOK.onClick = [&hider] { hider.hide(); };
    QTimer::singleShot(0, [&] { qobject_cast<QPushButton*>(fe.widget(hider.cmdOK))->click(); });
    QObject::disconnect(&watchdog, nullptr, nullptr, nullptr);
    QObject::connect(&watchdog, &QTimer::timeout, [&] { hider.unload(); });
    watchdog.start(5000);
    hider.showModal(form.get());
    EXPECT_TRUE(hider.isLoaded());
    EXPECT_FALSE(fe.widget(hider)->isVisible());
}

TEST_F(QtFrontEndTest, MessageBoxHookAnswersInsteadOfAWindow)
{
    std::optional<MessageBoxSpec> seen;
    fe.messageBoxHook = [&](const MessageBoxSpec& spec) {
        seen = spec;
        return MsgResult::Yes;
    };
    EXPECT_EQ(tk.msgBox("Удалить?", MsgButtons::YesNo, MsgIcon::Question, "Velmora"), MsgResult::Yes);
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->text, "Удалить?");
    EXPECT_EQ(seen->buttons, MsgButtons::YesNo);
}

TEST_F(QtFrontEndTest, MessageBoxShowsTextButtonsAndIcon)
{
    showSample();
    QString text, title;
    QStringList buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        text = box->text();
        title = box->windowTitle();
        icon = box->icon();
        for (QAbstractButton* b : box->buttons()) buttons << b->text();
        box->button(QMessageBox::Retry)->click();
    });
    const MsgResult r = tk.msgBox("Файл занят.\r\nПовторить?", MsgButtons::RetryCancel, MsgIcon::Exclamation, "Ошибка");
    EXPECT_EQ(r, MsgResult::Retry);
    EXPECT_EQ(text, QString::fromUtf8("Файл занят.\nПовторить?"));
    EXPECT_EQ(title, QString::fromUtf8("Ошибка"));
    EXPECT_EQ(icon, QMessageBox::Warning);
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{QString::fromUtf8("&Повтор"), QString::fromUtf8("Отмена")}));

    QTimer::singleShot(0, [] {
        if (QWidget* box = QApplication::activeModalWidget()) sendKey(box, Qt::Key_Escape);
    });
    EXPECT_EQ(tk.msgBox("Продолжить?", MsgButtons::OKCancel, MsgIcon::Question, "Velmora"), MsgResult::Cancel);
}

TEST_F(QtFrontEndTest, PopupMenuShowsItemsAndClicksTheChosenOne)
{
    showSample();
    QStringList texts;
    bool offDisabled = false, defaultBold = false;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return;
        for (QAction* a : menu->actions()) {
            texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
            if (a->text() == QString::fromUtf8("Недоступно")) offDisabled = !a->isEnabled();
        }
        defaultBold = menu->defaultAction() && menu->defaultAction()->text() == QString::fromUtf8("&Удалить");
        menu->setActiveAction(menu->actions().at(2));
        sendKey(menu, Qt::Key_Return);
    });
    tk.popupMenu(form->mnuList, 300, 600, &form->mnuDelete);
    EXPECT_EQ(texts, (QStringList{QString::fromUtf8("&Открыть"), QStringLiteral("-"), QString::fromUtf8("&Удалить"),
                                  QString::fromUtf8("Недоступно")}));
    EXPECT_TRUE(offDisabled);
    EXPECT_TRUE(defaultBold);
    EXPECT_EQ(form->picks, (std::vector<std::string>{"delete"}));
}

TEST_F(QtFrontEndTest, RunReturnsWhenTheLastFormIsUnloadedNotWhenItHides)
{
    showSample();
    bool runningWhileHidden = false;
    QTimer::singleShot(10, [&] { form->hide(); });
    QTimer::singleShot(40, [&] {
        runningWhileHidden = true;
        form->unload();
    });
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    watchdog.start(5000);
    EXPECT_EQ(fe.run(), 0);
    EXPECT_TRUE(runningWhileHidden);
    EXPECT_EQ(fe.run(), 0) << "no form: nothing to run";
}

TEST_F(QtFrontEndTest, PictureButtonsFindTheirFileWithoutRegardToCaseOrShowItsName)
{
    testsupport::TempDir pictures;
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::red);
    ASSERT_TRUE(pixmap.save(QString::fromStdString((pictures.path() / "delete.png").string())));
    fe.setPictureFolders({pictures.path().string()});

    form->cmdGo.setPicture("DELETE.PNG");
    auto* go = widget<QPushButton>(form->cmdGo);
    EXPECT_FALSE(go->icon().isNull());
    EXPECT_EQ(go->focusPolicy(), Qt::TabFocus);
    form->cmdGo.setFocusable(false);
    EXPECT_EQ(go->focusPolicy(), Qt::NoFocus) << "a picture that reacts to a click takes no focus";
    form->cmdCancel.setCaption("");
    form->cmdCancel.setPicture("undo.bmp");
    auto* cancel = widget<QPushButton>(form->cmdCancel);
    EXPECT_TRUE(cancel->icon().isNull());
    EXPECT_EQ(cancel->text(), QStringLiteral("undo")) << "a missing picture shows its name";
}

TEST_F(QtFrontEndTest, EndProgramRunsTheHookFirst)
{
    struct Ended {};
    fe.endProgramHook = [] { throw Ended{}; };
    EXPECT_THROW(tk.endProgram(), Ended);
}

TEST(QtFrontEndDisplay, CanOpenDisplayFollowsTheEnvironment)
{
    const char* names[] = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"};
    std::vector<std::optional<std::string>> saved;
    for (const char* n : names)
        saved.push_back(std::getenv(n) ? std::optional<std::string>(std::getenv(n)) : std::nullopt);
    unsetenv("QT_QPA_PLATFORM");
    setenv("DISPLAY", "", 1);
    unsetenv("WAYLAND_DISPLAY");
    EXPECT_FALSE(QtFrontEnd::canOpenDisplay());
    setenv("WAYLAND_DISPLAY", "wayland-0", 1);
    EXPECT_TRUE(QtFrontEnd::canOpenDisplay());
    unsetenv("WAYLAND_DISPLAY");
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    EXPECT_TRUE(QtFrontEnd::canOpenDisplay());
    for (std::size_t i = 0; i < saved.size(); ++i) {
        if (saved[i])
            setenv(names[i], saved[i]->c_str(), 1);
        else
            unsetenv(names[i]);
    }
}

TEST_F(QtFrontEndTest, SampleFormGrabsToANonBlankPicture)
{
    form->lstFiles.setSelected(1, true);
    form->chkConfirm.setValue(1);
    form->optSome.setValue(true);
    form->txtMask.setText("*.tmp");
    showSample();
    const QImage image = window()->grab().toImage();
    ASSERT_FALSE(image.isNull());
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2) colours.insert(image.pixel(x, y));
    EXPECT_GT(colours.size(), 1);
    EXPECT_TRUE(image.save(QStringLiteral(VELMORA_BUILD_DIR "/qt-sample.png")));
}

// The browser controls on a real folder mapped as drive C:.
class QtBrowserTest : public ::testing::Test {
protected:
    struct Browser : Form {
        Browser(Toolkit& t, FileSystem& fs)
            : Form(t, "frmBrowser"), drv(*this, "drv", fs), dir(*this, "dir", fs), fil(*this, "fil", fs)
        {
            drv.setGeometry({120, 120, 3000, 315});
            dir.setGeometry({120, 480, 3000, 2400});
            fil.setGeometry({3240, 120, 3000, 2760});
        }
        DriveListBox drv;
        DirListBox dir;
        FileListBox fil;
    };

    void SetUp() override
    {
        fe.attach(tk);
        root.write("Windows/TEMP/a.tmp");
        root.write("Windows/TEMP/b.tmp");
        root.mkdir("Windows/TEMP/Sub");
        root.mkdir("Windows/System");
        fs = std::make_unique<PosixFileSystem>("c:=" + root.path().string());
        form = std::make_unique<Browser>(tk, *fs);
        form->load();
        form->show();
    }
    void TearDown() override
    {
        form->unload();
        form.reset();
        flushDeletes();
    }

    testsupport::TempDir root;
    QtFrontEnd fe;
    Toolkit tk{fe};
    std::unique_ptr<PosixFileSystem> fs;
    std::unique_ptr<Browser> form;
};

TEST_F(QtBrowserTest, FolderTreeShowsAncestorsThenSubfoldersAndOpensOnDoubleClick)
{
    ASSERT_TRUE(form->dir.setPath("C:\\Windows\\TEMP"));
    auto* tree = qobject_cast<QListWidget*>(fe.widget(form->dir));
    ASSERT_NE(tree, nullptr);
    QStringList rows;
    for (int i = 0; i < tree->count(); ++i) rows << tree->item(i)->text();
    EXPECT_EQ(rows, (QStringList{"c:\\", "Windows", "TEMP", "Sub"}));
    EXPECT_EQ(tree->currentRow(), 2) << "the open folder is highlighted";

    sendMouse(tree->viewport(), QEvent::MouseButtonDblClick, tree->visualItemRect(tree->item(3)).center(),
              Qt::LeftButton);
    EXPECT_EQ(form->dir.path(), "C:\\Windows\\TEMP\\Sub");
    EXPECT_EQ(tree->count(), 4);

    tree->setCurrentRow(1);
    sendKey(tree, Qt::Key_Return);
    EXPECT_EQ(form->dir.path(), "C:\\Windows");
    rows.clear();
    for (int i = 0; i < tree->count(); ++i) rows << tree->item(i)->text();
    EXPECT_EQ(rows, (QStringList{"c:\\", "Windows", "System", "TEMP"}));
}

TEST_F(QtBrowserTest, FileListAndDriveBoxShowTheModel)
{
    ASSERT_TRUE(form->fil.setPath("C:\\Windows\\TEMP"));
    auto* files = qobject_cast<QListView*>(fe.widget(form->fil));
    ASSERT_NE(files, nullptr);
    ASSERT_EQ(rowCount(files), 2);
    clickRow(files, 0);
    clickRow(files, 1, Qt::ControlModifier);
    EXPECT_EQ(form->fil.selCount(), 2u);
    EXPECT_EQ(selectedRows(files), (std::vector<int>{0, 1}));

    auto* drives = qobject_cast<QComboBox*>(fe.widget(form->drv));
    ASSERT_EQ(drives->count(), 1);
    EXPECT_EQ(drives->currentText().toStdString(), "c: [" + root.path().string() + "]");
}

} // namespace
} // namespace velmora

#include "platform/qt/QtFrontEnd.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QGroupBox>
#include <QIcon>
#include <QItemSelection>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
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
#include <QSignalBlocker>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTextCursor>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <unordered_map>

namespace velmora {

namespace {

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

std::string utf8(const QString& s)
{
    const QByteArray bytes = s.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// A label without a buddy shows "&" literally in Qt; the program's captions mean an access key.
QString withoutMnemonics(const QString& caption)
{
    QString out;
    out.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && i + 1 < caption.size()) ++i;
        else if (caption[i] == u'&') continue;
        out += caption[i];
    }
    return out;
}

// Tool tips and labels hold file names: never let Qt take them for markup.
QString plainToolTip(const QString& text)
{
    if (text.isEmpty() || !Qt::mightBeRichText(text)) return text;
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

// The Windows virtual-key code of a key, as the program's KeyDown handlers expect; 0 when
// the key has none we know.
int virtualKey(const QKeyEvent& e)
{
    const int k = e.key();
    if (k >= Qt::Key_A && k <= Qt::Key_Z) return k;
    if (k >= Qt::Key_0 && k <= Qt::Key_9) return e.modifiers().testFlag(Qt::KeypadModifier) ? 96 + (k - Qt::Key_0) : k;
    if (k >= Qt::Key_F1 && k <= Qt::Key_F24) return 112 + (k - Qt::Key_F1);
    switch (k) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter: return key::Return;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: return 17;
    case Qt::Key_Alt: return 18;
    case Qt::Key_Pause: return 19;
    case Qt::Key_CapsLock: return 20;
    case Qt::Key_Escape: return key::Escape;
    case Qt::Key_Space: return 32;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Insert: return 45;
    case Qt::Key_Delete: return key::Delete;
    case Qt::Key_Menu: return 93;
    default: return 0;
    }
}

int mouseButton(Qt::MouseButton b)
{
    switch (b) {
    case Qt::LeftButton: return mouse::Left;
    case Qt::RightButton: return mouse::Right;
    case Qt::MiddleButton: return 4;
    default: return 0;
    }
}

// The Windows fonts the forms name are rarely on the host: ask for metric-compatible
// families first and let the style hint pick the rest.
QFont qtFont(const Font& f)
{
    QString lower = qs(f.name).toLower();
    QFont q;
    const QString name = qs(f.name);
    if (lower.contains(u"courier") || lower.contains(u"fixedsys") || lower.contains(u"terminal") ||
        lower.contains(u"console")) {
        q.setFamilies({name, QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono"),
                       QStringLiteral("Monospace")});
        q.setStyleHint(QFont::TypeWriter);
        q.setFixedPitch(true);
    } else if (lower.contains(u"times") || (lower.contains(u"serif") && !lower.contains(u"sans"))) {
        q.setFamilies({name, QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif"), QStringLiteral("Serif")});
        q.setStyleHint(QFont::Serif);
    } else {
        q.setFamilies({name, QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("DejaVu Sans"),
                       QStringLiteral("Sans Serif")});
        q.setStyleHint(QFont::SansSerif);
    }
    q.setPointSizeF(f.size > 0 ? f.size : 8);
    q.setBold(f.bold);
    q.setUnderline(f.underline);
    return q;
}

// Labels, images, lines and shapes are drawn on the form itself under Windows: they stay
// below every real control whatever their order.
bool isGraphical(ControlKind k)
{
    return k == ControlKind::Label || k == ControlKind::Image || k == ControlKind::Line || k == ControlKind::Shape;
}

bool isListKind(ControlKind k) { return k == ControlKind::ListBox || k == ControlKind::FileListBox; }

bool takesFocus(ControlKind k)
{
    switch (k) {
    case ControlKind::CommandButton:
    case ControlKind::TextBox:
    case ControlKind::CheckBox:
    case ControlKind::OptionButton:
    case ControlKind::ComboBox:
    case ControlKind::ListBox:
    case ControlKind::DriveListBox:
    case ControlKind::DirListBox:
    case ControlKind::FileListBox: return true;
    default: return false;
    }
}

// Windows keeps "\r\n" in multi-line text boxes; Qt edits "\n".
QString toEditText(const std::string& text) { return qs(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }
std::string fromEditText(const QString& text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\n', QStringLiteral("\r\n"));
    return utf8(t);
}

template <class F>
void guarded(F&& f)
{
    try {
        f();
    } catch (const std::exception& e) {
        // The event boundary: one failing action must not leave the event loop.
        std::fprintf(stderr, "velmora: %s\n", e.what());
    }
}

constexpr int DepthRole = Qt::UserRole + 1;

// The folder tree's rows: ancestors and the open folder, then its subfolders, each indented
// by its depth as the classic folder list draws them.
class IndentDelegate : public QStyledItemDelegate {
public:
    IndentDelegate(int indent, QObject* parent) : QStyledItemDelegate(parent), m_indent(indent) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem shifted(option);
        shifted.rect.adjust(index.data(DepthRole).toInt() * m_indent, 0, 0, 0);
        QStyledItemDelegate::paint(painter, shifted, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        s.rwidth() += index.data(DepthRole).toInt() * m_indent;
        return s;
    }

private:
    int m_indent;
};

} // namespace

struct QtFrontEnd::Impl {
    struct ControlView {
        Control* control = nullptr;
        QWidget* widget = nullptr;
        QTimer* timer = nullptr;
        std::vector<std::string> items; // rows as last drawn
        std::vector<std::string> dirRows; // folder tree: the path of each row
        std::size_t dirAncestors = 0;     // folder tree: rows above the subfolders
        std::string dirPath;
        int lastIndex = -2;
        int timerInterval = -1;
        bool timerOn = false;
        bool ticking = false;
        std::string picture;
        bool hasPixmap = false;
    };

    struct FormView {
        std::uint64_t id = 0;
        Form* form = nullptr;
        QWidget* window = nullptr;
        std::unordered_map<const Control*, std::unique_ptr<ControlView>> views;
        QEventLoop* modalLoop = nullptr;
        bool positioned = false;
        bool dialogFlags = false;
    };

    struct Binding {
        std::uint64_t formId;
        Control* control;
    };

    class InputFilter : public QObject {
    public:
        explicit InputFilter(Impl& d) : m_d(d) {}
        bool eventFilter(QObject* o, QEvent* e) override;

    private:
        Impl& m_d;
    };

    Impl() : filter(*this)
    {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) dpi = screen->logicalDotsPerInch();
        if (dpi < 24) dpi = 96;
        pictureFolders.push_back(utf8(QCoreApplication::applicationDirPath() + QStringLiteral("/help")));
    }

    Toolkit* toolkit = nullptr;
    double dpi = 96;
    std::vector<std::unique_ptr<FormView>> forms;
    std::uint64_t nextId = 1;
    std::vector<std::string> pictureFolders;
    InputFilter filter;
    std::unordered_map<const QObject*, Binding> bindings;
    std::vector<QPointer<QWidget>> dying;
    bool running = false;
    bool offscreen = QGuiApplication::platformName() == QStringLiteral("offscreen");

    // ---- lookups ----

    FormView* formById(std::uint64_t id) const
    {
        for (const auto& f : forms)
            if (f->id == id) return f.get();
        return nullptr;
    }

    FormView* formOf(const Form* form) const
    {
        for (const auto& f : forms)
            if (f->form == form) return f.get();
        return nullptr;
    }

    static ControlView* viewOf(const FormView& fv, const Control* c)
    {
        auto it = fv.views.find(c);
        return it == fv.views.end() ? nullptr : it->second.get();
    }

    // The control when its form still has its view and still holds it: a widget's event may
    // arrive after either went away.
    Control* live(std::uint64_t formId, const Control* c) const
    {
        const FormView* fv = formById(formId);
        if (!fv || !viewOf(*fv, c)) return nullptr;
        const auto& cs = fv->form->controls();
        return std::find(cs.begin(), cs.end(), c) == cs.end() ? nullptr : const_cast<Control*>(c);
    }

    // ---- units ----

    int px(int twips) const { return static_cast<int>(std::lround(twips * dpi / 1440.0)); }
    int twips(int pixels) const { return static_cast<int>(std::lround(pixels * 1440.0 / dpi)); }

    QRect rectFor(const Control& c) const
    {
        const Geometry& g = c.geometry();
        const int x = px(g.left), y = px(g.top);
        int w = px(g.left + g.width) - x, h = px(g.top + g.height) - y;
        if (c.kind() == ControlKind::Line) {
            if (w >= h) h = std::max(h, 1);
            else w = std::max(w, 1);
        }
        return {x, y, std::max(w, 0), std::max(h, 0)};
    }

    // ---- building ----

    void bind(QObject* o, std::uint64_t id, Control* c)
    {
        bindings[o] = {id, c};
        o->installEventFilter(&filter);
    }

    void unbind(const ControlView& cv)
    {
        if (!cv.widget) return;
        bindings.erase(cv.widget);
        if (auto* view = qobject_cast<QAbstractItemView*>(cv.widget)) bindings.erase(view->viewport());
    }

    QWidget* parentFor(const FormView& fv, const Control& c) const;
    QWidget* createWidget(FormView& fv, ControlView& cv, QWidget* parent);
    ControlView& addControl(FormView& fv, Control* c);
    void replaceWidget(FormView& fv, ControlView& cv);
    void dropControl(FormView& fv, const Control* c);

    // ---- drawing from the model ----

    void sync(FormView& fv, ControlView& cv);
    void syncAll(FormView& fv);
    void syncForm(FormView& fv);
    void syncButton(ControlView& cv, QPushButton& b);
    void syncLabel(FormView& fv, ControlView& cv, QLabel& l);
    void syncTextBox(ControlView& cv);
    void syncList(ControlView& cv, QListWidget& w);
    void syncDirList(ControlView& cv, QListWidget& w);
    void syncCombo(ControlView& cv, QComboBox& box, const std::vector<std::string>& items, int index);
    void syncPicture(ControlView& cv, QLabel& l, const std::string& picture);
    void syncTimer(ControlView& cv);

    void resync(std::uint64_t formId, const Control* c)
    {
        if (!live(formId, c)) return;
        FormView* fv = formById(formId);
        if (ControlView* cv = viewOf(*fv, c)) sync(*fv, *cv);
    }

    // A user's action on a control: the model acts, then the widget shows the model again
    // (it may have refused, cut or changed what the widget did).
    template <class F>
    void userAction(std::uint64_t formId, Control* c, F&& action)
    {
        if (!live(formId, c)) return;
        guarded(action);
        resync(formId, c);
    }

    // ---- input ----

    bool keyPress(QObject* o, QKeyEvent& e);
    bool mouse(QObject* o, QMouseEvent& e);
    bool dialogKey(std::uint64_t formId, int vk, Control* focused);
    void navigateList(std::uint64_t formId, Control* c, QListWidget& w, const QKeyEvent& e);
    void openDirRow(std::uint64_t formId, Control* c, int row);
    void closeBox(std::uint64_t formId);
    void tick(std::uint64_t formId, Control* c);

    // ---- windows ----

    void setOwner(FormView& fv, Form* owner);
    void placeFirstTime(FormView& fv, Form* owner);
    void dropForm(std::unique_ptr<FormView> fv);
    QWidget* activeWindow() const;

    void bringToFront(QWidget& w) const
    {
        if (!offscreen) w.raise(); // the headless platform only warns that it cannot
        w.activateWindow();
    }
    QString findPicture(const std::string& name) const;
};

namespace {

// The top-level window of a form: its close box asks the form, and Enter / Esc press the
// default and cancel buttons when no control took the key.
class FormWindow : public QWidget {
public:
    FormWindow(QtFrontEnd::Impl& d, std::uint64_t id)
        : QWidget(nullptr, Qt::Window), m_d(d), m_id(id)
    {
    }

protected:
    void closeEvent(QCloseEvent* e) override
    {
        e->ignore();
        m_d.closeBox(m_id);
    }

    void keyPressEvent(QKeyEvent* e) override
    {
        if (!m_d.dialogKey(m_id, virtualKey(*e), nullptr)) QWidget::keyPressEvent(e);
    }

private:
    QtFrontEnd::Impl& m_d;
    std::uint64_t m_id;
};

} // namespace

// ---- building ----

QWidget* QtFrontEnd::Impl::parentFor(const FormView& fv, const Control& c) const
{
    if (Control* container = c.container())
        if (const ControlView* cv = viewOf(fv, container); cv && cv->widget) return cv->widget;
    return fv.window;
}

QWidget* QtFrontEnd::Impl::createWidget(FormView& fv, ControlView& cv, QWidget* parent)
{
    Control* c = cv.control;
    const std::uint64_t id = fv.id;
    QWidget* w = nullptr;
    switch (c->kind()) {
    case ControlKind::CommandButton: {
        auto* b = new QPushButton(parent);
        b->setAutoDefault(false);
        QObject::connect(b, &QAbstractButton::clicked, b, [this, id, c] { userAction(id, c, [c] { c->click(); }); });
        w = b;
        break;
    }
    case ControlKind::Label: {
        auto* l = new QLabel(parent);
        l->setTextFormat(Qt::PlainText);
        l->setWordWrap(true);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        w = l;
        break;
    }
    case ControlKind::TextBox: {
        auto* t = static_cast<TextBox*>(c);
        if (t->multiLine()) {
            auto* e = new QPlainTextEdit(parent);
            QObject::connect(e, &QPlainTextEdit::textChanged, e, [this, id, t, e] {
                const std::string text = fromEditText(e->toPlainText());
                userAction(id, t, [t, &text] { t->type(text); });
            });
            w = e;
        } else {
            auto* e = new QLineEdit(parent);
            // Every change that is not ours is the user's: typing, pasting, undoing.
            QObject::connect(e, &QLineEdit::textChanged, e, [this, id, t](const QString& text) {
                const std::string value = utf8(text);
                userAction(id, t, [t, &value] { t->type(value); });
            });
            w = e;
        }
        break;
    }
    case ControlKind::CheckBox: {
        auto* b = new QCheckBox(parent);
        QObject::connect(b, &QAbstractButton::clicked, b, [this, id, c] { userAction(id, c, [c] { c->click(); }); });
        w = b;
        break;
    }
    case ControlKind::OptionButton: {
        auto* b = new QRadioButton(parent);
        b->setAutoExclusive(false); // the model clears the other options of the container
        QObject::connect(b, &QAbstractButton::clicked, b, [this, id, c] { userAction(id, c, [c] { c->click(); }); });
        w = b;
        break;
    }
    case ControlKind::ComboBox:
    case ControlKind::DriveListBox: {
        auto* box = new QComboBox(parent);
        box->setEditable(false);
        QObject::connect(box, &QComboBox::activated, box, [this, id, c](int i) {
            userAction(id, c, [c, i] {
                if (c->kind() == ControlKind::ComboBox) static_cast<ComboBox*>(c)->choose(i);
                else static_cast<DriveListBox*>(c)->choose(i);
            });
        });
        w = box;
        break;
    }
    case ControlKind::ListBox:
    case ControlKind::FileListBox:
    case ControlKind::DirListBox: {
        auto* list = new QListWidget(parent);
        list->setUniformItemSizes(true);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        if (c->kind() == ControlKind::DirListBox) {
            list->setSelectionMode(QAbstractItemView::SingleSelection);
            list->setItemDelegate(new IndentDelegate(px(240), list));
            list->setIconSize(QSize(16, 16));
        }
        bind(list->viewport(), id, c);
        w = list;
        break;
    }
    case ControlKind::Frame: w = new QGroupBox(parent); break;
    case ControlKind::PictureBox:
    case ControlKind::Image: {
        auto* l = new QLabel(parent);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        // A panel is a window of its own: it hides what lies under it.
        l->setAutoFillBackground(c->kind() == ControlKind::PictureBox);
        w = l;
        break;
    }
    case ControlKind::Line: {
        auto* f = new QFrame(parent);
        f->setFrameShadow(QFrame::Plain);
        f->setForegroundRole(QPalette::Dark);
        w = f;
        break;
    }
    case ControlKind::Shape: {
        auto* f = new QFrame(parent);
        f->setFrameStyle(QFrame::Box | QFrame::Plain);
        w = f;
        break;
    }
    case ControlKind::Timer: {
        cv.timer = new QTimer(fv.window);
        QObject::connect(cv.timer, &QTimer::timeout, cv.timer, [this, id, c] { tick(id, c); });
        return nullptr;
    }
    case ControlKind::Menu:
    case ControlKind::MenuItem: return nullptr;
    }
    bind(w, id, c);
    if (!takesFocus(c->kind())) w->setFocusPolicy(Qt::NoFocus);
    return w;
}

QtFrontEnd::Impl::ControlView& QtFrontEnd::Impl::addControl(FormView& fv, Control* c)
{
    auto cv = std::make_unique<ControlView>();
    cv->control = c;
    ControlView& ref = *cv;
    fv.views[c] = std::move(cv);
    ref.widget = createWidget(fv, ref, parentFor(fv, *c));
    if (ref.widget && isGraphical(c->kind())) ref.widget->lower();
    return ref;
}

void QtFrontEnd::Impl::replaceWidget(FormView& fv, ControlView& cv)
{
    QWidget* old = cv.widget;
    const bool hadFocus = old && old->hasFocus();
    unbind(cv);
    cv.widget = createWidget(fv, cv, old ? old->parentWidget() : parentFor(fv, *cv.control));
    cv.items.clear();
    if (old) {
        cv.widget->stackUnder(old);
        old->hide();
        old->deleteLater(); // we may be inside one of its signals
    }
    if (hadFocus) cv.widget->setFocus();
}

void QtFrontEnd::Impl::dropControl(FormView& fv, const Control* c)
{
    auto it = fv.views.find(c);
    if (it == fv.views.end()) return;
    unbind(*it->second);
    if (it->second->widget) {
        it->second->widget->hide();
        it->second->widget->deleteLater();
    }
    if (it->second->timer) {
        it->second->timer->stop();
        it->second->timer->deleteLater();
    }
    fv.views.erase(it);
}

// ---- drawing from the model ----

void QtFrontEnd::Impl::syncForm(FormView& fv)
{
    fv.window->setWindowTitle(qs(fv.form->caption()));
    fv.window->setFixedSize(px(fv.form->clientWidth()), px(fv.form->clientHeight()));
}

void QtFrontEnd::Impl::syncAll(FormView& fv)
{
    const auto& controls = fv.form->controls();
    // Controls that went away, then any added after the form was built.
    std::vector<const Control*> gone;
    for (const auto& [c, cv] : fv.views)
        if (std::find(controls.begin(), controls.end(), c) == controls.end()) gone.push_back(c);
    for (const Control* c : gone) dropControl(fv, c);
    for (Control* c : controls)
        if (!viewOf(fv, c)) addControl(fv, c);
    syncForm(fv);
    for (Control* c : controls)
        if (ControlView* cv = viewOf(fv, c)) sync(fv, *cv);
}

void QtFrontEnd::Impl::sync(FormView& fv, ControlView& cv)
{
    Control& c = *cv.control;
    if (c.kind() == ControlKind::Timer) {
        syncTimer(cv);
        return;
    }
    if (c.kind() == ControlKind::TextBox) {
        const bool multi = static_cast<TextBox&>(c).multiLine();
        if (multi != (qobject_cast<QPlainTextEdit*>(cv.widget) != nullptr)) replaceWidget(fv, cv);
    }
    QWidget* w = cv.widget;
    if (!w) return;

    w->setGeometry(rectFor(c));
    w->setEnabled(c.enabled());
    w->setToolTip(plainToolTip(qs(c.toolTip())));
    const QFont font = qtFont(c.font());
    if (w->font() != font) w->setFont(font);

    switch (c.kind()) {
    case ControlKind::CommandButton: syncButton(cv, *static_cast<QPushButton*>(w)); break;
    case ControlKind::Label: syncLabel(fv, cv, *static_cast<QLabel*>(w)); break;
    case ControlKind::TextBox: syncTextBox(cv); break;
    case ControlKind::CheckBox: {
        auto& box = static_cast<CheckBox&>(c);
        auto* b = static_cast<QCheckBox*>(w);
        b->setText(qs(box.caption()));
        b->setCheckState(box.value() == 1 ? Qt::Checked : box.value() == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
        break;
    }
    case ControlKind::OptionButton: {
        auto& opt = static_cast<OptionButton&>(c);
        auto* b = static_cast<QRadioButton*>(w);
        b->setText(qs(opt.caption()));
        b->setChecked(opt.value());
        break;
    }
    case ControlKind::ComboBox: {
        auto& box = static_cast<ComboBox&>(c);
        syncCombo(cv, *static_cast<QComboBox*>(w), box.items(), box.listIndex());
        break;
    }
    case ControlKind::DriveListBox: {
        auto& box = static_cast<DriveListBox&>(c);
        syncCombo(cv, *static_cast<QComboBox*>(w), box.items(), box.listIndex());
        break;
    }
    case ControlKind::ListBox:
    case ControlKind::FileListBox: syncList(cv, *static_cast<QListWidget*>(w)); break;
    case ControlKind::DirListBox: syncDirList(cv, *static_cast<QListWidget*>(w)); break;
    case ControlKind::Frame: static_cast<QGroupBox*>(w)->setTitle(qs(static_cast<Frame&>(c).caption())); break;
    case ControlKind::PictureBox: {
        auto& pic = static_cast<PictureBox&>(c);
        auto* l = static_cast<QLabel*>(w);
        l->setFrameStyle(pic.border() ? (QFrame::Panel | QFrame::Sunken) : QFrame::NoFrame);
        l->setLineWidth(pic.border() ? 2 : 0);
        syncPicture(cv, *l, pic.picture());
        break;
    }
    case ControlKind::Image: syncPicture(cv, *static_cast<QLabel*>(w), static_cast<Image&>(c).picture()); break;
    case ControlKind::Line: {
        const QRect r = rectFor(c);
        static_cast<QFrame*>(w)->setFrameShape(r.width() >= r.height() ? QFrame::HLine : QFrame::VLine);
        break;
    }
    default: break;
    }
    w->setVisible(c.visible());
}

void QtFrontEnd::Impl::syncButton(ControlView& cv, QPushButton& b)
{
    auto& button = static_cast<CommandButton&>(*cv.control);
    b.setDefault(button.isDefault());
    if (button.picture().empty()) {
        cv.picture.clear();
        cv.hasPixmap = false;
        b.setIcon(QIcon());
        b.setText(qs(button.caption()));
        b.setFocusPolicy(button.focusable() ? Qt::StrongFocus : Qt::NoFocus);
        return;
    }
    // A picture button: the picture when its file is there, else a short text in its place.
    b.setFocusPolicy(button.focusable() ? Qt::TabFocus : Qt::NoFocus);
    if (cv.picture != button.picture()) {
        cv.picture = button.picture();
        QPixmap pixmap;
        const QString file = findPicture(cv.picture);
        cv.hasPixmap = !file.isEmpty() && pixmap.load(file);
        b.setIcon(cv.hasPixmap ? QIcon(pixmap) : QIcon());
        if (cv.hasPixmap) b.setIconSize(pixmap.size());
    }
    if (cv.hasPixmap) {
        b.setText(qs(button.caption()));
        return;
    }
    QString glyph = withoutMnemonics(qs(button.caption()));
    if (glyph.isEmpty()) {
        glyph = QFileInfo(qs(cv.picture).replace(u'\\', u'/')).completeBaseName();
        glyph = b.fontMetrics().elidedText(glyph, Qt::ElideRight, std::max(b.width() - 6, 8));
    }
    b.setText(glyph);
}

void QtFrontEnd::Impl::syncLabel(FormView& fv, ControlView& cv, QLabel& l)
{
    const QString caption = qs(static_cast<Label&>(*cv.control).caption());
    // The access key of a label moves the focus to the control after it.
    QWidget* buddy = nullptr;
    if (caption.contains(u'&')) {
        const auto& controls = fv.form->controls();
        auto it = std::find(controls.begin(), controls.end(), cv.control);
        for (++it; it != controls.end() && !buddy; ++it)
            if (takesFocus((*it)->kind()))
                if (const ControlView* next = viewOf(fv, *it)) buddy = next->widget;
    }
    l.setBuddy(buddy);
    l.setText(buddy ? caption : withoutMnemonics(caption));
}

void QtFrontEnd::Impl::syncTextBox(ControlView& cv)
{
    auto& t = static_cast<TextBox&>(*cv.control);
    if (auto* e = qobject_cast<QPlainTextEdit*>(cv.widget)) {
        e->setReadOnly(t.locked());
        const QString text = toEditText(t.text());
        if (e->toPlainText() != text) {
            const QSignalBlocker block(e);
            const int pos = e->textCursor().position();
            e->setPlainText(text);
            QTextCursor cursor = e->textCursor();
            cursor.setPosition(std::min(pos, static_cast<int>(text.size())));
            e->setTextCursor(cursor);
        }
        return;
    }
    auto* e = static_cast<QLineEdit*>(cv.widget);
    const QSignalBlocker block(e);
    e->setReadOnly(t.locked());
    const std::size_t max = t.maxLength();
    e->setMaxLength(max == 0 || max > 32767 ? 32767 : static_cast<int>(max));
    const QString text = qs(t.text());
    if (e->text() != text) {
        const int pos = e->cursorPosition();
        e->setText(text);
        e->setCursorPosition(std::min(pos, static_cast<int>(text.size())));
    }
}

void QtFrontEnd::Impl::syncCombo(ControlView& cv, QComboBox& box, const std::vector<std::string>& items, int index)
{
    const QSignalBlocker block(&box);
    if (cv.items != items) {
        box.clear();
        QStringList texts;
        texts.reserve(static_cast<qsizetype>(items.size()));
        for (const auto& s : items) texts.append(qs(s));
        box.addItems(texts);
        cv.items = items;
    }
    box.setCurrentIndex(index);
}

void QtFrontEnd::Impl::syncList(ControlView& cv, QListWidget& w)
{
    Control& c = *cv.control;
    std::size_t count = 0;
    int index = -1;
    if (c.kind() == ControlKind::ListBox) {
        auto& list = static_cast<ListBox&>(c);
        count = list.listCount();
        index = list.listIndex();
        w.setSelectionMode(list.multiSelect() == MultiSelect::Extended ? QAbstractItemView::ExtendedSelection
                           : list.multiSelect() == MultiSelect::Simple ? QAbstractItemView::MultiSelection
                                                                        : QAbstractItemView::SingleSelection);
        if (cv.items != list.items()) {
            cv.items = list.items();
            cv.lastIndex = -2;
        }
    } else {
        auto& files = static_cast<FileListBox&>(c);
        count = files.listCount();
        index = files.listIndex();
        w.setSelectionMode(QAbstractItemView::ExtendedSelection);
        bool same = cv.items.size() == count;
        for (std::size_t i = 0; same && i < count; ++i) same = cv.items[i] == files.list(i);
        if (!same) {
            cv.items.clear();
            cv.items.reserve(count);
            for (std::size_t i = 0; i < count; ++i) cv.items.push_back(files.list(i));
            cv.lastIndex = -2;
        }
    }
    if (cv.lastIndex == -2 || w.count() != static_cast<int>(cv.items.size())) {
        QStringList texts;
        texts.reserve(static_cast<qsizetype>(cv.items.size()));
        for (const auto& s : cv.items) texts.append(qs(s));
        w.clear();
        w.addItems(texts);
    }

    auto isSelected = [&c](std::size_t i) {
        return c.kind() == ControlKind::ListBox ? static_cast<ListBox&>(c).selected(i)
                                                : static_cast<FileListBox&>(c).selected(i);
    };
    QItemSelection selection;
    const QAbstractItemModel* model = w.model();
    std::size_t start = count;
    for (std::size_t i = 0; i <= count; ++i) {
        const bool on = i < count && isSelected(i);
        if (on && start == count) start = i;
        if (!on && start != count) {
            selection.select(model->index(static_cast<int>(start), 0), model->index(static_cast<int>(i) - 1, 0));
            start = count;
        }
    }
    w.selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (index >= 0 && index < w.count()) {
        const QModelIndex current = model->index(index, 0);
        w.selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
        if (index != cv.lastIndex) w.scrollTo(current);
    }
    cv.lastIndex = index;
}

void QtFrontEnd::Impl::syncDirList(ControlView& cv, QListWidget& w)
{
    auto& dir = static_cast<DirListBox&>(*cv.control);
    const std::string& path = dir.path();
    if (path == cv.dirPath && cv.dirRows.size() == cv.dirAncestors + dir.listCount() &&
        std::equal(dir.subfolders().begin(), dir.subfolders().end(),
                   cv.dirRows.begin() + static_cast<std::ptrdiff_t>(cv.dirAncestors)))
        return;

    // "C:\A\B" opens as "c:\", "A", "B" above B's subfolders.
    std::vector<std::string> ancestors;
    std::vector<QString> names;
    if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') {
        ancestors.push_back(path.substr(0, 3));
        names.push_back(qs(path.substr(0, 3)).toLower());
        std::size_t pos = 3;
        while (pos < path.size()) {
            std::size_t next = path.find('\\', pos);
            if (next == std::string::npos) next = path.size();
            if (next > pos) {
                ancestors.push_back(path.substr(0, next));
                names.push_back(qs(path.substr(pos, next - pos)));
            }
            pos = next + 1;
        }
    } else {
        ancestors.push_back(path);
        names.push_back(qs(path));
    }

    QStyle* style = w.style();
    const QIcon openIcon = style->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style->standardIcon(QStyle::SP_DirClosedIcon);
    w.clear();
    cv.dirRows = ancestors;
    for (std::size_t i = 0; i < ancestors.size(); ++i) {
        auto* item = new QListWidgetItem(i == 0 ? style->standardIcon(QStyle::SP_DriveHDIcon) : openIcon, names[i]);
        item->setData(DepthRole, static_cast<int>(i));
        w.addItem(item);
    }
    const int depth = static_cast<int>(ancestors.size());
    for (const std::string& sub : dir.subfolders()) {
        const std::size_t slash = sub.rfind('\\');
        auto* item = new QListWidgetItem(closed, qs(slash == std::string::npos ? sub : sub.substr(slash + 1)));
        item->setData(DepthRole, depth);
        w.addItem(item);
        cv.dirRows.push_back(sub);
    }
    cv.dirAncestors = ancestors.size();
    cv.dirPath = path;
    w.setCurrentRow(depth - 1);
    w.scrollToItem(w.item(depth - 1));
}

void QtFrontEnd::Impl::syncPicture(ControlView& cv, QLabel& l, const std::string& picture)
{
    if (cv.picture == picture && (cv.hasPixmap || picture.empty())) return;
    cv.picture = picture;
    QPixmap pixmap;
    const QString file = findPicture(picture);
    cv.hasPixmap = !file.isEmpty() && pixmap.load(file);
    if (cv.hasPixmap) l.setPixmap(pixmap);
    else l.clear();
}

void QtFrontEnd::Impl::syncTimer(ControlView& cv)
{
    auto& t = static_cast<Timer&>(*cv.control);
    const bool on = t.enabled() && t.interval() > 0;
    // Enabling a timer or changing its interval starts its count afresh, as on Windows.
    if (!on) cv.timer->stop();
    else if (!cv.timerOn || t.interval() != cv.timerInterval || !cv.timer->isActive()) cv.timer->start(t.interval());
    cv.timerOn = on;
    cv.timerInterval = t.interval();
}

// ---- input ----

bool QtFrontEnd::Impl::InputFilter::eventFilter(QObject* o, QEvent* e)
{
    switch (e->type()) {
    case QEvent::KeyPress: return m_d.keyPress(o, *static_cast<QKeyEvent*>(e));
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: return m_d.mouse(o, *static_cast<QMouseEvent*>(e));
    default: return false;
    }
}

bool QtFrontEnd::Impl::dialogKey(std::uint64_t formId, int vk, Control* focused)
{
    FormView* fv = formById(formId);
    if (!fv) return false;
    Form& form = *fv->form;
    CommandButton* target = nullptr;
    if (vk == key::Return) {
        target = focused && focused->kind() == ControlKind::CommandButton ? static_cast<CommandButton*>(focused)
                                                                          : form.defaultButton();
    } else if (vk == key::Escape) {
        target = form.cancelButton();
    }
    if (!target) return false;
    userAction(formId, target, [target] { target->click(); });
    return true;
}

bool QtFrontEnd::Impl::keyPress(QObject* o, QKeyEvent& e)
{
    auto it = bindings.find(o);
    if (it == bindings.end()) return false;
    const Binding b = it->second;
    Control* c = live(b.formId, b.control);
    if (!c) return true;
    const int vk = virtualKey(e);
    const ControlKind kind = c->kind();
    auto* list = qobject_cast<QListWidget*>(viewOf(*formById(b.formId), c)->widget);

    if (vk == key::Return && kind == ControlKind::DirListBox && list) {
        // Enter opens the highlighted folder; on the open folder itself it is the form's.
        const int row = list->currentRow();
        if (row >= 0 && static_cast<std::size_t>(row) + 1 != viewOf(*formById(b.formId), c)->dirAncestors) {
            openDirRow(b.formId, c, row);
            return true;
        }
    }
    if ((vk == key::Return || vk == key::Escape) && dialogKey(b.formId, vk, c)) return true;
    if (vk == 9) return false; // Tab moves the focus as usual

    if (vk != 0 && c->onKeyDown) {
        guarded([c, vk] { c->keyDown(vk); });
        if (!live(b.formId, c)) return true;
    }
    if (isListKind(kind) && list) {
        navigateList(b.formId, c, *list, e);
        return true;
    }
    return false;
}

void QtFrontEnd::Impl::navigateList(std::uint64_t formId, Control* c, QListWidget& w, const QKeyEvent& e)
{
    const bool isFiles = c->kind() == ControlKind::FileListBox;
    auto* list = isFiles ? nullptr : static_cast<ListBox*>(c);
    auto* files = isFiles ? static_cast<FileListBox*>(c) : nullptr;
    const int count = static_cast<int>(isFiles ? files->listCount() : list->listCount());
    if (count == 0) return;
    const int current = isFiles ? files->listIndex() : list->listIndex();
    const bool shift = e.modifiers().testFlag(Qt::ShiftModifier);
    const bool ctrl = e.modifiers().testFlag(Qt::ControlModifier);
    const int rowHeight = std::max(w.sizeHintForRow(0), 1);
    const int page = std::max(w.viewport()->height() / rowHeight - 1, 1);

    int target = -1;
    switch (e.key()) {
    case Qt::Key_Up: target = std::max(current - 1, 0); break;
    case Qt::Key_Down: target = std::min(current + 1, count - 1); break;
    case Qt::Key_Home: target = 0; break;
    case Qt::Key_End: target = count - 1; break;
    case Qt::Key_PageUp: target = std::max(current - page, 0); break;
    case Qt::Key_PageDown: target = std::min(std::max(current, 0) + page, count - 1); break;
    case Qt::Key_Space: {
        const auto i = static_cast<std::size_t>(std::max(current, 0));
        userAction(formId, c, [&] {
            if (isFiles) files->userSelect(i, false, ctrl);
            else list->userSelect(i, false, ctrl);
        });
        return;
    }
    default: {
        // Typing a character moves to the next item that starts with it.
        const QString typed = e.text();
        if (typed.isEmpty() || !typed[0].isPrint() || ctrl) return;
        const QChar want = typed[0].toUpper();
        for (int step = 1; step <= count && target < 0; ++step) {
            const int i = (std::max(current, 0) + step) % count;
            const QListWidgetItem* item = w.item(i);
            if (item && !item->text().isEmpty() && item->text()[0].toUpper() == want) target = i;
        }
        if (target < 0) return;
        break;
    }
    }
    const auto i = static_cast<std::size_t>(target);
    const bool simple = list && list->multiSelect() == MultiSelect::Simple;
    userAction(formId, c, [&] {
        // Ctrl moves the caret without selecting; so does every move in a simple list.
        if (ctrl || simple) {
            if (isFiles) files->setListIndex(target);
            else list->setListIndex(target);
        } else if (isFiles) {
            files->userSelect(i, shift, false);
        } else {
            list->userSelect(i, shift, false);
        }
    });
}

void QtFrontEnd::Impl::openDirRow(std::uint64_t formId, Control* c, int row)
{
    FormView* fv = formById(formId);
    ControlView* cv = fv ? viewOf(*fv, c) : nullptr;
    if (!cv || row < 0 || static_cast<std::size_t>(row) >= cv->dirRows.size()) return;
    auto& dir = static_cast<DirListBox&>(*c);
    const auto r = static_cast<std::size_t>(row);
    if (r + 1 == cv->dirAncestors) return; // the open folder itself
    const std::string target = cv->dirRows[r];
    const std::size_t ancestors = cv->dirAncestors;
    userAction(formId, c, [&] {
        if (r >= ancestors) dir.open(r - ancestors);
        else if (dir.usable() && dir.shown()) dir.setPath(target);
    });
}

bool QtFrontEnd::Impl::mouse(QObject* o, QMouseEvent& e)
{
    auto it = bindings.find(o);
    if (it == bindings.end()) return false;
    const Binding b = it->second;
    Control* c = live(b.formId, b.control);
    if (!c) return true;
    ControlView* cv = viewOf(*formById(b.formId), c);
    QWidget* w = cv->widget;
    const bool onViewport = o != w;
    const QPoint local = e.position().toPoint();
    const QPoint pos = onViewport ? static_cast<QWidget*>(o)->mapTo(w, local) : local;
    const int button = mouseButton(e.button());
    const ControlKind kind = c->kind();
    const std::uint64_t id = b.formId;

    auto mouseUp = [&] {
        if (button != 0 && c->onMouseUp) {
            const int x = twips(pos.x()), y = twips(pos.y());
            guarded([c, button, x, y] { c->mouseUp(button, x, y); });
        }
    };

    if (onViewport) {
        auto* list = static_cast<QListWidget*>(w);
        const int row = list->indexAt(local).row();
        if (kind == ControlKind::DirListBox) {
            if (e.type() == QEvent::MouseButtonDblClick && e.button() == Qt::LeftButton) {
                openDirRow(id, c, row);
                return true;
            }
            if (e.type() == QEvent::MouseButtonRelease) mouseUp();
            return e.button() != Qt::LeftButton; // the highlight moves; the path waits for a double click
        }
        // The model owns the selection: the list widget only draws it.
        switch (e.type()) {
        case QEvent::MouseButtonPress:
            list->setFocus(Qt::MouseFocusReason);
            if (e.button() == Qt::LeftButton && row >= 0) {
                const bool shift = e.modifiers().testFlag(Qt::ShiftModifier);
                const bool ctrl = e.modifiers().testFlag(Qt::ControlModifier);
                const auto i = static_cast<std::size_t>(row);
                userAction(id, c, [&] {
                    if (kind == ControlKind::FileListBox) static_cast<FileListBox*>(c)->userSelect(i, shift, ctrl);
                    else static_cast<ListBox*>(c)->userSelect(i, shift, ctrl);
                });
            }
            return true;
        case QEvent::MouseButtonDblClick:
            if (e.button() == Qt::LeftButton && row >= 0) guarded([c] { c->dblClick(); });
            return true;
        default:
            mouseUp();
            return true;
        }
    }

    const bool passive = kind == ControlKind::Label || kind == ControlKind::Image || kind == ControlKind::PictureBox ||
                         kind == ControlKind::Frame || kind == ControlKind::Shape || kind == ControlKind::Line;
    switch (e.type()) {
    case QEvent::MouseButtonPress: return passive;
    case QEvent::MouseButtonDblClick:
        if (e.button() == Qt::LeftButton && kind != ControlKind::CommandButton) guarded([c] { c->dblClick(); });
        return passive || !live(id, c);
    default:
        mouseUp();
        if (!live(id, c)) return true;
        if (passive && e.button() == Qt::LeftButton && w->rect().contains(pos)) guarded([c] { c->click(); });
        return passive || !live(id, c);
    }
}

void QtFrontEnd::Impl::closeBox(std::uint64_t formId)
{
    FormView* fv = formById(formId);
    if (!fv) return;
    Form* form = fv->form;
    guarded([form] { form->close(); });
}

void QtFrontEnd::Impl::tick(std::uint64_t formId, Control* c)
{
    FormView* fv = formById(formId);
    ControlView* cv = fv && live(formId, c) ? viewOf(*fv, c) : nullptr;
    // A handler still running (a message box of its own, a yield) is not entered again.
    if (!cv || cv->ticking) return;
    cv->ticking = true;
    guarded([c] { static_cast<Timer*>(c)->tick(); });
    if (live(formId, c)) viewOf(*formById(formId), c)->ticking = false;
}

// ---- windows ----

void QtFrontEnd::Impl::setOwner(FormView& fv, Form* owner)
{
    FormView* ov = owner ? formOf(owner) : nullptr;
    if (!ov || ov == &fv) return;
    // Native handles are needed to tie the windows; parenting the widgets instead would let
    // an owner's unload delete this form's window.
    fv.window->winId();
    ov->window->winId();
    if (QWindow* handle = fv.window->windowHandle()) handle->setTransientParent(ov->window->windowHandle());
}

void QtFrontEnd::Impl::placeFirstTime(FormView& fv, Form* owner)
{
    if (fv.positioned) return;
    fv.positioned = true;
    QRect area;
    if (FormView* ov = owner ? formOf(owner) : nullptr; ov && ov->window->isVisible()) area = ov->window->geometry();
    else if (const QScreen* screen = QGuiApplication::primaryScreen()) area = screen->availableGeometry();
    if (area.isValid()) {
        QRect r(QPoint(0, 0), fv.window->size());
        r.moveCenter(area.center());
        fv.window->move(r.topLeft());
    }
}

void QtFrontEnd::Impl::dropForm(std::unique_ptr<FormView> fv)
{
    if (fv->modalLoop) fv->modalLoop->quit();
    for (auto& [c, cv] : fv->views) {
        unbind(*cv);
        if (cv->timer) cv->timer->stop();
    }
    fv->window->hide();
    // The form may be unloading from inside one of its own widgets' signals.
    fv->window->deleteLater();
    dying.erase(std::remove_if(dying.begin(), dying.end(), [](const QPointer<QWidget>& p) { return p.isNull(); }),
                dying.end());
    dying.emplace_back(fv->window);
}

QWidget* QtFrontEnd::Impl::activeWindow() const
{
    if (toolkit)
        if (Form* f = toolkit->activeForm())
            if (FormView* fv = formOf(f)) return fv->window;
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return QApplication::activeWindow();
}

QString QtFrontEnd::Impl::findPicture(const std::string& name) const
{
    if (name.empty()) return {};
    const QString file = qs(name).replace(u'\\', u'/');
    if (QFileInfo(file).isAbsolute()) return QFileInfo::exists(file) ? file : QString();
    std::vector<QString> folders;
    for (const auto& f : pictureFolders) folders.push_back(qs(f));
    folders.push_back(QDir::currentPath());
    for (const QString& folder : folders) {
        const QDir dir(folder);
        if (QFileInfo::exists(dir.filePath(file))) return dir.filePath(file);
        // The program names its pictures as Windows spells them; the host may differ in case.
        const QString base = QFileInfo(file).fileName();
        const QDir sub(QFileInfo(dir.filePath(file)).path());
        for (const QString& entry : sub.entryList(QDir::Files))
            if (entry.compare(base, Qt::CaseInsensitive) == 0) return sub.filePath(entry);
    }
    return {};
}

// ---- QtFrontEnd ----

QtFrontEnd::QtFrontEnd()
{
    if (!QApplication::instance()) {
        std::fputs("velmora: QtFrontEnd needs a QApplication\n", stderr);
        std::abort();
    }
    d = std::make_unique<Impl>();
    // The program ends when its last form is unloaded, not when its last window hides.
    QGuiApplication::setQuitOnLastWindowClosed(false);
}

QtFrontEnd::~QtFrontEnd()
{
    for (auto& fv : d->forms) {
        if (fv->modalLoop) fv->modalLoop->quit();
        delete fv->window;
    }
    d->forms.clear();
    for (auto& w : d->dying) delete w.data();
}

void QtFrontEnd::attach(Toolkit& toolkit) { d->toolkit = &toolkit; }

int QtFrontEnd::run()
{
    if (d->forms.empty()) return 0;
    d->running = true;
    const int code = QApplication::exec();
    d->running = false;
    return code;
}

bool QtFrontEnd::canOpenDisplay()
{
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v;
    };
    return std::getenv("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
}

void QtFrontEnd::setPictureFolders(std::vector<std::string> hostFolders) { d->pictureFolders = std::move(hostFolders); }

QWidget* QtFrontEnd::widget(const Form& form) const
{
    const Impl::FormView* fv = d->formOf(&form);
    return fv ? fv->window : nullptr;
}

QWidget* QtFrontEnd::widget(const Control& control) const
{
    const Impl::FormView* fv = d->formOf(&control.form());
    const Impl::ControlView* cv = fv ? Impl::viewOf(*fv, &control) : nullptr;
    return cv ? cv->widget : nullptr;
}

void QtFrontEnd::formLoaded(Form& form)
{
    if (d->formOf(&form)) return;
    auto fv = std::make_unique<Impl::FormView>();
    fv->id = d->nextId++;
    fv->form = &form;
    fv->window = new FormWindow(*d, fv->id);
    Impl::FormView& ref = *fv;
    d->forms.push_back(std::move(fv));

    // Every widget first, then each into its container: a container may come after its
    // children in the form's order.
    for (Control* c : form.controls()) d->addControl(ref, c);
    for (Control* c : form.controls()) {
        Impl::ControlView* cv = Impl::viewOf(ref, c);
        QWidget* parent = d->parentFor(ref, *c);
        if (cv && cv->widget && cv->widget->parentWidget() != parent) {
            cv->widget->setParent(parent);
            if (isGraphical(c->kind())) cv->widget->lower();
        }
    }
    d->syncAll(ref);
}

void QtFrontEnd::formUnloaded(Form& form)
{
    auto it = std::find_if(d->forms.begin(), d->forms.end(), [&form](const auto& fv) { return fv->form == &form; });
    if (it == d->forms.end()) return;
    std::unique_ptr<Impl::FormView> fv = std::move(*it);
    d->forms.erase(it);
    d->dropForm(std::move(fv));
    if (d->forms.empty() && d->running) QCoreApplication::exit(0);
}

void QtFrontEnd::showForm(Form& form)
{
    Impl::FormView* fv = d->formOf(&form);
    if (!fv) return;
    d->syncAll(*fv); // default buttons and list modes are set without notice
    d->setOwner(*fv, form.owner());
    d->placeFirstTime(*fv, form.owner());
    fv->window->show();
    d->bringToFront(*fv->window);
}

void QtFrontEnd::hideForm(Form& form)
{
    Impl::FormView* fv = d->formOf(&form);
    if (!fv) return;
    fv->window->hide();
    // A modal form that hides itself hands control back to whoever showed it.
    if (fv->modalLoop) fv->modalLoop->quit();
}

void QtFrontEnd::runModal(Form& form, Form* owner)
{
    Impl::FormView* fv = d->formOf(&form);
    if (!fv) return;
    const std::uint64_t id = fv->id;
    QWidget* w = fv->window;
    if (w->isVisible()) w->hide(); // modality only changes on a hidden window
    if (!fv->dialogFlags) {
        w->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
        fv->dialogFlags = true;
    }
    w->setWindowModality(Qt::ApplicationModal);
    d->syncAll(*fv);
    d->setOwner(*fv, owner);
    d->placeFirstTime(*fv, owner);
    w->show();
    d->bringToFront(*w);

    fv = d->formById(id);
    if (!fv || !form.visible()) return;
    QEventLoop loop;
    fv->modalLoop = &loop;
    loop.exec(QEventLoop::DialogExec);
    if (Impl::FormView* still = d->formById(id)) {
        still->modalLoop = nullptr;
        if (!still->window->isVisible()) still->window->setWindowModality(Qt::NonModal);
    }
}

MsgResult QtFrontEnd::messageBox(const MessageBoxSpec& spec)
{
    if (messageBoxHook) return messageBoxHook(spec);

    // On the heap: the parent window may be deleted while the box runs its own loop.
    QPointer<QMessageBox> box = new QMessageBox(d->activeWindow());
    box->setWindowTitle(qs(spec.title));
    box->setTextFormat(Qt::PlainText);
    box->setText(qs(spec.text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    switch (spec.icon) {
    case MsgIcon::None: box->setIcon(QMessageBox::NoIcon); break;
    case MsgIcon::Information: box->setIcon(QMessageBox::Information); break;
    case MsgIcon::Question: box->setIcon(QMessageBox::Question); break;
    case MsgIcon::Exclamation: box->setIcon(QMessageBox::Warning); break;
    case MsgIcon::Critical: box->setIcon(QMessageBox::Critical); break;
    }
    // The buttons of a Russian system's message boxes.
    auto add = [&box](QMessageBox::StandardButton which, const char* text) {
        QPushButton* b = box->addButton(which);
        b->setText(QString::fromUtf8(text));
        return b;
    };
    QPushButton* first = nullptr;
    switch (spec.buttons) {
    case MsgButtons::OK: first = add(QMessageBox::Ok, "OK"); box->setEscapeButton(first); break;
    case MsgButtons::OKCancel:
        first = add(QMessageBox::Ok, "OK");
        box->setEscapeButton(add(QMessageBox::Cancel, "Отмена"));
        break;
    case MsgButtons::YesNo:
        first = add(QMessageBox::Yes, "&Да");
        add(QMessageBox::No, "&Нет");
        break;
    case MsgButtons::RetryCancel:
        first = add(QMessageBox::Retry, "&Повтор");
        box->setEscapeButton(add(QMessageBox::Cancel, "Отмена"));
        break;
    }
    box->setDefaultButton(first);
    box->exec();
    if (!box) return safeAnswer(spec.buttons);
    const QMessageBox::StandardButton pressed = box->standardButton(box->clickedButton());
    delete box.data();
    switch (pressed) {
    case QMessageBox::Ok: return MsgResult::OK;
    case QMessageBox::Cancel: return MsgResult::Cancel;
    case QMessageBox::Yes: return MsgResult::Yes;
    case QMessageBox::No: return MsgResult::No;
    case QMessageBox::Retry: return MsgResult::Retry;
    default: return safeAnswer(spec.buttons);
    }
}

void QtFrontEnd::yield() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtFrontEnd::popupMenu(Menu& menu, int x, int y, MenuItem* defaultItem)
{
    Impl::FormView* fv = d->formOf(&menu.form());
    if (!fv) return;
    const std::uint64_t id = fv->id;
    QPointer<QMenu> popup = new QMenu(fv->window);
    std::vector<std::pair<QAction*, MenuItem*>> actions;
    for (MenuItem* item : menu.items()) {
        if (!item->visible()) continue;
        if (item->isSeparator()) {
            popup->addSeparator();
            continue;
        }
        QAction* a = popup->addAction(qs(item->caption()));
        a->setEnabled(item->enabled());
        if (item->checked()) {
            a->setCheckable(true);
            a->setChecked(true);
        }
        if (item == defaultItem) popup->setDefaultAction(a);
        actions.emplace_back(a, item);
    }
    QAction* chosen = popup->exec(fv->window->mapToGlobal(QPoint(d->px(x), d->px(y))));
    MenuItem* item = nullptr;
    for (const auto& [a, i] : actions)
        if (a == chosen) item = i;
    delete popup.data();
    if (item && d->live(id, item)) guarded([item] { item->click(); });
}

void QtFrontEnd::setFocus(Control& control)
{
    if (QWidget* w = widget(control)) w->setFocus(Qt::OtherFocusReason);
}

void QtFrontEnd::timerChanged(Timer& timer) { controlChanged(timer); }

void QtFrontEnd::controlChanged(Control& control)
{
    Impl::FormView* fv = d->formOf(&control.form());
    if (!fv) return;
    Impl::ControlView* cv = Impl::viewOf(*fv, &control);
    if (!cv) cv = &d->addControl(*fv, &control);
    d->sync(*fv, *cv);
}

void QtFrontEnd::formChanged(Form& form)
{
    if (Impl::FormView* fv = d->formOf(&form)) d->syncForm(*fv);
}

void QtFrontEnd::endProgram()
{
    std::fflush(stdout);
    std::fflush(stderr);
    if (endProgramHook) endProgramHook();
    std::_Exit(0);
}

} // namespace velmora

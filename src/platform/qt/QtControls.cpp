#include "platform/qt/QtControls.h"
#include "platform/qt/QtText.h"
#include "platform/toolkit/Accessible.h"
#include "platform/toolkit/ListFollower.h"

#include <QAbstractItemView>
#include <QAbstractListModel>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QGroupBox>
#include <QIcon>
#include <QItemSelection>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMouseEvent>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTextCursor>
#include <QTimer>

#include <algorithm>
#include <exception>
#include <functional>
#include <type_traits>
#include <vector>

namespace velmora {

namespace {

// A label without a buddy shows "&" literally in Qt; the program's captions mean an access key.
QString withoutMnemonics(const QString& caption)
{
    QString out;
    out.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && i + 1 < caption.size())
            ++i;
        else if (caption[i] == u'&')
            continue;
        out += caption[i];
    }
    return out;
}

// A screen reader hears the model's name and description; set only on a change, since each
// setting is an event to every listening reader.
void syncAccessible(QWidget& w, const Control& c)
{
    const QString name = qs(accessibleName(c));
    if (w.accessibleName() != name) w.setAccessibleName(name);
    const QString description = qs(accessibleDescription(c));
    if (w.accessibleDescription() != description) w.setAccessibleDescription(description);
}

// Tool tips and labels hold file names: never let Qt take them for markup.
QString plainToolTip(const QString& text)
{
    if (text.isEmpty() || !Qt::mightBeRichText(text)) return text;
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

int mouseButton(Qt::MouseButton b)
{
    switch (b) {
    case Qt::LeftButton:
        return mouse::Left;
    case Qt::RightButton:
        return mouse::Right;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
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
        q.setFamilies(
            {name, QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Monospace")});
        q.setStyleHint(QFont::TypeWriter);
        q.setFixedPitch(true);
    } else if (lower.contains(u"times") || (lower.contains(u"serif") && !lower.contains(u"sans"))) {
        q.setFamilies(
            {name, QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif"), QStringLiteral("Serif")});
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

// Windows keeps "\r\n" in multi-line text boxes; Qt edits "\n".
QString toEditText(const std::string& text) { return qs(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }
std::string fromEditText(const QString& text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\n', QStringLiteral("\r\n"));
    return utf8(t);
}

// A picture file of the program's, as a pixmap; null when it is missing or unreadable.
QPixmap loadPicture(const AdapterHost& host, const std::string& name)
{
    QPixmap pixmap;
    const QString file = host.findPicture(name);
    if (!file.isEmpty()) pixmap.load(file);
    return pixmap;
}

QListWidget* newListWidget(QWidget* parent)
{
    auto* list = new QListWidget(parent);
    list->setUniformItemSizes(true);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return list;
}

} // namespace

int virtualKey(const QKeyEvent& e)
{
    const int k = e.key();
    if (k >= Qt::Key_A && k <= Qt::Key_Z) return k;
    if (k >= Qt::Key_0 && k <= Qt::Key_9) return e.modifiers().testFlag(Qt::KeypadModifier) ? 96 + (k - Qt::Key_0) : k;
    if (k >= Qt::Key_F1 && k <= Qt::Key_F24) return 112 + (k - Qt::Key_F1);
    switch (k) {
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return key::Tab;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return key::Return;
    case Qt::Key_Shift:
        return 16;
    case Qt::Key_Control:
        return 17;
    case Qt::Key_Alt:
        return 18;
    case Qt::Key_Pause:
        return 19;
    case Qt::Key_CapsLock:
        return 20;
    case Qt::Key_Escape:
        return key::Escape;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return 40;
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_Delete:
        return key::Delete;
    case Qt::Key_Menu:
        return 93;
    default:
        return 0;
    }
}

// ---- ControlAdapter ----

// The adapter's presence among Qt objects: the receiver of its widget's signals and the filter
// of its widget's input. Destroying it ends both at once.
class ControlAdapter::Events : public QObject {
public:
    explicit Events(ControlAdapter& adapter) : m_adapter(adapter) {}

    bool eventFilter(QObject* watched, QEvent* e) override
    {
        switch (e->type()) {
        case QEvent::KeyPress:
            return m_adapter.keyPress(*static_cast<QKeyEvent*>(e));
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            return m_adapter.mouse(watched, *static_cast<QMouseEvent*>(e));
        case QEvent::MouseMove:
            return watched != m_adapter.m_widget.data() && m_adapter.viewportMove(*static_cast<QMouseEvent*>(e));
        default:
            return false;
        }
    }

private:
    ControlAdapter& m_adapter;
};

ControlAdapter::ControlAdapter(Control& control, AdapterHost& host, Presence presence)
    : m_control(control), m_form(control.form()), m_host(host), m_presence(presence),
      m_events(std::make_unique<Events>(*this))
{}

ControlAdapter::~ControlAdapter()
{
    m_events.reset(); // nothing the widget does reaches this adapter any more
    if (m_widget) {
        m_widget->hide();
        m_widget->deleteLater(); // we may be inside one of its signals
    }
}

ControlAdapter::Alive::Alive(const ControlAdapter& adapter) : m_guard(adapter.m_events.get()), m_adapter(&adapter) {}

ControlAdapter::Alive::operator bool() const { return m_guard && m_adapter->held(); }

bool ControlAdapter::held() const
{
    const auto& controls = m_form.controls();
    return std::find(controls.begin(), controls.end(), &m_control) != controls.end();
}

QObject* ControlAdapter::context() const { return m_events.get(); }

void ControlAdapter::listenTo(QObject* o) { o->installEventFilter(m_events.get()); }

QWidget* ControlAdapter::make(QWidget* parent)
{
    QWidget* w = create(parent);
    if (!w) return nullptr;
    listenTo(w);
    if (!takesFocus()) w->setFocusPolicy(Qt::NoFocus);
    return w;
}

void ControlAdapter::build(QWidget* parent)
{
    m_widget = make(parent);
    if (m_widget && m_presence == Presence::Drawn) m_widget->lower();
}

void ControlAdapter::moveInto(QWidget* parent)
{
    if (!m_widget || m_widget->parentWidget() == parent) return;
    m_widget->setParent(parent);
    if (m_presence == Presence::Drawn) m_widget->lower();
}

void ControlAdapter::rebuild()
{
    QWidget* old = m_widget;
    if (!old) return;
    const bool hadFocus = old->hasFocus();
    // The old widget lives on until the event loop deletes it: it must not type into the model.
    old->removeEventFilter(m_events.get());
    QObject::disconnect(old, nullptr, m_events.get(), nullptr);
    m_widget = make(old->parentWidget());
    m_widget->stackUnder(old);
    old->hide();
    old->deleteLater(); // we may be inside one of its signals
    if (hadFocus) m_widget->setFocus();
}

QRect ControlAdapter::pixelRect() const
{
    const Geometry& g = m_control.geometry();
    const int x = m_host.px(g.left), y = m_host.px(g.top);
    return {x, y, std::max(m_host.px(g.left + g.width) - x, 0), std::max(m_host.px(g.top + g.height) - y, 0)};
}

void ControlAdapter::sync()
{
    QWidget* w = m_widget;
    if (!w) return;
    const Control& c = m_control;
    w->setGeometry(pixelRect());
    w->setEnabled(c.enabled());
    w->setToolTip(plainToolTip(qs(c.toolTip())));
    syncAccessible(*w, c);
    const QFont font = qtFont(c.font());
    if (w->font() != font) w->setFont(font);
    syncKind();
    w->setVisible(c.visible());
}

void ControlAdapter::act(const std::function<void()>& action)
{
    if (!held()) return;
    const Alive alive(*this);
    runHandler(form(), action);
    if (alive) redrawAfterAction();
}

void ControlAdapter::follow(const ListChange&) { sync(); }

void ControlAdapter::mouseUp(Qt::MouseButton which, QPoint pos)
{
    const int button = mouseButton(which);
    if (button == 0 || !m_control.onMouseUp) return;
    const int x = m_host.twips(pos.x()), y = m_host.twips(pos.y());
    Control& c = m_control;
    runHandler(form(), [&c, button, x, y] { c.mouseUp(button, x, y); });
}

void ControlAdapter::doubleClick()
{
    Control& c = m_control;
    runHandler(form(), [&c] { c.dblClick(); });
}

// The adapter as the interaction rules see it, for as long as it lives.
class ControlAdapter::View final : public ControlView {
public:
    explicit View(const ControlAdapter& adapter) : m_adapter(adapter), m_alive(adapter) {}
    bool alive() const override { return static_cast<bool>(m_alive); }
    int highlightedRow() const override { return alive() ? m_adapter.highlightedRow() : -1; }
    int shownRows() const override { return alive() ? m_adapter.shownRows() : 1; }

private:
    const ControlAdapter& m_adapter;
    Alive m_alive;
};

bool ControlAdapter::keyPress(const QKeyEvent& e)
{
    if (!held()) return true;
    KeyPress press;
    press.code = virtualKey(e);
    press.shift = e.modifiers().testFlag(Qt::ShiftModifier);
    press.ctrl = e.modifiers().testFlag(Qt::ControlModifier);
    if (const QList<uint> typed = e.text().toUcs4(); !typed.isEmpty()) press.typed = typed.front();
    const View view(*this);
    KeyResult result = KeyResult::Taken;
    Control& c = m_control;
    runHandler(form(), [&] { result = pressKey(c, press, view); });
    if (!view.alive()) return true;
    switch (result) {
    case KeyResult::NextStop:
        if (press.ctrl) return false;
        m_host.moveFocus(m_form, &m_control, press.shift);
        return true;
    case KeyResult::Widget:
        return !widgetKeys();
    case KeyResult::Taken:
        break;
    }
    return true;
}

bool ControlAdapter::mouse(const QObject* watched, QMouseEvent& e)
{
    if (!held()) return true;
    QWidget* w = m_widget;
    if (watched != w) return viewportMouse(e);

    const QPoint pos = e.position().toPoint();
    const bool passive = m_presence != Presence::Focusable;
    const View view(*this);
    Control& c = m_control;
    switch (e.type()) {
    case QEvent::MouseButtonPress:
        if (passive) m_clicks.press(mouseButton(e.button()));
        return passive;
    case QEvent::MouseButtonDblClick:
        if (e.button() == Qt::LeftButton) {
            if (passive)
                runHandler(form(), [&] { m_clicks.doubleClick(c, view); });
            else
                doubleClick();
        }
        return passive || !view.alive();
    default: {
        if (!passive) {
            mouseUp(e.button(), pos);
            return !view.alive();
        }
        const int button = mouseButton(e.button()), x = m_host.twips(pos.x()), y = m_host.twips(pos.y());
        const bool inside = w->rect().contains(pos);
        runHandler(form(), [&] { m_clicks.release(c, button, x, y, inside, view); });
        return true;
    }
    }
}

namespace {

// ---- buttons, labels, text ----

class CommandButtonAdapter final : public ControlAdapter {
public:
    CommandButtonAdapter(CommandButton& button, AdapterHost& host)
        : ControlAdapter(button, host, Presence::Focusable), m_button(button)
    {}

private:
    QWidget* create(QWidget* parent) override
    {
        m_push = new QPushButton(parent);
        m_push->setAutoDefault(false);
        QObject::connect(m_push, &QAbstractButton::clicked, context(), [this] { act([this] { m_button.click(); }); });
        return m_push;
    }

    void syncKind() override
    {
        QPushButton& b = *m_push;
        b.setDefault(m_button.isDefault());
        if (m_button.picture().empty()) {
            m_picture.clear();
            m_hasPixmap = false;
            b.setIcon(QIcon());
            b.setText(qs(m_button.caption()));
            b.setFocusPolicy(m_button.focusable() ? Qt::StrongFocus : Qt::NoFocus);
            return;
        }
        // A picture button: the picture when its file is there, else a short text in its place.
        b.setFocusPolicy(m_button.focusable() ? Qt::TabFocus : Qt::NoFocus);
        if (m_picture != m_button.picture()) {
            m_picture = m_button.picture();
            const QPixmap pixmap = loadPicture(host(), m_picture);
            m_hasPixmap = !pixmap.isNull();
            b.setIcon(m_hasPixmap ? QIcon(pixmap) : QIcon());
            if (m_hasPixmap) b.setIconSize(pixmap.size());
        }
        if (m_hasPixmap) {
            b.setText(qs(m_button.caption()));
            return;
        }
        QString glyph = withoutMnemonics(qs(m_button.caption()));
        if (glyph.isEmpty()) {
            glyph = QFileInfo(qs(m_picture).replace(u'\\', u'/')).completeBaseName();
            glyph = b.fontMetrics().elidedText(glyph, Qt::ElideRight, std::max(b.width() - 6, 8));
        }
        b.setText(glyph);
    }

    // Qt takes the second press of a double click as a second click; a button has no DblClick.
    void doubleClick() override {}

    CommandButton& m_button;
    QPushButton* m_push = nullptr;
    std::string m_picture; // as last loaded
    bool m_hasPixmap = false;
};

class LabelAdapter final : public ControlAdapter {
public:
    LabelAdapter(Label& label, AdapterHost& host) : ControlAdapter(label, host, Presence::Drawn), m_model(label) {}

private:
    QWidget* create(QWidget* parent) override
    {
        m_label = new QLabel(parent);
        m_label->setTextFormat(Qt::PlainText);
        m_label->setWordWrap(true);
        m_label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return m_label;
    }

    void syncKind() override
    {
        const QString caption = qs(m_model.caption());
        // The access key of a label moves the focus to the control after it.
        QWidget* buddy = nullptr;
        if (caption.contains(u'&')) {
            const auto& controls = form().controls();
            auto it = std::find(controls.begin(), controls.end(), &m_model);
            if (it != controls.end()) ++it;
            for (; it != controls.end() && !buddy; ++it)
                if (const ControlAdapter* next = host().adapterOf(**it); next && next->takesFocus())
                    buddy = next->widget();
        }
        m_label->setBuddy(buddy);
        m_label->setText(buddy ? caption : withoutMnemonics(caption));
        // The boxes beside a label are named by it: a new caption renames them.
        if (m_model.caption() != m_named) {
            m_named = m_model.caption();
            for (const Control* c : form().controls())
                if (const ControlAdapter* a = host().adapterOf(*c); a && a->widget()) syncAccessible(*a->widget(), *c);
        }
    }

    std::string m_named; // the caption the boxes beside were last named by

    Label& m_model;
    QLabel* m_label = nullptr;
};

class TextBoxAdapter final : public ControlAdapter {
public:
    TextBoxAdapter(TextBox& box, AdapterHost& host) : ControlAdapter(box, host, Presence::Focusable), m_box(box) {}

    void sync() override
    {
        // One editor for one line, another for many: a box that changes over gets the other.
        if (widget() && m_box.multiLine() != (m_multi != nullptr)) rebuild();
        ControlAdapter::sync();
    }

private:
    QWidget* create(QWidget* parent) override
    {
        m_line = nullptr;
        m_multi = nullptr;
        if (m_box.multiLine()) {
            auto* e = new QPlainTextEdit(parent);
            QObject::connect(e, &QPlainTextEdit::textChanged, context(), [this, e] {
                const std::string text = fromEditText(e->toPlainText());
                act([this, &text] { m_box.type(text); });
            });
            m_multi = e;
            return e;
        }
        auto* e = new QLineEdit(parent);
        // Every change that is not ours is the user's: typing, pasting, undoing.
        QObject::connect(e, &QLineEdit::textChanged, context(), [this](const QString& text) {
            const std::string value = utf8(text);
            act([this, &value] { m_box.type(value); });
        });
        m_line = e;
        return e;
    }

    void syncKind() override
    {
        if (QPlainTextEdit* e = m_multi) {
            e->setReadOnly(m_box.locked());
            const QString text = toEditText(m_box.text());
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
        QLineEdit* e = m_line;
        const QSignalBlocker block(e);
        e->setReadOnly(m_box.locked());
        const std::size_t max = m_box.maxLength();
        e->setMaxLength(max == 0 || max > 32767 ? 32767 : static_cast<int>(max));
        const QString text = qs(m_box.text());
        if (e->text() != text) {
            const int pos = e->cursorPosition();
            e->setText(text);
            e->setCursorPosition(std::min(pos, static_cast<int>(text.size())));
        }
    }

    TextBox& m_box;
    QLineEdit* m_line = nullptr;       // the editor while the box is one line
    QPlainTextEdit* m_multi = nullptr; // the editor while it is many
};

class CheckBoxAdapter final : public ControlAdapter {
public:
    CheckBoxAdapter(CheckBox& box, AdapterHost& host) : ControlAdapter(box, host, Presence::Focusable), m_box(box) {}

private:
    QWidget* create(QWidget* parent) override
    {
        m_check = new QCheckBox(parent);
        QObject::connect(m_check, &QAbstractButton::clicked, context(), [this] { act([this] { m_box.click(); }); });
        return m_check;
    }

    void syncKind() override
    {
        m_check->setText(qs(m_box.caption()));
        const int v = m_box.value();
        m_check->setCheckState(v == 1 ? Qt::Checked : v == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
    }

    CheckBox& m_box;
    QCheckBox* m_check = nullptr;
};

class OptionButtonAdapter final : public ControlAdapter {
public:
    OptionButtonAdapter(OptionButton& option, AdapterHost& host)
        : ControlAdapter(option, host, Presence::Focusable), m_option(option)
    {}

private:
    QWidget* create(QWidget* parent) override
    {
        m_radio = new QRadioButton(parent);
        m_radio->setAutoExclusive(false); // the model clears the other options of the container
        QObject::connect(m_radio, &QAbstractButton::clicked, context(), [this] { act([this] { m_option.click(); }); });
        return m_radio;
    }

    void syncKind() override
    {
        m_radio->setText(qs(m_option.caption()));
        m_radio->setChecked(m_option.value());
    }

    OptionButton& m_option;
    QRadioButton* m_radio = nullptr;
};

// ---- lists ----

// A combo box that tells before its list drops down.
class DroppingComboBox final : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> beforeDropping;
    void showPopup() override
    {
        if (beforeDropping) beforeDropping();
        QComboBox::showPopup();
    }
};

// A drop-down list of texts: the combo box, and the drive box with its "c: [label]" entries.
template <class Model> class DropDownAdapter final : public ControlAdapter, private ListView {
public:
    DropDownAdapter(Model& model, AdapterHost& host) : ControlAdapter(model, host, Presence::Focusable), m_model(model)
    {}

private:
    QWidget* create(QWidget* parent) override
    {
        auto* box = new DroppingComboBox(parent);
        m_box = box;
        // The drive box reads the drives again as it opens: volumes come and go.
        if constexpr (std::is_same_v<Model, DriveListBox>)
            box->beforeDropping = [this] { act([this] { m_model.dropDown(); }); };
        m_box->setEditable(false);
        m_rows.forget();
        QObject::connect(m_box, &QComboBox::activated, context(),
                         [this](int i) { act([this, i] { m_model.choose(i); }); });
        return m_box;
    }

    void follow(const ListChange& change) override
    {
        const QSignalBlocker block(m_box);
        m_rows.follow(change, RowsOf<Model>(m_model), *this);
    }

    void syncKind() override
    {
        const QSignalBlocker block(m_box);
        m_rows.sync(RowsOf<Model>(m_model), *this);
    }

    std::size_t drawnCount() const override { return static_cast<std::size_t>(m_box->count()); }
    void resetRows(const std::vector<std::string>& rows) override
    {
        m_box->clear();
        appendRows(rows, 0);
    }
    void appendRows(const std::vector<std::string>& rows, std::size_t first) override
    {
        QStringList texts;
        texts.reserve(static_cast<qsizetype>(rows.size() - first));
        for (std::size_t i = first; i < rows.size(); ++i) texts.append(qs(rows[i]));
        m_box->addItems(texts);
    }
    void removeRows(std::size_t first, std::size_t count) override
    {
        for (std::size_t i = first + count; i-- > first;) m_box->removeItem(static_cast<int>(i));
    }
    void drawSelection(std::size_t, std::size_t, const std::vector<Run>&, bool) override {}
    void drawCurrent(int row, bool) override { m_box->setCurrentIndex(row); }

    Model& m_model;
    QComboBox* m_box = nullptr;
    ListFollower m_rows;
};

using ComboBoxAdapter = DropDownAdapter<ComboBox>;
using DriveListAdapter = DropDownAdapter<DriveListBox>;

// The rows a list widget shows, each text read only when the view lays out or paints its row:
// a long list costs no item object per row. The texts come from the follower's copy, or, where
// the follower keeps only the count, from the list control itself.
class RowsModel final : public QAbstractListModel {
public:
    RowsModel(const ListFollower& rows, const ListRows* texts, QObject* parent)
        : QAbstractListModel(parent), m_rows(&rows), m_texts(texts)
    {}

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : m_count; }
    // Qt's list layout asks for every row's index, twice, after each change: without the checks
    // through three virtual calls that the base class makes, 100,000 rows take a third less.
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override
    {
        return row >= 0 && row < m_count && column == 0 && !parent.isValid() ? createIndex(row, 0) : QModelIndex();
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid()) return {};
        const auto row = static_cast<std::size_t>(index.row());
        // The follower may be ahead of the count while runs of rows leave one by one.
        if (!m_rows || index.row() >= std::min(m_count, copied())) return {};
        if (!m_texts) return qs(m_rows->rows()[row]);
        return row < m_texts->rowCount() ? qs(m_texts->rowText(row)) : QVariant();
    }

    // The adapter goes, or makes a new widget: this model's view, left to be deleted by the
    // event loop, shows nothing from here on and reads nothing of what the adapter owned.
    void detach()
    {
        beginResetModel();
        m_rows = nullptr;
        m_texts = nullptr;
        m_count = 0;
        endResetModel();
    }

    void reset()
    {
        beginResetModel();
        m_count = copied();
        endResetModel();
    }
    void appended(int first)
    {
        if (copied() <= first) return;
        beginInsertRows({}, first, copied() - 1);
        m_count = copied();
        endInsertRows();
    }
    void removed(int first, int count)
    {
        beginRemoveRows({}, first, first + count - 1);
        m_count -= count;
        endRemoveRows();
    }

private:
    int copied() const { return m_rows ? static_cast<int>(m_rows->count()) : 0; }

    const ListFollower* m_rows;
    const ListRows* m_texts; // nullptr: the follower's copy
    int m_count = 0;
};

// The list view of a list box or a file list: its rows, the model's selection and caret, and
// the keys and clicks that change them. The model owns the selection; the view only draws it.
template <class Model> class ListAdapter : public ControlAdapter, private ListView {
public:
    ListAdapter(Model& model, AdapterHost& host) : ControlAdapter(model, host, Presence::Focusable), m_model(model) {}
    ~ListAdapter() override
    {
        if (m_shown) m_shown->detach();
    }

protected:
    Model& model() const { return m_model; }
    virtual MultiSelect multiSelect() const = 0;

private:
    QWidget* create(QWidget* parent) override
    {
        m_list = new QListView(parent);
        m_list->setUniformItemSizes(true);
        m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_rows.forget();
        if (m_shown) m_shown->detach();
        m_shown = new RowsModel(m_rows, readsModel ? &m_source : nullptr, m_list);
        m_list->setModel(m_shown);
        listenTo(m_list->viewport());
        return m_list;
    }

    void syncKind() override;
    void follow(const ListChange& change) override
    {
        if (widget()) m_rows.follow(change, m_source, *this);
    }
    int shownRows() const override { return m_list->viewport()->height() / std::max(m_list->sizeHintForRow(0), 1); }
    bool widgetKeys() const override { return false; }
    bool viewportMouse(QMouseEvent& e) override;
    // The widget never selects by itself (its keys and clicks go to the model, a drag selects
    // nothing), so what the model told it is what it shows.
    bool viewportMove(const QMouseEvent& e) override { return e.buttons() != Qt::NoButton; }
    void redrawAfterAction() override {}

    std::size_t drawnCount() const override { return static_cast<std::size_t>(m_shown->rowCount()); }
    void resetRows(const std::vector<std::string>&) override { m_shown->reset(); }
    void appendRows(const std::vector<std::string>&, std::size_t first) override
    {
        m_shown->appended(static_cast<int>(first));
    }
    void removeRows(std::size_t first, std::size_t count) override
    {
        m_shown->removed(static_cast<int>(first), static_cast<int>(count));
    }
    void drawSelection(std::size_t first, std::size_t end, const std::vector<Run>& selected, bool whole) override;
    void drawCurrent(int row, bool moved) override;

    // A list box's rows change only by the changes the follower is told of, so the view can read
    // each text from the list box itself. A file list is listed afresh at each refresh, and the
    // follower's copy tells whether its rows stayed the same, so that the view keeps its place.
    static constexpr bool readsModel = std::is_same_v<Model, ListBox>;

    Model& m_model;
    RowsOf<Model> m_source{m_model};
    QListView* m_list = nullptr;
    ListFollower m_rows{readsModel ? ListFollower::Keeps::Count : ListFollower::Keeps::Texts};
    QPointer<RowsModel> m_shown; // owned by the view, which may go first (with its window)
};

template <class Model>
void ListAdapter<Model>::drawSelection(std::size_t first, std::size_t end, const std::vector<Run>& selected, bool whole)
{
    const QAbstractItemModel* rows = m_list->model();
    auto row = [rows](std::size_t i) { return rows->index(static_cast<int>(i), 0); };
    QItemSelectionModel& selection = *m_list->selectionModel();
    if (end == first + 1) {
        selection.select(row(first), selected.empty() ? QItemSelectionModel::Deselect : QItemSelectionModel::Select);
        return;
    }
    QItemSelection on;
    for (const auto& [a, b] : selected) on.select(row(a), row(b));
    if (whole) {
        selection.select(on, QItemSelectionModel::ClearAndSelect);
        return;
    }
    selection.select(QItemSelection(row(first), row(end - 1)), QItemSelectionModel::Deselect);
    if (!on.isEmpty()) selection.select(on, QItemSelectionModel::Select);
}

template <class Model> void ListAdapter<Model>::drawCurrent(int index, bool moved)
{
    QListView& w = *m_list;
    if (index < 0 || index >= m_shown->rowCount()) return;
    const QModelIndex current = w.model()->index(index, 0);
    w.selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    if (moved) w.scrollTo(current);
}

template <class Model> void ListAdapter<Model>::syncKind()
{
    const MultiSelect mode = multiSelect();
    m_list->setSelectionMode(mode == MultiSelect::Extended ? QAbstractItemView::ExtendedSelection
                             : mode == MultiSelect::Simple ? QAbstractItemView::MultiSelection
                                                           : QAbstractItemView::SingleSelection);
    m_rows.sync(RowsOf<Model>(m_model), *this);
}
template <class Model> bool ListAdapter<Model>::viewportMouse(QMouseEvent& e)
{
    const QPoint local = e.position().toPoint();
    const int row = m_list->indexAt(local).row();
    switch (e.type()) {
    case QEvent::MouseButtonPress:
        m_list->setFocus(Qt::MouseFocusReason);
        if (e.button() == Qt::LeftButton && row >= 0) {
            const bool shift = e.modifiers().testFlag(Qt::ShiftModifier);
            const bool ctrl = e.modifiers().testFlag(Qt::ControlModifier);
            const auto i = static_cast<std::size_t>(row);
            act([&] { m_model.userSelect(i, shift, ctrl); });
        }
        return true;
    case QEvent::MouseButtonDblClick:
        if (e.button() == Qt::LeftButton && row >= 0) doubleClick();
        return true;
    default:
        mouseUp(e.button(), m_list->viewport()->mapTo(m_list, local));
        return true;
    }
}

class ListBoxAdapter final : public ListAdapter<ListBox> {
public:
    using ListAdapter::ListAdapter;

private:
    MultiSelect multiSelect() const override { return model().multiSelect(); }
};

// The file list always selects a range with Shift and one more file with Ctrl.
class FileListAdapter final : public ListAdapter<FileListBox> {
public:
    using ListAdapter::ListAdapter;

private:
    MultiSelect multiSelect() const override { return MultiSelect::Extended; }
};

constexpr int DepthRole = Qt::UserRole + 1;

// The folder tree's rows are indented by their depth, as the classic folder list draws them.
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

// The folder tree: the drive and the ancestors of the open folder, the folder itself, then its
// subfolders. A click only moves the highlight; a double click or Enter opens the row.
class DirListAdapter final : public ControlAdapter {
public:
    DirListAdapter(DirListBox& dir, AdapterHost& host) : ControlAdapter(dir, host, Presence::Focusable), m_dir(dir) {}

private:
    QWidget* create(QWidget* parent) override
    {
        m_list = newListWidget(parent);
        m_list->setSelectionMode(QAbstractItemView::SingleSelection);
        m_list->setItemDelegate(new IndentDelegate(host().px(240), m_list));
        m_rows.clear();
        m_list->setIconSize(QSize(16, 16));
        listenTo(m_list->viewport());
        return m_list;
    }

    void syncKind() override;
    int highlightedRow() const override { return m_list->currentRow(); }

    bool viewportMouse(QMouseEvent& e) override
    {
        const QPoint local = e.position().toPoint();
        if (e.type() == QEvent::MouseButtonDblClick && e.button() == Qt::LeftButton) {
            if (const int row = m_list->indexAt(local).row(); row >= 0)
                act([this, row] { m_dir.openRow(static_cast<std::size_t>(row)); });
            return true;
        }
        if (e.type() == QEvent::MouseButtonRelease) mouseUp(e.button(), m_list->viewport()->mapTo(m_list, local));
        return e.button() != Qt::LeftButton; // the highlight moves; the path waits for a double click
    }

    DirListBox& m_dir;
    QListWidget* m_list = nullptr;
    std::vector<DirListBox::Row> m_rows; // as last drawn
};

void DirListAdapter::syncKind()
{
    std::vector<DirListBox::Row> rows = m_dir.rows();
    if (rows == m_rows) return;
    m_rows = std::move(rows);
    QListWidget& w = *m_list;
    QStyle* style = w.style();
    const QIcon icons[] = {style->standardIcon(QStyle::SP_DriveHDIcon), style->standardIcon(QStyle::SP_DirOpenIcon),
                           style->standardIcon(QStyle::SP_DirClosedIcon)};
    w.clear();
    for (const DirListBox::Row& row : m_rows) {
        auto* item = new QListWidgetItem(icons[static_cast<int>(row.kind)], qs(row.name));
        item->setData(DepthRole, row.depth);
        w.addItem(item);
    }
    const int open = static_cast<int>(m_dir.openFolderRow());
    w.setCurrentRow(open);
    w.scrollToItem(w.item(open));
}

// ---- frames, pictures, lines ----

class FrameAdapter final : public ControlAdapter {
public:
    FrameAdapter(Frame& frame, AdapterHost& host) : ControlAdapter(frame, host, Presence::Passive), m_frame(frame) {}

private:
    QWidget* create(QWidget* parent) override
    {
        m_box = new QGroupBox(parent);
        return m_box;
    }
    void syncKind() override { m_box->setTitle(qs(m_frame.caption())); }

    Frame& m_frame;
    QGroupBox* m_box = nullptr;
};

// The picture a label shows: loaded again when its name changes, and while its file is missing.
class ShownPicture {
public:
    void show(QLabel& label, const std::string& name, const AdapterHost& host)
    {
        if (m_name == name && (m_loaded || name.empty())) return;
        m_name = name;
        const QPixmap pixmap = loadPicture(host, name);
        m_loaded = !pixmap.isNull();
        if (m_loaded)
            label.setPixmap(pixmap);
        else
            label.clear();
    }

private:
    std::string m_name;
    bool m_loaded = false;
};

QLabel* newPictureLabel(QWidget* parent)
{
    auto* l = new QLabel(parent);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

class PictureBoxAdapter final : public ControlAdapter {
public:
    PictureBoxAdapter(PictureBox& box, AdapterHost& host) : ControlAdapter(box, host, Presence::Passive), m_box(box) {}

private:
    QWidget* create(QWidget* parent) override
    {
        m_label = newPictureLabel(parent);
        m_label->setAutoFillBackground(true); // a panel is a window of its own: it hides what lies under it
        return m_label;
    }

    void syncKind() override
    {
        m_label->setFrameStyle(m_box.border() ? (QFrame::Panel | QFrame::Sunken) : QFrame::NoFrame);
        m_label->setLineWidth(m_box.border() ? 2 : 0);
        m_shown.show(*m_label, m_box.picture(), host());
    }

    PictureBox& m_box;
    QLabel* m_label = nullptr;
    ShownPicture m_shown;
};

class ImageAdapter final : public ControlAdapter {
public:
    ImageAdapter(Image& image, AdapterHost& host) : ControlAdapter(image, host, Presence::Drawn), m_image(image) {}

private:
    QWidget* create(QWidget* parent) override
    {
        m_label = newPictureLabel(parent);
        return m_label;
    }
    void syncKind() override { m_shown.show(*m_label, m_image.picture(), host()); }

    Image& m_image;
    QLabel* m_label = nullptr;
    ShownPicture m_shown;
};

class LineAdapter final : public ControlAdapter {
public:
    LineAdapter(Line& line, AdapterHost& host) : ControlAdapter(line, host, Presence::Drawn), m_line(line) {}

private:
    QWidget* create(QWidget* parent) override
    {
        m_frame = new QFrame(parent);
        m_frame->setFrameShadow(QFrame::Plain);
        m_frame->setForegroundRole(QPalette::Dark);
        return m_frame;
    }

    // A line no thicker than a pixel still draws one.
    QRect pixelRect() const override
    {
        const Geometry& g = m_line.geometry();
        const int x = host().px(g.left), y = host().px(g.top);
        int w = host().px(g.left + g.width) - x, h = host().px(g.top + g.height) - y;
        if (w >= h)
            h = std::max(h, 1);
        else
            w = std::max(w, 1);
        return {x, y, std::max(w, 0), std::max(h, 0)};
    }

    void syncKind() override
    {
        const QRect r = pixelRect();
        m_frame->setFrameShape(r.width() >= r.height() ? QFrame::HLine : QFrame::VLine);
    }

    Line& m_line;
    QFrame* m_frame = nullptr;
};

class ShapeAdapter final : public ControlAdapter {
public:
    ShapeAdapter(Shape& shape, AdapterHost& host) : ControlAdapter(shape, host, Presence::Drawn) {}

private:
    QWidget* create(QWidget* parent) override
    {
        auto* f = new QFrame(parent);
        f->setFrameStyle(QFrame::Box | QFrame::Plain);
        return f;
    }
};

// ---- no widget ----

class TimerAdapter final : public ControlAdapter {
public:
    TimerAdapter(Timer& timer, AdapterHost& host) : ControlAdapter(timer, host, Presence::None), m_timer(timer) {}

    ~TimerAdapter() override
    {
        if (!m_qtimer) return;
        m_qtimer->stop();
        m_qtimer->deleteLater(); // it may be the one ticking now
    }

    void sync() override
    {
        if (!m_qtimer) return;
        const bool on = m_timer.enabled() && m_timer.interval() > 0;
        // Enabling a timer or changing its interval starts its count afresh, as on Windows.
        if (!on)
            m_qtimer->stop();
        else if (!m_on || m_timer.interval() != m_interval || !m_qtimer->isActive())
            m_qtimer->start(m_timer.interval());
        m_on = on;
        m_interval = m_timer.interval();
    }

private:
    QWidget* create(QWidget* parent) override
    {
        m_qtimer = new QTimer(parent);
        QObject::connect(m_qtimer, &QTimer::timeout, context(), [this] { tick(); });
        return nullptr;
    }

    void tick()
    {
        // A handler still running (a message box of its own, a yield) is not entered again.
        if (!held() || m_ticking) return;
        m_ticking = true;
        const Alive alive(*this);
        Timer& t = m_timer;
        runHandler(form(), [&t] { t.tick(); });
        if (alive) m_ticking = false;
    }

    Timer& m_timer;
    QPointer<QTimer> m_qtimer; // a child of the form's window, which may go first
    int m_interval = -1;
    bool m_on = false;
    bool m_ticking = false;
};

// Menus and their items have no widget: the front-end builds a pop-up menu from them when the
// program asks for one.
class MenuAdapter final : public ControlAdapter {
public:
    MenuAdapter(Control& menuOrItem, AdapterHost& host) : ControlAdapter(menuOrItem, host, Presence::None) {}

private:
    QWidget* create(QWidget*) override { return nullptr; }
};

} // namespace

std::unique_ptr<ControlAdapter> makeAdapter(Control& c, AdapterHost& host)
{
    using Made = std::unique_ptr<ControlAdapter>;
    return visitKind(c,
                     Overloaded{
                         [&host](CommandButton& b) -> Made { return std::make_unique<CommandButtonAdapter>(b, host); },
                         [&host](Label& l) -> Made { return std::make_unique<LabelAdapter>(l, host); },
                         [&host](TextBox& t) -> Made { return std::make_unique<TextBoxAdapter>(t, host); },
                         [&host](CheckBox& b) -> Made { return std::make_unique<CheckBoxAdapter>(b, host); },
                         [&host](OptionButton& o) -> Made { return std::make_unique<OptionButtonAdapter>(o, host); },
                         [&host](ComboBox& b) -> Made { return std::make_unique<ComboBoxAdapter>(b, host); },
                         [&host](ListBox& l) -> Made { return std::make_unique<ListBoxAdapter>(l, host); },
                         [&host](Frame& f) -> Made { return std::make_unique<FrameAdapter>(f, host); },
                         [&host](PictureBox& p) -> Made { return std::make_unique<PictureBoxAdapter>(p, host); },
                         [&host](Image& i) -> Made { return std::make_unique<ImageAdapter>(i, host); },
                         [&host](Timer& t) -> Made { return std::make_unique<TimerAdapter>(t, host); },
                         [&host](DriveListBox& d) -> Made { return std::make_unique<DriveListAdapter>(d, host); },
                         [&host](DirListBox& d) -> Made { return std::make_unique<DirListAdapter>(d, host); },
                         [&host](FileListBox& f) -> Made { return std::make_unique<FileListAdapter>(f, host); },
                         [&host](Line& l) -> Made { return std::make_unique<LineAdapter>(l, host); },
                         [&host](Shape& s) -> Made { return std::make_unique<ShapeAdapter>(s, host); },
                         // Menus, their items (and a kind outside the enumeration) draw nothing.
                         [&host](Control& other) -> Made { return std::make_unique<MenuAdapter>(other, host); },
                     });
}

} // namespace velmora

#include "platform/qt/QtControls.h"
#include "platform/qt/QtText.h"

#include <QAbstractItemView>
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
#include <QListWidget>
#include <QMouseEvent>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTextCursor>
#include <QTimer>

#include <algorithm>
#include <cstdio>
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
        return 9;
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

void guarded(const std::function<void()>& action)
{
    try {
        action();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velmora: %s\n", e.what());
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
    const QFont font = qtFont(c.font());
    if (w->font() != font) w->setFont(font);
    syncKind();
    w->setVisible(c.visible());
}

void ControlAdapter::act(const std::function<void()>& action)
{
    if (!held()) return;
    const Alive alive(*this);
    guarded(action);
    if (alive) redrawAfterAction();
}

void ControlAdapter::follow(const ListChange&) { sync(); }

void ControlAdapter::mouseUp(Qt::MouseButton which, QPoint pos)
{
    const int button = mouseButton(which);
    if (button == 0 || !m_control.onMouseUp) return;
    const int x = m_host.twips(pos.x()), y = m_host.twips(pos.y());
    Control& c = m_control;
    guarded([&c, button, x, y] { c.mouseUp(button, x, y); });
}

void ControlAdapter::doubleClick()
{
    Control& c = m_control;
    guarded([&c] { c.dblClick(); });
}

bool ControlAdapter::keyPress(const QKeyEvent& e)
{
    if (!held()) return true;
    const int vk = virtualKey(e);
    if (vk == key::Return && enterKey()) return true;
    if ((vk == key::Return || vk == key::Escape) && m_host.dialogKey(m_form, vk)) return true;
    if (vk == 9) return false; // Tab moves the focus as usual

    if (vk != 0 && m_control.onKeyDown) {
        const Alive alive(*this);
        Control& c = m_control;
        guarded([&c, vk] { c.keyDown(vk); });
        if (!alive) return true;
    }
    return navigationKey(e);
}

bool ControlAdapter::mouse(const QObject* watched, QMouseEvent& e)
{
    if (!held()) return true;
    QWidget* w = m_widget;
    if (watched != w) return viewportMouse(e);

    const QPoint pos = e.position().toPoint();
    const bool passive = m_presence != Presence::Focusable;
    switch (e.type()) {
    case QEvent::MouseButtonPress:
        return passive;
    case QEvent::MouseButtonDblClick: {
        const Alive alive(*this);
        if (e.button() == Qt::LeftButton) doubleClick();
        return passive || !alive;
    }
    default: {
        const Alive alive(*this);
        mouseUp(e.button(), pos);
        if (!alive) return true;
        if (passive && e.button() == Qt::LeftButton && w->rect().contains(pos)) {
            Control& c = m_control;
            guarded([&c] { c.click(); });
        }
        return passive || !alive;
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

    bool enterKey() override
    {
        // Enter on a focused button presses that button, not the form's default one.
        act([this] { m_button.click(); });
        return true;
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
    }

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
template <class Model> class DropDownAdapter final : public ControlAdapter {
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
        QObject::connect(m_box, &QComboBox::activated, context(),
                         [this](int i) { act([this, i] { m_model.choose(i); }); });
        return m_box;
    }

    void follow(const ListChange& change) override
    {
        const std::vector<std::string>& items = m_model.items();
        const QSignalBlocker block(m_box);
        switch (change.kind) {
        case ListChange::Kind::Selection:
            if (m_items.size() != items.size()) return sync();
            break;
        case ListChange::Kind::Appended: {
            if (m_items.size() != change.first || change.first + change.count != items.size()) return sync();
            QStringList texts;
            for (std::size_t i = change.first; i < items.size(); ++i) {
                texts.append(qs(items[i]));
                m_items.push_back(items[i]);
            }
            m_box->addItems(texts);
            break;
        }
        case ListChange::Kind::Removed:
            if (!change.removed || m_items.size() != items.size() + change.removed->size()) return sync();
            for (auto it = change.removed->rbegin(); it != change.removed->rend(); ++it) {
                m_box->removeItem(static_cast<int>(*it));
                m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(*it));
            }
            break;
        }
        m_box->setCurrentIndex(m_model.listIndex());
    }

    void syncKind() override
    {
        const QSignalBlocker block(m_box);
        if (m_items != m_model.items()) {
            m_box->clear();
            QStringList texts;
            texts.reserve(static_cast<qsizetype>(m_model.items().size()));
            for (const auto& s : m_model.items()) texts.append(qs(s));
            m_box->addItems(texts);
            m_items = m_model.items();
        }
        m_box->setCurrentIndex(m_model.listIndex());
    }

    Model& m_model;
    QComboBox* m_box = nullptr;
    std::vector<std::string> m_items; // as last drawn
};

using ComboBoxAdapter = DropDownAdapter<ComboBox>;
using DriveListAdapter = DropDownAdapter<DriveListBox>;

// The list widget of a list box or a file list: its rows, the model's selection and caret,
// and the keys and clicks that change them. The model owns the selection; the widget only
// draws it.
template <class Model> class ListAdapter : public ControlAdapter {
public:
    ListAdapter(Model& model, AdapterHost& host) : ControlAdapter(model, host, Presence::Focusable), m_model(model) {}

protected:
    Model& model() const { return m_model; }
    virtual MultiSelect multiSelect() const = 0;

private:
    QWidget* create(QWidget* parent) override
    {
        m_list = newListWidget(parent);
        listenTo(m_list->viewport());
        return m_list;
    }

    void syncKind() override;
    void follow(const ListChange& change) override;
    bool navigationKey(const QKeyEvent& e) override;
    bool viewportMouse(QMouseEvent& e) override;
    // The widget never selects by itself (its keys and clicks go to the model, a drag selects
    // nothing), so what the model told it is what it shows.
    bool viewportMove(const QMouseEvent& e) override { return e.buttons() != Qt::NoButton; }
    void redrawAfterAction() override {}

    // Draws the selection of rows [first, first + count) from the model.
    void drawSelection(std::size_t first, std::size_t count);
    void drawCaret();
    void removeRows(const std::vector<std::size_t>& ascending);

    Model& m_model;
    QListWidget* m_list = nullptr;
    std::vector<std::string> m_rows; // as last drawn
    int m_lastIndex = -2;            // the caret as last drawn; -2 when the rows are new
};

template <class Model> void ListAdapter<Model>::drawSelection(std::size_t first, std::size_t count)
{
    if (count == 0) return;
    const QAbstractItemModel* rows = m_list->model();
    auto row = [rows](std::size_t i) { return rows->index(static_cast<int>(i), 0); };
    QItemSelectionModel& selection = *m_list->selectionModel();
    if (count == 1) {
        selection.select(row(first),
                         m_model.selected(first) ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
        return;
    }
    // The selected runs of the range: a whole list selected is one range, however long.
    QItemSelection on;
    const std::size_t end = first + count;
    for (std::size_t i = first; i < end;) {
        if (!m_model.selected(i)) {
            ++i;
            continue;
        }
        std::size_t last = i;
        while (last + 1 < end && m_model.selected(last + 1)) ++last;
        on.select(row(i), row(last));
        i = last + 1;
    }
    if (first == 0 && end == m_rows.size()) {
        selection.select(on, QItemSelectionModel::ClearAndSelect);
        return;
    }
    selection.select(QItemSelection(row(first), row(end - 1)), QItemSelectionModel::Deselect);
    if (!on.isEmpty()) selection.select(on, QItemSelectionModel::Select);
}

template <class Model> void ListAdapter<Model>::drawCaret()
{
    QListWidget& w = *m_list;
    const int index = m_model.listIndex();
    if (index >= 0 && index < w.count()) {
        const QModelIndex current = w.model()->index(index, 0);
        w.selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
        if (index != m_lastIndex) w.scrollTo(current);
    }
    m_lastIndex = index;
}

template <class Model> void ListAdapter<Model>::removeRows(const std::vector<std::size_t>& ascending)
{
    // A few runs of rows leave one by one; many scattered ones cost less as a list drawn afresh.
    std::vector<std::pair<std::size_t, std::size_t>> runs; // first, count
    for (std::size_t i : ascending) {
        if (!runs.empty() && runs.back().first + runs.back().second == i)
            ++runs.back().second;
        else
            runs.emplace_back(i, 1);
    }
    std::size_t kept = 0, next = 0;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (next < ascending.size() && ascending[next] == i)
            ++next;
        else if (kept++ != i) // rows before the first removed one stay where they are
            m_rows[kept - 1] = std::move(m_rows[i]);
    }
    m_rows.resize(kept);
    constexpr std::size_t fewRuns = 32;
    if (runs.size() > fewRuns) {
        m_lastIndex = -2;
        syncKind();
        return;
    }
    for (auto it = runs.rbegin(); it != runs.rend(); ++it)
        m_list->model()->removeRows(static_cast<int>(it->first), static_cast<int>(it->second));
}

template <class Model> void ListAdapter<Model>::follow(const ListChange& change)
{
    if (!widget()) return;
    QListWidget& w = *m_list;
    const std::size_t count = m_model.listCount();
    // A change that does not fit what was drawn (one missed, a form drawn late) draws it all.
    const bool drawn = m_rows.size() == static_cast<std::size_t>(w.count());
    switch (change.kind) {
    case ListChange::Kind::Selection:
        if (!drawn || m_rows.size() != count || change.first + change.count > count) return sync();
        drawSelection(change.first, change.count);
        break;
    case ListChange::Kind::Appended: {
        if (!drawn || m_rows.size() != change.first || change.first + change.count != count) return sync();
        QStringList texts;
        texts.reserve(static_cast<qsizetype>(change.count));
        for (std::size_t i = change.first; i < count; ++i) {
            m_rows.push_back(m_model.list(i));
            texts.append(qs(m_rows.back()));
        }
        w.addItems(texts);
        break;
    }
    case ListChange::Kind::Removed:
        if (!drawn || !change.removed || m_rows.size() != count + change.removed->size() ||
            (!change.removed->empty() && change.removed->back() >= m_rows.size()))
            return sync();
        removeRows(*change.removed);
        break;
    }
    drawCaret();
}

template <class Model> void ListAdapter<Model>::syncKind()
{
    QListWidget& w = *m_list;
    const std::size_t count = m_model.listCount();
    const MultiSelect mode = multiSelect();
    w.setSelectionMode(mode == MultiSelect::Extended ? QAbstractItemView::ExtendedSelection
                       : mode == MultiSelect::Simple ? QAbstractItemView::MultiSelection
                                                     : QAbstractItemView::SingleSelection);
    bool same = m_rows.size() == count;
    for (std::size_t i = 0; same && i < count; ++i) same = m_rows[i] == m_model.list(i);
    if (!same) {
        m_rows.clear();
        m_rows.reserve(count);
        for (std::size_t i = 0; i < count; ++i) m_rows.push_back(m_model.list(i));
        m_lastIndex = -2;
    }
    if (m_lastIndex == -2 || w.count() != static_cast<int>(m_rows.size())) {
        QStringList texts;
        texts.reserve(static_cast<qsizetype>(m_rows.size()));
        for (const auto& s : m_rows) texts.append(qs(s));
        w.clear();
        w.addItems(texts);
    }

    if (count == 0)
        w.selectionModel()->clearSelection();
    else
        drawSelection(0, count);
    drawCaret();
}

template <class Model> bool ListAdapter<Model>::navigationKey(const QKeyEvent& e)
{
    const int count = static_cast<int>(m_model.listCount());
    if (count == 0) return true;
    const int current = m_model.listIndex();
    const bool shift = e.modifiers().testFlag(Qt::ShiftModifier);
    const bool ctrl = e.modifiers().testFlag(Qt::ControlModifier);
    const int rowHeight = std::max(m_list->sizeHintForRow(0), 1);
    const int page = std::max(m_list->viewport()->height() / rowHeight - 1, 1);

    int target = -1;
    switch (e.key()) {
    case Qt::Key_Up:
        target = std::max(current - 1, 0);
        break;
    case Qt::Key_Down:
        target = std::min(current + 1, count - 1);
        break;
    case Qt::Key_Home:
        target = 0;
        break;
    case Qt::Key_End:
        target = count - 1;
        break;
    case Qt::Key_PageUp:
        target = std::max(current - page, 0);
        break;
    case Qt::Key_PageDown:
        target = std::min(std::max(current, 0) + page, count - 1);
        break;
    case Qt::Key_Space: {
        const auto i = static_cast<std::size_t>(std::max(current, 0));
        act([&] { m_model.userSelect(i, false, ctrl); });
        return true;
    }
    default: {
        // Typing a character moves to the next item that starts with it.
        const QString typed = e.text();
        if (typed.isEmpty() || !typed[0].isPrint() || ctrl) return true;
        const QChar want = typed[0].toUpper();
        for (int step = 1; step <= count && target < 0; ++step) {
            const int i = (std::max(current, 0) + step) % count;
            const QListWidgetItem* item = m_list->item(i);
            if (item && !item->text().isEmpty() && item->text()[0].toUpper() == want) target = i;
        }
        if (target < 0) return true;
        break;
    }
    }
    const auto i = static_cast<std::size_t>(target);
    // Ctrl moves the caret without selecting; so does every move in a simple list.
    const bool caretOnly = ctrl || multiSelect() == MultiSelect::Simple;
    act([&] {
        if (caretOnly)
            m_model.setListIndex(target);
        else
            m_model.userSelect(i, shift, false);
    });
    return true;
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
        m_list->setIconSize(QSize(16, 16));
        listenTo(m_list->viewport());
        return m_list;
    }

    void syncKind() override;

    bool enterKey() override
    {
        // Enter opens the highlighted folder; on the open folder itself it is the form's.
        const int row = m_list->currentRow();
        if (row < 0 || static_cast<std::size_t>(row) + 1 == m_ancestors) return false;
        openRow(row);
        return true;
    }

    bool viewportMouse(QMouseEvent& e) override
    {
        const QPoint local = e.position().toPoint();
        if (e.type() == QEvent::MouseButtonDblClick && e.button() == Qt::LeftButton) {
            openRow(m_list->indexAt(local).row());
            return true;
        }
        if (e.type() == QEvent::MouseButtonRelease) mouseUp(e.button(), m_list->viewport()->mapTo(m_list, local));
        return e.button() != Qt::LeftButton; // the highlight moves; the path waits for a double click
    }

    void openRow(int row)
    {
        if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size()) return;
        const auto r = static_cast<std::size_t>(row);
        if (r + 1 == m_ancestors) return; // the open folder itself
        const std::string target = m_rows[r];
        const std::size_t ancestors = m_ancestors;
        act([&] {
            if (r >= ancestors)
                m_dir.open(r - ancestors);
            else if (m_dir.usable() && m_dir.shown())
                m_dir.setPath(target);
        });
    }

    DirListBox& m_dir;
    QListWidget* m_list = nullptr;
    std::vector<std::string> m_rows; // the path of each row as last drawn
    std::size_t m_ancestors = 0;     // rows above the subfolders, the open folder included
    std::string m_path;
};

void DirListAdapter::syncKind()
{
    const std::string& path = m_dir.path();
    if (path == m_path && m_rows.size() == m_ancestors + m_dir.listCount() &&
        std::equal(m_dir.subfolders().begin(), m_dir.subfolders().end(),
                   m_rows.begin() + static_cast<std::ptrdiff_t>(m_ancestors)))
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

    QListWidget& w = *m_list;
    QStyle* style = w.style();
    const QIcon openIcon = style->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style->standardIcon(QStyle::SP_DirClosedIcon);
    w.clear();
    m_rows = ancestors;
    for (std::size_t i = 0; i < ancestors.size(); ++i) {
        auto* item = new QListWidgetItem(i == 0 ? style->standardIcon(QStyle::SP_DriveHDIcon) : openIcon, names[i]);
        item->setData(DepthRole, static_cast<int>(i));
        w.addItem(item);
    }
    const int depth = static_cast<int>(ancestors.size());
    for (const std::string& sub : m_dir.subfolders()) {
        const std::size_t slash = sub.rfind('\\');
        auto* item = new QListWidgetItem(closed, qs(slash == std::string::npos ? sub : sub.substr(slash + 1)));
        item->setData(DepthRole, depth);
        w.addItem(item);
        m_rows.push_back(sub);
    }
    m_ancestors = ancestors.size();
    m_path = path;
    w.setCurrentRow(depth - 1);
    w.scrollToItem(w.item(depth - 1));
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
        guarded([&t] { t.tick(); });
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
    // No default: a new kind without an adapter does not compile.
    switch (c.kind()) {
    case ControlKind::CommandButton:
        return std::make_unique<CommandButtonAdapter>(static_cast<CommandButton&>(c), host);
    case ControlKind::Label:
        return std::make_unique<LabelAdapter>(static_cast<Label&>(c), host);
    case ControlKind::TextBox:
        return std::make_unique<TextBoxAdapter>(static_cast<TextBox&>(c), host);
    case ControlKind::CheckBox:
        return std::make_unique<CheckBoxAdapter>(static_cast<CheckBox&>(c), host);
    case ControlKind::OptionButton:
        return std::make_unique<OptionButtonAdapter>(static_cast<OptionButton&>(c), host);
    case ControlKind::ComboBox:
        return std::make_unique<ComboBoxAdapter>(static_cast<ComboBox&>(c), host);
    case ControlKind::ListBox:
        return std::make_unique<ListBoxAdapter>(static_cast<ListBox&>(c), host);
    case ControlKind::Frame:
        return std::make_unique<FrameAdapter>(static_cast<Frame&>(c), host);
    case ControlKind::PictureBox:
        return std::make_unique<PictureBoxAdapter>(static_cast<PictureBox&>(c), host);
    case ControlKind::Image:
        return std::make_unique<ImageAdapter>(static_cast<Image&>(c), host);
    case ControlKind::Timer:
        return std::make_unique<TimerAdapter>(static_cast<Timer&>(c), host);
    case ControlKind::DriveListBox:
        return std::make_unique<DriveListAdapter>(static_cast<DriveListBox&>(c), host);
    case ControlKind::DirListBox:
        return std::make_unique<DirListAdapter>(static_cast<DirListBox&>(c), host);
    case ControlKind::FileListBox:
        return std::make_unique<FileListAdapter>(static_cast<FileListBox&>(c), host);
    case ControlKind::Menu:
    case ControlKind::MenuItem:
        return std::make_unique<MenuAdapter>(c, host);
    case ControlKind::Line:
        return std::make_unique<LineAdapter>(static_cast<Line&>(c), host);
    case ControlKind::Shape:
        return std::make_unique<ShapeAdapter>(static_cast<Shape&>(c), host);
    }
    return std::make_unique<MenuAdapter>(c, host); // a value outside the enumeration: draw nothing
}

} // namespace velmora

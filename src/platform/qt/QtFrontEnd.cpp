#include "platform/qt/QtFrontEnd.h"

#include "platform/qt/QtControls.h"
#include "platform/qt/QtText.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFileInfo>
#include <QHash>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unordered_map>

namespace velmora {

struct QtFrontEnd::Impl final : AdapterHost {
    struct FormView {
        std::uint64_t id = 0; // the form's serial
        Form* form = nullptr;
        QWidget* window = nullptr;
        std::unordered_map<const Control*, std::unique_ptr<ControlAdapter>> adapters;
        QEventLoop* modalLoop = nullptr;
        bool positioned = false;
        bool dialogFlags = false;
    };

    Impl()
    {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) dpi = screen->logicalDotsPerInch();
        if (dpi < 24) dpi = 96;
        const QString programFolder = QCoreApplication::applicationDirPath();
        pictureFolders.push_back(utf8(programFolder + QStringLiteral("/help")));
        pictureFolders.push_back(utf8(programFolder + QStringLiteral("/../share/velmora/help")));
        indexPictures();
    }

    Toolkit* toolkit = nullptr;
    double dpi = 96;
    std::vector<std::unique_ptr<FormView>> forms;
    std::vector<std::string> pictureFolders;
    // The picture files of those folders, by their path below the folder as it is and case-folded.
    QHash<QString, QString> pictures;
    QHash<QString, QString> picturesFolded;
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

    static ControlAdapter* adapterIn(const FormView& fv, const Control* c)
    {
        auto it = fv.adapters.find(c);
        return it == fv.adapters.end() ? nullptr : it->second.get();
    }

    // The control when its form is still loaded with its adapter and still holds it: a menu's
    // choice may come after either went away.
    Control* live(std::uint64_t formId, const Control* c) const
    {
        const FormView* fv = formById(formId);
        if (!fv || !adapterIn(*fv, c)) return nullptr;
        const auto& cs = fv->form->controls();
        return std::find(cs.begin(), cs.end(), c) == cs.end() ? nullptr : const_cast<Control*>(c);
    }

    // ---- what the adapters need ----

    int px(int twips) const override { return static_cast<int>(std::lround(twips * dpi / 1440.0)); }
    int twips(int pixels) const override { return static_cast<int>(std::lround(pixels * 1440.0 / dpi)); }
    QString findPicture(const std::string& name) const override;
    void indexPictures();

    ControlAdapter* adapterOf(const Control& control) const override
    {
        const FormView* fv = formOf(&control.form());
        return fv ? adapterIn(*fv, &control) : nullptr;
    }

    void moveFocus(Form& form, const Control* from, bool back) override;

    // ---- controls ----

    QWidget* parentFor(const FormView& fv, const Control& c) const;
    ControlAdapter& addControl(FormView& fv, Control* c);
    void dropControl(FormView& fv, const Control* c);
    void syncAll(FormView& fv);
    void syncForm(FormView& fv);

    // ---- windows ----

    bool formKey(std::uint64_t formId, int vk);
    bool tabFromWindow(std::uint64_t formId, bool back);
    void closeBox(std::uint64_t formId);
    void setOwner(FormView& fv, Form* owner);
    void placeFirstTime(FormView& fv, Form* owner);
    void dropForm(std::unique_ptr<FormView> fv);
    QWidget* activeWindow() const;

    void bringToFront(QWidget& w) const
    {
        if (!offscreen) w.raise(); // the headless platform only warns that it cannot
        w.activateWindow();
    }
};

namespace {

// The top-level window of a form: its close box asks the form, and Enter / Esc press the
// default and cancel buttons when no control took the key.
class FormWindow : public QWidget {
public:
    FormWindow(QtFrontEnd::Impl& d, std::uint64_t id) : QWidget(nullptr, Qt::Window), m_d(d), m_id(id) {}

protected:
    void closeEvent(QCloseEvent* e) override
    {
        e->ignore();
        m_d.closeBox(m_id);
    }

    void keyPressEvent(QKeyEvent* e) override
    {
        if (!m_d.formKey(m_id, virtualKey(*e))) QWidget::keyPressEvent(e);
    }

    // Tab that no control took, the window itself having the focus.
    bool focusNextPrevChild(bool next) override { return m_d.tabFromWindow(m_id, !next); }

private:
    QtFrontEnd::Impl& m_d;
    std::uint64_t m_id;
};

} // namespace

// ---- controls ----

QWidget* QtFrontEnd::Impl::parentFor(const FormView& fv, const Control& c) const
{
    if (Control* container = c.container())
        if (const ControlAdapter* a = adapterIn(fv, container); a && a->widget()) return a->widget();
    return fv.window;
}

ControlAdapter& QtFrontEnd::Impl::addControl(FormView& fv, Control* c)
{
    ControlAdapter& a = *(fv.adapters[c] = makeAdapter(*c, *this));
    a.build(parentFor(fv, *c));
    return a;
}

void QtFrontEnd::Impl::dropControl(FormView& fv, const Control* c) { fv.adapters.erase(c); }

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
    for (const auto& [c, a] : fv.adapters)
        if (std::find(controls.begin(), controls.end(), c) == controls.end()) gone.push_back(c);
    for (const Control* c : gone) dropControl(fv, c);
    for (Control* c : controls)
        if (!adapterIn(fv, c)) addControl(fv, c);
    syncForm(fv);
    for (Control* c : controls)
        if (ControlAdapter* a = adapterIn(fv, c)) a->sync();
}

// ---- windows ----

bool QtFrontEnd::Impl::formKey(std::uint64_t formId, int vk)
{
    FormView* fv = formById(formId);
    if (!fv) return false;
    bool taken = false;
    Form* form = fv->form;
    runHandler(*form, [&] { taken = dialogKey(*form, vk); });
    return taken;
}

void QtFrontEnd::Impl::moveFocus(Form& form, const Control* from, bool back)
{
    FormView* fv = formOf(&form);
    if (!fv) return;
    QWidget* window = fv->window;
    // A widget that lies outside the window (a panel waiting to slide in) holds controls no one can see.
    auto reachable = [fv, window](const Control& c) {
        const ControlAdapter* a = adapterIn(*fv, &c);
        const QWidget* w = a ? a->widget() : nullptr;
        return w && w->isVisibleTo(window) && w->isEnabled() &&
               QRect(w->mapTo(window, QPoint(0, 0)), w->size()).intersects(window->rect());
    };
    if (Control* next = nextTabStop(form, from, back, reachable))
        if (ControlAdapter* a = adapterIn(*fv, next)) a->widget()->setFocus(Qt::TabFocusReason);
}

bool QtFrontEnd::Impl::tabFromWindow(std::uint64_t formId, bool back)
{
    FormView* fv = formById(formId);
    if (!fv) return false;
    const ControlAdapter* from = nullptr;
    for (QWidget* w = QApplication::focusWidget(); w && !from && w != fv->window; w = w->parentWidget())
        for (const auto& [c, a] : fv->adapters)
            if (a->widget() == w) from = a.get();
    moveFocus(*fv->form, from ? &from->control() : nullptr, back);
    return true;
}

void QtFrontEnd::Impl::closeBox(std::uint64_t formId)
{
    FormView* fv = formById(formId);
    if (!fv) return;
    Form* form = fv->form;
    runHandler(*form, [form] { form->close(); });
}

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
    if (FormView* ov = owner ? formOf(owner) : nullptr; ov && ov->window->isVisible())
        area = ov->window->geometry();
    else if (const QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isValid()) {
        QRect r(QPoint(0, 0), fv.window->size());
        r.moveCenter(area.center());
        fv.window->move(r.topLeft());
    }
}

void QtFrontEnd::Impl::dropForm(std::unique_ptr<FormView> fv)
{
    if (fv->modalLoop) fv->modalLoop->quit();
    fv->window->hide();
    // From here on no signal, key or tick of its controls reaches the model.
    fv->adapters.clear();
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

// The picture folders are the program's own and change only with it: they are read once, and a
// picture is then found without touching the disk. The folder being browsed is never looked in.
void QtFrontEnd::Impl::indexPictures()
{
    pictures.clear();
    picturesFolded.clear();
    for (const std::string& folder : pictureFolders) {
        const QDir base(qs(folder));
        if (!base.exists()) continue;
        QDirIterator it(base.path(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            const QString below = base.relativeFilePath(file);
            // The first folder that has a picture gives it.
            if (!pictures.contains(below)) pictures.insert(below, file);
            const QString folded = below.toCaseFolded();
            if (!picturesFolded.contains(folded)) picturesFolded.insert(folded, file);
        }
    }
}

QString QtFrontEnd::Impl::findPicture(const std::string& name) const
{
    if (name.empty()) return {};
    const QString file = qs(name).replace(u'\\', u'/');
    if (QFileInfo(file).isAbsolute()) return QFileInfo::exists(file) ? file : QString();
    if (auto it = pictures.constFind(file); it != pictures.constEnd()) return *it;
    // The program names its pictures as Windows spells them; the host may differ in case.
    if (auto it = picturesFolded.constFind(file.toCaseFolded()); it != picturesFolded.constEnd()) return *it;
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

void QtFrontEnd::setPictureFolders(std::vector<std::string> hostFolders)
{
    d->pictureFolders = std::move(hostFolders);
    d->indexPictures();
}

QWidget* QtFrontEnd::widget(const Form& form) const
{
    const Impl::FormView* fv = d->formOf(&form);
    return fv ? fv->window : nullptr;
}

QWidget* QtFrontEnd::widget(const Control& control) const
{
    const ControlAdapter* a = d->adapterOf(control);
    return a ? a->widget() : nullptr;
}

void QtFrontEnd::formLoaded(Form& form)
{
    if (d->formOf(&form)) return;
    auto fv = std::make_unique<Impl::FormView>();
    fv->id = form.serial();
    fv->form = &form;
    fv->window = new FormWindow(*d, fv->id);
    Impl::FormView& ref = *fv;
    d->forms.push_back(std::move(fv));

    // Every widget first, then each into its container: a container may come after its
    // children in the form's order.
    for (Control* c : form.controls()) d->addControl(ref, c);
    for (Control* c : form.controls())
        if (ControlAdapter* a = Impl::adapterIn(ref, c)) a->moveInto(d->parentFor(ref, *c));
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
    case MsgIcon::None:
        box->setIcon(QMessageBox::NoIcon);
        break;
    case MsgIcon::Information:
        box->setIcon(QMessageBox::Information);
        break;
    case MsgIcon::Question:
        box->setIcon(QMessageBox::Question);
        break;
    case MsgIcon::Exclamation:
        box->setIcon(QMessageBox::Warning);
        break;
    case MsgIcon::Critical:
        box->setIcon(QMessageBox::Critical);
        break;
    }
    // The buttons of a Russian system's message boxes.
    auto add = [&box](QMessageBox::StandardButton which, const char* text) {
        QPushButton* b = box->addButton(which);
        b->setText(QString::fromUtf8(text));
        return b;
    };
    QPushButton* first = nullptr;
    switch (spec.buttons) {
    case MsgButtons::OK:
        first = add(QMessageBox::Ok, "OK");
        box->setEscapeButton(first);
        break;
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
    case QMessageBox::Ok:
        return MsgResult::OK;
    case QMessageBox::Cancel:
        return MsgResult::Cancel;
    case QMessageBox::Yes:
        return MsgResult::Yes;
    case QMessageBox::No:
        return MsgResult::No;
    case QMessageBox::Retry:
        return MsgResult::Retry;
    default:
        return safeAnswer(spec.buttons);
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
    if (item && d->live(id, item)) runHandler(item->form(), [item] { item->click(); });
}

void QtFrontEnd::setFocus(Control& control)
{
    if (QWidget* w = widget(control)) w->setFocus(Qt::OtherFocusReason);
}

void QtFrontEnd::activateForm(Form& form)
{
    if (Impl::FormView* fv = d->formOf(&form); fv && fv->window->isVisible()) d->bringToFront(*fv->window);
}

void QtFrontEnd::controlChanged(Control& control)
{
    Impl::FormView* fv = d->formOf(&control.form());
    if (!fv) return;
    ControlAdapter* a = Impl::adapterIn(*fv, &control);
    if (!a) a = &d->addControl(*fv, &control);
    a->sync();
}

void QtFrontEnd::listChanged(Control& control, const ListChange& change)
{
    Impl::FormView* fv = d->formOf(&control.form());
    if (!fv) return;
    if (ControlAdapter* a = Impl::adapterIn(*fv, &control))
        a->follow(change);
    else
        d->addControl(*fv, &control).sync();
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

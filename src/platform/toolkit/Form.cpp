#include "platform/toolkit/Form.h"

#include <algorithm>
#include <cstdlib>

namespace velmora {

MsgResult safeAnswer(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::YesNo:
        return MsgResult::No;
    case MsgButtons::OKCancel:
    case MsgButtons::RetryCancel:
        return MsgResult::Cancel;
    case MsgButtons::OK:
        break;
    }
    return MsgResult::OK;
}

// ---- Form ----

Form::Form(Toolkit& toolkit, std::string name) : m_toolkit(toolkit), m_name(std::move(name)) {}

Form::~Form()
{
    if (m_loaded) m_toolkit.formUnloaded(*this);
}

void Form::setCaption(std::string text)
{
    if (m_caption == text) return;
    m_caption = std::move(text);
    if (m_loaded) m_toolkit.frontEnd().formChanged(*this);
}

void Form::setClientSize(int width, int height)
{
    m_clientWidth = width;
    m_clientHeight = height;
    if (m_loaded) m_toolkit.frontEnd().formChanged(*this);
}

void Form::load()
{
    if (m_loaded) return;
    m_loaded = true;
    m_serial = ++m_toolkit.m_lastSerial;
    m_toolkit.formLoaded(*this);
    runHandler(*this, [this] { Form_Load(); });
}

void Form::show(Form* owner)
{
    if (!m_loaded) return;
    if (owner) m_owner = owner;
    m_visible = true;
    m_toolkit.frontEnd().showForm(*this);
}

void Form::showModal(Form* owner)
{
    if (!m_loaded) return;
    m_owner = owner;
    m_modal = true;
    m_visible = true;
    m_toolkit.frontEnd().runModal(*this, owner);
}

void Form::hide()
{
    if (!m_visible) return;
    m_visible = false;
    if (m_loaded) m_toolkit.frontEnd().hideForm(*this);
}

void Form::setFocus()
{
    if (m_loaded && m_visible) m_toolkit.frontEnd().activateForm(*this);
}

void Form::unload()
{
    if (!m_loaded) return;
    runHandler(*this, [this] { Form_Unload(); });
    if (!m_loaded) return; // unloaded again from inside Form_Unload
    hide();
    m_loaded = false;
    m_modal = false;
    m_toolkit.formUnloaded(*this);
}

void Form::close() { unload(); }

Control* Form::control(std::string_view name) const
{
    for (Control* c : m_controls)
        if (c->name() == name) return c;
    return nullptr;
}

CommandButton* Form::defaultButton() const
{
    for (Control* c : m_controls)
        if (c->kind() == ControlKind::CommandButton && static_cast<CommandButton*>(c)->isDefault())
            return static_cast<CommandButton*>(c);
    return nullptr;
}

CommandButton* Form::cancelButton() const
{
    for (Control* c : m_controls)
        if (c->kind() == ControlKind::CommandButton && static_cast<CommandButton*>(c)->isCancel())
            return static_cast<CommandButton*>(c);
    return nullptr;
}

void Form::remove(Control* control)
{
    m_controls.erase(std::remove(m_controls.begin(), m_controls.end(), control), m_controls.end());
}

// ---- Toolkit ----

Toolkit::Toolkit(FrontEnd& frontEnd) : m_frontEnd(frontEnd) {}

Toolkit::~Toolkit() { m_retired.clear(); }

MsgResult Toolkit::msgBox(std::string_view text, MsgButtons buttons, MsgIcon icon, std::string_view title)
{
    return m_frontEnd.messageBox({std::string(title), std::string(text), buttons, icon});
}

void Toolkit::yield() { m_frontEnd.yield(); }

void Toolkit::endProgram()
{
    m_frontEnd.endProgram();
    std::abort(); // a front-end that returned from ending the program broke its contract
}

void Toolkit::popupMenu(Menu& menu, int x, int y, MenuItem* defaultItem)
{
    m_frontEnd.popupMenu(menu, x, y, defaultItem);
}

Form* Toolkit::findForm(std::string_view name) const
{
    for (Form* f : m_forms)
        if (f->name() == name) return f;
    return nullptr;
}

Form* Toolkit::formBySerial(std::uint64_t serial) const
{
    for (Form* f : m_forms)
        if (f->serial() == serial) return f;
    return nullptr;
}

Form* Toolkit::activeForm() const
{
    for (auto it = m_forms.rbegin(); it != m_forms.rend(); ++it)
        if ((*it)->isModal() && (*it)->visible()) return *it;
    for (auto it = m_forms.rbegin(); it != m_forms.rend(); ++it)
        if ((*it)->visible()) return *it;
    return nullptr;
}

void Toolkit::tickTimers()
{
    // A timer's handler may unload forms: take a copy and re-check each one.
    const std::vector<Form*> forms = m_forms;
    for (Form* f : forms) {
        if (std::find(m_forms.begin(), m_forms.end(), f) == m_forms.end() || !f->isLoaded()) continue;
        std::vector<Timer*> timers;
        for (Control* c : f->controls())
            if (c->kind() == ControlKind::Timer) timers.push_back(static_cast<Timer*>(c));
        for (Timer* t : timers) {
            if (!f->isLoaded()) break;
            t->tick();
        }
    }
}

void Toolkit::leaveHandler()
{
    if (--m_depth == 0) collect();
}

void Toolkit::retire(std::unique_ptr<Form> form)
{
    if (!form) return;
    m_retired.push_back(std::move(form));
    if (m_depth == 0) collect();
}

void Toolkit::collect() { m_retired.clear(); }

void Toolkit::formLoaded(Form& form)
{
    m_forms.push_back(&form);
    m_frontEnd.formLoaded(form);
}

void Toolkit::formUnloaded(Form& form)
{
    auto it = std::find(m_forms.begin(), m_forms.end(), &form);
    if (it == m_forms.end()) return;
    m_forms.erase(it);
    m_frontEnd.formUnloaded(form);
}

} // namespace velmora

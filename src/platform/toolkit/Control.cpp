#include "platform/toolkit/Control.h"

#include "platform/toolkit/Form.h"

#include <cstdio>
#include <exception>

namespace velmora {

const char* kindName(ControlKind kind)
{
    switch (kind) {
    case ControlKind::CommandButton:
        return "button";
    case ControlKind::Label:
        return "label";
    case ControlKind::TextBox:
        return "textbox";
    case ControlKind::CheckBox:
        return "checkbox";
    case ControlKind::OptionButton:
        return "option";
    case ControlKind::ComboBox:
        return "combo";
    case ControlKind::ListBox:
        return "list";
    case ControlKind::Frame:
        return "frame";
    case ControlKind::PictureBox:
        return "panel";
    case ControlKind::Image:
        return "image";
    case ControlKind::Timer:
        return "timer";
    case ControlKind::DriveListBox:
        return "drives";
    case ControlKind::DirListBox:
        return "folders";
    case ControlKind::FileListBox:
        return "files";
    case ControlKind::Menu:
        return "menu";
    case ControlKind::MenuItem:
        return "menuitem";
    case ControlKind::Line:
        return "line";
    case ControlKind::Shape:
        return "shape";
    }
    return "control";
}

void runHandler(Form& form, const std::function<void()>& handler)
{
    if (!handler) return;
    Toolkit& tk = form.toolkit();
    tk.enterHandler();
    try {
        handler();
    } catch (const std::exception& e) {
        // One failing handler must not take the program down; the user sees the window as it is.
        std::fprintf(stderr, "velmora: %s: %s\n", form.name().c_str(), e.what());
    } catch (...) {
        tk.leaveHandler();
        throw; // the end of the program unwinds through here
    }
    tk.leaveHandler();
}

Control::Control(Form& form, std::string name, ControlKind kind, Control* container)
    : m_form(form), m_name(std::move(name)), m_kind(kind), m_container(container)
{
    m_form.add(this);
}

Control::~Control() { m_form.remove(this); }

void Control::changed()
{
    if (m_form.isLoaded()) m_form.toolkit().frontEnd().controlChanged(*this);
}

void Control::changed(const ListChange& change)
{
    if (m_form.isLoaded()) m_form.toolkit().frontEnd().listChanged(*this, change);
}

void Control::fire(const std::function<void()>& handler) { runHandler(m_form, handler); }

void Control::setEnabled(bool on)
{
    if (m_enabled == on) return;
    m_enabled = on;
    changed();
}

void Control::setVisible(bool on)
{
    if (m_visible == on) return;
    m_visible = on;
    changed();
}

bool Control::shown() const
{
    for (const Control* c = this; c; c = c->m_container)
        if (!c->m_visible) return false;
    return true;
}

bool Control::usable() const
{
    for (const Control* c = this; c; c = c->m_container)
        if (!c->m_enabled) return false;
    return true;
}

void Control::setGeometry(const Geometry& g)
{
    if (m_geometry == g) return;
    m_geometry = g;
    changed();
}

void Control::setLeft(int v) { setGeometry({v, m_geometry.top, m_geometry.width, m_geometry.height}); }
void Control::setTop(int v) { setGeometry({m_geometry.left, v, m_geometry.width, m_geometry.height}); }
void Control::setWidth(int v) { setGeometry({m_geometry.left, m_geometry.top, v, m_geometry.height}); }
void Control::setHeight(int v) { setGeometry({m_geometry.left, m_geometry.top, m_geometry.width, v}); }

int Control::absoluteLeft() const
{
    int x = 0;
    for (const Control* c = this; c; c = c->m_container) x += c->m_geometry.left;
    return x;
}

int Control::absoluteTop() const
{
    int y = 0;
    for (const Control* c = this; c; c = c->m_container) y += c->m_geometry.top;
    return y;
}

void Control::setToolTip(std::string text)
{
    if (m_toolTip == text) return;
    m_toolTip = std::move(text);
    changed();
}

void Control::setFont(const Font& f)
{
    if (m_font == f) return;
    m_font = f;
    changed();
}

void Control::setFocus()
{
    if (m_form.isLoaded() && shown() && usable()) m_form.toolkit().frontEnd().setFocus(*this);
}

void Control::click()
{
    if (usable() && shown()) fire(onClick);
}

void Control::dblClick()
{
    if (usable() && shown()) fire(onDblClick);
}

void Control::keyDown(int keyCode)
{
    if (!usable() || !onKeyDown) return;
    fire([&] { onKeyDown(keyCode); });
}

void Control::mouseUp(int button, int x, int y)
{
    if (!usable() || !onMouseUp) return;
    fire([&] { onMouseUp(button, x, y); });
}

} // namespace velmora

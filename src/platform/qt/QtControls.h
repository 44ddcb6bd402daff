#pragma once
// The widgets of the controls: one adapter per kind of control builds the Qt widget that draws
// it, draws the widget again from the model after each change, and hands the user's actions on
// it back to the model. QtFrontEnd holds one adapter per control of each loaded form.
#include "platform/toolkit/Form.h"
#include "platform/toolkit/Interaction.h"

#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

class QKeyEvent;
class QMouseEvent;

namespace velmora {

class ControlAdapter;

// What the adapters need from the front-end that holds them.
class AdapterHost {
public:
    virtual ~AdapterHost() = default;

    // Twips to pixels and back at the screen's resolution.
    virtual int px(int twips) const = 0;
    virtual int twips(int pixels) const = 0;
    // The host file of a picture the program names; empty when there is none.
    virtual QString findPicture(const std::string& name) const = 0;
    // The adapter of a control of a loaded form; nullptr when the control has none yet.
    virtual ControlAdapter* adapterOf(const Control& control) const = 0;
    // Tab (with `back`, Shift+Tab) from `from` (nullptr: from none): the focus to the next tab
    // stop of the form.
    virtual void moveFocus(Form& form, const Control* from, bool back) = 0;
};

// Draws one control and hands the user's actions on it to the model. Made by makeAdapter()
// and owned by the front-end while the control's form is loaded. A form's controls may be
// destroyed before the form unloads, so an adapter never touches its control on the way out.
class ControlAdapter {
public:
    // How a control's widget takes part in the focus and the mouse.
    enum class Presence {
        Focusable, // takes the focus and handles the mouse itself: buttons, boxes, lists
        Passive,   // takes no focus; a left click on it is the control's Click: frames, panels
        Drawn,     // passive, and drawn on the form itself, so below every real control
        None,      // no widget: timers, menus
    };

    virtual ~ControlAdapter();
    ControlAdapter(const ControlAdapter&) = delete;
    ControlAdapter& operator=(const ControlAdapter&) = delete;

    Control& control() const { return m_control; }
    Presence presence() const { return m_presence; }
    bool takesFocus() const { return m_presence == Presence::Focusable; }
    // The widget drawing the control; nullptr for timers and menus, and once Qt deleted it
    // with its parent.
    QWidget* widget() const { return m_widget; }

    // Builds the widget inside `parent` (the form's window or the container's widget) and
    // connects the user's actions on it. Called once, first.
    void build(QWidget* parent);
    // Moves the widget into `parent` when it is elsewhere: a container may come after its
    // children in the form's order.
    void moveInto(QWidget* parent);
    // Draws the widget from the control's state.
    virtual void sync();
    // Draws only what `change` says changed in a list control's entries; by default, all.
    virtual void follow(const ListChange& change);
    // Runs a user's action on the control, then draws the widget again: the model may have
    // refused, cut or changed what the widget did. Does nothing when the form no longer holds
    // the control. The action may unload the form, and this adapter with it: touch nothing of
    // the adapter after calling this.
    void act(const std::function<void()>& action);

protected:
    ControlAdapter(Control& control, AdapterHost& host, Presence presence);

    // Whether the adapter outlived a handler with its control still on the form: a handler may
    // unload the form or drop the control, and the adapter with it.
    class Alive {
    public:
        explicit Alive(const ControlAdapter& adapter);
        explicit operator bool() const;

    private:
        QPointer<QObject> m_guard;
        const ControlAdapter* m_adapter;
    };

    AdapterHost& host() const { return m_host; }
    Form& form() const { return m_form; }
    // True while the form holds the control: until then a control may already be destroyed.
    bool held() const;
    // The receiver of the widget's signals: their connections end with the adapter.
    QObject* context() const;
    // Passes the keys and mouse of `o` (a list's viewport) to this adapter too.
    void listenTo(QObject* o);
    // Replaces the widget by a fresh one from create(), in its place and keeping the focus.
    void rebuild();
    // The control's MouseUp at `pos`, a point of the widget in pixels.
    void mouseUp(Qt::MouseButton button, QPoint pos);

    // Makes the kind's widget inside `parent` and connects its signals; nullptr for a kind
    // that has none.
    virtual QWidget* create(QWidget* parent) = 0;
    // Draws what only this kind has; sync() draws the rest around it.
    virtual void syncKind() {}
    // The widget's rectangle in its parent, in pixels.
    virtual QRect pixelRect() const;
    // The highlighted row of a widget that moves it itself (the folder tree); -1 when none.
    virtual int highlightedRow() const { return -1; }
    // The rows a list widget shows at once.
    virtual int shownRows() const { return 1; }
    // Whether the widget handles the keys the model leaves it: a list never moves or selects
    // by itself.
    virtual bool widgetKeys() const { return true; }
    // A mouse event on the widget's viewport (see listenTo); true when taken.
    virtual bool viewportMouse(QMouseEvent&) { return false; }
    // A mouse move on the viewport; true when taken.
    virtual bool viewportMove(const QMouseEvent&) { return false; }
    // Draws the widget again after a user's action, which the widget itself may have drawn
    // otherwise than the model took it.
    virtual void redrawAfterAction() { sync(); }
    // A left double click: the control's DblClick.
    virtual void doubleClick();

private:
    class Events;
    class View;

    QWidget* make(QWidget* parent);
    bool keyPress(const QKeyEvent& e);
    bool mouse(const QObject* watched, QMouseEvent& e);

    Control& m_control;
    Form& m_form;
    AdapterHost& m_host;
    Presence m_presence;
    QPointer<QWidget> m_widget;
    std::unique_ptr<Events> m_events;
    PassiveClicks m_clicks;
};

// The adapter for the control's kind: the one place that pairs each kind with its class.
std::unique_ptr<ControlAdapter> makeAdapter(Control& control, AdapterHost& host);

// The Windows virtual-key code of a key, as the program's KeyDown handlers expect; 0 when the
// key has none we know.
int virtualKey(const QKeyEvent& e);

} // namespace velmora

#pragma once
// Windows of the model and the runtime that connects them to a front-end.
#include "platform/toolkit/Controls.h"
#include "platform/toolkit/FrontEnd.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class Toolkit;

class Form {
public:
    Form(Toolkit& toolkit, std::string name);
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    const std::string& name() const { return m_name; }
    Toolkit& toolkit() const { return m_toolkit; }

    const std::string& caption() const { return m_caption; }
    void setCaption(std::string text);
    // Client area in twips.
    int clientWidth() const { return m_clientWidth; }
    int clientHeight() const { return m_clientHeight; }
    void setClientSize(int width, int height);

    bool isLoaded() const { return m_loaded; }
    // A number no form loaded before in this run had, given at each load: it tells this form
    // from a later one at the same address. 0 before the first load.
    std::uint64_t serial() const { return m_serial; }
    bool visible() const { return m_visible; }
    bool isModal() const { return m_modal; }
    Form* owner() const { return m_owner; }

    // Shows the form without waiting.
    void show(Form* owner = nullptr);
    // Shows the form modally and returns when it has been unloaded.
    void showModal(Form* owner);
    void hide();
    // Brings the form to the front and makes it the active window; does nothing while it is
    // not loaded or not visible, as a window that is not on screen cannot take the focus.
    void setFocus();
    // Runs Form_Unload, hides the form and discards it: the next use builds it afresh.
    void unload();
    // The close box: by default the same as unload().
    virtual void close();

    const std::vector<Control*>& controls() const { return m_controls; }
    Control* control(std::string_view name) const;
    CommandButton* defaultButton() const;
    CommandButton* cancelButton() const;

    // Builds the front-end's view and runs Form_Load. Called once, by whoever creates the form.
    void load();

protected:
    virtual void Form_Load() {}
    virtual void Form_Unload() {}

private:
    friend class Control;
    void add(Control* control) { m_controls.push_back(control); }
    void remove(Control* control);

    Toolkit& m_toolkit;
    std::string m_name;
    std::string m_caption;
    int m_clientWidth = 6000;
    int m_clientHeight = 4000;
    bool m_loaded = false;
    std::uint64_t m_serial = 0;
    bool m_visible = false;
    bool m_modal = false;
    Form* m_owner = nullptr;
    std::vector<Control*> m_controls;
};

// The runtime of the window model: message boxes, yielding, the loaded forms, ending.
class Toolkit {
public:
    explicit Toolkit(FrontEnd& frontEnd);
    ~Toolkit();
    Toolkit(const Toolkit&) = delete;
    Toolkit& operator=(const Toolkit&) = delete;

    FrontEnd& frontEnd() const { return m_frontEnd; }

    MsgResult msgBox(std::string_view text, MsgButtons buttons, MsgIcon icon, std::string_view title);
    void yield();
    [[noreturn]] void endProgram();
    void popupMenu(Menu& menu, int x, int y, MenuItem* defaultItem);

    // Loaded forms, oldest first.
    const std::vector<Form*>& forms() const { return m_forms; }
    Form* findForm(std::string_view name) const;
    // The loaded form of that serial; nullptr once it was unloaded.
    Form* formBySerial(std::uint64_t serial) const;
    // The topmost visible form: the newest modal one, else the newest visible one.
    Form* activeForm() const;
    // Each enabled timer of each loaded form fires once.
    void tickTimers();

    // Handler bookkeeping: forms unloaded inside handlers are destroyed once none runs.
    void enterHandler() { ++m_depth; }
    void leaveHandler();
    void retire(std::unique_ptr<Form> form);
    int handlerDepth() const { return m_depth; }

private:
    friend class Form;
    void formLoaded(Form& form);
    void formUnloaded(Form& form);
    void collect();

    FrontEnd& m_frontEnd;
    std::vector<Form*> m_forms;
    std::vector<std::unique_ptr<Form>> m_retired;
    int m_depth = 0;
    std::uint64_t m_lastSerial = 0;
};

// Holds a window that is built on first use and built afresh after it was unloaded.
template <class T> class FormSlot {
public:
    explicit FormSlot(std::function<std::unique_ptr<T>()> make) : m_make(std::move(make)) {}
    ~FormSlot() = default;
    FormSlot(const FormSlot&) = delete;
    FormSlot& operator=(const FormSlot&) = delete;

    // Loads the form (running Form_Load) when it is not loaded.
    T& get()
    {
        if (!m_form || !m_form->isLoaded()) {
            if (m_form) m_form->toolkit().retire(std::move(m_form));
            m_form = m_make();
            m_form->load();
        }
        return *m_form;
    }
    T& operator*() { return get(); }
    T* operator->() { return &get(); }
    // The form when it is loaded now, without loading it.
    T* ifLoaded() const { return m_form && m_form->isLoaded() ? m_form.get() : nullptr; }

private:
    std::function<std::unique_ptr<T>()> m_make;
    std::unique_ptr<T> m_form;
};

} // namespace velmora

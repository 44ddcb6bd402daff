#pragma once
// The Qt 6 window front-end: every loaded form is a top-level widget, every control the
// matching widget at its twip geometry, built and drawn by the adapter of its kind
// (QtControls.h). The model stays authoritative: a user's action is handed to the control
// (click, type, userSelect, choose, ...) and the widget is then drawn again from the
// control's state.
#include "platform/toolkit/Form.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace velmora {

class QtFrontEnd : public FrontEnd {
public:
    // Needs a QApplication, which must outlive this object; the Toolkit and its forms must
    // not outlive it either. Build the Toolkit with this front-end, then attach() it.
    QtFrontEnd();
    ~QtFrontEnd() override;
    QtFrontEnd(const QtFrontEnd&) = delete;
    QtFrontEnd& operator=(const QtFrontEnd&) = delete;

    void attach(Toolkit& toolkit);

    // Runs the event loop until no form is loaded any more; returns the loop's exit code
    // (0 at once when no form is loaded).
    int run();

    // True when Qt can be expected to open a display: QT_QPA_PLATFORM is set, or DISPLAY or
    // WAYLAND_DISPLAY is non-empty. Lets main pick the console front-end instead of having
    // Qt abort.
    static bool canOpenDisplay();

    // Host folders searched, in order, for the picture files of buttons, images and picture
    // boxes (a picture given as an absolute host path is used as it is); they are read once,
    // here. By default: the "help" folder beside the executable, then the installed data
    // folder (../share/velmora/help from it). The current folder, which follows the folder
    // being browsed, is never searched.
    void setPictureFolders(std::vector<std::string> hostFolders);

    // The top-level widget of a loaded form; nullptr when the form has none.
    QWidget* widget(const Form& form) const;
    // The widget drawing a control; nullptr for timers, menus and controls of forms that
    // are not loaded.
    QWidget* widget(const Control& control) const;

    // Test hooks. When set, messageBoxHook answers message boxes instead of showing them,
    // and endProgramHook runs instead of ending the process: it should throw to unwind to
    // the test (the process still ends if it returns).
    std::function<MsgResult(const MessageBoxSpec&)> messageBoxHook;
    std::function<void()> endProgramHook;

    void formLoaded(Form& form) override;
    void formUnloaded(Form& form) override;
    void showForm(Form& form) override;
    void hideForm(Form& form) override;
    void runModal(Form& form, Form* owner) override;
    MsgResult messageBox(const MessageBoxSpec& spec) override;
    void yield() override;
    void popupMenu(Menu& menu, int x, int y, MenuItem* defaultItem) override;
    void setFocus(Control& control) override;
    void activateForm(Form& form) override;
    void controlChanged(Control& control) override;
    void listChanged(Control& control, const ListChange& change) override;
    void formChanged(Form& form) override;
    [[noreturn]] void endProgram() override;

    struct Impl;

private:
    std::unique_ptr<Impl> d;
};

} // namespace velmora

#pragma once
// The Win32 window front-end: every loaded form is a top-level window, every control the
// matching native control at its twip geometry, built and drawn by the adapter of its kind
// (Win32Controls.h). The model stays authoritative: a user's action is handed to the control
// (click, type, userSelect, choose, ...) and the window is then drawn again from the
// control's state.
#include "platform/toolkit/Form.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velmora {

class Win32FrontEnd : public FrontEnd {
public:
    // Registers the window classes and starts GDI+ for the pictures. The Toolkit and its forms
    // must not outlive this object: build the Toolkit with it, then attach() it.
    Win32FrontEnd();
    ~Win32FrontEnd() override;
    Win32FrontEnd(const Win32FrontEnd&) = delete;
    Win32FrontEnd& operator=(const Win32FrontEnd&) = delete;

    void attach(Toolkit& toolkit);

    // Runs the message loop until no form is loaded any more (0 at once when none is), or until
    // WM_QUIT; returns 0.
    int run();

    // Folders (Windows paths) searched, in order, for the picture files of buttons, images and
    // picture boxes (a picture given as an absolute path is used as it is). By default the
    // "help" folder beside the program. The current folder, which follows the folder being
    // browsed, is never searched.
    void setPictureFolders(std::vector<std::string> folders);

    // The top-level window of a loaded form; nullptr when the form has none.
    HWND window(const Form& form) const;
    // The window drawing a control; nullptr for timers, menus and controls of forms that are
    // not loaded.
    HWND window(const Control& control) const;

    // Test hooks. When set, messageBoxHook answers message boxes instead of showing them,
    // and endProgramHook runs instead of ending the process: it may throw to unwind to the
    // test when it is not called from inside a window message (the process still ends if it
    // returns).
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

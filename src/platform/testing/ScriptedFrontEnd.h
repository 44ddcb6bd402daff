#pragma once
// The in-process front-end of unit tests: queued answers, a hook per modal form, records.
#include "platform/toolkit/Form.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace velmora::testing {

// Thrown by endProgram() so a test sees the program end where it would have.
struct ProgramEnded {};

class ScriptedFrontEnd : public FrontEnd {
public:
    struct Box {
        MessageBoxSpec spec;
        MsgResult answer;
    };

    // Answers for the next message boxes, in order; when none is queued a box takes its
    // safe answer (No, else Cancel, else OK).
    std::deque<MsgResult> answers;
    // Called with a form shown modally; it may act on the form. The form is closed by its
    // close box afterwards if the callback left it loaded.
    std::function<void(Form&)> onModal;
    // Called at every yield (to act in the middle of a long command).
    std::function<void()> onYield;
    // Called with every box before it is answered.
    std::function<void(const MessageBoxSpec&)> onBox;
    // Called with every control whose state changed.
    std::function<void(Control&)> onControlChanged;
    // Called when a pop-up menu is shown.
    std::function<void(Menu&, MenuItem*)> onPopup;

    std::vector<Box> boxes;             // every box shown, in order
    std::vector<std::string> shown;     // names of forms shown, modal ones as "NAME (modal)"
    std::vector<std::string> activated; // names of forms given the focus, in order
    int yields = 0;
    bool ended = false;

    void showForm(Form& form) override;
    void hideForm(Form& form) override;
    void runModal(Form& form, Form* owner) override;
    MsgResult messageBox(const MessageBoxSpec& spec) override;
    void yield() override;
    void popupMenu(Menu& menu, int x, int y, MenuItem* defaultItem) override;
    void controlChanged(Control& control) override;
    void activateForm(Form& form) override;
    [[noreturn]] void endProgram() override;
};

} // namespace velmora::testing

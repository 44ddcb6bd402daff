#include "platform/testing/ScriptedFrontEnd.h"

namespace velmora::testing {

void ScriptedFrontEnd::showForm(Form& form) { shown.push_back(form.name()); }

void ScriptedFrontEnd::hideForm(Form&) {}

void ScriptedFrontEnd::runModal(Form& form, Form*)
{
    shown.push_back(form.name() + " (modal)");
    if (onModal) {
        // A nested modal form must not re-enter the same callback by accident; tests that
        // need nesting set onModal again from inside.
        auto callback = onModal;
        callback(form);
    }
    if (form.isLoaded()) form.close();
}

MsgResult ScriptedFrontEnd::messageBox(const MessageBoxSpec& spec)
{
    MsgResult answer = safeAnswer(spec.buttons);
    if (!answers.empty()) {
        answer = answers.front();
        answers.pop_front();
    }
    if (onBox) onBox(spec);
    boxes.push_back({spec, answer});
    return answer;
}

void ScriptedFrontEnd::yield()
{
    ++yields;
    if (onYield) onYield();
}

void ScriptedFrontEnd::popupMenu(Menu& menu, int, int, MenuItem* defaultItem)
{
    if (onPopup) onPopup(menu, defaultItem);
}

void ScriptedFrontEnd::controlChanged(Control& control)
{
    if (onControlChanged) onControlChanged(control);
}

void ScriptedFrontEnd::activateForm(Form& form) { activated.push_back(form.name()); }

void ScriptedFrontEnd::endProgram()
{
    ended = true;
    throw ProgramEnded{};
}

} // namespace velmora::testing

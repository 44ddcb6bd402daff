#pragma once
// What a front-end (Qt, console, scripted) implements to show the window model.
#include <cstddef>
#include <string>
#include <vector>

namespace velmora {

class Form;
class Control;
class Menu;
class MenuItem;

enum class MsgButtons { OK, OKCancel, YesNo, RetryCancel };
enum class MsgIcon { None, Information, Question, Exclamation, Critical };
enum class MsgResult { OK, Cancel, Yes, No, Retry };

struct MessageBoxSpec {
    std::string title;
    std::string text; // lines broken by "\r\n"
    MsgButtons buttons = MsgButtons::OK;
    MsgIcon icon = MsgIcon::None;
};

// What changed in a list control (a list box, a file list, a combo or drive box), for a
// front-end that keeps its own copy of the entries: following the change costs what the
// change did, where reading the whole list again would cost its length every time.
struct ListChange {
    enum class Kind {
        Selection, // the selection of entries [first, first + count) and the current entry
        Appended,  // entries [first, first + count) were added at the end, unselected
        Removed,   // the entries at `removed` (ascending, numbered as before) are gone
    };
    Kind kind = Kind::Selection;
    std::size_t first = 0;
    std::size_t count = 0; // a Selection of no entries moved the current entry only
    const std::vector<std::size_t>* removed = nullptr;
};

// The answer a box takes when nobody can answer: No, else Cancel, else OK.
MsgResult safeAnswer(MsgButtons buttons);

class FrontEnd {
public:
    virtual ~FrontEnd() = default;

    // A form was built and loaded (before its Form_Load) / was unloaded.
    virtual void formLoaded(Form&) {}
    virtual void formUnloaded(Form&) {}
    virtual void showForm(Form&) = 0;
    virtual void hideForm(Form&) = 0;
    // Shows `form` modally over `owner` and returns once the form is unloaded.
    virtual void runModal(Form& form, Form* owner) = 0;
    virtual MsgResult messageBox(const MessageBoxSpec&) = 0;
    // Lets pending events run.
    virtual void yield() = 0;
    // Shows a pop-up menu at a position in twips of its form; returns when it closes.
    virtual void popupMenu(Menu& menu, int x, int y, MenuItem* defaultItem) = 0;
    virtual void setFocus(Control&) {}
    // Brings a shown form to the front and makes it the active window.
    virtual void activateForm(Form&) {}
    // A control's state changed (caption, text, items, enabled, ...): anything may differ.
    virtual void controlChanged(Control&) {}
    // Only what `change` says changed in a list control. A front-end that draws from the
    // whole state may take it as any other change.
    virtual void listChanged(Control& control, const ListChange&) { controlChanged(control); }
    virtual void formChanged(Form&) {}
    // Ends the process at once: no handler runs after it, nothing is asked or saved.
    [[noreturn]] virtual void endProgram() = 0;
};

} // namespace velmora

#pragma once
// The text front-end: the window model printed on an output stream and driven by lines
// read from an input stream, for terminals, pipes, scheduled jobs and end-to-end tests.
//
// Output (all text UTF-8; a byte that is not valid UTF-8, and any control character, is
// printed as \xHH with upper-case hex, so one item always stays on one line):
//
//   == frmName "Caption" ==                 a form, then one line per visible control,
//   cmdOK button "&Готово"                  ordered by absolute top, then left, then
//   chkAll checkbox "Все" value=1 disabled  declaration; menus and timers are not listed
//   lstFiles list ""                        entries below a list, file list, combo box or
//     [x] first                             drive box ([x] = selected / current);
//     [ ] second                            a folder tree lists its rows' paths: the
//                                           folders down to the open one [x], then its
//                                           subfolders
//   txtLog textbox "line one                a "\r\n" (or "\n") in any text breaks the line;
//       line two"                           lines after the first are indented by 4 blanks
//
//   ?? "Title" question                     a message box: title, icon (information,
//   text line                               question, exclamation, critical, none), its
//   (Yes/No) >                              text lines, a prompt naming its buttons
//
//   -- MENU mnuPopup --                     a pop-up menu, printed when it pops up; the user
//     mnuOpen "&Открыть" default            then picks with `menu NAME`
//     ---                                   (separator; flags: default, checked, disabled)
//
// When forms are printed: a form is printed the next time the program waits for the user
// (before a command or answer prompt, a message box or a pop-up menu), so the print shows
// the state the user acts on. First every form that appeared since then (shown or shown
// modally) and is still visible, in the order they appeared; then the active form, when it
// is not the one active at the previous print and was not just printed. `show` prints the
// active form at once, its drive boxes read again first (as opening the list does).
//
// Input, one line each, read only at prompts. The command prompt is "> ". Blank lines and
// lines starting with '#' are skipped; a trailing '\r' is dropped. Command words are not
// case-sensitive; control and form names are matched exactly first, then without case.
//   click NAME                     dblclick NAME [INDEX]      set NAME TEXT
//   choose NAME INDEX              select NAME INDEX [INDEX ...]
//   deselect NAME INDEX [INDEX ...]                           path NAME PATH
//   key NAME CODE|enter|escape|delete                         menu ITEM
//   rclick NAME                    tick    show    close    quit    help
// `help` lists them with what each does, from the one table that dispatches them (see
// CommandInfo for how a synopsis reads). A line whose arguments do not fit its command
// writes "error: usage: " and the command's line above, such as "usage: choose NAME INDEX".
// Indexes count from 0. NAME is looked up in the active form, then in the other visible
// forms, newest first; FORM.NAME names a control of one loaded form. While a modal form is
// active, controls of other forms are refused, and so are hidden or disabled controls, as
// they are for a person. Any mistake writes one line "error: ..." on the error stream and
// the prompt comes again.
//
// A message box reads an answer (yes, no, ok, cancel, retry; any case) among its buttons.
// At end of input every box takes its safe answer (No, else Cancel, else OK), printed after
// its prompt; every modal form is closed by its close box; run() then closes every loaded
// form, newest first, and returns. With echo on, each line read is written after its
// prompt, so a transcript of piped input reads like a terminal session.
//
// Before every prompt each enabled timer of each loaded form fires once (not re-entered
// from a handler that a timer started).
#include "platform/toolkit/Form.h"

#include <cstdint>
#include <iosfwd>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct ConsoleOptions {
    // Write each line read after its prompt. Turn off when the input is a terminal, which
    // echoes by itself.
    bool echo = true;
    // endProgram() throws ConsoleFrontEnd::ProgramEnded instead of ending the process, so
    // an in-process test sees the program end where it would have.
    bool throwOnEnd = false;
};

class ConsoleFrontEnd : public FrontEnd {
public:
    // Thrown by endProgram() when ConsoleOptions::throwOnEnd is set. Not a std::exception,
    // so no handler boundary swallows it.
    struct ProgramEnded {};

    // A line command as `help` lists it. In a synopsis, arguments are words separated by
    // blanks; "[X]" may be left out, "[X ...]" repeats the argument before it any number of
    // times, TEXT is the rest of the line after the one blank that ends the word before it
    // (it may be empty) and PATH the rest of the line without its outer blanks.
    struct CommandInfo {
        std::string_view name;        // the command word, lower case
        std::string_view synopsis;    // its arguments, empty for none
        std::string_view description; // one line
    };
    // Every command, in the order `help` lists them. The texts are static.
    static std::vector<CommandInfo> commands();

    // The streams are borrowed and must outlive the front-end.
    ConsoleFrontEnd(std::istream& in, std::ostream& out, std::ostream& err, ConsoleOptions options = {});
    ~ConsoleFrontEnd() override;
    ConsoleFrontEnd(const ConsoleFrontEnd&) = delete;
    ConsoleFrontEnd& operator=(const ConsoleFrontEnd&) = delete;

    // The toolkit is built on the front-end, so it is connected afterwards; required before run().
    void attach(Toolkit& toolkit);

    // Reads and runs commands until input ends, `quit`, or no form is loaded any more; then
    // closes every loaded form by its close box, newest first. Returns the exit status, 0.
    int run();

    void formLoaded(Form& form) override;
    void formUnloaded(Form& form) override;
    void showForm(Form& form) override;
    void hideForm(Form& form) override;
    // Prints the form and runs a nested command loop until the form is unloaded; at end of
    // input (or after `quit`) closes it by its close box and returns.
    void runModal(Form& form, Form* owner) override;
    MsgResult messageBox(const MessageBoxSpec& spec) override;
    void yield() override {}
    // Prints the menu and returns at once; the user picks an item with `menu NAME`.
    void popupMenu(Menu& menu, int x, int y, MenuItem* defaultItem) override;
    // Flushes the streams and ends the process with status 0 (or throws ProgramEnded).
    [[noreturn]] void endProgram() override;

private:
    struct FormRecord {
        std::uint64_t serial = 0; // the form's serial at its load
        bool shown = false;       // shown, as far as this front-end has been told
    };
    struct ModalFrame {
        Form* form = nullptr;
        bool done = false; // the form was unloaded (it may be gone)
    };
    // A control found by name, with what is needed to tell later whether it still exists.
    struct Target {
        Form* form = nullptr;
        std::uint64_t serial = 0;
        Control* control = nullptr;
    };

    FormRecord& record(const Form& form);
    std::uint64_t serialOf(const Form* form);
    Form* formBySerial(std::uint64_t serial) const;
    bool stillThere(const Target& target) const;

    void commandLoop(const ModalFrame* frame);
    bool loopOver(const ModalFrame* frame) const;
    // Writes the prompt and reads the next line that is not blank or a comment; false at
    // end of input, after ending the prompt line with `atEnd`.
    bool readAnswer(std::string_view prompt, std::string& line, std::string_view atEnd);
    void tickTimers();
    void presentForms();
    void closeAll();

    // A command's arguments, one per synopsis argument that was given (one per word for a
    // repeated one), already checked against the synopsis.
    using Arguments = std::span<const std::string_view>;
    struct Command {
        CommandInfo info;
        void (ConsoleFrontEnd::*run)(Arguments args);
    };
    static std::span<const Command> table();

    void execute(std::string_view line);
    void error(std::string_view message);
    bool find(std::string_view spec, Target& target, bool forMenu = false);
    bool findUsable(std::string_view spec, Target& target);

    void cmdClick(Arguments args);
    void cmdDblClick(Arguments args);
    void cmdSet(Arguments args);
    void cmdChoose(Arguments args);
    void cmdSelect(Arguments args);
    void cmdDeselect(Arguments args);
    void setSelected(Arguments args, bool on);
    void cmdPath(Arguments args);
    void cmdKey(Arguments args);
    void cmdMenu(Arguments args);
    void cmdRClick(Arguments args);
    void cmdTick(Arguments args);
    void cmdShow(Arguments args);
    void cmdClose(Arguments args);
    void cmdQuit(Arguments args);
    void cmdHelp(Arguments args);

    std::istream& m_in;
    std::ostream& m_out;
    std::ostream& m_err;
    ConsoleOptions m_options;
    Toolkit* m_toolkit = nullptr;

    std::map<const Form*, FormRecord> m_records;
    std::vector<std::uint64_t> m_appeared; // shown since the last print, in order
    std::uint64_t m_presented = 0;         // the active form at the last print
    std::vector<ModalFrame*> m_frames;     // nested modal loops, innermost last
    bool m_inputEnded = false;
    bool m_quit = false;
    bool m_ticking = false;
};

} // namespace velmora

#include "platform/console/ConsoleFrontEnd.h"

#include "platform/console/ConsoleRender.h"
#include "platform/console/ConsoleText.h"
#include "platform/toolkit/Interaction.h"
#include "platform/toolkit/Reentry.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <optional>

namespace velmora {

using console::escapeText;
using console::quoted;

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s)
{
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// The next blank-separated word of `s`; `s` keeps what follows it, leading blank included.
std::string_view nextWord(std::string_view& s)
{
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    std::size_t n = 0;
    while (n < s.size() && !isBlank(s[n])) ++n;
    const std::string_view word = s.substr(0, n);
    s.remove_prefix(n);
    return word;
}

std::string lowerAscii(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool sameNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && lowerAscii(a) == lowerAscii(b);
}

std::optional<std::size_t> parseIndex(std::string_view word)
{
    unsigned long long v = 0;
    const char* end = word.data() + word.size();
    const auto [ptr, ec] = std::from_chars(word.data(), end, v);
    if (word.empty() || ec != std::errc() || ptr != end || v > 1000000000ULL) return std::nullopt;
    return static_cast<std::size_t>(v);
}

std::optional<int> parseKey(std::string_view word)
{
    const std::string w = lowerAscii(word);
    if (w == "enter" || w == "return") return key::Return;
    if (w == "escape" || w == "esc") return key::Escape;
    if (w == "delete" || w == "del") return key::Delete;
    if (auto v = parseIndex(word); v && *v <= 0xFFFF) return static_cast<int>(*v);
    return std::nullopt;
}

// Entries a user can point at by index; 0 for kinds without entries.
std::size_t entryCount(Control& c)
{
    return visitKind(c, Overloaded{
                            [](ListControl& list) -> std::size_t { return list.listCount(); },
                            [](FileListBox& files) -> std::size_t { return files.listCount(); },
                            [](DirListBox& tree) -> std::size_t { return tree.rows().size(); },
                            [](Control&) -> std::size_t { return 0; },
                        });
}

Control* controlNamed(const Form& form, std::string_view name, bool exact)
{
    for (Control* c : form.controls())
        if (exact ? c->name() == name : sameNoCase(c->name(), name)) return c;
    return nullptr;
}

// One argument form of a synopsis: a word, or "[...]" through its closing bracket; `s` keeps
// what follows.
std::string_view nextArgumentForm(std::string_view& s)
{
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    const std::size_t n =
        s.starts_with('[') ? std::min(s.find(']'), s.size() - 1) + 1 : std::min(s.find_first_of(" \t"), s.size());
    const std::string_view form = s.substr(0, n);
    s.remove_prefix(n);
    return form;
}

// `rest`, the line after its command word, split into the arguments `synopsis` names (the
// forms ConsoleFrontEnd::CommandInfo describes); nothing when an argument is missing or
// words are left over.
std::optional<std::vector<std::string_view>> splitArguments(std::string_view synopsis, std::string_view rest)
{
    std::vector<std::string_view> args;
    for (std::string_view form = nextArgumentForm(synopsis); !form.empty(); form = nextArgumentForm(synopsis)) {
        if (form == "TEXT") {
            if (!rest.empty()) rest.remove_prefix(1); // the one blank that ends the word before
            args.push_back(rest);
            return args;
        }
        if (form == "PATH") {
            if (trim(rest).empty()) return std::nullopt;
            args.push_back(trim(rest));
            return args;
        }
        if (form.ends_with(" ...]")) {
            for (std::string_view w = nextWord(rest); !w.empty(); w = nextWord(rest)) args.push_back(w);
            continue;
        }
        const std::string_view word = nextWord(rest);
        if (!word.empty())
            args.push_back(word);
        else if (!form.starts_with('['))
            return std::nullopt;
    }
    if (!trim(rest).empty()) return std::nullopt;
    return args;
}

// The command with its arguments, as `help` lists it and a usage error names it.
std::string usage(const ConsoleFrontEnd::CommandInfo& command)
{
    std::string text(command.name);
    if (!command.synopsis.empty()) text.append(" ").append(command.synopsis);
    return text;
}

} // namespace

ConsoleFrontEnd::ConsoleFrontEnd(std::istream& in, std::ostream& out, std::ostream& err, ConsoleOptions options)
    : m_in(in), m_out(out), m_err(err), m_options(options)
{}

ConsoleFrontEnd::~ConsoleFrontEnd() = default;

void ConsoleFrontEnd::attach(Toolkit& toolkit) { m_toolkit = &toolkit; }

// ---- forms as this front-end knows them ----

ConsoleFrontEnd::FormRecord& ConsoleFrontEnd::record(const Form& form)
{
    auto [it, added] = m_records.try_emplace(&form);
    if (added) it->second.serial = form.serial();
    return it->second;
}

std::uint64_t ConsoleFrontEnd::serialOf(const Form* form) { return form ? record(*form).serial : 0; }

Form* ConsoleFrontEnd::formBySerial(std::uint64_t serial) const
{
    return m_toolkit && serial != 0 ? m_toolkit->formBySerial(serial) : nullptr;
}

bool ConsoleFrontEnd::stillThere(const Target& t) const
{
    if (formBySerial(t.serial) != t.form) return false;
    const auto& controls = t.form->controls();
    return std::find(controls.begin(), controls.end(), t.control) != controls.end();
}

void ConsoleFrontEnd::formLoaded(Form& form)
{
    m_records.erase(&form);
    record(form);
}

void ConsoleFrontEnd::formUnloaded(Form& form)
{
    m_records.erase(&form);
    for (ModalFrame* frame : m_frames)
        if (frame->form == &form) frame->done = true;
}

void ConsoleFrontEnd::showForm(Form& form)
{
    FormRecord& rec = record(form);
    if (rec.shown) return;
    rec.shown = true;
    m_appeared.push_back(rec.serial);
}

void ConsoleFrontEnd::hideForm(Form& form) { record(form).shown = false; }

// ---- printing ----

void ConsoleFrontEnd::presentForms()
{
    if (!m_toolkit) return;
    Form* active = m_toolkit->activeForm();
    const std::uint64_t activeSerial = serialOf(active);
    bool activePrinted = false;
    std::vector<std::uint64_t> appeared;
    appeared.swap(m_appeared);
    std::vector<std::uint64_t> printed;
    for (std::uint64_t serial : appeared) {
        if (std::find(printed.begin(), printed.end(), serial) != printed.end()) continue;
        printed.push_back(serial);
        Form* form = formBySerial(serial);
        if (!form || !form->visible()) continue;
        console::writeForm(m_out, *form);
        if (serial == activeSerial) activePrinted = true;
    }
    if (active && !activePrinted && activeSerial != m_presented) console::writeForm(m_out, *active);
    m_presented = activeSerial;
}

void ConsoleFrontEnd::popupMenu(Menu& menu, int, int, MenuItem* defaultItem)
{
    presentForms();
    console::writeMenu(m_out, menu, defaultItem);
    m_out.flush();
}

// ---- the loops ----

bool ConsoleFrontEnd::readAnswer(std::string_view prompt, std::string& line, std::string_view atEnd)
{
    m_out << prompt << std::flush;
    for (;;) {
        if (m_inputEnded || !std::getline(m_in, line)) {
            m_inputEnded = true;
            m_out << atEnd << '\n' << std::flush;
            return false;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string_view t = trim(line);
        if (t.empty() || t.front() == '#') continue;
        if (m_options.echo) m_out << escapeText(line) << '\n' << std::flush;
        return true;
    }
}

void ConsoleFrontEnd::tickTimers()
{
    // A handler may end the program by throwing: the guard still comes down.
    const Reentry ticking(m_ticking);
    if (m_toolkit && !ticking.again()) m_toolkit->tickTimers();
}

bool ConsoleFrontEnd::loopOver(const ModalFrame* frame) const
{
    if (m_inputEnded || m_quit) return true;
    if (frame) return frame->done;
    return m_toolkit->forms().empty();
}

void ConsoleFrontEnd::commandLoop(const ModalFrame* frame)
{
    while (!loopOver(frame)) {
        tickTimers();
        if (loopOver(frame)) break;
        presentForms();
        std::string line;
        if (!readAnswer("> ", line, "")) break;
        try {
            execute(line);
        } catch (const std::exception& e) {
            error(e.what());
        }
    }
}

int ConsoleFrontEnd::run()
{
    if (!m_toolkit) {
        error("the front-end has no toolkit attached");
        return 0;
    }
    commandLoop(nullptr);
    closeAll();
    // Whatever the program asks after this, nobody is left to answer.
    m_inputEnded = true;
    m_out.flush();
    m_err.flush();
    return 0;
}

void ConsoleFrontEnd::closeAll()
{
    // Each form gets one chance: one that refuses to close, or that loads others as it goes,
    // must not keep the program from ending.
    std::vector<std::uint64_t> tried;
    for (int guard = 0; guard < 10000; ++guard) {
        Form* next = nullptr;
        const auto& forms = m_toolkit->forms();
        for (auto it = forms.rbegin(); it != forms.rend(); ++it) {
            if (std::find(tried.begin(), tried.end(), serialOf(*it)) == tried.end()) {
                next = *it;
                break;
            }
        }
        if (!next) return;
        tried.push_back(serialOf(next));
        try {
            next->close();
        } catch (const std::exception& e) {
            error(e.what());
        }
    }
}

void ConsoleFrontEnd::runModal(Form& form, Form*)
{
    ModalFrame frame{&form, !form.isLoaded()};
    m_frames.push_back(&frame);
    struct Pop {
        std::vector<ModalFrame*>& frames;
        ModalFrame* frame;
        ~Pop() { frames.erase(std::remove(frames.begin(), frames.end(), frame), frames.end()); }
    } pop{m_frames, &frame};

    FormRecord& rec = record(form);
    rec.shown = true;
    m_appeared.push_back(rec.serial);
    presentForms();
    if (m_toolkit) commandLoop(&frame);
    if (!frame.done) {
        try {
            form.close();
        } catch (const std::exception& e) {
            error(e.what());
        }
    }
}

MsgResult ConsoleFrontEnd::messageBox(const MessageBoxSpec& spec)
{
    tickTimers();
    presentForms();
    console::writeMessageBox(m_out, spec);
    const std::vector<MsgResult> buttons = console::offeredButtons(spec.buttons);
    const std::string prompt = console::answerPrompt(buttons);
    std::string choices;
    for (MsgResult b : buttons) choices += (choices.empty() ? "" : ", ") + std::string(console::answerWord(b));

    const MsgResult safe = safeAnswer(spec.buttons);
    for (;;) {
        std::string line;
        if (!readAnswer(prompt, line, console::answerWord(safe))) return safe;
        const std::string answer = lowerAscii(trim(line));
        for (MsgResult b : buttons)
            if (answer == console::answerWord(b)) return b;
        error("answer " + choices);
        tickTimers();
        presentForms();
    }
}

void ConsoleFrontEnd::endProgram()
{
    m_out.flush();
    m_err.flush();
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    if (m_options.throwOnEnd) throw ProgramEnded{};
    std::_Exit(0);
}

// ---- commands ----

void ConsoleFrontEnd::error(std::string_view message)
{
    m_out.flush();
    m_err << "error: " << message << '\n';
    m_err.flush();
}

bool ConsoleFrontEnd::find(std::string_view spec, Target& target, bool forMenu)
{
    Form* active = m_toolkit->activeForm();
    Form* form = nullptr;
    Control* control = nullptr;
    if (const auto dot = spec.find('.'); dot != std::string_view::npos) {
        const std::string_view formName = spec.substr(0, dot), name = spec.substr(dot + 1);
        form = m_toolkit->findForm(formName);
        for (Form* f : m_toolkit->forms())
            if (!form && sameNoCase(f->name(), formName)) form = f;
        if (!form) {
            error("no form " + quoted(formName));
            return false;
        }
        control = controlNamed(*form, name, true);
        if (!control) control = controlNamed(*form, name, false);
        if (!control) {
            error("no control " + quoted(name) + " on " + escapeText(form->name()));
            return false;
        }
    } else {
        std::vector<Form*> order;
        if (active) order.push_back(active);
        const auto& forms = m_toolkit->forms();
        for (auto it = forms.rbegin(); it != forms.rend(); ++it)
            if (*it != active && (*it)->visible()) order.push_back(*it);
        for (bool exact : {true, false}) {
            for (Form* f : order) {
                if ((control = controlNamed(*f, spec, exact))) {
                    form = f;
                    break;
                }
            }
            if (control) break;
        }
        if (!control) {
            error("no control " + quoted(spec) + " on a shown form");
            return false;
        }
    }
    if (!form->visible()) {
        error(escapeText(form->name()) + " is not shown");
        return false;
    }
    if (active && active != form && active->isModal()) {
        error(escapeText(form->name()) + " is behind the modal form " + escapeText(active->name()));
        return false;
    }
    const ControlKind kind = control->kind();
    if (!forMenu && (kind == ControlKind::Menu || kind == ControlKind::MenuItem)) {
        error(escapeText(control->name()) + " is a menu item; use: menu " + escapeText(control->name()));
        return false;
    }
    if (forMenu && kind != ControlKind::MenuItem) {
        error(escapeText(control->name()) + " is not a menu item");
        return false;
    }
    target = {form, serialOf(form), control};
    return true;
}

bool ConsoleFrontEnd::findUsable(std::string_view spec, Target& target)
{
    if (!find(spec, target)) return false;
    const Control& c = *target.control;
    if (c.kind() == ControlKind::Timer) {
        error(escapeText(c.name()) + " is a timer; use: tick");
        return false;
    }
    if (!c.shown()) {
        error(escapeText(c.name()) + " is hidden");
        return false;
    }
    if (!c.usable()) {
        error(escapeText(c.name()) + " is disabled");
        return false;
    }
    return true;
}

std::span<const ConsoleFrontEnd::Command> ConsoleFrontEnd::table()
{
    // The one list of commands: dispatch, `help` and usage errors all read it.
    static constexpr Command commands[] = {
        {{"click", "NAME", "click a control"}, &ConsoleFrontEnd::cmdClick},
        {{"dblclick", "NAME [INDEX]", "double-click a control, or its entry INDEX"}, &ConsoleFrontEnd::cmdDblClick},
        {{"set", "NAME TEXT", "type TEXT (may be empty) into a text box"}, &ConsoleFrontEnd::cmdSet},
        {{"choose", "NAME INDEX", "pick entry INDEX of a combo, drives, list or files"}, &ConsoleFrontEnd::cmdChoose},
        {{"select", "NAME INDEX [INDEX ...]", "add entries to a list's selection"}, &ConsoleFrontEnd::cmdSelect},
        {{"deselect", "NAME INDEX [INDEX ...]", "take entries out of a list's selection"},
         &ConsoleFrontEnd::cmdDeselect},
        {{"path", "NAME PATH", "open PATH in a folder tree, file list or drive box"}, &ConsoleFrontEnd::cmdPath},
        {{"key", "NAME CODE|enter|escape|delete", "press a key on a control"}, &ConsoleFrontEnd::cmdKey},
        {{"menu", "ITEM", "pick a menu item"}, &ConsoleFrontEnd::cmdMenu},
        {{"rclick", "NAME", "click a control with the right button"}, &ConsoleFrontEnd::cmdRClick},
        {{"tick", "", "fire every enabled timer once"}, &ConsoleFrontEnd::cmdTick},
        {{"show", "", "print the active form"}, &ConsoleFrontEnd::cmdShow},
        {{"close", "", "close the active form by its close box"}, &ConsoleFrontEnd::cmdClose},
        {{"quit", "", "close every form and end"}, &ConsoleFrontEnd::cmdQuit},
        {{"help", "", "list the commands"}, &ConsoleFrontEnd::cmdHelp},
    };
    return commands;
}

std::vector<ConsoleFrontEnd::CommandInfo> ConsoleFrontEnd::commands()
{
    std::vector<CommandInfo> infos;
    for (const Command& c : table()) infos.push_back(c.info);
    return infos;
}

void ConsoleFrontEnd::execute(std::string_view line)
{
    std::string_view rest = line;
    const std::string word = lowerAscii(nextWord(rest));
    const auto commands = table();
    const auto command = std::ranges::find(commands, word, [](const Command& c) { return c.info.name; });
    if (command == commands.end()) return error("unknown command " + quoted(word) + "; try: help");
    const auto args = splitArguments(command->info.synopsis, rest);
    if (!args) return error("usage: " + usage(command->info));
    (this->*command->run)(*args);
}

void ConsoleFrontEnd::cmdClick(Arguments args)
{
    Target t;
    if (findUsable(args[0], t)) t.control->click();
}

void ConsoleFrontEnd::cmdDblClick(Arguments args)
{
    Target t;
    if (!findUsable(args[0], t)) return;
    Control& c = *t.control;
    const ControlKind kind = c.kind();
    const bool takesIndex =
        kind == ControlKind::ListBox || kind == ControlKind::FileListBox || kind == ControlKind::DirListBox;
    if (args.size() < 2) {
        // Double-clicking a folder tree opens the row under the pointer; there is no pointer here.
        if (kind == ControlKind::DirListBox) return error("usage: dblclick NAME INDEX (the row to open)");
        c.dblClick();
        return;
    }
    if (!takesIndex) return error("dblclick takes an index only on a list, file list or folder tree");
    const auto index = parseIndex(args[1]);
    if (!index) return error("bad index " + quoted(args[1]));
    if (*index >= entryCount(c))
        return error("index " + std::to_string(*index) + " is out of range; " + escapeText(c.name()) + " has " +
                     std::to_string(entryCount(c)) + " entries");
    if (kind == ControlKind::DirListBox) {
        static_cast<DirListBox&>(c).openRow(*index);
        return;
    }
    dynamic_cast<SelectableList&>(c).userSelect(*index);
    // The Click handler may have closed the window or changed the list.
    if (stillThere(t)) c.dblClick();
}

void ConsoleFrontEnd::cmdSet(Arguments args)
{
    Target t;
    if (!findUsable(args[0], t)) return;
    if (t.control->kind() != ControlKind::TextBox)
        return error(escapeText(t.control->name()) + " is a " + kindName(t.control->kind()) + ", not a textbox");
    auto& box = static_cast<TextBox&>(*t.control);
    if (box.locked()) return error(escapeText(box.name()) + " is read-only");
    box.type(args[1]);
}

void ConsoleFrontEnd::cmdChoose(Arguments args)
{
    const auto index = parseIndex(args[1]);
    if (!index) return error("bad index " + quoted(args[1]));
    Target t;
    if (!findUsable(args[0], t)) return;
    Control& c = *t.control;
    const ControlKind kind = c.kind();
    if (kind != ControlKind::ComboBox && kind != ControlKind::DriveListBox && kind != ControlKind::ListBox &&
        kind != ControlKind::FileListBox)
        return error(escapeText(c.name()) + " is a " + kindName(kind) +
                     "; choose needs a combo, drives, list or files");
    if (*index >= entryCount(c))
        return error("index " + std::to_string(*index) + " is out of range; " + escapeText(c.name()) + " has " +
                     std::to_string(entryCount(c)) + " entries");
    switch (kind) {
    case ControlKind::ComboBox:
        static_cast<ComboBox&>(c).choose(static_cast<int>(*index));
        break;
    case ControlKind::DriveListBox:
        static_cast<DriveListBox&>(c).choose(static_cast<int>(*index));
        break;
    default: // a list or the file list, as checked above
        dynamic_cast<SelectableList&>(c).userSelect(*index);
        break;
    }
}

void ConsoleFrontEnd::cmdSelect(Arguments args) { setSelected(args, true); }

void ConsoleFrontEnd::cmdDeselect(Arguments args) { setSelected(args, false); }

void ConsoleFrontEnd::setSelected(Arguments args, bool on)
{
    std::vector<std::size_t> indexes;
    for (std::string_view w : args.subspan(1)) {
        const auto index = parseIndex(w);
        if (!index) return error("bad index " + quoted(w));
        indexes.push_back(*index);
    }
    Target t;
    if (!findUsable(args[0], t)) return;
    Control& c = *t.control;
    auto* list = dynamic_cast<SelectableList*>(&c);
    if (!list) return error(escapeText(c.name()) + " is a " + kindName(c.kind()) + "; select needs a list or files");
    for (std::size_t index : indexes)
        if (index >= entryCount(c))
            return error("index " + std::to_string(index) + " is out of range; " + escapeText(c.name()) + " has " +
                         std::to_string(entryCount(c)) + " entries");
    for (std::size_t index : indexes) {
        // Each Ctrl-click fires Click, whose handler may close the window.
        if (!stillThere(t)) return;
        list->userSetSelected(index, on);
    }
}

void ConsoleFrontEnd::cmdPath(Arguments args)
{
    const std::string_view path = args[1];
    Target t;
    if (!findUsable(args[0], t)) return;
    Control& c = *t.control;
    switch (c.kind()) {
    case ControlKind::DirListBox:
        if (!static_cast<DirListBox&>(c).setPath(path)) error("cannot open " + quoted(path));
        break;
    case ControlKind::FileListBox:
        if (!static_cast<FileListBox&>(c).setPath(path)) error("cannot list " + quoted(path));
        break;
    case ControlKind::DriveListBox:
        if (!static_cast<DriveListBox&>(c).setDrive(path)) error("no drive " + quoted(path));
        break;
    default:
        error(escapeText(c.name()) + " is a " + kindName(c.kind()) + "; path needs folders, files or drives");
    }
}

void ConsoleFrontEnd::cmdKey(Arguments args)
{
    const auto keyCode = parseKey(args[1]);
    if (!keyCode) return error("bad key " + quoted(args[1]));
    Target t;
    if (!findUsable(args[0], t)) return;
    // The control as the key's handlers leave it: they may unload its form.
    class View final : public ControlView {
    public:
        View(const ConsoleFrontEnd& fe, const Target& t) : m_fe(fe), m_target(t) {}
        bool alive() const override { return m_fe.stillThere(m_target); }
        // The console shows no highlight of its own: the open folder is the one a tree shows.
        int highlightedRow() const override { return -1; }
        // A page of a list is the whole list as the console prints it.
        int shownRows() const override { return 1 << 30; }

    private:
        const ConsoleFrontEnd& m_fe;
        const Target& m_target;
    } view{*this, t};
    KeyPress press;
    press.code = *keyCode;
    // Tab has nowhere to move a focus the console does not show; a text box types by `set`.
    pressKey(*t.control, press, view);
}

void ConsoleFrontEnd::cmdMenu(Arguments args)
{
    Target t;
    if (!find(args[0], t, true)) return;
    auto& item = static_cast<MenuItem&>(*t.control);
    if (item.isSeparator()) return error(escapeText(item.name()) + " is a separator");
    if (!item.visible()) return error(escapeText(item.name()) + " is hidden");
    if (!item.usable()) return error(escapeText(item.name()) + " is disabled");
    item.click();
}

void ConsoleFrontEnd::cmdRClick(Arguments args)
{
    Target t;
    if (findUsable(args[0], t)) t.control->mouseUp(mouse::Right, 0, 0);
}

void ConsoleFrontEnd::cmdTick(Arguments) { tickTimers(); }

void ConsoleFrontEnd::cmdShow(Arguments)
{
    Form* active = m_toolkit->activeForm();
    if (!active) return error("no form is shown");
    // Showing a drive box's entries is opening it: volumes mounted or gone since are read.
    for (Control* c : active->controls())
        if (c->kind() == ControlKind::DriveListBox) static_cast<DriveListBox*>(c)->dropDown();
    console::writeForm(m_out, *active);
    m_presented = serialOf(active);
}

void ConsoleFrontEnd::cmdClose(Arguments)
{
    Form* active = m_toolkit->activeForm();
    if (!active) return error("no form is shown");
    active->close();
}

void ConsoleFrontEnd::cmdQuit(Arguments) { m_quit = true; }

void ConsoleFrontEnd::cmdHelp(Arguments)
{
    std::size_t width = 0;
    for (const Command& c : table()) width = std::max(width, usage(c.info).size());
    for (const Command& c : table()) {
        const std::string text = usage(c.info);
        m_out << text << std::string(width + 2 - text.size(), ' ') << c.info.description << '\n';
    }
    m_out << "NAME or FORM.NAME; indexes count from 0; a message box takes yes, no, ok, cancel or retry\n";
}

} // namespace velmora

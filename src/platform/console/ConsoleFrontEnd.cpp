#include "platform/console/ConsoleFrontEnd.h"

#include "platform/console/ConsoleText.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <optional>

namespace velmora {

using console::breakLines;
using console::escapeText;

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

bool sameNoCase(std::string_view a, std::string_view b) { return a.size() == b.size() && lowerAscii(a) == lowerAscii(b); }

std::string quoted(std::string_view s) { return "\"" + escapeText(s) + "\""; }

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

const char* iconName(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Information: return "information";
    case MsgIcon::Question: return "question";
    case MsgIcon::Exclamation: return "exclamation";
    case MsgIcon::Critical: return "critical";
    case MsgIcon::None: break;
    }
    return "none";
}

std::vector<MsgResult> offered(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::OKCancel: return {MsgResult::OK, MsgResult::Cancel};
    case MsgButtons::YesNo: return {MsgResult::Yes, MsgResult::No};
    case MsgButtons::RetryCancel: return {MsgResult::Retry, MsgResult::Cancel};
    case MsgButtons::OK: break;
    }
    return {MsgResult::OK};
}

const char* answerWord(MsgResult r)
{
    switch (r) {
    case MsgResult::Cancel: return "cancel";
    case MsgResult::Yes: return "yes";
    case MsgResult::No: return "no";
    case MsgResult::Retry: return "retry";
    case MsgResult::OK: break;
    }
    return "ok";
}

const char* buttonCaption(MsgResult r)
{
    switch (r) {
    case MsgResult::Cancel: return "Cancel";
    case MsgResult::Yes: return "Yes";
    case MsgResult::No: return "No";
    case MsgResult::Retry: return "Retry";
    case MsgResult::OK: break;
    }
    return "OK";
}

bool isListing(ControlKind k) { return k == ControlKind::Menu || k == ControlKind::MenuItem || k == ControlKind::Timer; }

// Entries a user can point at by index; 0 for kinds without entries.
std::size_t entryCount(const Control& c)
{
    switch (c.kind()) {
    case ControlKind::ListBox:
    case ControlKind::ComboBox:
    case ControlKind::DriveListBox: return static_cast<const ListControl&>(c).listCount();
    case ControlKind::FileListBox: return static_cast<const FileListBox&>(c).listCount();
    case ControlKind::DirListBox: return static_cast<const DirListBox&>(c).listCount();
    default: return 0;
    }
}

Control* controlNamed(const Form& form, std::string_view name, bool exact)
{
    for (Control* c : form.controls())
        if (exact ? c->name() == name : sameNoCase(c->name(), name)) return c;
    return nullptr;
}

// Resets a flag however the scope is left (a handler may end the program by throwing).
struct FlagGuard {
    explicit FlagGuard(bool& flag) : m_flag(flag) { m_flag = true; }
    ~FlagGuard() { m_flag = false; }
    FlagGuard(const FlagGuard&) = delete;
    FlagGuard& operator=(const FlagGuard&) = delete;
    bool& m_flag;
};

} // namespace

ConsoleFrontEnd::ConsoleFrontEnd(std::istream& in, std::ostream& out, std::ostream& err, ConsoleOptions options)
    : m_in(in), m_out(out), m_err(err), m_options(options)
{
}

ConsoleFrontEnd::~ConsoleFrontEnd() = default;

void ConsoleFrontEnd::attach(Toolkit& toolkit) { m_toolkit = &toolkit; }

// ---- forms as this front-end knows them ----

ConsoleFrontEnd::FormRecord& ConsoleFrontEnd::record(const Form& form)
{
    auto [it, added] = m_records.try_emplace(&form);
    if (added) it->second.serial = m_nextSerial++;
    return it->second;
}

std::uint64_t ConsoleFrontEnd::serialOf(const Form* form) { return form ? record(*form).serial : 0; }

Form* ConsoleFrontEnd::formBySerial(std::uint64_t serial) const
{
    for (const auto& [form, rec] : m_records)
        if (rec.serial == serial) return const_cast<Form*>(form);
    return nullptr;
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

void ConsoleFrontEnd::printForm(const Form& form)
{
    m_out << "== " << escapeText(form.name()) << ' ' << quoted(form.caption()) << " ==\n";
    std::vector<const Control*> listed;
    for (const Control* c : form.controls())
        if (!isListing(c->kind()) && c->shown()) listed.push_back(c);
    std::stable_sort(listed.begin(), listed.end(), [](const Control* a, const Control* b) {
        if (a->absoluteTop() != b->absoluteTop()) return a->absoluteTop() < b->absoluteTop();
        return a->absoluteLeft() < b->absoluteLeft();
    });
    for (const Control* c : listed) printControl(*c);
}

void ConsoleFrontEnd::printControl(const Control& c)
{
    m_out << escapeText(c.name()) << ' ' << kindName(c.kind()) << " \"" << breakLines(c.displayText(), "    ") << '"';
    const std::string value = c.displayValue();
    if (!value.empty()) m_out << " value=" << escapeText(value);
    if (!c.usable()) m_out << " disabled";
    m_out << '\n';

    auto entry = [this](bool marked, std::string_view text) {
        m_out << "  [" << (marked ? 'x' : ' ') << "] " << escapeText(text) << '\n';
    };
    switch (c.kind()) {
    case ControlKind::ListBox: {
        const auto& list = static_cast<const ListBox&>(c);
        for (std::size_t i = 0; i < list.listCount(); ++i) entry(list.selected(i), list.list(i));
        break;
    }
    case ControlKind::FileListBox: {
        const auto& files = static_cast<const FileListBox&>(c);
        for (std::size_t i = 0; i < files.listCount(); ++i) entry(files.selected(i), files.list(i));
        break;
    }
    case ControlKind::ComboBox:
    case ControlKind::DriveListBox: {
        const auto& list = static_cast<const ListControl&>(c);
        for (std::size_t i = 0; i < list.listCount(); ++i)
            entry(static_cast<int>(i) == list.listIndex(), list.list(i));
        break;
    }
    case ControlKind::DirListBox:
        for (const std::string& folder : static_cast<const DirListBox&>(c).subfolders()) entry(false, folder);
        break;
    default: break;
    }
}

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
        printForm(*form);
        if (serial == activeSerial) activePrinted = true;
    }
    if (active && !activePrinted && activeSerial != m_presented) printForm(*active);
    m_presented = activeSerial;
}

void ConsoleFrontEnd::popupMenu(Menu& menu, int, int, MenuItem* defaultItem)
{
    presentForms();
    m_out << "-- MENU " << escapeText(menu.name()) << " --\n";
    for (const MenuItem* item : menu.items()) {
        if (!item->visible()) continue;
        if (item->isSeparator()) {
            m_out << "  ---\n";
            continue;
        }
        m_out << "  " << escapeText(item->name()) << ' ' << quoted(item->caption());
        if (item == defaultItem) m_out << " default";
        if (item->checked()) m_out << " checked";
        if (!item->enabled()) m_out << " disabled";
        m_out << '\n';
    }
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
    if (!m_toolkit || m_ticking) return;
    FlagGuard guard(m_ticking);
    m_toolkit->tickTimers();
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
    m_out << "?? " << quoted(spec.title) << ' ' << iconName(spec.icon) << '\n';
    if (!spec.text.empty())
        for (std::string_view line : console::splitLines(spec.text)) m_out << escapeText(line) << '\n';

    const std::vector<MsgResult> buttons = offered(spec.buttons);
    std::string prompt = "(";
    std::string choices;
    for (MsgResult b : buttons) {
        if (prompt.size() > 1) {
            prompt += '/';
            choices += ", ";
        }
        prompt += buttonCaption(b);
        choices += answerWord(b);
    }
    prompt += ") > ";

    const MsgResult safe = safeAnswer(spec.buttons);
    for (;;) {
        std::string line;
        if (!readAnswer(prompt, line, answerWord(safe))) return safe;
        const std::string answer = lowerAscii(trim(line));
        for (MsgResult b : buttons)
            if (answer == answerWord(b)) return b;
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

void ConsoleFrontEnd::execute(std::string_view line)
{
    std::string_view args = line;
    const std::string command = lowerAscii(nextWord(args));
    auto noArgs = [&](const char* usage) {
        if (trim(args).empty()) return true;
        error(std::string("usage: ") + usage);
        return false;
    };
    if (command == "click") cmdClick(args);
    else if (command == "dblclick") cmdDblClick(args);
    else if (command == "set") cmdSet(args);
    else if (command == "choose") cmdChoose(args);
    else if (command == "select") cmdSelect(args, true);
    else if (command == "deselect") cmdSelect(args, false);
    else if (command == "path") cmdPath(args);
    else if (command == "key") cmdKey(args);
    else if (command == "menu") cmdMenu(args);
    else if (command == "rclick") cmdRClick(args);
    else if (command == "show") cmdShow(args);
    else if (command == "close") cmdClose(args);
    else if (command == "tick") {
        if (noArgs("tick")) tickTimers();
    } else if (command == "quit") {
        if (noArgs("quit")) m_quit = true;
    } else if (command == "help") {
        if (noArgs("help")) cmdHelp();
    } else
        error("unknown command " + quoted(command) + "; try: help");
}

void ConsoleFrontEnd::cmdClick(std::string_view args)
{
    const std::string_view name = nextWord(args);
    if (name.empty() || !trim(args).empty()) return error("usage: click NAME");
    Target t;
    if (findUsable(name, t)) t.control->click();
}

void ConsoleFrontEnd::cmdDblClick(std::string_view args)
{
    const std::string_view name = nextWord(args);
    const std::string_view indexWord = nextWord(args);
    if (name.empty() || !trim(args).empty()) return error("usage: dblclick NAME [INDEX]");
    Target t;
    if (!findUsable(name, t)) return;
    Control& c = *t.control;
    const ControlKind kind = c.kind();
    const bool takesIndex = kind == ControlKind::ListBox || kind == ControlKind::FileListBox || kind == ControlKind::DirListBox;
    if (indexWord.empty()) {
        if (kind == ControlKind::DirListBox) return error("usage: dblclick NAME INDEX (the subfolder to open)");
        c.dblClick();
        return;
    }
    if (!takesIndex) return error("dblclick takes an index only on a list, file list or folder tree");
    const auto index = parseIndex(indexWord);
    if (!index) return error("bad index " + quoted(indexWord));
    if (*index >= entryCount(c))
        return error("index " + std::to_string(*index) + " is out of range; " + escapeText(c.name()) + " has " +
                     std::to_string(entryCount(c)) + " entries");
    if (kind == ControlKind::DirListBox) {
        static_cast<DirListBox&>(c).open(*index);
        return;
    }
    if (kind == ControlKind::ListBox) static_cast<ListBox&>(c).userSelect(*index);
    else static_cast<FileListBox&>(c).userSelect(*index);
    // The Click handler may have closed the window or changed the list.
    if (stillThere(t)) c.dblClick();
}

void ConsoleFrontEnd::cmdSet(std::string_view args)
{
    const std::string_view name = nextWord(args);
    if (name.empty()) return error("usage: set NAME TEXT");
    if (!args.empty()) args.remove_prefix(1); // the one blank after the name
    Target t;
    if (!findUsable(name, t)) return;
    if (t.control->kind() != ControlKind::TextBox)
        return error(escapeText(t.control->name()) + " is a " + kindName(t.control->kind()) + ", not a textbox");
    auto& box = static_cast<TextBox&>(*t.control);
    if (box.locked()) return error(escapeText(box.name()) + " is read-only");
    box.type(args);
}

void ConsoleFrontEnd::cmdChoose(std::string_view args)
{
    const std::string_view name = nextWord(args);
    const std::string_view indexWord = nextWord(args);
    if (name.empty() || indexWord.empty() || !trim(args).empty()) return error("usage: choose NAME INDEX");
    const auto index = parseIndex(indexWord);
    if (!index) return error("bad index " + quoted(indexWord));
    Target t;
    if (!findUsable(name, t)) return;
    Control& c = *t.control;
    const ControlKind kind = c.kind();
    if (kind != ControlKind::ComboBox && kind != ControlKind::DriveListBox && kind != ControlKind::ListBox &&
        kind != ControlKind::FileListBox)
        return error(escapeText(c.name()) + " is a " + kindName(kind) + "; choose needs a combo, drives, list or files");
    if (*index >= entryCount(c))
        return error("index " + std::to_string(*index) + " is out of range; " + escapeText(c.name()) + " has " +
                     std::to_string(entryCount(c)) + " entries");
    switch (kind) {
    case ControlKind::ComboBox: static_cast<ComboBox&>(c).choose(static_cast<int>(*index)); break;
    case ControlKind::DriveListBox: static_cast<DriveListBox&>(c).choose(static_cast<int>(*index)); break;
    case ControlKind::ListBox: static_cast<ListBox&>(c).userSelect(*index); break;
    default: static_cast<FileListBox&>(c).userSelect(*index); break;
    }
}

void ConsoleFrontEnd::cmdSelect(std::string_view args, bool on)
{
    const char* usage = on ? "usage: select NAME INDEX [INDEX ...]" : "usage: deselect NAME INDEX [INDEX ...]";
    const std::string_view name = nextWord(args);
    std::vector<std::size_t> indexes;
    for (std::string_view w = nextWord(args); !w.empty(); w = nextWord(args)) {
        const auto index = parseIndex(w);
        if (!index) return error("bad index " + quoted(w));
        indexes.push_back(*index);
    }
    if (name.empty() || indexes.empty()) return error(usage);
    Target t;
    if (!findUsable(name, t)) return;
    Control& c = *t.control;
    if (c.kind() != ControlKind::ListBox && c.kind() != ControlKind::FileListBox)
        return error(escapeText(c.name()) + " is a " + kindName(c.kind()) + "; select needs a list or files");
    for (std::size_t index : indexes)
        if (index >= entryCount(c))
            return error("index " + std::to_string(index) + " is out of range; " + escapeText(c.name()) + " has " +
                         std::to_string(entryCount(c)) + " entries");
    for (std::size_t index : indexes) {
        // Each Ctrl-click fires Click, whose handler may close the window.
        if (!stillThere(t)) return;
        if (c.kind() == ControlKind::ListBox) static_cast<ListBox&>(c).userSetSelected(index, on);
        else static_cast<FileListBox&>(c).userSetSelected(index, on);
    }
}

void ConsoleFrontEnd::cmdPath(std::string_view args)
{
    const std::string_view name = nextWord(args);
    const std::string_view path = trim(args);
    if (name.empty() || path.empty()) return error("usage: path NAME PATH");
    Target t;
    if (!findUsable(name, t)) return;
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
    default: error(escapeText(c.name()) + " is a " + kindName(c.kind()) + "; path needs folders, files or drives");
    }
}

void ConsoleFrontEnd::cmdKey(std::string_view args)
{
    const std::string_view name = nextWord(args);
    const std::string_view code = nextWord(args);
    if (name.empty() || code.empty() || !trim(args).empty()) return error("usage: key NAME CODE|enter|escape|delete");
    const auto keyCode = parseKey(code);
    if (!keyCode) return error("bad key " + quoted(code));
    Target t;
    if (findUsable(name, t)) t.control->keyDown(*keyCode);
}

void ConsoleFrontEnd::cmdMenu(std::string_view args)
{
    const std::string_view name = nextWord(args);
    if (name.empty() || !trim(args).empty()) return error("usage: menu NAME");
    Target t;
    if (!find(name, t, true)) return;
    auto& item = static_cast<MenuItem&>(*t.control);
    if (item.isSeparator()) return error(escapeText(item.name()) + " is a separator");
    if (!item.visible()) return error(escapeText(item.name()) + " is hidden");
    if (!item.usable()) return error(escapeText(item.name()) + " is disabled");
    item.click();
}

void ConsoleFrontEnd::cmdRClick(std::string_view args)
{
    const std::string_view name = nextWord(args);
    if (name.empty() || !trim(args).empty()) return error("usage: rclick NAME");
    Target t;
    if (findUsable(name, t)) t.control->mouseUp(mouse::Right, 0, 0);
}

void ConsoleFrontEnd::cmdShow(std::string_view args)
{
    if (!trim(args).empty()) return error("usage: show");
    Form* active = m_toolkit->activeForm();
    if (!active) return error("no form is shown");
    printForm(*active);
    m_presented = serialOf(active);
}

void ConsoleFrontEnd::cmdClose(std::string_view args)
{
    if (!trim(args).empty()) return error("usage: close");
    Form* active = m_toolkit->activeForm();
    if (!active) return error("no form is shown");
    active->close();
}

void ConsoleFrontEnd::cmdHelp()
{
    m_out << "click NAME | dblclick NAME [INDEX] | set NAME TEXT | choose NAME INDEX\n"
             "select NAME I [J ...] | deselect NAME I [J ...] | path NAME PATH\n"
             "key NAME CODE|enter|escape|delete | menu ITEM | rclick NAME\n"
             "tick | show | close | quit | help\n"
             "NAME or FORM.NAME; indexes count from 0; a message box takes yes, no, ok, cancel or retry\n";
}

} // namespace velmora

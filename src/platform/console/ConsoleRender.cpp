#include "platform/console/ConsoleRender.h"

#include "platform/console/ConsoleText.h"

#include <algorithm>
#include <ostream>

namespace velmora::console {

namespace {

const char* iconName(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Information:
        return "information";
    case MsgIcon::Question:
        return "question";
    case MsgIcon::Exclamation:
        return "exclamation";
    case MsgIcon::Critical:
        return "critical";
    case MsgIcon::None:
        break;
    }
    return "none";
}

const char* buttonCaption(MsgResult r)
{
    switch (r) {
    case MsgResult::Cancel:
        return "Cancel";
    case MsgResult::Yes:
        return "Yes";
    case MsgResult::No:
        return "No";
    case MsgResult::Retry:
        return "Retry";
    case MsgResult::OK:
        break;
    }
    return "OK";
}

bool isListed(ControlKind k) { return k != ControlKind::Menu && k != ControlKind::MenuItem && k != ControlKind::Timer; }

void writeControl(std::ostream& out, const Control& c)
{
    out << escapeText(c.name()) << ' ' << kindName(c.kind()) << " \"" << breakLines(c.displayText(), "    ") << '"';
    const std::string value = c.displayValue();
    if (!value.empty()) out << " value=" << escapeText(value);
    if (!c.usable()) out << " disabled";
    out << '\n';

    auto entry = [&out](bool marked, std::string_view text) {
        out << "  [" << (marked ? 'x' : ' ') << "] " << escapeText(text) << '\n';
    };
    switch (c.kind()) {
    case ControlKind::ListBox:
    case ControlKind::FileListBox: {
        const auto& list = dynamic_cast<const SelectableList&>(c);
        for (std::size_t i = 0; i < list.entryCount(); ++i) entry(list.entrySelected(i), list.entryText(i));
        break;
    }
    case ControlKind::ComboBox:
    case ControlKind::DriveListBox: {
        const auto& list = static_cast<const ListControl&>(c);
        for (std::size_t i = 0; i < list.listCount(); ++i) entry(static_cast<int>(i) == list.listIndex(), list.list(i));
        break;
    }
    case ControlKind::DirListBox: {
        const auto& tree = static_cast<const DirListBox&>(c);
        const std::vector<DirListBox::Row> rows = tree.rows();
        for (std::size_t i = 0; i < rows.size(); ++i) entry(i == tree.openFolderRow(), rows[i].path);
        break;
    }
    default:
        break;
    }
}

} // namespace

void writeForm(std::ostream& out, const Form& form)
{
    out << "== " << escapeText(form.name()) << ' ' << quoted(form.caption()) << " ==\n";
    std::vector<const Control*> listed;
    for (const Control* c : form.controls())
        if (isListed(c->kind()) && c->shown()) listed.push_back(c);
    std::stable_sort(listed.begin(), listed.end(), [](const Control* a, const Control* b) {
        if (a->absoluteTop() != b->absoluteTop()) return a->absoluteTop() < b->absoluteTop();
        return a->absoluteLeft() < b->absoluteLeft();
    });
    for (const Control* c : listed) writeControl(out, *c);
}

void writeMenu(std::ostream& out, const Menu& menu, const MenuItem* defaultItem)
{
    out << "-- MENU " << escapeText(menu.name()) << " --\n";
    for (const MenuItem* item : menu.items()) {
        if (!item->visible()) continue;
        if (item->isSeparator()) {
            out << "  ---\n";
            continue;
        }
        out << "  " << escapeText(item->name()) << ' ' << quoted(item->caption());
        if (item == defaultItem) out << " default";
        if (item->checked()) out << " checked";
        if (!item->enabled()) out << " disabled";
        out << '\n';
    }
}

void writeMessageBox(std::ostream& out, const MessageBoxSpec& spec)
{
    out << "?? " << quoted(spec.title) << ' ' << iconName(spec.icon) << '\n';
    if (!spec.text.empty())
        for (std::string_view line : splitLines(spec.text)) out << escapeText(line) << '\n';
}

std::vector<MsgResult> offeredButtons(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::OKCancel:
        return {MsgResult::OK, MsgResult::Cancel};
    case MsgButtons::YesNo:
        return {MsgResult::Yes, MsgResult::No};
    case MsgButtons::RetryCancel:
        return {MsgResult::Retry, MsgResult::Cancel};
    case MsgButtons::OK:
        break;
    }
    return {MsgResult::OK};
}

std::string answerPrompt(const std::vector<MsgResult>& buttons)
{
    std::string prompt = "(";
    for (MsgResult b : buttons) {
        if (prompt.size() > 1) prompt += '/';
        prompt += buttonCaption(b);
    }
    return prompt + ") > ";
}

const char* answerWord(MsgResult r)
{
    switch (r) {
    case MsgResult::Cancel:
        return "cancel";
    case MsgResult::Yes:
        return "yes";
    case MsgResult::No:
        return "no";
    case MsgResult::Retry:
        return "retry";
    case MsgResult::OK:
        break;
    }
    return "ok";
}

} // namespace velmora::console

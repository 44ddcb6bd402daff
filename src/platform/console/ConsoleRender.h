#pragma once
// The window model written as text: forms with their controls, pop-up menus and message
// boxes, in the format ConsoleFrontEnd.h describes. Nothing here reads input or keeps state.
#include "platform/toolkit/Form.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace velmora::console {

// Writes the form's heading, then a line per shown control (menus and timers left out)
// ordered by absolute top, then left, then declaration, each list's entries below it.
void writeForm(std::ostream& out, const Form& form);

// Writes the menu's heading and a line per visible item; `defaultItem` (may be null) is
// flagged "default".
void writeMenu(std::ostream& out, const Menu& menu, const MenuItem* defaultItem);

// Writes a message box's title line and its text lines; the prompt is answerPrompt().
void writeMessageBox(std::ostream& out, const MessageBoxSpec& spec);

// The buttons a message box offers, in the order its prompt names them.
std::vector<MsgResult> offeredButtons(MsgButtons buttons);

// The prompt naming the buttons, such as "(Yes/No) > ".
std::string answerPrompt(const std::vector<MsgResult>& buttons);

// The word that answers with a button: "yes", "no", "ok", "cancel" or "retry".
const char* answerWord(MsgResult result);

} // namespace velmora::console

#pragma once
// What a screen reader hears for a control: its name and its description, worked out once here
// so that every front-end says the same.
#include <string>
#include <string_view>

namespace velmora {

class Control;
class Label;

// `text` without its access-key markers: "&x" reads "x", "&&" reads "&".
std::string withoutAccessKey(std::string_view text);

// The label that names `control`: a label of the same form and container with a caption, lying
// left of it (overlapping its rows, however far) or above it (overlapping its columns, at most
// 600 twips up); the nearest of them, left before above at the same distance. Null when none.
const Label* labelBeside(const Control& control);

// The caption; for a picture button its tool tip; for lists, the folder tree, drop-down boxes
// and text boxes the label beside them, else the tool tip, else the frame around them. Every
// one without its access-key marker; empty for a control with nothing to say.
std::string accessibleName(const Control& control);

// The tool tip where it says more than the name.
std::string accessibleDescription(const Control& control);

} // namespace velmora

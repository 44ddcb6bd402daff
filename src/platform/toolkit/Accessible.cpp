#include "platform/toolkit/Accessible.h"
#include "platform/toolkit/Controls.h"
#include "platform/toolkit/Form.h"

#include <algorithm>
#include <climits>

namespace velmora {

namespace {

// A label farther above than this (about three lines of text) heads something else; one on the
// same row names the row's boxes however far along they lie.
constexpr int kNearestAbove = 600;

bool overlaps(int a, int aLength, int b, int bLength) { return a < b + bLength && b < a + aLength; }

// The gap from `label` to `control` when the label lies left of or above it; -1 otherwise.
int gapTo(const Control& label, const Control& control)
{
    const Geometry& l = label.geometry();
    const Geometry& c = control.geometry();
    if (overlaps(l.top, l.height, c.top, c.height) && l.left + l.width <= c.left + 15)
        return std::max(c.left - (l.left + l.width), 0);
    if (overlaps(l.left, l.width, c.left, c.width) && l.top + l.height <= c.top + 15) {
        const int gap = std::max(c.top - (l.top + l.height), 0);
        return gap <= kNearestAbove ? gap + 1 : -1; // left wins a tie
    }
    return -1;
}

bool namedByLabel(ControlKind kind)
{
    switch (kind) {
    case ControlKind::TextBox:
    case ControlKind::ComboBox:
    case ControlKind::ListBox:
    case ControlKind::DriveListBox:
    case ControlKind::DirListBox:
    case ControlKind::FileListBox:
        return true;
    default:
        return false;
    }
}

} // namespace

std::string withoutAccessKey(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            if (i + 1 == text.size()) break;
            ++i;
        }
        out += text[i];
    }
    return out;
}

const Label* labelBeside(const Control& control)
{
    const Label* best = nullptr;
    int bestGap = INT_MAX;
    for (const Control* other : control.form().controls()) {
        if (other == &control || other->kind() != ControlKind::Label || other->container() != control.container())
            continue;
        const auto* label = static_cast<const Label*>(other);
        if (withoutAccessKey(label->caption()).empty()) continue;
        const int gap = gapTo(*label, control);
        if (gap >= 0 && gap < bestGap) {
            best = label;
            bestGap = gap;
        }
    }
    return best;
}

std::string accessibleName(const Control& control)
{
    if (control.kind() == ControlKind::CommandButton) {
        const auto& button = static_cast<const CommandButton&>(control);
        if (!button.picture().empty() || button.caption().empty()) return withoutAccessKey(button.toolTip());
    }
    if (const auto* captioned = dynamic_cast<const CaptionControl*>(&control)) {
        std::string name = withoutAccessKey(captioned->caption());
        return name.empty() ? withoutAccessKey(control.toolTip()) : name;
    }
    if (namedByLabel(control.kind())) {
        if (const Label* label = labelBeside(control)) return withoutAccessKey(label->caption());
        if (!control.toolTip().empty()) return withoutAccessKey(control.toolTip());
        for (const Control* c = control.container(); c; c = c->container())
            if (c->kind() == ControlKind::Frame) {
                std::string name = withoutAccessKey(static_cast<const Frame*>(c)->caption());
                if (!name.empty()) return name;
            }
        return {};
    }
    return withoutAccessKey(control.toolTip());
}

std::string accessibleDescription(const Control& control)
{
    std::string tip = withoutAccessKey(control.toolTip());
    return tip == accessibleName(control) ? std::string() : tip;
}

} // namespace velmora

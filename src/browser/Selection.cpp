#include "browser/Selection.h"

#include "platform/toolkit/Form.h"

namespace velmora {

void applySelection(Toolkit& tk, FileListBox& files, SelectionCommand command)
{
    const std::size_t count = files.listCount();
    for (std::size_t i = 0; i < count; ++i) {
        tk.yield();
        if (i >= files.listCount()) break;
        switch (command) {
        case SelectionCommand::SelectAll:
            files.setSelected(i, true);
            break;
        case SelectionCommand::DeselectAll:
            files.setSelected(i, false);
            break;
        case SelectionCommand::Invert:
            files.setSelected(i, !files.selected(i));
            break;
        }
    }
}

} // namespace velmora

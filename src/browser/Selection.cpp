#include "browser/Selection.h"

#include "platform/toolkit/Form.h"

namespace velmora {

void applySelection(Toolkit& tk, FileListBox& files, SelectionCommand command)
{
    if (files.listCount() == 0) return;
    // Pending events run first, then the whole list changes at once: entry by entry, a window
    // would draw a long list once per entry.
    tk.yield();
    switch (command) {
    case SelectionCommand::SelectAll:
        files.setAllSelected(true);
        break;
    case SelectionCommand::DeselectAll:
        files.setAllSelected(false);
        break;
    case SelectionCommand::Invert:
        files.invertSelection();
        break;
    }
}

} // namespace velmora

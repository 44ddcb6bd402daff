#pragma once
// The mask editor panel of the main window: a category list, a mask field, Apply, Cancel.
namespace velmora {
class ComboBox;
class Control;
class FileListBox;
class TextBox;
} // namespace velmora

namespace velmora::maskeditor {

// Fills the category list with the captions of the junk categories.
void fillCategories(ComboBox& types);
// A category was chosen: the field takes its masks, limited to their length.
void categoryChosen(const ComboBox& types, TextBox& filter);
// Makes the field's text the active mask list and hides the panel; an empty field changes
// nothing. True when applied.
bool apply(const TextBox& filter, Control& panel, FileListBox& files);
void cancel(Control& panel);

} // namespace velmora::maskeditor

#pragma once
// The selection commands of the file list's pop-up menu.
namespace velmora {

class FileListBox;
class Toolkit;

// "&Выбрать все", "&Снять все", "&Инвертировать выделение": one entry at a time, yielding
// before each; a list that shrinks meanwhile ends the loop at its new end.
enum class SelectionCommand { SelectAll, DeselectAll, Invert };
void applySelection(Toolkit& tk, FileListBox& files, SelectionCommand command);

} // namespace velmora

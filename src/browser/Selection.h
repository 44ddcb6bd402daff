#pragma once
// The selection commands of the file list's pop-up menu.
namespace velmora {

class FileListBox;
class Toolkit;

// "&Выбрать все", "&Снять все", "&Инвертировать выделение": after letting pending events
// run, every entry of the list as it then is, in one change. No Click fires.
enum class SelectionCommand { SelectAll, DeselectAll, Invert };
void applySelection(Toolkit& tk, FileListBox& files, SelectionCommand command);

} // namespace velmora

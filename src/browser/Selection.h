#pragma once
// The status line, the enabled states of the file commands and the selection commands.
#include <cstdint>
#include <functional>
#include <string>

namespace velmora {

class CommandButton;
class Control;
class FileListBox;
class FileSystem;
class Label;
class MenuItem;
class Toolkit;

namespace status {
// The ending after " файл" and after " выделен" for a count.
std::string fileSuffix(std::int64_t count);
std::string selectedSuffix(std::int64_t count);
// "23 файла, 2 файла выделены, всего 40960 байт"
std::string line(std::int64_t entries, std::int64_t selected, std::int64_t bytes);
} // namespace status

// What the periodic update reads and writes on the main window.
struct UpdateTargets {
    FileListBox& files;
    Label& entries;
    MenuItem& maskEditorItem;
    Control& maskEditor;
    CommandButton& deleteSelected;
    CommandButton& properties;
    CommandButton& archive;
    CommandButton& deleteAll;
};

// One periodic update; returns the number of selected entries (SelFiles). `novice` applies
// the novice-mode locks between the status line and the enabled states.
int periodicUpdate(const UpdateTargets& targets, const std::function<void()>& novice);

// "&Выбрать все", "&Снять все", "&Инвертировать выделение": one entry at a time, yielding
// before each; a list that shrinks meanwhile ends the loop at its new end.
enum class SelectionCommand { SelectAll, DeselectAll, Invert };
void applySelection(Toolkit& tk, FileListBox& files, SelectionCommand command);

} // namespace velmora

#pragma once
// The status line and the enabled states of the file commands: the periodic update.
#include <cstdint>
#include <functional>
#include <string>

#include <string_view>

namespace velmora {

// The scan status label at rest.
inline constexpr std::string_view ReadyToScan = "Готов сканировать";

class CommandButton;
class Control;
class FileListBox;
class Label;
class MenuItem;

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

} // namespace velmora

#pragma once
// Deleting the junk of the folder shown: all of it, or the selected entries.
#include <cstddef>
#include <functional>
#include <string>

namespace velmora {

class DirListBox;
class DriveListBox;
class FileListBox;
class FileSystem;
class Folder;
class Label;
class Toolkit;

struct DeletionTargets {
    Toolkit& tk;
    FileSystem& fs;
    DriveListBox& drive;
    DirListBox& folders;
    FileListBox& files;
    Label& scanStatus;
};

// Asks, then clears the attributes of every listed file and deletes it by its exact name in
// the folder that was listed; ends with "Успешно завершено." (or the count of what stayed)
// and a re-read. Nothing happens for an empty list. Returns how many files stayed.
std::size_t deleteAll(const DeletionTargets& t);
// Whether one entry may still go, asked right before it is deleted, after the question: false
// keeps it, and it counts among those that could not be deleted.
using MayDelete = std::function<bool(const Folder& folder, const std::string& name)>;

// The same for the selected entries; ends with a re-read and "Завершено успешно.".
void deleteSelected(const DeletionTargets& t, const MayDelete& mayDelete = {});

// The message after a deletion that tried `tried` files: `success` (nothing when empty) when
// every one went, else how many went and how many stayed, with the exclamation icon.
void tellDeletion(Toolkit& tk, std::size_t deleted, std::size_t tried, const std::string& success);

} // namespace velmora

#pragma once
// Deleting the junk of the folder shown: all of it, or the selected entries.
#include <cstddef>
#include <string>

namespace velmora {

class DirListBox;
class DriveListBox;
class FileListBox;
class FileSystem;
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
// and a re-read. Nothing happens for an empty list.
void deleteAll(const DeletionTargets& t);
// The same for the selected entries; ends with a re-read and "Завершено успешно.".
void deleteSelected(const DeletionTargets& t);

// The message after a deletion that tried `tried` files: `success` (nothing when empty) when
// every one went, else how many went and how many stayed, with the exclamation icon.
void tellDeletion(Toolkit& tk, std::size_t deleted, std::size_t tried, const std::string& success);

} // namespace velmora

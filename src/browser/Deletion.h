#pragma once
// Deleting the junk of the folder shown: all of it, or the selected entries.
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

// Asks, then clears the attributes of every listed file and deletes it; ends with
// "Успешно завершено." and a re-read. Nothing happens for an empty list.
void deleteAll(const DeletionTargets& t);
// The same for the selected entries; ends with a re-read and "Завершено успешно.".
void deleteSelected(const DeletionTargets& t);

} // namespace velmora

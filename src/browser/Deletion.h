#pragma once
// Deleting junk: all or the selected entries of the folder shown, and the selected entries of a
// list of files found in many folders.
//
// Every deletion command counts by one rule. A file goes by its exact listed name in the folder
// it was listed in, its attributes cleared first so that read-only junk goes too. A file that is
// no longer there when its turn comes counts as gone, silently: someone else deleted it, and
// nothing is left to report. Only a file still there after the attempt, or one whose folder can
// no longer be told to be the one listed, counts as not deleted. "No longer there" is asked of
// that exact name, so a namesake in another letter case never stands in for it, either way.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace velmora {

class CommandButton;
class DirListBox;
class DriveListBox;
class FileListBox;
class FileSystem;
class Folder;
class Form;
class Image;
class Label;
class ListBox;
class Toolkit;
struct ListedFolder;

struct DeletionTargets {
    Toolkit& tk;
    FileSystem& fs;
    DriveListBox& drive;
    DirListBox& folders;
    FileListBox& files;
    Label& scanStatus;
};

// Asks, then deletes every listed file; ends with "Успешно завершено." (or the count of what
// stayed) and a re-read. Nothing happens for an empty list. Returns how many files stayed.
std::size_t deleteAll(const DeletionTargets& t);
// Whether one entry may still go, asked right before it is deleted, after the question: false
// keeps it, and it counts among those that could not be deleted (unless it is no longer there).
using MayDelete = std::function<bool(const Folder& folder, const std::string& name)>;

// The same for the selected entries; ends with a re-read and "Завершено успешно.".
void deleteSelected(const DeletionTargets& t, const MayDelete& mayDelete = {});

// One file of a list whose entries come from many folders: the folder it was listed in (shared
// by the files of that folder) and its exact name there.
struct ListedFile {
    std::shared_ptr<const ListedFolder> folder;
    std::string name;
};

struct FoundDeletionTargets {
    Form& window; // the list's window: closing it ends the deletion
    FileSystem& fs;
    ListBox& list; // one file per entry, shown by its full path
    // The file an entry stands for, by the entry's item datum; nullptr when none. Data are
    // never reused while the window is up, so an entry added later is never taken for one asked about.
    std::function<const ListedFile*(std::uint64_t data)> file;
    Image& fileIcon;           // hidden after a deletion
    CommandButton& properties; // disabled after a deletion
};

// Counts the selected entries (yielding at each), asks about them by name (one) or by count,
// and deletes them with the list disabled, yielding at each entry when there are several.
// Entries whose files went leave the list; one whose file stays is kept, unselected, and the
// message then tells how many stayed. A No, or nothing selected, changes nothing.
void deleteFound(const FoundDeletionTargets& t);

// Whether the listed `name` is no longer in `folder`, asked of that exact name. False when the
// host cannot tell, and for a text no listing gives (its absence proves nothing).
bool noLongerThere(const Folder& folder, std::string_view name);

// The message after a deletion that tried `tried` files: `success` (nothing when empty) when
// every one went, else how many went and how many stayed, with the exclamation icon.
void tellDeletion(Toolkit& tk, std::size_t deleted, std::size_t tried, const std::string& success);

} // namespace velmora

#pragma once
// The file properties window: the selected files' names, total size and, for one file, its date
// and a button that deletes it.
#include "platform/FileSystem.h"
#include "platform/toolkit/Form.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// One selected file: the folder it was listed in, its exact name there, and the text that
// names it in the window's title (the bare name, or the full path the drive scan shows).
struct PropertiesEntry {
    ListedFolder folder;
    std::string name;
    std::string shown;
};

class frmProperties : public Form {
public:
    frmProperties(Toolkit& tk, FileSystem& fs);

    // The one file the window was built for; its delete button acts on nothing else. Empty
    // for several files and once the file has been deleted.
    std::optional<PropertiesEntry> file;

    void cmdDelete_Click();

    Frame fraFile{*this, "fraFile"};
    Label lblSize{*this, "lblSize", &fraFile};
    Label lblDateTime{*this, "lblDateTime", &fraFile};
    CommandButton cmdDelete{*this, "cmdDelete"};
    CommandButton cmdClose{*this, "cmdClose"};

private:
    FileSystem& m_fs;
};

struct PropertiesTargets {
    FileSystem& fs;
    FormSlot<frmProperties>& window;
    Form& owner;
};

// The selected entries of the main window's file list, in list order, each in the folder the
// list was read from.
std::vector<PropertiesEntry> selectedEntries(const FileListBox& files);

// Fills a fresh properties window for `selected` and shows it modally over `owner`; returns
// when it is closed. A file that has gone or cannot be read is left out of the title, the count,
// the total and the date; when none is left, the warning is shown instead of the window.
void showProperties(const PropertiesTargets& t, const std::vector<PropertiesEntry>& selected);

// The window's texts, each as the window shows it.
namespace properties {
// The frame's caption: the title itself below 50 characters, else its first 47 and "...".
std::string frameCaption(std::string_view title);
// "Размер: N байт (K Кб, M Мб, G Гб)", each unit the one below divided by 1024, rounded down.
std::string sizeLine(std::int64_t bytes);
// The name the window's delete asks about: the title without "Свойства", the count "(1)" and
// the blank on each side of the name. Characters are counted, not bytes.
std::string nameFromTitle(std::string_view title);
} // namespace properties

} // namespace velmora

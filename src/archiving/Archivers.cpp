#include "archiving/Archivers.h"

#include "platform/FileSystem.h"
#include "platform/ProcessStarter.h"
#include "platform/SettingsStore.h"
#include "platform/toolkit/Controls.h"
#include "platform/toolkit/Form.h"
#include "settings/Product.h"
#include "settings/Settings.h"

#include <charconv>

namespace velmora::archivers {

std::string key(std::string_view field, int n) { return std::string(field) + std::to_string(n); }

std::string read(const SettingsStore& store, std::string_view field, int n)
{
    return settings::read(store, settings::ArchiversSection, key(field, n), "");
}

bool save(SettingsStore& store, std::string_view field, int n, std::string_view value)
{
    return store.save(settings::App, settings::ArchiversSection, key(field, n), value);
}

std::unique_ptr<SettingsSection> table(const SettingsStore& store)
{
    // The whole table from one reading of the settings, however many archivers it holds.
    return store.section(settings::App, settings::ArchiversSection);
}

void enumerate(const SettingsStore& store, ListControl& list) { enumerate(*table(store), list); }

void enumerate(const SettingsSection& table, ListControl& list)
{
    std::vector<std::string> entries;
    for (int n = 1;; ++n) {
        const std::string name = table.get(key("Name", n), "");
        if (name.empty()) break;
        entries.push_back("# " + std::to_string(n) + " " + name);
    }
    list.addItems(std::move(entries));
}

int numberOf(std::string_view entry)
{
    if (!entry.starts_with("# ")) return 0;
    const std::string_view digits = entry.substr(2, entry.find(' ', 2) - 2);
    int n = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (error != std::errc() || end != digits.data() + digits.size() || n < 0) return 0;
    return n;
}

int numberForNew(const SettingsStore& store, int selected)
{
    const auto archivers = table(store);
    const auto named = [&](int n) { return !archivers->get(key("Name", n), "").empty(); };
    if (!named(selected + 1)) return selected + 1;
    // Never the selected archiver's own number, even when its name was just cleared: the
    // next keystroke in its fields would store its empty name over the new one.
    int n = 1;
    while (n == selected || named(n)) ++n;
    return n;
}

bool hasProgram(const Chosen& chosen) { return chosen.program.find_first_not_of(" \t") != std::string::npos; }

void choose(const SettingsStore& store, const ComboBox& list, std::string_view programField,
            std::string_view commandField, Chosen& chosen, TextBox& extension)
{
    if (list.listIndex() >= 0) choose(*table(store), list, programField, commandField, chosen, extension);
}

void choose(const SettingsSection& table, const ComboBox& list, std::string_view programField,
            std::string_view commandField, Chosen& chosen, TextBox& extension)
{
    if (list.listIndex() < 0) return;
    const int n = numberOf(list.text());
    chosen.program = table.get(key(programField, n), "");
    chosen.extention = table.get(key("Extention", n), "");
    chosen.command = table.get(key(commandField, n), "");
    extension.setText(chosen.extention);
}

bool fieldsUsable(Toolkit& tk, TextBox& name, std::initializer_list<TextBox*> typed)
{
    if (name.text().empty()) {
        tk.msgBox("Введите название файла архива", MsgButtons::OK, MsgIcon::Exclamation, MessageTitle);
        name.setFocus();
        return false;
    }
    for (TextBox* field : typed) {
        if (field->text().find('"') == std::string::npos) continue;
        tk.msgBox("Название файла архива и имена папок не могут содержать кавычки (\")", MsgButtons::OK,
                  MsgIcon::Exclamation, MessageTitle);
        field->setFocus();
        return false;
    }
    return true;
}

void notMade(Toolkit& tk, std::string_view archive)
{
    tk.msgBox("Архив " + std::string(archive) + " не создан. Файлы не удалены.", MsgButtons::OK, MsgIcon::Exclamation,
              MessageTitle);
}

std::string shortenRoot(std::string_view folder)
{
    const std::size_t first = folder.find_first_not_of(' ');
    if (first == std::string_view::npos) return std::string(folder);
    const std::string_view trimmed = folder.substr(first, folder.find_last_not_of(' ') + 1 - first);
    // Only a root: a three-letter folder such as "Arc" keeps its last letter.
    if (!path::isRoot(trimmed)) return std::string(folder);
    return std::string(trimmed.substr(0, 2));
}

std::string archivePath(std::string_view folder, std::string_view name, std::string_view extension)
{
    std::string path(folder);
    if (!path.ends_with('\\') && !path.ends_with('/')) path += '\\';
    return path + std::string(name) + "." + std::string(extension);
}

std::optional<std::string> onDrive(const FileSystem& fs, std::string_view path)
{
    const bool drive = path.size() >= 2 && path::driveLetter(path) != 0 && path[1] == ':';
    const bool absolute = drive && (path.size() == 2 || path[2] == '\\' || path[2] == '/');
    std::string full = absolute ? std::string(path) : fs.absolute(path);
    // A bare "C:" is the drive's root to the program that gets it.
    if (full.empty() || !fs.hostPath(full.size() == 2 ? full + "\\" : full)) return std::nullopt;
    return full;
}

namespace {

// A folder as one word: in quotes when it holds a blank, the closing quote before any
// trailing "\", which a Windows program would read, with the quote, as a quote of the text
// that joins the next words to this one.
std::string folderWord(std::string_view folder)
{
    if (folder.find_first_of(" \t") == std::string_view::npos) return std::string(folder);
    const std::size_t end = folder.find_last_not_of('\\') + 1;
    return "\"" + std::string(folder.substr(0, end)) + "\"" + std::string(folder.substr(end));
}

std::string programAndCommand(std::string_view program, std::string_view command)
{
    std::string line(program);
    line += ' ';
    if (!command.empty()) line += std::string(command) + " ";
    return line;
}

} // namespace

std::string packCommand(std::string_view program, std::string_view command, std::string_view archive,
                        std::string_view files)
{
    return programAndCommand(program, command) + "\"" + std::string(archive) + "\"" + std::string(files);
}

std::string unpackCommand(std::string_view program, std::string_view command, std::string_view archive,
                          std::string_view destination)
{
    return programAndCommand(program, command) + "\"" + std::string(archive) + "\" " + folderWord(destination);
}

} // namespace velmora::archivers

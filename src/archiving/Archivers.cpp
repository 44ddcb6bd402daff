#include "archiving/Archivers.h"

#include "platform/FileSystem.h"
#include "platform/ProcessStarter.h"
#include "platform/SettingsStore.h"
#include "platform/toolkit/Controls.h"
#include "platform/toolkit/Form.h"
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

void enumerate(const SettingsStore& store, ListControl& list)
{
    std::vector<std::string> entries;
    for (int n = 1;; ++n) {
        const std::string name = read(store, "Name", n);
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
    if (read(store, "Name", selected + 1).empty()) return selected + 1;
    // Never the selected archiver's own number, even when its name was just cleared: the
    // next keystroke in its fields would store its empty name over the new one.
    int n = 1;
    while (n == selected || !read(store, "Name", n).empty()) ++n;
    return n;
}

bool hasProgram(const Chosen& chosen) { return chosen.program.find_first_not_of(" \t") != std::string::npos; }

void choose(const SettingsStore& store, const ComboBox& list, std::string_view programField,
            std::string_view commandField, Chosen& chosen, TextBox& extension)
{
    if (list.listIndex() < 0) return;
    const int n = numberOf(list.text());
    chosen.program = read(store, programField, n);
    chosen.extention = read(store, "Extention", n);
    chosen.command = read(store, commandField, n);
    extension.setText(chosen.extention);
}

bool archiveNamed(Toolkit& tk, TextBox& name)
{
    if (!name.text().empty()) return true;
    tk.msgBox("Введите название файла архива", MsgButtons::OK, MsgIcon::Exclamation, "Velmora");
    name.setFocus();
    return false;
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
    return std::string(folder) + "\\" + std::string(name) + "." + std::string(extension);
}

std::string onDrive(const FileSystem& fs, const std::string& path)
{
    const bool drive = path.size() >= 2 && path::driveLetter(path) != 0 && path[1] == ':';
    if (path.empty() || (drive && (path.size() == 2 || path[2] == '\\' || path[2] == '/'))) return path;
    return fs.absolute(path);
}

namespace {

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
    return programAndCommand(program, command) + "\"" + std::string(archive) + "\" " + commandWord(destination);
}

} // namespace velmora::archivers

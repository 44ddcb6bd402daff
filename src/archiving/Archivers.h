#pragma once
// The table of external archivers as the settings keep it: six keys per numbered archiver,
// listed as "# " + number + " " + name in every archiver list.
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {
class ComboBox;
class FileSystem;
class ListControl;
class SettingsSection;
class SettingsStore;
class TextBox;
class Toolkit;
} // namespace velmora

namespace velmora::archivers {

// The six field words, in the order the editor stores them.
inline constexpr std::string_view Fields[] = {"Name", "Execute", "Extention", "Command", "Unpack", "ExecUn"};

// "Name1", "ExecUn12": the field word followed by the number, no separator.
std::string key(std::string_view field, int n);
// Field `field` of archiver n; "" when absent.
std::string read(const SettingsStore& store, std::string_view field, int n);
// Stores one field of archiver n; false when the store refused it.
bool save(SettingsStore& store, std::string_view field, int n, std::string_view value);

// One reading of the table, for a step that needs many of its keys at one moment; every
// function below that takes the store takes its own.
std::unique_ptr<SettingsSection> table(const SettingsStore& store);

// Appends the table to `list`, one entry per archiver in number order, from 1 up to the
// first number whose name is empty. The list is not cleared first.
void enumerate(const SettingsStore& store, ListControl& list);
void enumerate(const SettingsSection& table, ListControl& list);
// The archiver number an entry stands for: the digits between its leading "# " and the next
// blank; 0 when the entry holds none.
int numberOf(std::string_view entry);
// The number a new archiver takes after archiver `selected` (0: none): the next number when
// its name is free, else the first free number after the table other than `selected`, so that
// no archiver is ever overwritten.
int numberForNew(const SettingsStore& store, int selected);

// The archiver a compress or restore window runs: its program, command and extension, as read
// when it was chosen.
struct Chosen {
    std::string program, command, extention;
};
// True when the archiver names a program to start (not only blanks).
bool hasProgram(const Chosen& chosen);
// The compress and restore windows' selection step: reads the program field, the extension
// and the command field of the archiver chosen in `list` into `chosen`, and shows the extension
// in `extension`. Nothing changes while no entry is chosen.
void choose(const SettingsStore& store, const ComboBox& list, std::string_view programField,
            std::string_view commandField, Chosen& chosen, TextBox& extension);
void choose(const SettingsSection& table, const ComboBox& list, std::string_view programField,
            std::string_view commandField, Chosen& chosen, TextBox& extension);
// Their first step at OK: true when `name` holds an archive name and no field of `typed` (in
// the window's order) holds a double quote, which would end its word on the command line and
// let the rest become switches of the archiver. Otherwise says what is wrong and puts the
// focus on that field.
bool fieldsUsable(Toolkit& tk, TextBox& name, std::initializer_list<TextBox*> typed);
// Tells that `archive` (as the user gave it) was not made and nothing was deleted.
void notMade(Toolkit& tk, std::string_view archive);

// A folder field as the compress and restore windows leave it before use: a drive root
// ("C:\", blanks around it allowed) cut to its letter and colon ("C:"), so that adding "\"
// gives one separator; any other text as it is.
std::string shortenRoot(std::string_view folder);
// The archive the command lines name: folder + "\" + name + "." + extension, without a second
// "\" after a folder that ends in one ("\" alone is the current drive's root).
std::string archivePath(std::string_view folder, std::string_view name, std::string_view extension);
// A path as an archiver is to get it: a relative one ("Restored", "\Arc", "C:Arc") made
// absolute against the current folder, so that the archiver, which works there, and the
// program name the same file on every host; "C:\Arc" and a bare "C:" (a root) as they are.
// Nothing for a path on no usable drive ("", "\\nas\share", "\\?\unix\tmp", a drive that
// is not mapped, a relative path while the current folder lies on no drive): handed on, such
// a text would become another word or a file of that name in the working folder.
std::optional<std::string> onDrive(const FileSystem& fs, std::string_view path);
// The packing command line: program, its command when not empty, the quoted archive, then
// `files` (each a blank and a word).
std::string packCommand(std::string_view program, std::string_view command, std::string_view archive,
                        std::string_view files);
// The unpacking command line: program, its command when not empty, the quoted archive and
// the destination folder as one word (in quotes when it holds a blank).
std::string unpackCommand(std::string_view program, std::string_view command, std::string_view archive,
                          std::string_view destination);

} // namespace velmora::archivers

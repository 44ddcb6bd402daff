#pragma once
// The table of external archivers as the settings keep it: six keys per numbered archiver,
// listed as "# " + number + " " + name in every archiver list.
#include <string>
#include <string_view>

namespace velmora {
class ListControl;
class SettingsStore;
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

// Appends the table to `list`, one entry per archiver in number order, from 1 up to the
// first number whose name is empty. The list is not cleared first.
void enumerate(const SettingsStore& store, ListControl& list);
// The archiver number an entry stands for: the digits between its leading "# " and the next
// blank; 0 when the entry holds none.
int numberOf(std::string_view entry);
// The number a new archiver takes after archiver `selected` (0: none): the next number when
// its name is free, else the first free number after the table, so that no archiver is ever
// overwritten.
int numberForNew(const SettingsStore& store, int selected);

// A folder field as the compress and restore windows leave it before use: a text of exactly
// three characters without its outer blanks (a drive root, "C:\") cut to its first two
// ("C:"), so that adding "\" gives one separator; any other text as it is.
std::string shortenRoot(std::string_view folder);
// The archive the command lines name: folder + "\" + name + "." + extension.
std::string archivePath(std::string_view folder, std::string_view name, std::string_view extension);
// A path as one word of a command line: in double quotes when it holds a blank, so that
// the program gets it as one argument; as it is otherwise.
std::string word(std::string_view path);
// The packing command line: program, its command when not empty, the quoted archive, then
// `files` (each a blank and a word).
std::string packCommand(std::string_view program, std::string_view command, std::string_view archive,
                        std::string_view files);
// The unpacking command line: program, its command when not empty, the quoted archive and
// the destination folder as one word.
std::string unpackCommand(std::string_view program, std::string_view command, std::string_view archive,
                          std::string_view destination);

} // namespace velmora::archivers

#pragma once
// The table of external archivers as the settings keep it: six keys per numbered archiver.
#include <string>
#include <string_view>
#include <vector>

namespace velmora {
class SettingsStore;
} // namespace velmora

namespace velmora::archivers {

// One archiver of the archiver table.
struct Record {
    std::string name, execute, extention, command, unpack, execUn;
};

inline constexpr std::string_view Fields[] = {"Name", "Execute", "Extention", "Command", "Unpack", "ExecUn"};

// "Name1", "ExecUn12": the field word followed by the number, no separator.
std::string key(std::string_view field, int n);
// The table, ending at the first number whose name is empty.
std::vector<Record> readTable(const SettingsStore& store);

} // namespace velmora::archivers

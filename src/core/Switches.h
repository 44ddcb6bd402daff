#pragma once
// The two switches that run one command unattended and end the program.
#include <string_view>

namespace velmora {

enum class Switch { None, AutoPass, AutoRecent };

// The switch the whole argument text names once upper-cased and stripped of blanks at both
// ends: "/AUTOPASS" or "-AUTOPASS" runs delete-all on the start-up folder, "/AUTORECENT" or
// "-AUTORECENT" the shortcut and cookie scan. Anything else, further words included, is None.
Switch switchOf(std::string_view arguments);

// The process's exit status after a switch's run, so that a scheduled job learns how it went.
// Any other run ends with Done.
namespace exitstatus {
inline constexpr int Done = 0;          // every file the command tried to delete went, or none was to go
inline constexpr int FilesStayed = 1;   // at least one file that was to go could not be deleted
inline constexpr int NoStartFolder = 2; // "/AUTOPASS": the start-up folder did not open; nothing was deleted
} // namespace exitstatus

} // namespace velmora

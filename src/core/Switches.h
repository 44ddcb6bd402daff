#pragma once
// The two switches that run one command unattended and end the program; the requests for help
// and version that a program of the desktop answers before it starts.
#include <string>
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

// Which programs the usage speaks of: the Linux one, or Windows' velmora.exe and velmora-console.exe.
enum class Host { Linux, Windows };

// A request answered on standard output before anything starts, when it is the whole argument
// text (blanks at both ends aside): "--help" or "-h", and on Windows "/?" as well, asks for the
// usage; "--version" for the name and version. Anything else starts the program, the switches
// above included.
enum class Request { Start, Usage, Version };
Request requestOf(std::string_view arguments, Host host);

// The usage in Russian: the switches and their exit status, the front-ends, VELMORA_DRIVES.
std::string usageText(Host host);
// "Velmora 2.2.0".
std::string versionText();

} // namespace velmora

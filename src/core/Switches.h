#pragma once
// The two switches that run one command unattended and end the program.
#include <string_view>

namespace velmora {

enum class Switch { None, AutoPass, AutoRecent };

// The switch the whole argument text names once upper-cased and stripped of blanks at both
// ends: "/AUTOPASS" or "-AUTOPASS" runs delete-all on the start-up folder, "/AUTORECENT" or
// "-AUTORECENT" the shortcut and cookie scan. Anything else, further words included, is None.
Switch switchOf(std::string_view arguments);

} // namespace velmora

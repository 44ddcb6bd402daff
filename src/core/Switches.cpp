#include "core/Switches.h"

#include "platform/Text.h"

#include <string>

namespace velmora {

Switch switchOf(std::string_view arguments)
{
    const std::string upper = text::toUpper(arguments);
    const std::size_t first = upper.find_first_not_of(' ');
    const std::string_view word = first == std::string::npos
                                      ? std::string_view()
                                      : std::string_view(upper).substr(first, upper.find_last_not_of(' ') + 1 - first);
    if (word == "-AUTOPASS" || word == "/AUTOPASS") return Switch::AutoPass;
    if (word == "-AUTORECENT" || word == "/AUTORECENT") return Switch::AutoRecent;
    return Switch::None;
}

} // namespace velmora

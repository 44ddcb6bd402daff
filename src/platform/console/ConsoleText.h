#pragma once
// How the text front-end writes texts of the model so that each item stays on its lines.
#include <string>
#include <string_view>
#include <vector>

namespace velmora::console {

// The text with every byte that is not part of valid UTF-8, and every control character,
// written as \xHH (upper-case hex).
std::string escapeText(std::string_view text);

// The text escaped and put in double quotes, as names and captions are printed.
std::string quoted(std::string_view text);

// The text cut at each "\r\n" or "\n"; a text without breaks is one line.
std::vector<std::string_view> splitLines(std::string_view text);

// The text escaped line by line, its lines joined by "\n" + indent.
std::string breakLines(std::string_view text, std::string_view indent);

} // namespace velmora::console

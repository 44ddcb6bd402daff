#include "platform/console/ConsoleText.h"

#include <cstdint>

namespace velmora::console {

// Length of the valid UTF-8 sequence at s[i], 0 when the byte there starts none.
static std::size_t sequenceLength(std::string_view s, std::size_t i)
{
    const auto lead = static_cast<unsigned char>(s[i]);
    if (lead < 0x80) return 1;
    std::size_t n = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        n = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        n = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        n = 4;
    else
        return 0;
    if (s.size() - i < n) return 0;
    std::uint32_t cp = lead & (0x7Fu >> n);
    for (std::size_t k = 1; k < n; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3Fu);
    }
    // Overlong forms, surrogates and code points past U+10FFFF are not valid UTF-8.
    if (n == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) return 0;
    if (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) return 0;
    return n;
}

std::string escapeText(std::string_view text)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t n = sequenceLength(text, i);
        if (n == 0 || c < 0x20 || c == 0x7F) {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 0x0F];
            ++i;
        } else {
            out.append(text.substr(i, n));
            i += n;
        }
    }
    return out;
}

std::string quoted(std::string_view text) { return "\"" + escapeText(text) + "\""; }

std::vector<std::string_view> splitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n') continue;
        std::size_t end = i;
        if (end > start && text[end - 1] == '\r') --end;
        lines.push_back(text.substr(start, end - start));
        start = i + 1;
    }
    lines.push_back(text.substr(start));
    return lines;
}

std::string breakLines(std::string_view text, std::string_view indent)
{
    std::string out;
    bool first = true;
    for (std::string_view line : splitLines(text)) {
        if (!first) {
            out += '\n';
            out.append(indent);
        }
        first = false;
        out += escapeText(line);
    }
    return out;
}

} // namespace velmora::console

#pragma once
// UTF-8 decoding and encoding shared by the text helpers, case folding and wildcards, so they
// all agree on where a character ends and on what counts as an invalid byte.
#include <cstddef>
#include <string>
#include <string_view>

namespace velmora::utf8 {

struct Decoded {
    char32_t cp;
    std::size_t len;
    bool valid;
};

inline bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The character at `i` (which must be < s.size()). An invalid byte — a stray continuation,
// a cut-off sequence, an overlong form, a surrogate, beyond U+10FFFF — is reported as
// itself, one byte long, so every byte of any text belongs to exactly one character.
inline Decoded decodeAt(std::string_view s, std::size_t i)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) return {b0, 1, true};
    const std::size_t rest = s.size() - i;
    auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        if (rest >= 2 && isContinuation(at(1)))
            return {static_cast<char32_t>(((b0 & 0x1Fu) << 6) | (at(1) & 0x3Fu)), 2, true};
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        if (rest >= 3 && isContinuation(at(1)) && isContinuation(at(2))) {
            const unsigned char b1 = at(1);
            // Reject overlong forms and UTF-16 surrogates.
            if (!(b0 == 0xE0 && b1 < 0xA0) && !(b0 == 0xED && b1 > 0x9F))
                return {static_cast<char32_t>(((b0 & 0x0Fu) << 12) | ((b1 & 0x3Fu) << 6) | (at(2) & 0x3Fu)), 3, true};
        }
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        if (rest >= 4 && isContinuation(at(1)) && isContinuation(at(2)) && isContinuation(at(3))) {
            const unsigned char b1 = at(1);
            if (!(b0 == 0xF0 && b1 < 0x90) && !(b0 == 0xF4 && b1 > 0x8F))
                return {static_cast<char32_t>(((b0 & 0x07u) << 18) | ((b1 & 0x3Fu) << 12) | ((at(2) & 0x3Fu) << 6) |
                                              (at(3) & 0x3Fu)),
                        4, true};
        }
    }
    return {b0, 1, false};
}

// Writes `cp` (a scalar value, at most U+10FFFF) to `out` and returns its length, 1 to 4.
inline std::size_t encode(char32_t cp, char* out)
{
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (cp >> 12));
        out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (cp >> 18));
    out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (cp & 0x3F));
    return 4;
}

// `cp` as UTF-8 text.
inline std::string text(char32_t cp)
{
    char buffer[4];
    return std::string(buffer, encode(cp, buffer));
}

} // namespace velmora::utf8

#include "platform/CaseFold.h"

#include "platform/CaseFoldTable.h"
#include "platform/Utf8.h"

#include <cstdint>
#include <cstring>

namespace velmora::casefold {

namespace {

static_assert(table::kFlat == 0x800, "two-byte characters index their deltas by code point");

inline char32_t apply(const std::int16_t* deltas, char32_t cp)
{
    using namespace table;
    if (cp >= kLimit) return cp;
    const std::size_t at = (std::size_t{kRowOf[cp >> kBlockBits]} << kBlockBits) | (cp & ((1u << kBlockBits) - 1));
    // The delta wraps within the plane: a partner is never in another one.
    const auto low16 = static_cast<char32_t>((cp + static_cast<char32_t>(deltas[at])) & 0xFFFFu);
    return (cp & ~char32_t{0xFFFF}) | low16;
}

// Flips the case bit of every ASCII letter of one case in eight bytes at once: most names
// are plain ASCII and this is the hot loop of the drive walk.
template <bool Upper> std::uint64_t foldAscii8(std::uint64_t w)
{
    constexpr std::uint64_t ones = 0x0101010101010101ull;
    constexpr unsigned first = static_cast<unsigned char>(Upper ? 'a' : 'A');
    constexpr unsigned last = static_cast<unsigned char>(Upper ? 'z' : 'Z');
    const std::uint64_t atLeastFirst = w + ones * (0x80 - first);
    const std::uint64_t aboveLast = w + ones * (0x80 - last - 1);
    return w ^ (((atLeastFirst & ~aboveLast) & (ones * 0x80)) >> 2);
}

template <bool Upper> char foldAscii(unsigned char c)
{
    if (Upper) return static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
}

inline std::uint64_t load8(const char* p)
{
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
}

// Where folding has got to: in the text and in the folded text.
struct Position {
    std::size_t in;
    std::size_t out;
};

// Folds the character at `at.in` (there must be one), or the run of two-byte characters
// starting there, and returns the position after it.
template <bool Upper> inline Position foldChar(std::string_view src, char* dst, Position at)
{
    const std::int16_t* const deltas = Upper ? table::kUpperDelta : table::kLowerDelta;
    const std::size_t n = src.size();
    const std::size_t i = at.in, o = at.out;
    const auto c = static_cast<unsigned char>(src[i]);
    if (c < 0x80) {
        dst[o] = foldAscii<Upper>(c);
        return {i + 1, o + 1};
    }
    // Two-byte characters (Cyrillic, Greek, accented Latin) are most of the rest, usually
    // several in a row, and their deltas are indexed by code point directly.
    const auto twoByte = [&](std::size_t k) {
        return k + 1 < n && static_cast<unsigned char>(src[k]) - 0xC2u <= 0xDFu - 0xC2u &&
               utf8::isContinuation(static_cast<unsigned char>(src[k + 1]));
    };
    if (twoByte(i)) {
        Position p = at;
        do {
            const auto cp = static_cast<char32_t>(((src[p.in] & 0x1Fu) << 6) | (src[p.in + 1] & 0x3Fu));
            const auto to = static_cast<char32_t>((cp + static_cast<char32_t>(deltas[cp])) & 0xFFFFu);
            p.in += 2;
            // Never below 0x80: no non-ASCII character maps to an ASCII one.
            if (to < 0x800) {
                dst[p.out] = static_cast<char>(0xC0 | (to >> 6));
                dst[p.out + 1] = static_cast<char>(0x80 | (to & 0x3F));
                p.out += 2;
            } else {
                p.out += utf8::encode(to, dst + p.out);
            }
        } while (twoByte(p.in));
        return p;
    }
    const utf8::Decoded d = utf8::decodeAt(src, i);
    if (!d.valid) {
        dst[o] = static_cast<char>(c);
        return {i + 1, o + 1};
    }
    return {i + d.len, o + utf8::encode(apply(deltas, d.cp), dst + o)};
}

template <bool Upper> std::size_t fold(std::string_view src, char* dst)
{
    constexpr std::uint64_t high = 0x8080808080808080ull;
    const char* const s = src.data();
    const std::size_t n = src.size();
    Position at{0, 0};
    while (at.in + 8 <= n) {
        const std::uint64_t w = load8(s + at.in);
        if ((w & high) == 0) {
            const std::uint64_t f = foldAscii8<Upper>(w);
            std::memcpy(dst + at.out, &f, 8);
            at.in += 8;
            at.out += 8;
            continue;
        }
        // Character by character to the end of this word (or a little past it), then try
        // whole words again.
        for (const std::size_t end = at.in + 8; at.in < end;) at = foldChar<Upper>(src, dst, at);
    }
    // An ASCII tail is one word that overlaps the one before, when what came before kept its
    // length so that the overlap rewrites the same bytes.
    if (at.in < n && n >= 8 && at.out == at.in && (load8(s + n - 8) & high) == 0) {
        const std::uint64_t f = foldAscii8<Upper>(load8(s + n - 8));
        std::memcpy(dst + n - 8, &f, 8);
        return n;
    }
    while (at.in < n) at = foldChar<Upper>(src, dst, at);
    return at.out;
}

} // namespace

char32_t upper(char32_t cp) { return apply(table::kUpperDelta, cp); }

char32_t lower(char32_t cp) { return apply(table::kLowerDelta, cp); }

std::size_t toUpper(std::string_view src, char* dst) { return fold<true>(src, dst); }

std::size_t toLower(std::string_view src, char* dst) { return fold<false>(src, dst); }

} // namespace velmora::casefold

#pragma once
// Case folding: Unicode's simple case mappings (one code point to one), the way an NTFS
// volume's upcase table folds names. Every case-blind comparison of names goes through here.
#include <cstddef>
#include <string_view>

namespace velmora::casefold {

// The simple upper case of `cp`, title-case letters included (ǅ → Ǆ, ς → Σ); `cp` itself
// when it has none. A non-ASCII character never becomes an ASCII one (ı and ſ stay).
char32_t upper(char32_t cp);
// The simple lower case of `cp` when that folds back to the same upper case (Ǆ and ǅ → ǆ,
// but the Kelvin sign stays), so lowering never changes how text compares; else `cp`.
char32_t lower(char32_t cp);

// Room for the folded form of `n` bytes: ASCII stays ASCII and no character grows by more
// than half (ɐ, two bytes, → Ɐ, three bytes).
constexpr std::size_t maxFoldedSize(std::size_t n) { return n + n / 2; }

// Write the upper- or lower-case form of `src` to `dst`, which must have room for
// maxFoldedSize(src.size()) bytes, and return its length. Invalid bytes are copied as they
// are, one byte each, so any bytes fold without error.
std::size_t toUpper(std::string_view src, char* dst);
std::size_t toLower(std::string_view src, char* dst);

} // namespace velmora::casefold

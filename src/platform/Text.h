#pragma once
// Text helpers: the program keeps UTF-8 in memory; files may be Windows-1251.
#include <cstddef>
#include <string>
#include <string_view>

namespace velmora::text {

// UTF-8 to Windows-1251; a character that 1251 lacks (or an invalid byte) becomes '?'.
std::string toCp1251(std::string_view utf8);
// Windows-1251 to UTF-8.
std::string fromCp1251(std::string_view cp1251);

// Number of characters (code points) in UTF-8 text; each invalid byte counts as one.
std::size_t length(std::string_view utf8);
// The first `count` characters.
std::string left(std::string_view utf8, std::size_t count);
// Characters [start, start + count).
std::string mid(std::string_view utf8, std::size_t start, std::size_t count = std::string_view::npos);
// Upper case of every letter with a simple case mapping (one character to one, as an NTFS
// volume folds names); other characters and invalid bytes unchanged. The result may differ
// in byte length (ɐ → Ɐ grows from two bytes to three). A non-ASCII letter never becomes
// an ASCII one (ı, ſ stay).
std::string toUpper(std::string_view utf8);
// Lower case of the same letters, limited to those that fold back to the same upper case.
std::string toLower(std::string_view utf8);
// True when the bytes are valid UTF-8.
bool isValidUtf8(std::string_view bytes);
// The text with each invalid byte made '?', as toCp1251 makes it: valid UTF-8 throughout.
std::string toValidUtf8(std::string_view utf8);

// Compares two names as an NTFS directory orders them: by upper-cased characters,
// then bytewise to break ties, so only identical names compare equal. Negative, zero or
// positive.
int compareNoCase(std::string_view a, std::string_view b);
// True when the names' upper-case forms are the same: exactly when compareNoCase would
// decide only by the tie-break.
bool equalNoCase(std::string_view a, std::string_view b);
// The bytes compareNoCase compares before its tie-break. Names ordered by key, then bytewise,
// are in compareNoCase order; a long list sorts several times faster so, each name being
// upper-cased once rather than at every comparison.
std::string noCaseKey(std::string_view name);

} // namespace velmora::text

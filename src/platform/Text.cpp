#include "platform/Text.h"

#include "platform/CaseFold.h"
#include "platform/Utf8.h"

#include <array>

namespace velmora::text {

namespace {

// Code points of Windows-1251 bytes 0x80..0xBF; 0 marks the one unassigned byte (0x98).
// 0xC0..0xFF are U+0410..U+044F in order and need no table.
constexpr std::array<char32_t, 64> kCp1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // B8
};

using utf8::decodeAt;
using utf8::Decoded;

void appendUtf8(std::string& out, char32_t cp)
{
    char buf[4];
    out.append(buf, utf8::encode(cp, buf));
}

char toCp1251Byte(char32_t cp)
{
    if (cp < 0x80) return static_cast<char>(cp);
    if (cp >= 0x0410 && cp <= 0x044F) return static_cast<char>(0xC0 + (cp - 0x0410));
    for (std::size_t k = 0; k < kCp1251High.size(); ++k) {
        if (kCp1251High[k] == cp && cp != 0) return static_cast<char>(0x80 + k);
    }
    return '?';
}

// Byte offset of the character `count` characters into `s` (or its size).
std::size_t offsetOf(std::string_view s, std::size_t count)
{
    std::size_t i = 0;
    while (count > 0 && i < s.size()) {
        i += decodeAt(s, i).len;
        --count;
    }
    return i;
}

// Reads `s` as its upper-case form one byte at a time, without building it.
class UpperBytes {
public:
    explicit UpperBytes(std::string_view s) : m_s(s) {}
    bool atEnd() const { return m_next == m_end && m_i >= m_s.size(); }
    unsigned char next()
    {
        if (m_next < m_end) return static_cast<unsigned char>(m_folded[m_next++]);
        const auto c = static_cast<unsigned char>(m_s[m_i]);
        if (c < 0x80) {
            ++m_i;
            return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
        }
        const Decoded d = decodeAt(m_s, m_i);
        m_i += d.len;
        if (!d.valid) return c;
        m_end = utf8::encode(casefold::upper(d.cp), m_folded);
        m_next = 1;
        return static_cast<unsigned char>(m_folded[0]);
    }

private:
    std::string_view m_s;
    std::size_t m_i = 0;
    // The rest of the current character's folded bytes.
    char m_folded[4] = {};
    std::size_t m_next = 0;
    std::size_t m_end = 0;
};

} // namespace

std::string toCp1251(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const Decoded d = decodeAt(utf8, i);
        out += d.valid ? toCp1251Byte(d.cp) : '?';
        i += d.len;
    }
    return out;
}

std::string fromCp1251(std::string_view cp1251)
{
    std::string out;
    out.reserve(cp1251.size() * 2);
    for (char ch : cp1251) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0x80) {
            out += ch;
        } else if (b >= 0xC0) {
            appendUtf8(out, static_cast<char32_t>(0x0410 + (b - 0xC0)));
        } else {
            const char32_t cp = kCp1251High[b - 0x80];
            if (cp == 0)
                out += '?';
            else
                appendUtf8(out, cp);
        }
    }
    return out;
}

std::size_t length(std::string_view utf8)
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < utf8.size(); ++n) i += decodeAt(utf8, i).len;
    return n;
}

std::string left(std::string_view utf8, std::size_t count)
{
    return std::string(utf8.substr(0, offsetOf(utf8, count)));
}

std::string mid(std::string_view utf8, std::size_t start, std::size_t count)
{
    const std::size_t from = offsetOf(utf8, start);
    const std::string_view rest = utf8.substr(from);
    return std::string(rest.substr(0, offsetOf(rest, count)));
}

std::string toUpper(std::string_view utf8)
{
    std::string out(casefold::maxFoldedSize(utf8.size()), '\0');
    out.resize(casefold::toUpper(utf8, out.data()));
    return out;
}

std::string toLower(std::string_view utf8)
{
    std::string out(casefold::maxFoldedSize(utf8.size()), '\0');
    out.resize(casefold::toLower(utf8, out.data()));
    return out;
}

bool isValidUtf8(std::string_view bytes)
{
    for (std::size_t i = 0; i < bytes.size();) {
        const Decoded d = decodeAt(bytes, i);
        if (!d.valid) return false;
        i += d.len;
    }
    return true;
}

std::string toValidUtf8(std::string_view utf8)
{
    if (isValidUtf8(utf8)) return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const Decoded d = decodeAt(utf8, i);
        if (d.valid)
            out.append(utf8.substr(i, d.len));
        else
            out += '?';
        i += d.len;
    }
    return out;
}

int compareNoCase(std::string_view a, std::string_view b)
{
    // Valid UTF-8 sorts bytewise in code point order, so comparing the upper-case bytes
    // orders by upper-cased characters.
    UpperBytes ua(a), ub(b);
    while (!ua.atEnd() && !ub.atEnd()) {
        const unsigned char ca = ua.next(), cb = ub.next();
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (!ua.atEnd()) return 1;
    if (!ub.atEnd()) return -1;
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::string noCaseKey(std::string_view name)
{
    std::string key;
    key.reserve(name.size());
    for (UpperBytes u(name); !u.atEnd();) key.push_back(static_cast<char>(u.next()));
    return key;
}

bool equalNoCase(std::string_view a, std::string_view b)
{
    // Folding may change a character's byte length (ɐ, Ɐ), so lengths prove nothing.
    UpperBytes ua(a), ub(b);
    while (!ua.atEnd() && !ub.atEnd()) {
        if (ua.next() != ub.next()) return false;
    }
    return ua.atEnd() && ub.atEnd();
}

} // namespace velmora::text

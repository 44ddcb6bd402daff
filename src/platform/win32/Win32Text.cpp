#include "platform/win32/Win32Text.h"

#include "platform/Utf8.h"

#include <windows.h>

namespace velmora::win32 {

namespace {

bool isHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void put16(std::wstring& out, char32_t cp)
{
    if (cp < 0x10000) {
        out += static_cast<wchar_t>(cp);
    } else {
        cp -= 0x10000;
        out += static_cast<wchar_t>(0xD800 + (cp >> 10));
        out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
    }
}

} // namespace

std::wstring widen(std::string_view s)
{
    std::wstring out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const auto d = utf8::decodeAt(s, i);
        if (d.valid) {
            put16(out, d.cp);
            i += d.len;
            continue;
        }
        // A lone surrogate in its three-byte form: ED A0..BF 80..BF.
        const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
        if (b(0) == 0xED && i + 2 < s.size() && b(1) >= 0xA0 && b(1) <= 0xBF && utf8::isContinuation(b(2))) {
            out += static_cast<wchar_t>(0xD000 | ((b(1) & 0x3Fu) << 6) | (b(2) & 0x3Fu));
            i += 3;
            continue;
        }
        out += L'\xFFFD';
        ++i;
    }
    return out;
}

std::string narrow(std::wstring_view s)
{
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t cp = static_cast<char16_t>(s[i]);
        if (isHighSurrogate(cp) && i + 1 < s.size() && isLowSurrogate(static_cast<char16_t>(s[i + 1]))) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<char16_t>(s[i + 1]) - 0xDC00u);
            ++i;
        }
        if (isHighSurrogate(cp) || isLowSurrogate(cp)) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
            continue;
        }
        char buffer[4];
        out.append(buffer, utf8::encode(cp, buffer));
    }
    return out;
}

std::string errorText(unsigned long code)
{
    wchar_t* buffer = nullptr;
    const DWORD n =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = n && buffer ? std::wstring(buffer, n) : std::wstring();
    if (buffer) ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
    return narrow(text);
}

} // namespace velmora::win32

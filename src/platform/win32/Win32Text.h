#pragma once
// The program's UTF-8 texts and Windows' UTF-16 strings, each way (internal to the Windows host).
#include <string>
#include <string_view>

namespace velmora::win32 {

// UTF-8 to UTF-16. A UTF-16 surrogate written as three bytes (as `narrow` writes a lone one)
// becomes that surrogate again; any other invalid byte becomes U+FFFD.
std::wstring widen(std::string_view utf8);
// UTF-16 to UTF-8. A surrogate without its pair, which a Windows file name may hold, is
// written as the three bytes its code would take, so that `widen` gives the same name back.
std::string narrow(std::wstring_view utf16);

// The text of a Windows error code (GetLastError), without its line break; "" when the
// system has none.
std::string errorText(unsigned long code);

} // namespace velmora::win32

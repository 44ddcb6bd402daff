#pragma once
// The product's name as every window and message shows it.
#include <string_view>

namespace velmora {

inline constexpr std::string_view ProductName = "Velmora";
inline constexpr std::string_view ProductVersion = "2.2";
// The release as the package and --version name it; CMake refuses a project version that differs.
inline constexpr std::string_view ProductRelease = "2.2.0";
// The product's about line, shown as the main window's title.
inline constexpr std::string_view AboutLine = "Velmora 2.2 - Quorvik";
// Under a domain reserved for examples, so the address can never lead to somebody else's site.
inline constexpr std::string_view WebSite = "http://www.example.com/velmora/";
// The title of the program's messages.
inline constexpr std::string_view MessageTitle = ProductName;

} // namespace velmora

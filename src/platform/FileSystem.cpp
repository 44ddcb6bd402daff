#include "platform/FileSystem.h"

namespace velmora {

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Length of the drive part that a parent can never go above: "C:\" -> 3, "C:" -> 2, "\" -> 1.
std::size_t rootLength(std::string_view p)
{
    if (p.size() >= 2 && isLetter(p[0]) && p[1] == ':')
        return p.size() >= 3 && isSeparator(p[2]) ? 3 : 2;
    return !p.empty() && isSeparator(p[0]) ? 1 : 0;
}

} // namespace

std::string DriveInfo::boxText() const
{
    std::string s(1, letter);
    s += ": [";
    s += label;
    s += ']';
    return s;
}

namespace path {

std::string join(std::string_view folder, std::string_view name)
{
    std::string s(folder);
    if (!s.empty() && !isSeparator(s.back()))
        s += '\\';
    s += name;
    return s;
}

std::string parent(std::string_view p)
{
    const std::size_t keep = rootLength(p);
    std::size_t end = p.size();
    while (end > keep && isSeparator(p[end - 1]))
        --end;
    while (end > keep && !isSeparator(p[end - 1]))
        --end;
    // Drop the separator before the last name, but not the one that makes a root.
    while (end > keep && isSeparator(p[end - 1]))
        --end;
    return std::string(p.substr(0, end));
}

bool isRoot(std::string_view p)
{
    return p.size() == 3 && isLetter(p[0]) && p[1] == ':' && isSeparator(p[2]);
}

} // namespace path

} // namespace velmora

#include "platform/WindowsPath.h"

#include <utility>

namespace velmora::winpath {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

int driveIndex(char letter)
{
    if (!isLetter(letter)) return -1;
    return letter >= 'a' ? letter - 'a' : letter - 'A';
}

std::string rootText(int drive)
{
    std::string s(1, static_cast<char>('A' + drive));
    s += ":\\";
    return s;
}

bool hasDrive(std::string_view p) { return p.size() >= 2 && isLetter(p[0]) && p[1] == ':'; }

bool isDrivePath(std::string_view p) { return p.size() >= 3 && hasDrive(p) && isSeparator(p[2]); }

bool isNetworkPath(std::string_view p) { return p.size() >= 2 && isSeparator(p[0]) && isSeparator(p[1]); }

std::size_t rootLength(std::string_view p)
{
    if (hasDrive(p)) return isDrivePath(p) ? 3 : 2;
    return !p.empty() && isSeparator(p[0]) ? 1 : 0;
}

void appendParts(std::vector<std::string>& parts, std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && isSeparator(s[i])) ++i;
        std::size_t j = i;
        while (j < s.size() && !isSeparator(s[j])) ++j;
        const std::string_view part = s.substr(i, j - i);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.emplace_back(part);
        }
        i = j;
    }
}

std::string AbsolutePath::text() const
{
    if (drive < 0) return {};
    std::string s = prefix + "\\";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) s += '\\';
        s += parts[i];
    }
    return s;
}

CurrentFolders::CurrentFolders()
{
    for (int d = 0; d < 26; ++d) m_folders[static_cast<std::size_t>(d)] = rootText(d);
}

std::string CurrentFolders::folder(char letter) const
{
    const int d = driveIndex(letter);
    return d < 0 ? std::string() : folder(d);
}

std::optional<AbsolutePath> CurrentFolders::absolute(std::string_view path) const
{
    if (path.empty() || path.find('\0') != std::string_view::npos) return std::nullopt;
    AbsolutePath p;
    std::string_view rest = path;
    if (hasDrive(path)) {
        p.drive = driveIndex(path[0]);
        p.prefix = std::string(path.substr(0, 2));
        rest = path.substr(2);
    } else {
        if (isNetworkPath(path)) return std::nullopt;
        p.drive = m_drive;
        p.prefix = folder(m_drive).substr(0, 2);
    }
    if (rest.empty() || !isSeparator(rest[0])) appendParts(p.parts, std::string_view(folder(p.drive)).substr(2));
    appendParts(p.parts, rest);
    return p;
}

} // namespace velmora::winpath

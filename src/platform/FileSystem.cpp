#include "platform/FileSystem.h"

#include "platform/Text.h"
#include "platform/WindowsPath.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace velmora {

std::string DriveInfo::boxText() const
{
    std::string s(1, letter);
    s += ':';
    if (!label.empty()) s += " [" + label + "]";
    return s;
}

void sortByName(std::vector<DirEntry>& entries)
{
    std::vector<std::string> keys;
    keys.reserve(entries.size());
    for (const DirEntry& e : entries) keys.push_back(text::noCaseKey(e.name));
    std::vector<std::size_t> order(entries.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const int c = keys[a].compare(keys[b]);
        return c != 0 ? c < 0 : entries[a].name < entries[b].name;
    });
    std::vector<DirEntry> sorted;
    sorted.reserve(entries.size());
    for (std::size_t i : order) sorted.push_back(std::move(entries[i]));
    entries = std::move(sorted);
}

std::unique_ptr<Folder> FileSystem::openListed(const ListedFolder& listed) const
{
    auto folder = openFolder(listed.path);
    if (!folder || !(folder->id() == listed.id)) return nullptr;
    return folder;
}

std::optional<std::vector<DirEntry>> FileSystem::listFolders(std::string_view path, const ListOptions& options) const
{
    const auto folder = openFolder(path);
    return folder ? folder->listFolders(options) : std::nullopt;
}

std::optional<std::vector<DirEntry>> FileSystem::listFiles(std::string_view path, const ListOptions& options) const
{
    const auto folder = openFolder(path);
    return folder ? folder->listFiles(options) : std::nullopt;
}

std::optional<std::vector<DirEntry>> FileSystem::listEntries(std::string_view path) const
{
    const auto folder = openFolder(path);
    return folder ? folder->listEntries() : std::nullopt;
}

std::unique_ptr<FolderWatch> FileSystem::watch(std::string_view folder) const
{
    const auto opened = openFolder(folder);
    return opened ? opened->watch() : nullptr;
}

namespace path {

std::string join(std::string_view folder, std::string_view name)
{
    std::string s(folder);
    if (!s.empty() && !winpath::isSeparator(s.back())) s += '\\';
    s += name;
    return s;
}

std::string parent(std::string_view p)
{
    using winpath::isSeparator;
    const std::size_t keep = winpath::rootLength(p);
    std::size_t end = p.size();
    while (end > keep && isSeparator(p[end - 1])) --end;
    while (end > keep && !isSeparator(p[end - 1])) --end;
    // Drop the separator before the last name, but not the one that makes a root.
    while (end > keep && isSeparator(p[end - 1])) --end;
    return std::string(p.substr(0, end));
}

char driveLetter(std::string_view text)
{
    if (text.empty() || !winpath::isLetter(text[0])) return 0;
    return text[0] >= 'a' ? text[0] : static_cast<char>(text[0] - 'A' + 'a');
}

bool isRoot(std::string_view p) { return p.size() == 3 && winpath::isDrivePath(p); }

} // namespace path

} // namespace velmora

#pragma once
// What one read of a folder told, kept while the folder provably has not changed since
// (internal to the POSIX host).
#include "platform/FileSystem.h"
#include "platform/posix/HostDirectory.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::posixhost {

// Answers questions about a folder's entries from the last read of it, for as long as the
// folder provably has not changed: it is the same folder (device, inode, mount, file system)
// with the same modification and change times, and those times were older than the read by
// more than the clock's grain, on a file system whose folder times follow every entry made,
// removed or renamed. Start-up and a second folder tree then read a folder of 100,000 files
// once rather than once per question. A folder holding links is read afresh each time (where
// a link leads is no entry of the folder), and so is an encrypted one (its names change with
// its key) and anything else the rule cannot vouch for.
// One folder's entries and one big folder's names are kept. Not for several threads.
class FolderMemo {
public:
    // `grain`: how much older than the read the folder's times must be; tests pass less.
    explicit FolderMemo(std::chrono::nanoseconds grain = std::chrono::seconds(1)) : m_grain(grain) {}

    // The subfolders of the folder open on `dirFd`, as readFolder gives them with folders
    // only and no details; nothing when it cannot be read.
    std::optional<std::vector<DirEntry>> subfolders(int dirFd);
    // Its files matching `mask` (nullptr: all), as readFolder gives them with files only and
    // no details.
    std::optional<std::vector<DirEntry>> files(int dirFd, const MaskList* mask);
    // As posixhost::findNoCase.
    std::optional<std::string> findNoCase(int dirFd, std::string_view name);

private:
    struct Stamp {
        std::uint64_t device = 0, inode = 0, mount = 0, fileSystem = 0;
        std::int64_t modified = 0, changed = 0; // nanoseconds
        bool operator==(const Stamp&) const = default;
    };
    // The folder's stamp, and whether what is read of it from now on may be kept.
    struct Look {
        Stamp stamp;
        bool keepable = false;
    };
    std::optional<Look> look(int dirFd) const;

    // The entries kept for the folder open on `dirFd`, read now when they are not kept;
    // nullptr when they cannot be kept.
    const std::vector<DirEntry>* kept(int dirFd);

    struct Entries {
        Stamp stamp;
        std::vector<DirEntry> list; // files and folders, names and kinds, in name order
    };
    struct Index {
        Stamp stamp;
        NoCaseIndex names;
    };
    std::chrono::nanoseconds m_grain;
    std::optional<Entries> m_entries;
    std::optional<Index> m_index;
};

} // namespace velmora::posixhost

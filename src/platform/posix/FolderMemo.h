#pragma once
// What one read of a folder told, kept while the folder provably has not changed since
// (internal to the POSIX host).
#include "platform/FileSystem.h"
#include "platform/posix/HostDirectory.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::posixhost {

// Answers two questions about a folder from the last read of it, for as long as the folder
// provably has not changed: it is the same folder (device, inode) with the same modification
// and change times, and those times were older than the read by more than the clock's grain,
// on a file system whose folder times follow every entry made, removed or renamed. Start-up
// and a second folder tree then read a folder of 100,000 files once rather than once per
// question. Anything else is read afresh. One folder is kept for each question.
class FolderMemo {
public:
    // The subfolders of the folder open on `dirFd`, as readFolder gives them with folders
    // only and no details; nothing when it cannot be read.
    std::optional<std::vector<DirEntry>> subfolders(int dirFd);
    // As posixhost::findNoCase.
    std::optional<std::string> findNoCase(int dirFd, std::string_view name);

private:
    struct Stamp {
        std::uint64_t device = 0, inode = 0;
        std::int64_t modified = 0, changed = 0; // nanoseconds
        bool operator==(const Stamp&) const = default;
    };
    // The folder's stamp, and whether what is read of it from now on may be kept.
    struct Look {
        Stamp stamp;
        bool keepable = false;
    };
    static std::optional<Look> look(int dirFd);

    struct Subfolders {
        Stamp stamp;
        std::vector<DirEntry> list;
    };
    struct Index {
        Stamp stamp;
        NoCaseIndex names;
    };
    std::optional<Subfolders> m_subfolders;
    std::optional<Index> m_index;
};

} // namespace velmora::posixhost

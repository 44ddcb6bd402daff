#pragma once
// A host folder's entries in the program's name space: reading them, finding one without
// regard to case, and their attributes (internal to the POSIX host).
#include "platform/FileSystem.h"

#include <sys/stat.h>

#include <fcntl.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace velmora::posixhost {

// Opens a folder to read its entries.
constexpr int kReadDirFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

// What one read of a folder keeps.
struct ReadWhat {
    bool files = true;
    bool folders = true;
    bool linkedFolders = true; // links to folders count as folders (a walk never wants them)
    bool details = true;
    const MaskList* mask = nullptr;
};

// The entries of the folder open on `dirFd` (opened for reading; read from its start), named
// in the program's name space, in name order; nothing when reading fails part way. Devices,
// pipes and sockets are never listed; a link to a folder lists as a folder, any other link (a
// broken or looping one too) as a file; both carry attr::ReparsePoint.
std::optional<std::vector<DirEntry>> readFolder(int dirFd, const ReadWhat& what);

// The program names of every entry of the folder open on `dirFd` but "." and "..", in the
// host's order, without looking at any; nothing when reading fails part way.
std::optional<std::vector<std::string>> readNames(int dirFd);

// The host name of the entry of `dirFd` whose program name equals `name` without regard to
// case; among several, the bytewise smallest, so the choice does not depend on the
// directory's hash order. Nothing when none matches or the folder cannot be read.
std::optional<std::string> findNoCase(int dirFd, std::string_view name);

// Every entry's host name by its program name's upper-case form (text::noCaseKey), so that
// findNoCase's answer for a name is the host name kept under that name's key: among names
// sharing a key, the bytewise smallest. Nothing when the folder cannot be read whole.
using NoCaseIndex = std::unordered_map<std::string, std::string>;
std::optional<NoCaseIndex> noCaseIndex(int dirFd);

// The attr:: bits of an entry named `name` (program name): a folder or a file, a link, hidden
// when the name starts with "."; read-only when `own` (its own stat, nullptr when not read)
// has no owner write bit and it is no link.
std::uint32_t attributesFor(std::string_view name, bool folder, bool link, const struct stat* own);

// A plain file without its owner write bit: one that Windows calls read-only.
inline bool isReadOnlyFile(const struct stat& st) { return S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0; }

} // namespace velmora::posixhost

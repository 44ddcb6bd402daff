#pragma once
// Entries of an open folder reached through the folder's handle, never through a path
// (internal to the Windows host): the native calls that CreateFileW has no form for.
#include "platform/win32/Handle.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace velmora::win32 {

// One entry as a folder read gives it.
struct RawEntry {
    std::wstring_view name;
    std::uint32_t attributes = 0; // FILE_ATTRIBUTE_*
    std::uint32_t reparseTag = 0; // when FILE_ATTRIBUTE_REPARSE_POINT is set
    std::int64_t size = 0;
    std::int64_t lastWrite = 0; // FILETIME units
    std::int64_t change = 0;    // FILETIME units
    std::uint64_t fileId = 0;
};

// True for a link that leads somewhere else: a symbolic link, a junction or a volume mount
// point (what Windows calls a name surrogate). Other reparse points (cloud and
// deduplicated files) are the entries they stand for.
bool isLinkEntry(std::uint32_t attributes, std::uint32_t reparseTag);

// Opens the entry `name` of the folder open on `folder`, exactly that entry: no path is
// parsed, and with FILE_OPEN_REPARSE_POINT among `options` no link is followed. The handle
// is synchronous; `status` (when given) receives the NTSTATUS.
Handle openRelative(HANDLE folder, std::wstring_view name, ACCESS_MASK access, ULONG options, long* status = nullptr);

// A second handle on the folder open on `folder` (for a search of its own or a watch):
// synchronous unless `overlapped`.
Handle reopenFolder(HANDLE folder, bool overlapped);

// Calls `onEntry` for every entry of the folder open on `folder` (read from the start) but
// "." and "..", or only for the one whose name equals `only` without regard to case when it
// is not empty. False when the read failed part way; true (with no call) when nothing matches.
bool readFolder(HANDLE folder, std::wstring_view only, const std::function<void(const RawEntry&)>& onEntry);

// The last component of the name the system keeps for the open entry: its exact spelling.
std::wstring entryName(HANDLE entry);

// A Win32 error code for an NTSTATUS.
unsigned long dosError(long status);

} // namespace velmora::win32

#include "platform/win32/Win32Folder.h"

#include "platform/Text.h"
#include "platform/Wildcard.h"
#include "platform/win32/NtFile.h"
#include "platform/win32/Win32FolderWatch.h"
#include "platform/win32/Win32Text.h"

#include <windows.h>

#include <winternl.h>

namespace velmora::win32 {

namespace {

// The attributes a program may set; the others are the system's.
constexpr std::uint32_t kSettable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                    FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                    FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// The attribute bits the program knows.
constexpr std::uint32_t kKnown =
    attr::ReadOnly | attr::Hidden | attr::System | attr::Directory | attr::Archive | attr::Normal;

bool idOf(HANDLE h, FolderId& id, DWORD* attributes = nullptr)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info)) return false;
    id.device = info.dwVolumeSerialNumber;
    id.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    id.mount = info.dwVolumeSerialNumber;
    if (attributes) *attributes = info.dwFileAttributes;
    return true;
}

// The attributes and reparse tag of an open entry.
bool tagOf(HANDLE h, FILE_ATTRIBUTE_TAG_INFO& info)
{
    return ::GetFileInformationByHandleEx(h, FileAttributeTagInfo, &info, sizeof info) != FALSE;
}

// Marks the open entry for deletion; true when it is gone or goes when its handle closes.
bool deleteOnClose(HANDLE h)
{
    // Gone from its folder at once where the system can (Windows 10 and later), even while
    // another program still has it open. The class and its flags, as Windows 10 names them:
    // FileDispositionInfoEx, FILE_DISPOSITION_FLAG_DELETE | FILE_DISPOSITION_FLAG_POSIX_SEMANTICS.
    constexpr auto kDispositionEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
    DWORD now = 0x1 | 0x2;
    if (::SetFileInformationByHandle(h, kDispositionEx, &now, sizeof now)) return true;
    FILE_DISPOSITION_INFO later{};
    later.DeleteFile = TRUE;
    return ::SetFileInformationByHandle(h, FileDispositionInfo, &later, sizeof later) != FALSE;
}

} // namespace

std::uint32_t programAttributes(std::uint32_t attributes, std::uint32_t reparseTag)
{
    std::uint32_t a = attributes & kKnown;
    if (isLinkEntry(attributes, reparseTag)) a |= attr::ReparsePoint;
    return a;
}

DateTime localDateTime(std::int64_t fileTime)
{
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(fileTime & 0xFFFFFFFF);
    ft.dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(fileTime) >> 32);
    SYSTEMTIME utc{}, local{};
    // The local time at that date, by the rules of daylight saving time then in force.
    if (!::FileTimeToSystemTime(&ft, &utc) || !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) return {};
    return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
}

std::unique_ptr<Win32Folder> Win32Folder::adopt(Handle handle, std::wstring hostPath)
{
    FolderId id;
    DWORD attributes = 0;
    if (!handle || !idOf(handle.get(), id, &attributes) || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return nullptr;
    return std::unique_ptr<Win32Folder>(new Win32Folder(std::move(handle), id, std::move(hostPath)));
}

std::optional<std::vector<DirEntry>> Win32Folder::read(const ReadWhat& what) const
{
    std::vector<DirEntry> out;
    const bool complete = readFolder(handle(), [&](const RawEntry& e) {
        const bool folder = (e.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const bool link = isLinkEntry(e.attributes, e.reparseTag);
        if (folder ? !what.folders || (link && !what.linkedFolders) : !what.files) return;
        std::string name = narrow(e.name);
        if (!folder && what.mask && !what.mask->matches(name)) return;
        DirEntry entry;
        entry.name = std::move(name);
        entry.attributes = programAttributes(e.attributes, e.reparseTag);
        entry.size = folder ? 0 : e.size;
        out.push_back(std::move(entry));
    });
    if (!complete) return std::nullopt;
    sortByName(out);
    return out;
}

std::optional<std::vector<DirEntry>> Win32Folder::listFiles(const ListOptions& options) const
{
    return read({.folders = false, .mask = options.mask});
}

std::optional<std::vector<DirEntry>> Win32Folder::listFolders(const ListOptions&) const
{
    return read({.files = false});
}

std::optional<std::vector<DirEntry>> Win32Folder::listEntries() const { return read(ReadWhat{}); }

std::optional<std::vector<std::string>> Win32Folder::names() const
{
    std::vector<std::string> out;
    if (!readFolder(handle(), [&](const RawEntry& e) { out.push_back(narrow(e.name)); })) return std::nullopt;
    return out;
}

std::optional<RawEntry> Win32Folder::find(std::wstring_view name, bool* readable, bool changeTime) const
{
    if (readable) *readable = true;
    // No entry is called so: a separator, a stream's colon or a pattern would reach others.
    if (name.empty() || name == L"." || name == L".." ||
        name.find_first_of(std::wstring_view(L"\\/:*?\"<>|\0", 10)) != std::wstring_view::npos)
        return std::nullopt;
    // The entry itself, looked at through a handle that asks only for its attributes: no
    // other program's sharing stands in the way, and no link is followed.
    long status = 0;
    const Handle h = openRelative(handle(), name, FILE_READ_ATTRIBUTES, FILE_OPEN_REPARSE_POINT, &status);
    if (!h) {
        if (readable) *readable = isAbsent(status);
        return std::nullopt;
    }
    // Opened without regard to case: only the entry spelt exactly so counts.
    BY_HANDLE_FILE_INFORMATION info{};
    if (entryName(h.get()) != name || !::GetFileInformationByHandle(h.get(), &info)) return std::nullopt;
    RawEntry e;
    e.attributes = info.dwFileAttributes;
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && tagOf(h.get(), tag)) e.reparseTag = tag.ReparseTag;
    e.size = static_cast<std::int64_t>((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    const auto whole = [](const FILETIME& t) {
        return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    };
    e.lastWrite = whole(info.ftLastWriteTime);
    e.fileId = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    FILE_BASIC_INFO basic{};
    if (changeTime && ::GetFileInformationByHandleEx(h.get(), FileBasicInfo, &basic, sizeof basic))
        e.change = basic.ChangeTime.QuadPart;
    return e;
}

Handle Win32Folder::openEntry(std::wstring_view name, ACCESS_MASK access, unsigned long options) const
{
    Handle h = openRelative(handle(), name, access | FILE_READ_ATTRIBUTES, options | FILE_OPEN_REPARSE_POINT);
    // Opened without regard to case: only the entry spelt exactly so is acted on.
    if (h && entryName(h.get()) != name) return {};
    return h;
}

std::optional<std::int64_t> Win32Folder::size(std::string_view name) const
{
    const auto e = find(widen(name));
    if (!e) return std::nullopt;
    return (e->attributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : e->size;
}

std::optional<DateTime> Win32Folder::modificationTime(std::string_view name) const
{
    const auto e = find(widen(name));
    if (!e) return std::nullopt;
    return localDateTime(e->lastWrite);
}

std::optional<FileStamp> Win32Folder::stamp(std::string_view name) const
{
    const auto e = find(widen(name), nullptr, true);
    if (!e) return std::nullopt;
    return FileStamp{m_id.device, e->fileId, e->size, e->lastWrite * 100, e->change * 100};
}

std::optional<bool> Win32Folder::contains(std::string_view name) const
{
    bool readable = true;
    const auto e = find(widen(name), &readable);
    if (e) return true;
    if (!readable) return std::nullopt;
    return false;
}

std::optional<std::uint32_t> Win32Folder::attributes(std::string_view name) const
{
    const auto e = find(widen(name));
    if (!e) return std::nullopt;
    return programAttributes(e->attributes, e->reparseTag);
}

// 0 clears every attribute the program may set, as SetFileAttributes(0) does.
bool Win32Folder::setAttributes(std::string_view name, std::uint32_t attributes)
{
    const Handle h = openEntry(widen(name), FILE_WRITE_ATTRIBUTES, 0);
    if (!h) return false;
    FILE_BASIC_INFO info{};
    if (!::GetFileInformationByHandleEx(h.get(), FileBasicInfo, &info, sizeof info)) return false;
    const DWORD wanted = (info.FileAttributes & ~kSettable) | (attributes & kSettable);
    if (wanted == info.FileAttributes) return true;
    FILE_BASIC_INFO change{}; // times of 0 stay as they are
    // No bit at all would mean "leave them": NORMAL is how a file says it has none.
    change.FileAttributes = wanted ? wanted : FILE_ATTRIBUTE_NORMAL;
    if (!::SetFileInformationByHandle(h.get(), FileBasicInfo, &change, sizeof change)) return false;
    // The bits the program asks about; a system may keep the archive bit to itself (Wine does).
    constexpr std::uint32_t kAsked = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    FILE_BASIC_INFO now{};
    return ::GetFileInformationByHandleEx(h.get(), FileBasicInfo, &now, sizeof now) &&
           (now.FileAttributes & kAsked) == (attributes & kAsked);
}

// As Windows does, a read-only file stays: clear its attributes first.
bool Win32Folder::remove(std::string_view name)
{
    const std::wstring wide = widen(name);
    Handle h = openEntry(wide, DELETE, 0);
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!h || !tagOf(h.get(), tag)) return false;
    // A file or a link (to a file or a folder): never a real folder.
    const bool link = isLinkEntry(tag.FileAttributes, tag.ReparseTag);
    if ((tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !link) return false;
    if (tag.FileAttributes & FILE_ATTRIBUTE_READONLY) return false;
    if (!deleteOnClose(h.get())) return false;
    h.reset();
    // Where the name stays until every handle on the file is closed (before Windows 10, Wine),
    // a program that holds the file open keeps it there: not removed yet. A look that holds it
    // only for a moment, as the file list's size reader does, must not count as such: so the
    // name is given a few milliseconds to go.
    for (int look = 0; find(wide).has_value(); ++look) {
        if (look == 4) return false;
        ::Sleep(1);
    }
    return true;
}

int Win32Folder::removeMatching(const MaskList& masks)
{
    const auto files = read({.folders = false, .linkedFolders = false, .mask = &masks});
    int count = 0;
    if (files) {
        for (const DirEntry& file : *files) count += remove(file.name) ? 1 : 0;
    }
    return count;
}

bool Win32Folder::removeFolder(std::string_view name)
{
    const std::wstring wide = widen(name);
    Handle h = openEntry(wide, DELETE, FILE_DIRECTORY_FILE);
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!h || !tagOf(h.get(), tag) || isLinkEntry(tag.FileAttributes, tag.ReparseTag)) return false;
    // A folder that is not empty stays. An empty one that another handle still holds (a
    // walk's own, at its Leave) goes when that handle closes; nothing can be made in it meanwhile.
    return deleteOnClose(h.get());
}

std::unique_ptr<Folder> Win32Folder::openSubfolder(std::string_view name, NameMatch match) const
{
    return openPlain(name, match);
}

std::unique_ptr<Win32Folder> Win32Folder::openPlain(std::string_view name, NameMatch match, bool* refused) const
{
    if (refused) *refused = false;
    // A name gone, or a file now, is no folder the system refused.
    const auto tell = [refused](long status) {
        constexpr unsigned long NotADirectory = 0xC0000103ul; // STATUS_NOT_A_DIRECTORY
        if (refused) *refused = !isAbsent(status) && static_cast<unsigned long>(status) != NotADirectory;
    };
    const std::wstring wide = widen(name);
    const ACCESS_MASK access = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES;
    long status = 0;
    Handle h = openRelative(handle(), wide, access, FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, &status);
    if (!h) {
        tell(status);
        return nullptr;
    }
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!tagOf(h.get(), tag) || isLinkEntry(tag.FileAttributes, tag.ReparseTag)) return nullptr;
    std::wstring spelt = match == NameMatch::Exact ? wide : entryName(h.get());
    if (match == NameMatch::Exact && entryName(h.get()) != wide) return nullptr;
    // A folder that stands for something else (a cloud placeholder) is entered as what it is.
    if (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        h = openRelative(handle(), spelt, access, FILE_DIRECTORY_FILE, &status);
        if (!h) {
            tell(status);
            return nullptr;
        }
    }
    std::wstring path = m_hostPath;
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    path += spelt;
    auto sub = adopt(std::move(h), std::move(path));
    // Never into another volume: a mount point is a link, but a volume may be reached otherwise.
    if (!sub || sub->m_id.device != m_id.device) return nullptr;
    return sub;
}

std::unique_ptr<FolderWatch> Win32Folder::watch() const { return Win32FolderWatch::open(handle(), m_hostPath, m_id); }

} // namespace velmora::win32

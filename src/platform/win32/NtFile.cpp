#include "platform/win32/NtFile.h"

#include <winternl.h>

#include <vector>

extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE FileHandle, HANDLE Event, PIO_APC_ROUTINE ApcRoutine,
                                               PVOID ApcContext, PIO_STATUS_BLOCK IoStatusBlock, PVOID FileInformation,
                                               ULONG Length, FILE_INFORMATION_CLASS FileInformationClass,
                                               BOOLEAN ReturnSingleEntry, PUNICODE_STRING FileName,
                                               BOOLEAN RestartScan);

namespace velmora::win32 {

namespace {

constexpr NTSTATUS kNoMoreFiles = static_cast<NTSTATUS>(0x80000006L);
constexpr NTSTATUS kNoSuchFile = static_cast<NTSTATUS>(0xC000000FL);
constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::int64_t whole(const LARGE_INTEGER& v) { return v.QuadPart; }

Handle open(HANDLE root, std::wstring_view name, ACCESS_MASK access, ULONG options, long* status)
{
    UNICODE_STRING text;
    text.Buffer = const_cast<wchar_t*>(name.data());
    text.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    text.MaximumLength = text.Length;
    OBJECT_ATTRIBUTES attributes;
    // Case-insensitive as Windows names are; callers that need the exact spelling check it.
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, root, nullptr);
    IO_STATUS_BLOCK io{};
    HANDLE h = nullptr;
    const NTSTATUS result =
        ::NtCreateFile(&h, access, &attributes, &io, nullptr, 0, kShareAll, FILE_OPEN, options, nullptr, 0);
    if (status) *status = result;
    if (!NT_SUCCESS(result)) {
        ::SetLastError(::RtlNtStatusToDosError(result));
        return {};
    }
    return Handle(h);
}

} // namespace

bool isLinkEntry(std::uint32_t attributes, std::uint32_t reparseTag)
{
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(reparseTag);
}

Handle openRelative(HANDLE folder, std::wstring_view name, ACCESS_MASK access, ULONG options, long* status)
{
    // A name holding a separator or a stream's colon would reach some other entry.
    if (name.empty() || name == L"." || name == L".." ||
        name.find_first_of(std::wstring_view(L"\\/:\0", 4)) != std::wstring_view::npos || name.size() > 32767) {
        if (status) *status = static_cast<long>(kNoSuchFile);
        ::SetLastError(ERROR_INVALID_NAME);
        return {};
    }
    return open(folder, name, access | SYNCHRONIZE, options | FILE_SYNCHRONOUS_IO_NONALERT, status);
}

Handle reopenFolder(HANDLE folder, bool overlapped)
{
    return open(folder, {}, FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                FILE_DIRECTORY_FILE | (overlapped ? 0 : FILE_SYNCHRONOUS_IO_NONALERT), nullptr);
}

bool readFolder(HANDLE folder, std::wstring_view only, const std::function<void(const RawEntry&)>& onEntry)
{
    // A search for one name needs a handle of its own: the first search on a handle fixes
    // its pattern for good.
    Handle own;
    if (!only.empty()) {
        own = reopenFolder(folder, false);
        if (!own) return false;
        folder = own.get();
    }
    UNICODE_STRING pattern;
    pattern.Buffer = const_cast<wchar_t*>(only.data());
    pattern.Length = static_cast<USHORT>(only.size() * sizeof(wchar_t));
    pattern.MaximumLength = pattern.Length;

    std::vector<LONGLONG> buffer(64 * 1024 / sizeof(LONGLONG)); // aligned as the entries need
    for (bool first = true;; first = false) {
        IO_STATUS_BLOCK io{};
        const NTSTATUS status = ::NtQueryDirectoryFile(
            folder, nullptr, nullptr, nullptr, &io, buffer.data(), static_cast<ULONG>(buffer.size() * sizeof(LONGLONG)),
            static_cast<FILE_INFORMATION_CLASS>(37 /* FileIdBothDirectoryInformation */), FALSE,
            only.empty() ? nullptr : &pattern, first ? TRUE : FALSE);
        if (status == kNoMoreFiles || (status == kNoSuchFile && !only.empty())) return true;
        if (!NT_SUCCESS(status)) {
            ::SetLastError(::RtlNtStatusToDosError(status));
            return false;
        }
        const auto* bytes = reinterpret_cast<const char*>(buffer.data());
        for (std::size_t offset = 0;;) {
            const auto* e = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(bytes + offset);
            const std::wstring_view name(e->FileName, e->FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..") {
                RawEntry entry;
                entry.name = name;
                entry.attributes = e->FileAttributes;
                entry.reparseTag = (e->FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? e->EaSize : 0;
                entry.size = whole(e->EndOfFile);
                entry.lastWrite = whole(e->LastWriteTime);
                entry.change = whole(e->ChangeTime);
                entry.fileId = static_cast<std::uint64_t>(whole(e->FileId));
                onEntry(entry);
            }
            if (e->NextEntryOffset == 0) break;
            offset += e->NextEntryOffset;
        }
    }
}

std::wstring entryName(HANDLE entry)
{
    std::vector<LONGLONG> buffer((sizeof(FILE_NAME_INFO) + 32768 * sizeof(wchar_t)) / sizeof(LONGLONG) + 1);
    auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
    if (!::GetFileInformationByHandleEx(entry, FileNameInfo, info,
                                        static_cast<DWORD>(buffer.size() * sizeof(LONGLONG))))
        return {};
    std::wstring_view full(info->FileName, info->FileNameLength / sizeof(wchar_t));
    const std::size_t slash = full.find_last_of(L'\\');
    return std::wstring(slash == std::wstring_view::npos ? full : full.substr(slash + 1));
}

unsigned long dosError(long status) { return ::RtlNtStatusToDosError(static_cast<NTSTATUS>(status)); }

} // namespace velmora::win32

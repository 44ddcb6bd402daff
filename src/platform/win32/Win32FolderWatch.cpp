#include "platform/win32/Win32FolderWatch.h"

#include "platform/win32/NtFile.h"
#include "platform/win32/Win32Text.h"

#include <algorithm>

namespace velmora::win32 {

namespace {

constexpr DWORD kWatchFilter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                               FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;

constexpr std::size_t kMostNames = 4096;
constexpr std::size_t kBufferBytes = 64 * 1024; // the most a network folder allows

} // namespace

std::unique_ptr<FolderWatch> Win32FolderWatch::open(HANDLE folder, std::wstring hostPath, const FolderId& id)
{
    Handle overlapped = reopenFolder(folder, true);
    if (!overlapped) return nullptr;
    std::unique_ptr<Win32FolderWatch> watch(new Win32FolderWatch(std::move(overlapped), std::move(hostPath), id));
    if (!watch->m_event || !watch->startRead()) return nullptr;
    return watch;
}

Win32FolderWatch::Win32FolderWatch(Handle folder, std::wstring hostPath, const FolderId& id)
    : m_folder(std::move(folder)), m_event(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_buffer(kBufferBytes / sizeof(DWORD)), m_hostPath(std::move(hostPath)), m_id(id)
{}

Win32FolderWatch::~Win32FolderWatch()
{
    // The system writes into the buffer until the read is over.
    if (m_pending && ::CancelIoEx(m_folder.get(), &m_overlapped)) {
        DWORD bytes = 0;
        ::GetOverlappedResult(m_folder.get(), &m_overlapped, &bytes, TRUE);
    }
}

bool Win32FolderWatch::startRead()
{
    m_overlapped = OVERLAPPED{};
    m_overlapped.hEvent = m_event.get();
    m_pending = ::ReadDirectoryChangesW(m_folder.get(), m_buffer.data(), kBufferBytes, FALSE, kWatchFilter, nullptr,
                                        &m_overlapped, nullptr) != FALSE;
    return m_pending;
}

bool Win32FolderWatch::stillThere() const
{
    if (m_hostPath.empty()) return true;
    const Handle now(::CreateFileW(m_hostPath.c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    return now && ::GetFileInformationByHandle(now.get(), &info) && info.dwVolumeSerialNumber == m_id.device &&
           ((static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow) == m_id.inode;
}

std::optional<std::vector<std::string>> Win32FolderWatch::poll()
{
    if (m_gone) return std::nullopt;
    std::vector<std::string> names;
    bool overflow = false;
    // Each finished read is taken and the next started, until one is still pending.
    for (int reads = 0; reads < 256 && m_pending; ++reads) {
        DWORD bytes = 0;
        if (!::GetOverlappedResult(m_folder.get(), &m_overlapped, &bytes, FALSE)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_IO_INCOMPLETE) break;
            m_pending = false;
            if (error == ERROR_NOTIFY_ENUM_DIR) {
                overflow = true;
                startRead();
                continue;
            }
            m_gone = true; // the folder was removed, or the watch failed for good
            break;
        }
        m_pending = false;
        if (bytes == 0) {
            overflow = true; // more changes than the buffer holds
        } else {
            const auto* base = reinterpret_cast<const char*>(m_buffer.data());
            for (std::size_t offset = 0;;) {
                const auto* record = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(base + offset);
                if (names.size() < kMostNames)
                    names.push_back(
                        narrow(std::wstring_view(record->FileName, record->FileNameLength / sizeof(wchar_t))));
                else
                    overflow = true;
                if (record->NextEntryOffset == 0) break;
                offset += record->NextEntryOffset;
            }
        }
        if (!startRead()) m_gone = true;
    }
    if (m_pending && !m_gone && !stillThere()) m_gone = true;
    if (m_gone || overflow) return std::nullopt;
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

} // namespace velmora::win32

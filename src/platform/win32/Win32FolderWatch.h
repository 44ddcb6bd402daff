#pragma once
// A folder's changes as ReadDirectoryChangesW reports them (internal to the Windows host).
#include "platform/FileSystem.h"
#include "platform/win32/Handle.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velmora::win32 {

// One overlapped read of the folder's changes is always pending; a poll takes what the
// finished reads hold without waiting (GetOverlappedResult without wait) and starts the next.
class Win32FolderWatch final : public FolderWatch {
public:
    // A watch on the folder open on `folder`, taken on that folder itself; `hostPath` is
    // where it was found and `id` who it was. Nothing when the host cannot watch it.
    static std::unique_ptr<FolderWatch> open(HANDLE folder, std::wstring hostPath, const FolderId& id);
    ~Win32FolderWatch() override;
    Win32FolderWatch(const Win32FolderWatch&) = delete;
    Win32FolderWatch& operator=(const Win32FolderWatch&) = delete;

    // Names sorted and once each; nothing once the folder went or moved (it is no longer at
    // its path), after the system's buffer overflowed, or past a few thousand names.
    std::optional<std::vector<std::string>> poll() override;

private:
    Win32FolderWatch(Handle folder, std::wstring hostPath, const FolderId& id);
    bool startRead();
    bool stillThere() const;

    Handle m_folder; // overlapped
    Handle m_event;
    OVERLAPPED m_overlapped{};
    std::vector<DWORD> m_buffer; // DWORD-aligned, as the records need
    std::wstring m_hostPath;
    FolderId m_id;
    bool m_pending = false;
    bool m_gone = false;
};

} // namespace velmora::win32

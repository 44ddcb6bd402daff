#pragma once
// A folder held open by its handle, acting on its entries by their exact names (internal to
// the Windows host).
#include "platform/FileSystem.h"
#include "platform/win32/Handle.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::win32 {

struct RawEntry;

// What one read of a folder keeps.
struct ReadWhat {
    bool files = true;
    bool folders = true;
    bool linkedFolders = true; // links to folders count as folders (a walk never wants them)
    const MaskList* mask = nullptr;
};

class Win32Folder final : public Folder {
public:
    // The folder open on `handle`, which it then owns; `hostPath` is where it was found, for
    // its watch to tell whether it is still there. Nothing when `handle` is not open or is no
    // folder.
    static std::unique_ptr<Win32Folder> adopt(Handle handle, std::wstring hostPath);

    HANDLE handle() const { return m_handle.get(); }
    FolderId id() const override { return m_id; }

    std::optional<std::vector<DirEntry>> listFiles(const ListOptions& options) const override;
    std::optional<std::vector<DirEntry>> listFolders(const ListOptions& options) const override;
    std::optional<std::vector<DirEntry>> listEntries() const override;
    std::optional<std::vector<std::string>> names() const override;
    // The entries of this folder in name order; nothing when reading failed part way.
    std::optional<std::vector<DirEntry>> read(const ReadWhat& what) const;

    std::optional<std::int64_t> size(std::string_view name) const override;
    std::optional<DateTime> modificationTime(std::string_view name) const override;
    std::optional<FileStamp> stamp(std::string_view name) const override;
    std::optional<bool> contains(std::string_view name) const override;
    std::optional<std::uint32_t> attributes(std::string_view name) const override;
    bool setAttributes(std::string_view name, std::uint32_t attributes) override;
    bool remove(std::string_view name) override;
    int removeMatching(const MaskList& masks) override;
    bool removeFolder(std::string_view name) override;

    std::unique_ptr<Folder> openSubfolder(std::string_view name, NameMatch match) const override;
    // openSubfolder as this class, for the walk. On failure `refused` (when given) tells
    // whether the system refused a folder that is there (access denied, an I/O error), rather
    // than the name being gone, a link or on another volume.
    std::unique_ptr<Win32Folder> openPlain(std::string_view name, NameMatch match = NameMatch::Exact,
                                           bool* refused = nullptr) const;

    // Defined with the walk's own helpers, in Win32Walk.cpp.
    bool walk(const std::string& path, const MaskList* files, const WalkCallback& callback) override;

    std::unique_ptr<FolderWatch> watch() const override;

private:
    Win32Folder(Handle handle, const FolderId& id, std::wstring hostPath)
        : m_handle(std::move(handle)), m_id(id), m_hostPath(std::move(hostPath))
    {}
    // The entry of exactly this name (its name left empty; its change time only when asked);
    // nothing when there is none, or when it cannot be looked at (`readable` then false).
    std::optional<RawEntry> find(std::wstring_view name, bool* readable = nullptr, bool changeTime = false) const;
    // Opens the entry of exactly this name itself (a link, not its target).
    Handle openEntry(std::wstring_view name, ACCESS_MASK access, unsigned long options) const;

    Handle m_handle;
    FolderId m_id;
    std::wstring m_hostPath;
};

// The attr:: bits of an entry: its own attributes, the link bit only for links.
std::uint32_t programAttributes(std::uint32_t attributes, std::uint32_t reparseTag);

// The local calendar time of a FILETIME count.
DateTime localDateTime(std::int64_t fileTime);

} // namespace velmora::win32

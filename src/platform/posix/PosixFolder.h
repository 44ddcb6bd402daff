#pragma once
// A host folder held open by its descriptor, acting on its entries by their exact names
// (internal to the POSIX host).
#include "platform/FileSystem.h"
#include "platform/posix/Fd.h"
#include "platform/posix/InUse.h"

#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::posixhost {

class FolderMemo;

// A folder opened on the host, acting on its entries by their exact names.
class PosixFolder final : public Folder {
public:
    PosixFolder(Fd fd, const FolderId& id, std::shared_ptr<FolderMemo> memo = nullptr)
        : m_fd(std::move(fd)), m_id(id), m_memo(std::move(memo))
    {}

    // The folder open on `fd`, which it then owns; nothing when `fd` is not open or cannot
    // be looked at. Listings without details and names found without regard to case are
    // answered through `memo` when one is given.
    static std::unique_ptr<PosixFolder> adopt(Fd fd, std::shared_ptr<FolderMemo> memo = nullptr);

    // The descriptor, owned by this folder.
    int fd() const { return m_fd.get(); }
    FolderId id() const override { return m_id; }

    std::optional<std::vector<DirEntry>> listFiles(const ListOptions& options) const override;
    std::optional<std::vector<DirEntry>> listFolders(const ListOptions& options) const override;
    std::optional<std::vector<DirEntry>> listEntries() const override;
    std::optional<std::vector<std::string>> names() const override;

    std::optional<std::int64_t> size(std::string_view name) const override;
    std::optional<DateTime> modificationTime(std::string_view name) const override;
    std::optional<FileStamp> stamp(std::string_view name) const override;
    std::optional<bool> contains(std::string_view name) const override;
    std::optional<std::uint32_t> attributes(std::string_view name) const override;
    bool setAttributes(std::string_view name, std::uint32_t attributes) override;
    bool remove(std::string_view name) override;
    void prepareRemoval(const std::vector<std::string>& names) override;
    int removeMatching(const MaskList& masks) override;
    bool removeFolder(std::string_view name) override;

    std::unique_ptr<Folder> openSubfolder(std::string_view name, NameMatch match) const override;
    // openSubfolder as this class, for the walk to keep descriptors and ids at hand. On failure
    // `refused` (when given) tells whether the host refused a folder that is there (no right
    // to open it, an I/O error), rather than the name being gone, a link or another mount.
    std::unique_ptr<PosixFolder> openPlain(std::string_view name, NameMatch match = NameMatch::Exact,
                                           bool* refused = nullptr) const;

    // Defined with the walk's own helpers, in PosixWalk.cpp.
    bool walk(const std::string& path, const MaskList* files, const WalkCallback& callback) override;

    std::unique_ptr<FolderWatch> watch() const override;
    bool ownersOnly() const override;

private:
    // The entry's own stat (a link's, not its target's); false when `name` is no entry name
    // or is not there.
    bool own(std::string_view name, struct stat& st) const;

    Fd m_fd;
    FolderId m_id;
    std::shared_ptr<FolderMemo> m_memo;
    InUseGuard m_inUse;
};

// True when the folder open on `fd` is the root of a mount, as a mount point is while something
// is mounted on it; false for the bare folder left behind once it is unmounted.
bool isMountRoot(int fd);

} // namespace velmora::posixhost

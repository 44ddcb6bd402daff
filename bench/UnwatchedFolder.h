#pragma once
// The host's file system with a switch that makes its folders unwatchable, as when the per-user
// inotify limit is reached: the benchmarks measure a window with and without a folder watch.
#include "platform/posix/PosixFileSystem.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// A folder that cannot be watched.
class UnwatchedFolder final : public Folder {
public:
    explicit UnwatchedFolder(std::unique_ptr<Folder> f) : m_f(std::move(f)) {}
    FolderId id() const override { return m_f->id(); }
    std::optional<std::vector<DirEntry>> listFiles(const ListOptions& o) const override { return m_f->listFiles(o); }
    std::optional<std::vector<DirEntry>> listFolders(const ListOptions& o) const override
    {
        return m_f->listFolders(o);
    }
    std::optional<std::vector<DirEntry>> listEntries() const override { return m_f->listEntries(); }
    std::optional<std::vector<std::string>> names() const override { return m_f->names(); }
    std::optional<std::int64_t> size(std::string_view n) const override { return m_f->size(n); }
    std::optional<DateTime> modificationTime(std::string_view n) const override { return m_f->modificationTime(n); }
    std::optional<std::uint32_t> attributes(std::string_view n) const override { return m_f->attributes(n); }
    std::optional<bool> contains(std::string_view n) const override { return m_f->contains(n); }
    std::optional<FileStamp> stamp(std::string_view n) const override { return m_f->stamp(n); }
    bool setAttributes(std::string_view n, std::uint32_t a) override { return m_f->setAttributes(n, a); }
    bool remove(std::string_view n) override { return m_f->remove(n); }
    int removeMatching(const MaskList& m) override { return m_f->removeMatching(m); }
    bool removeFolder(std::string_view n) override { return m_f->removeFolder(n); }
    std::unique_ptr<Folder> openSubfolder(std::string_view n, NameMatch m) const override
    {
        return m_f->openSubfolder(n, m);
    }
    bool walk(const std::string& p, const MaskList* m, const WalkCallback& c) override { return m_f->walk(p, m, c); }

private:
    std::unique_ptr<Folder> m_f;
};

class SwitchableFileSystem : public PosixFileSystem {
public:
    using PosixFileSystem::PosixFileSystem;
    bool watches = true;
    std::unique_ptr<Folder> openFolder(std::string_view path) const override
    {
        auto folder = PosixFileSystem::openFolder(path);
        if (!folder || watches) return folder;
        return std::make_unique<UnwatchedFolder>(std::move(folder));
    }
};

} // namespace velmora

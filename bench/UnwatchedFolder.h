#pragma once
// The host's file system with a switch that makes its folders unwatchable, as when the per-user
// inotify limit is reached: the benchmarks measure a window with and without a folder watch.
#include "platform/posix/PosixFileSystem.h"
#include "platform/testing/Doubles.h"

#include <memory>
#include <string_view>

namespace velmora {

// A folder that cannot be watched.
class UnwatchedFolder final : public testing::ForwardingFolder {
public:
    using ForwardingFolder::ForwardingFolder;
    std::unique_ptr<FolderWatch> watch() const override { return nullptr; }
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

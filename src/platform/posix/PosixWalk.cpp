// PosixFolder::walk: the shared order (platform/FolderWalk.h) over descriptors.
#include "platform/FolderWalk.h"
#include "platform/posix/HostDirectory.h"
#include "platform/posix/PosixFolder.h"

#include <fcntl.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velmora::posixhost {

namespace {

using WalkLevel = folderwalk::Level<PosixFolder>;

// The walk keeps the folders of its path open, relative to each other, so that no folder is
// ever looked up again from the root: a subfolder swapped for a link after it was read is
// not entered, and a tree thousands of levels deep costs what its size costs. Beyond this
// depth a folder lets its descriptor go while below it and takes it back through "..",
// checked to be the same folder.
constexpr std::size_t kOpenLevels = 64;

struct DescriptorWalk {
    static std::optional<std::vector<DirEntry>> read(const PosixFolder& folder, const MaskList* files)
    {
        return readFolder(folder.fd(),
                          {.files = files != nullptr, .linkedFolders = false, .details = false, .mask = files});
    }

    static void descend(std::vector<WalkLevel>& stack)
    {
        WalkLevel& top = stack.back();
        if (stack.size() - 1 >= kOpenLevels && top.owned) top.letGo();
    }

    // Takes back the descriptor of `stack[k]`, through ".." of the level below it, else down
    // from the nearest level still open; every level taken back must be the folder it was.
    static void takeBack(std::vector<WalkLevel>& stack, std::size_t k)
    {
        auto take = [&](std::size_t i, Fd fd) {
            auto folder = PosixFolder::adopt(std::move(fd));
            if (!folder || !(folder->id() == stack[i].id)) return false;
            stack[i].hold(std::move(folder));
            return true;
        };
        if (k + 1 < stack.size() && stack[k + 1].folder &&
            take(k, Fd(::openat(stack[k + 1].folder->fd(), "..", kReadDirFlags))))
            return;
        std::size_t open = k;
        while (open > 0 && !stack[open].folder) --open;
        for (std::size_t i = open + 1; i <= k; ++i) {
            auto sub = stack[i - 1].folder ? stack[i - 1].folder->openPlain(stack[i].name) : nullptr;
            if (!sub || !(sub->id() == stack[i].id)) {
                for (std::size_t j = i; j <= k; ++j) {
                    stack[j].lost = true;
                    stack[j].letGo();
                }
                return;
            }
            stack[i].hold(std::move(sub));
            // Only the level asked for stays open beyond the shallow ones; the others come back
            // through ".." as the walk climbs.
            if (i - 1 >= kOpenLevels && i - 1 > open) stack[i - 1].letGo();
        }
    }
};

} // namespace

bool PosixFolder::walk(const std::string& path, const MaskList* files, const WalkCallback& callback)
{
    DescriptorWalk host;
    return folderwalk::walk(*this, path, files, callback, host);
}

} // namespace velmora::posixhost

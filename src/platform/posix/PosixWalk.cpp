// PosixFolder::walk and the helpers only it needs.
#include "platform/posix/HostDirectory.h"
#include "platform/posix/PosixFolder.h"

#include <fcntl.h>

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace velmora::posixhost {

namespace {

// The walk keeps the folders of its path open, relative to each other, so that no folder is
// ever looked up again from the root: a subfolder swapped for a link after it was read is
// not entered, and a tree thousands of levels deep costs what its size costs. Beyond this
// depth a folder lets its descriptor go while below it and takes it back through "..",
// checked to be the same folder.
constexpr std::size_t kOpenLevels = 64;

struct WalkLevel {
    PosixFolder* folder = nullptr; // nullptr while its descriptor is let go, or once lost
    std::unique_ptr<PosixFolder> owned;
    FolderId id;
    std::size_t pathLength = 0; // of the walk's one path text, up to this folder
    std::string name;
    std::vector<std::string> subfolders;
    std::vector<DirEntry> files;
    std::size_t next = 0;
    bool lost = false; // could not be taken back: its rest is passed over
};

// False when the folder's entries could not be read.
bool readLevel(WalkLevel& level, const MaskList* files)
{
    auto entries = readFolder(level.folder->fd(),
                              {.files = files != nullptr, .linkedFolders = false, .details = false, .mask = files});
    if (!entries) return false;
    for (DirEntry& e : *entries) {
        if (e.isFolder())
            level.subfolders.push_back(std::move(e.name));
        else
            level.files.push_back(std::move(e));
    }
    return true;
}

// Takes back the descriptor of `stack[k]`, through ".." of the level below it, else down
// from the nearest level still open; every level taken back must be the folder it was.
void reopen(std::vector<WalkLevel>& stack, std::size_t k)
{
    auto take = [&](std::size_t i, Fd fd) {
        auto folder = PosixFolder::adopt(std::move(fd));
        if (!folder || !(folder->id() == stack[i].id)) return false;
        stack[i].owned = std::move(folder);
        stack[i].folder = stack[i].owned.get();
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
                stack[j].folder = nullptr;
                stack[j].owned.reset();
            }
            return;
        }
        stack[i].owned = std::move(sub);
        stack[i].folder = stack[i].owned.get();
        // Only the level asked for stays open beyond the shallow ones; the others come back
        // through ".." as the walk climbs.
        if (i - 1 >= kOpenLevels && i - 1 > open) {
            stack[i - 1].owned.reset();
            stack[i - 1].folder = nullptr;
        }
    }
}

} // namespace

bool PosixFolder::walk(const std::string& path, const MaskList* files, const WalkCallback& callback)
{
    // One path text for the whole walk, cut back as it climbs: a deep tree costs its depth,
    // not its depth squared.
    std::string current = path;
    std::vector<WalkLevel> stack(1);
    stack[0].folder = this;
    stack[0].id = m_id;
    stack[0].pathLength = current.size();
    readLevel(stack[0], files);
    WalkStep step = callback({WalkVisit::Kind::Enter, current, *this, nullptr, {}, nullptr});
    if (step == WalkStep::Stop) return false;
    if (step == WalkStep::Prune) stack[0].subfolders.clear();

    while (!stack.empty()) {
        const std::size_t k = stack.size() - 1;
        // Back from a level that was lost: this one has not been taken back yet.
        if (!stack[k].lost && !stack[k].folder) reopen(stack, k);
        current.resize(stack[k].pathLength);
        if (!stack[k].lost && stack[k].next < stack[k].subfolders.size()) {
            WalkLevel& top = stack[k];
            const std::string& name = top.subfolders[top.next++];
            bool refused = false;
            auto sub = top.folder->openPlain(name, NameMatch::Exact, &refused);
            if (!sub && !refused) continue;
            if (!current.empty() && current.back() != '\\' && current.back() != '/') current += '\\';
            current += name;
            WalkLevel level;
            if (sub) {
                level.id = sub->id();
                level.owned = std::move(sub);
                level.folder = level.owned.get();
                level.pathLength = current.size();
                level.name = name;
            }
            if (!level.folder || !readLevel(level, files)) {
                step = callback({WalkVisit::Kind::Unreadable, current, *top.folder, top.folder, name, nullptr});
                if (step == WalkStep::Stop) return false;
                continue;
            }
            step = callback({WalkVisit::Kind::Enter, current, *level.folder, top.folder, level.name, nullptr});
            if (step == WalkStep::Stop) return false;
            if (step == WalkStep::Prune) level.subfolders.clear();
            if (k >= kOpenLevels && top.owned) {
                top.owned.reset();
                top.folder = nullptr;
            }
            stack.push_back(std::move(level));
            continue;
        }
        if (k > 0 && !stack[k - 1].folder && !stack[k - 1].lost) reopen(stack, k - 1);
        // A folder whose parent could not be taken back is left without a visit, as the
        // parent itself is: a Leave always has the folder above it.
        if (!stack[k].lost && (k == 0 || stack[k - 1].folder)) {
            WalkLevel& top = stack[k];
            // Time has passed since the folder was read: its files are read as they are now.
            if (files && !top.subfolders.empty()) {
                ListOptions options;
                options.details = false;
                options.mask = files;
                top.files = top.folder->listFiles(options).value_or(std::vector<DirEntry>{});
            }
            Folder* parent = k > 0 ? stack[k - 1].folder : nullptr;
            step = callback({WalkVisit::Kind::Leave, current, *top.folder, parent, top.name, &top.files});
            if (step == WalkStep::Stop) return false;
        }
        stack.pop_back();
    }
    return true;
}

} // namespace velmora::posixhost

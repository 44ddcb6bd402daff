// Win32Folder::walk.
#include "platform/win32/Win32Folder.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace velmora::win32 {

namespace {

// Every folder of the walk's path stays open, each opened relative to the one above it, so
// no folder is ever looked up again by a path: a subfolder swapped for a link after it was
// read is not entered, and depth costs no more than the handles it holds.
struct WalkLevel {
    Win32Folder* folder = nullptr;
    std::unique_ptr<Win32Folder> owned;
    std::size_t pathLength = 0; // of the walk's one path text, up to this folder
    std::string name;
    std::vector<std::string> subfolders;
    std::vector<DirEntry> files;
    std::size_t next = 0;
};

// False when the folder's entries could not be read.
bool readLevel(WalkLevel& level, const MaskList* files)
{
    auto entries = level.folder->read({.files = files != nullptr, .linkedFolders = false, .mask = files});
    if (!entries) return false;
    for (DirEntry& e : *entries) {
        if (e.isFolder())
            level.subfolders.push_back(std::move(e.name));
        else
            level.files.push_back(std::move(e));
    }
    return true;
}

} // namespace

bool Win32Folder::walk(const std::string& path, const MaskList* files, const WalkCallback& callback)
{
    // One path text for the whole walk, cut back as it climbs.
    std::string current = path;
    std::vector<WalkLevel> stack(1);
    stack[0].folder = this;
    stack[0].pathLength = current.size();
    readLevel(stack[0], files);
    WalkStep step = callback({WalkVisit::Kind::Enter, current, *this, nullptr, {}, nullptr});
    if (step == WalkStep::Stop) return false;
    if (step == WalkStep::Prune) stack[0].subfolders.clear();

    while (!stack.empty()) {
        const std::size_t k = stack.size() - 1;
        current.resize(stack[k].pathLength);
        if (stack[k].next < stack[k].subfolders.size()) {
            WalkLevel& top = stack[k];
            const std::string& name = top.subfolders[top.next++];
            bool refused = false;
            auto sub = top.folder->openPlain(name, NameMatch::Exact, &refused);
            if (!sub && !refused) continue;
            if (!current.empty() && current.back() != '\\' && current.back() != '/') current += '\\';
            current += name;
            WalkLevel level;
            if (sub) {
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
            stack.push_back(std::move(level));
            continue;
        }
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
        stack.pop_back();
    }
    return true;
}

} // namespace velmora::win32

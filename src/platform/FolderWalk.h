#pragma once
// The order of every host's Folder::walk, written once: depth first, subfolders in the order
// the folder listed them, each folder's Enter before its subtree and its Leave after it with
// its files read afresh. The host supplies how a folder is read and, where it cannot keep every
// level open, how a level lets its folder go and takes it back. What a subfolder may be (never
// a link, never another mount or volume) is the host's openPlain's to decide.
#include "platform/FileSystem.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velmora::folderwalk {

// One folder on the walk's path. `folder` is null only while the host has let it go or once
// it is lost; the root's is never owned.
template <class HostFolder> struct Level {
    HostFolder* folder = nullptr;
    std::unique_ptr<HostFolder> owned;
    FolderId id;
    std::size_t pathLength = 0; // of the walk's one path text, up to this folder
    std::string name;
    std::vector<std::string> subfolders;
    std::vector<DirEntry> files;
    std::size_t next = 0;
    bool lost = false; // could not be taken back: its rest is passed over

    void hold(std::unique_ptr<HostFolder> f)
    {
        owned = std::move(f);
        folder = owned.get();
    }
    void letGo()
    {
        owned.reset();
        folder = nullptr;
    }
};

// What a host gives the walk, as `Host`:
//   std::optional<std::vector<DirEntry>> read(const HostFolder&, const MaskList* files)
//       the folder's entries for the walk: its folders that are no links, and its files
//       matching `files` only when that is given; nothing when they could not be read.
//   void descend(std::vector<Level<HostFolder>>& stack)
//       called once a subfolder of stack.back() has been entered, before it is pushed: the
//       host may let stack.back()'s folder go.
//   void takeBack(std::vector<Level<HostFolder>>& stack, std::size_t k)
//       gives stack[k] its folder again, or marks it and the levels below it lost.
// HostFolder has openPlain(name, NameMatch::Exact, bool* refused) -> std::unique_ptr<HostFolder>.
template <class HostFolder, class Host>
bool walk(HostFolder& root, const std::string& path, const MaskList* files, const WalkCallback& callback, Host& host)
{
    using WalkLevel = Level<HostFolder>;
    auto readLevel = [&](WalkLevel& level) {
        auto entries = host.read(*level.folder, files);
        if (!entries) return false;
        for (DirEntry& e : *entries) {
            if (e.isFolder())
                level.subfolders.push_back(std::move(e.name));
            else
                level.files.push_back(std::move(e));
        }
        return true;
    };

    // One path text for the whole walk, cut back as it climbs: a deep tree costs its depth,
    // not its depth squared.
    std::string current = path;
    std::vector<WalkLevel> stack(1);
    stack[0].folder = &root;
    stack[0].id = root.id();
    stack[0].pathLength = current.size();
    readLevel(stack[0]);
    WalkStep step = callback({WalkVisit::Kind::Enter, current, root, nullptr, {}, nullptr});
    if (step == WalkStep::Stop) return false;
    if (step == WalkStep::Prune) stack[0].subfolders.clear();

    while (!stack.empty()) {
        const std::size_t k = stack.size() - 1;
        // Back from a level that was lost: this one has not been taken back yet.
        if (!stack[k].lost && !stack[k].folder) host.takeBack(stack, k);
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
                level.hold(std::move(sub));
                level.pathLength = current.size();
                level.name = name;
            }
            if (!level.folder || !readLevel(level)) {
                step = callback({WalkVisit::Kind::Unreadable, current, *top.folder, top.folder, name, nullptr});
                if (step == WalkStep::Stop) return false;
                continue;
            }
            step = callback({WalkVisit::Kind::Enter, current, *level.folder, top.folder, level.name, nullptr});
            if (step == WalkStep::Stop) return false;
            if (step == WalkStep::Prune) level.subfolders.clear();
            host.descend(stack);
            stack.push_back(std::move(level));
            continue;
        }
        if (k > 0 && !stack[k - 1].folder && !stack[k - 1].lost) host.takeBack(stack, k - 1);
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

} // namespace velmora::folderwalk

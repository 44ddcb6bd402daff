// Win32Folder::walk: the shared order (platform/FolderWalk.h) over handles.
#include "platform/FolderWalk.h"
#include "platform/win32/Win32Folder.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace velmora::win32 {

namespace {

using WalkLevel = folderwalk::Level<Win32Folder>;

// Every folder of the walk's path stays open, each opened relative to the one above it, so
// no folder is ever looked up again by a path: a subfolder swapped for a link after it was
// read is not entered, and depth costs no more than the handles it holds. No level is ever let
// go, so none is taken back.
struct HandleWalk {
    static std::optional<std::vector<DirEntry>> read(const Win32Folder& folder, const MaskList* files)
    {
        return folder.read({.files = files != nullptr, .linkedFolders = false, .mask = files});
    }
    static void descend(std::vector<WalkLevel>&) {}
    static void takeBack(std::vector<WalkLevel>&, std::size_t) {}
};

} // namespace

bool Win32Folder::walk(const std::string& path, const MaskList* files, const WalkCallback& callback)
{
    HandleWalk host;
    return folderwalk::walk(*this, path, files, callback, host);
}

} // namespace velmora::win32

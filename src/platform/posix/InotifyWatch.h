#pragma once
// A folder's changes as inotify reports them (internal to the POSIX host).
#include "platform/FileSystem.h"
#include "platform/posix/Fd.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velmora::posixhost {

class InotifyWatch final : public FolderWatch {
public:
    // A watch on the folder open on `folderFd`, taken by its descriptor so it is on what was
    // opened; nothing when the host cannot watch it.
    static std::unique_ptr<FolderWatch> open(int folderFd);

    // Takes the inotify descriptor, already watching one folder.
    explicit InotifyWatch(Fd fd) : m_fd(std::move(fd)) {}
    // Closes the inotify descriptor on a thread of its own: the close waits out the kernel's
    // grace period (about 15 ms), which the window replacing a watch need not wait with it.
    ~InotifyWatch() override;
    InotifyWatch(const InotifyWatch&) = delete;
    InotifyWatch& operator=(const InotifyWatch&) = delete;

    // Program names, sorted and once each; nothing once the folder itself went, after an
    // overflow, or past a few thousand names.
    std::optional<std::vector<std::string>> poll() override;

private:
    Fd m_fd;
    bool m_gone = false; // the folder was removed or moved: its old entries are all stale
};

} // namespace velmora::posixhost

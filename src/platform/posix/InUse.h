#pragma once
// Deleting a file only when no other process holds it, as Windows refuses to delete a file in
// use (internal to the POSIX host).
#include <sys/stat.h>

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velmora::posixhost {

// The files that the other processes this user can see hold open, map or run, by device and
// inode, as /proc shows them at one moment.
class OpenFiles {
public:
    static OpenFiles read();
    // True also when /proc could not be read at all: then nobody can tell, and a file stays.
    bool holds(dev_t device, ino_t inode) const;

private:
    std::vector<std::pair<dev_t, ino_t>> m_files; // sorted
    bool m_unknown = false;
};

// Removes regular files of one folder unless another process has them open, mapped or running.
// One per open folder, so that where the lease cannot answer, one command reads /proc once
// (again only after a second) rather than once a file.
class InUseGuard {
public:
    // Removes the regular file `host` of the folder open on `dirFd`, whose own stat the caller
    // took as `seen`, unless another process holds it or the name no longer leads to that
    // file. True only when this call removed it.
    //
    // The probe is a write lease on the file, taken through a descriptor opened relative to the
    // folder and held until the unlink: the kernel grants it only while no other descriptor,
    // mapping or execution of the file exists, and makes any other open wait for it. Where no
    // lease can be taken (a file of another owner, a file system without leases), /proc is
    // asked instead.
    bool remove(int dirFd, const std::string& host, const struct stat& seen);

private:
    bool heldByOthers(const struct stat& seen);

    std::optional<OpenFiles> m_snapshot;
    std::chrono::steady_clock::time_point m_taken;
};

} // namespace velmora::posixhost

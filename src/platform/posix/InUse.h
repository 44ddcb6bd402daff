#pragma once
// Deleting a file only when no other process holds it, as Windows refuses to delete a file in
// use (internal to the POSIX host).
#include "platform/posix/Fd.h"

#include <sys/stat.h>

#include <chrono>
#include <memory>
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
    InUseGuard();
    ~InUseGuard();
    InUseGuard(const InUseGuard&) = delete;
    InUseGuard& operator=(const InUseGuard&) = delete;

    // The files `hosts` of the folder open on `dirFd` are about to be removed in this order:
    // their leases are taken a few files ahead of the removal, and let go after it, on a
    // thread of their own, so that the removal itself costs little more than the unlink.
    // Replaces what an earlier call prepared.
    void prepare(int dirFd, std::vector<std::string> hosts);

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
    // `host` is not removed after all: a lease prepared for it is let go.
    void forget(const std::string& host);

    // What was learnt of one file: its descriptor, the file it opened, and 0 when a lease is
    // held on it, else why none is (the errno of the open or the lease).
    struct Probe {
        Fd file;
        struct stat opened {};
        int error = 0;
    };
    static Probe probe(int dirFd, const std::string& host);

private:
    class Ahead;
    bool heldByOthers(const struct stat& seen);

    std::unique_ptr<Ahead> m_ahead;

    std::optional<OpenFiles> m_snapshot;
    std::chrono::steady_clock::time_point m_taken;
};

} // namespace velmora::posixhost

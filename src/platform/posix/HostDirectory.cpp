#include "platform/posix/HostDirectory.h"

#include "platform/Text.h"
#include "platform/Wildcard.h"
#include "platform/posix/Fd.h"
#include "platform/posix/PosixHost.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <utility>
#include <vector>

namespace velmora::posixhost {

namespace {

bool isDots(const char* n) { return n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0')); }

// A directory stream over a descriptor opened for reading; "." and ".." are skipped.
class DirStream {
public:
    explicit DirStream(Fd fd)
    {
        m_dir = ::fdopendir(fd.get());
        if (m_dir) fd.release();
    }
    ~DirStream()
    {
        if (m_dir) ::closedir(m_dir);
    }
    DirStream(const DirStream&) = delete;
    DirStream& operator=(const DirStream&) = delete;

    explicit operator bool() const { return m_dir != nullptr; }
    const dirent* next()
    {
        while (const dirent* e = ::readdir(m_dir)) {
            if (!isDots(e->d_name)) return e;
        }
        return nullptr;
    }

private:
    DIR* m_dir = nullptr;
};

// Calls `onEntry(name, d_type)` for each entry of the folder open on `fd` but "." and "..";
// false when reading fails part way. `fd` stays open and is read from its current offset.
template <class OnEntry> bool forEachEntry(int fd, OnEntry&& onEntry)
{
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 30))
    // Read straight into a buffer: a directory stream would cost an allocation, a stat and
    // two fcntl calls per folder, as much as the reading itself on a folder of a hundred names.
    alignas(dirent64) char buffer[32768];
    for (;;) {
        const ssize_t n = ::getdents64(fd, buffer, sizeof buffer);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        for (std::size_t offset = 0; offset < static_cast<std::size_t>(n);) {
            const auto* e = reinterpret_cast<const dirent64*>(buffer + offset);
            offset += e->d_reclen;
            if (!isDots(e->d_name)) onEntry(e->d_name, e->d_type);
        }
    }
#else
    DirStream dir(Fd(::dup(fd)));
    if (!dir) return false;
    for (;;) {
        errno = 0;
        const dirent* e = dir.next();
        if (!e) return errno == 0;
        onEntry(e->d_name, e->d_type);
    }
#endif
}

} // namespace

std::optional<std::string> findNoCase(int dirFd, std::string_view name)
{
    DirStream dir(Fd(::openat(dirFd, ".", kReadDirFlags)));
    if (!dir) return std::nullopt;
    std::optional<std::string> best;
    while (const dirent* e = dir.next()) {
        const std::string_view n(e->d_name);
        if (text::equalNoCase(toProgramName(n), name) && (!best || n < *best)) best = std::string(n);
    }
    return best;
}

std::uint32_t attributesFor(std::string_view name, bool folder, bool link, const struct stat* own)
{
    std::uint32_t a = folder ? attr::Directory : attr::Archive;
    if (link) a |= attr::ReparsePoint;
    if (!name.empty() && name.front() == '.') a |= attr::Hidden;
    if (own && !link && (own->st_mode & S_IWUSR) == 0) a |= attr::ReadOnly;
    return a;
}

std::optional<std::vector<DirEntry>> readFolder(int dirFd, const ReadWhat& what)
{
    if (::lseek(dirFd, 0, SEEK_SET) != 0) return std::nullopt;
    std::vector<DirEntry> out;
    const bool complete = forEachEntry(dirFd, [&](const char* entryName, unsigned char type) {
        struct stat own {};
        bool haveOwn = false;
        // Only file systems that give no type cost a stat per entry when no details are asked.
        if (type == DT_UNKNOWN) {
            if (::fstatat(dirFd, entryName, &own, AT_SYMLINK_NOFOLLOW) != 0) return;
            haveOwn = true;
            type = S_ISDIR(own.st_mode)   ? DT_DIR
                   : S_ISREG(own.st_mode) ? DT_REG
                   : S_ISLNK(own.st_mode) ? DT_LNK
                                          : DT_UNKNOWN;
        }
        bool folder = false;
        const bool link = type == DT_LNK;
        if (type == DT_DIR) {
            folder = true;
        } else if (link) {
            if (!what.files && !what.linkedFolders) return;
            struct stat target {};
            // A link into an automounted place must not mount it just to be listed.
            if (::fstatat(dirFd, entryName, &target, AT_NO_AUTOMOUNT) == 0) {
                if (S_ISDIR(target.st_mode))
                    folder = true;
                else if (!S_ISREG(target.st_mode))
                    return;
            }
            if (folder && !what.linkedFolders) return;
        } else if (type != DT_REG) {
            return;
        }
        if (folder ? !what.folders : !what.files) return;
        // Most names need no mapping: they are matched where they lie and copied only when kept.
        const std::string_view hostName(entryName);
        std::string mapped;
        if (needsMapping(hostName)) mapped = toProgramName(hostName);
        const std::string_view programName = mapped.empty() ? hostName : std::string_view(mapped);
        if (!folder && what.mask && !what.mask->matches(programName)) return;
        if (what.details && !haveOwn && ::fstatat(dirFd, entryName, &own, AT_SYMLINK_NOFOLLOW) != 0) return;
        DirEntry entry;
        entry.attributes = attributesFor(programName, folder, link, what.details ? &own : nullptr);
        if (what.details && !folder) entry.size = static_cast<std::int64_t>(own.st_size);
        entry.name = mapped.empty() ? std::string(hostName) : std::move(mapped);
        out.push_back(std::move(entry));
    });
    if (!complete) return std::nullopt;
    sortByName(out);
    return out;
}

std::optional<std::vector<std::string>> readNames(int dirFd)
{
    if (::lseek(dirFd, 0, SEEK_SET) != 0) return std::nullopt;
    std::vector<std::string> out;
    const bool complete =
        forEachEntry(dirFd, [&](const char* entryName, unsigned char) { out.push_back(toProgramName(entryName)); });
    return complete ? std::optional(std::move(out)) : std::nullopt;
}

} // namespace velmora::posixhost

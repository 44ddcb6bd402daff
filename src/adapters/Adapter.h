#pragma once
// What the unpacking adapters share. The program starts an unpacker as
// "PROGRAM [SWITCH ...] ARCHIVE DESTINATION"; real unpackers want the destination in their own
// syntax, so each adapter rearranges the words and runs the unpacker. Standard library and
// Linux only.
//
// The unpacker never writes into the destination itself: it unpacks into a private folder made
// inside it, under a filter that lets it create no link of any kind, and the adapter then moves
// plain files and folders into place relative to opened folders, never through a link. A link
// member is never made, an existing link is never written through, nothing lands outside.
#include <dirent.h>
#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace velmora::adapter {

struct Request {
    std::vector<std::string> switches;
    std::string archive;
    std::string destination;
};

// The words after the program name; with fewer than two, the usage line and exit status 2.
inline Request parse(int argc, char** argv, const char* usage)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s\n", usage);
        std::exit(2);
    }
    Request r;
    r.switches.assign(argv + 1, argv + argc - 2);
    r.archive = argv[argc - 2];
    r.destination = argv[argc - 1];
    return r;
}

// "--list ARCHIVE": the program asks what an archive holds.
inline bool listing(int argc, char** argv) { return argc == 3 && std::strcmp(argv[1], "--list") == 0; }

// One plain file an archive holds, as the listing mode prints it: its size, a tab, its name
// as stored, then a NUL byte (a name may hold a line break, never a NUL).
inline void printMember(unsigned long long size, const std::string& name)
{
    if (name.empty() || name.find('\0') != std::string::npos) return;
    std::printf("%llu\t", size);
    std::fwrite(name.data(), 1, name.size(), stdout);
    std::fputc('\0', stdout);
}

// A relative name starting with '-' or '@' would read as a switch or a list file.
inline std::string anchored(const std::string& name) { return name.starts_with('/') ? name : "./" + name; }

namespace detail {

#if defined(__x86_64__)
constexpr std::uint32_t Arch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr std::uint32_t Arch = AUDIT_ARCH_AARCH64;
#elif defined(__i386__)
constexpr std::uint32_t Arch = AUDIT_ARCH_I386;
#elif defined(__riscv) && __riscv_xlen == 64
constexpr std::uint32_t Arch = AUDIT_ARCH_RISCV64;
#elif defined(__powerpc64__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
constexpr std::uint32_t Arch = AUDIT_ARCH_PPC64LE;
#elif defined(__s390x__)
constexpr std::uint32_t Arch = AUDIT_ARCH_S390X;
#else
constexpr std::uint32_t Arch = 0; // unknown: the unpacker is not run at all
#endif

// From here on this process and what it executes can make no symbolic or hard link: such a
// call fails with EPERM. A call of another architecture (x32 included) fails the same way.
inline bool forbidLinks()
{
    if (Arch == 0) return false;
    constexpr std::uint32_t Deny = SECCOMP_RET_ERRNO | EPERM;
    std::vector<sock_filter> f{
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, Arch, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, Deny),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, 0x40000000u, 0, 1), // x32 numbers
        BPF_STMT(BPF_RET | BPF_K, Deny),
    };
    const std::vector<long> denied{
#ifdef SYS_symlink
        SYS_symlink,
#endif
#ifdef SYS_link
        SYS_link,
#endif
        SYS_symlinkat, SYS_linkat};
    for (const long nr : denied) {
        f.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(nr), 0, 1));
        f.push_back(BPF_STMT(BPF_RET | BPF_K, Deny));
    }
    f.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    sock_fprog program{static_cast<unsigned short>(f.size()), f.data()};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program, 0, 0) == 0;
}

struct Placing {
    bool overwrite;
    int skipped = 0; // links, special files, entries that could not be placed
};

inline int openDir(int at, const char* name)
{
    return ::openat(at, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// The names in an open folder, read through a descriptor of its own (a duplicate would share
// the reading position).
inline std::vector<std::string> entries(int dir)
{
    std::vector<std::string> names;
    const int own = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* d = own >= 0 ? ::fdopendir(own) : nullptr;
    if (!d) {
        if (own >= 0) ::close(own);
        return names;
    }
    while (const dirent* e = ::readdir(d))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.emplace_back(e->d_name);
    ::closedir(d);
    return names;
}

// Lets the owner into the folder `name` of `dir`, as far as it can: one whose mode stays is still
// tried as it is, and what then cannot be opened or removed stays.
inline void allowOwner(int dir, const char* name)
{
    if (::fchmodat(dir, name, 0700, 0) != 0) return;
}

// Removes everything below the private folder `dir`, never following a link.
inline void clear(int dir)
{
    for (const std::string& name : entries(dir)) {
        struct stat st {};
        if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            allowOwner(dir, name.c_str());
            const int sub = openDir(dir, name.c_str());
            if (sub >= 0) {
                clear(sub);
                ::close(sub);
            }
            ::unlinkat(dir, name.c_str(), AT_REMOVEDIR);
        } else {
            ::unlinkat(dir, name.c_str(), 0);
        }
    }
}

// Moves what the unpacker left in `from` into `to`: plain files renamed (over what is there
// only when overwriting), folders merged into real folders; links and special files stay
// behind. Both folders are open, so no name is looked up through a link.
inline void place(int from, int to, Placing& p)
{
    for (const std::string& n : entries(from)) {
        const char* name = n.c_str();
        struct stat st {};
        // An entry that cannot be looked at is skipped as a link or a special file is, for its own reason.
        // NOLINTNEXTLINE(bugprone-branch-clone)
        if (::fstatat(from, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            ++p.skipped;
        } else if (S_ISREG(st.st_mode)) {
            if (p.overwrite) {
                if (::renameat(from, name, to, name) != 0) ++p.skipped;
            } else if (::renameat2(from, name, to, name, RENAME_NOREPLACE) != 0) {
                struct stat there {};
                if (errno == EEXIST) continue; // kept, as asked
                // A file system without RENAME_NOREPLACE: look, then rename.
                if (errno != EINVAL || ::fstatat(to, name, &there, AT_SYMLINK_NOFOLLOW) == 0 ||
                    ::renameat(from, name, to, name) != 0)
                    ++p.skipped;
            }
        } else if (S_ISDIR(st.st_mode)) {
            allowOwner(from, name); // its own mode goes on the placed folder at the end
            const bool made = ::mkdirat(to, name, 0700) == 0;
            const int source = openDir(from, name);
            const int target = openDir(to, name); // an existing link or file: not a folder
            if (source >= 0 && target >= 0) {
                place(source, target, p);
                if (made) {
                    const timespec times[2] = {st.st_atim, st.st_mtim};
                    ::futimens(target, times);
                    ::fchmod(target, st.st_mode & 07777);
                }
            } else {
                ++p.skipped;
            }
            if (source >= 0) ::close(source);
            if (target >= 0) ::close(target);
        } else {
            ++p.skipped; // a link (none can be made, but one may be there) or a special file
        }
    }
}

inline int exitCode(int status) { return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status); }

} // namespace detail

// Runs the unpacker that `command` gives for a folder path, with the destination's private
// folder as that path, then places what it unpacked. The unpacker's exit status; 1 (a
// warning) when it ended well but a link or special member, or an entry that could not be
// placed, was left out. `createAll`: make every missing folder of the destination (7z does),
// else only its last one (as unzip does).
inline int unpackSafely(const char* self, const std::string& destination, bool createAll, bool overwrite,
                        const std::function<std::vector<std::string>(const std::string& into)>& command)
{
    const std::string dest = anchored(destination);
    if (createAll) {
        for (std::size_t at = dest.find('/', 1); at != std::string::npos; at = dest.find('/', at + 1))
            ::mkdir(dest.substr(0, at).c_str(), 0777);
    }
    ::mkdir(dest.c_str(), 0777);
    const int to = ::open(dest.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (to < 0) {
        std::fprintf(stderr, "%s: cannot enter %s: %s\n", self, destination.c_str(), std::strerror(errno));
        return 2;
    }
    std::string privateName;
    for (unsigned n = 0; n < 1000 && privateName.empty(); ++n) {
        const std::string name = ".velmora-unpack-" + std::to_string(::getpid()) + "-" + std::to_string(n);
        if (::mkdirat(to, name.c_str(), 0700) == 0)
            privateName = name;
        else if (errno != EEXIST)
            break;
    }
    const int into = privateName.empty() ? -1 : detail::openDir(to, privateName.c_str());
    if (into < 0) {
        std::fprintf(stderr, "%s: cannot write into %s: %s\n", self, destination.c_str(), std::strerror(errno));
        ::close(to);
        return 2;
    }
    // Handed to the unpacker by number: whatever becomes of the names, it writes there.
    const int passed = ::fcntl(into, F_DUPFD, 10);
    const std::vector<std::string> args = command("/proc/self/fd/" + std::to_string(passed));
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    std::fflush(nullptr);
    const pid_t pid = passed < 0 ? -1 : ::fork();
    if (pid == 0) {
        if (!detail::forbidLinks()) {
            std::fprintf(stderr, "%s: cannot keep the unpacker from making links: %s\n", self, std::strerror(errno));
            ::_exit(2);
        }
        ::execvp(argv[0], argv.data());
        std::fprintf(stderr, "%s: cannot run %s: %s\n", self, argv[0], std::strerror(errno));
        ::_exit(127);
    }
    if (passed >= 0) ::close(passed);
    int status = 0;
    int code = 2;
    if (pid < 0) {
        std::fprintf(stderr, "%s: cannot run %s: %s\n", self, argv[0], std::strerror(errno));
    } else {
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        code = detail::exitCode(status);
    }
    detail::Placing placing{overwrite};
    if (code != 127 && pid >= 0) detail::place(into, to, placing);
    detail::clear(into);
    ::close(into);
    ::unlinkat(to, privateName.c_str(), AT_REMOVEDIR);
    ::close(to);
    if (code == 0 && placing.skipped > 0) {
        std::fprintf(stderr, "%s: %d entries left out (links, special files, or no room for them)\n", self,
                     placing.skipped);
        code = 1;
    }
    return code;
}

} // namespace velmora::adapter

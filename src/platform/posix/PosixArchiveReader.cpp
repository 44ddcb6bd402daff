#include "platform/posix/PosixArchiveReader.h"

#include "platform/posix/Fd.h"
#include "platform/posix/PosixHost.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

extern char** environ;

namespace velmora {

namespace {

// How long one wait for the adapter's output lasts before the caller is asked again.
constexpr int SliceMs = 30;

std::string folderOf(const std::string& path) { return path.substr(0, path.rfind('/')); }

bool executable(const std::string& path) { return ::access(path.c_str(), X_OK) == 0; }

// The adapter for a file's first bytes; nullptr when none reads it.
const char* adapterFor(const unsigned char* head, std::size_t n)
{
    static constexpr unsigned char Zip[] = {'P', 'K', 3, 4}, EmptyZip[] = {'P', 'K', 5, 6};
    static constexpr unsigned char SevenZip[] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
    if (n >= 4 && (std::memcmp(head, Zip, 4) == 0 || std::memcmp(head, EmptyZip, 4) == 0)) return "velmora-unzip";
    if (n >= 6 && std::memcmp(head, SevenZip, 6) == 0) return "velmora-un7z";
    return nullptr;
}

// "SIZE\tNAME\0" records; nothing when one is malformed.
std::optional<std::vector<ArchiveMember>> parseRecords(const std::string& out)
{
    std::vector<ArchiveMember> files;
    for (std::size_t at = 0; at < out.size();) {
        const std::size_t end = out.find('\0', at);
        const std::size_t tab = out.find('\t', at);
        if (end == std::string::npos || tab == std::string::npos || tab >= end) return std::nullopt;
        ArchiveMember m;
        const auto [p, error] = std::from_chars(out.data() + at, out.data() + tab, m.size);
        if (error != std::errc() || p != out.data() + tab || m.size < 0) return std::nullopt;
        m.name = posixhost::toProgramName(std::string_view(out).substr(tab + 1, end - tab - 1));
        files.push_back(std::move(m));
        at = end + 1;
    }
    return files;
}

} // namespace

PosixArchiveReader::PosixArchiveReader(const FileSystem& fs, std::string adapters)
    : m_fs(fs), m_adapters(std::move(adapters))
{}

std::string PosixArchiveReader::adapterFolder()
{
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return {};
    const std::string here = folderOf(std::string(self, static_cast<std::size_t>(n)));
    if (executable(here + "/velmora-unzip")) return here;
    const std::string installed = folderOf(here) + "/libexec/velmora";
    if (executable(installed + "/velmora-unzip")) return installed;
    return {};
}

ArchiveListing PosixArchiveReader::list(std::string_view archive, const std::function<bool()>& keepWaiting)
{
    const ArchiveListing unknown;
    const ArchiveListing unreadable{ArchiveListing::Outcome::Unreadable, {}};
    const auto host = m_fs.hostPath(archive);
    if (!host) return unknown;
    posixhost::Fd file(::open(host->c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!file || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) return unknown;
    unsigned char head[6] = {};
    const ssize_t got = ::pread(file.get(), head, sizeof head, 0);
    const char* name = adapterFor(head, got > 0 ? static_cast<std::size_t>(got) : 0);
    if (!name || m_adapters.empty()) return unknown;
    const std::string adapter = m_adapters + "/" + name;
    if (!executable(adapter)) return unknown;

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return unreadable;
    posixhost::Fd reading(out[0]), writing(out[1]);
    // The archive as descriptor 3 of the adapter: it reads what was opened here.
    constexpr int ArchiveFd = 3;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, writing.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, file.get(), ArchiveFd);
    const std::string path = "/proc/self/fd/" + std::to_string(ArchiveFd);
    std::vector<char*> argv{const_cast<char*>(adapter.c_str()), const_cast<char*>("--list"),
                            const_cast<char*>(path.c_str()), nullptr};
    pid_t pid = 0;
    const int failed = ::posix_spawn(&pid, adapter.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    writing.reset();
    if (failed) return unreadable;

    std::string text;
    bool gaveUp = false;
    for (;;) {
        pollfd p{reading.get(), POLLIN, 0};
        const int ready = ::poll(&p, 1, SliceMs);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) {
            if (keepWaiting && !keepWaiting()) {
                gaveUp = true;
                break;
            }
            continue;
        }
        char buffer[65536];
        const ssize_t n = ::read(reading.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    if (gaveUp) ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (gaveUp || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return unreadable;
    auto files = parseRecords(text);
    if (!files) return unreadable;
    return {ArchiveListing::Outcome::Listed, std::move(*files)};
}

} // namespace velmora

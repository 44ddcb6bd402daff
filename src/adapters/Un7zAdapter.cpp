// velmora-un7z [SWITCH ...] ARCHIVE DESTINATION  ->  7z x -spd [SWITCH ...] -oDESTINATION -- ARCHIVE
// velmora-un7z --list ARCHIVE                    ->  the plain files it holds, "SIZE\tNAME\0" each
// -spd: the archive's name is taken as it is, not as a pattern ("a*.7z" would unpack every match);
// "--": nothing after it reads as a switch or an @list file.
#include "adapters/Adapter.h"

#include <strings.h>

namespace {

constexpr const char* Self = "velmora-un7z";

// Only "-aoa" overwrites; "-aos", and the renaming "-aou" and "-aot", keep what is there.
bool overwrites(const std::vector<std::string>& switches)
{
    for (const std::string& s : switches)
        if (::strcasecmp(s.c_str(), "-aoa") == 0) return true;
    return false;
}

// 7z's technical listing, one "Key = value" a line, a blank line after each entry. 7z shows a
// control character in a name as "_", so such a name is listed as it reads there.
int list(const char* archive)
{
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return 2;
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int devNull = ::open("/dev/null", O_RDONLY);
        if (devNull >= 0) ::dup2(devNull, STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        const char* argv[] = {"7z", "l", "-slt", "-ba", "-sccUTF-8", "-spd", "--", archive, nullptr};
        ::execvp(argv[0], const_cast<char* const*>(argv));
        ::_exit(127);
    }
    ::close(out[1]);
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    int status = 0;
    while (pid > 0 && ::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (pid < 0 || velmora::adapter::detail::exitCode(status) != 0) {
        std::fprintf(stderr, "%s: cannot read %s\n", Self, archive);
        return 2;
    }
    std::string path, size, attributes;
    bool named = false;
    const auto flush = [&] {
        // A folder's attributes begin with "D"; a link's Unix mode with "l".
        const std::size_t unixMode = attributes.find(' ');
        const bool plain = attributes.find('D') >= unixMode &&
                           (unixMode == std::string::npos || attributes.substr(unixMode + 1, 1) == "-");
        if (named && plain && !size.empty() && size.find_first_not_of("0123456789") == std::string::npos)
            velmora::adapter::printMember(std::stoull(size), path);
        path.clear(), size.clear(), attributes.clear();
        named = false;
    };
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        if (line.empty()) {
            flush();
        } else if (line.starts_with("Path = ")) {
            if (named) flush();
            path = line.substr(7);
            named = true;
        } else if (line.starts_with("Size = ")) {
            size = line.substr(7);
        } else if (line.starts_with("Attributes = ")) {
            attributes = line.substr(13);
        }
    }
    flush();
    return std::fflush(stdout) == 0 ? 0 : 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (velmora::adapter::listing(argc, argv)) return list(argv[2]);
    auto r = velmora::adapter::parse(argc, argv, "velmora-un7z [SWITCH ...] ARCHIVE DESTINATION");
    const std::string archive = velmora::adapter::anchored(r.archive);
    return velmora::adapter::unpackSafely(Self, r.destination, true, overwrites(r.switches),
                                          [&](const std::string& into) {
                                              std::vector<std::string> args{"7z", "x", "-spd"};
                                              args.insert(args.end(), r.switches.begin(), r.switches.end());
                                              args.insert(args.end(), {"-o" + into, "--", archive});
                                              return args;
                                          });
}

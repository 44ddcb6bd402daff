// velmora-unzip [SWITCH ...] ARCHIVE DESTINATION  ->  unzip [SWITCH ...] ARCHIVE -d DESTINATION
#include "adapters/Adapter.h"

#include <sys/stat.h>

namespace {

constexpr const char* Self = "velmora-unzip";

// unzip reads the last name of its archive argument as a pattern ("*", "?", "[...]"): "[x].zip"
// opens x.zip when that exists. A name holding any of those is handed over as a pattern that
// matches only itself: each special character in a class of its own, "\" doubled.
bool readsAsPattern(const std::string& name) { return name.find_first_of("*?[") != std::string::npos; }

std::string literalPattern(const std::string& name)
{
    std::string out;
    for (char c : name) {
        if (c == '*' || c == '?' || c == '[')
            out += {'[', c, ']'};
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    auto r = velmora::adapter::parse(argc, argv, "velmora-unzip [SWITCH ...] ARCHIVE DESTINATION");
    std::string archive = velmora::adapter::anchored(r.archive);
    const std::size_t cut = archive.rfind('/') + 1;
    if (readsAsPattern(archive.substr(cut))) {
        // When nothing matches, unzip opens the pattern's own text, which may name another file.
        struct stat st {};
        if (::stat(archive.c_str(), &st) != 0) {
            std::fprintf(stderr, "%s: cannot open %s: %s\n", Self, r.archive.c_str(), std::strerror(errno));
            return 9; // unzip's status for an archive it cannot find
        }
        archive = archive.substr(0, cut) + literalPattern(archive.substr(cut));
    }
    std::vector<std::string> args{"unzip"};
    args.insert(args.end(), r.switches.begin(), r.switches.end());
    args.insert(args.end(), {archive, "-d", velmora::adapter::anchored(r.destination)});
    velmora::adapter::become(Self, args);
}

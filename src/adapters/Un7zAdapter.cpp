// velmora-un7z [SWITCH ...] ARCHIVE DESTINATION  ->  7z x -spd [SWITCH ...] -oDESTINATION -- ARCHIVE
// -spd: the archive's name is taken as it is, not as a pattern ("a*.7z" would unpack every match);
// "--": nothing after it reads as a switch or an @list file.
#include "adapters/Adapter.h"

#include <filesystem>
#include <system_error>

namespace {
constexpr const char* Self = "velmora-un7z";
}

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    auto r = velmora::adapter::parse(argc, argv, "velmora-un7z [SWITCH ...] ARCHIVE DESTINATION");
    std::string archive = velmora::adapter::anchored(r.archive);
    std::string destination = velmora::adapter::anchored(r.destination);
    if (destination.find('*') != std::string::npos) {
        // 7z puts the archive's name in place of every "*" of -o, with no escape: unpack into
        // the current folder instead, made the destination (created as -o would).
        std::error_code ec;
        if (!archive.starts_with('/')) archive = (fs::current_path(ec) / archive).string();
        fs::create_directories(destination, ec);
        if (!ec) fs::current_path(destination, ec);
        if (ec) {
            std::fprintf(stderr, "%s: cannot enter %s: %s\n", Self, r.destination.c_str(), ec.message().c_str());
            return 2;
        }
        destination = ".";
    }
    std::vector<std::string> args{"7z", "x", "-spd"};
    args.insert(args.end(), r.switches.begin(), r.switches.end());
    args.insert(args.end(), {"-o" + destination, "--", archive});
    velmora::adapter::become(Self, args);
}

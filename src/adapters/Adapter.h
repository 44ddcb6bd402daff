#pragma once
// What the unpacking adapters share. The program starts an unpacker as
// "PROGRAM [SWITCH ...] ARCHIVE DESTINATION"; real unpackers want the destination in their own
// syntax, so each adapter rearranges the words and becomes the unpacker. Standard library only.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// A relative name starting with '-' or '@' would read as a switch or a list file.
inline std::string anchored(const std::string& name) { return name.starts_with('/') ? name : "./" + name; }

// Becomes `args` (the program found on PATH, no shell), so the unpacker's exit status is the
// adapter's. Returns only when it cannot: a message and 127, as a shell gives.
[[noreturn]] inline void become(const char* self, const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    std::fprintf(stderr, "%s: cannot run %s: %s\n", self, argv[0], std::strerror(errno));
    std::exit(127);
}

} // namespace velmora::adapter

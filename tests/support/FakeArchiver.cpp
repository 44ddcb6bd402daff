// A stand-in archiver for tests, steered by its environment:
//   VELMORA_FAKE_SLEEP_MS=n  sleeps n milliseconds first;
//   VELMORA_FAKE_ARCHIVE=k   writes a few bytes to the file named by argument k, the archive it "made";
//   VELMORA_FAKE_LATE_MS=n   ...but leaves that to a child of its own that writes it n milliseconds after
//                            the archiver has exited (POSIX; elsewhere the archive is not written);
//   VELMORA_FAKE_LOG=path    writes its working folder and then each argument, every one followed
//                            by a NUL byte, to path (through path + ".part", renamed, so a reader
//                            never sees half a record);
//   VELMORA_FAKE_EXIT=n      exits with status n (default 0).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

long number(const char* variable, long fallback)
{
    const char* text = std::getenv(variable);
    return text ? std::strtol(text, nullptr, 10) : fallback;
}

// A UTF-8 text as a path: on Windows a plain std::string would be read in the ANSI code page.
std::filesystem::path hostPath(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8Text(const std::filesystem::path& p)
{
    const std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
}

bool writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(hostPath(path), std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out.flush());
}

} // namespace

// argv as UTF-8, argv[0] included.
int run(const std::vector<std::string>& argv)
{
    const int argc = static_cast<int>(argv.size());
    std::this_thread::sleep_for(std::chrono::milliseconds(number("VELMORA_FAKE_SLEEP_MS", 0)));

    const char* late = std::getenv("VELMORA_FAKE_LATE_MS");
    if (const long k = number("VELMORA_FAKE_ARCHIVE", 0); k != 0 && late && *late) {
#ifndef _WIN32
        if (k >= 1 && k < argc && ::fork() == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(number("VELMORA_FAKE_LATE_MS", 0)));
            writeFile(argv[static_cast<std::size_t>(k)], "FAKE-ARCHIVE\n");
            std::_Exit(0);
        }
#endif
    } else if (k != 0) {
        if (k < 1 || k >= argc || !writeFile(argv[static_cast<std::size_t>(k)], "FAKE-ARCHIVE\n")) {
            std::fprintf(stderr, "velmora_fake_archiver: cannot make argument %ld an archive\n", k);
            return 125;
        }
    }

    if (const char* log = std::getenv("VELMORA_FAKE_LOG")) {
        std::string record = utf8Text(std::filesystem::current_path());
        record += '\0';
        for (int i = 1; i < argc; ++i) (record += argv[static_cast<std::size_t>(i)]) += '\0';
        const std::string part = std::string(log) + ".part";
        std::error_code ec;
        if (!writeFile(part, record) || (std::filesystem::rename(hostPath(part), hostPath(log), ec), ec)) {
            std::fprintf(stderr, "velmora_fake_archiver: cannot write %s\n", log);
            return 125;
        }
    }
    return static_cast<int>(number("VELMORA_FAKE_EXIT", 0));
}

#ifdef _WIN32
// The arguments as Windows hands them, whatever the ANSI code page.
int wmain(int argc, wchar_t** argv)
{
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.push_back(utf8Text(std::filesystem::path(argv[i])));
    return run(args);
}
#else
// A throw ends the stand-in abnormally, which the test that started it sees as a failure.
// NOLINTNEXTLINE(bugprone-exception-escape)
int main(int argc, char** argv) { return run(std::vector<std::string>(argv, argv + argc)); }
#endif

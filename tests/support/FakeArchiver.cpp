// A stand-in archiver for tests, steered by its environment:
//   VELMORA_FAKE_SLEEP_MS=n  sleeps n milliseconds first;
//   VELMORA_FAKE_ARCHIVE=k   writes a few bytes to the file named by argument k, the archive it "made";
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

namespace {

long number(const char* variable, long fallback)
{
    const char* text = std::getenv(variable);
    return text ? std::strtol(text, nullptr, 10) : fallback;
}

bool writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out.flush());
}

} // namespace

int main(int argc, char** argv)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(number("VELMORA_FAKE_SLEEP_MS", 0)));

    if (const long k = number("VELMORA_FAKE_ARCHIVE", 0); k != 0) {
        if (k < 1 || k >= argc || !writeFile(argv[k], "FAKE-ARCHIVE\n")) {
            std::fprintf(stderr, "velmora_fake_archiver: cannot make argument %ld an archive\n", k);
            return 125;
        }
    }

    if (const char* log = std::getenv("VELMORA_FAKE_LOG")) {
        std::string record = std::filesystem::current_path().native();
        record += '\0';
        for (int i = 1; i < argc; ++i) (record += argv[i]) += '\0';
        const std::string part = std::string(log) + ".part";
        if (!writeFile(part, record) || std::rename(part.c_str(), log) != 0) {
            std::fprintf(stderr, "velmora_fake_archiver: cannot write %s\n", log);
            return 125;
        }
    }
    return static_cast<int>(number("VELMORA_FAKE_EXIT", 0));
}

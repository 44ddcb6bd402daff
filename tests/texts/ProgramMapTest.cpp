// The map of the program at the head of app/main.cpp names every folder of src/, and no
// folder that is not there.
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>

namespace velmora {
namespace {

namespace fs = std::filesystem;

bool pathChar(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '/'; }

// The folders the map's lines name, as "platform/qt/": the part up to the last slash of each
// word of lower-case letters, digits and slashes ("platform/*.h" names "platform/").
std::set<std::string> namedFolders(const std::string& source)
{
    std::istringstream in(source);
    std::string line;
    while (std::getline(in, line) && line.find("A map of the program") == std::string::npos) {
    }
    std::set<std::string> named;
    bool started = false;
    while (std::getline(in, line) && line.rfind("//", 0) == 0) {
        if (line == "//") {
            if (started) break;
            continue;
        }
        started = true;
        for (std::size_t i = 2; i < line.size(); ++i) {
            if (!pathChar(line[i]) || line[i - 1] != ' ') continue;
            std::size_t end = i;
            while (end < line.size() && pathChar(line[end])) ++end;
            const std::size_t slash = line.rfind('/', end - 1);
            if (slash != std::string::npos && slash >= i) named.insert(line.substr(i, slash + 1 - i));
            i = end;
        }
    }
    return named;
}

TEST(ProgramMap, NamesEveryFolderOfTheSourcesAndNoOther)
{
    const fs::path src = fs::path(VELMORA_SOURCE_DIR) / "src";
    const std::set<std::string> named = namedFolders(testsupport::readHostFile(src / "app" / "main.cpp"));
    ASSERT_FALSE(named.empty()) << "no map found";

    std::set<std::string> folders;
    for (const auto& e : fs::recursive_directory_iterator(src))
        if (e.is_directory()) folders.insert(e.path().lexically_relative(src).generic_string() + "/");
    for (const std::string& f : folders) EXPECT_TRUE(named.count(f)) << f << " is not on the map";
    for (const std::string& n : named) EXPECT_TRUE(folders.count(n)) << n << " is on the map but not in src/";
}

} // namespace
} // namespace velmora

#pragma once
// Helpers and the main-window fixture shared by the program's tests.
#include "support/ProgramHarness.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

namespace velmora::testsupport {

// A "\" inside a host name, as the program carries it: U+F000 + its code.
inline const std::string Bs = "\xEF\x81\x9C";

inline std::set<std::string> listed(const FileListBox& files)
{
    const auto names = files.items();
    return {names.begin(), names.end()};
}

class MainWindow : public ::testing::Test {
protected:
    void populate(int count)
    {
        for (int i = 0; i < count; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "c/TEMP/f%02d.tmp", i);
            h.root.write(name, std::string(static_cast<std::size_t>(i + 1), 'x'));
        }
    }
    ProgramHarness h;
};

} // namespace velmora::testsupport

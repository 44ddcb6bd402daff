#pragma once
// Helpers and the main-window fixture shared by the program's tests.
#include "support/ProgramHarness.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>

#include <sys/mount.h>

namespace velmora::testsupport {

// A "\" inside a host name, as the program carries it: U+F000 + its code.
inline const std::string Bs = "\xEF\x81\x9C";

inline std::set<std::string> listed(const FileListBox& files)
{
    const auto names = files.items();
    return {names.begin(), names.end()};
}

// A bind mount that goes when the test ends, however it ends.
class BindMount {
public:
    BindMount(const std::filesystem::path& from, const std::filesystem::path& onto) : m_onto(onto)
    {
        m_mounted = ::mount(from.c_str(), onto.c_str(), nullptr, MS_BIND, nullptr) == 0;
        if (!m_mounted) m_error = std::strerror(errno);
    }
    ~BindMount()
    {
        if (m_mounted) ::umount2(m_onto.c_str(), MNT_DETACH);
    }
    BindMount(const BindMount&) = delete;
    BindMount& operator=(const BindMount&) = delete;
    bool mounted() const { return m_mounted; }
    std::string skipReason() const { return "cannot bind-mount here (" + m_error + "); needs root with CAP_SYS_ADMIN"; }

private:
    std::filesystem::path m_onto;
    bool m_mounted = false;
    std::string m_error;
};

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

#pragma once
// Shared test helpers: real temporary folders mapped as drives.
#include <filesystem>
#include <string>
#include <string_view>

namespace velmora::testsupport {

// A fresh temporary folder, removed (made writable first) when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    // Creates a folder (and its parents) below the root; returns its host path.
    std::filesystem::path mkdir(std::string_view relative) const;
    // Writes a file below the root (parents created); returns its host path.
    std::filesystem::path write(std::string_view relative, std::string_view content = {}) const;
    bool exists(std::string_view relative) const;

private:
    std::filesystem::path m_path;
};

// Reads a whole host file; empty when missing.
std::string readHostFile(const std::filesystem::path& p);

// A host path as the program's UTF-8 text, and back: on Windows std::string would go through
// the ANSI code page, which has no room for most names.
std::string pathText(const std::filesystem::path& p);
std::filesystem::path hostPath(std::string_view utf8);

} // namespace velmora::testsupport

namespace velmora::testsupport {
// Run as root, permission bits do not stop anything: a test that needs them to hold drops to
// the unprivileged user "nobody" (in a child process). True when privileges are now plain.
bool dropRootPrivileges();
// Makes every folder of the tree open to everyone, so a dropped-privilege child can work in it.
void openTreeToEveryone(const std::filesystem::path& root);
// True when the tests run under Wine, whose file system cannot hold links for real.
bool underWine();
// A program the build made, by its file name ("velmora-console.exe"): beside the test
// program, else in the build folder above it.
std::filesystem::path builtProgram(std::string_view fileName);
} // namespace velmora::testsupport

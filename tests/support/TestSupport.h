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

} // namespace velmora::testsupport

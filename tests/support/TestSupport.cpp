#include "support/TestSupport.h"

#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

namespace velmora::testsupport {

namespace fs = std::filesystem;

TempDir::TempDir()
{
    std::random_device rd;
    const auto base = fs::temp_directory_path();
    for (;;) {
        auto candidate = base / ("velmora-test-" + std::to_string(rd()));
        std::error_code ec;
        if (fs::create_directory(candidate, ec)) {
            m_path = candidate;
            break;
        }
    }
}

TempDir::~TempDir()
{
    std::error_code ec;
    // Tests take permissions away; give them back so the tree can go.
    for (auto it = fs::recursive_directory_iterator(m_path, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_path, ec);
}

fs::path TempDir::mkdir(std::string_view relative) const
{
    auto p = m_path / hostPath(relative);
    fs::create_directories(p);
    return p;
}

fs::path TempDir::write(std::string_view relative, std::string_view content) const
{
    auto p = m_path / hostPath(relative);
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out << content;
    return p;
}

bool TempDir::exists(std::string_view relative) const
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(m_path / hostPath(relative), ec));
}

std::string readHostFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string pathText(const fs::path& p)
{
    const std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
}

fs::path hostPath(std::string_view utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

} // namespace velmora::testsupport

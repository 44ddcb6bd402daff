// The test helpers whose work depends on the host: Linux.
#include "support/TestSupport.h"

#include <system_error>

#include <grp.h>
#include <unistd.h>

namespace velmora::testsupport {

namespace fs = std::filesystem;

bool dropRootPrivileges()
{
    if (geteuid() != 0) return true;
    constexpr uid_t nobody = 65534;
    return setgroups(0, nullptr) == 0 && setgid(nobody) == 0 && setuid(nobody) == 0;
}

void openTreeToEveryone(const fs::path& root)
{
    std::error_code ec;
    fs::permissions(root, fs::perms::all, fs::perm_options::add, ec);
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        fs::permissions(it->path(), fs::perms::all, fs::perm_options::add, ec);
}

bool underWine() { return false; }

fs::path builtProgram(std::string_view fileName)
{
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    for (const fs::path& folder : {self.parent_path(), self.parent_path().parent_path()}) {
        if (fs::exists(folder / fileName, ec)) return folder / fileName;
    }
    return fs::path(fileName);
}

} // namespace velmora::testsupport

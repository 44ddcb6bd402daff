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

} // namespace velmora::testsupport

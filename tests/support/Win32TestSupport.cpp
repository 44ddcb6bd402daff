// The test helpers whose work depends on the host: Windows.
#include "support/TestSupport.h"

namespace velmora::testsupport {

// Nobody is root on Windows: the permission tests' own checks decide.
bool dropRootPrivileges() { return true; }

void openTreeToEveryone(const std::filesystem::path&) {}

} // namespace velmora::testsupport

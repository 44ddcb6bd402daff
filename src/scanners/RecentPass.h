#pragma once
// The shortcut and cookie scan of every user profile, which empties what it counted.
#include "scanners/Scan.h"

#include <cstddef>

namespace velmora {

// Returns how many files of the emptied folders stayed.
std::size_t recentPass(const ScanContext& context);

} // namespace velmora

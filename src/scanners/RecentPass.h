#pragma once
// The shortcut and cookie scan of every user profile, which empties what it counted.
#include "scanners/Scan.h"

namespace velmora {

void recentPass(const ScanContext& context);

} // namespace velmora

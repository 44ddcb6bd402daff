#pragma once
// Empties "\\Recycled" on every drive but A: and B:.
#include "scanners/Scan.h"

namespace velmora {

void emptyRecycleBins(const ScanContext& context);

} // namespace velmora

#pragma once
// Empties the recycle bins of every drive but A: and B: ("\\Recycled", each user's bin in
// "\\RECYCLER" and "\\$Recycle.Bin", the desktop's trash at the drive's root) and the user's
// own desktop trash.
#include "scanners/Scan.h"

namespace velmora {

void emptyRecycleBins(const ScanContext& context);

} // namespace velmora

#pragma once
// The automatic junk scan of the usual temporary folders of every hard disk.
#include "scanners/Scan.h"

namespace velmora {

void autoPass(const ScanContext& context);

} // namespace velmora

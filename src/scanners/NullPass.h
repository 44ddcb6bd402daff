#pragma once
// The zero-byte file scan of the folder shown.
#include "scanners/Scan.h"

namespace velmora {

void nullPass(const ScanContext& context);

} // namespace velmora

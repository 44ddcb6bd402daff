#include "platform/posix/SystemClock.h"

#include "platform/posix/PosixHost.h"

#include <ctime>

namespace velmora {

DateTime SystemClock::now() const { return posixhost::localDateTime(std::time(nullptr)); }

} // namespace velmora

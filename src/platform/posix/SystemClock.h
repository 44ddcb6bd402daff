#pragma once
#include "platform/Clock.h"

namespace velmora {

// The host's clock, in local time.
class SystemClock : public Clock {
public:
    DateTime now() const override;
};

} // namespace velmora

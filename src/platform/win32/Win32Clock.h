#pragma once
// The local time of the machine.
#include "platform/Clock.h"

namespace velmora {

class Win32Clock : public Clock {
public:
    DateTime now() const override;
};

} // namespace velmora

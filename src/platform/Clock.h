#pragma once
#include "platform/DateTime.h"

namespace velmora {

class Clock {
public:
    virtual ~Clock() = default;
    virtual DateTime now() const = 0;
    // The current time as the general date-time text.
    std::string nowText() const { return generalDateTime(now()); }
};

} // namespace velmora

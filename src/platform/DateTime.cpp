#include "platform/DateTime.h"

#include <cstdio>

namespace velmora {

std::string generalDateTime(const DateTime& t)
{
    // Wide enough for any int in every field, so a bad value is shown, never cut.
    char buf[96];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %d:%02d:%02d", t.day, t.month, t.year, t.hour, t.minute, t.second);
    return buf;
}

std::string generalFileTime(const DateTime& t)
{
    if (t.hour == 0 && t.minute == 0 && t.second == 0) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", t.day, t.month, t.year);
        return buf;
    }
    return generalDateTime(t);
}

} // namespace velmora

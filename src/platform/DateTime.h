#pragma once
// A local calendar time, and its text in the general date-time form used in reports.
#include <string>

namespace velmora {

struct DateTime {
    int year = 1970, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0;
    friend bool operator==(const DateTime&, const DateTime&) = default;
};

// "dd.MM.yyyy H:mm:ss", e.g. "07.12.2026 23:49:51".
std::string generalDateTime(const DateTime& t);

// As generalDateTime, but a time of exactly midnight is left out: "07.12.2026".
std::string generalFileTime(const DateTime& t);

} // namespace velmora

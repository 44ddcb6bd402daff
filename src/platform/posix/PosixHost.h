#pragma once
// Small host-path helpers shared by the POSIX services (not part of the program's interface).
#include "platform/DateTime.h"
#include "platform/FileSystem.h"

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::posixhost {

// "/a//b/" -> "/a/b"; "/" stays. Only the spelling changes: links are not resolved.
std::string normalize(std::string_view host);

// The drive form ("C:\tmp") of an absolute host path, taken on the drive whose folder (its
// label) is the longest prefix; nothing when no drive covers it or the path is relative.
std::optional<std::string> toDriveForm(std::string_view host, const std::vector<DriveInfo>& drives);

// Local calendar time of a host time stamp; the epoch when it cannot be converted.
DateTime localDateTime(std::time_t t);

// "X:\..." or "X:/...": a path that names its drive and starts at the root.
bool isDrivePath(std::string_view s);

} // namespace velmora::posixhost

#pragma once
// Host names and paths in the program's name space and back, and local times: shared by the
// POSIX services, not part of the program's interface.
#include "platform/DateTime.h"
#include "platform/FileSystem.h"

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::posixhost {

// A host name in the program's Windows name space and back. Each character that no Windows
// name can hold (controls, " * : < > ? \ |) becomes U+F000 + its code, as Cygwin and WSL
// carry them; a host name that holds such a private-use character itself has it escaped by
// U+F000, so every host name maps to one program name and comes back as itself. Bytes that
// are not UTF-8 pass unchanged.
std::string toProgramName(std::string_view host);
std::string toHostName(std::string_view program);
// True when toProgramName would change `host` (cheap: most names need no copy).
bool needsMapping(std::string_view host);

// "/a//b/" -> "/a/b"; "/" stays. Only the spelling changes: links are not resolved.
std::string normalize(std::string_view host);

// The drive form ("C:\tmp") of an absolute host path, taken on the drive whose folder (its
// label) is the longest prefix, its names mapped; nothing when no drive covers it or the
// path is relative.
std::optional<std::string> toDriveForm(std::string_view host, const std::vector<DriveInfo>& drives);

// How a host path on no drive reads in the program: "\\?\unix\elsewhere\tmp", as Wine
// writes it. No drive path can be made of it, so it opens nothing.
std::string offDriveForm(std::string_view host);

// Local calendar time of a host time stamp; the epoch when it cannot be converted.
DateTime localDateTime(std::time_t t);

} // namespace velmora::posixhost

#pragma once
// Plain files opened, read and written without ever touching a FIFO, socket or device
// (internal to the POSIX host).
#include "platform/posix/Fd.h"

#include <optional>
#include <string>
#include <string_view>

namespace velmora::posixhost {

// Opens the regular file `name` of `dirFd` for reading or appending (`flags`: O_RDONLY, or
// O_WRONLY | O_APPEND with `append`) without ever blocking on, or opening, a FIFO, socket or
// device. For appending, a link at the last step is refused and a missing file is created
// new, mode 0644. An empty Fd when it is no regular file or cannot be opened.
Fd openRegular(int dirFd, const char* name, int flags, bool append);

// Writes every byte, going on after an interruption; false on an error.
bool writeAll(int fd, std::string_view bytes);
// Everything from the current offset to the end; nothing on an error.
std::optional<std::string> readAll(int fd);

} // namespace velmora::posixhost

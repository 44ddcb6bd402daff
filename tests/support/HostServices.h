#pragma once
// The host the tests run on, under one name: its file system and its process starter, and the
// drive map entry that makes a host folder a drive.
#ifdef _WIN32
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32ProcessStarter.h"
#else
#include "platform/posix/PosixArchiveReader.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/PosixProcessStarter.h"
#endif
#include "support/TestSupport.h"

#include <filesystem>
#include <string>

namespace velmora::testsupport {

#ifdef _WIN32
using HostFileSystem = Win32FileSystem;
using HostProcessStarter = Win32ProcessStarter;
#else
using HostFileSystem = PosixFileSystem;
using HostProcessStarter = PosixProcessStarter;
#endif

// "c:=<folder>", as VELMORA_DRIVES writes it on either host.
inline std::string driveEntry(char letter, const std::filesystem::path& folder)
{
    return std::string(1, letter) + ":=" + pathText(folder);
}

} // namespace velmora::testsupport

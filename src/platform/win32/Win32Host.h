#pragma once
// Every Windows service of the program, built together: what velmora.exe and
// velmora-console.exe run on.
#include "platform/Services.h"
#include "platform/win32/GdiPrinter.h"
#include "platform/win32/RegistrySettingsStore.h"
#include "platform/win32/Win32Clock.h"
#include "platform/win32/Win32Environment.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32ProcessStarter.h"
#include "platform/win32/Win32Shell.h"

namespace velmora {

// The drive map comes from VELMORA_DRIVES (unset: the machine's drives), the command line
// from GetCommandLineW, the settings from the registry (below VELMORA_SETTINGS_KEY when it is
// set). Not copyable: `services` refers to the members.
struct Win32Host {
    Win32Host() = default;
    Win32Host(const Win32Host&) = delete;
    Win32Host& operator=(const Win32Host&) = delete;

    RegistrySettingsStore settings{RegistrySettingsStore::baseFromEnvironment()};
    Win32FileSystem fs{Win32FileSystem::drivesFromEnvironment()};
    Win32Environment env{&fs};
    Win32ProcessStarter processes{fs};
    Win32Shell shell{fs};
    GdiPrinter printer;
    Win32Clock clock;
    Services services{settings, fs, env, processes, shell, printer, clock};
};

} // namespace velmora

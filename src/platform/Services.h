#pragma once
// The platform services a window may need, handed around by reference.
#include "platform/ArchiveReader.h"

namespace velmora {

class SettingsStore;
class FileSystem;
class Environment;
class ProcessStarter;
class Shell;
class Printer;
class Clock;

struct Services {
    SettingsStore& settings;
    FileSystem& fs;
    Environment& env;
    ProcessStarter& processes;
    Shell& shell;
    Printer& printer;
    Clock& clock;
    // A host that reads no archive format need not name one.
    ArchiveReader& archives = noArchiveReader();
};

} // namespace velmora

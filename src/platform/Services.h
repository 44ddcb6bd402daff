#pragma once
// The platform services a window may need, handed around by reference.

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
};

} // namespace velmora

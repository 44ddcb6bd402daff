#pragma once
// In-memory doubles of the platform services, for tests.
#include "platform/ArchiveReader.h"
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/MemorySettingsStore.h"
#include "platform/Printer.h"
#include "platform/ProcessStarter.h"
#include "platform/SettingsStore.h"
#include "platform/Shell.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace velmora::testing {

// The memory store, with a record of every save and a way to make saves fail.
class MemorySettings : public MemorySettingsStore {
public:
    std::string get(std::string_view app, std::string_view section, std::string_view key,
                    std::string_view def) const override;
    bool save(std::string_view app, std::string_view section, std::string_view key, std::string_view value) override;
    // When set, every save fails (as an unwritable store does).
    bool failSaves = false;
    std::vector<std::string> saveLog; // "section/key=value", in order
    mutable int reads = 0;            // every get, counted
};

class FixedClock : public Clock {
public:
    explicit FixedClock(DateTime t = {2026, 12, 7, 23, 49, 51}) : time(t) {}
    DateTime now() const override { return time; }
    DateTime time;
};

// Variables by name without regard to case.
class MapEnvironment : public Environment {
public:
    std::string get(std::string_view name) const override;
    std::string commandLine() const override { return cmdLine; }
    void set(std::string_view name, std::string value);
    void unset(std::string_view name);
    std::map<std::string, std::string> vars; // keys upper-cased
    std::string cmdLine;
};

class RecordingProcessStarter : public ProcessStarter {
public:
    bool start(std::string_view commandLine) override;
    // A launched program ends after `runningPolls` looks at it, with `exitStatus`.
    std::unique_ptr<StartedProcess> launch(std::string_view commandLine) override;
    std::vector<std::string> started; // every command line, in order
    bool fail = false;
    int exitStatus = 0;
    int runningPolls = 0;
    int stopped = 0; // launched programs asked to stop
    // Runs at each launch, as the program would (an archiver making its archive).
    std::function<void(std::string_view commandLine)> onLaunch;
    // Runs each time a launched program is looked at while it still runs.
    std::function<void()> whileRunning;
};

// Reads no format unless a test gives it what the next archives hold.
class ScriptedArchives : public ArchiveReader {
public:
    ArchiveListing list(std::string_view archive, const std::function<bool()>&) override
    {
        read.emplace_back(archive);
        return listing;
    }
    ArchiveListing listing;
    std::vector<std::string> read; // every archive asked about, in order
};

class RecordingShell : public Shell {
public:
    bool open(std::string_view what) override;
    std::vector<std::string> opened;
};

class RecordingPrinter : public Printer {
public:
    bool setFontName(std::string_view name) override;
    bool setFontSize(int points) override;
    bool setBold(bool on) override;
    bool setUnderline(bool on) override;
    bool printLine(std::string_view text) override;
    bool endDoc() override;
    std::string deviceName() const override { return device; }
    std::string lastError() const override { return error; }
    void clearError() override { error.clear(); }

    std::vector<std::string> calls; // every call attempted: "font Arial Cyr", "size 12", "line TEXT", "end"
    std::string device = "Test Printer";
    std::string error;
    // When set, each call fails with this description.
    std::optional<std::string> failWith;

private:
    bool record(std::string call);
};

} // namespace velmora::testing

#pragma once
// In-memory doubles of the platform services, for tests.
#include "platform/ArchiveReader.h"
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
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

// A folder that hands every call to the one it wraps: a double overrides only what it changes
// (a slow or counted look, no watch).
class ForwardingFolder : public Folder {
public:
    explicit ForwardingFolder(std::unique_ptr<Folder> inner) : m_inner(std::move(inner)) {}
    FolderId id() const override { return m_inner->id(); }
    std::optional<std::vector<DirEntry>> listFiles(const ListOptions& o) const override
    {
        return m_inner->listFiles(o);
    }
    std::optional<std::vector<DirEntry>> listFolders(const ListOptions& o) const override
    {
        return m_inner->listFolders(o);
    }
    std::optional<std::vector<DirEntry>> listEntries() const override { return m_inner->listEntries(); }
    std::optional<std::vector<std::string>> names() const override { return m_inner->names(); }
    std::optional<std::int64_t> size(std::string_view n) const override { return m_inner->size(n); }
    std::optional<DateTime> modificationTime(std::string_view n) const override { return m_inner->modificationTime(n); }
    std::optional<std::uint32_t> attributes(std::string_view n) const override { return m_inner->attributes(n); }
    std::optional<bool> contains(std::string_view n) const override { return m_inner->contains(n); }
    std::optional<FileStamp> stamp(std::string_view n) const override { return m_inner->stamp(n); }
    bool setAttributes(std::string_view n, std::uint32_t a) override { return m_inner->setAttributes(n, a); }
    bool remove(std::string_view n) override { return m_inner->remove(n); }
    void prepareRemoval(const std::vector<std::string>& names) override { m_inner->prepareRemoval(names); }
    int removeMatching(const MaskList& m) override { return m_inner->removeMatching(m); }
    bool removeFolder(std::string_view n) override { return m_inner->removeFolder(n); }
    std::unique_ptr<Folder> openSubfolder(std::string_view n, NameMatch m) const override
    {
        return m_inner->openSubfolder(n, m);
    }
    bool walk(const std::string& p, const MaskList* m, const WalkCallback& c) override
    {
        return m_inner->walk(p, m, c);
    }
    std::unique_ptr<FolderWatch> watch() const override { return m_inner->watch(); }

private:
    std::unique_ptr<Folder> m_inner;
};

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

#pragma once
// The whole program on real temporary folders mapped as drives, driven by the scripted
// front-end, with a memory settings store and a fixed clock.
#include "core/App.h"
#include "core/frmScanTemps.h"
#include "platform/testing/Doubles.h"
#include "platform/testing/ScriptedFrontEnd.h"
#include "reports/frmReport.h"
#include "settings/Settings.h"
#include "support/HostServices.h"
#include "support/TestSupport.h"

#include <initializer_list>

#include <memory>
#include <string>

namespace velmora::testsupport {

// The recording double, or the host's own processes once a test asks for them.
class ChosenStarter : public ProcessStarter {
public:
    explicit ChosenStarter(ProcessStarter& first) : use(&first) {}
    bool start(std::string_view commandLine) override { return use->start(commandLine); }
    std::unique_ptr<StartedProcess> launch(std::string_view commandLine) override { return use->launch(commandLine); }
    ProcessStarter* use;
};

// The scripted reader, or the host's own (the adapters of this build) once a test asks for it.
class ChosenArchives : public ArchiveReader {
public:
    explicit ChosenArchives(ArchiveReader& first) : use(&first) {}
    ArchiveListing list(std::string_view archive, const std::function<bool()>& keepWaiting) override
    {
        return use->list(archive, keepWaiting);
    }
    ArchiveReader* use;
};

class ProgramHarness {
public:
    // Drive c: is the folder "c" of a fresh temporary tree, d: the folder "d"; `extraDrives`
    // adds drive map entries (one on a folder that does not exist is a drive not ready).
    explicit ProgramHarness(const std::string& extraDrives = "") : fs(makeFileSystem(root, extraDrives))
    {
        // The program moves the real working folder into the test tree; put it back after.
        std::error_code ec;
        m_home = std::filesystem::current_path(ec);
        if (ec) m_home = std::filesystem::temp_directory_path();
        env.set("TMP", "C:\\TEMP");
        env.set("windir", "C:\\WINDOWS");
    }

    ~ProgramHarness()
    {
        std::error_code ec;
        std::filesystem::current_path(m_home, ec);
    }
    ProgramHarness(const ProgramHarness&) = delete;
    ProgramHarness& operator=(const ProgramHarness&) = delete;

    static std::unique_ptr<HostFileSystem> makeFileSystem(const TempDir& root, const std::string& extraDrives)
    {
        root.mkdir("c");
        root.mkdir("d");
        std::string spec = driveEntry('c', root.path() / "c") + ";" + driveEntry('d', root.path() / "d");
        if (!extraDrives.empty()) spec += ";" + extraDrives;
        return std::make_unique<HostFileSystem>(spec);
    }

    // Host path of a drive-relative path: host("c/TEMP/a.tmp").
    std::filesystem::path host(std::string_view relative) const { return root.path() / hostPath(relative); }
    // Its UTF-8 text, as the program's host paths read.
    std::string hostText(std::string_view relative) const { return pathText(host(relative)); }

    void setOption(std::string_view key, std::string value)
    {
        settings.save(settings::App, settings::Options, key, value);
    }

    // Runs start-up (the main window's load) and shows the main window.
    frmScanTemps& start()
    {
        app = std::make_unique<App>(tk, services);
        app->start();
        return app->mainWindow();
    }

    frmScanTemps& main() { return app->mainWindow(); }

    // Programs the program starts really run on the host from now on.
    void useHostProcesses()
    {
        m_hostProcesses = std::make_unique<HostProcessStarter>(*fs);
        starter.use = m_hostProcesses.get();
    }
#ifndef _WIN32
    // Archives are read by the adapters of this build from now on.
    void useHostArchives()
    {
        m_hostArchives = std::make_unique<PosixArchiveReader>(*fs, VELMORA_BUILD_DIR);
        archiveReader.use = m_hostArchives.get();
    }
#endif

    TempDir root;
    std::unique_ptr<HostFileSystem> fs;
    testing::MemorySettings settings;
    testing::MapEnvironment env;
    testing::RecordingProcessStarter processes;
    ChosenStarter starter{processes};
    testing::ScriptedArchives archives;
    ChosenArchives archiveReader{archives};
    testing::RecordingShell shell;
    testing::RecordingPrinter printer;
    testing::FixedClock clock;
    testing::ScriptedFrontEnd fe;
    Toolkit tk{fe};
    Services services{settings, *fs, env, starter, shell, printer, clock, archiveReader};
    std::unique_ptr<App> app;

private:
    std::filesystem::path m_home;
    std::unique_ptr<HostProcessStarter> m_hostProcesses;
    std::unique_ptr<ArchiveReader> m_hostArchives;
};

// The start and end lines of a report under the fixed clock.
inline const std::string Started = "Сканирование начато 07.12.2026 23:49:51";
inline const std::string Ended = "Сканирование завершено 07.12.2026 23:49:51";

// Report lines joined as the scans join them.
inline std::string reportLines(std::initializer_list<std::string> parts)
{
    std::string all;
    for (const auto& p : parts) all += (all.empty() ? "" : "\r\n") + p;
    return all;
}

// Captures the report a hand-over shows; the window is then closed by its close box.
struct ReportCatcher {
    explicit ReportCatcher(ProgramHarness& h)
    {
        h.fe.onModal = [this](Form& form) {
            if (auto* report = dynamic_cast<frmReport*>(&form)) {
                title = report->caption();
                text = report->txtRep.text();
                ++shown;
            }
        };
    }
    std::string title, text;
    int shown = 0;
};

} // namespace velmora::testsupport

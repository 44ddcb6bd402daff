#pragma once
// Starts host programs from Windows-style command lines, never through a shell.
#include "platform/FileSystem.h"
#include "platform/ProcessStarter.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// The command line is split into words (see splitCommandLine); each word that is a drive path
// ("C:\A B\x.txt", and a bare "C:" for the drive's root) becomes its host path, the program "explorer" (or "explorer.exe", any
// case) becomes "xdg-open", and the program is found on PATH by execvp. Started programs
// inherit the working folder, the environment, standard output and standard error; their
// standard input is /dev/null, so a program never eats the commands of a console run.
class PosixProcessStarter : public ProcessStarter {
public:
    // `fs` must outlive the starter.
    explicit PosixProcessStarter(const FileSystem& fs);

    // The program runs detached (reaped by the system, never left a zombie here).
    bool start(std::string_view commandLine) override;
    // A program dropped before it ended is reaped by a later start or launch.
    std::unique_ptr<StartedProcess> launch(std::string_view commandLine) override;

    // Blanks (space, tab) separate words; double quotes group them and "" inside quotes is
    // one literal quote. Backslashes are ordinary characters, so "C:\" keeps its last one.
    // Nothing else is special: $, ;, |, ` and * are plain text.
    static std::vector<std::string> splitCommandLine(std::string_view commandLine);
    // `word` quoted so that splitCommandLine gives it back unchanged, whatever it holds.
    static std::string quote(std::string_view word);
    // The argument vector a command line starts: drive paths translated, explorer mapped;
    // nothing when a drive path names a drive that is not mapped.
    std::optional<std::vector<std::string>> hostArguments(std::string_view commandLine) const;

private:
    const FileSystem& m_fs;
    // Programs launched and dropped while still running, to be reaped once they end.
    std::shared_ptr<std::vector<int>> m_orphans = std::make_shared<std::vector<int>>();
};

} // namespace velmora

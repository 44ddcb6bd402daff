#pragma once
// Starts Windows programs from their command lines with CreateProcessW, never through a shell.
#include "platform/ProcessStarter.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class Win32FileSystem;

// The command line goes to CreateProcessW as it is, so the program reads its arguments as
// it would from any Windows program; the system finds it as CreateProcessW does (the
// program's folder, the working folder, the system folders, PATH). With a drive map in force,
// each argument that is a drive path ("D:\x y\z.txt", a bare "D:" for the root) is first
// replaced by its host path, quoted; the rest of the line stays as it was written. Started
// programs inherit the working folder, the environment, standard output and standard error;
// their standard input is the NUL device, so a program never eats the commands of a console
// run, and they inherit no other handle.
class Win32ProcessStarter : public ProcessStarter {
public:
    // `fs` must outlive the starter.
    explicit Win32ProcessStarter(const Win32FileSystem& fs);

    bool start(std::string_view commandLine) override;
    // The program keeps running on its own when the StartedProcess is dropped; stop() ends
    // it with exit status 1.
    std::unique_ptr<StartedProcess> launch(std::string_view commandLine) override;

    // The line CreateProcessW is given; nothing when a drive path names a drive the map
    // lacks.
    std::optional<std::wstring> hostCommandLine(std::string_view commandLine) const;

    // The words of a command line as the C runtime hands them to a program's main: blanks
    // separate them outside double quotes; 2n backslashes before a quote are n backslashes
    // and the quote groups, 2n+1 are n and a literal quote; "" inside quotes is a quote.
    static std::vector<std::string> splitArguments(std::string_view commandLine);
    // `word` written so that splitArguments gives it back unchanged.
    static std::string quoteArgument(std::string_view word);

private:
    const Win32FileSystem& m_fs;
};

} // namespace velmora

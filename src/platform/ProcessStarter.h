#pragma once
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// A program started by ProcessStarter::launch. Dropping it while the program runs leaves the
// program running on its own unless it was stopped.
class StartedProcess {
public:
    virtual ~StartedProcess() = default;
    // The program's exit status once it has ended (128 + the signal number when a signal
    // ended it), waiting at most `wait` for that; nothing while it still runs.
    virtual std::optional<int> exitStatus(std::chrono::milliseconds wait) = 0;
    // Asks the program to end now, as the system's own "terminate" does; it may still take a
    // moment. Nothing once it has ended.
    virtual void stop() = 0;
};

// Starts programs from a Windows-style command line. Never goes through a shell. A started
// program's standard input is empty: it never reads the user's.
class ProcessStarter {
public:
    virtual ~ProcessStarter() = default;
    // Starts the program without waiting. False when it could not be started.
    virtual bool start(std::string_view commandLine) = 0;
    // Starts the program so that its end can be awaited; nothing when it could not start.
    virtual std::unique_ptr<StartedProcess> launch(std::string_view commandLine) = 0;
};

// A path as one word of a command line: in double quotes when it holds a blank, so that the
// program gets it as one argument; as it is otherwise.
inline std::string commandWord(std::string_view path)
{
    if (path.find_first_of(" \t") == std::string_view::npos) return std::string(path);
    return "\"" + std::string(path) + "\"";
}

} // namespace velmora

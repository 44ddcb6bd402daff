#pragma once
#include <optional>
#include <string_view>

namespace velmora {

// Starts programs from a Windows-style command line. Never goes through a shell.
class ProcessStarter {
public:
    virtual ~ProcessStarter() = default;
    // Starts the program without waiting. False when it could not be started.
    virtual bool start(std::string_view commandLine) = 0;
    // Starts the program and waits; its exit status, or nothing when it could not start.
    virtual std::optional<int> run(std::string_view commandLine) = 0;
};

} // namespace velmora

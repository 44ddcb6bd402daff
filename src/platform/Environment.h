#pragma once
#include <string>
#include <string_view>

namespace velmora {

class Environment {
public:
    virtual ~Environment() = default;
    // The variable's value; names compare without regard to case. Empty when unset.
    // TMP, TEMP and windir come in drive form ("C:\tmp").
    virtual std::string get(std::string_view name) const = 0;
    // The process's command-line text after the program name, arguments joined by blanks.
    virtual std::string commandLine() const = 0;
};

} // namespace velmora

#pragma once
// The host's environment variables and command line, as a Windows program reads them.
#include "platform/Environment.h"
#include "platform/posix/PosixFileSystem.h"

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Names compare without regard to case; when the host sets a name twice in different case,
// the exact spelling wins. Variables are reported as the host has them: one defined but
// empty reads empty, so the program's own fallbacks apply. TMP, TEMP and windir holding host
// paths come in drive form by the file system's drive map; a host path no drive covers reads
// "\\?\unix\..." and opens nothing. As Windows always defines TMP, TMP reads as the host's
// temp folder (TMPDIR, else /tmp) when neither TMP nor TEMP is defined at all. windir unset
// or empty is the per-user data folder ($XDG_DATA_HOME/Velmora, else ~/.local/share/Velmora),
// which get() creates with its "help" subfolder when missing. The environment is read
// afresh on every call.
class PosixEnvironment : public Environment {
public:
    // Keeps copies of argv[1..]; `fs` must outlive the environment.
    PosixEnvironment(int argc, char** argv, const PosixFileSystem& fs);

    std::string get(std::string_view name) const override;
    std::string commandLine() const override;

private:
    std::string driveForm(const std::string& host) const;

    std::vector<std::string> m_arguments;
    const PosixFileSystem& m_fs;
};

} // namespace velmora

#pragma once
// The process's environment variables and command line, as Windows keeps them.
#include "platform/Environment.h"

#include <optional>
#include <string>
#include <string_view>

namespace velmora {

class Win32FileSystem;

// Names compare without regard to case, as Windows compares them. The command line is
// GetCommandLineW's text after the program's name, unchanged: quotes, doubled blanks and
// all, as the user typed it. Read afresh on every call.
//
// With a drive map in force (VELMORA_DRIVES), TMP, TEMP and windir holding a host folder
// that a mapped drive covers come in that drive's form, as the Linux host gives them; a
// host folder no drive covers reads "\\?\C:\elsewhere", which opens nothing (read as
// "C:\elsewhere" it would name a place on the mapped C:).
class Win32Environment : public Environment {
public:
    // `fs` must outlive the environment; nullptr: no drive map.
    explicit Win32Environment(const Win32FileSystem* fs = nullptr);
    // A fixed command line (the whole of it, program name first), for tests.
    Win32Environment(const Win32FileSystem* fs, std::wstring commandLine);

    std::string get(std::string_view name) const override;
    std::string commandLine() const override;

    // What follows the program's name in a whole command line, by the rule the C runtime's
    // argument parsing uses for it: the name runs to the first blank or tab outside double
    // quotes (quotes only group, nothing escapes them); the blanks after it are skipped.
    static std::wstring_view afterProgramName(std::wstring_view whole);

private:
    const Win32FileSystem* m_fs;
    std::optional<std::wstring> m_commandLine;
};

} // namespace velmora

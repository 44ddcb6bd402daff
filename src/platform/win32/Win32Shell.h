#pragma once
// Opens documents, folders and addresses with their default programs (ShellExecuteExW "open").
#include "platform/Shell.h"

namespace velmora {

class Win32FileSystem;

// A drive path goes as its host path (the same path unless a drive map is in force); an
// address ("http://...", "mailto:...") and a relative name as they are, the relative name
// taken against the working folder, which is the current folder. The system shows no error
// box of its own: a failure is only the result.
class Win32Shell : public Shell {
public:
    // `fs` must outlive the shell.
    explicit Win32Shell(const Win32FileSystem& fs);

    bool open(std::string_view documentOrAddress) override;

private:
    const Win32FileSystem& m_fs;
};

} // namespace velmora

#pragma once
// Opens documents and addresses with the desktop's default program (xdg-open).
#include "platform/FileSystem.h"
#include "platform/ProcessStarter.h"
#include "platform/Shell.h"

#include <string_view>

namespace velmora {

// A drive path is handed over as its host path; an address ("http://...", "mailto:...") as
// it is; a relative name as its host path when it names an existing file or folder, else as
// it is. Always exactly one argument to xdg-open, started without waiting and without a shell.
class PosixShell : public Shell {
public:
    // Drive paths ("C:\x") are left to the starter, which translates them; a relative name
    // goes as it is (the working folder is the current folder). `starter` must outlive the shell.
    explicit PosixShell(ProcessStarter& starter);
    // Translates every document itself. Both must outlive the shell.
    PosixShell(ProcessStarter& starter, const FileSystem& fs);

    bool open(std::string_view documentOrAddress) override;

private:
    ProcessStarter& m_starter;
    const FileSystem* m_fs = nullptr;
};

} // namespace velmora

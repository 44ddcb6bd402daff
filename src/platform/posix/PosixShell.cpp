#include "platform/posix/PosixShell.h"

#include "platform/WindowsPath.h"
#include "platform/posix/PosixProcessStarter.h"

#include <string>

namespace velmora {

PosixShell::PosixShell(ProcessStarter& starter) : m_starter(starter) {}

PosixShell::PosixShell(ProcessStarter& starter, const FileSystem& fs) : m_starter(starter), m_fs(&fs) {}

bool PosixShell::open(std::string_view what)
{
    // "\\server\share" and "\\?\unix\..." (a folder on no drive) name nothing here.
    if (what.empty() || winpath::isNetworkPath(what)) return false;
    std::string target(what);
    // One letter before the colon is a drive ("C:\x", "C:x"); no address scheme is that short.
    if (m_fs && winpath::hasDrive(what)) {
        auto host = m_fs->hostPath(what);
        if (!host) return false;
        target = std::move(*host);
    } else if (m_fs && what.find(':') == std::string_view::npos && (m_fs->fileSize(what) || m_fs->folderExists(what))) {
        if (auto host = m_fs->hostPath(what)) target = std::move(*host);
    }
    return m_starter.start("xdg-open " + PosixProcessStarter::quote(target));
}

} // namespace velmora

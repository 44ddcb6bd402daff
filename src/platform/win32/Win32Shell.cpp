#include "platform/win32/Win32Shell.h"

#include "platform/WindowsPath.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Text.h"

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include <string>

namespace velmora {

Win32Shell::Win32Shell(const Win32FileSystem& fs) : m_fs(fs) {}

bool Win32Shell::open(std::string_view what)
{
    if (what.empty()) return false;
    std::string target(what);
    if (winpath::hasDrive(what)) {
        auto host = m_fs.hostPath(what);
        if (!host) return false;
        target = std::move(*host);
    }
    // Some handlers of "open" are COM objects; a thread that has COM set up otherwise keeps it.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const std::wstring file = win32::widen(target);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = L"open";
    info.lpFile = file.c_str();
    info.nShow = SW_SHOWNORMAL;
    const bool opened = ::ShellExecuteExW(&info) != FALSE;
    if (SUCCEEDED(com)) ::CoUninitialize();
    return opened;
}

} // namespace velmora

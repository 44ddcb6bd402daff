#include "platform/win32/Win32Clock.h"

#include <windows.h>

namespace velmora {

DateTime Win32Clock::now() const
{
    SYSTEMTIME t{};
    ::GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

} // namespace velmora

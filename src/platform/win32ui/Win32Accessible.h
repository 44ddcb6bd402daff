#pragma once
// A control's name and description for screen readers (internal to the Win32 front-end).
#include <windows.h>

#include <string>

namespace velmora::win32 {

// The answer to WM_GETOBJECT for OBJID_CLIENT: the standard object of `window` (role, state,
// value, children as Windows has them) with the name and description given here, where the
// window's text is not the control's name (picture buttons, lists named by a label).
LRESULT accessibleObject(HWND window, WPARAM wParam, const std::wstring& name, const std::wstring& description);

} // namespace velmora::win32

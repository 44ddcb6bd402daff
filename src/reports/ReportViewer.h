#pragma once
// The report viewer: the report file read back and shown in the report window.
#include "platform/Services.h"
#include "platform/toolkit/Form.h"

#include <functional>
#include <string>
#include <string_view>

namespace velmora {

class frmReport;

// The report file's text as the viewer shows it: a line ends at a carriage return, a line
// feed right after it is skipped, a bare line feed ends nothing; every line is followed by
// "\r\n". `beforeLine` runs before each line is read.
std::string reportViewText(std::string_view fileText, const std::function<void()>& beforeLine);

// Reads the report file ("ReportFileName") and shows it modally over `owner`, with saving
// disabled; returns when the window is closed. A missing or empty file shows nothing.
void viewReportFile(Toolkit& tk, const Services& services, FormSlot<frmReport>& window, Form& owner);

} // namespace velmora

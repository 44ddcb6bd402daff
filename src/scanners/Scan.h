#pragma once
// What the automatic scans work through: the main window's browser and status label, the
// platform services, and the report hand-over.
#include "platform/Services.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

class DirListBox;
class DriveListBox;
class FileListBox;
class Label;
class ReportHandOver;
class Toolkit;

struct ScanContext {
    Toolkit& tk;
    const Services& services;
    DriveListBox& drive;
    DirListBox& folders;
    FileListBox& files;
    Label& scanStatus;
    // Hands a finished report to the report window; returns when the window is done.
    const ReportHandOver& handOver;
};

namespace scan {
// The ending of a counted word in the scans' messages: 1 none, 2 to 4 "а", else "ов" (the
// whole number decides, so 21 takes "ов").
std::string ending(std::int64_t count);
// Drives the scans never touch.
bool isFloppy(std::string_view driveEntry);
// Moves the folder tree (and with it the file list) to `folder`; true when both now show
// it, whatever spelling the tree gives it back in ("c:/Junk\" shows as "c:\Junk").
bool openInBrowser(const ScanContext& c, const std::string& folder);
} // namespace scan

} // namespace velmora

#include "scanners/Scan.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/toolkit/Form.h"

namespace velmora {

namespace scan {

std::string ending(std::int64_t count)
{
    if (count == 1) return "";
    if (count >= 2 && count <= 4) return "а";
    return "ов";
}

bool isFloppy(std::string_view driveEntry)
{
    const std::string prefix = text::toUpper(driveEntry.substr(0, 2));
    return prefix == "A:" || prefix == "B:";
}

bool openInBrowser(const ScanContext& c, const std::string& folder)
{
    if (!c.folders.setPath(folder)) return false;
    const std::string opened = c.services.fs.absolute(folder);
    return c.folders.path() == opened && c.files.path() == opened;
}

} // namespace scan

} // namespace velmora

#include "reports/ReportFile.h"

#include "platform/Text.h"

#include <algorithm>

namespace velmora {

namespace {

bool isAscii(std::string_view bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

TextEncoding reportEncoding(std::string_view existing, TextEncoding host)
{
    if (isAscii(existing)) return host;
    return text::isValidUtf8(existing) ? TextEncoding::Utf8 : TextEncoding::Windows1251;
}

bool appendReport(FileSystem& fs, std::string_view path, std::string_view text)
{
    // A file that cannot be read is taken as empty: the append may still be allowed.
    const std::string existing = fs.readFile(path).value_or(std::string());
    const TextEncoding encoding = reportEncoding(existing, fs.textEncoding());
    return fs.appendFile(path, encoding == TextEncoding::Utf8 ? text::toValidUtf8(text) : text::toCp1251(text));
}

std::string reportFileText(std::string_view bytes)
{
    return text::isValidUtf8(bytes) ? std::string(bytes) : text::fromCp1251(bytes);
}

} // namespace velmora

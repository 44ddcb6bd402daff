#pragma once
// The report file's bytes: one encoding per file, the host's for a new one; either read back.
#include "platform/FileSystem.h"

#include <string>
#include <string_view>

namespace velmora {

// The encoding text appended to a file now holding `existing` goes in: the file's own once it
// holds any non-ASCII text (UTF-8 when that is valid UTF-8, else Windows-1251), so a file
// never mixes the two; the host's for an empty or plain-ASCII file.
TextEncoding reportEncoding(std::string_view existing, TextEncoding host);

// Appends `text` (UTF-8) to the report file at `path` in one write, encoded as reportEncoding
// decides; a character the encoding lacks becomes '?'. True when it was written.
bool appendReport(FileSystem& fs, std::string_view path, std::string_view text);

// The report file's bytes as UTF-8 text: as they are when they are valid UTF-8, else read as
// Windows-1251, which every report of earlier versions is.
std::string reportFileText(std::string_view bytes);

} // namespace velmora

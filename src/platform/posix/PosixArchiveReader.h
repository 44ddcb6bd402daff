#pragma once
// Reads zip and 7z archives through the unpacking adapters' listing mode.
#include "platform/ArchiveReader.h"
#include "platform/FileSystem.h"

#include <string>

namespace velmora {

// The format is told by the file's first bytes, never by its name. The archive is opened once
// (a link at its end is refused) and handed to "velmora-unzip --list" or "velmora-un7z --list"
// as an inherited descriptor, so the adapter reads the very file that was opened. A format
// without an adapter, or an adapter that is not there, is a format this host does not read.
class PosixArchiveReader : public ArchiveReader {
public:
    // `fs` must outlive the reader; `adapters` is the folder that holds the adapters.
    PosixArchiveReader(const FileSystem& fs, std::string adapters);

    ArchiveListing list(std::string_view archive, const std::function<bool()>& keepWaiting) override;

    // Where the running program's adapters are: beside it (a build folder), or in
    // ../libexec/velmora from it (installed); "" when in neither.
    static std::string adapterFolder();

private:
    const FileSystem& m_fs;
    std::string m_adapters;
};

} // namespace velmora

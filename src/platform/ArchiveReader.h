#pragma once
// What an archive holds, for the formats the host can read.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// One plain file of an archive: its name as stored (in the program's name space) and size.
struct ArchiveMember {
    std::string name;
    std::int64_t size = 0;
};

struct ArchiveListing {
    enum class Outcome {
        Unknown,    // not a format this host reads: nothing is known of what it holds
        Unreadable, // a format it reads, but not this archive (cut short, damaged, given up)
        Listed,     // `files` is what it holds
    };
    Outcome outcome = Outcome::Unknown;
    std::vector<ArchiveMember> files; // folders and links are not among them
};

class ArchiveReader {
public:
    virtual ~ArchiveReader() = default;
    // Reads the archive at the drive path `archive` (never through a link at its end). While
    // that takes a while, `keepWaiting` is called now and then; its false gives up.
    virtual ArchiveListing list(std::string_view archive, const std::function<bool()>& keepWaiting) = 0;
};

// A host that reads no format.
class NoArchiveReader : public ArchiveReader {
public:
    ArchiveListing list(std::string_view, const std::function<bool()>&) override { return {}; }
};

inline ArchiveReader& noArchiveReader()
{
    static NoArchiveReader none;
    return none;
}

} // namespace velmora

// velmora-unzip [SWITCH ...] ARCHIVE DESTINATION  ->  unzip [SWITCH ...] ARCHIVE -d DESTINATION
// velmora-unzip --list ARCHIVE                    ->  the plain files it holds, "SIZE\tNAME\0" each
#include "adapters/Adapter.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace {

constexpr const char* Self = "velmora-unzip";

// unzip reads the last name of its archive argument as a pattern ("*", "?", "[...]"): "[x].zip"
// opens x.zip when that exists. A name holding any of those is handed over as a pattern that
// matches only itself: each special character in a class of its own, "\" doubled.
bool readsAsPattern(const std::string& name) { return name.find_first_of("*?[") != std::string::npos; }

std::string literalPattern(const std::string& name)
{
    std::string out;
    for (char c : name) {
        if (c == '*' || c == '?' || c == '[')
            out += {'[', c, ']'};
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out;
}

// "-o" (alone or among other letters: "-qo") overwrites unless "-n" says never; without either
// unzip would ask, and what is there is kept.
bool overwrites(const std::vector<std::string>& switches)
{
    bool o = false, n = false;
    for (const std::string& s : switches) {
        if (s.size() < 2 || s[0] != '-' || s[1] == '-') continue;
        o = o || s.find('o') != std::string::npos;
        n = n || s.find('n') != std::string::npos;
    }
    return o && !n;
}

// The zip file's central directory, read by hand: the names exactly as stored (unzip's own
// listings show control characters as "^J").
class ZipReader {
public:
    explicit ZipReader(int fd) : m_fd(fd) {}

    bool list()
    {
        struct stat st {};
        if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
        const std::uint64_t fileSize = static_cast<std::uint64_t>(st.st_size);
        // The end record: 22 bytes and a comment of at most 65535, at the very end.
        const std::uint64_t tail = std::min<std::uint64_t>(fileSize, 22 + 65535);
        const auto end = read(fileSize - tail, tail);
        if (!end) return false;
        std::optional<std::size_t> at;
        for (std::size_t i = end->size() >= 22 ? end->size() - 22 + 1 : 0; i-- > 0;)
            if (u32(*end, i) == 0x06054b50 && i + 22 + u16(*end, i + 20) == end->size()) {
                at = i;
                break;
            }
        if (!at) return false;
        std::uint64_t entries = u16(*end, *at + 10);
        std::uint64_t dirSize = u32(*end, *at + 12);
        std::uint64_t dirOffset = u32(*end, *at + 16);
        const std::uint64_t endOffset = fileSize - tail + *at;
        if (entries == 0xFFFF || dirSize == 0xFFFFFFFF || dirOffset == 0xFFFFFFFF) {
            // Zip64: the locator just before the end record names the larger record.
            if (endOffset < 20) return false;
            const auto locator = read(endOffset - 20, 20);
            if (!locator || u32(*locator, 0) != 0x07064b50) return false;
            const auto record = read(u64(*locator, 8), 56);
            if (!record || u32(*record, 0) != 0x06064b50) return false;
            entries = u64(*record, 32);
            dirSize = u64(*record, 40);
            dirOffset = u64(*record, 48);
        }
        if (dirOffset > fileSize || dirSize > fileSize - dirOffset || dirSize > (1u << 30)) return false;
        const auto dir = read(dirOffset, dirSize);
        if (!dir) return false;
        std::size_t p = 0;
        for (std::uint64_t n = 0; n < entries; ++n) {
            if (p + 46 > dir->size() || u32(*dir, p) != 0x02014b50) return false;
            const unsigned madeBy = u16(*dir, p + 4) >> 8;
            std::uint64_t size = u32(*dir, p + 24);
            const std::size_t nameLen = u16(*dir, p + 28), extraLen = u16(*dir, p + 30), commentLen = u16(*dir, p + 32);
            const std::uint32_t external = u32(*dir, p + 38);
            if (p + 46 + nameLen + extraLen + commentLen > dir->size()) return false;
            const std::string name = dir->substr(p + 46, nameLen);
            if (size == 0xFFFFFFFF) {
                // The zip64 extra field holds the real size first.
                for (std::size_t e = p + 46 + nameLen; e + 4 <= p + 46 + nameLen + extraLen;) {
                    const unsigned id = u16(*dir, e), len = u16(*dir, e + 2);
                    if (id == 0x0001 && len >= 8 && e + 12 <= dir->size()) size = u64(*dir, e + 4);
                    e += 4 + len;
                }
            }
            const unsigned mode = external >> 16;
            const bool unixMode = madeBy == 3 && mode != 0;
            const bool folder = name.ends_with('/') || (unixMode ? S_ISDIR(mode) : (external & 0x10) != 0);
            const bool plain = unixMode ? S_ISREG(mode) : true;
            if (!folder && plain) velmora::adapter::printMember(size, name);
            p += 46 + nameLen + extraLen + commentLen;
        }
        return true;
    }

private:
    std::optional<std::string> read(std::uint64_t offset, std::uint64_t size) const
    {
        std::string bytes(size, '\0');
        std::size_t got = 0;
        while (got < size) {
            const ssize_t n = ::pread(m_fd, bytes.data() + got, size - got, static_cast<off_t>(offset + got));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return std::nullopt;
            got += static_cast<std::size_t>(n);
        }
        return bytes;
    }
    static std::uint64_t byte(const std::string& s, std::size_t i) { return static_cast<unsigned char>(s[i]); }
    static unsigned u16(const std::string& s, std::size_t i)
    {
        return static_cast<unsigned>(byte(s, i) | byte(s, i + 1) << 8);
    }
    static std::uint32_t u32(const std::string& s, std::size_t i)
    {
        return static_cast<std::uint32_t>(u16(s, i) | static_cast<std::uint64_t>(u16(s, i + 2)) << 16);
    }
    static std::uint64_t u64(const std::string& s, std::size_t i)
    {
        return u32(s, i) | static_cast<std::uint64_t>(u32(s, i + 4)) << 32;
    }
    int m_fd;
};

int list(const char* archive)
{
    const int fd = ::open(archive, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0 || !ZipReader(fd).list()) {
        std::fprintf(stderr, "%s: cannot read %s\n", Self, archive);
        return 9;
    }
    ::close(fd);
    return std::fflush(stdout) == 0 ? 0 : 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (velmora::adapter::listing(argc, argv)) return list(argv[2]);
    auto r = velmora::adapter::parse(argc, argv, "velmora-unzip [SWITCH ...] ARCHIVE DESTINATION");
    std::string archive = velmora::adapter::anchored(r.archive);
    const std::size_t cut = archive.rfind('/') + 1;
    if (readsAsPattern(archive.substr(cut))) {
        // When nothing matches, unzip opens the pattern's own text, which may name another file.
        struct stat st {};
        if (::stat(archive.c_str(), &st) != 0) {
            std::fprintf(stderr, "%s: cannot open %s: %s\n", Self, r.archive.c_str(), std::strerror(errno));
            return 9; // unzip's status for an archive it cannot find
        }
        archive = archive.substr(0, cut) + literalPattern(archive.substr(cut));
    }
    return velmora::adapter::unpackSafely(Self, r.destination, false, overwrites(r.switches),
                                          [&](const std::string& into) {
                                              std::vector<std::string> args{"unzip"};
                                              args.insert(args.end(), r.switches.begin(), r.switches.end());
                                              args.insert(args.end(), {archive, "-d", into});
                                              return args;
                                          });
}

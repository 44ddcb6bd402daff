#include "platform/Wildcard.h"

#include "platform/Text.h"

#include <cstdint>
#include <cstring>
#include <optional>

namespace velmora {

namespace {

// Upper-cases one character of `src` into `dst` at `i` and returns the next index. Every
// mapping keeps the byte length, and the lead bytes 0xD0..0xD2 never occur inside another
// sequence, so no decoding is needed.
std::size_t foldOne(const char* src, char* dst, std::size_t n, std::size_t i)
{
    const auto c = static_cast<unsigned char>(src[i]);
    if (c < 0x80) {
        dst[i] = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
        return i + 1;
    }
    dst[i] = static_cast<char>(c);
    if (c < 0xD0 || c > 0xD2 || i + 1 >= n)
        return i + 1;
    auto c0 = c;
    auto c1 = static_cast<unsigned char>(src[i + 1]);
    if ((c1 & 0xC0) != 0x80)
        return i + 1;
    if (c0 == 0xD0 && c1 >= 0xB0 && c1 <= 0xBF) {
        c1 = static_cast<unsigned char>(c1 - 0x20);
    } else if (c0 == 0xD1 && c1 >= 0x80 && c1 <= 0x8F) {
        c0 = 0xD0;
        c1 = static_cast<unsigned char>(c1 + 0x20);
    } else if (c0 == 0xD1 && c1 >= 0x90 && c1 <= 0x9F) {
        c0 = 0xD0;
        c1 = static_cast<unsigned char>(c1 - 0x10);
    } else if (c0 == 0xD2 && c1 == 0x91) {
        c1 = 0x90;
    }
    dst[i] = static_cast<char>(c0);
    dst[i + 1] = static_cast<char>(c1);
    return i + 2;
}

// Folds eight ASCII bytes at once; most names are plain ASCII and this is the walk's hot loop.
std::uint64_t upperAscii8(std::uint64_t w)
{
    constexpr std::uint64_t ones = 0x0101010101010101ull;
    const std::uint64_t atLeastA = w + ones * (0x80 - 'a');
    const std::uint64_t aboveZ = w + ones * (0x80 - 'z' - 1);
    return w ^ (((atLeastA & ~aboveZ) & (ones * 0x80)) >> 2);
}

void foldUpper(const char* src, char* dst, std::size_t n)
{
    constexpr std::uint64_t high = 0x8080808080808080ull;
    std::size_t i = 0;
    while (i + 8 <= n) {
        std::uint64_t w;
        std::memcpy(&w, src + i, 8);
        if ((w & high) == 0) {
            w = upperAscii8(w);
            std::memcpy(dst + i, &w, 8);
            i += 8;
            continue;
        }
        for (const std::size_t end = i + 8; i < end;)
            i = foldOne(src, dst, n, i);
    }
    while (i < n)
        i = foldOne(src, dst, n, i);
}

// Length of the character starting at `i`: what "?" consumes. An invalid byte is one.
std::size_t charLen(std::string_view s, std::size_t i)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80)
        return 1;
    std::size_t len = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF)
        len = 2;
    else if (b0 >= 0xE0 && b0 <= 0xEF)
        len = 3;
    else if (b0 >= 0xF0 && b0 <= 0xF4)
        len = 4;
    if (len == 0 || s.size() - i < len)
        return 1;
    return text::isValidUtf8(s.substr(i, len)) ? len : 1;
}

// '*' and '?' over folded text, iteratively: on a mismatch only the last star is
// widened, which is enough for these two wildcards and never explodes.
bool glob(std::string_view mask, std::string_view name)
{
    std::size_t m = 0, n = 0;
    std::size_t starM = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (m < mask.size()) {
            const char c = mask[m];
            if (c == '*') {
                starM = ++m;
                starN = n;
                continue;
            }
            if (c == '?') {
                ++m;
                n += charLen(name, n);
                continue;
            }
            if (c == name[n]) {
                ++m;
                ++n;
                continue;
            }
        }
        if (starM == std::string_view::npos)
            return false;
        starN += charLen(name, starN);
        m = starM;
        n = starN;
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

bool hasWildcard(std::string_view s) { return s.find_first_of("*?") != std::string_view::npos; }

bool allStars(std::string_view s) { return s.find_first_not_of('*') == std::string_view::npos; }

// A mask whose part after its last dot is all stars (or empty) also matches a name with no
// dot by its part before that dot; this returns that part, or nothing.
std::optional<std::string_view> dotlessStem(std::string_view foldedMask)
{
    const std::size_t dot = foldedMask.rfind('.');
    if (dot == std::string_view::npos || !allStars(foldedMask.substr(dot + 1)))
        return std::nullopt;
    return foldedMask.substr(0, dot);
}

bool matchFolded(std::string_view mask, std::optional<std::string_view> stem, std::string_view name)
{
    if (glob(mask, name))
        return true;
    return stem && name.find('.') == std::string_view::npos && glob(*stem, name);
}

std::string_view trimBlanks(std::string_view s)
{
    const std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos)
        return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// A small open-addressing set of strings: a lookup is one hash and usually one compare.
class StringSet {
public:
    void insert(std::string s)
    {
        if (contains(s))
            return;
        m_items.push_back(std::move(s));
        rehash();
    }

    bool contains(std::string_view s) const
    {
        if (m_items.empty())
            return false;
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = hash(s) & mask;; i = (i + 1) & mask) {
            const std::uint32_t slot = m_slots[i];
            if (slot == 0)
                return false;
            if (m_items[slot - 1] == s)
                return true;
        }
    }

    bool empty() const { return m_items.empty(); }

private:
    static std::size_t hash(std::string_view s)
    {
        std::uint64_t h = 14695981039346656037ull;
        for (char c : s) {
            h ^= static_cast<unsigned char>(c);
            h *= 1099511628211ull;
        }
        return static_cast<std::size_t>(h ^ (h >> 29));
    }

    void rehash()
    {
        std::size_t size = 8;
        while (size < m_items.size() * 2)
            size *= 2;
        m_slots.assign(size, 0);
        for (std::size_t k = 0; k < m_items.size(); ++k) {
            std::size_t i = hash(m_items[k]) & (size - 1);
            while (m_slots[i] != 0)
                i = (i + 1) & (size - 1);
            m_slots[i] = static_cast<std::uint32_t>(k + 1);
        }
    }

    std::vector<std::string> m_items;
    std::vector<std::uint32_t> m_slots;
};

struct GlobMask {
    std::string folded;
    std::size_t stemLength = std::string::npos; // npos: no dotless form
};

// Folds a name into a caller's buffer, growing a per-thread one only for long names.
class FoldedName {
public:
    explicit FoldedName(std::string_view name)
    {
        char* dst = m_local;
        if (name.size() > sizeof m_local) {
            thread_local std::string big;
            big.resize(name.size());
            dst = big.data();
        }
        foldUpper(name.data(), dst, name.size());
        m_view = std::string_view(dst, name.size());
    }
    std::string_view view() const { return m_view; }

private:
    char m_local[512];
    std::string_view m_view;
};

// Bit k stands for a length of k bytes; the top bit for every longer one.
class LengthSet {
public:
    void add(std::size_t n) { m_bits |= bit(n); }
    bool mayHold(std::size_t n) const { return (m_bits & bit(n)) != 0; }

private:
    static std::uint64_t bit(std::size_t n) { return std::uint64_t{1} << (n < 63 ? n : 63); }
    std::uint64_t m_bits = 0;
};

std::string_view extensionOf(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

} // namespace

struct MaskList::Impl {
    bool matchAll = false;
    // "*.EXT" masks by EXT, masks without wildcards by name; the length sets spare most
    // names a hash of text that cannot be there.
    StringSet extensions;
    LengthSet extensionLengths;
    StringSet names;
    LengthSet nameLengths;
    std::vector<GlobMask> globs;

    bool empty() const { return !matchAll && extensions.empty() && names.empty() && globs.empty(); }

    void compile(std::string_view list)
    {
        std::vector<std::string> plain;
        std::size_t start = 0;
        while (start <= list.size()) {
            std::size_t end = list.find(';', start);
            if (end == std::string_view::npos)
                end = list.size();
            const std::string_view mask = trimBlanks(list.substr(start, end - start));
            if (!mask.empty())
                add(mask, plain);
            start = end + 1;
        }
        // A plain name that an extension mask already takes ("alexa.tmp" beside "*.tmp")
        // would only cost a second lookup.
        for (std::string& name : plain) {
            const std::string_view ext = extensionOf(name);
            if (name.find('.') != std::string::npos && extensions.contains(ext))
                continue;
            nameLengths.add(name.size());
            names.insert(std::move(name));
        }
    }

    void add(std::string_view mask, std::vector<std::string>& plain)
    {
        std::string folded = text::toUpper(mask);
        const auto stem = dotlessStem(folded);
        if (allStars(folded) || (stem && allStars(*stem) && folded.back() == '*')) {
            matchAll = true;
            return;
        }
        if (!hasWildcard(folded) && !stem) {
            plain.push_back(std::move(folded));
            return;
        }
        if (folded.size() > 2 && folded.compare(0, 2, "*.") == 0) {
            const std::string_view ext = std::string_view(folded).substr(2);
            if (!hasWildcard(ext) && ext.find('.') == std::string_view::npos) {
                extensionLengths.add(ext.size());
                extensions.insert(std::string(ext));
                return;
            }
        }
        GlobMask g;
        if (stem)
            g.stemLength = stem->size();
        g.folded = std::move(folded);
        globs.push_back(std::move(g));
    }

    bool matches(std::string_view name) const
    {
        if (matchAll)
            return true;
        const FoldedName foldedName(name);
        const std::string_view f = foldedName.view();
        const std::size_t dot = f.rfind('.');
        if (dot != std::string_view::npos) {
            const std::string_view ext = f.substr(dot + 1);
            if (extensionLengths.mayHold(ext.size()) && extensions.contains(ext))
                return true;
        }
        if (nameLengths.mayHold(f.size()) && names.contains(f))
            return true;
        for (const GlobMask& g : globs) {
            std::optional<std::string_view> stem;
            if (g.stemLength != std::string::npos)
                stem = std::string_view(g.folded).substr(0, g.stemLength);
            if (matchFolded(g.folded, stem, f))
                return true;
        }
        return false;
    }
};

MaskList::MaskList() : m_impl(std::make_unique<Impl>()) {}

MaskList::MaskList(std::string_view list) : m_text(list), m_impl(std::make_unique<Impl>())
{
    m_impl->compile(list);
}

MaskList::~MaskList() = default;

MaskList::MaskList(const MaskList& other)
    : m_text(other.m_text), m_impl(std::make_unique<Impl>(other.m_impl ? *other.m_impl : Impl{}))
{
}

MaskList& MaskList::operator=(const MaskList& other)
{
    if (this != &other) {
        MaskList copy(other);
        *this = std::move(copy);
    }
    return *this;
}

MaskList::MaskList(MaskList&&) noexcept = default;
MaskList& MaskList::operator=(MaskList&&) noexcept = default;

bool MaskList::matches(std::string_view name) const { return m_impl && m_impl->matches(name); }

bool MaskList::empty() const { return !m_impl || m_impl->empty(); }

bool matchMask(std::string_view mask, std::string_view name)
{
    if (mask.empty())
        return false;
    const std::string foldedMask = text::toUpper(mask);
    const std::string foldedName = text::toUpper(name);
    return matchFolded(foldedMask, dotlessStem(foldedMask), foldedName);
}

} // namespace velmora

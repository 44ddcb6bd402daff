#include "platform/Wildcard.h"

#include "platform/CaseFold.h"
#include "platform/Text.h"
#include "platform/Utf8.h"

#include <cstdint>
#include <optional>

namespace velmora {

namespace {

// Length of the character starting at `i`: what "?" consumes. An invalid byte is one.
std::size_t charLen(std::string_view s, std::size_t i)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    return b0 < 0x80 ? 1 : utf8::decodeAt(s, i).len;
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
        if (starM == std::string_view::npos) return false;
        starN += charLen(name, starN);
        m = starM;
        n = starN;
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

bool hasWildcard(std::string_view s) { return s.find_first_of("*?") != std::string_view::npos; }

bool allStars(std::string_view s) { return s.find_first_not_of('*') == std::string_view::npos; }

// A mask whose part after its last dot is all stars (or empty) also matches a name with no
// dot by its part before that dot; this returns that part, or nothing. With nothing before
// the dot there is no such name: ".*" takes only names that begin with a dot.
std::optional<std::string_view> dotlessStem(std::string_view foldedMask)
{
    const std::size_t dot = foldedMask.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || !allStars(foldedMask.substr(dot + 1))) return std::nullopt;
    return foldedMask.substr(0, dot);
}

bool matchFolded(std::string_view mask, std::optional<std::string_view> stem, std::string_view name)
{
    if (glob(mask, name)) return true;
    return stem && name.find('.') == std::string_view::npos && glob(*stem, name);
}

std::string_view trimBlanks(std::string_view s)
{
    const std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// A small open-addressing set of strings: a lookup is one hash and usually one compare.
class StringSet {
public:
    void insert(std::string s)
    {
        if (contains(s)) return;
        m_items.push_back(std::move(s));
        rehash();
    }

    bool contains(std::string_view s) const
    {
        if (m_items.empty()) return false;
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = hash(s) & mask;; i = (i + 1) & mask) {
            const std::uint32_t slot = m_slots[i];
            if (slot == 0) return false;
            if (m_items[slot - 1] == s) return true;
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
        while (size < m_items.size() * 2) size *= 2;
        m_slots.assign(size, 0);
        for (std::size_t k = 0; k < m_items.size(); ++k) {
            std::size_t i = hash(m_items[k]) & (size - 1);
            while (m_slots[i] != 0) i = (i + 1) & (size - 1);
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

// Folds a name into a local buffer, growing a per-thread one only for long names. The
// folded name may be longer or shorter than the name.
class FoldedName {
public:
    explicit FoldedName(std::string_view name)
    {
        char* dst = m_local;
        const std::size_t room = casefold::maxFoldedSize(name.size());
        if (room > sizeof m_local) {
            thread_local std::string big;
            if (big.size() < room) big.resize(room);
            dst = big.data();
        }
        m_view = std::string_view(dst, casefold::toUpper(name, dst));
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

// Masks compiled for matching: the shortcuts below stand for the general rule (glob plus
// the dotless form) and never answer otherwise than it would.
struct Compiled {
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
            if (end == std::string_view::npos) end = list.size();
            const std::string_view mask = trimBlanks(list.substr(start, end - start));
            if (!mask.empty()) add(mask, plain);
            start = end + 1;
        }
        addPlain(plain);
    }

    // One mask as it stands: no ";" splits it and no blank is trimmed.
    void compileOne(std::string_view mask)
    {
        std::vector<std::string> plain;
        if (!mask.empty()) add(mask, plain);
        addPlain(plain);
    }

    // A plain name that an extension mask already takes ("alexa.tmp" beside "*.tmp") would
    // only cost a second lookup.
    void addPlain(std::vector<std::string>& plain)
    {
        for (std::string& name : plain) {
            const std::string_view ext = extensionOf(name);
            if (name.find('.') != std::string::npos && extensions.contains(ext)) continue;
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
        if (stem) g.stemLength = stem->size();
        g.folded = std::move(folded);
        globs.push_back(std::move(g));
    }

    bool matches(std::string_view name) const
    {
        if (matchAll) return true;
        const FoldedName foldedName(name);
        const std::string_view f = foldedName.view();
        const std::size_t dot = f.rfind('.');
        if (dot != std::string_view::npos) {
            const std::string_view ext = f.substr(dot + 1);
            if (extensionLengths.mayHold(ext.size()) && extensions.contains(ext)) return true;
        }
        if (nameLengths.mayHold(f.size()) && names.contains(f)) return true;
        for (const GlobMask& g : globs) {
            std::optional<std::string_view> stem;
            if (g.stemLength != std::string::npos) stem = std::string_view(g.folded).substr(0, g.stemLength);
            if (matchFolded(g.folded, stem, f)) return true;
        }
        return false;
    }
};

} // namespace

struct MaskList::Impl : Compiled {};

MaskList::MaskList() : m_impl(std::make_unique<Impl>()) {}

MaskList::MaskList(std::string_view list) : m_text(list), m_impl(std::make_unique<Impl>()) { m_impl->compile(list); }

MaskList::~MaskList() = default;

MaskList::MaskList(const MaskList& other)
    : m_text(other.m_text), m_impl(std::make_unique<Impl>(other.m_impl ? *other.m_impl : Impl{}))
{}

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
    Compiled one;
    one.compileOne(mask);
    return one.matches(name);
}

} // namespace velmora

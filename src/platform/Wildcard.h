#pragma once
// File name matching against a ";"-separated mask list, as the file list does it.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// A compiled mask list. "*" matches any run of characters (dots included), "?" one
// character; every letter with a simple case mapping matches without regard to case, as
// text::equalNoCase compares. A mask whose part after its last dot is all "*" also matches
// a name without a dot by its part before that dot, as DOS masks do ("*.*" matches every
// name, "CHKLIST.*" matches "CHKLIST"); ".*" has no such part and matches only names that
// begin with a dot. Empty masks between separators are ignored.
// Compile once, match many names: the common "*.ext" and plain-name masks are looked up
// by hash after the name is folded once.
class MaskList {
public:
    MaskList();
    explicit MaskList(std::string_view list);
    ~MaskList();
    MaskList(const MaskList&);
    MaskList& operator=(const MaskList&);
    MaskList(MaskList&&) noexcept;
    MaskList& operator=(MaskList&&) noexcept;

    // True when `name` (a bare file name, UTF-8 or any bytes) matches at least one mask.
    bool matches(std::string_view name) const;
    const std::string& text() const { return m_text; }
    bool empty() const;

private:
    struct Impl;
    std::string m_text;
    std::unique_ptr<Impl> m_impl;
};

// One mask against one name, by the same rules and the same matcher as a list: the mask is
// taken whole, never split at ";" nor trimmed.
bool matchMask(std::string_view mask, std::string_view name);

} // namespace velmora

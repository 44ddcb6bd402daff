#include "rules/Masks.h"

namespace velmora::masks {

std::string_view categoryMasks(int index)
{
    if (index < 0 || index >= static_cast<int>(Categories.size())) return {};
    return Categories[static_cast<std::size_t>(index)].masks;
}

std::string_view startupSelection(std::string_view stored)
{
    for (std::string_view preset : {Full, Compressed, Minimal})
        if (stored == preset) return preset;
    return Full;
}

} // namespace velmora::masks

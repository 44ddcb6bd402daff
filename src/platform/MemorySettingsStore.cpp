#include "platform/MemorySettingsStore.h"

namespace velmora {

std::string MemorySettingsStore::get(std::string_view app, std::string_view section, std::string_view key,
                                     std::string_view def) const
{
    const auto it = values.find({std::string(app), std::string(section), std::string(key)});
    return it == values.end() ? std::string(def) : it->second;
}

bool MemorySettingsStore::save(std::string_view app, std::string_view section, std::string_view key,
                               std::string_view value)
{
    values[{std::string(app), std::string(section), std::string(key)}] = std::string(value);
    return true;
}

} // namespace velmora

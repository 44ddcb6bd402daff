#pragma once
// Per-user settings: application -> section -> key -> text.
#include <string>
#include <string_view>

namespace velmora {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    // The stored text, or `def` when the key (or its section) is absent or the store
    // cannot be read. Never fails.
    virtual std::string get(std::string_view app, std::string_view section, std::string_view key,
                            std::string_view def) const = 0;

    // Stores `value`, creating the section path as needed. Returns false when the value
    // could not be kept; callers are free to ignore that.
    virtual bool save(std::string_view app, std::string_view section, std::string_view key, std::string_view value) = 0;
};

} // namespace velmora

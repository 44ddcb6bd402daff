#pragma once
// Settings kept in memory for the length of a run: the store of a build without a settings
// file of its own.
#include "platform/SettingsStore.h"

#include <map>
#include <string>
#include <tuple>

namespace velmora {

class MemorySettingsStore : public SettingsStore {
public:
    std::string get(std::string_view app, std::string_view section, std::string_view key,
                    std::string_view def) const override;
    bool save(std::string_view app, std::string_view section, std::string_view key, std::string_view value) override;

    std::map<std::tuple<std::string, std::string, std::string>, std::string> values;
};

} // namespace velmora

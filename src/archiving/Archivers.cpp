#include "archiving/Archivers.h"

#include "platform/SettingsStore.h"
#include "platform/toolkit/Controls.h"
#include "settings/Settings.h"

#include <charconv>

namespace velmora::archivers {

std::string key(std::string_view field, int n) { return std::string(field) + std::to_string(n); }

std::string read(const SettingsStore& store, std::string_view field, int n)
{
    return settings::read(store, settings::ArchiversSection, key(field, n), "");
}

bool save(SettingsStore& store, std::string_view field, int n, std::string_view value)
{
    return store.save(settings::App, settings::ArchiversSection, key(field, n), value);
}

void enumerate(const SettingsStore& store, ListControl& list)
{
    std::vector<std::string> entries;
    for (int n = 1;; ++n) {
        const std::string name = read(store, "Name", n);
        if (name.empty()) break;
        entries.push_back("# " + std::to_string(n) + " " + name);
    }
    list.addItems(std::move(entries));
}

int numberOf(std::string_view entry)
{
    if (!entry.starts_with("# ")) return 0;
    const std::string_view digits = entry.substr(2, entry.find(' ', 2) - 2);
    int n = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (error != std::errc() || end != digits.data() + digits.size() || n < 0) return 0;
    return n;
}

int numberForNew(const SettingsStore& store, int selected)
{
    if (read(store, "Name", selected + 1).empty()) return selected + 1;
    int n = 1;
    while (!read(store, "Name", n).empty()) ++n;
    return n;
}

} // namespace velmora::archivers

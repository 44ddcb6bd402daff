#include "settings/Settings.h"

#include "platform/Environment.h"
#include "platform/SettingsStore.h"

#include <charconv>

namespace velmora::settings {

std::string defaultStartFolder(const Environment& env)
{
    std::string folder = env.get("TMP");
    if (folder.empty()) folder = env.get("TEMP");
    if (folder.empty()) folder = "C:\\TEMP";
    return folder;
}

std::string read(const SettingsStore& store, std::string_view section, std::string_view key, std::string_view def)
{
    return store.get(App, section, key, def);
}

std::string readOption(const SettingsStore& store, std::string_view key, std::string_view def)
{
    return store.get(App, Options, key, def);
}

bool saveOption(SettingsStore& store, std::string_view key, std::string_view value)
{
    return store.save(App, Options, key, value);
}

std::optional<long> flagNumber(std::string_view text)
{
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

bool flagEquals(std::string_view text, long value, long def) { return flagNumber(text).value_or(def) == value; }

bool alwaysSaveReport(const SettingsStore& store)
{
    return flagEquals(read(store, ReportSection, AlwaysSave, "0"), 1, 0);
}

std::string reportFileName(const SettingsStore& store) { return readOption(store, ReportFileName, DefaultReportFile); }

} // namespace velmora::settings

#pragma once
// Settings in the registry, where a Windows program of this kind keeps them.
#include "platform/SettingsStore.h"

#include <string>

namespace velmora {

// A value is the string value `key` of the registry key
// HKEY_CURRENT_USER\<base>\<app>\<section>; a section such as "[Options]\[Report]" is a key
// and its sub-key. Values are written as REG_SZ; a REG_EXPAND_SZ written by hand is read as
// it stands, unexpanded, and a value of any other type counts as absent. Every call opens
// the key afresh, so another instance's writes are seen at once; the registry itself keeps
// each write whole.
class RegistrySettingsStore : public SettingsStore {
public:
    // `base`: the key below HKEY_CURRENT_USER that holds every application's settings.
    explicit RegistrySettingsStore(std::string base = "Software\\VB and VBA Program Settings");

    // The value of VELMORA_SETTINGS_KEY (a key below HKEY_CURRENT_USER that stands in for
    // "Software\VB and VBA Program Settings", as a test run's own), or that key when it is unset.
    static std::string baseFromEnvironment();

    std::string get(std::string_view app, std::string_view section, std::string_view key,
                    std::string_view def) const override;
    // False when the key cannot be made or the value written.
    bool save(std::string_view app, std::string_view section, std::string_view key, std::string_view value) override;
    // The section's key opened once; each value is still read from the registry as it is asked.
    std::unique_ptr<SettingsSection> section(std::string_view app, std::string_view section) const override;

    // The key below HKEY_CURRENT_USER that holds `app`'s `section`.
    std::string keyPath(std::string_view app, std::string_view section) const;

private:
    std::string m_base;
};

} // namespace velmora

#pragma once
// Settings kept by QSettings in INI files, one per application.
#include "platform/SettingsStore.h"

#include <memory>
#include <string>

class QSettings;

namespace velmora {

// Sections are group paths: "[Options]\[Report]" is stored as the group "[Options]/[Report]".
// Every call opens the file afresh (a section once for all its keys), so writes of another
// instance or process are seen at the next call, and QSettings' lock merges concurrent writers without losing keys. Needs no
// QCoreApplication.
class QtSettingsStore : public SettingsStore {
public:
    // Per user: $XDG_CONFIG_HOME/Velmora/<app>.ini (~/.config when unset). Qt reads the
    // variable once per process, at the first use of QSettings.
    QtSettingsStore();
    // Every application's settings in this one INI file, whatever `app` says.
    explicit QtSettingsStore(std::string iniFile);

    std::string get(std::string_view app, std::string_view section, std::string_view key,
                    std::string_view def) const override;
    // False when the file cannot be written (its folder is read-only or cannot be made).
    bool save(std::string_view app, std::string_view section, std::string_view key, std::string_view value) override;
    std::unique_ptr<SettingsSection> section(std::string_view app, std::string_view section) const override;

private:
    std::unique_ptr<QSettings> open(std::string_view app) const;
    std::string m_file;
};

} // namespace velmora

#pragma once
// Per-user settings: application -> section -> key -> text.
#include <memory>
#include <string>
#include <string_view>

namespace velmora {

// One reading of a section, for a reader that needs many of its keys together (a whole table).
class SettingsSection {
public:
    virtual ~SettingsSection() = default;
    // As SettingsStore::get for a key of this section.
    virtual std::string get(std::string_view key, std::string_view def) const = 0;
};

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

    // `section` read once for many keys: a store that reads a whole file to answer one key
    // reads it once here rather than once per key, and answers every key from that reading.
    // Nothing outlives the returned object: the next call reads afresh. By default each key is
    // asked of the store itself.
    virtual std::unique_ptr<SettingsSection> section(std::string_view app, std::string_view section) const;
};

inline std::unique_ptr<SettingsSection> SettingsStore::section(std::string_view app, std::string_view section) const
{
    class ByKey : public SettingsSection {
    public:
        ByKey(const SettingsStore& store, std::string_view app, std::string_view section)
            : m_store(store), m_app(app), m_section(section)
        {}
        std::string get(std::string_view key, std::string_view def) const override
        {
            return m_store.get(m_app, m_section, key, def);
        }

    private:
        const SettingsStore& m_store;
        std::string m_app, m_section;
    };
    return std::make_unique<ByKey>(*this, app, section);
}

} // namespace velmora

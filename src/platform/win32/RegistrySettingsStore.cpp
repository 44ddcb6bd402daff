#include "platform/win32/RegistrySettingsStore.h"

#include "platform/win32/Win32Text.h"

#include <windows.h>

#include <vector>

namespace velmora {

namespace {

class Key {
public:
    Key() = default;
    ~Key()
    {
        if (m_key) ::RegCloseKey(m_key);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY* out() { return &m_key; }
    HKEY get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

} // namespace

RegistrySettingsStore::RegistrySettingsStore(std::string base) : m_base(std::move(base)) {}

std::string RegistrySettingsStore::baseFromEnvironment()
{
    wchar_t value[1024];
    const DWORD n = ::GetEnvironmentVariableW(L"VELMORA_SETTINGS_KEY", value, 1024);
    if (n > 0 && n < 1024) return win32::narrow(std::wstring_view(value, n));
    return "Software\\VB and VBA Program Settings";
}

std::string RegistrySettingsStore::keyPath(std::string_view app, std::string_view section) const
{
    std::string path = m_base;
    for (const std::string_view part : {app, section}) {
        if (part.empty()) continue;
        if (!path.empty() && path.back() != '\\') path += '\\';
        path += part;
    }
    return path;
}

namespace {

// The string value `key` of an open key; `def` when it is absent or not a string.
std::string readValue(HKEY key, std::string_view valueName, std::string_view def)
{
    const std::wstring name = win32::widen(valueName);
    // The value may grow between asking its size and reading it: ask again then.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0;
        DWORD bytes = 0;
        if (::RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_EXPAND_SZ))
            return std::string(def);
        std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
        DWORD got = bytes;
        const LONG status =
            ::RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &got);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::string(def);
        // Stored strings may or may not end in a NUL; the text ends at the first one.
        std::wstring_view text(buffer.data(), got / sizeof(wchar_t));
        if (const auto nul = text.find(L'\0'); nul != std::wstring_view::npos) text = text.substr(0, nul);
        return win32::narrow(text);
    }
    return std::string(def);
}

// The section's key opened once for all the values read through it.
class RegistrySection : public SettingsSection {
public:
    explicit RegistrySection(const std::string& path)
    {
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, win32::widen(path).c_str(), 0, KEY_QUERY_VALUE, m_key.out()) !=
            ERROR_SUCCESS)
            m_open = false;
    }
    std::string get(std::string_view key, std::string_view def) const override
    {
        return m_open ? readValue(m_key.get(), key, def) : std::string(def);
    }

private:
    Key m_key;
    bool m_open = true;
};

} // namespace

std::string RegistrySettingsStore::get(std::string_view app, std::string_view section, std::string_view key,
                                       std::string_view def) const
{
    Key k;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, win32::widen(keyPath(app, section)).c_str(), 0, KEY_QUERY_VALUE, k.out()) !=
        ERROR_SUCCESS)
        return std::string(def);
    return readValue(k.get(), key, def);
}

std::unique_ptr<SettingsSection> RegistrySettingsStore::section(std::string_view app, std::string_view section) const
{
    return std::make_unique<RegistrySection>(keyPath(app, section));
}

bool RegistrySettingsStore::save(std::string_view app, std::string_view section, std::string_view key,
                                 std::string_view value)
{
    Key k;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, win32::widen(keyPath(app, section)).c_str(), 0, nullptr,
                          REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, k.out(), nullptr) != ERROR_SUCCESS)
        return false;
    const std::wstring text = win32::widen(value);
    const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(k.get(), win32::widen(key).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            bytes) == ERROR_SUCCESS;
}

} // namespace velmora

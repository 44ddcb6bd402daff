#include "platform/win32/Win32Environment.h"

#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Text.h"

#include <windows.h>

#include <vector>

namespace velmora {

namespace {

bool equalAsciiNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::optional<std::wstring> variable(const std::wstring& name)
{
    std::vector<wchar_t> buffer(256);
    for (;;) {
        ::SetLastError(ERROR_SUCCESS);
        const DWORD n = ::GetEnvironmentVariableW(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
            return std::wstring();
        }
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(n + 1);
    }
}

} // namespace

Win32Environment::Win32Environment(const Win32FileSystem* fs) : m_fs(fs) {}

Win32Environment::Win32Environment(const Win32FileSystem* fs, std::wstring commandLine)
    : m_fs(fs), m_commandLine(std::move(commandLine))
{}

std::string Win32Environment::get(std::string_view name) const
{
    // "=C:" and the like are the system's own per-drive entries, not variables.
    if (name.empty() || name.find('=') != std::string_view::npos) return {};
    const auto value = variable(win32::widen(name));
    if (!value) return {};
    std::string text = win32::narrow(*value);
    const bool pathValued =
        equalAsciiNoCase(name, "TMP") || equalAsciiNoCase(name, "TEMP") || equalAsciiNoCase(name, "windir");
    if (pathValued && m_fs && m_fs->mapped() && !text.empty()) {
        if (auto form = m_fs->driveForm(text)) return *form;
        // Read as a drive path it would name a place on the mapped drive of that letter.
        return "\\\\?\\" + text;
    }
    return text;
}

std::string Win32Environment::commandLine() const
{
    if (m_commandLine) return win32::narrow(afterProgramName(*m_commandLine));
    const wchar_t* whole = ::GetCommandLineW();
    return whole ? win32::narrow(afterProgramName(whole)) : std::string();
}

std::wstring_view Win32Environment::afterProgramName(std::wstring_view whole)
{
    std::size_t i = 0;
    for (bool quoted = false; i < whole.size(); ++i) {
        if (whole[i] == L'"')
            quoted = !quoted;
        else if (!quoted && (whole[i] == L' ' || whole[i] == L'\t'))
            break;
    }
    while (i < whole.size() && (whole[i] == L' ' || whole[i] == L'\t')) ++i;
    return whole.substr(i);
}

} // namespace velmora

#pragma once
// Every settings key with its section and default. Windows read keys at the moment of use
// and write them at the moment of confirmation; nothing is held in memory between.
#include <optional>
#include <string>
#include <string_view>

namespace velmora {
class Environment;
class SettingsStore;
} // namespace velmora

namespace velmora::settings {

inline constexpr std::string_view App = "Quorvik";
inline constexpr std::string_view Options = "[Options]";
inline constexpr std::string_view ReportSection = "[Options]\\[Report]";
inline constexpr std::string_view ArchiversSection = "[Options]\\[Archivers]";

inline constexpr std::string_view JumpOnStartup = "JumpOnStartup";
inline constexpr std::string_view FilterFilesBy = "FilterFilesBy";
inline constexpr std::string_view BackForwardOption = "BackForwardOption";
inline constexpr std::string_view ShowHideToolbars = "ShowHideToolbars";
inline constexpr std::string_view ReportFileName = "ReportFileName";
inline constexpr std::string_view WelcomeOnStart = "WelcomeOnStart";
inline constexpr std::string_view DisableProf = "DisableProf";
inline constexpr std::string_view AlwaysSave = "Always Save";

inline constexpr std::string_view DefaultReportFile = "report.txt";

// TMP, else TEMP, else "C:\TEMP", computed anew at every call.
std::string defaultStartFolder(const Environment& env);

// A key of "[Options]" (or another section) with its default.
std::string read(const SettingsStore& store, std::string_view section, std::string_view key, std::string_view def);
std::string readOption(const SettingsStore& store, std::string_view key, std::string_view def);
bool saveOption(SettingsStore& store, std::string_view key, std::string_view value);

// A flag's number: blanks around and a sign allowed, so "01" and " 1" read as 1. Nothing
// for text that is not a decimal integer.
std::optional<long> flagNumber(std::string_view text);
// True when the flag's text reads as `value`; text that is not a number reads as the default.
bool flagEquals(std::string_view text, long value, long def);

// "Always Save" of the report section is 1.
bool alwaysSaveReport(const SettingsStore& store);
std::string reportFileName(const SettingsStore& store);

} // namespace velmora::settings

#include "platform/win32/Win32FileSystem.h"

namespace velmora {

Win32FileSystem::Win32FileSystem(std::string) {}
std::string Win32FileSystem::drivesFromEnvironment() { return {}; }
std::optional<std::string> Win32FileSystem::driveForm(std::string_view) const { return std::nullopt; }
std::vector<DriveInfo> Win32FileSystem::drives() const { return {}; }
bool Win32FileSystem::driveReady(char) const { return false; }
std::optional<DriveError> Win32FileSystem::driveError(char) const { return DriveError{68, "Device unavailable"}; }
char Win32FileSystem::currentDrive() const { return 'c'; }
bool Win32FileSystem::setCurrentDrive(char) { return false; }
std::string Win32FileSystem::currentFolder(char) const { return "C:\\"; }
bool Win32FileSystem::setCurrentFolder(std::string_view) { return false; }
std::string Win32FileSystem::absolute(std::string_view) const { return {}; }
bool Win32FileSystem::folderExists(std::string_view) const { return false; }
bool Win32FileSystem::canEnter(std::string_view) const { return false; }
std::unique_ptr<Folder> Win32FileSystem::openFolder(std::string_view) const { return nullptr; }
std::optional<std::int64_t> Win32FileSystem::fileSize(std::string_view) const { return std::nullopt; }
std::optional<std::uint32_t> Win32FileSystem::attributes(std::string_view) const { return std::nullopt; }
bool Win32FileSystem::copyFile(std::string_view, std::string_view) { return false; }
bool Win32FileSystem::appendFile(std::string_view, std::string_view) { return false; }
std::optional<std::string> Win32FileSystem::readFile(std::string_view) const { return std::nullopt; }
std::optional<std::string> Win32FileSystem::hostPath(std::string_view) const { return std::nullopt; }

} // namespace velmora

#pragma once
// Shared test helpers: real temporary folders mapped as drives.
#include "platform/DateTime.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::testsupport {

// A fresh temporary folder, removed (made writable first) when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    // Creates a folder (and its parents) below the root; returns its host path.
    std::filesystem::path mkdir(std::string_view relative) const;
    // Writes a file below the root (parents created); returns its host path.
    std::filesystem::path write(std::string_view relative, std::string_view content = {}) const;
    bool exists(std::string_view relative) const;

private:
    std::filesystem::path m_path;
};

// Removes a whole tree, however deep, taking back the permissions and attributes that would
// keep anything in it.
void removeTree(const std::filesystem::path& root);
// Makes `levels` folders named "d", each in the one before, below `top`, and the empty file
// `leafFile` in the last: deeper than any path the host takes in one piece.
bool makeDeepFolders(const std::filesystem::path& top, int levels, const std::string& leafFile);

// Reads a whole host file; empty when missing.
std::string readHostFile(const std::filesystem::path& p);

// A host path as the program's UTF-8 text, and back: on Windows std::string would go through
// the ANSI code page, which has no room for most names.
std::string pathText(const std::filesystem::path& p);
std::filesystem::path hostPath(std::string_view utf8);

} // namespace velmora::testsupport

namespace velmora::testsupport {
// Run as root, permission bits do not stop anything: a test that needs them to hold drops to
// the unprivileged user "nobody" (in a child process). True when privileges are now plain.
bool dropRootPrivileges();
// Why dropRootPrivileges would fail here (root without the power to change its user, or in a
// user namespace that maps no "nobody"); nothing when it works or there is no root to drop.
// A test that drops skips itself with this reason first.
std::optional<std::string> plainUserMissing();
// Makes every folder of the tree open to everyone, so a dropped-privilege child can work in it.
void openTreeToEveryone(const std::filesystem::path& root);
// True when the tests run under Wine, whose file system cannot hold links for real.
bool underWine();
// A program the build made, by its file name ("velmora-console.exe"): beside the test
// program, else in the build folder above it.
std::filesystem::path builtProgram(std::string_view fileName);
} // namespace velmora::testsupport

// What a test needs of the host beyond plain files and folders, one helper for every host.
// A test that needs what its host lacks skips itself with the reason the `...Missing()`
// helper gives (nothing when the host has it).
namespace velmora::testsupport {

// Symbolic links, to files and to folders.
std::optional<std::string> linksMissing();
bool makeLink(const std::filesystem::path& target, const std::filesystem::path& link);
bool isLink(const std::filesystem::path& p);

// Permission bits that stop the owner (POSIX modes; Windows has ACLs).
std::optional<std::string> permissionBitsMissing();
// chmod where modes mean something; on Windows only the owner's write bit counts, as the
// read-only attribute.
void setMode(const std::filesystem::path& p, unsigned mode);
// Without write permission, or with the read-only attribute.
bool isReadOnly(const std::filesystem::path& p);

// Named pipes (FIFOs) in a folder.
std::optional<std::string> fifosMissing();
bool makeFifo(const std::filesystem::path& p);
bool isFifo(const std::filesystem::path& p);

// A folder removed while the program holds it open leaves its path at once, so that a new one
// can take it (POSIX hosts, Windows 10 and later; not Wine, which keeps it until let go).
std::optional<std::string> heldFoldersStay();
// Folders of tens of thousands of files, and trees thousands of levels deep, made and read in
// a reasonable time.
std::optional<std::string> hugeFoldersTooSlow();
// Two names in one folder that differ only in case.
std::optional<std::string> namesakesMissing();
// Names holding any byte but "/" and NUL: "\", ":", control characters, bytes not UTF-8.
std::optional<std::string> oddNamesMissing();

// A second name for a file in another folder.
bool makeHardLink(const std::filesystem::path& existing, const std::filesystem::path& link);
// Sets a file's modification time to a local calendar time.
bool setModificationTime(const std::filesystem::path& p, const DateTime& local);
// Ends the process (as a death test's child) after `seconds`, should it hang.
void exitAfter(unsigned seconds);
// An environment variable of this process, seen by the programs it starts; unset with nullptr.
void setVariable(const char* name, const char* value);

// Another program holding a file, as an editor, a download or a running program does: the file
// kept open, mapped into memory with its descriptor closed, or run (a copy of a program).
// `plainUser` makes the holder the unprivileged user that dropRootPrivileges becomes. Let go
// when destroyed.
class FileHolder {
public:
    enum class How { Open, Map, Run };
    FileHolder(const std::filesystem::path& file, How how, bool plainUser = false);
    ~FileHolder();
    FileHolder(const FileHolder&) = delete;
    FileHolder& operator=(const FileHolder&) = delete;
    // Why the holder could not take the file; nothing while it holds it.
    const std::optional<std::string>& failure() const { return m_failure; }
    // A program a holder can run, copied to `to`; false where the host runs none so.
    static bool copyRunnable(const std::filesystem::path& to);

private:
    std::intptr_t m_process = 0;
    void* m_view = nullptr;
    std::optional<std::string> m_failure;
};

// A bind mount that goes when the test ends, however it ends.
class BindMount {
public:
    BindMount(const std::filesystem::path& from, const std::filesystem::path& onto);
    ~BindMount();
    BindMount(const BindMount&) = delete;
    BindMount& operator=(const BindMount&) = delete;
    bool mounted() const { return m_mounted; }
    std::string skipReason() const;

private:
    std::filesystem::path m_onto;
    bool m_mounted = false;
    std::string m_error;
};

} // namespace velmora::testsupport

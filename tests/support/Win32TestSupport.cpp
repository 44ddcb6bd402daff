// The test helpers whose work depends on the host: Windows.
#include "support/TestSupport.h"

#include "platform/win32/Handle.h"
#include "platform/win32/Win32FileSystem.h"

#include <windows.h>

#include <winternl.h>

#include <cstdlib>
#include <system_error>
#include <thread>
#include <vector>

namespace velmora::testsupport {

namespace fs = std::filesystem;

// Nobody is root on Windows; the tests that need it skip themselves (permissionBitsMissing).
bool dropRootPrivileges() { return true; }

std::optional<std::string> plainUserMissing() { return std::nullopt; }

void openTreeToEveryone(const fs::path&) {}

bool underWine()
{
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

fs::path builtProgram(std::string_view fileName)
{
    std::vector<wchar_t> buffer(32768);
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    const fs::path self(std::wstring(buffer.data(), n));
    std::error_code ec;
    for (const fs::path& folder : {self.parent_path(), self.parent_path().parent_path()}) {
        if (fs::exists(folder / hostPath(fileName), ec)) return folder / hostPath(fileName);
    }
    return hostPath(fileName);
}

std::optional<std::string> linksMissing()
{
    if (underWine())
        return "Wine shows a host link as what it leads to and deletes the target with it: links need a run on "
               "Windows";
    // Whether this user may make one at all (developer mode, or the privilege).
    static const bool allowed = [] {
        const fs::path probe = fs::temp_directory_path() / ("velmora-link-probe-" + std::to_string(::GetTickCount64()));
        const bool made = ::CreateSymbolicLinkW(probe.c_str(), L"target", 0x2 /* unprivileged */) != FALSE;
        if (made) ::DeleteFileW(probe.c_str());
        return made;
    }();
    if (!allowed) return "this user may not make symbolic links (developer mode or the privilege is needed)";
    return std::nullopt;
}

bool makeLink(const fs::path& target, const fs::path& link)
{
    std::error_code ec;
    const DWORD folder = fs::is_directory(target, ec) ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0;
    return ::CreateSymbolicLinkW(link.c_str(), target.c_str(), folder | 0x2 /* unprivileged */) != FALSE;
}

bool isLink(const fs::path& p)
{
    const DWORD a = ::GetFileAttributesW(p.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::optional<std::string> permissionBitsMissing()
{
    return "Windows folders and files are guarded by ACLs, not by the mode bits these tests take away";
}

void setMode(const fs::path& p, unsigned mode)
{
    const DWORD a = ::GetFileAttributesW(p.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return;
    ::SetFileAttributesW(p.c_str(),
                         (mode & 0200) ? (a & ~DWORD{FILE_ATTRIBUTE_READONLY}) : (a | FILE_ATTRIBUTE_READONLY));
}

bool isReadOnly(const fs::path& p)
{
    const DWORD a = ::GetFileAttributesW(p.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY);
}

std::optional<std::string> fifosMissing() { return "a Windows folder holds no named pipes"; }

bool makeFifo(const fs::path&) { return false; }

bool isFifo(const fs::path&) { return false; }

std::optional<std::string> oddNamesMissing()
{
    return "a Windows name cannot hold \\, :, *, ?, \", <, >, |, control characters or bytes that are not UTF-8";
}

bool makeHardLink(const fs::path& existing, const fs::path& link)
{
    return ::CreateHardLinkW(link.c_str(), existing.c_str(), nullptr) != FALSE;
}

bool setModificationTime(const fs::path& p, const DateTime& t)
{
    const SYSTEMTIME local{static_cast<WORD>(t.year),
                           static_cast<WORD>(t.month),
                           0,
                           static_cast<WORD>(t.day),
                           static_cast<WORD>(t.hour),
                           static_cast<WORD>(t.minute),
                           static_cast<WORD>(t.second),
                           0};
    SYSTEMTIME utc{};
    FILETIME when{};
    if (!::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) || !::SystemTimeToFileTime(&utc, &when)) return false;
    const HANDLE h =
        ::CreateFileW(p.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool ok = ::SetFileTime(h, nullptr, nullptr, &when) != FALSE;
    ::CloseHandle(h);
    return ok;
}

void setVariable(const char* name, const char* value)
{
    const std::wstring wide = hostPath(name).wstring();
    ::SetEnvironmentVariableW(wide.c_str(), value ? hostPath(value).wstring().c_str() : nullptr);
    // The C runtime keeps a copy of its own for getenv.
    ::_wputenv_s(wide.c_str(), value ? hostPath(value).wstring().c_str() : L"");
}

BindMount::BindMount(const fs::path&, const fs::path& onto) : m_onto(onto) {}

BindMount::~BindMount() = default;

std::string BindMount::skipReason() const
{
    return "Windows has no bind mounts; a volume mounted in a folder is a junction, which the links tests cover";
}

void exitAfter(unsigned seconds)
{
    std::thread([seconds] {
        ::Sleep(seconds * 1000);
        std::_Exit(124);
    }).detach();
}

// Windows keeps a file another handle holds without sharing its deletion: a handle of this
// process stands for the other program's, as the deletion opens the file afresh either way.
FileHolder::FileHolder(const fs::path& file, How how, bool)
{
    if (how == How::Run) {
        m_failure = "a running copy of a program is not made here; an open or mapped file shows the same refusal";
        return;
    }
    const HANDLE h = ::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        m_failure = "cannot open " + file.string();
        return;
    }
    if (how == How::Open) {
        m_process = reinterpret_cast<std::intptr_t>(h);
        return;
    }
    const HANDLE section = ::CreateFileMappingW(h, nullptr, PAGE_READONLY, 0, 0, nullptr);
    m_view = section ? ::MapViewOfFile(section, FILE_MAP_READ, 0, 0, 0) : nullptr;
    if (section) ::CloseHandle(section);
    ::CloseHandle(h);
    if (!m_view) m_failure = "cannot map " + file.string();
}

FileHolder::~FileHolder()
{
    if (m_process) ::CloseHandle(reinterpret_cast<HANDLE>(m_process));
    if (m_view) ::UnmapViewOfFile(m_view);
}

bool FileHolder::copyRunnable(const fs::path&) { return false; }

std::optional<std::string> namesakesMissing() { return "a Windows folder holds no two names that differ only in case"; }

std::optional<std::string> heldFoldersStay()
{
    if (underWine())
        return "Wine keeps a removed folder at its path while the program holds it open (its listing and watch), "
               "so no new one can take its place: a folder vanishing under the program needs a run on Windows";
    return std::nullopt;
}

// Deep trees reach past what a path may hold: the tree is taken apart through the host's own
// folders, each entry acted on relative to the folder that holds it.
void removeTree(const fs::path& root)
{
    std::error_code ec;
    if (!fs::exists(root, ec)) return;
    {
        Win32FileSystem drive("x:=" + pathText(root));
        if (const auto top = drive.openFolder("X:\\")) {
            top->walk("X:\\", nullptr, [](const WalkVisit& visit) {
                if (visit.kind != WalkVisit::Kind::Leave) return WalkStep::Continue;
                for (const std::string& name : visit.folder.names().value_or(std::vector<std::string>{})) {
                    visit.folder.setAttributes(name, 0);
                    visit.folder.remove(name); // files and links; real folders go at their own Leave
                }
                if (visit.parent) visit.parent->removeFolder(visit.name);
                return WalkStep::Continue;
            });
        }
    }
    ::SetFileAttributesW(root.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::RemoveDirectoryW(root.c_str());
}

bool makeDeepFolders(const fs::path& top, int levels, const std::string& leafFile)
{
    std::error_code ec;
    fs::create_directories(top, ec);
    win32::Handle folder(::CreateFileW(top.c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE | SYNCHRONIZE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    // Each level made inside the one above, by its handle: no path ever holds the whole depth.
    const auto make = [&](std::wstring_view name, bool directory) {
        UNICODE_STRING text{static_cast<USHORT>(name.size() * sizeof(wchar_t)),
                            static_cast<USHORT>(name.size() * sizeof(wchar_t)), const_cast<wchar_t*>(name.data())};
        OBJECT_ATTRIBUTES attributes;
        InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder.get(), nullptr);
        IO_STATUS_BLOCK io{};
        HANDLE made = nullptr;
        const ACCESS_MASK access =
            directory ? (FILE_LIST_DIRECTORY | FILE_TRAVERSE | SYNCHRONIZE) : (GENERIC_WRITE | SYNCHRONIZE);
        const NTSTATUS status = ::NtCreateFile(
            &made, access, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_CREATE,
            (directory ? FILE_DIRECTORY_FILE : FILE_NON_DIRECTORY_FILE) | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
        return NT_SUCCESS(status) ? win32::Handle(made) : win32::Handle();
    };
    for (int i = 0; folder && i < levels; ++i) folder = make(L"d", true);
    return folder && static_cast<bool>(make(hostPath(leafFile).wstring(), false));
}

std::optional<std::string> hugeFoldersTooSlow()
{
    if (underWine())
        return "Wine looks at every name of a folder before it makes a new one, and finds each entry by its whole "
               "host path: tens of thousands of files, or thousands of levels, take many minutes there (the Linux "
               "leg runs this; tests/win32 walks a tree past MAX_PATH)";
    return std::nullopt;
}

} // namespace velmora::testsupport

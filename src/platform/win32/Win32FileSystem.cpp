#include "platform/win32/Win32FileSystem.h"

#include "platform/win32/Handle.h"
#include "platform/win32/NtFile.h"
#include "platform/win32/Win32Folder.h"
#include "platform/win32/Win32Text.h"

#include <windows.h>

#include <winnetwk.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace velmora {

using win32::Handle;
using win32::narrow;
using win32::widen;
using winpath::driveIndex;
using winpath::rootText;

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;

// No box asking for a disk in drive A: while the drives are looked at: the answer is a result.
class QuietErrors {
public:
    QuietErrors() { ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &m_old); }
    ~QuietErrors() { ::SetThreadErrorMode(m_old, nullptr); }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;

private:
    DWORD m_old = 0;
};

std::wstring fullPath(const std::wstring& path)
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
        if (n == 0) return {};
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(n + 1);
    }
}

std::wstring workingFolder()
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
        if (n == 0) return {};
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(n + 1);
    }
}

// A host path as the W functions take it whatever its length, and with every name in it
// taken as it is: "\\?\" keeps "a." and "nul.txt" from being read as anything else.
std::wstring extended(const std::wstring& path)
{
    if (path.rfind(L"\\\\?\\", 0) == 0) return path;
    if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
    return L"\\\\?\\" + path;
}

// The host path as other programs and the working folder take it: "\\?\" only when needed.
std::wstring plain(const std::wstring& path)
{
    if (path.size() >= MAX_PATH - 12) return path;
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
    if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
    return path;
}

bool startsWithNoCase(std::wstring_view text, std::wstring_view prefix)
{
    return text.size() >= prefix.size() &&
           ::CompareStringOrdinal(text.data(), static_cast<int>(prefix.size()), prefix.data(),
                                  static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

Handle openPath(const std::wstring& host, DWORD access, DWORD flags)
{
    return Handle(::CreateFileW(host.c_str(), access, kShareAll, nullptr, OPEN_EXISTING, flags, nullptr));
}

bool readAll(HANDLE h, std::string& out)
{
    char buffer[65536];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(h, buffer, sizeof buffer, &n, nullptr)) return false;
        if (n == 0) return true;
        out.append(buffer, n);
    }
}

bool writeAll(HANDLE h, std::string_view bytes)
{
    while (!bytes.empty()) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        DWORD n = 0;
        if (!::WriteFile(h, bytes.data(), chunk, &n, nullptr) || n == 0) return false;
        bytes.remove_prefix(n);
    }
    return true;
}

} // namespace

Win32FileSystem::Win32FileSystem(std::string driveMap)
{
    std::size_t start = 0;
    while (!driveMap.empty() && start <= driveMap.size()) {
        std::size_t end = driveMap.find(';', start);
        if (end == std::string::npos) end = driveMap.size();
        const std::string_view entry = std::string_view(driveMap).substr(start, end - start);
        start = end + 1;

        const int drive = entry.empty() ? -1 : driveIndex(entry[0]);
        std::size_t pos = 1;
        if (pos < entry.size() && entry[pos] == ':') ++pos;
        if (drive < 0 || pos >= entry.size() || entry[pos] != '=' || pos + 1 >= entry.size()) continue;
        // Relative folders are taken against the working folder; "." and ".." go, "/" is "\".
        std::wstring host = fullPath(widen(entry.substr(pos + 1)));
        if (host.empty()) continue;
        while (host.size() > 3 && host.back() == L'\\') host.pop_back();
        m_roots[static_cast<std::size_t>(drive)] = std::move(host);
        m_mapped = true;
    }

    // Without a map, each drive's current folder is where the system keeps it ("=D:").
    for (int d = 0; d < 26 && !m_mapped; ++d) {
        const wchar_t name[] = {L'=', static_cast<wchar_t>(L'A' + d), L':', L'\0'};
        wchar_t value[MAX_PATH];
        const DWORD n = ::GetEnvironmentVariableW(name, value, MAX_PATH);
        if (n >= 3 && n < MAX_PATH && value[1] == L':' && value[2] == L'\\')
            m_folders.setFolder(d, rootText(d).substr(0, 2) + narrow(std::wstring(value + 2, n - 2)));
    }
    // The drive holding the working folder starts there, as the program was started from it;
    // a working folder on no drive leaves the first drive current, at its root.
    if (auto form = driveForm(narrow(workingFolder()))) {
        m_folders.setDrive(driveIndex((*form)[0]));
        m_folders.setFolder(m_folders.drive(), *form);
    } else if (m_mapped) {
        for (int d = 25; d >= 0; --d) {
            if (!m_roots[static_cast<std::size_t>(d)].empty()) m_folders.setDrive(d);
        }
    }
}

std::string Win32FileSystem::drivesFromEnvironment()
{
    wchar_t probe[1];
    const DWORD n = ::GetEnvironmentVariableW(L"VELMORA_DRIVES", probe, 0);
    if (n == 0) return {};
    std::vector<wchar_t> value(n);
    const DWORD got = ::GetEnvironmentVariableW(L"VELMORA_DRIVES", value.data(), n);
    return got < n ? narrow(std::wstring_view(value.data(), got)) : std::string();
}

std::optional<std::string> Win32FileSystem::driveForm(std::string_view hostPathText) const
{
    std::wstring host = widen(hostPathText);
    std::replace(host.begin(), host.end(), L'/', L'\\');
    if (!m_mapped) {
        if (host.size() >= 2 && host[1] == L':' && driveIndex(static_cast<char>(host[0] < 128 ? host[0] : 0)) >= 0)
            return narrow(host);
        return std::nullopt;
    }
    int best = -1;
    for (int d = 0; d < 26; ++d) {
        const std::wstring& root = m_roots[static_cast<std::size_t>(d)];
        if (root.empty() || !startsWithNoCase(host, root)) continue;
        const bool boundary = host.size() == root.size() || root.back() == L'\\' || host[root.size()] == L'\\';
        if (boundary && (best < 0 || root.size() > m_roots[static_cast<std::size_t>(best)].size())) best = d;
    }
    if (best < 0) return std::nullopt;
    std::wstring_view rest = std::wstring_view(host).substr(m_roots[static_cast<std::size_t>(best)].size());
    while (!rest.empty() && rest.front() == L'\\') rest.remove_prefix(1);
    return rootText(best) + narrow(rest);
}

std::wstring Win32FileSystem::root(int drive) const
{
    if (drive < 0 || drive >= 26) return {};
    if (m_mapped) return m_roots[static_cast<std::size_t>(drive)];
    if (!(::GetLogicalDrives() & (1u << drive))) return {};
    return widen(rootText(drive));
}

std::vector<DriveInfo> Win32FileSystem::drives() const
{
    std::vector<DriveInfo> out;
    if (m_mapped) {
        for (int d = 0; d < 26; ++d) {
            const std::wstring& r = m_roots[static_cast<std::size_t>(d)];
            const char letter = static_cast<char>('a' + d);
            if (!r.empty()) out.push_back({letter, narrow(r), driveReady(letter)});
        }
        return out;
    }
    const QuietErrors quiet;
    wchar_t list[26 * 4 + 1] = {};
    const DWORD n = ::GetLogicalDriveStringsW(static_cast<DWORD>(std::size(list) - 1), list);
    for (const wchar_t* p = list; n > 0 && n < std::size(list) && *p; p += wcslen(p) + 1) {
        const int d = driveIndex(static_cast<char>(*p < 128 ? *p : 0));
        if (d < 0) continue;
        DriveInfo info;
        info.letter = static_cast<char>('a' + d);
        wchar_t label[MAX_PATH + 1] = {};
        info.ready = ::GetVolumeInformationW(p, label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0) != FALSE;
        info.label = narrow(label);
        // A network drive shows its share, as the drive box always did.
        if (::GetDriveTypeW(p) == DRIVE_REMOTE) {
            const wchar_t local[] = {p[0], L':', L'\0'};
            wchar_t remote[MAX_PATH + 1] = {};
            DWORD size = MAX_PATH + 1;
            if (::WNetGetConnectionW(local, remote, &size) == NO_ERROR) info.label = narrow(remote);
        }
        info.ready = info.ready && driveReady(info.letter);
        out.push_back(std::move(info));
    }
    return out;
}

bool Win32FileSystem::driveReady(char letter) const { return !driveError(letter); }

std::optional<DriveError> Win32FileSystem::driveError(char letter) const
{
    const std::wstring r = root(driveIndex(letter));
    if (r.empty()) return DriveError{68, "Device unavailable"};
    const QuietErrors quiet;
    if (const Handle h = openPath(extended(r), kFolderAccess, FILE_FLAG_BACKUP_SEMANTICS)) {
        BY_HANDLE_FILE_INFORMATION info{};
        if (::GetFileInformationByHandle(h.get(), &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            return std::nullopt;
        return DriveError{71, "Disk not ready"}; // a file where the drive's folder should be
    }
    switch (::GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
        return DriveError{68, "Device unavailable"};
    case ERROR_ACCESS_DENIED:
        return DriveError{75, "Path/access file error"};
    default:
        return DriveError{71, "Disk not ready"};
    }
}

char Win32FileSystem::currentDrive() const { return static_cast<char>('a' + m_folders.drive()); }

bool Win32FileSystem::setCurrentDrive(char letter)
{
    const int d = driveIndex(letter);
    if (d < 0 || !driveReady(letter)) return false;
    auto enter = [this](const std::string& folder) {
        const auto host = this->host(folder);
        return host && ::SetCurrentDirectoryW(plain(*host).c_str());
    };
    // A current folder removed meanwhile leaves the drive at its root, as Windows does.
    if (!enter(m_folders.folder(d))) {
        if (!enter(rootText(d))) return false;
        m_folders.setFolder(d, rootText(d));
    }
    m_folders.setDrive(d);
    return true;
}

std::string Win32FileSystem::currentFolder(char letter) const { return m_folders.folder(letter); }

bool Win32FileSystem::setCurrentFolder(std::string_view path)
{
    const auto p = parse(path);
    if (!p) return false;
    const auto h = host(*p);
    if (!h || !openPath(*h, kFolderAccess, FILE_FLAG_BACKUP_SEMANTICS)) return false;
    // Programs started later inherit the working folder, so it follows the current drive.
    if (p->drive == m_folders.drive() && !::SetCurrentDirectoryW(plain(*h).c_str())) return false;
    m_folders.setFolder(p->drive, p->text());
    // The machine's own drives keep their current folders where other programs look ("=D:").
    if (!m_mapped) {
        const wchar_t name[] = {L'=', static_cast<wchar_t>(L'A' + p->drive), L':', L'\0'};
        ::SetEnvironmentVariableW(name, widen(p->text()).c_str());
    }
    return true;
}

std::optional<Win32FileSystem::Parsed> Win32FileSystem::parse(std::string_view path) const
{
    return m_folders.absolute(path);
}

std::optional<std::wstring> Win32FileSystem::host(const Parsed& p) const
{
    std::wstring h = root(p.drive);
    if (h.empty()) return std::nullopt;
    for (const std::string& part : p.parts) {
        // A colon past the drive would name a file's stream, not a file.
        if (part.find(':') != std::string::npos) return std::nullopt;
        if (h.back() != L'\\') h += L'\\';
        h += widen(part);
    }
    return extended(h);
}

std::optional<std::wstring> Win32FileSystem::host(std::string_view path) const
{
    const auto p = parse(path);
    return p ? host(*p) : std::nullopt;
}

std::string Win32FileSystem::absolute(std::string_view path) const
{
    const auto p = parse(path);
    return p ? p->text() : std::string();
}

bool Win32FileSystem::folderExists(std::string_view path) const
{
    const auto h = host(path);
    if (!h) return false;
    const Handle folder = openPath(*h, FILE_READ_ATTRIBUTES, FILE_FLAG_BACKUP_SEMANTICS);
    BY_HANDLE_FILE_INFORMATION info{};
    return folder && ::GetFileInformationByHandle(folder.get(), &info) &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32FileSystem::canEnter(std::string_view path) const { return openFolder(path) != nullptr; }

std::unique_ptr<Folder> Win32FileSystem::openFolder(std::string_view path) const
{
    const auto h = host(path);
    if (!h) return nullptr;
    return win32::Win32Folder::adopt(openPath(*h, kFolderAccess, FILE_FLAG_BACKUP_SEMANTICS), *h);
}

std::optional<std::int64_t> Win32FileSystem::fileSize(std::string_view path) const
{
    const auto h = host(path);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!h || !::GetFileAttributesExW(h->c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return 0;
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

std::optional<std::uint32_t> Win32FileSystem::attributes(std::string_view path) const
{
    const auto h = host(path);
    if (!h) return std::nullopt;
    const Handle entry = openPath(*h, FILE_READ_ATTRIBUTES, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT);
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!entry || !::GetFileInformationByHandleEx(entry.get(), FileAttributeTagInfo, &tag, sizeof tag))
        return std::nullopt;
    return win32::programAttributes(tag.FileAttributes, tag.ReparseTag);
}

bool Win32FileSystem::copyFile(std::string_view from, std::string_view to)
{
    const auto source = host(from);
    const auto target = parse(to);
    if (!source || !target || target->parts.empty()) return false;
    const auto destination = host(*target);
    Parsed folder = *target;
    const std::string leaf = folder.parts.back();
    folder.parts.pop_back();
    const auto destinationFolder = host(folder);
    if (!destination || !destinationFolder) return false;
    // A read-only destination stays, as Windows keeps it (and Wine would not).
    const DWORD existing = ::GetFileAttributesW(destination->c_str());
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return false;

    // Written aside and moved over the destination: a reader never sees half a file, and a
    // link standing at the destination is replaced rather than written through.
    const auto seed = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    std::wstring temporary;
    bool copied = false;
    for (unsigned attempt = 0; attempt < 100 && !copied; ++attempt) {
        temporary = *destinationFolder + L"\\.velmora-copy-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                    std::to_wstring(seed + attempt);
        copied = ::CopyFileW(source->c_str(), temporary.c_str(), TRUE) != FALSE;
        if (!copied && ::GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    if (!copied) return false;
    if (::MoveFileExW(temporary.c_str(), destination->c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    ::SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(temporary.c_str());
    return false;
}

bool Win32FileSystem::appendFile(std::string_view path, std::string_view bytes)
{
    const auto h = host(path);
    if (!h) return false;
    const Handle file(::CreateFileW(h->c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                    OPEN_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    FILE_ATTRIBUTE_TAG_INFO tag{};
    // A link planted at the file's name is refused, never written through.
    if (!file || ::GetFileType(file.get()) != FILE_TYPE_DISK ||
        !::GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof tag) ||
        (tag.FileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)))
        return false;
    return writeAll(file.get(), bytes);
}

std::optional<std::string> Win32FileSystem::readFile(std::string_view path) const
{
    const auto h = host(path);
    if (!h) return std::nullopt;
    const Handle file = openPath(*h, GENERIC_READ, 0);
    if (!file || ::GetFileType(file.get()) != FILE_TYPE_DISK) return std::nullopt;
    std::string out;
    if (!readAll(file.get(), out)) return std::nullopt;
    return out;
}

std::optional<std::string> Win32FileSystem::hostPath(std::string_view path) const
{
    const auto p = parse(path);
    if (!p) return std::nullopt;
    const auto h = host(*p);
    if (!h) return std::nullopt;
    return narrow(plain(*h));
}

} // namespace velmora

#include "platform/posix/PosixFileSystem.h"

#include "platform/Environment.h"

#include "platform/posix/Fd.h"
#include "platform/posix/FolderMemo.h"
#include "platform/posix/HostDirectory.h"
#include "platform/posix/MountTable.h"
#include "platform/posix/PosixFolder.h"
#include "platform/posix/PosixHost.h"
#include "platform/posix/RegularFile.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <utility>

namespace velmora {

using posixhost::Fd;
using posixhost::kReadDirFlags;
using posixhost::PosixFolder;
using winpath::driveIndex;
using winpath::rootText;

namespace {

// Folders on the way to a leaf only need to be searched, not read: O_PATH also lets a
// deletion pass through a folder the user may not list.
#ifdef O_PATH
constexpr int kWalkFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int kWalkFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

void appendHost(std::string& host, std::string_view name)
{
    if (host.empty() || host.back() != '/') host += '/';
    host += name;
}

// The host path of a drive's root and the first `count` components of a path, as spelled.
std::string hostSpelling(const std::string& root, const std::vector<std::string>& parts, std::size_t count)
{
    std::string host = root;
    for (std::size_t i = 0; i < count; ++i) appendHost(host, posixhost::toHostName(parts[i]));
    return host;
}

std::string hostWorkingFolder()
{
    std::string buffer(256, '\0');
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size())) return buffer.c_str();
        if (errno != ERANGE || buffer.size() > (1u << 20)) return {};
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace

// The folder holding a path's last component, opened, and that component as the host
// spells it once matched.
struct PosixFileSystem::Located {
    Fd parent;
    std::string leaf;        // host name; "" for a drive's root: `parent` is then the root itself
    std::string leafProgram; // the component as the path gave it
    posixhost::FolderMemo* memo = nullptr;

    const char* leafArg() const { return leaf.empty() ? "." : leaf.c_str(); }
    // Takes the spelling of an entry that differs only in case; false when there is none.
    bool rematch()
    {
        if (leaf.empty()) return false;
        auto match = memo->findNoCase(parent.get(), leafProgram);
        if (!match || *match == leaf) return false;
        leaf = std::move(*match);
        return true;
    }
    bool stat(struct stat& st, int flags)
    {
        if (::fstatat(parent.get(), leafArg(), &st, flags) == 0) return true;
        return errno == ENOENT && rematch() && ::fstatat(parent.get(), leafArg(), &st, flags) == 0;
    }
    Fd open(int flags)
    {
        Fd fd(::openat(parent.get(), leafArg(), flags));
        if (!fd && errno == ENOENT && rematch()) fd = Fd(::openat(parent.get(), leafArg(), flags));
        return fd;
    }
};

// The machine's mounts as the drive map follows them.
struct PosixFileSystem::Machine {
    VolumeSources sources;
    Fd table; // the kernel's list of mounts, held open so that poll tells when it changed
    // Letters whose volume went, latest last: each may take its letter again when it is back.
    std::vector<std::pair<int, posixhost::Volume>> departed;
};

namespace {

std::optional<std::vector<posixhost::MountEntry>> readMounts(const std::string& table)
{
    const Fd in(::open(table.c_str(), O_RDONLY | O_CLOEXEC));
    const auto text = in ? posixhost::readAll(in.get()) : std::nullopt;
    if (!text) return std::nullopt;
    return posixhost::parseMountInfo(*text);
}

// c: for "/", labelled as the volume shown there, then each volume of its own from d: on.
std::vector<PosixFileSystem::Drive> machineDrives(const std::vector<posixhost::MountEntry>& mounts,
                                                  const PosixFileSystem::VolumeSources& from)
{
    std::vector<PosixFileSystem::Drive> drives{{'c', "/", std::nullopt, {}}};
    const auto top = std::find_if(mounts.rbegin(), mounts.rend(),
                                  [](const posixhost::MountEntry& m) { return posixhost::normalize(m.point) == "/"; });
    if (top != mounts.rend())
        drives[0].label =
            posixhost::labelOf(*top, posixhost::volumeOf(*top, from.byUuid.c_str()), from.byLabel.c_str());
    char next = 'd';
    for (std::size_t i : posixhost::volumeMounts(mounts)) {
        if (next > 'z') break;
        const posixhost::MountEntry& mount = mounts[i];
        auto volume = posixhost::volumeOf(mount, from.byUuid.c_str());
        std::string label = posixhost::labelOf(mount, volume, from.byLabel.c_str());
        drives.push_back({next++, posixhost::normalize(mount.point), std::move(volume), std::move(label)});
    }
    return drives;
}

// The same volume mounted again, perhaps elsewhere: by its UUID where both have one, else by its
// block device (a FUSE volume's own device number changes at every mount).
bool sameVolume(const posixhost::Volume& a, const posixhost::Volume& b)
{
    if (a.type != b.type || a.root != b.root) return false;
    if (!a.uuid.empty() && !b.uuid.empty()) return a.uuid == b.uuid;
    return a.medium != 0 ? a.medium == b.medium : a.device == b.device;
}

} // namespace

PosixFileSystem::~PosixFileSystem() = default;

std::optional<std::string> PosixFileSystem::findNoCase(int dirFd, std::string_view name) const
{
    return m_memo->findNoCase(dirFd, name);
}

std::vector<PosixFileSystem::Drive> PosixFileSystem::parseDriveMap(std::string_view driveMap)
{
    const std::string cwd = hostWorkingFolder();
    std::vector<Drive> drives;
    std::size_t start = 0;
    while (start <= driveMap.size()) {
        std::size_t end = driveMap.find(';', start);
        if (end == std::string_view::npos) end = driveMap.size();
        const std::string_view entry = driveMap.substr(start, end - start);
        start = end + 1;

        const int drive = entry.empty() ? -1 : driveIndex(entry[0]);
        std::size_t pos = 1;
        if (pos < entry.size() && entry[pos] == ':') ++pos;
        if (drive < 0 || pos >= entry.size() || entry[pos] != '=' || pos + 1 >= entry.size()) continue;
        std::string host(entry.substr(pos + 1));
        if (host.front() != '/') {
            if (cwd.empty()) continue;
            host = cwd + "/" + host;
        }
        drives.push_back({static_cast<char>('a' + drive), std::move(host), std::nullopt, {}});
    }
    return drives;
}

PosixFileSystem::PosixFileSystem(std::string driveMap) : PosixFileSystem(parseDriveMap(driveMap)) {}

PosixFileSystem::PosixFileSystem(const std::vector<Drive>& drives) : m_memo(std::make_shared<posixhost::FolderMemo>())
{
    setUp(drives);
}

PosixFileSystem::PosixFileSystem(const VolumeSources& sources) : m_memo(std::make_shared<posixhost::FolderMemo>())
{
    if (const char* value = std::getenv("VELMORA_DRIVES"); value && *value) {
        setUp(parseDriveMap(value));
        return;
    }
    auto machine = std::make_unique<Machine>();
    machine->sources = sources;
    // Opened before the list is read, so that no change after the reading goes unseen.
    machine->table = Fd(::open(sources.mountTable.c_str(), O_RDONLY | O_CLOEXEC));
    const auto mounts = readMounts(sources.mountTable);
    setUp(mounts ? machineDrives(*mounts, sources) : std::vector<Drive>{});
    m_machine = std::move(machine);
}

void PosixFileSystem::setUp(const std::vector<Drive>& drives)
{
    const std::string cwd = hostWorkingFolder();
    for (const Drive& drive : drives) {
        const int d = driveIndex(drive.letter);
        if (d < 0 || drive.folder.empty() || drive.folder.front() != '/') continue;
        m_roots[static_cast<std::size_t>(d)] = posixhost::normalize(drive.folder);
        m_volumes[static_cast<std::size_t>(d)] = drive.volume;
        m_labels[static_cast<std::size_t>(d)] = drive.label;
    }
    if (std::all_of(m_roots.begin(), m_roots.end(), [](const std::string& r) { return r.empty(); }))
        m_roots[2].assign(1, '/'); // not `= "/"`: GCC 12 at -O3 warns falsely on that (-Wrestrict)

    std::vector<DriveInfo> map;
    for (int d = 25; d >= 0; --d) {
        const std::string& root = m_roots[static_cast<std::size_t>(d)];
        if (root.empty()) continue;
        m_folders.setDrive(d);
        map.push_back({static_cast<char>('a' + d), root, true});
        // The working folder comes without links; a drive mapped through one must still hold it.
        if (char* real = ::realpath(root.c_str(), nullptr)) {
            if (root != real) map.push_back({static_cast<char>('a' + d), real, true});
            std::free(real);
        }
    }
    // The drive holding the working folder starts there, as the program was started from it.
    // A working folder on no drive stays what bare names are taken against until a current
    // folder is set.
    if (auto form = posixhost::toDriveForm(cwd, map)) {
        const int d = driveIndex((*form)[0]);
        m_folders.setFolder(d, *form);
        m_folders.setDrive(d);
    } else {
        m_workingFolderOffDrive = true;
    }
}

std::vector<PosixFileSystem::Drive> PosixFileSystem::drivesFromEnvironment(const char* mountTable, const char* byUuid,
                                                                           const char* byLabel)
{
    if (const char* value = std::getenv("VELMORA_DRIVES"); value && *value) return parseDriveMap(value);
    const auto mounts = readMounts(mountTable);
    if (!mounts) return {{'c', "/", std::nullopt, {}}};
    return machineDrives(*mounts, {mountTable, byUuid, byLabel});
}

void PosixFileSystem::followMounts() const
{
    if (!m_machine || !m_machine->table) return;
    pollfd changed{m_machine->table.get(), POLLPRI, 0};
    if (::poll(&changed, 1, 0) != 1 || !(changed.revents & (POLLPRI | POLLERR))) return;
    const VolumeSources& from = m_machine->sources;
    const auto mounts = readMounts(from.mountTable);
    if (!mounts) return;
    const std::vector<std::size_t> found = posixhost::volumeMounts(*mounts);
    std::vector<bool> placed(found.size(), false);
    // A letter stays with its volume while that is still mounted at its folder; its label is
    // read again, as it may have been changed.
    for (std::size_t d = 3; d < 26; ++d) {
        if (!m_volumes[d]) continue;
        bool stays = false;
        for (std::size_t k = 0; k < found.size() && !stays; ++k) {
            const posixhost::MountEntry& mount = (*mounts)[found[k]];
            if (placed[k] || posixhost::normalize(mount.point) != m_roots[d] ||
                !posixhost::isVolume(mount, *m_volumes[d], from.byUuid.c_str()))
                continue;
            stays = placed[k] = true;
            m_labels[d] = posixhost::labelOf(mount, *m_volumes[d], from.byLabel.c_str());
        }
        if (stays) continue;
        m_machine->departed.emplace_back(static_cast<int>(d), std::move(*m_volumes[d]));
        m_volumes[d].reset();
        m_roots[d].clear();
        m_labels[d].clear();
        m_provenMounts[d].reset();
    }
    auto& departed = m_machine->departed;
    auto isFree = [this](int d) { return m_roots[static_cast<std::size_t>(d)].empty(); };
    auto heldForDeparted = [&departed](int d) {
        return std::any_of(departed.begin(), departed.end(), [d](const auto& gone) { return gone.first == d; });
    };
    for (std::size_t k = 0; k < found.size(); ++k) {
        if (placed[k]) continue;
        const posixhost::MountEntry& mount = (*mounts)[found[k]];
        posixhost::Volume volume = posixhost::volumeOf(mount, from.byUuid.c_str());
        int letter = -1;
        for (auto it = departed.rbegin(); it != departed.rend(); ++it) {
            if (isFree(it->first) && sameVolume(it->second, volume)) {
                letter = it->first; // back again: its drive keeps its current folder
                break;
            }
        }
        for (int d = 3; d < 26 && letter < 0; ++d)
            if (isFree(d) && !heldForDeparted(d)) letter = d;
        for (int d = 3; d < 26 && letter < 0; ++d)
            if (isFree(d)) letter = d;
        if (letter < 0) continue;
        const bool back = std::any_of(departed.begin(), departed.end(), [&](const auto& gone) {
            return gone.first == letter && sameVolume(gone.second, volume);
        });
        std::erase_if(departed, [letter](const auto& gone) { return gone.first == letter; });
        const auto d = static_cast<std::size_t>(letter);
        if (!back) m_folders.setFolder(letter, rootText(letter));
        m_labels[d] = posixhost::labelOf(mount, volume, from.byLabel.c_str());
        m_roots[d] = posixhost::normalize(mount.point);
        m_volumes[d] = std::move(volume);
    }
}

std::optional<std::string> PosixFileSystem::driveForm(std::string_view host) const
{
    followMounts();
    std::vector<DriveInfo> roots;
    for (int d = 0; d < 26; ++d)
        if (const std::string& root = m_roots[static_cast<std::size_t>(d)]; !root.empty())
            roots.push_back({static_cast<char>('a' + d), root, true});
    return posixhost::toDriveForm(host, roots);
}

std::vector<DriveInfo> PosixFileSystem::drives() const
{
    followMounts();
    std::vector<DriveInfo> out;
    for (int d = 0; d < 26; ++d) {
        const std::string& root = m_roots[static_cast<std::size_t>(d)];
        if (!root.empty()) {
            const char letter = static_cast<char>('a' + d);
            const std::string& label = m_labels[static_cast<std::size_t>(d)];
            out.push_back({letter, label.empty() ? root : label, driveReady(letter)});
        }
    }
    return out;
}

const std::string& PosixFileSystem::presentRoot(int drive) const
{
    static const std::string none;
    if (drive < 0 || drive >= 26) return none;
    const std::string& root = m_roots[static_cast<std::size_t>(drive)];
    if (root.empty() || !m_volumes[static_cast<std::size_t>(drive)]) return root;
    // The kernel lists a mount point without links: a link found there is not the volume.
    const Fd fd(::open(root.c_str(), kWalkFlags | O_NOFOLLOW));
    return fd && posixhost::isMountRoot(fd.get()) && holdsVolume(drive, fd.get()) ? root : none;
}

bool PosixFileSystem::holdsVolume(int drive, int fd) const
{
    const auto d = static_cast<std::size_t>(drive);
    const auto mount = posixhost::mountOf(fd);
    if (!mount) return false;
    if (m_provenMounts[d] == mount) return true;
    // Another mount than the one last proven: the kernel's table tells what it is.
    const Fd table(::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC));
    const auto text = table ? posixhost::readAll(table.get()) : std::nullopt;
    if (!text) return false;
    for (const posixhost::MountEntry& entry : posixhost::parseMountInfo(*text)) {
        if (entry.id != mount->id) continue;
        if (entry.device != mount->device || !posixhost::isVolume(entry, *m_volumes[d])) return false;
        m_provenMounts[d] = mount;
        return true;
    }
    return false;
}

bool PosixFileSystem::driveReady(char letter) const
{
    const std::string& root = presentRoot(driveIndex(letter));
    if (root.empty()) return false;
    Fd fd(::open(root.c_str(), kReadDirFlags));
    return fd && ::faccessat(fd.get(), ".", X_OK, AT_EACCESS) == 0;
}

std::optional<DriveError> PosixFileSystem::driveError(char letter) const
{
    if (driveReady(letter)) return std::nullopt;
    const int d = driveIndex(letter);
    if (d < 0 || m_roots[static_cast<std::size_t>(d)].empty()) return DriveError{68, "Device unavailable"};
    // A volume that was unmounted keeps its letter, as a drive keeps it without its medium.
    if (presentRoot(d).empty()) return DriveError{71, "Disk not ready"};
    const Fd fd(::open(m_roots[static_cast<std::size_t>(d)].c_str(), kReadDirFlags));
    if (!fd && errno == ENOENT) return DriveError{68, "Device unavailable"};
    if ((!fd && (errno == EACCES || errno == EPERM)) || (fd && ::faccessat(fd.get(), ".", X_OK, AT_EACCESS) != 0))
        return DriveError{75, "Path/access file error"};
    return DriveError{71, "Disk not ready"};
}

char PosixFileSystem::currentDrive() const { return static_cast<char>('a' + m_folders.drive()); }

bool PosixFileSystem::setCurrentDrive(char letter)
{
    const int d = driveIndex(letter);
    if (d < 0 || !driveReady(letter)) return false;
    auto enter = [this](const std::string& folder) {
        auto loc = locate(folder);
        if (!loc) return false;
        const Fd fd = loc->open(kWalkFlags);
        return fd && ::fchdir(fd.get()) == 0;
    };
    // A current folder removed meanwhile leaves the drive at its root, as Windows does.
    if (!enter(m_folders.folder(d))) {
        if (!enter(rootText(d))) return false;
        m_folders.setFolder(d, rootText(d));
    }
    m_folders.setDrive(d);
    m_workingFolderOffDrive = false;
    return true;
}

std::string PosixFileSystem::currentFolder(char letter) const { return m_folders.folder(letter); }

bool PosixFileSystem::setCurrentFolder(std::string_view path)
{
    const auto p = parse(path);
    if (!p || p->drive < 0) return false;
    auto loc = locate(*p);
    if (!loc) return false;
    const Fd fd = loc->open(kWalkFlags);
    if (!fd || ::faccessat(fd.get(), ".", X_OK, AT_EACCESS) != 0) return false;
    // Programs started later inherit the working folder, so it follows the current drive.
    if (p->drive == m_folders.drive()) {
        if (::fchdir(fd.get()) != 0) return false;
        m_workingFolderOffDrive = false;
    }
    m_folders.setFolder(p->drive, p->text());
    return true;
}

std::optional<PosixFileSystem::Parsed> PosixFileSystem::parse(std::string_view path) const
{
    // Against the real working folder, which lies on no drive.
    if (m_workingFolderOffDrive && !path.empty() && path.find('\0') == std::string_view::npos &&
        !winpath::hasDrive(path) && !winpath::isSeparator(path[0])) {
        Parsed p;
        p.drive = -1;
        winpath::appendParts(p.parts, path);
        return p;
    }
    return m_folders.absolute(path);
}

std::string PosixFileSystem::absolute(std::string_view path) const
{
    const auto p = parse(path);
    return p ? p->text() : std::string();
}

std::optional<PosixFileSystem::Located> PosixFileSystem::locate(std::string_view path) const
{
    const auto p = parse(path);
    if (!p) return std::nullopt;
    return locate(*p);
}

std::optional<PosixFileSystem::Located> PosixFileSystem::locate(const Parsed& p) const
{
    const std::string root = p.drive < 0 ? std::string(".") : presentRoot(p.drive);
    if (root.empty()) return std::nullopt;
    Located loc;
    loc.memo = m_memo.get();
    const std::size_t folders = p.parts.empty() ? 0 : p.parts.size() - 1;
    if (!p.parts.empty()) {
        loc.leafProgram = p.parts.back();
        loc.leaf = posixhost::toHostName(loc.leafProgram);
    }

    if (folders > 0) {
        // Most paths are spelled as the host spells them: one open then does.
        std::string host = hostSpelling(root, p.parts, folders);
        if (host.size() < PATH_MAX) {
            Fd fd(::open(host.c_str(), kWalkFlags));
            if (fd) {
                loc.parent = std::move(fd);
                return loc;
            }
        }
    }

    // One component at a time: matches case where needed and passes paths longer than the
    // host allows in one call.
    Fd dir(::open(root.c_str(), kWalkFlags));
    if (!dir) return std::nullopt;
    for (std::size_t i = 0; i < folders; ++i) {
        std::string name = posixhost::toHostName(p.parts[i]);
        Fd next(::openat(dir.get(), name.c_str(), kWalkFlags));
        if (!next && errno == ENOENT) {
            if (auto match = findNoCase(dir.get(), p.parts[i])) {
                name = std::move(*match);
                next = Fd(::openat(dir.get(), name.c_str(), kWalkFlags));
            }
        }
        if (!next) return std::nullopt;
        dir = std::move(next);
    }
    loc.parent = std::move(dir);
    return loc;
}

bool PosixFileSystem::folderExists(std::string_view path) const
{
    auto loc = locate(path);
    struct stat st {};
    return loc && loc->stat(st, 0) && S_ISDIR(st.st_mode);
}

bool PosixFileSystem::canEnter(std::string_view path) const
{
    auto loc = locate(path);
    if (!loc) return false;
    const Fd fd = loc->open(kReadDirFlags);
    return fd && ::faccessat(fd.get(), ".", X_OK, AT_EACCESS) == 0;
}

std::unique_ptr<Folder> PosixFileSystem::openFolder(std::string_view path) const
{
    const auto p = parse(path);
    if (!p) return nullptr;
    if (p->drive >= 0) {
        const std::string& root = presentRoot(p->drive);
        if (root.empty()) return nullptr;
        // Most paths are spelled as the host spells them: one open then does.
        const std::string whole = hostSpelling(root, p->parts, p->parts.size());
        if (whole.size() < PATH_MAX) {
            Fd fd(::open(whole.c_str(), kReadDirFlags));
            if (fd || errno != ENOENT) return PosixFolder::adopt(std::move(fd), m_memo);
        }
    }
    auto loc = locate(*p);
    if (!loc) return nullptr;
    return PosixFolder::adopt(loc->open(kReadDirFlags), m_memo);
}

std::optional<std::int64_t> PosixFileSystem::fileSize(std::string_view path) const
{
    auto loc = locate(path);
    struct stat st {};
    if (!loc || !loc->stat(st, AT_SYMLINK_NOFOLLOW)) return std::nullopt;
    return S_ISDIR(st.st_mode) ? 0 : static_cast<std::int64_t>(st.st_size);
}

std::optional<std::uint32_t> PosixFileSystem::attributes(std::string_view path) const
{
    auto loc = locate(path);
    struct stat st {};
    if (!loc || !loc->stat(st, AT_SYMLINK_NOFOLLOW)) return std::nullopt;
    const bool link = S_ISLNK(st.st_mode);
    bool folder = S_ISDIR(st.st_mode);
    if (link) {
        struct stat target {};
        folder = ::fstatat(loc->parent.get(), loc->leafArg(), &target, 0) == 0 && S_ISDIR(target.st_mode);
    }
    return posixhost::attributesFor(loc->leafProgram, folder, link, &st);
}

bool PosixFileSystem::copyFile(std::string_view from, std::string_view to)
{
    auto source = locate(from);
    if (!source || source->leaf.empty()) return false;
    struct stat st {};
    if (!source->stat(st, 0)) return false;
    const Fd in = posixhost::openRegular(source->parent.get(), source->leaf.c_str(), O_RDONLY, false);
    if (!in || ::fstat(in.get(), &st) != 0) return false;

    auto target = locate(to);
    if (!target || target->leaf.empty()) return false;
    struct stat existing {};
    if (target->stat(existing, AT_SYMLINK_NOFOLLOW) &&
        (S_ISDIR(existing.st_mode) || posixhost::isReadOnlyFile(existing)))
        return false;

    // Written aside and renamed over the destination: a reader never sees half a file, and
    // a link standing at the destination is replaced rather than written through.
    const int dirFd = target->parent.get();
    std::string temporary;
    Fd out;
    const auto seed = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (unsigned attempt = 0; attempt < 100 && !out; ++attempt) {
        temporary = ".velmora-copy-" + std::to_string(::getpid()) + "-" + std::to_string(seed + attempt);
        out = Fd(::openat(dirFd, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (!out && errno != EEXIST) return false;
    }
    if (!out) return false;

    bool ok = true;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(in.get(), buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        if (!posixhost::writeAll(out.get(), std::string_view(buffer, static_cast<std::size_t>(n)))) {
            ok = false;
            break;
        }
    }
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ok = ok && ::fchmod(out.get(), st.st_mode & 07777) == 0 && ::futimens(out.get(), times) == 0;
    out.reset();
    ok = ok && ::renameat(dirFd, temporary.c_str(), dirFd, target->leaf.c_str()) == 0;
    if (!ok) ::unlinkat(dirFd, temporary.c_str(), 0);
    return ok;
}

bool PosixFileSystem::appendFile(std::string_view path, std::string_view bytes)
{
    auto loc = locate(path);
    if (!loc || loc->leaf.empty()) return false;
    struct stat st {};
    loc->stat(st, AT_SYMLINK_NOFOLLOW); // takes an existing name's case before creating one
    const Fd fd = posixhost::openRegular(loc->parent.get(), loc->leaf.c_str(), O_WRONLY | O_APPEND, true);
    return fd && posixhost::writeAll(fd.get(), bytes);
}

std::optional<std::string> PosixFileSystem::readFile(std::string_view path) const
{
    auto loc = locate(path);
    if (!loc || loc->leaf.empty()) return std::nullopt;
    struct stat st {};
    loc->stat(st, AT_SYMLINK_NOFOLLOW);
    const Fd fd = posixhost::openRegular(loc->parent.get(), loc->leaf.c_str(), O_RDONLY, false);
    if (!fd) return std::nullopt;
    return posixhost::readAll(fd.get());
}

std::optional<std::string> PosixFileSystem::hostPath(std::string_view path) const
{
    const auto p = parse(path);
    if (!p || p->drive < 0) return std::nullopt;
    const std::string& root = presentRoot(p->drive);
    if (root.empty()) return std::nullopt;
    std::string host = hostSpelling(root, p->parts, p->parts.size());
    struct stat st {};
    if (host.size() < PATH_MAX && ::fstatat(AT_FDCWD, host.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return host;

    // Match case component by component; from the first missing folder on, names stay as given.
    host = root;
    Fd dir(::open(root.c_str(), kWalkFlags));
    for (std::size_t i = 0; i < p->parts.size(); ++i) {
        std::string name = posixhost::toHostName(p->parts[i]);
        if (dir) {
            if (::fstatat(dir.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT) {
                if (auto match = findNoCase(dir.get(), p->parts[i])) name = std::move(*match);
            }
            if (i + 1 < p->parts.size()) dir = Fd(::openat(dir.get(), name.c_str(), kWalkFlags));
        }
        appendHost(host, name);
    }
    return host;
}

DesktopTrash PosixFileSystem::desktopTrash(const Environment& env) const
{
    DesktopTrash trash;
    trash.user = std::to_string(::getuid());
    // A relative XDG_DATA_HOME is invalid and ignored; with no home either, there is no
    // home trash to look for (the password database's home is not asked: a caller that
    // names no home means none).
    std::string data = env.get("XDG_DATA_HOME");
    if (data.empty() || data.front() != '/') {
        const std::string home = env.get("HOME");
        if (home.empty() || home.front() != '/') return trash;
        data = home + "/.local/share";
    }
    if (auto folder = driveForm(data + "/Trash")) trash.folders.push_back(std::move(*folder));
    return trash;
}

} // namespace velmora

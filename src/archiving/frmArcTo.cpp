#include "archiving/frmArcTo.h"

#include "archiving/Archivers.h"
#include "platform/FileSystem.h"
#include "platform/ProcessStarter.h"
#include "platform/Text.h"
#include "platform/toolkit/Reentry.h"
#include "settings/Product.h"

#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace velmora {

namespace {

// How long one look at the archiver may block the window before events run again.
constexpr std::chrono::milliseconds WaitSlice{30};

// The selected files as they were when the archiver started, by name.
using Packed = std::map<std::string, std::optional<FileStamp>>;

// An earlier archive of the same name inside the folder shown may be among the selected
// entries (packed again into itself): it leaves the selection before the question, so the
// deletion never takes the archive with the files it holds.
void spareArchive(const FileSystem& fs, FileListBox& files, const std::string& archive)
{
    const std::string full = fs.absolute(archive);
    if (full.empty() || path::isRoot(full)) return;
    const std::string parent = path::parent(full);
    const auto opened = fs.openFolder(parent);
    if (!opened || opened->id() != files.listedFolder().id) return;
    const std::string name = full.substr(parent.size() + (path::isRoot(parent) ? 0 : 1));
    for (std::size_t i = 0; i < files.listCount(); ++i)
        if (files.selected(i) && text::equalNoCase(files.list(i), name)) files.setSelected(i, false);
}

// The archiver reads the files by their paths. Every folder on the way to the listed folder,
// from the drive's root down, and the listed folder itself are watched from before the start:
// a name on the way that changed, even if put back, means the archiver may have read another
// folder's files.
class PathWatch {
public:
    PathWatch(const FileSystem& fs, ListedFolder listed) : m_fs(fs), m_listed(std::move(listed))
    {
        std::vector<std::pair<std::string, std::string>> steps; // a folder, the next name in it
        for (std::string at = m_listed.path; !path::isRoot(at);) {
            const std::string up = path::parent(at);
            if (up.empty() || up == at) break;
            steps.emplace_back(up, at.substr(up.size() + (path::isRoot(up) ? 0 : 1)));
            at = up;
        }
        for (auto step = steps.rbegin(); step != steps.rend(); ++step)
            m_steps.push_back({fs.watch(step->first), step->second});
        // Looked up once every step is watched: a swap after that is seen by a watch above.
        if (const auto folder = fs.openListed(m_listed))
            m_own = folder->watch();
        else
            m_lost = true;
    }

    // True when the path led to the listed folder all along. A host that cannot watch a
    // folder leaves that step to the identity checks at the start and here.
    bool intact()
    {
        if (m_lost) return false;
        for (auto& [watch, next] : m_steps) {
            if (!watch) continue;
            const auto names = watch->poll();
            if (!names) return false;
            for (const std::string& name : *names)
                if (text::equalNoCase(name, next)) return false;
        }
        if (m_own) {
            const auto names = m_own->poll();
            if (!names) return false;
            m_changed.insert(names->begin(), names->end());
        }
        return m_fs.openListed(m_listed) != nullptr;
    }
    // The names of the listed folder that were written, replaced or removed meanwhile.
    const std::set<std::string>& changed() const { return m_changed; }

private:
    const FileSystem& m_fs;
    ListedFolder m_listed;
    std::vector<std::pair<std::unique_ptr<FolderWatch>, std::string>> m_steps;
    std::unique_ptr<FolderWatch> m_own;
    std::set<std::string> m_changed;
    bool m_lost = false;
};

// The archive's folder and what it held under the archive's name, in any letter case, before
// the archiver started: only a file this run made or changed is the archive.
class ArchiveSpot {
public:
    struct Made {
        std::string path, name;
        FileStamp stamp;
    };

    ArchiveSpot(const FileSystem& fs, const std::string& archive) : m_fs(fs)
    {
        const std::string full = fs.absolute(archive);
        if (full.empty() || path::isRoot(full)) return;
        m_folder = path::parent(full);
        m_name = full.substr(m_folder.size() + (path::isRoot(m_folder) ? 0 : 1));
        if (const auto folder = fs.openFolder(m_folder)) {
            m_id = folder->id();
            m_before = stamps(*folder);
        }
    }

    // The one entry of the archive's name that is new or changed, when it is a plain file
    // (never a link) that is not empty, in the folder that was there before.
    std::optional<Made> made() const
    {
        const auto folder = opened();
        if (!folder) return std::nullopt;
        std::optional<Made> found;
        for (const auto& [name, stamp] : stamps(*folder)) {
            const auto was = m_before.find(name);
            if (was != m_before.end() && was->second == stamp) continue;
            if (found) return std::nullopt; // two of them: which is the archive?
            found = Made{path::join(m_folder, name), name, stamp};
        }
        if (!found || found->stamp.size <= 0) return std::nullopt;
        const auto attributes = folder->attributes(found->name);
        if (!attributes || (*attributes & (attr::ReparsePoint | attr::Directory))) return std::nullopt;
        return found;
    }
    // Whether the archive is still as it was when `made` found it.
    bool unchanged(const Made& made) const
    {
        const auto folder = opened();
        return folder && folder->stamp(made.name) == made.stamp;
    }

private:
    std::unique_ptr<Folder> opened() const
    {
        if (m_name.empty()) return nullptr;
        auto folder = m_fs.openFolder(m_folder);
        if (folder && m_id && !(folder->id() == *m_id)) return nullptr;
        return folder;
    }
    std::map<std::string, FileStamp> stamps(const Folder& folder) const
    {
        std::map<std::string, FileStamp> out;
        if (const auto names = folder.names())
            for (const std::string& name : *names)
                if (text::equalNoCase(name, m_name))
                    if (const auto stamp = folder.stamp(name)) out.emplace(name, *stamp);
        return out;
    }

    const FileSystem& m_fs;
    std::string m_folder, m_name;
    std::optional<FolderId> m_id;
    std::map<std::string, FileStamp> m_before;
};

// The sizes of the files an archive holds, by name; a name held twice counts as not held.
std::map<std::string, std::int64_t> sizesByName(const std::vector<ArchiveMember>& files)
{
    std::map<std::string, std::int64_t> out;
    for (const ArchiveMember& file : files)
        if (const auto [at, added] = out.emplace(file.name, file.size); !added) at->second = -1;
    return out;
}

} // namespace

frmArcTo::frmArcTo(Toolkit& tk, const Services& services, ArcSource source, std::function<void(frmArcTo&)> browse)
    : Form(tk, "frmArcTo"), m_services(services), m_source(std::move(source)), m_browse(std::move(browse))
{
    setCaption("Сжать и удалить");
    setClientSize(6015, 2985);
    imgLG.setGeometry({120, 120, 1110, 315});
    imgLG.setPicture("vlm2.gif");
    lblProcess.setGeometry({1440, 150, 4455, 255});
    lblProcess.setCaption("Этап 1. Задание параметров");
    linSEP.setGeometry({120, 555, 5775, 0});
    shpx.setGeometry({120, 2310, 5775, 555});
    lblArchiver.setGeometry({120, 765, 1935, 255});
    lblArchiver.setCaption("Используя архиватор:");
    cboArchivers.setGeometry({2160, 720, 3735, 315});
    lblArc.setGeometry({120, 1245, 1935, 255});
    lblArc.setCaption("Архив назначения:");
    txtArchive.setGeometry({2160, 1200, 2775, 315});
    txtArchive.setText("unused");
    txtExt.setGeometry({5040, 1200, 855, 315});
    txtExt.setText("RAR");
    lblFolder.setGeometry({120, 1725, 1935, 255});
    lblFolder.setCaption("Папка назначения:");
    txtDestFolder.setGeometry({2160, 1680, 3255, 315});
    txtDestFolder.setText("D:\\Windows");
    cmdBrowse.setGeometry({5520, 1680, 375, 315});
    cmdBrowse.setCaption("...");
    cmdOK.setGeometry({2880, 2400, 1335, 375});
    cmdOK.setCaption("&OK");
    cmdOK.setDefault(true);
    cmdCancel.setGeometry({4440, 2400, 1335, 375});
    cmdCancel.setCaption("Отм&ена");
    cmdCancel.setCancel(true);

    cboArchivers.onClick = [this] { cboArchivers_Click(); };
    cmdOK.onClick = [this] { cmdOK_Click(); };
    cmdBrowse.onClick = [this] { cmdBrowse_Click(); };
    cmdCancel.onClick = [this] { unload(); };
}

void frmArcTo::Form_Load()
{
    archivers::enumerate(m_services.settings, cboArchivers);
    cboArchivers.setListIndex(0);
    cboArchivers_Click();
}

void frmArcTo::cboArchivers_Click()
{
    archivers::choose(m_services.settings, cboArchivers, "Execute", "Command", m_archiver, txtExt);
}

void frmArcTo::cmdBrowse_Click()
{
    if (m_browse) m_browse(*this);
}

void frmArcTo::cmdOK_Click()
{
    if (!archivers::fieldsUsable(toolkit(), txtArchive, {&txtArchive, &txtDestFolder})) return;
    stage(2);
    txtDestFolder.setText(archivers::shortenRoot(txtDestFolder.text()));

    const std::string folder = m_source.folders.path();
    FileListBox& list = m_source.files;
    const auto listed = m_services.fs.openListed(list.listedFolder());
    std::string files;
    Packed packed;
    for (std::size_t i = 0; i < list.listCount(); ++i) {
        if (!list.selected(i)) continue;
        const std::string& name = list.list(i);
        files += " " + commandWord(path::join(folder, name));
        packed.emplace(name, listed ? listed->stamp(name) : std::nullopt);
    }
    m_services.fs.setCurrentFolder(folder);
    const std::string typed = archivers::archivePath(txtDestFolder.text(), txtArchive.text(), m_archiver.extention);
    const auto onDrive = archivers::onDrive(m_services.fs, typed);
    if (!onDrive) {
        archivers::notMade(toolkit(), typed);
        stage(4);
        return;
    }
    const std::string& archive = *onDrive;
    // Watched and stamped before the archiver starts: the path it reads the files by must lead
    // to the folder that was listed.
    PathWatch watched(m_services.fs, ListedFolder{folder, list.listedFolder().id});
    const ArchiveSpot spot(m_services.fs, archive);
    const bool ran = pack(archivers::packCommand(m_archiver.program, m_archiver.command, archive, files));
    enum class Proof { NotMade, Moved, Made } proof = Proof::NotMade;
    // What the archive holds, by name; nothing when its format is not one the host reads.
    std::optional<std::map<std::string, std::int64_t>> held;
    if (ran && !m_abandoned) {
        if (!watched.intact()) {
            proof = Proof::Moved;
        } else if (const auto made = spot.made()) {
            const ArchiveListing listing = read(made->path);
            if (listing.outcome != ArchiveListing::Outcome::Unreadable && spot.unchanged(*made)) {
                proof = Proof::Made;
                if (listing.outcome == ArchiveListing::Outcome::Listed) held = sizesByName(listing.files);
            }
        }
    }
    if (m_abandoned) {
        unload();
        return;
    }
    if (proof == Proof::Made) {
        stage(3);
        spareArchive(m_services.fs, list, archive);
        // Checked after the question, right before each file goes: a file written, replaced or
        // renamed over since the archiver started is not what the archive holds, and stays; so
        // does one the archive does not hold at its size.
        if (m_source.deleteSelected)
            m_source.deleteSelected([&](const Folder& at, const std::string& name) {
                const auto was = packed.find(name);
                if (was == packed.end() || !was->second || at.stamp(name) != was->second) return false;
                if (watched.changed().contains(name)) return false;
                if (!held) return true;
                const auto size = held->find(name);
                return size != held->end() && size->second == was->second->size;
            });
    } else if (proof == Proof::Moved) {
        toolkit().msgBox("Папка " + folder + " изменилась, пока работал архиватор. Файлы не удалены.", MsgButtons::OK,
                         MsgIcon::Exclamation, MessageTitle);
    } else {
        archivers::notMade(toolkit(), archive);
    }
    stage(4);
}

bool frmArcTo::pack(const std::string& commandLine)
{
    // Without a program the archive's own name would be started in its place.
    if (!archivers::hasProgram(m_archiver)) return false;
    const auto process = m_services.processes.launch(commandLine);
    if (!process) return false;
    std::optional<int> status;
    {
        // The files must not go while the archiver may still be reading them.
        const Reentry waiting(m_waiting);
        while (!(status = process->exitStatus(WaitSlice)) && !m_abandoned) toolkit().yield();
    }
    // Given up on, it is stopped: left to run, it could still replace a later archive of the
    // same name whose files are gone by then.
    if (!status) process->stop();
    return status == 0;
}

ArchiveListing frmArcTo::read(const std::string& archive)
{
    const Reentry waiting(m_waiting);
    return m_services.archives.list(archive, [this] {
        toolkit().yield();
        return !m_abandoned;
    });
}

void frmArcTo::stage(int n)
{
    m_stage = n;
    static constexpr const char* Captions[] = {"", "Этап 1. Задание параметров", "Этап 2. Сжатие данных",
                                               "Этап 3. Удаление данных", "Этап 4. Процесс завершен"};
    if (n == 2) cmdBrowse.setEnabled(false);
    cmdOK.setEnabled(false);
    cmdCancel.setEnabled(n == 4);
    lblProcess.setCaption(Captions[n]);
    txtDestFolder.setEnabled(false);
    txtArchive.setEnabled(false);
    cboArchivers.setEnabled(false);
    if (n == 4) {
        cmdCancel.setCaption("&Закрыть");
        cmdCancel.setFocus();
    }
}

void frmArcTo::close()
{
    if (m_waiting) {
        m_abandoned = true;
        return;
    }
    // The deletion runs to its end once its question was answered.
    if (m_stage == 2 || m_stage == 3) return;
    unload();
}

} // namespace velmora

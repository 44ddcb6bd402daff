#include "archiving/frmArcTo.h"

#include "archiving/Archivers.h"
#include "platform/FileSystem.h"
#include "platform/ProcessStarter.h"
#include "platform/Text.h"
#include "platform/toolkit/Reentry.h"

#include <chrono>
#include <map>
#include <optional>

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
    const bool made = pack(archivers::packCommand(m_archiver.program, m_archiver.command, archive, files), archive);
    if (m_abandoned) {
        unload();
        return;
    }
    if (made) {
        stage(3);
        spareArchive(m_services.fs, list, archive);
        // Checked after the question, right before each file goes: a file written, replaced or
        // renamed over since the archiver started is not what the archive holds, and stays.
        if (m_source.deleteSelected)
            m_source.deleteSelected([&packed](const Folder& at, const std::string& name) {
                const auto was = packed.find(name);
                return was != packed.end() && was->second && at.stamp(name) == was->second;
            });
    } else {
        toolkit().msgBox("Архив " + archive + " не создан. Файлы не удалены.", MsgButtons::OK, MsgIcon::Exclamation,
                         "Velmora");
    }
    stage(4);
}

bool frmArcTo::pack(const std::string& commandLine, const std::string& archive)
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
    return status == 0 && m_services.fs.fileSize(archive).value_or(0) > 0;
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

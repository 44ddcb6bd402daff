#include "archiving/frmArcFrom.h"

#include "archiving/Archivers.h"
#include "platform/FileSystem.h"
#include "platform/ProcessStarter.h"
#include "settings/Product.h"

namespace velmora {

frmArcFrom::frmArcFrom(Toolkit& tk, const Services& services, DirListBox& folders)
    : Form(tk, "frmArcFrom"), m_services(services), m_folders(folders)
{
    setCaption("Восстановить из архива");
    setClientSize(6015, 3465);
    imgLG.setGeometry({120, 120, 1110, 315});
    imgLG.setPicture("vlm2.gif");
    lblProcess.setGeometry({1440, 150, 4455, 255});
    lblProcess.setCaption("Этап 1. Задание параметров");
    linSEP.setGeometry({120, 555, 5775, 0});
    shpx.setGeometry({120, 2790, 5775, 555});
    lblArchiver.setGeometry({120, 765, 1935, 255});
    lblArchiver.setCaption("Используя архиватор:");
    cboArchivers.setGeometry({2160, 720, 3735, 315});
    lblFolder.setGeometry({120, 1245, 1935, 255});
    lblFolder.setCaption("Папка архива:");
    txtDestFolder.setGeometry({2160, 1200, 3735, 315});
    txtDestFolder.setText("D:\\Windows");
    lblArc.setGeometry({120, 1725, 1935, 255});
    lblArc.setCaption("Архив:");
    txtArchive.setGeometry({2160, 1680, 2775, 315});
    txtArchive.setText("unused");
    txtExt.setGeometry({5040, 1680, 855, 315});
    txtExt.setText("RAR");
    lblFolderDest.setGeometry({120, 2205, 1935, 255});
    lblFolderDest.setCaption("Папка назначения:");
    txtDestF.setGeometry({2160, 2160, 3735, 315});
    txtDestF.setText("D:\\Windows");
    cmdOK.setGeometry({2880, 2880, 1335, 375});
    cmdOK.setCaption("&OK");
    cmdOK.setDefault(true);
    cmdCancel.setGeometry({4440, 2880, 1335, 375});
    cmdCancel.setCaption("Отм&ена");
    cmdCancel.setCancel(true);

    cboArchivers.onClick = [this] { cboArchivers_Click(); };
    cmdOK.onClick = [this] { cmdOK_Click(); };
    cmdCancel.onClick = [this] { unload(); };
}

void frmArcFrom::Form_Load()
{
    // The list and the first archiver's fields from one reading: a long table is read once
    // when the window opens, not once for each.
    m_loading = archivers::table(m_services.settings);
    archivers::enumerate(*m_loading, cboArchivers);
    cboArchivers.setListIndex(0);
    cboArchivers_Click();
    m_loading.reset();
}

void frmArcFrom::cboArchivers_Click()
{
    if (m_loading)
        archivers::choose(*m_loading, cboArchivers, "ExecUn", "Unpack", m_archiver, txtExt);
    else
        archivers::choose(m_services.settings, cboArchivers, "ExecUn", "Unpack", m_archiver, txtExt);
}

void frmArcFrom::cmdOK_Click()
{
    if (!archivers::fieldsUsable(toolkit(), txtArchive, {&txtDestFolder, &txtArchive, &txtDestF})) return;
    cmdOK.setEnabled(false);
    cmdCancel.setEnabled(false);
    lblProcess.setCaption("Этап 2. Восстановление данных");
    for (TextBox* field : {&txtDestFolder, &txtDestF, &txtArchive}) field->setEnabled(false);
    cboArchivers.setEnabled(false);

    txtDestFolder.setText(archivers::shortenRoot(txtDestFolder.text()));
    txtDestF.setText(archivers::shortenRoot(txtDestF.text()));
    const std::string folder = m_folders.path();
    m_services.fs.setCurrentFolder(folder);
    const std::string typed = archivers::archivePath(txtDestFolder.text(), txtArchive.text(), m_archiver.extention);
    // No destination is the folder the unpacker works in, the one shown, named in full so that
    // the unpacker gets its last word.
    const bool noDestination = txtDestF.text().find_first_not_of(" \t") == std::string::npos;
    const std::string destination = noDestination ? folder : txtDestF.text();
    const auto archive = archivers::onDrive(m_services.fs, typed);
    const auto into = archivers::onDrive(m_services.fs, destination);
    if (!archive || !into) {
        // Handed on, such a path would be a word missing or a folder of that name made here.
        toolkit().msgBox(!archive
                             ? "Архив " + typed + " не распакован: этот путь не ведет ни на один диск."
                             : "Архив " + typed + " не распакован: путь " + destination + " не ведет ни на один диск.",
                         MsgButtons::OK, MsgIcon::Exclamation, MessageTitle);
    } else if (archivers::hasProgram(m_archiver)) {
        // Without a program the archive's own name would be started in its place.
        m_services.processes.start(archivers::unpackCommand(m_archiver.program, m_archiver.command, *archive, *into));
    }

    lblProcess.setCaption("Этап 3. Процесс завершен");
    cmdCancel.setEnabled(true);
    cmdCancel.setCaption("&Закрыть");
    cmdCancel.setFocus();
}

} // namespace velmora

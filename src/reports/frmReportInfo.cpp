#include "reports/frmReportInfo.h"

#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/SettingsStore.h"
#include "platform/toolkit/Reentry.h"
#include "settings/Settings.h"

namespace velmora {

namespace {

// Removes the file a typed or stored path names; its folder is found as a typed path is.
bool removeFile(FileSystem& fs, const std::string& path)
{
    const std::string full = fs.absolute(path);
    if (full.empty() || path::isRoot(full)) return false;
    const std::string folder = path::parent(full);
    const std::string name = full.substr(folder.size() + (path::isRoot(folder) ? 0 : 1));
    const auto opened = fs.openFolder(folder);
    return opened && opened->remove(name);
}

} // namespace

frmReportInfo::frmReportInfo(Toolkit& tk, const Services& services, std::function<void()> viewReports,
                             std::function<void(const std::string&)> reportMoved)
    : Form(tk, "frmReportInfo"), m_services(services), m_viewReports(std::move(viewReports)),
      m_reportMoved(std::move(reportMoved))
{
    setCaption("Настройка отчета");
    setClientSize(6015, 4500);
    fraFile.setGeometry({120, 60, 5775, 1695});
    fraFile.setCaption("Файл отчета");
    lblFile.setGeometry({120, 300, 5535, 255});
    lblFile.setCaption("report.txt");
    lblView.setGeometry({120, 660, 3255, 375});
    lblView.setCaption("Если необходимо просмотреть файл отчета, нажмите");
    cmdEdit.setGeometry({3480, 660, 2175, 375});
    cmdEdit.setCaption("П&росмотреть отчет");
    lblSysFold.setGeometry({120, 1140, 3255, 375});
    lblSysFold.setCaption("Если необходимо переместить отчет в системную папку, нажмите");
    cmdMoveReport.setGeometry({3480, 1140, 2175, 375});
    cmdMoveReport.setCaption("Пере&местить отчет");
    fraRep.setGeometry({120, 1860, 5775, 675});
    fraRep.setCaption("Сохранение отчета");
    chkAlwaysSave.setGeometry({120, 300, 5535, 255});
    chkAlwaysSave.setCaption("Всегда сохранять отчет");
    fraCleanup.setGeometry({120, 2640, 5775, 1095});
    fraCleanup.setCaption("Очистка диска");
    lblInfo.setGeometry({120, 300, 3255, 615});
    lblInfo.setCaption("Файл отчета занимает 0 байт на диске. Если необходимо освободить место, нажмите");
    cmdDelRep.setGeometry({3480, 420, 2175, 375});
    cmdDelRep.setCaption("У&далить отчет");
    cmdClose.setGeometry({4320, 3900, 1575, 375});
    cmdClose.setCaption("&Закрыть");
    cmdClose.setCancel(true);

    cmdEdit.onClick = [this] {
        if (m_viewReports) m_viewReports();
    };
    cmdMoveReport.onClick = [this] { cmdMoveReport_Click(); };
    chkAlwaysSave.onClick = [this] { chkAlwaysSave_Click(); };
    cmdDelRep.onClick = [this] { cmdDelRep_Click(); };
    cmdClose.onClick = [this] { unload(); };
    timCheck.onTimer = [this] { timCheck_Timer(); };
}

void frmReportInfo::Form_Load()
{
    m_path = settings::reportFileName(m_services.settings);
    // Showing the stored value is no click of the user's: nothing is stored for it.
    const Reentry loading(m_loading);
    chkAlwaysSave.setValue(settings::alwaysSaveReport(m_services.settings) ? 1 : 0);
}

void frmReportInfo::chkAlwaysSave_Click()
{
    if (m_loading) return;
    m_services.settings.save(settings::App, settings::ReportSection, settings::AlwaysSave,
                             std::to_string(chkAlwaysSave.value()));
}

void frmReportInfo::timCheck_Timer()
{
    lblFile.setCaption(m_path);
    const auto size = m_services.fs.fileSize(m_path);
    if (!size) {
        cmdDelRep.setEnabled(false);
        lblInfo.setCaption("Файл отчета был удален или не был создан.");
        return;
    }
    if (*size != 0) cmdDelRep.setEnabled(true);
    lblInfo.setCaption("Файл отчета занимает " + std::to_string(*size) +
                       " байт. Если необходимо освободить место на диске, нажмите");
}

void frmReportInfo::cmdDelRep_Click() { removeFile(m_services.fs, m_path); }

void frmReportInfo::cmdMoveReport_Click()
{
    const std::string target = m_services.env.get("WINDIR") + "\\report.txt";
    if (m_path == target) return;
    if (!m_services.fs.copyFile(m_path, target)) return;
    removeFile(m_services.fs, m_path);
    m_path = target;
    settings::saveOption(m_services.settings, settings::ReportFileName, target);
    if (m_reportMoved) m_reportMoved(target);
    Form_Load();
}

} // namespace velmora

#include "reports/frmReport.h"

#include "platform/FileSystem.h"
#include "platform/Printer.h"
#include "platform/Text.h"
#include "reports/ReportFile.h"
#include "settings/Settings.h"

#include <string>

namespace velmora {

frmReport::frmReport(Toolkit& tk, const Services& services) : Form(tk, "frmReport"), m_services(services)
{
    setCaption("Velmora - отчет");
    setClientSize(7860, 5340);
    lblView.setGeometry({120, 120, 6960, 435});
    imgReport.setGeometry({7200, 60, 480, 480});
    imgReport.setPicture("reportpic.gif");
    txtRep.setGeometry({120, 660, 7620, 3735});
    txtRep.setMultiLine(true);
    txtRep.setFont({"Courier New", 10, false, false});
    linSEP.setGeometry({120, 4560, 7620, 0});
    lblReptLocation.setGeometry({120, 4800, 2955, 255});
    lblReptLocation.setCaption("report.txt, 0 байт");
    cmdPrint.setGeometry({3180, 4740, 1455, 375});
    cmdPrint.setCaption("&Печать...");
    cmdSave.setGeometry({4740, 4740, 1455, 375});
    cmdSave.setCaption("&Сохранить...");
    cmdOK.setGeometry({6300, 4740, 1455, 375});
    cmdOK.setCancel(true);
    cmdOK.setDefault(true);

    cmdSave.onClick = [this] { cmdSave_Click(); };
    cmdPrint.onClick = [this] { cmdPrint_Click(); };
    cmdOK.onClick = [this] { cmdOK_Click(); };
    timUpdateInfo.onTimer = [this] { timUpdateInfo_Timer(); };
}

void frmReport::Form_Load()
{
    cmdOK.setCaption("З&акрыть");
    lblView.setCaption(
        "Просмотрите отчет программы о проделанной работе и удалите временные файлы из указанных папок.");
}

void frmReport::timUpdateInfo_Timer()
{
    lblReptLocation.setCaption(settings::reportFileName(m_services.settings) + ", " +
                               std::to_string(text::length(txtRep.text())) + " байт");
}

void frmReport::cmdSave_Click()
{
    const std::string file = settings::reportFileName(m_services.settings);
    // One write: a file that cannot be opened gets nothing at all.
    appendReport(m_services.fs, file, txtRep.text() + "\r\n\r\n\r\n");
    cmdOK_Click();
}

void frmReport::cmdPrint_Click()
{
    Printer& printer = m_services.printer;
    bool failed = false;
    auto step = [&failed](bool ok) { failed = failed || !ok; };
    step(printer.setFontName("Arial Cyr"));
    step(printer.setFontSize(12));
    step(printer.setBold(true));
    step(printer.setUnderline(true));
    step(printer.printLine(""));
    step(printer.printLine("Velmora - отчет о проделанной работе"));
    step(printer.printLine(""));
    step(printer.setBold(false));
    step(printer.setUnderline(false));
    step(printer.setFontSize(10));
    step(printer.printLine(""));
    const std::string& report = txtRep.text();
    for (std::size_t start = 0;;) {
        const std::size_t end = report.find("\r\n", start);
        step(printer.printLine(std::string_view(report).substr(start, end - start)));
        if (end == std::string::npos) break;
        start = end + 2;
    }
    step(printer.printLine(""));
    step(printer.endDoc());
    toolkit().msgBox("Печать отчета на принтере " + printer.deviceName() + " завершена.", MsgButtons::OK,
                     MsgIcon::Information, "Velmora - Печать отчета");
    if (failed) {
        toolkit().msgBox("Произошла ошибка печати:\r\n\r\n" + printer.lastError(), MsgButtons::OK, MsgIcon::Critical,
                         "Velmora - Печать отчета");
        printer.clearError();
    }
    cmdOK_Click();
}

void frmReport::cmdOK_Click() { unload(); }

} // namespace velmora

#include "reports/ReportViewer.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "reports/ReportFile.h"
#include "reports/frmReport.h"
#include "settings/Settings.h"

#include <chrono>

namespace velmora {

std::string reportViewText(std::string_view fileText, const std::function<void()>& beforeLine)
{
    std::string view;
    view.reserve(fileText.size() + fileText.size() / 16);
    std::size_t at = 0;
    while (at < fileText.size()) {
        if (beforeLine) beforeLine();
        std::size_t end = fileText.find('\r', at);
        if (end == std::string_view::npos) end = fileText.size();
        view.append(fileText.substr(at, end - at));
        view += "\r\n";
        at = end + 1;
        if (at < fileText.size() && fileText[at] == '\n') ++at;
    }
    return view;
}

void viewReportFile(Toolkit& tk, const Services& services, FormSlot<frmReport>& window, Form& owner)
{
    const std::string path = settings::reportFileName(services.settings);
    const auto bytes = services.fs.readFile(path);
    if (!bytes || bytes->empty()) return;
    // The window stays alive while a long file is read, but a yield per line would make a
    // report of a hundred thousand lines take seconds: one yield a slice of lines.
    using SteadyClock = std::chrono::steady_clock;
    auto sliceStart = SteadyClock::now();
    const std::string view = reportViewText(reportFileText(*bytes), [&] {
        if (SteadyClock::now() - sliceStart < std::chrono::milliseconds(20)) return;
        tk.yield();
        sliceStart = SteadyClock::now();
    });
    frmReport& report = window.get();
    report.cmdSave.setEnabled(false);
    report.setCaption("Velmora - Просмотр отчета (" + path + ")");
    report.txtRep.setText(view);
    report.txtRep.setMaxLength(text::length(view));
    report.showModal(&owner);
}

} // namespace velmora

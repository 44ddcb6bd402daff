#include "reports/ReportHandOver.h"

#include "platform/Text.h"
#include "reports/frmReport.h"
#include "settings/Settings.h"

namespace velmora {

ReportHandOver::ReportHandOver(FormSlot<frmReport>& window, const Services& services, Form& owner)
    : m_window(window), m_services(services), m_owner(owner)
{}

void ReportHandOver::operator()(std::string_view title, std::string_view text) const
{
    frmReport& window = m_window.get();
    window.setCaption(std::string(title));
    window.txtRep.setText(text);
    window.txtRep.setMaxLength(text::length(text));
    if (settings::alwaysSaveReport(m_services.settings))
        window.cmdSave_Click();
    else
        window.showModal(&m_owner);
}

} // namespace velmora

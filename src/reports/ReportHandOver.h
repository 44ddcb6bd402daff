#pragma once
// Where a finished report goes: the report window, over the window that owns it.
#include "platform/Services.h"
#include "platform/toolkit/Form.h"

#include <string_view>

namespace velmora {

class frmReport;

class ReportHandOver {
public:
    // `window` and `services` must outlive the hand-over; `owner` is the window the report
    // window is shown over.
    ReportHandOver(FormSlot<frmReport>& window, const Services& services, Form& owner);

    // Saved silently when "Always Save" is 1, otherwise shown modally over the owner.
    // Returns when the report window is done with the report.
    void operator()(std::string_view title, std::string_view text) const;

private:
    FormSlot<frmReport>& m_window;
    const Services& m_services;
    Form& m_owner;
};

} // namespace velmora

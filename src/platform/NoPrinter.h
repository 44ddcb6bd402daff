#pragma once
// The printer of a build that has none: every call fails and says so.
#include "platform/Printer.h"

namespace velmora {

class NoPrinter : public Printer {
public:
    bool setFontName(std::string_view) override { return fail(); }
    bool setFontSize(int) override { return fail(); }
    bool setBold(bool) override { return fail(); }
    bool setUnderline(bool) override { return fail(); }
    bool printLine(std::string_view) override { return fail(); }
    bool endDoc() override { return fail(); }
    std::string deviceName() const override { return {}; }
    std::string lastError() const override { return m_error; }
    void clearError() override { m_error.clear(); }

private:
    bool fail()
    {
        m_error = "no printer in this build";
        return false;
    }
    std::string m_error;
};

} // namespace velmora

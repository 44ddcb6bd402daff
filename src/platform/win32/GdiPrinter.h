#pragma once
// The default printer through GDI.
#include "platform/Printer.h"

#include <memory>
#include <string>

namespace velmora {

// The default printer is looked up at the first call (GetDefaultPrinterW); with none, every
// call fails with "Принтер по умолчанию не найден". Lines go down the page at the current
// font's line spacing, from the printable area's top left; a line that does not fit starts
// a new page. The document is sent by endDoc() (or when the printer is destroyed).
class GdiPrinter : public Printer {
public:
    GdiPrinter();
    ~GdiPrinter() override;
    GdiPrinter(const GdiPrinter&) = delete;
    GdiPrinter& operator=(const GdiPrinter&) = delete;

    // A face the system lacks is replaced by GDI's nearest; "Arial Cyr" and the other "... Cyr"
    // names of old Cyrillic systems are taken as their base face with the Cyrillic character set.
    bool setFontName(std::string_view name) override;
    // False, changing nothing, for a size below 1 point.
    bool setFontSize(int points) override;
    bool setBold(bool on) override;
    bool setUnderline(bool on) override;
    bool printLine(std::string_view text) override;
    // True with nothing to send when no line was printed since the last endDoc().
    bool endDoc() override;
    // The printer's name; empty when there is none.
    std::string deviceName() const override;
    std::string lastError() const override;
    void clearError() override;

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace velmora

#pragma once
// The printer through Qt's print support.
//
// A QGuiApplication (or QApplication) must exist before the first call and outlive the
// printer; without one every call fails. The target is chosen at the first call: the PDF
// file of the options, else the PDF file named by VELMORA_PRINT_TO, else the system's
// default printer. With none, every call fails with "Принтер по умолчанию не найден".
#include "platform/Printer.h"

#include <memory>
#include <string>

namespace velmora {

struct QtPrinterOptions {
    // Print into this PDF file instead of a printer.
    std::string pdfFile;
    // Behave as a machine without printers, whatever the environment says.
    bool noPrinter = false;
};

// Lines go down the page at the current font's line spacing; a line that does not fit
// starts a new page. The document is sent by endDoc() (or when the printer is destroyed).
class QtPrinter : public Printer {
public:
    explicit QtPrinter(QtPrinterOptions options = {});
    ~QtPrinter() override;
    QtPrinter(const QtPrinter&) = delete;
    QtPrinter& operator=(const QtPrinter&) = delete;

    // A name missing on the system is replaced by a similar face; "Arial Cyr" and the other
    // "... Cyr" names of old Cyrillic systems are taken as their base face.
    bool setFontName(std::string_view name) override;
    // False, changing nothing, for a size below 1 point.
    bool setFontSize(int points) override;
    bool setBold(bool on) override;
    bool setUnderline(bool on) override;
    bool printLine(std::string_view text) override;
    // True with nothing to send when no line was printed since the last endDoc().
    bool endDoc() override;
    // The printer's name, or the PDF file's path; empty when there is no printer.
    std::string deviceName() const override;
    std::string lastError() const override;
    void clearError() override;

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace velmora

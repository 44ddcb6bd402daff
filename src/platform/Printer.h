#pragma once
#include <string>
#include <string_view>

namespace velmora {

// The default printer, driven line by line. Every call returns false on failure and
// leaves a description in lastError() until clearError().
class Printer {
public:
    virtual ~Printer() = default;
    virtual bool setFontName(std::string_view name) = 0;
    virtual bool setFontSize(int points) = 0;
    virtual bool setBold(bool on) = 0;
    virtual bool setUnderline(bool on) = 0;
    // Prints one line; an empty text prints an empty line.
    virtual bool printLine(std::string_view text) = 0;
    // Ends the document and sends the pages to the printer.
    virtual bool endDoc() = 0;
    virtual std::string deviceName() const = 0;
    virtual std::string lastError() const = 0;
    virtual void clearError() = 0;
};

} // namespace velmora

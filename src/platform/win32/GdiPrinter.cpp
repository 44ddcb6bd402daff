#include "platform/win32/GdiPrinter.h"

#include "platform/win32/Win32Text.h"

#include <windows.h>

#include <winspool.h>

#include <vector>

namespace velmora {

namespace {

const char* const kNoPrinter = "Принтер по умолчанию не найден";
const char* const kBadValue = "Недопустимое значение свойства";

std::wstring defaultPrinter()
{
    DWORD size = 0;
    ::GetDefaultPrinterW(nullptr, &size);
    if (size == 0) return {};
    std::vector<wchar_t> name(size);
    if (!::GetDefaultPrinterW(name.data(), &size)) return {};
    return std::wstring(name.data());
}

} // namespace

struct GdiPrinter::Impl {
    bool resolved = false;
    std::wstring device;
    HDC dc = nullptr;
    bool inDocument = false;
    int y = 0;
    std::string error;

    std::wstring face = L"Arial";
    BYTE charset = DEFAULT_CHARSET;
    int points = 10;
    bool bold = false;
    bool underline = false;

    ~Impl() { close(); }

    bool fail(std::string what)
    {
        error = std::move(what);
        return false;
    }

    void resolve()
    {
        if (resolved) return;
        resolved = true;
        device = defaultPrinter();
    }

    bool ready()
    {
        resolve();
        return device.empty() ? fail(kNoPrinter) : true;
    }

    std::string name() const { return win32::narrow(device); }

    bool begin()
    {
        dc = ::CreateDCW(L"WINSPOOL", device.c_str(), nullptr, nullptr);
        if (!dc) return fail("Не удалось начать печать на устройстве «" + name() + "»");
        DOCINFOW doc{};
        doc.cbSize = sizeof doc;
        doc.lpszDocName = L"Velmora";
        if (::StartDocW(dc, &doc) <= 0 || ::StartPage(dc) <= 0) {
            close();
            return fail("Не удалось начать печать на устройстве «" + name() + "»");
        }
        inDocument = true;
        y = 0;
        return true;
    }

    // Ends the document when one is open; false when it could not be sent.
    bool close()
    {
        bool sent = true;
        if (dc && inDocument) sent = ::EndPage(dc) > 0 && ::EndDoc(dc) > 0;
        if (dc) ::DeleteDC(dc);
        dc = nullptr;
        inDocument = false;
        return sent;
    }

    HFONT makeFont() const
    {
        const int height = -::MulDiv(points, ::GetDeviceCaps(dc, LOGPIXELSY), 72);
        return ::CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, underline ? TRUE : FALSE, FALSE,
                             charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_SWISS, face.c_str());
    }

    bool printLine(std::string_view text)
    {
        if (!ready()) return false;
        if (!dc && !begin()) return false;
        const HFONT font = makeFont();
        const HGDIOBJ old = ::SelectObject(dc, font);
        TEXTMETRICW metrics{};
        ::GetTextMetricsW(dc, &metrics);
        const int lineHeight = metrics.tmHeight + metrics.tmExternalLeading;
        bool ok = true;
        if (y > 0 && y + lineHeight > ::GetDeviceCaps(dc, VERTRES)) {
            if (::EndPage(dc) <= 0 || ::StartPage(dc) <= 0) {
                ok = fail("Не удалось начать новую страницу на устройстве «" + name() + "»");
            } else {
                ::SelectObject(dc, font); // a new page starts with the device's defaults
                y = 0;
            }
        }
        if (ok && !text.empty()) {
            const std::wstring wide = win32::widen(text);
            ::TextOutW(dc, 0, y, wide.c_str(), static_cast<int>(wide.size()));
        }
        if (ok) y += lineHeight;
        ::SelectObject(dc, old);
        ::DeleteObject(font);
        return ok;
    }
};

GdiPrinter::GdiPrinter() : m(std::make_unique<Impl>()) {}

// An unfinished document is sent, as the program's end always did.
GdiPrinter::~GdiPrinter() = default;

bool GdiPrinter::setFontName(std::string_view name)
{
    if (!m->ready()) return false;
    std::string face(name);
    while (!face.empty() && face.back() == ' ') face.pop_back();
    m->charset = DEFAULT_CHARSET;
    if (face.size() > 4 && face.compare(face.size() - 4, 4, " Cyr") == 0) {
        face.resize(face.size() - 4);
        m->charset = RUSSIAN_CHARSET;
    }
    m->face = win32::widen(face);
    return true;
}

bool GdiPrinter::setFontSize(int points)
{
    if (!m->ready()) return false;
    if (points < 1) return m->fail(kBadValue);
    m->points = points;
    return true;
}

bool GdiPrinter::setBold(bool on)
{
    if (!m->ready()) return false;
    m->bold = on;
    return true;
}

bool GdiPrinter::setUnderline(bool on)
{
    if (!m->ready()) return false;
    m->underline = on;
    return true;
}

bool GdiPrinter::printLine(std::string_view text) { return m->printLine(text); }

bool GdiPrinter::endDoc()
{
    if (!m->ready()) return false;
    if (!m->dc) return true;
    if (!m->close()) return m->fail("Не удалось отправить документ на устройство «" + m->name() + "»");
    return true;
}

std::string GdiPrinter::deviceName() const
{
    m->resolve();
    return m->name();
}

std::string GdiPrinter::lastError() const { return m->error; }

void GdiPrinter::clearError() { m->error.clear(); }

} // namespace velmora

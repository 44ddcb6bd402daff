#include "platform/qt/QtPrinter.h"
#include "platform/qt/QtText.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace velmora {

namespace {

const char* const kNoPrinter = "Принтер по умолчанию не найден";
const char* const kNoApplication = "Печать недоступна: графическая среда не запущена";
const char* const kBadValue = "Недопустимое значение свойства";

QString hostFamily(std::string_view name)
{
    QString family = qs(name).trimmed();
    if (family.endsWith(QLatin1String(" Cyr"), Qt::CaseInsensitive)) family.chop(4);
    return family;
}

} // namespace

struct QtPrinter::Impl {
    QtPrinterOptions options;
    bool resolved = false;
    std::unique_ptr<QPrinter> printer;
    std::unique_ptr<QPainter> painter;
    std::string device;
    std::string error;

    QString family = QStringLiteral("Arial");
    int points = 10;
    bool bold = false;
    bool underline = false;
    qreal y = 0;

    bool fail(std::string what)
    {
        error = std::move(what);
        return false;
    }

    // Picks the target once a GUI application exists; Qt's printer plugins need one.
    void resolve()
    {
        if (resolved || !qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
        resolved = true;
        std::string pdf = options.pdfFile;
        if (pdf.empty() && !options.noPrinter) pdf = qEnvironmentVariable("VELMORA_PRINT_TO").toStdString();
        if (!pdf.empty()) {
            printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(qs(pdf));
            device = pdf;
            return;
        }
        if (options.noPrinter) return;
        const QPrinterInfo info = QPrinterInfo::defaultPrinter();
        if (info.isNull()) return;
        printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
        device = info.printerName().toStdString();
    }

    bool ready()
    {
        resolve();
        if (!resolved) return fail(kNoApplication);
        if (!printer) return fail(kNoPrinter);
        return true;
    }

    QFont font() const
    {
        QFont f(family, points);
        f.setStyleHint(QFont::SansSerif);
        f.setBold(bold);
        f.setUnderline(underline);
        return f;
    }

    bool beginDocument()
    {
        painter = std::make_unique<QPainter>();
        if (!painter->begin(printer.get())) {
            painter.reset();
            return fail("Не удалось начать печать на устройстве «" + device + "»");
        }
        y = 0;
        return true;
    }

    bool printLine(std::string_view text)
    {
        if (!ready()) return false;
        if (!painter && !beginDocument()) return false;
        const QFont f = font();
        painter->setFont(f);
        const QFontMetricsF metrics(f, printer.get());
        const qreal pageHeight = printer->pageRect(QPrinter::DevicePixel).height();
        if (y > 0 && y + metrics.height() > pageHeight) {
            if (!printer->newPage()) return fail("Не удалось начать новую страницу на устройстве «" + device + "»");
            y = 0;
        }
        if (!text.empty()) painter->drawText(QPointF(0, y + metrics.ascent()), qs(text));
        y += metrics.lineSpacing();
        return true;
    }

    bool endDoc()
    {
        if (!ready()) return false;
        if (!painter) return true;
        const bool sent = painter->end();
        painter.reset();
        if (!sent) return fail("Не удалось отправить документ на устройство «" + device + "»");
        return true;
    }
};

QtPrinter::QtPrinter(QtPrinterOptions options) : m(std::make_unique<Impl>()) { m->options = std::move(options); }

QtPrinter::~QtPrinter()
{
    // An unfinished document is sent, as the program's end always did.
    if (m->painter && QCoreApplication::instance()) m->painter->end();
}

bool QtPrinter::setFontName(std::string_view name)
{
    if (!m->ready()) return false;
    m->family = hostFamily(name);
    return true;
}

bool QtPrinter::setFontSize(int points)
{
    if (!m->ready()) return false;
    if (points < 1) return m->fail(kBadValue);
    m->points = points;
    return true;
}

bool QtPrinter::setBold(bool on)
{
    if (!m->ready()) return false;
    m->bold = on;
    return true;
}

bool QtPrinter::setUnderline(bool on)
{
    if (!m->ready()) return false;
    m->underline = on;
    return true;
}

bool QtPrinter::printLine(std::string_view text) { return m->printLine(text); }

bool QtPrinter::endDoc() { return m->endDoc(); }

std::string QtPrinter::deviceName() const
{
    m->resolve();
    return m->device;
}

std::string QtPrinter::lastError() const { return m->error; }

void QtPrinter::clearError() { m->error.clear(); }

} // namespace velmora

#include "platform/qt/QtPrinter.h"

#include "support/TestSupport.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QPrinterInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <string>

using velmora::QtPrinter;
using velmora::QtPrinterOptions;
using velmora::testsupport::readHostFile;
using velmora::testsupport::TempDir;

namespace {

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value) : m_name(name), m_had(qEnvironmentVariableIsSet(name))
    {
        m_old = qgetenv(name);
        qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

int pageCount(const std::string& pdf)
{
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page[^s]"));
    return static_cast<int>(QString::fromLatin1(pdf.data(), static_cast<qsizetype>(pdf.size())).count(page));
}

// The code points the PDF's fonts say they show, read from their ToUnicode maps.
QString shownCharacters(const std::string& pdf)
{
    QString shown;
    const QByteArray all = QByteArray::fromStdString(pdf);
    static const QRegularExpression maps(QStringLiteral("beginbf(char|range)(.*?)endbf"),
                                         QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression code(QStringLiteral("<([0-9A-Fa-f]{4})>"));
    qsizetype from = 0;
    while ((from = all.indexOf("stream", from)) >= 0) {
        qsizetype begin = from + 6;
        if (all.mid(begin, 2) == "\r\n")
            begin += 2;
        else if (all.mid(begin, 1) == "\n")
            ++begin;
        const qsizetype end = all.indexOf("endstream", begin);
        if (end < 0) break;
        QByteArray body = all.mid(begin, end - begin);
        // qUncompress wants the expected size in front; a generous guess is fine.
        QByteArray inflated = qUncompress(QByteArray("\x00\x10\x00\x00", 4) + body);
        if (inflated.isEmpty()) inflated = body;
        const QString text = QString::fromLatin1(inflated);
        // Source codes come along too; they are glyph numbers, far below Cyrillic.
        for (auto m = maps.globalMatch(text); m.hasNext();) {
            const QString entries = m.next().captured(2);
            for (auto c = code.globalMatch(entries); c.hasNext();)
                shown += QChar(c.next().captured(1).toUShort(nullptr, 16));
        }
        from = end;
    }
    return shown;
}

class QtPrinterTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(qobject_cast<QGuiApplication*>(QCoreApplication::instance()), nullptr); }
    TempDir dir;
};

} // namespace

TEST_F(QtPrinterTest, PrintsCyrillicLinesIntoThePdfOfTheEnvironment)
{
    const std::string pdf = (dir.path() / "report.pdf").string();
    const ScopedEnv env("VELMORA_PRINT_TO", QByteArray::fromStdString(pdf));
    QtPrinter printer;
    EXPECT_EQ(printer.deviceName(), pdf);
    EXPECT_TRUE(printer.setFontName("Arial Cyr"));
    EXPECT_TRUE(printer.setFontSize(14));
    EXPECT_TRUE(printer.setBold(true));
    EXPECT_TRUE(printer.setUnderline(true));
    EXPECT_TRUE(printer.printLine("Отчёт о чистке диска C:"));
    EXPECT_TRUE(printer.setBold(false));
    EXPECT_TRUE(printer.setUnderline(false));
    EXPECT_TRUE(printer.setFontSize(10));
    EXPECT_TRUE(printer.printLine(""));
    EXPECT_TRUE(printer.printLine("Удалено файлов: 12, ЁЖЯ ёжя №"));
    EXPECT_TRUE(printer.endDoc());
    EXPECT_EQ(printer.lastError(), "");

    const std::string bytes = readHostFile(pdf);
    ASSERT_GT(bytes.size(), 1000u);
    EXPECT_EQ(bytes.substr(0, 5), "%PDF-");
    EXPECT_EQ(pageCount(bytes), 1);
    const QString shown = shownCharacters(bytes);
    for (const QChar c : QStringLiteral("ОтчёУдлнфйЁЖЯжя№"))
        EXPECT_TRUE(shown.contains(c)) << "missing " << QString(c).toStdString();
}

TEST_F(QtPrinterTest, OptionsFileWinsOverTheEnvironment)
{
    const ScopedEnv env("VELMORA_PRINT_TO", QByteArray::fromStdString((dir.path() / "env.pdf").string()));
    const std::string pdf = (dir.path() / "own.pdf").string();
    QtPrinter printer({pdf, false});
    EXPECT_EQ(printer.deviceName(), pdf);
    EXPECT_TRUE(printer.printLine("x"));
    EXPECT_TRUE(printer.endDoc());
    EXPECT_TRUE(dir.exists("own.pdf"));
    EXPECT_FALSE(dir.exists("env.pdf"));
}

TEST_F(QtPrinterTest, LongTextsRunOnToNewPagesAtTheFontsSpacing)
{
    auto pagesFor = [&](int points, int lines) {
        const std::string pdf =
            (dir.path() / ("p" + std::to_string(points) + "_" + std::to_string(lines) + ".pdf")).string();
        QtPrinter printer({pdf, false});
        EXPECT_TRUE(printer.setFontSize(points));
        for (int i = 0; i < lines; ++i) EXPECT_TRUE(printer.printLine("Строка " + std::to_string(i)));
        EXPECT_TRUE(printer.endDoc());
        return pageCount(readHostFile(pdf));
    };
    EXPECT_EQ(pagesFor(10, 20), 1);
    const int small = pagesFor(8, 300);
    const int large = pagesFor(24, 300);
    EXPECT_GE(small, 3);
    EXPECT_GT(large, 2 * small);
}

TEST_F(QtPrinterTest, EachDocumentIsSentOnItsOwn)
{
    const std::string pdf = (dir.path() / "twice.pdf").string();
    QtPrinter printer({pdf, false});
    EXPECT_TRUE(printer.endDoc()); // nothing printed: nothing sent
    EXPECT_FALSE(dir.exists("twice.pdf"));
    EXPECT_TRUE(printer.printLine("первый"));
    EXPECT_TRUE(printer.endDoc());
    const auto first = readHostFile(pdf);
    EXPECT_TRUE(printer.printLine("второй"));
    EXPECT_TRUE(printer.printLine("второй"));
    EXPECT_TRUE(printer.endDoc());
    EXPECT_NE(readHostFile(pdf), first);
}

TEST_F(QtPrinterTest, UnfinishedDocumentIsSentWhenThePrinterGoes)
{
    const std::string pdf = (dir.path() / "late.pdf").string();
    {
        QtPrinter printer({pdf, false});
        EXPECT_TRUE(printer.printLine("без EndDoc"));
    }
    EXPECT_GT(readHostFile(pdf).size(), 500u);
}

TEST_F(QtPrinterTest, BadFontSizeFailsAndChangesNothing)
{
    const std::string pdf = (dir.path() / "size.pdf").string();
    QtPrinter printer({pdf, false});
    EXPECT_FALSE(printer.setFontSize(0));
    EXPECT_FALSE(printer.setFontSize(-3));
    EXPECT_EQ(printer.lastError(), "Недопустимое значение свойства");
    EXPECT_TRUE(printer.printLine("ещё печатает"));
    EXPECT_EQ(printer.lastError(), "Недопустимое значение свойства"); // kept until cleared
    printer.clearError();
    EXPECT_EQ(printer.lastError(), "");
    EXPECT_TRUE(printer.endDoc());
}

TEST_F(QtPrinterTest, UnwritableTargetFailsQuietly)
{
    dir.write("file", "x");
    QtPrinter printer({(dir.path() / "file" / "out.pdf").string(), false});
    EXPECT_FALSE(printer.printLine("x"));
    EXPECT_NE(printer.lastError(), "");
    EXPECT_TRUE(printer.endDoc());
}

TEST_F(QtPrinterTest, WithoutAPrinterEveryCallFails)
{
    const ScopedEnv env("VELMORA_PRINT_TO", QByteArray::fromStdString((dir.path() / "env.pdf").string()));
    QtPrinter printer({"", true});
    const std::string noPrinter = "Принтер по умолчанию не найден";
    EXPECT_EQ(printer.deviceName(), "");
    EXPECT_FALSE(printer.setFontName("Arial Cyr"));
    EXPECT_EQ(printer.lastError(), noPrinter);
    printer.clearError();
    EXPECT_FALSE(printer.setFontSize(12));
    EXPECT_FALSE(printer.setBold(true));
    EXPECT_FALSE(printer.setUnderline(true));
    EXPECT_FALSE(printer.printLine("x"));
    EXPECT_FALSE(printer.endDoc());
    EXPECT_EQ(printer.lastError(), noPrinter);
    EXPECT_FALSE(dir.exists("env.pdf"));
}

TEST_F(QtPrinterTest, SystemDefaultPrinterWhenNothingElseIsSet)
{
    if (!QPrinterInfo::defaultPrinter().isNull())
        GTEST_SKIP() << "this machine has a default printer; not printing on it";
    const ScopedEnv env("VELMORA_PRINT_TO", QByteArray());
    qunsetenv("VELMORA_PRINT_TO");
    QtPrinter printer;
    EXPECT_EQ(printer.deviceName(), "");
    EXPECT_FALSE(printer.printLine("x"));
    EXPECT_EQ(printer.lastError(), "Принтер по умолчанию не найден");
}

// fontconfig keeps its cache for the life of the process, which LeakSanitizer reports as
// lost; every test here that draws text loads it. One definition serves the whole program.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

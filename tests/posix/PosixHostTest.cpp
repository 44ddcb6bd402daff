#include "platform/posix/PosixHost.h"
#include "platform/Utf8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

namespace velmora {
namespace {

using posixhost::needsMapping;
using posixhost::toHostName;
using posixhost::toProgramName;

// Bytes as "\xNN" where they are not printable ASCII, so a failing name can be read.
std::string shown(std::string_view s)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += ch;
        } else {
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 0x0F];
        }
    }
    return out;
}

// True when a Windows name can hold every byte of `name`.
bool windowsCanHold(std::string_view name)
{
    for (const char ch : name)
        if (static_cast<unsigned char>(ch) < 0x20 || std::string_view("\\/:*?\"<>|").find(ch) != std::string_view::npos)
            return false;
    return true;
}

// Checks everything a host name's program form must be: the same name back, nothing a
// Windows name cannot hold, and needsMapping telling the truth.
void expectSound(const std::string& host)
{
    const std::string program = toProgramName(host);
    EXPECT_EQ(toHostName(program), host) << "host " << shown(host) << " program " << shown(program);
    EXPECT_TRUE(windowsCanHold(program)) << "host " << shown(host) << " program " << shown(program);
    EXPECT_EQ(needsMapping(host), program != host) << "host " << shown(host);
}

// Records program names and fails when two different host names share one.
class InjectivityCheck {
public:
    void add(const std::string& host)
    {
        const auto [it, inserted] = m_seen.emplace(toProgramName(host), host);
        if (!inserted) {
            EXPECT_EQ(it->second, host) << "both map to " << shown(it->first);
        }
    }

private:
    std::unordered_map<std::string, std::string> m_seen;
};

TEST(PosixHostNames, CharactersNoWindowsNameCanHoldBecomePrivateUseOnes)
{
    EXPECT_EQ(toProgramName("x\\y.tmp"), "x" + utf8::text(0xF05C) + "y.tmp");
    EXPECT_EQ(toProgramName("a:b?.tmp"), "a" + utf8::text(0xF03A) + "b" + utf8::text(0xF03F) + ".tmp");
    EXPECT_EQ(toProgramName("line\n"), "line" + utf8::text(0xF00A));
    EXPECT_EQ(toProgramName("\x01\x1F"), utf8::text(0xF001) + utf8::text(0xF01F));
    // A literal escape or carried character is escaped; other private-use ones stay.
    EXPECT_EQ(toProgramName(utf8::text(0xF000)), utf8::text(0xF000) + utf8::text(0xF000));
    EXPECT_EQ(toProgramName(utf8::text(0xF05C)), utf8::text(0xF000) + utf8::text(0xF05C));
    EXPECT_EQ(toProgramName(utf8::text(0xF041)), utf8::text(0xF041));
    // Names that need nothing come back as they are.
    for (const char* plain : {"", "a.tmp", "Документы", "~$x.doc", "..", "a b.c d", "\x7F", "%TEMP%"})
        EXPECT_EQ(toProgramName(plain), plain);
    EXPECT_EQ(toHostName("Отчёт.txt"), "Отчёт.txt");
}

TEST(PosixHostNames, EveryByteRoundTripsAloneAndInsideNames)
{
    InjectivityCheck unique;
    for (int b = 1; b < 256; ++b) {
        if (b == '/') continue;
        const std::string c(1, static_cast<char>(b));
        for (const std::string& host :
             {c, "a" + c + "b", c + c, c + "x.tmp", "..." + c, c + "\xEF\x80", "\xEF" + c, "\xEF\x81" + c,
              c + "\x80\x80", utf8::text(0xF000) + c, c + utf8::text(0xF05C)}) {
            expectSound(host);
            unique.add(host);
        }
    }
}

TEST(PosixHostNames, LiteralPrivateUseCharactersRoundTrip)
{
    InjectivityCheck unique;
    for (char32_t cp = 0xF000; cp <= 0xF0FF; ++cp) {
        const std::string p = utf8::text(cp);
        const std::string escape = utf8::text(0xF000);
        for (const std::string& host : {p, "x" + p + "y", p + p, p + "\\", "\\" + p, p + escape, escape + p,
                                        p + "\x01" + p, "\xEF" + p, p + "\x80", utf8::text(cp & 0xFF) + p}) {
            if (host.find('/') != std::string::npos || host.find('\0') != std::string::npos) continue;
            expectSound(host);
            unique.add(host);
        }
        // Paired with the character it would stand for, neither is taken for the other.
        const auto carried = static_cast<char>(cp & 0xFF);
        if (carried != '\0' && carried != '/') {
            EXPECT_NE(toProgramName(p), toProgramName(std::string(1, carried))) << shown(p);
        }
    }
}

TEST(PosixHostNames, InvalidUtf8NextToMappedCharactersRoundTrips)
{
    // Pieces that look like parts of the private-use encoding, and mapped characters.
    const std::vector<std::string> pieces = {"\xEF",
                                             "\xEF\x80",
                                             "\xEF\x81",
                                             "\xEF\x82",
                                             "\x80",
                                             "\x81",
                                             "\xBF",
                                             "\x9C",
                                             "\xC3",
                                             "\xFF",
                                             "\\",
                                             ":",
                                             "?",
                                             "\x01",
                                             "|",
                                             "a",
                                             utf8::text(0xF000),
                                             utf8::text(0xF05C),
                                             utf8::text(0xF03F),
                                             utf8::text(0xF07F),
                                             utf8::text(0xF080)};
    InjectivityCheck unique;
    for (const std::string& a : pieces) {
        for (const std::string& b : pieces) {
            expectSound(a + b);
            unique.add(a + b);
            for (const std::string& c : pieces) {
                expectSound(a + b + c);
                unique.add(a + b + c);
            }
        }
    }
    expectSound("\xEF\x81\\");
    expectSound("\xEF\x80\\\xEF\x80");
}

// Random host names, biased towards the bytes the encoding gives a meaning to.
std::string randomHostName(std::mt19937& random)
{
    static const std::vector<std::string> tokens = {"\xEF",
                                                    "\x80",
                                                    "\x81",
                                                    "\x9C",
                                                    "\xBF",
                                                    "\\",
                                                    ":",
                                                    "\n",
                                                    "?",
                                                    "\"",
                                                    utf8::text(0xF000),
                                                    utf8::text(0xF05C),
                                                    utf8::text(0xF00A),
                                                    "a",
                                                    ".",
                                                    "Я"};
    std::uniform_int_distribution<int> length(0, 12);
    std::uniform_int_distribution<int> kind(0, 2);
    std::uniform_int_distribution<int> byte(1, 255);
    std::uniform_int_distribution<std::size_t> token(0, tokens.size() - 1);
    std::string out;
    for (int n = length(random); n > 0; --n) {
        if (kind(random) == 0) {
            const auto b = static_cast<char>(byte(random));
            out += b == '/' ? 'x' : b;
        } else {
            out += tokens[token(random)];
        }
    }
    return out;
}

TEST(PosixHostNames, RandomNamesRoundTripAndNeverShareAProgramName)
{
    std::mt19937 random(20240607u); // fixed: a failure can be run again
    InjectivityCheck unique;
    for (int i = 0; i < 200000; ++i) {
        const std::string host = randomHostName(random);
        const std::string program = toProgramName(host);
        if (toHostName(program) != host || needsMapping(host) != (program != host) || !windowsCanHold(program)) {
            expectSound(host); // reports the details
            break;
        }
        unique.add(host);
        if (HasFailure()) break;
    }
}

TEST(PosixHostNames, HostPathsTakeTheirDriveFormNameByName)
{
    const std::vector<DriveInfo> drives = {{'c', "/srv/c", true}, {'d', "/srv/c/deeper", true}};
    EXPECT_EQ(posixhost::toDriveForm("/srv/c/a\\b/c:d", drives),
              "C:\\a" + utf8::text(0xF05C) + "b\\c" + utf8::text(0xF03A) + "d");
    EXPECT_EQ(posixhost::toDriveForm("/srv/c/deeper/..\\x", drives), "D:\\.." + utf8::text(0xF05C) + "x");
    EXPECT_FALSE(posixhost::toDriveForm("/srv/cc/x", drives));
    EXPECT_EQ(posixhost::offDriveForm("/elsewhere/a\\b"), "\\\\?\\unix\\elsewhere\\a" + utf8::text(0xF05C) + "b");
}

} // namespace
} // namespace velmora

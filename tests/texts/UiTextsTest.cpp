// The Russian texts of the program's windows, messages and reports, as tests/data/ui-texts.txt
// lists them, are written in the program's sources exactly.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {
namespace {

namespace fs = std::filesystem;

bool identifierChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The string literals of a C++ source with their escapes resolved; literals that only blanks
// or comments separate are joined, as the compiler joins them.
std::vector<std::string> literals(std::string_view src)
{
    std::vector<std::string> out;
    bool joinNext = false; // nothing but blanks and comments since the last literal
    std::size_t i = 0;
    while (i < src.size()) {
        const char c = src[i];
        if (src.substr(i, 2) == "//") {
            i = std::min(src.find('\n', i), src.size());
            continue;
        }
        if (src.substr(i, 2) == "/*") {
            i = std::min(src.find("*/", i + 2), src.size() - 2) + 2;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            ++i;
            continue;
        }
        if (c == '\'') {
            // A digit separator (10'000) is no character literal.
            if (i > 0 && identifierChar(src[i - 1]) && src[i - 1] != 'L' && src[i - 1] != 'u' && src[i - 1] != 'U') {
                ++i;
                continue;
            }
            for (++i; i < src.size() && src[i] != '\''; ++i)
                if (src[i] == '\\') ++i;
            ++i;
            joinNext = false;
            continue;
        }
        if (c != '"') {
            ++i;
            joinNext = false;
            continue;
        }
        std::string text;
        if (i > 0 && src[i - 1] == 'R') { // R"delimiter( ... )delimiter"
            const std::size_t open = src.find('(', i);
            const std::string close = ")" + std::string(src.substr(i + 1, open - i - 1)) + "\"";
            const std::size_t end = src.find(close, open);
            text = src.substr(open + 1, end - open - 1);
            i = end + close.size();
        } else {
            for (++i; i < src.size() && src[i] != '"'; ++i) {
                if (src[i] != '\\') {
                    text += src[i];
                    continue;
                }
                const char e = src[++i];
                switch (e) {
                case 'n':
                    text += '\n';
                    break;
                case 'r':
                    text += '\r';
                    break;
                case 't':
                    text += '\t';
                    break;
                case 'x': {
                    int value = 0;
                    while (i + 1 < src.size() && hexDigit(src[i + 1]) >= 0) value = value * 16 + hexDigit(src[++i]);
                    text += static_cast<char>(value);
                    break;
                }
                default:
                    if (e >= '0' && e <= '7') {
                        int value = e - '0';
                        for (int n = 0; n < 2 && i + 1 < src.size() && src[i + 1] >= '0' && src[i + 1] <= '7'; ++n)
                            value = value * 8 + (src[++i] - '0');
                        text += static_cast<char>(value);
                    } else {
                        text += e; // \\ \" \' \?
                    }
                }
            }
            ++i;
        }
        if (joinNext && !out.empty())
            out.back() += text;
        else
            out.push_back(text);
        joinNext = true;
    }
    return out;
}

// Every literal of the C++ files below `folder`.
std::vector<std::string> literalsBelow(const fs::path& folder)
{
    std::vector<std::string> all;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const auto ext = entry.path().extension();
        if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        for (std::string& s : literals(text.str())) all.push_back(std::move(s));
    }
    return all;
}

// A byte that may belong to a word: an ASCII letter or digit, or any byte of a character
// beyond ASCII (the Cyrillic letters).
bool wordByte(char c) { return identifierChar(c) || static_cast<unsigned char>(c) >= 0x80; }

// True when `text` is a literal or stands in one as a whole: not glued to a letter on either
// side, nor to the "&" of an access key before it, so that "Просмотр отчета" is not taken for
// written because "&Просмотр отчета..." is.
bool written(const std::vector<std::string>& all, std::string_view text)
{
    for (const std::string& literal : all) {
        for (std::size_t at = literal.find(text); at != std::string::npos; at = literal.find(text, at + 1)) {
            const bool freeBefore = at == 0 || (!wordByte(literal[at - 1]) && literal[at - 1] != '&');
            const std::size_t end = at + text.size();
            const bool freeAfter = end == literal.size() || !wordByte(literal[end]);
            if (freeBefore && freeAfter) return true;
        }
    }
    return false;
}

struct Entry {
    int line = 0;
    std::string text;  // the text, or the piece the program joins to a value
    std::string whole; // for a piece: one text built from it, in full
};

std::vector<Entry> readList(const fs::path& file)
{
    std::vector<Entry> entries;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.empty() || line[0] == '#') continue;
        Entry e{number, {}, {}};
        const std::size_t arrow = line.find("\" => \"");
        if (line.size() < 2 || line.front() != '"' || line.back() != '"') {
            ADD_FAILURE() << "line " << number << " is not a quoted text: " << line;
            continue;
        }
        if (arrow == std::string::npos) {
            e.text = line.substr(1, line.size() - 2);
        } else {
            e.text = line.substr(1, arrow - 1);
            e.whole = line.substr(arrow + 6, line.size() - arrow - 7);
        }
        entries.push_back(e);
    }
    return entries;
}

const fs::path Source = VELMORA_SOURCE_DIR;

TEST(UiTexts, EveryTextIsWrittenInTheProgramAndEveryBuiltOneShownWholeByATest)
{
    const std::vector<Entry> entries = readList(Source / "tests" / "data" / "ui-texts.txt");
    ASSERT_GT(entries.size(), 200u);
    const std::vector<std::string> program = literalsBelow(Source / "src");
    const std::vector<std::string> tests = literalsBelow(Source / "tests");
    for (const Entry& e : entries) {
        if (e.whole.empty()) {
            EXPECT_TRUE(written(program, e.text)) << "line " << e.line << ": \"" << e.text << "\" is not in src/";
            continue;
        }
        EXPECT_NE(e.whole.find(e.text), std::string::npos) << "line " << e.line << ": the whole text lacks its piece";
        EXPECT_TRUE(written(tests, e.whole)) << "line " << e.line << ": no test shows \"" << e.whole << "\"";
    }
}

// The check itself: what counts as written.
TEST(UiTexts, LiteralsAreReadAsTheCompilerReadsThem)
{
    const auto found =
        literals("// \"in a comment\"\n"
                 "x = \"Первая \" /* joined */ \"часть\\r\\n\"\n"
                 "    \"и конец\"; y = 'a'; z = '\"'; n = 10'000; p = \"\\\\windows \\\"в кавычках\\\"\";\n"
                 "q = R\"(сырой \\n)\";");
    EXPECT_EQ(found, (std::vector<std::string>{"Первая часть\r\nи конец", "\\windows \"в кавычках\"", "сырой \\n"}));

    const std::vector<std::string> program{"&Просмотр отчета...", "Сканирую ", " файл", "Показать &расширения"};
    EXPECT_FALSE(written(program, "Просмотр отчета")) << "behind an access key's &";
    EXPECT_TRUE(written(program, "Сканирую "));
    EXPECT_TRUE(written(program, "файл"));
    EXPECT_FALSE(written(program, "фай")) << "a part of a word";
    EXPECT_FALSE(written(program, "Показать расширения"));
}

} // namespace
} // namespace velmora

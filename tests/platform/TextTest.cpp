#include "platform/Text.h"
#include "platform/Utf8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using namespace velmora;

namespace {

std::string bytes(std::initializer_list<unsigned char> list) { return std::string(list.begin(), list.end()); }

const std::string kUpperRu = "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ";
const std::string kLowerRu = "абвгдеёжзийклмнопрстуфхцчшщъыьэюя";

} // namespace

TEST(Cp1251, WholeUpperHalfDecodesToItsCharacters)
{
    std::string all;
    for (int b = 0x80; b <= 0xFF; ++b) all += static_cast<char>(b);
    // 0x98 is unassigned in 1251.
    const std::string expected = "ЂЃ‚ѓ„…†‡€‰Љ‹ЊЌЋЏђ‘’“”•–—?™љ›њќћџ\u00A0ЎўЈ¤Ґ¦§Ё©Є«¬\u00AD®Ї°±Ііґµ¶·ё№є»јЅѕї"
                                 "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдежзийклмнопрстуфхцчшщъыьэюя";
    EXPECT_EQ(text::fromCp1251(all), expected);

    std::string back = all;
    back[0x98 - 0x80] = '?';
    EXPECT_EQ(text::toCp1251(expected), back);
}

TEST(Cp1251, RussianAlphabetAndSignsRoundTrip)
{
    const std::string phrase = kUpperRu + " " + kLowerRu + " №5 «ёлка» — “да” – ™";
    const std::string encoded = text::toCp1251(phrase);
    EXPECT_EQ(encoded.size(), text::length(phrase));
    EXPECT_EQ(text::fromCp1251(encoded), phrase);

    EXPECT_EQ(text::toCp1251("Ёё№"), bytes({0xA8, 0xB8, 0xB9}));
    EXPECT_EQ(text::toCp1251("А я"), bytes({0xC0, 0x20, 0xFF}));
    EXPECT_EQ(text::toCp1251("plain ASCII\r\n"), "plain ASCII\r\n");
}

TEST(Cp1251, MissingCharactersAndBadBytesBecomeQuestionMarks)
{
    EXPECT_EQ(text::toCp1251("ü"), "?");      // Latin-1, not in 1251
    EXPECT_EQ(text::toCp1251("a中b"), "a?b"); // three bytes, one '?'
    EXPECT_EQ(text::toCp1251("😀"), "?");      // four bytes, one '?'
    EXPECT_EQ(text::toCp1251(bytes({'a', 0xFF, 'b'})), "a?b");
    EXPECT_EQ(text::toCp1251(bytes({0xD0})), "?");               // cut-off sequence
    EXPECT_EQ(text::toCp1251(bytes({0xC0, 0x80})), "??");        // overlong NUL
    EXPECT_EQ(text::toCp1251(bytes({0xED, 0xA0, 0x80})), "???"); // surrogate
    EXPECT_EQ(text::fromCp1251(std::string("\0x", 2)), std::string("\0x", 2));
}

TEST(TextLength, CountsCharactersNotBytes)
{
    EXPECT_EQ(text::length(""), 0u);
    EXPECT_EQ(text::length("abc"), 3u);
    EXPECT_EQ(text::length("Привет"), 6u);
    EXPECT_EQ(std::string("Привет").size(), 12u);
    EXPECT_EQ(text::length("a€😀"), 3u);
    // Each invalid byte is one character.
    EXPECT_EQ(text::length(bytes({'a', 0xFF, 0xFE, 'b'})), 4u);
    EXPECT_EQ(text::length(bytes({0xD0, 'x'})), 2u);
}

TEST(TextLength, LeftAndMidNeverSplitACharacter)
{
    EXPECT_EQ(text::left("Привет", 3), "При");
    EXPECT_EQ(text::left("Привет", 0), "");
    EXPECT_EQ(text::left("Привет", 100), "Привет");
    EXPECT_EQ(text::left("a😀b", 2), "a😀");
    EXPECT_EQ(text::mid("Привет мир", 7), "мир");
    EXPECT_EQ(text::mid("Привет мир", 2, 3), "иве");
    EXPECT_EQ(text::mid("abc", 5), "");
    EXPECT_EQ(text::mid("abc", 1, 0), "");
    for (std::size_t n = 0; n <= 6; ++n) EXPECT_TRUE(text::isValidUtf8(text::left("ЁжикЁё", n))) << n;
}

TEST(TextLength, InvalidBytesAreKeptAsTheyAre)
{
    const std::string s = bytes({'a', 0xFF, 0xD0, 0x90, 0xC3});
    EXPECT_EQ(text::left(s, 2), bytes({'a', 0xFF}));
    EXPECT_EQ(text::mid(s, 2, 1), bytes({0xD0, 0x90}));
    EXPECT_EQ(text::mid(s, 3), bytes({0xC3}));
}

TEST(TextCase, FoldsLatinAndRussian)
{
    EXPECT_EQ(text::toUpper(kLowerRu), kUpperRu);
    EXPECT_EQ(text::toLower(kUpperRu), kLowerRu);
    EXPECT_EQ(text::toUpper("ёлка Ёж"), "ЁЛКА ЁЖ");
    EXPECT_EQ(text::toLower("ЁЛКА"), "ёлка");
    EXPECT_EQ(text::toUpper("Hello, World! 123_z"), "HELLO, WORLD! 123_Z");
    EXPECT_EQ(text::toLower("Hello, World! 123_Z"), "hello, world! 123_z");
}

TEST(TextCase, FoldsTheOtherCyrillicLettersOf1251)
{
    const std::string upper = "ЂЃЄЅІЇЈЉЊЋЌЎЏҐ";
    const std::string lower = "ђѓєѕіїјљњћќўџґ";
    EXPECT_EQ(text::toUpper(lower), upper);
    EXPECT_EQ(text::toLower(upper), lower);
}

TEST(TextCase, FoldsEveryScriptWithASimpleMapping)
{
    EXPECT_EQ(text::toUpper("äöü ÿ über"), "ÄÖÜ Ÿ ÜBER");
    EXPECT_EQ(text::toUpper("σίσυφος ά"), "ΣΊΣΥΦΟΣ Ά"); // final and medial sigma alike
    EXPECT_EQ(text::toLower("ΣΊΣΥΦΟΣ Ά"), "σίσυφοσ ά"); // no context: Σ lowers to σ
    EXPECT_EQ(text::toUpper("әғқңөұүһі"), "ӘҒҚҢӨҰҮҺІ");
    EXPECT_EQ(text::toLower("ӘҒҚҢӨҰҮҺІ"), "әғқңөұүһі");
    EXPECT_EQ(text::toUpper("աբգ ａｚ"), "ԱԲԳ ＡＺ");
    EXPECT_EQ(text::toUpper("\U00010428\U0001E922"), "\U00010400\U0001E900"); // Deseret, Adlam
    EXPECT_EQ(text::toLower("\U00010400\U0001E900"), "\U00010428\U0001E922");
    // Title-case letters fold with their pair; lowering takes the small letter.
    EXPECT_EQ(text::toUpper("ǅ ǆ ǈ"), "Ǆ Ǆ Ǉ");
    EXPECT_EQ(text::toLower("Ǆ ǅ"), "ǆ ǆ");
    // Letters whose upper case is several characters have no simple mapping, except for a
    // title-case one.
    EXPECT_EQ(text::toUpper("ß ŉ ﬁ ΐ"), "ß ŉ ﬁ ΐ");
    EXPECT_EQ(text::toUpper("ᾳ ᾀ"), "ᾼ ᾈ");
}

TEST(TextCase, MappingsMayChangeTheByteLength)
{
    EXPECT_EQ(text::toUpper("ɐ"), "Ɐ"); // two bytes to three
    EXPECT_EQ(text::toLower("Ɐ"), "ɐ");
    EXPECT_EQ(text::toUpper("ⱥⱦ"), "ȺȾ"); // three bytes to two
    EXPECT_EQ(text::toUpper("ᲀ"), "В"); // a historic form of в
}

TEST(TextCase, WholeWordsAndSingleCharactersAgree)
{
    // ASCII goes eight bytes at a time, other text character by character; the seams
    // between the two must not lose or shift a byte.
    EXPECT_EQ(text::toUpper("abcdefghijk"), "ABCDEFGHIJK");
    EXPECT_EQ(text::toUpper("abcdefghé"), "ABCDEFGHÉ");
    EXPECT_EQ(text::toUpper("abcdefgé"), "ABCDEFGÉ");
    EXPECT_EQ(text::toUpper("abcdefghéabcdefgh"), "ABCDEFGHÉABCDEFGH");
    EXPECT_EQ(text::toUpper("abcdefghijklmnopéabcdefghij"), "ABCDEFGHIJKLMNOPÉABCDEFGHIJ");
    EXPECT_EQ(text::toUpper("ɐabcdefghijklmnopqrs"), "ⱯABCDEFGHIJKLMNOPQRS");
    EXPECT_EQ(text::toUpper("ⱥabcdefghijklmnopqrs"), "ȺABCDEFGHIJKLMNOPQRS");
    EXPECT_EQ(text::toUpper("@[`{abcdefghijklmnopqrstuvwxyz@[`{"), "@[`{ABCDEFGHIJKLMNOPQRSTUVWXYZ@[`{");
}

TEST(TextCase, EveryCharacterFoldsStablyAndLowersToItsOwnFold)
{
    // Through the planes that hold cased letters: one upper case per character, upper case
    // of upper case is itself, and lower case never leaves the character's fold.
    for (char32_t cp = 0; cp < 0x20000; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        const std::string ch = utf8::text(cp);
        const std::string upper = text::toUpper(ch);
        const std::string lower = text::toLower(ch);
        const auto code = static_cast<unsigned>(cp);
        ASSERT_EQ(text::length(upper), 1u) << std::hex << code;
        ASSERT_EQ(text::toUpper(upper), upper) << std::hex << code;
        ASSERT_EQ(text::toUpper(lower), upper) << std::hex << code;
        ASSERT_TRUE(text::equalNoCase(ch, upper)) << std::hex << code;
        ASSERT_TRUE(text::equalNoCase(lower, ch)) << std::hex << code;
        ASSERT_EQ(cp < 0x80, static_cast<unsigned char>(upper[0]) < 0x80) << std::hex << code;
    }
}

TEST(TextCase, FoldingWholeTextAgreesWithComparingItCharacterByCharacter)
{
    // toUpper folds eight ASCII bytes at a time and two-byte characters on a short path;
    // the comparisons fold one character at a time. Mixed text, bad bytes included, must
    // come out the same both ways, with as many characters as it went in.
    const std::vector<std::string> pieces = {"a", "Z", "abcdefgh",   ".",    "ж",    "Ё",    "ɐ",        "Ɐ", "ⱥ", "ς",
                                             "ǅ", "😀", "\U00010428", "\xFF", "\xC9", "\x80", "\xE2\xB1", "ı"};
    std::mt19937 rng(7);
    for (int round = 0; round < 2000; ++round) {
        std::string s;
        for (std::size_t k = rng() % 12; k > 0; --k) s += pieces[rng() % pieces.size()];
        const std::string upper = text::toUpper(s);
        const std::string lower = text::toLower(s);
        ASSERT_TRUE(text::equalNoCase(s, upper)) << s;
        ASSERT_TRUE(text::equalNoCase(lower, s)) << s;
        ASSERT_EQ(text::toUpper(upper), upper) << s;
        ASSERT_EQ(text::toUpper(lower), upper) << s;
        ASSERT_EQ(text::length(upper), text::length(s)) << s;
        ASSERT_EQ(text::compareNoCase(s, upper) == 0, s == upper) << s;
    }
}

TEST(TextCase, NamesSortedByTheirKeyComeInCompareNoCaseOrder)
{
    const std::vector<std::string> pieces = {"a",
                                             "A",
                                             "b",
                                             "_",
                                             "~",
                                             "ж",
                                             "Ж",
                                             "ё",
                                             "Ё",
                                             "ɐ",
                                             "Ɐ",
                                             "ı",
                                             "I",
                                             "😀",
                                             "\xFF",
                                             "\xC9",
                                             "\x80",
                                             "\xE2\xB1",
                                             "\xEF\x80\xBF",
                                             "1",
                                             "."};
    std::mt19937 rng(11);
    std::vector<std::string> names;
    for (int i = 0; i < 3000; ++i) {
        std::string s;
        for (std::size_t k = 1 + rng() % 5; k > 0; --k) s += pieces[rng() % pieces.size()];
        names.push_back(s);
    }
    std::vector<std::string> byCompare = names, byKey = names;
    std::sort(byCompare.begin(), byCompare.end(),
              [](const std::string& a, const std::string& b) { return text::compareNoCase(a, b) < 0; });
    std::sort(byKey.begin(), byKey.end(), [](const std::string& a, const std::string& b) {
        const int c = text::noCaseKey(a).compare(text::noCaseKey(b));
        return c != 0 ? c < 0 : a < b;
    });
    EXPECT_EQ(byKey, byCompare);
}

TEST(TextCase, LeavesEverythingElseAlone)
{
    EXPECT_EQ(text::toUpper("ß № ™ 中 😀 ٣"), "ß № ™ 中 😀 ٣");
    const std::string bad = bytes({0xFF, 'a', 0xD1, 0xD0, 0xB0, 0xD1});
    EXPECT_EQ(text::toUpper(bad), bytes({0xFF, 'A', 0xD1, 0xD0, 0x90, 0xD1}));
    // A lone lead byte must not swallow the next character's fold.
    EXPECT_EQ(text::toUpper(bytes({0xD1, 'a'})), bytes({0xD1, 'A'}));
    EXPECT_EQ(text::toUpper(bytes({0xC9, 0xC9, 0x90})), bytes({0xC9, 0xE2, 0xB1, 0xAF})); // lone lead, ɐ
    EXPECT_EQ(text::toUpper(bytes({0xE2, 0xB1, 'a'})), bytes({0xE2, 0xB1, 'A'}));         // cut-off Ɐ
    EXPECT_EQ(text::toUpper(bytes({0xE2, 0xB1})), bytes({0xE2, 0xB1}));
    EXPECT_EQ(text::toUpper(bytes({0xC0, 0xE1})), bytes({0xC0, 0xE1})); // overlong á stays
    EXPECT_EQ(text::toLower(bytes({0xED, 0xA0, 0x80, 'A'})), bytes({0xED, 0xA0, 0x80, 'a'}));
}

TEST(TextValidity, RecognisesValidUtf8)
{
    EXPECT_TRUE(text::isValidUtf8(""));
    EXPECT_TRUE(text::isValidUtf8("Привет, €, 😀"));
    EXPECT_FALSE(text::isValidUtf8(bytes({0x80})));
    EXPECT_FALSE(text::isValidUtf8(bytes({0xC1, 0xBF})));             // overlong
    EXPECT_FALSE(text::isValidUtf8(bytes({0xE0, 0x80, 0x80})));       // overlong
    EXPECT_FALSE(text::isValidUtf8(bytes({0xF4, 0x90, 0x80, 0x80}))); // beyond U+10FFFF
    EXPECT_FALSE(text::isValidUtf8(bytes({0xE2, 0x82})));             // cut off
    EXPECT_FALSE(text::isValidUtf8(text::toCp1251("Привет")));
    EXPECT_EQ(text::toValidUtf8("Я" + bytes({0xD0, 'x', 0xED, 0xA0, 0x80}) + "😀"), "Я?x???😀");
}

TEST(TextCompare, OrdersLikeADirectory)
{
    EXPECT_EQ(text::compareNoCase("abc", "abc"), 0);
    EXPECT_LT(text::compareNoCase("a", "b"), 0);
    EXPECT_LT(text::compareNoCase("a", "B"), 0); // case-blind, not ASCII order
    EXPECT_GT(text::compareNoCase("b", "A"), 0);
    EXPECT_LT(text::compareNoCase("ab", "abc"), 0);
    EXPECT_GT(text::compareNoCase("_", "a"), 0); // 'a' sorts as 'A', before '_'
    EXPECT_LT(text::compareNoCase("Z", "а"), 0); // Latin before Cyrillic
    EXPECT_LT(text::compareNoCase("ё", "а"), 0); // Ё is U+0401, before А
    EXPECT_GT(text::compareNoCase("я", "Ђ"), 0); // Ђ is U+0402, before Я
}

TEST(TextCompare, BreaksTiesBytewiseSoTheOrderIsTotal)
{
    EXPECT_NE(text::compareNoCase("abc", "ABC"), 0);
    EXPECT_EQ(text::compareNoCase("abc", "ABC"), -text::compareNoCase("ABC", "abc"));
    EXPECT_GT(text::compareNoCase("abc", "ABC"), 0);
    EXPECT_NE(text::compareNoCase("ёж", "ЁЖ"), 0);
    // Case-equal names still sort by their upper-case form first.
    EXPECT_LT(text::compareNoCase("abc", "ABD"), 0);
}

TEST(TextCompare, EqualNoCase)
{
    EXPECT_TRUE(text::equalNoCase("Readme.TXT", "README.txt"));
    EXPECT_TRUE(text::equalNoCase("Мои Документы", "МОИ документы"));
    EXPECT_TRUE(text::equalNoCase("ёЁ", "Ёё"));
    EXPECT_FALSE(text::equalNoCase("е", "ё"));
    EXPECT_FALSE(text::equalNoCase("ab", "abc"));
    EXPECT_TRUE(text::equalNoCase(bytes({0xFF, 'a'}), bytes({0xFF, 'A'})));
}

TEST(TextCompare, EqualNoCaseInEveryScript)
{
    EXPECT_TRUE(text::equalNoCase("über.txt", "ÜBER.TXT"));
    EXPECT_TRUE(text::equalNoCase("Σίσυφος", "ΣΊΣΥΦΟΣ"));
    EXPECT_TRUE(text::equalNoCase("οδός", "οδόσ"));  // final and medial sigma
    EXPECT_FALSE(text::equalNoCase("οδος", "οδός")); // the accent is not case
    EXPECT_TRUE(text::equalNoCase("Әліппе", "ӘЛІППЕ"));
    EXPECT_TRUE(text::equalNoCase("ғқңөұүһ", "ҒҚҢӨҰҮҺ"));
    EXPECT_TRUE(text::equalNoCase("ǅ", "ǆ"));
    EXPECT_TRUE(text::equalNoCase("\U00010428", "\U00010400"));
    // The two sides differ in byte length.
    EXPECT_TRUE(text::equalNoCase("xɐ", "XⱯ"));
    EXPECT_TRUE(text::equalNoCase("ⱯⱯⱯ", "ɐɐɐ"));
    EXPECT_FALSE(text::equalNoCase("ɐ", "ⱯⱯ"));
    EXPECT_FALSE(text::equalNoCase("ɐɐ", "Ɐ"));
}

TEST(TextCompare, NonAsciiLettersAreNotTheirAsciiLookAlikes)
{
    // Dotless ı and long ſ upper-case to I and S in Unicode; names do not fold that way.
    EXPECT_EQ(text::toUpper("ı ſ i s"), "ı ſ I S");
    EXPECT_EQ(text::toLower("İ \u212A \u2126"), "İ \u212A \u2126"); // İ, Kelvin, Ohm
    EXPECT_FALSE(text::equalNoCase("ı", "I"));
    EXPECT_FALSE(text::equalNoCase("ı", "i"));
    EXPECT_FALSE(text::equalNoCase("ſ", "S"));
    EXPECT_FALSE(text::equalNoCase("ſ", "s"));
    EXPECT_FALSE(text::equalNoCase("İ", "i"));
    EXPECT_FALSE(text::equalNoCase("\u212A", "k")); // Kelvin sign
    EXPECT_FALSE(text::equalNoCase("config.ſys", "CONFIG.SYS"));
}

TEST(TextCompare, InvalidBytesCompareAsThemselves)
{
    EXPECT_TRUE(text::equalNoCase(bytes({0xC3}), bytes({0xC3})));
    EXPECT_TRUE(text::equalNoCase(bytes({0xC3, 0xA4}), bytes({0xC3, 0x84}))); // ä, Ä
    EXPECT_FALSE(text::equalNoCase(bytes({0xC3}), bytes({0xC3, 0x84})));
    EXPECT_FALSE(text::equalNoCase(bytes({0xC3, 0x84}), bytes({0xC3})));
    EXPECT_FALSE(text::equalNoCase(bytes({0xE2, 0xB1}), "ɐ")); // a cut-off Ɐ is not one
    EXPECT_TRUE(text::equalNoCase(bytes({0xE2, 0xB1, 'a'}), bytes({0xE2, 0xB1, 'A'})));
    EXPECT_LT(text::compareNoCase(bytes({0xE2, 0xB1}), "Ɐ"), 0);
    EXPECT_GT(text::compareNoCase("Ɐ", bytes({0xE2, 0xB1})), 0);
    EXPECT_GT(text::compareNoCase(bytes({0xFF}), "😀"), 0); // 0xFF sorts after every lead byte
}

TEST(TextCompare, OrderIsTotalAndKeepsCaseEqualNamesTogether)
{
    const std::vector<std::string> names = {
        "a", "A",  "b",  "ab",         "AB",         "ä",           "Ä",           "z",
        "_", "ё",  "Ё",  "я",          "σ",          "ς",           "Σ",           "ɐ",
        "Ɐ", "ɐb", "ⱯB", "ı",          "I",          "i",           "ſ",           "S",
        "ǅ", "Ǆ",  "ǆ",  "\U00010428", "\U00010400", bytes({0xC3}), bytes({0xFF}), bytes({0xE2, 0xB1}),
        "",
    };
    for (const std::string& a : names) {
        for (const std::string& b : names) {
            const int ab = text::compareNoCase(a, b);
            EXPECT_EQ(ab, -text::compareNoCase(b, a)) << a << " | " << b;
            EXPECT_EQ(ab == 0, a == b) << a << " | " << b;
            for (const std::string& c : names) {
                if (ab >= 0 || text::compareNoCase(b, c) >= 0) continue;
                EXPECT_LT(text::compareNoCase(a, c), 0) << a << " | " << b << " | " << c;
                // Nothing sorts between two names that differ only in case.
                if (text::equalNoCase(a, c)) {
                    EXPECT_TRUE(text::equalNoCase(a, b)) << a << " | " << b << " | " << c;
                }
            }
        }
    }
}

TEST(TextCompare, OrdersByUpperCaseCodePoints)
{
    EXPECT_GT(text::compareNoCase("ä", "z"), 0); // Ä is U+00C4, after Z
    EXPECT_LT(text::compareNoCase("ω", "я"), 0); // Ω U+03A9 before Я U+042F
    EXPECT_GT(text::compareNoCase("ɐ", "ж"), 0); // Ɐ is U+2C6F, after Ж
    EXPECT_LT(text::compareNoCase("ɐ", "Ɐ"), 0); // equal fold: bytes decide (0xC9 < 0xE2)
    EXPECT_GT(text::compareNoCase("ı", "j"), 0); // ı stays U+0131, after J
}

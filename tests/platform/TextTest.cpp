#include "platform/Text.h"

#include <gtest/gtest.h>

#include <string>

using namespace velmora;

namespace {

std::string bytes(std::initializer_list<unsigned char> list)
{
    return std::string(list.begin(), list.end());
}

const std::string kUpperRu = "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ";
const std::string kLowerRu = "абвгдеёжзийклмнопрстуфхцчшщъыьэюя";

} // namespace

TEST(Cp1251, WholeUpperHalfDecodesToItsCharacters)
{
    std::string all;
    for (int b = 0x80; b <= 0xFF; ++b)
        all += static_cast<char>(b);
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
    EXPECT_EQ(text::toCp1251("ü"), "?");          // Latin-1, not in 1251
    EXPECT_EQ(text::toCp1251("a中b"), "a?b");      // three bytes, one '?'
    EXPECT_EQ(text::toCp1251("😀"), "?");          // four bytes, one '?'
    EXPECT_EQ(text::toCp1251(bytes({'a', 0xFF, 'b'})), "a?b");
    EXPECT_EQ(text::toCp1251(bytes({0xD0})), "?"); // cut-off sequence
    EXPECT_EQ(text::toCp1251(bytes({0xC0, 0x80})), "??"); // overlong NUL
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
    for (std::size_t n = 0; n <= 6; ++n)
        EXPECT_TRUE(text::isValidUtf8(text::left("ЁжикЁё", n))) << n;
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

TEST(TextCase, LeavesEverythingElseAlone)
{
    EXPECT_EQ(text::toUpper("äöü ß ω № ™ 中 😀"), "äöü ß ω № ™ 中 😀");
    const std::string bad = bytes({0xFF, 'a', 0xD1, 0xD0, 0xB0, 0xD1});
    EXPECT_EQ(text::toUpper(bad), bytes({0xFF, 'A', 0xD1, 0xD0, 0x90, 0xD1}));
    // A lone lead byte must not swallow the next character's fold.
    EXPECT_EQ(text::toUpper(bytes({0xD1, 'a'})), bytes({0xD1, 'A'}));
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
}

TEST(TextCompare, OrdersLikeADirectory)
{
    EXPECT_EQ(text::compareNoCase("abc", "abc"), 0);
    EXPECT_LT(text::compareNoCase("a", "b"), 0);
    EXPECT_LT(text::compareNoCase("a", "B"), 0);   // case-blind, not ASCII order
    EXPECT_GT(text::compareNoCase("b", "A"), 0);
    EXPECT_LT(text::compareNoCase("ab", "abc"), 0);
    EXPECT_GT(text::compareNoCase("_", "a"), 0);   // 'a' sorts as 'A', before '_'
    EXPECT_LT(text::compareNoCase("Z", "а"), 0);   // Latin before Cyrillic
    EXPECT_LT(text::compareNoCase("ё", "а"), 0);   // Ё is U+0401, before А
    EXPECT_GT(text::compareNoCase("я", "Ђ"), 0);   // Ђ is U+0402, before Я
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

#include "platform/Wildcard.h"

#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <string>
#include <string_view>
#include <vector>

using velmora::MaskList;
using velmora::matchMask;

namespace {

const char* const kJunkMasks = "*.tmp;*.tm_;*._mp;*.000;*.00;*.!!!;*.DIZ;mscreate.dir;*.gid;*.fts;*.mfd;*.wps;"
                               "*.chk;*.bak;*.err;*.@@@;*.BK!;*.BBS;*.$$$;alexa.tmp";

// Every case is checked through a compiled list and through the single-mask entry.
void expectMatch(const std::string& mask, const std::string& name, bool expected)
{
    EXPECT_EQ(MaskList(mask).matches(name), expected) << "list \"" << mask << "\" vs \"" << name << '"';
    EXPECT_EQ(matchMask(mask, name), expected) << "mask \"" << mask << "\" vs \"" << name << '"';
}

} // namespace

TEST(Wildcard, ExtensionMasks)
{
    expectMatch("*.tmp", "A.TMP", true);
    expectMatch("*.tmp", "a.tmp", true);
    expectMatch("*.tmp", ".tmp", true);
    expectMatch("*.tmp", "a.b.tmp", true);
    expectMatch("*.tmp", "a.tmp.bak", false);
    expectMatch("*.tmp", "tmp", false);
    expectMatch("*.tmp", "a.tmpx", false);
    expectMatch("*.tmp", "atmp", false);
    expectMatch("*.00", "x.000", false);
    expectMatch("*.000", "x.00", false);
    expectMatch("*.00", "x.00", true);
    expectMatch("*.$$$", "setup.$$$", true);
    expectMatch("*.BK!", "doc.bk!", true);
    expectMatch("*.tar.gz", "a.TAR.GZ", true);
    expectMatch("*.tar.gz", "a.gz", false);
}

TEST(Wildcard, PlainNamesNameOneFile)
{
    expectMatch("mscreate.dir", "MSCREATE.DIR", true);
    expectMatch("mscreate.dir", "xmscreate.dir", false);
    expectMatch("mscreate.dir", "mscreate.dir.old", false);
    expectMatch("alexa.tmp", "ALEXA.TMP", true);
}

TEST(Wildcard, StarsAndQuestionMarks)
{
    expectMatch("*", "", true);
    expectMatch("*", "anything.at.all", true);
    expectMatch("a*b", "ab", true);
    expectMatch("a*b", "a.x.b", true);
    expectMatch("a*b", "a.x.bc", false);
    expectMatch("~*", "~WRL0001.tmp", true);
    expectMatch("*~*~*", "a~b~c", true);
    expectMatch("*~*~*", "a~bc", false);
    expectMatch("?", "", false);
    expectMatch("?", "a", true);
    expectMatch("?", "ab", false);
    expectMatch("???.txt", "abc.txt", true);
    expectMatch("???.txt", "ab.txt", false);
    expectMatch("*?.log", ".log", false);
    expectMatch("*?.log", "a.log", true);
}

TEST(Wildcard, QuestionMarkIsOneCharacterNotOneByte)
{
    expectMatch("?", "Ж", true);
    expectMatch("??", "Ж", false);
    expectMatch("?.txt", "я.txt", true);
    expectMatch("a?c", "a😀c", true);
    expectMatch("*?", "Ж", true);
    expectMatch("*??", "Ж", false);
    expectMatch("*???", "ЖЖ", false);
    // A byte that is not UTF-8 is a character of its own.
    expectMatch("?", "\xFF", true);
    expectMatch("a?b",
                "a\xFF\xFE"
                "b",
                false);
    expectMatch("a??b",
                "a\xFF\xFE"
                "b",
                true);
}

TEST(Wildcard, CaseBlindForLatinAndCyrillic)
{
    expectMatch("*.ДОК", "отчёт.док", true);
    expectMatch("ёлка*", "ЁЛКА.txt", true);
    expectMatch("Ёлка.txt", "ёлка.TXT", true);
    expectMatch("*.док", "отчёт.дол", false);
    expectMatch("е*", "ёж", false); // Е and Ё are different letters
}

TEST(Wildcard, CaseBlindForEveryLetterWithASimpleMapping)
{
    expectMatch("über*", "ÜBER2.tmp", true);
    expectMatch("*.ÄÖÜ", "x.äöü", true);
    expectMatch("σίσυφος.*", "ΣΊΣΥΦΟΣ.TXT", true);
    expectMatch("ΟΔΌΣ.txt", "οδός.txt", true); // final sigma
    expectMatch("*ς", "ΟΔΟΣ", true);
    expectMatch("*σ", "οδοσ.", false);
    expectMatch("әліппе*", "ӘЛІППЕ.doc", true);
    expectMatch("*.ӘҒҚ", "x.әғқ", true);
    expectMatch("Ңөұүһ.txt", "ңӨҰҮҺ.TXT", true);
    expectMatch("ǅ?", "ǆa", true);
    expectMatch("*.\U00010400", "a.\U00010428", true);
}

TEST(Wildcard, NonAsciiLettersAreNotTheirAsciiLookAlikes)
{
    expectMatch("*.ı", "x.I", false);
    expectMatch("*.i", "x.ı", false);
    expectMatch("ſ*", "S.txt", false);
    expectMatch("config.sys", "CONFIG.ſYS", false);
    expectMatch("?.sys", "ı.SYS", true);
}

TEST(Wildcard, MappingsThatChangeTheByteLength)
{
    // ɐ is two bytes, its upper case Ɐ three; ⱥ is three, Ⱥ two.
    expectMatch("?", "ɐ", true);
    expectMatch("??", "ɐ", false);
    expectMatch("ɐ?", "Ɐx", true);
    expectMatch("a?c", "AⱯC", true);
    expectMatch("*ɐ", "xxⱯ", true);
    expectMatch("??", "ⱥⱦ", true);
    expectMatch("???", "ⱥⱦ", false);
    expectMatch("*.ɐɐ", "f.ⱯⱯ", true); // looked up by extension
    expectMatch("*.ɐɐ", "f.Ɐ", false);
    expectMatch("ɐ.txt", "Ɐ.TXT", true); // looked up by name
    expectMatch("ɐ.txt", "ⱯⱯ.TXT", false);
    expectMatch("CHKLIST.*", "chklistⱥ", false);
    expectMatch("ⱥ.*", "Ⱥ", true);
}

TEST(Wildcard, MixedNamesMatchTheirOtherCaseAndTheirLength)
{
    // A name matches itself in its other case, "?" once per character and a star around
    // any of its pieces, however its folded form shifts against the name. No piece starts
    // with a continuation byte, so the stray lead byte 0xC9 stays a character of its own.
    const std::vector<std::string> upper = {"A", "ABCDEFGH", ".", "Ж", "Ɐ", "Ⱥ", "Σ", "\U00010400", "\xFF", "\xC9"};
    const std::vector<std::string> lower = {"a", "abcdefgh", ".", "ж", "ɐ", "ⱥ", "ς", "\U00010428", "\xFF", "\xC9"};
    std::mt19937 rng(11);
    for (int round = 0; round < 500; ++round) {
        std::string name, mask, anyChars, starred;
        std::size_t chars = 0;
        const std::size_t count = 1 + rng() % 10, starAt = rng() % count;
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t p = rng() % upper.size();
            const bool up = rng() % 2 == 0;
            name += up ? upper[p] : lower[p];
            mask += up ? lower[p] : upper[p];
            chars += upper[p] == "ABCDEFGH" ? 8 : 1;
            if (k == starAt) starred = "*" + mask.substr(mask.size() - (up ? lower[p] : upper[p]).size()) + "*";
        }
        anyChars.assign(chars, '?');
        ASSERT_TRUE(MaskList(mask).matches(name)) << mask << " | " << name;
        ASSERT_TRUE(matchMask(mask, name)) << mask << " | " << name;
        ASSERT_TRUE(matchMask(anyChars, name)) << anyChars << " | " << name;
        ASSERT_FALSE(matchMask(anyChars + "?", name)) << anyChars << " | " << name;
        ASSERT_TRUE(matchMask(starred, name)) << starred << " | " << name;
    }
}

TEST(Wildcard, LongNamesFoldWordByWord)
{
    expectMatch("ABCDEFGHIJKLMNOPQRSTUVWXYZ.TXT", "abcdefghijklmnopqrstuvwxyz.txt", true);
    // The characters either side of the letters must stay as they are.
    expectMatch("@@@@@@@@.x", "````````.x", false);
    expectMatch("[[[[[[[[.x", "{{{{{{{{.x", false);
    expectMatch("````````.x", "````````.X", true);
    // A Cyrillic letter straddling an eight-byte boundary.
    expectMatch("ABCDEFGЖZ.TXT", "abcdefgжz.txt", true);
    expectMatch("ABCDEFGHЖЯЁZZZZZZ", "abcdefghжяёzzzzzz", true);
    expectMatch("*.ЁЁЁЁЁЁЁЁЁ", "x.ёёёёёёёёё", true);
    // Words of ASCII after a character whose upper case is longer or shorter.
    expectMatch("ⱯABCDEFGHIJKLMNOP.TXT", "ɐabcdefghijklmnop.txt", true);
    expectMatch("ȺABCDEFGHIJKLMNOP.TXT", "ⱥabcdefghijklmnop.txt", true);
    expectMatch("ABCDEFGHIJ", "abcdefghiJ", true);
    expectMatch("ABCDEFGHIJ", "abcdefghik", false);
    expectMatch("ABCDEFGHÉ", "abcdefghé", true);
    expectMatch("ABCDEFGHÉABCDEFGH", "abcdefghéabcdefgh", true);
}

TEST(Wildcard, StarExtensionAlsoMatchesNamesWithoutADot)
{
    expectMatch("*.*", "noext", true);
    expectMatch("*.*", "a.b", true);
    expectMatch("*.*", "", true);
    expectMatch("CHKLIST.*", "CHKLIST", true);
    expectMatch("CHKLIST.*", "chklist.ms", true);
    expectMatch("CHKLIST.***", "CHKLIST", true);
    expectMatch("CHKLIST.***", "CHKLIST.MS", true);
    expectMatch("CHKLIST.*", "CHKLISTS", false);
    expectMatch("CHKLIST.*", "X.CHKLIST", false);
    expectMatch("a*.*", "abc", true);
    expectMatch("a*.*", "bc", false);
    expectMatch("*.", "noext", true);
    expectMatch("*.", "a.b", false);
    expectMatch("readme.", "README", true);
    // Only a dotless name takes the short form.
    expectMatch("a.b.*", "a.b.c", true);
    expectMatch("a.b.*", "a.b", false);
    expectMatch("a.b.*", "a", false);
    expectMatch("*.t*", "noext", false);
    // Nothing before the dot: only names that begin with one.
    expectMatch(".*", ".profile", true);
    expectMatch(".*", "a.tmp", false);
    expectMatch(".*", "README", false);
    expectMatch(".**", "a.b", false);
    expectMatch(".", "a", false);
}

// The rules written out plainly, for names and masks of ASCII letters, dots and wildcards.
bool byTheRules(std::string mask, std::string name)
{
    for (std::string* s : {&mask, &name})
        for (char& c : *s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const auto glob = [](auto&& self, std::string_view m, std::string_view n) -> bool {
        if (m.empty()) return n.empty();
        if (m[0] == '*') return self(self, m.substr(1), n) || (!n.empty() && self(self, m, n.substr(1)));
        return !n.empty() && (m[0] == '?' || m[0] == n[0]) && self(self, m.substr(1), n.substr(1));
    };
    if (glob(glob, mask, name)) return true;
    const std::size_t dot = mask.rfind('.');
    const bool dotless = dot != std::string::npos && dot > 0 &&
                         mask.find_first_not_of('*', dot + 1) == std::string::npos &&
                         name.find('.') == std::string::npos;
    return dotless && glob(glob, mask.substr(0, dot), name);
}

// Every word of up to `length` characters from `alphabet`, the empty one first.
std::vector<std::string> words(std::string_view alphabet, std::size_t length)
{
    std::vector<std::string> all{""};
    for (std::size_t from = 0; all.back().size() < length;) {
        const std::size_t to = all.size();
        for (std::size_t i = from; i < to; ++i)
            for (char c : alphabet) all.push_back(all[i] + c);
        from = to;
    }
    return all;
}

TEST(Wildcard, EveryShortMaskAndListAnswersAsTheRulesSay)
{
    const auto names = words("aB.", 5);
    const auto masks = words("Ab.*?", 4);
    for (const std::string& mask : masks) {
        const MaskList list(mask);
        for (const std::string& name : names) {
            const bool expected = !mask.empty() && byTheRules(mask, name);
            ASSERT_EQ(list.matches(name), expected) << "\"" << mask << "\" vs \"" << name << '"';
            ASSERT_EQ(matchMask(mask, name), expected) << "\"" << mask << "\" vs \"" << name << '"';
        }
    }
    // Two masks together take what either takes: a shortcut of one never hides the other.
    const auto shortMasks = words("a.*?", 3);
    std::vector<std::vector<bool>> takes(shortMasks.size());
    for (std::size_t m = 0; m < shortMasks.size(); ++m)
        for (const std::string& name : names)
            takes[m].push_back(!shortMasks[m].empty() && byTheRules(shortMasks[m], name));
    for (std::size_t a = 0; a < shortMasks.size(); ++a) {
        for (std::size_t b = 0; b < shortMasks.size(); ++b) {
            const MaskList list(shortMasks[a] + ";" + shortMasks[b]);
            for (std::size_t n = 0; n < names.size(); ++n)
                ASSERT_EQ(list.matches(names[n]), takes[a][n] || takes[b][n])
                    << shortMasks[a] << ";" << shortMasks[b] << " vs \"" << names[n] << '"';
        }
    }
}

TEST(Wildcard, BracketsAreOrdinaryCharacters)
{
    expectMatch("*@*[*].txt", "user@site[1].txt", true);
    expectMatch("*@*[*].txt", "user@site1.txt", false);
    expectMatch("[1].txt", "[1].txt", true);
    expectMatch("[1].txt", "1.txt", false);
    expectMatch("[a-z]*", "b.txt", false);
}

TEST(Wildcard, NamesThatAreNotUtf8)
{
    const std::string name = "\xCF\xF0\xE8\xE2\xE5\xF2.tmp"; // a 1251 name on a UTF-8 disk
    expectMatch("*.tmp", name, true);
    expectMatch("*.TMP", name, true);
    expectMatch("\xCF*", name, true);
    expectMatch("??????.tmp", name, true);
    expectMatch("*.bak", name, false);
    expectMatch("*.tmp", "\xD0", false);
    // Cut-off and stray bytes beside letters that fold to another length.
    expectMatch("?", "\xC9", true);
    expectMatch("ɐ*", "\xC9\x90\xFF", true);
    expectMatch("?", "\xE2\xB1", false);
    expectMatch("??", "\xE2\xB1", true);
    expectMatch("Ɐ", "\xE2\xB1", false);
    expectMatch("*ɐ", "\xE2\xB1\xC9\x90", true);
    expectMatch("*.ɐ", "x.\xC9", false);
}

TEST(Wildcard, BacktrackingStaysCheap)
{
    const std::string name(2000, 'a');
    expectMatch("*a*a*a*a*a*a*a*a*a*a*b", name, false);
    expectMatch("*a*a*a*a*a*a*a*a*a*a*", name, true);
    expectMatch(std::string(300, '*') + "b", name + "b", true);
}

TEST(MaskListTest, ListOfMasks)
{
    const MaskList junk(kJunkMasks);
    EXPECT_FALSE(junk.empty());
    EXPECT_EQ(junk.text(), kJunkMasks);
    for (const char* name :
         {"a.tmp", "FILE.TM_", "x._mp", "x.000", "x.00", "Readme.diz", "MSCREATE.DIR", "a.gid", "a.FTS", "a.mfd",
          "a.wps", "FILE0001.CHK", "a.bak", "a.err", "a.@@@", "a.bk!", "a.bbs", "a.$$$", "Alexa.tmp"})
        EXPECT_TRUE(junk.matches(name)) << name;
    for (const char* name : {"a.txt", "tmp", "a.tmp.txt", "a.0000", "a.0", "mscreate", "a.bk", "bak", ""})
        EXPECT_FALSE(junk.matches(name)) << name;
}

TEST(MaskListTest, SeparatorsAndBlanks)
{
    const MaskList list(";;*.bak; ;  *.old ;;");
    EXPECT_TRUE(list.matches("a.bak"));
    EXPECT_TRUE(list.matches("a.old"));
    EXPECT_FALSE(list.matches("a.txt"));
    EXPECT_FALSE(list.matches(""));
    // Matching twice over two masks is still one match.
    const MaskList twice("*.bak;A.BAK;a.*;*.bak");
    EXPECT_TRUE(twice.matches("a.bak"));
    EXPECT_FALSE(twice.matches("b.txt"));
}

TEST(MaskListTest, EmptyListMatchesNothing)
{
    for (const MaskList& list : {MaskList(), MaskList(""), MaskList(";;"), MaskList(" ; ")}) {
        EXPECT_TRUE(list.empty());
        EXPECT_FALSE(list.matches("a.txt"));
        EXPECT_FALSE(list.matches(""));
    }
    EXPECT_FALSE(matchMask("", "a"));
    EXPECT_FALSE(matchMask("", ""));
}

TEST(MaskListTest, CopiesAndMovesKeepTheMasks)
{
    MaskList a("*.bak;x?.tmp;CHKLIST.*");
    MaskList b(a);
    MaskList c;
    c = a;
    MaskList d(std::move(a));
    for (const MaskList* m : {&b, &c, &d}) {
        EXPECT_TRUE(m->matches("x.bak"));
        EXPECT_TRUE(m->matches("xy.tmp"));
        EXPECT_TRUE(m->matches("chklist"));
        EXPECT_FALSE(m->matches("x.tmp"));
        EXPECT_EQ(m->text(), "*.bak;x?.tmp;CHKLIST.*");
    }
    c = MaskList("*.txt");
    EXPECT_TRUE(c.matches("a.txt"));
    EXPECT_FALSE(c.matches("a.bak"));
    EXPECT_TRUE(b.matches("a.bak"));
    // A moved-from list is left empty but usable.
    EXPECT_FALSE(a.matches("x.bak")); // NOLINT(bugprone-use-after-move)
    a = b;
    EXPECT_TRUE(a.matches("x.bak"));
}

TEST(MaskListTest, LongNamesAreMatchedWhole)
{
    std::string longName;
    for (int i = 0; i < 3000; ++i) longName += "Ж";
    longName += ".tmp";
    EXPECT_TRUE(MaskList("*.TMP").matches(longName));
    EXPECT_TRUE(MaskList("ж*.tmp").matches(longName));
    EXPECT_FALSE(MaskList("*.bak").matches(longName));

    // Fits the matcher's own buffer only before it is folded.
    std::string growing, grown;
    for (int i = 0; i < 200; ++i) {
        growing += "ɐ";
        grown += "Ɐ";
    }
    growing += ".tmp";
    grown += ".TMP";
    expectMatch("*.TMP", growing, true);
    expectMatch("ⱯⱯ*ɐ.tmp", growing, true);
    expectMatch(grown, growing, true);
    expectMatch(growing, grown, true);
    expectMatch(growing, growing + "x", false);
}

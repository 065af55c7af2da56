#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "core/cp1252.h"
#include "core/morse.h"

namespace kb {
namespace {

struct Pair {
    unsigned char byte;
    char32_t cp;
};

void PrintTo(const Pair& p, std::ostream* os) {
    *os << "byte " << int(p.byte);
}

class Cp1252Pair : public testing::TestWithParam<Pair> {};

TEST_P(Cp1252Pair, ConvertsBothWays) {
    EXPECT_EQ(cp1252ToUnicode(GetParam().byte), GetParam().cp);
    EXPECT_EQ(unicodeToCp1252(GetParam().cp), GetParam().byte);
}

INSTANTIATE_TEST_SUITE_P(CodePage, Cp1252Pair,
                         testing::Values(Pair{'A', U'A'}, Pair{0x00, 0x0000}, Pair{0x7F, 0x007F},
                                         Pair{0x80, 0x20AC},  // euro sign
                                         Pair{0x82, 0x201A}, Pair{0x8A, 0x0160}, Pair{0x8C, 0x0152},
                                         Pair{0x8E, 0x017D}, Pair{0x92, 0x2019}, Pair{0x96, 0x2013},
                                         Pair{0x99, 0x2122}, Pair{0x9C, 0x0153}, Pair{0x9F, 0x0178},
                                         Pair{0xA0, 0x00A0}, Pair{0xC9, 0x00C9}, Pair{0xE9, 0x00E9},
                                         Pair{0xFF, 0x00FF}));

TEST(Cp1252, EveryByteSurvivesTheWayToUnicodeAndBack) {
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<unsigned char>(b);
        EXPECT_EQ(unicodeToCp1252(cp1252ToUnicode(byte)), byte) << b;
    }
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(all)), all);
}

TEST(Cp1252, CharacterWithoutAWindows1252FormBecomesACodeLessByteNotAQuestionMark) {
    const MorseTable morse;
    for (char32_t cp : {char32_t{0x4E2D}, char32_t{0x0101}, char32_t{0x1F600}, char32_t{0x20AD},
                        char32_t{0x0080}}) {
        const unsigned char b = unicodeToCp1252(cp);
        EXPECT_NE(b, '?') << std::hex << static_cast<unsigned>(cp);
        EXPECT_FALSE(morse.hasCode(b)) << std::hex << static_cast<unsigned>(cp);
    }
    const std::string s = utf8ToCp1252("\xE4\xB8\xAD\xF0\x9F\x98\x80");  // two characters
    ASSERT_EQ(s.size(), 2u);
    EXPECT_FALSE(morse.hasCode(static_cast<unsigned char>(s[0])));
    EXPECT_FALSE(morse.hasCode(static_cast<unsigned char>(s[1])));
}

TEST(Cp1252, Utf8TextConvertsCharacterByCharacter) {
    EXPECT_EQ(utf8ToCp1252("caf\xC3\xA9 \xE2\x82\xAC 5"), "caf\xE9 \x80 5");
    EXPECT_EQ(cp1252ToUtf8("caf\xE9 \x80 \x9C"), "caf\xC3\xA9 \xE2\x82\xAC \xC5\x93");
    // A malformed byte becomes one code-less byte and the text goes on.
    const std::string s = utf8ToCp1252(
        "a\xFF"
        "b\xC3");
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[0], 'a');
    EXPECT_EQ(s[2], 'b');
    const MorseTable morse;
    EXPECT_FALSE(morse.hasCode(static_cast<unsigned char>(s[1])));
    EXPECT_FALSE(morse.hasCode(static_cast<unsigned char>(s[3])));
}

struct Utf8Case {
    const char* name;
    std::string bytes;
    bool valid;
};

void PrintTo(const Utf8Case& c, std::ostream* os) {
    *os << c.name;
}

class Utf8Detection : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Detection, AcceptsOnlyWellFormedUtf8) {
    EXPECT_EQ(isValidUtf8(GetParam().bytes), GetParam().valid) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Texts, Utf8Detection,
                         testing::Values(Utf8Case{"empty", "", true},
                                         Utf8Case{"ascii", "cq de f5abc", true},
                                         Utf8Case{"two-byte", "caf\xC3\xA9", true},
                                         Utf8Case{"three-byte", "\xE2\x82\xAC", true},
                                         Utf8Case{"four-byte", "\xF0\x9F\x98\x80", true},
                                         Utf8Case{"largest", "\xF4\x8F\xBF\xBF", true},
                                         Utf8Case{"windows-1252 e acute", "caf\xE9", false},
                                         Utf8Case{"overlong slash", "\xC0\xAF", false},
                                         Utf8Case{"overlong three-byte", "\xE0\x80\xAF", false},
                                         Utf8Case{"surrogate", "\xED\xA0\x80", false},
                                         Utf8Case{"beyond U+10FFFF", "\xF4\x90\x80\x80", false},
                                         Utf8Case{"truncated", "ab\xE2\x82", false},
                                         Utf8Case{"lone continuation", "\x80", false},
                                         Utf8Case{"five-byte lead", "\xF8\x88\x80\x80\x80", false}),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             for (char& c : n) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return n;
                         });

TEST(TextFile, Utf8IsDecodedAndItsByteOrderMarkDropped) {
    EXPECT_EQ(decodeTextFile("\xEF\xBB\xBF"
                             "caf\xC3\xA9"),
              "caf\xE9");
    EXPECT_EQ(decodeTextFile("caf\xC3\xA9\r\n"), "caf\xE9\r\n");
}

TEST(TextFile, AnythingElseIsTakenAsWindows1252) {
    EXPECT_EQ(decodeTextFile("caf\xE9 \x80"), "caf\xE9 \x80");
    // Mostly UTF-8 but one bad byte: the whole file is Windows-1252.
    EXPECT_EQ(decodeTextFile("\xC3\xA9\xE9"), "\xC3\xA9\xE9");
}

TEST(Cp1252Case, AnsiCaseMapping) {
    struct Row {
        unsigned char lower, upper;
    };
    for (Row r : {Row{'a', 'A'}, Row{'z', 'Z'}, Row{0xE9, 0xC9}, Row{0xE0, 0xC0}, Row{0xFE, 0xDE},
                  Row{0x9A, 0x8A}, Row{0x9C, 0x8C}, Row{0x9E, 0x8E}, Row{0xFF, 0x9F}}) {
        EXPECT_EQ(upperCp1252(r.lower), r.upper) << int(r.lower);
        EXPECT_EQ(lowerCp1252(r.upper), r.lower) << int(r.upper);
    }
    // Characters with one case only map to themselves.
    const unsigned char oneCase[] = {0xDF /* sharp s */, 0xF7 /* division */, 0xD7 /* times */, '1',
                                     '?'};
    for (unsigned char c : oneCase) {
        EXPECT_EQ(upperCp1252(c), c) << int(c);
        EXPECT_EQ(lowerCp1252(c), c) << int(c);
    }
}

}  // namespace
}  // namespace kb

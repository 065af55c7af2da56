#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "core/morse.h"

namespace kb {
namespace {

struct CodeRow {
    unsigned char c;
    const char* code;
};

void PrintTo(const CodeRow& r, std::ostream* os) {
    *os << "code " << int(r.c);
}

class BuiltInCode : public testing::TestWithParam<CodeRow> {};

TEST_P(BuiltInCode, MatchesTheAlphabet) {
    const MorseTable table;
    EXPECT_EQ(table[GetParam().c], GetParam().code) << "character " << int(GetParam().c);
}

INSTANTIATE_TEST_SUITE_P(
    Signs, BuiltInCode,
    testing::Values(CodeRow{1, ".-..."}, CodeRow{2, "........"}, CodeRow{3, "-.--."},
                    CodeRow{4, "...-.-"}, CodeRow{'!', ".-..."}, CodeRow{'<', "........"},
                    CodeRow{'>', "...-.-"}, CodeRow{'(', "-.--."}, CodeRow{')', "-.--.-"},
                    CodeRow{'"', ".-..-."}, CodeRow{'\'', ".----."}, CodeRow{'+', ".-.-."},
                    CodeRow{',', "--..--"}, CodeRow{'-', "-....-"}, CodeRow{'.', ".-.-.-"},
                    CodeRow{'/', "-..-."}, CodeRow{':', "---..."}, CodeRow{';', "-.-.-."},
                    CodeRow{'=', "-...-"}, CodeRow{'?', "..--.."}, CodeRow{'@', ".--.-."}));
INSTANTIATE_TEST_SUITE_P(Figures, BuiltInCode,
                         testing::Values(CodeRow{'0', "-----"}, CodeRow{'1', ".----"},
                                         CodeRow{'2', "..---"}, CodeRow{'3', "...--"},
                                         CodeRow{'4', "....-"}, CodeRow{'5', "....."},
                                         CodeRow{'6', "-...."}, CodeRow{'7', "--..."},
                                         CodeRow{'8', "---.."}, CodeRow{'9', "----."}));
INSTANTIATE_TEST_SUITE_P(Letters, BuiltInCode,
                         testing::Values(CodeRow{'A', ".-"}, CodeRow{'b', "-..."},
                                         CodeRow{'C', "-.-."}, CodeRow{'e', "."},
                                         CodeRow{'H', "...."}, CodeRow{'j', ".---"},
                                         CodeRow{'Q', "--.-"}, CodeRow{'t', "-"},
                                         CodeRow{'V', "...-"}, CodeRow{'y', "-.--"},
                                         CodeRow{'Z', "--.."}));

TEST(MorseTable, BothCasesOfEveryLetterCarryTheSameCode) {
    const MorseTable table;
    for (unsigned char c = 'A'; c <= 'Z'; ++c) {
        EXPECT_FALSE(table[c].empty()) << c;
        EXPECT_EQ(table[c], table[c + 32]) << c;
    }
}

TEST(MorseTable, EverythingOutsideTheAlphabetHasNoCode) {
    const MorseTable table;
    const std::string_view coded =
        "!\"'()+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    int withCode = 0;
    for (int c = 0; c < 256; ++c) {
        const bool listed = (c >= 1 && c <= 4) || coded.find(char(c)) != std::string_view::npos;
        EXPECT_EQ(table.hasCode(static_cast<unsigned char>(c)), listed) << "code " << c;
        withCode += table.hasCode(static_cast<unsigned char>(c));
        for (char e : table[static_cast<unsigned char>(c)]) ASSERT_TRUE(e == '.' || e == '-');
    }
    EXPECT_EQ(withCode, 4 + 27 + 52);
    // The blank and the characters often mistaken for coded ones.
    for (unsigned char c : std::string_view(" #$%&*[\\]^_`{|}~\r\n\t")) {
        EXPECT_FALSE(table.hasCode(c)) << int(c);
    }
}

TEST(MorseTable, LocalCharacterCodeIsTheDotsAndDashesOfItsDefinitionUnderBothCases) {
    MorseTable table;
    const unsigned char eAcute = 0xE9, EAcute = 0xC9;
    table.defineLocal(eAcute, " ..-.. (e acute)");
    EXPECT_EQ(table[eAcute], "..-..");
    EXPECT_EQ(table[EAcute], "..-..");

    // Defined through its upper-case form, with noise around the elements.
    const unsigned char SCaron = 0x8A, sCaron = 0x9A;
    table.defineLocal(SCaron, "x-y . z-");
    EXPECT_EQ(table[SCaron], "-.-");
    EXPECT_EQ(table[sCaron], "-.-");

    // A character with one case only is stored once; nothing else changes.
    const unsigned char sharpS = 0xDF;
    table.defineLocal(sharpS, "...--..");
    EXPECT_EQ(table[sharpS], "...--..");
    EXPECT_EQ(table['s'], "...");
    EXPECT_EQ(table['S'], "...");
}

TEST(CharacterList, FixedEntriesInOrder) {
    const CharacterList list;
    const std::string_view fixed = "abcdefghijklmnopqrstuvwxyz0123456789.,?/+'-=";
    ASSERT_EQ(fixed.size(), 44u);
    for (std::size_t k = 0; k < fixed.size(); ++k) {
        EXPECT_EQ(list.entries[k], static_cast<unsigned char>(fixed[k])) << "slot " << k;
    }
    for (int k = 44; k < CharacterListSize; ++k) EXPECT_EQ(list.entries[k], 0) << "slot " << k;
    EXPECT_EQ(list.localCount, 0);
}

TEST(CharacterList, LocalCharactersAreHeldLowerCaseAndAtMostTwentySix) {
    CharacterList list;
    EXPECT_TRUE(list.addLocal(0xC9));  // É
    EXPECT_EQ(list.entries[44], 0xE9);
    for (int k = 1; k < 26; ++k) EXPECT_TRUE(list.addLocal(static_cast<unsigned char>(0xE0 + k)));
    EXPECT_EQ(list.localCount, 26);
    EXPECT_FALSE(list.addLocal(0xF1));
    EXPECT_EQ(list.entries[71], 0) << "the chosen characters' region is untouched";
    list.clearLocal();
    EXPECT_EQ(list.localCount, 0);
    EXPECT_EQ(list.entries[44], 0);
}

struct SetRow {
    CharacterClass cls;
    int first;
    int count;
};

void PrintTo(const SetRow& r, std::ostream* os) {
    *os << "first " << r.first;
}

class CharacterSetStretch : public testing::TestWithParam<SetRow> {};

TEST_P(CharacterSetStretch, MatchesTheClassTable) {
    const CharacterSet set = characterSet(GetParam().cls, /*localCount=*/3, /*chosenCount=*/9);
    EXPECT_EQ(set.first, GetParam().first);
    EXPECT_EQ(set.count, GetParam().count);
}

INSTANTIATE_TEST_SUITE_P(
    Classes, CharacterSetStretch,
    testing::Values(SetRow{CharacterClass::Letters, 0, 26}, SetRow{CharacterClass::Figures, 26, 10},
                    SetRow{CharacterClass::Stops, 36, 8}, SetRow{CharacterClass::Local, 44, 3},
                    SetRow{CharacterClass::LettersFigures, 0, 36},
                    SetRow{CharacterClass::All, 0, 47}, SetRow{CharacterClass::Chosen, 71, 9}));

TEST(SpecialCharacterList, EightFurtherCharactersInOrder) {
    EXPECT_EQ(SpecialCharacterList, "!():;<>@");
}

}  // namespace
}  // namespace kb

// The generator's rules that keybird-groups cannot reach from its command line: the
// chosen-text acceptance with local characters, a length changed mid-group, and rules
// no candidate can meet. The shapes of whole runs are tested through keybird-groups and
// the window.

#include <gtest/gtest.h>

#include <string>

#include "core/random_groups.h"

namespace kb {
namespace {

std::string chosenSlots(const CharacterList& list, int count) {
    std::string s;
    for (int k = 0; k < count; ++k) {
        s.push_back(
            static_cast<char>(list.entries[static_cast<std::size_t>(ChosenCharacterSlot + k)]));
    }
    return s;
}

TEST(RandomGroups, ChosenTextKeepsKnownCharactersInTypedOrderWithDuplicates) {
    struct Case {
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {"AAb?#", "aab?"},                             // "#" has no Morse code
        {"!():;<>@ ", "!():;<>@"},                     // the special characters; the blank goes
        {"\xE9\xC9z", "\xE9z"},                        // local é; only A..Z are lowered
        {"\x01v\x7F", "v"},                            // control bytes
        {std::string(80, 'e'), std::string(70, 'e')},  // at most 70
    };
    for (const Case& c : cases) {
        CharacterList list;
        list.addLocal(0xE9);
        const int n = acceptChosenCharacters(c.text, list);
        EXPECT_EQ(n, static_cast<int>(c.expected.size())) << c.text;
        EXPECT_EQ(chosenSlots(list, n), c.expected) << c.text;
    }
}

TEST(RandomGroups, ALengthShortenedMidGroupEndsTheGroupAtItsNextCharacter) {
    CharacterList list;
    RandomInt random(5);
    RandomGroups g(list, random);
    g.options.leadingV = true;
    g.startRun(100);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(g.next(), 'v');
        EXPECT_FALSE(g.endGroup());
    }
    g.setWordLength(3);
    EXPECT_NE(g.next(), 'v');  // the V group is over, though short of its four
    EXPECT_TRUE(g.endGroup());
    g.setWordLength(8);
    for (int k = 0; k < 8; ++k) EXPECT_NE(g.next(), 'v') << k;  // and it never comes back
    EXPECT_TRUE(g.endGroup());
}

TEST(RandomGroups, RulesNoCandidateMeetsTakeTheGroupsFirstCharacter) {
    // Callsigns over letters alone: the third character must not be a letter.
    CharacterList list;
    RandomInt random(11);
    RandomGroups g(list, random);
    g.set = characterSet(CharacterClass::Chosen, 0, acceptChosenCharacters("xyz", list));
    g.options.callsigns = true;
    g.startRun(50);
    for (int group = 0; group < 10; ++group) {
        std::string s;
        for (int k = 0; k < 5; ++k) s.push_back(static_cast<char>(g.next()));
        EXPECT_TRUE(g.endGroup());
        EXPECT_EQ(s[2], s[0]) << s;
    }
}

}  // namespace
}  // namespace kb

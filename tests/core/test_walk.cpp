#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/cp1252.h"
#include "core/morse.h"

namespace kb {
namespace {

// Plays a text the way the playback engine does: walk, sound the front character, take it
// off when its buffer comes back, walk again. Returns the sounded characters in order (a
// blank as ' '). Gives up after `limit` characters so a walk that never ends fails the test
// instead of hanging it.
struct Player {
    MorseTable morse;
    ShortcutTable shortcuts{};
    MaskState mask;
    bool fileModeOn = false;

    std::string play(std::string pending, std::size_t limit = 100000) {
        std::string sounded;
        std::string currentCode(InitialCurrentCode);
        while (sounded.size() < limit) {
            if (walkStep(pending, morse, shortcuts, mask, fileModeOn, currentCode) ==
                WalkResult::Exhausted) {
                EXPECT_TRUE(pending.empty());
                return sounded;
            }
            const auto c = static_cast<unsigned char>(pending.front());
            EXPECT_EQ(currentCode, morse[c]) << "front " << int(c);
            EXPECT_TRUE(c == Blank || !currentCode.empty());
            sounded.push_back(pending.front());
            pending.erase(0, 1);
        }
        ADD_FAILURE() << "the walk did not end";
        return sounded;
    }

    void shortcut(int slot, std::string key, std::string text) {
        shortcuts[static_cast<std::size_t>(slot - 1)] = Shortcut{std::move(key), std::move(text)};
    }
};

TEST(Walk, CaseNeverMatters) {
    Player p;
    std::string code1, code2;
    EXPECT_EQ(p.play("Ab"), "Ab");
    std::string a = "Ab", b = "aB";
    MaskState m;
    ASSERT_EQ(walkStep(a, p.morse, p.shortcuts, m, false, code1), WalkResult::Sound);
    ASSERT_EQ(walkStep(b, p.morse, p.shortcuts, m, false, code2), WalkResult::Sound);
    EXPECT_EQ(code1, code2);
    a.erase(0, 1), b.erase(0, 1);
    ASSERT_EQ(walkStep(a, p.morse, p.shortcuts, m, false, code1), WalkResult::Sound);
    ASSERT_EQ(walkStep(b, p.morse, p.shortcuts, m, false, code2), WalkResult::Sound);
    EXPECT_EQ(code1, "-...");
    EXPECT_EQ(code2, "-...");
}

TEST(Walk, CodeLessCharactersAreDroppedWithoutSound) {
    Player p;
    EXPECT_EQ(p.play("a&b"), "ab");
    EXPECT_EQ(p.play("cq\r\n\tde #"), "cqde ");
}

TEST(Walk, OnlyCodeLessTextIsExhaustedAtOnce) {
    Player p;
    std::string pending = "\r\n\t&#[]\r\n";
    std::string code = "..--..";
    EXPECT_EQ(walkStep(pending, p.morse, p.shortcuts, p.mask, false, code), WalkResult::Exhausted);
    EXPECT_TRUE(pending.empty());
    EXPECT_EQ(code, "..--..") << "nothing was sounded";
    std::string empty;
    EXPECT_EQ(walkStep(empty, p.morse, p.shortcuts, p.mask, false, code), WalkResult::Exhausted);
}

TEST(Walk, BlankIsSoundedWithAnEmptyCodeAndStaysAtTheFront) {
    Player p;
    std::string pending = " e";
    std::string code = "xx";
    ASSERT_EQ(walkStep(pending, p.morse, p.shortcuts, p.mask, false, code), WalkResult::Sound);
    EXPECT_EQ(code, "");
    EXPECT_EQ(pending, " e");
}

TEST(Walk, ProsignCharactersSoundTheirSigns) {
    Player p;
    std::string code;
    for (auto [text, expected] :
         {std::pair{"!", ".-..."}, std::pair{"<", "........"}, std::pair{">", "...-.-"}}) {
        std::string pending = text;
        ASSERT_EQ(walkStep(pending, p.morse, p.shortcuts, p.mask, false, code), WalkResult::Sound);
        EXPECT_EQ(code, expected) << text;
    }
}

TEST(Walk, MaskedStretchOfAPlayedFileIsPassedOverInSilence) {
    Player p;
    p.mask.startChar = '[';
    p.mask.endChar = ']';
    p.fileModeOn = true;
    EXPECT_EQ(p.play("ab[cd]ef"), "abef");
    EXPECT_FALSE(p.mask.active);
    // Two stretches in one text, and the end delimiter alone is an ordinary character.
    EXPECT_EQ(p.play("a[b]c[d]e]f"), "acef");
}

TEST(Walk, MaskedStretchIsSoundedOutsideTheFileMode) {
    Player p;
    p.mask.startChar = '[';
    p.mask.endChar = ']';
    p.fileModeOn = false;
    EXPECT_EQ(p.play("ab[cd]ef"), "abcdef");  // the brackets have no code
}

TEST(Walk, MaskDelimitersWithCodesAreStillPassedOver) {
    Player p;
    p.mask.startChar = '(';
    p.mask.endChar = ')';
    p.fileModeOn = true;
    EXPECT_EQ(p.play("ab(cd)ef"), "abef");
    p.fileModeOn = false;
    p.mask.active = false;
    EXPECT_EQ(p.play("ab(cd)ef"), "ab(cd)ef");
}

TEST(Walk, ShortcutReplacesACodeLessKey) {
    Player p;
    p.shortcut(1, "&", "es");
    EXPECT_EQ(p.play("a&b"), "aesb");
}

TEST(Walk, KeyWithACodeOfItsOwnIsSoundedNotReplaced) {
    Player p;
    p.shortcut(1, "e", "xyz");
    p.shortcut(2, " ", "abc");
    EXPECT_EQ(p.play("e e"), "e e");
}

TEST(Walk, TwoSlotsWithOneKeyPutTheLaterSlotsTextFirst) {
    Player p;
    p.shortcut(2, "&", "ab");
    p.shortcut(5, "&", "cd");
    p.shortcut(9, "&", "ef");
    EXPECT_EQ(p.play("1&2"), "1efcdab2");
}

TEST(Walk, ShortcutTextIsWalkedLikeAnyTextIncludingFurtherKeys) {
    Player p;
    p.shortcut(1, "&", "cq #");
    p.shortcut(2, "#", "de\tk");  // the tab inside is dropped
    EXPECT_EQ(p.play("&"), "cq dek");
}

TEST(Walk, MaskDelimitersInsideAShortcutTextKeepTheirMeaning) {
    Player p;
    p.mask.startChar = '[';
    p.mask.endChar = ']';
    p.fileModeOn = true;
    p.shortcut(1, "&", "a[b]c");
    EXPECT_EQ(p.play("x&y"), "xacy");
    EXPECT_FALSE(p.mask.active);
}

// Left as it stood, a key inside its own text would be expanded without end. The rule:
// a key met again inside its own expansion is dropped there.
TEST(WalkTermination, KeyInsideItsOwnTextIsDroppedThere) {
    Player p;
    p.shortcut(1, "&", "a&b");
    EXPECT_EQ(p.play("x&y"), "xaby");
    std::string out;
    ASSERT_TRUE(expandShortcut(p.shortcuts, p.morse, '&', out));
    EXPECT_EQ(out, "ab");
}

TEST(WalkTermination, TwoShortcutsReferringToEachOther) {
    Player p;
    p.shortcut(1, "&", "a#b");
    p.shortcut(2, "#", "c&d");
    // & opens a, then # (c, & again: dropped, d), then b.
    EXPECT_EQ(p.play("1&2"), "1acdb2");
    // Starting from the other key the roles swap.
    EXPECT_EQ(p.play("#"), "cabd");
    // Each occurrence is expanded afresh.
    EXPECT_EQ(p.play("&&"), "acdbacdb");
}

TEST(WalkTermination, AKeyMayAppearSeveralTimesWhenItIsNotItsOwnAncestor) {
    Player p;
    p.shortcut(1, "&", "##");
    p.shortcut(2, "#", "ab");
    EXPECT_EQ(p.play("&"), "abab");
}

TEST(WalkTermination, LongExpansionIsCutAtExpansionMax) {
    // Three levels of 36 make 46656 characters; the expansion stops at ExpansionMax.
    Player p;
    p.shortcut(1, "&", std::string(ShortcutTextMax, '#'));
    p.shortcut(2, "#", std::string(ShortcutTextMax, '$'));
    p.shortcut(3, "$", std::string(ShortcutTextMax, 'e'));
    std::string out;
    ASSERT_TRUE(expandShortcut(p.shortcuts, p.morse, '&', out));
    EXPECT_EQ(out, std::string(ExpansionMax, 'e'));
    const std::string sounded = p.play("t&t");
    EXPECT_EQ(sounded, "t" + std::string(ExpansionMax, 'e') + "t");
}

TEST(WalkTermination, DeepChainOfKeysThatSoundNothingEndsQuickly) {
    // 26 keys, each slot's text 36 copies of the next key, the last one naming the first
    // again: 36^25 expansions if every one were followed. Nothing is ever sounded, so the
    // length cap alone would never stop it; the read cap must.
    Player p;
    for (int slot = 1; slot <= ShortcutSlots; ++slot) {
        const auto key = static_cast<char>(0xA0 + slot);
        const auto next = static_cast<char>(0xA0 + (slot % ShortcutSlots) + 1);
        p.shortcut(slot, std::string(1, key), std::string(ShortcutTextMax, next));
    }
    std::string out = "stale";
    ASSERT_TRUE(expandShortcut(p.shortcuts, p.morse, static_cast<unsigned char>(0xA1), out));
    EXPECT_EQ(out, "");
    EXPECT_EQ(p.play("a\xA1\xA5z"), "az");
}

TEST(WalkTermination, ExpansionIsOnlyForKeys) {
    Player p;
    p.shortcut(1, "&", "es");
    std::string out = "stale";
    EXPECT_FALSE(expandShortcut(p.shortcuts, p.morse, '#', out));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(expandShortcut(p.shortcuts, p.morse, 'e', out)) << "no slot has key e";
}

TEST(Walk, WalkFrontTakesOneStepAtATime) {
    Player p;
    p.shortcut(1, "&", "es");
    std::string pending = "\t&a";
    std::string code;
    EXPECT_EQ(walkFront(pending, p.morse, p.shortcuts, p.mask, false, code), WalkResult::Skipped);
    EXPECT_EQ(pending, "&a");
    EXPECT_EQ(walkFront(pending, p.morse, p.shortcuts, p.mask, false, code), WalkResult::Skipped);
    EXPECT_EQ(pending, "esa");
    EXPECT_EQ(walkFront(pending, p.morse, p.shortcuts, p.mask, false, code), WalkResult::Sound);
    EXPECT_EQ(code, ".");
    EXPECT_EQ(pending, "esa");
}

TEST(Walk, CharacterWithoutAWindows1252FormIsSkippedNeverSoundedAsAQuestionMark) {
    Player p;
    // "a", CJK ideograph, "b", an emoji, "c" arriving as UTF-8 from a widget or a file.
    const std::string text = utf8ToCp1252(
        "a\xE4\xB8\xAD"
        "b\xF0\x9F\x98\x80"
        "c");
    EXPECT_EQ(p.play(text), "abc");
}

}  // namespace
}  // namespace kb

// keybird.dat reader and writer: layout, value rules, hand-edited files.

#include "app/settings_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace kb {
namespace {

std::string joinLines(const std::vector<std::string>& lines, std::string_view end = "\r\n") {
    std::string out;
    for (const auto& l : lines) {
        out += l;
        out += end;
    }
    return out;
}

// The 20 lessons of page 1 as the program starts with them.
const std::vector<std::string> kInitialPage1 = {"endx0",
                                                "tawp1",
                                                "endx0tawp1",
                                                "mgzq2",
                                                "iuvh3",
                                                "mgzq2iuvh3",
                                                "endx0tawp1mgzq2iuvh3",
                                                "okyc4",
                                                "rlf56",
                                                "okyc4rlf56",
                                                "sbj78",
                                                "+=?/9",
                                                "sbj78+=?/9",
                                                "okyc4rlf56sbj78+=?/9",
                                                "endx0tawp1mgzq2iuvh3",
                                                "abcdefghijklmnopqrstuvwxyz",
                                                "0123456789",
                                                "abcdefghijklmnopqrstuvwxyz0123456789",
                                                "+=?/'-,.",
                                                "abcdefghijklmnopqrstuvwxyz0123456789+=?/'-,."};

// What a run with nothing changed leaves behind, line by line from the key table.
std::vector<std::string> defaultFileLines() {
    std::vector<std::string> lines = {"SPEED=12",
                                      "SPACE=1",
                                      "SPACEW=1",
                                      "LANGUAGE=E",
                                      "LEVEL=-9",
                                      "RANDOM_COUNT=250",
                                      "WORDS=5",
                                      "MIXED=OFF",
                                      "VVVVV=OFF",
                                      "RANDOM=6",
                                      "COM=0",
                                      "MONITOR_CASE=LOWER",
                                      "MONITOR_CHANNEL=LEFT",
                                      "LEFT_THRESHOLD=64",
                                      "RIGHT_THRESHOLD=64",
                                      "NOISE_LEVEL=10",
                                      "QSB_LEVEL=10",
                                      "NOISE_BW=8",
                                      "NOTE=800",
                                      "DELAY=3",
                                      "PAGE=1",
                                      "QUIZ_COUNT=100",
                                      "MSG=73 de N0CALL",
                                      "PTT=3",
                                      "CW=0",
                                      "TXDELAY=100",
                                      "LPT=0",
                                      "ADLPT=",
                                      "PIN=0",
                                      "LOGIC=P",
                                      "MDPINT=",
                                      "INSTMF=0",
                                      "INSTMR=0",
                                      "INSTFN=0",
                                      "INSTFS=0",
                                      "ISOUND=-1",
                                      "OSOUND=-1",
                                      "\x02\xFF\xFF"};
    lines.insert(lines.end(), kInitialPage1.begin(), kInitialPage1.end());
    return lines;
}

// A well-used file: every key away from its default, shortcuts, messages, a chosen set,
// delimiters, lessons on two pages and two local characters.
std::vector<std::string> fullFileLines() {
    std::vector<std::string> lines = {"SPEED=18",
                                      "SPACE=2",
                                      "SPACEW=2",
                                      "LANGUAGE=F",
                                      "LEVEL=-6",
                                      "RANDOM_COUNT=300",
                                      "WORDS=0",
                                      "MIXED=CALL",
                                      "VVVVV=ON",
                                      "RANDOM=7",
                                      "COM=2",
                                      "MONITOR_CASE=UPPER",
                                      "MONITOR_CHANNEL=RIGHT",
                                      "LEFT_THRESHOLD=40",
                                      "RIGHT_THRESHOLD=90",
                                      "NOISE_LEVEL=5",
                                      "QSB_LEVEL=15",
                                      "NOISE_BW=2",
                                      "NOTE=650",
                                      "DELAY=0.75",
                                      "PAGE=2",
                                      "QUIZ_COUNT=50",
                                      "SHORTCUT=&es",
                                      "SHORTCUT=#cq cq de f6abc",
                                      "MSG=cq cq de F6ABC k",
                                      "MSG=73 de F6ABC",
                                      "MSG=qrz?",
                                      "PTT=1",
                                      "CW=2",
                                      "TXDELAY=250",
                                      "LPT=1",
                                      "ADLPT=[378h]",
                                      "PIN=2",
                                      "LOGIC=N",
                                      "MDPINT=bfl",
                                      "INSTMF=1",
                                      "INSTMR=0",
                                      "INSTFN=1",
                                      "INSTFS=0",
                                      "ISOUND=0",
                                      "OSOUND=1",
                                      "\x01kmr\xE9",
                                      "\x02[]"};
    lines.insert(lines.end(), kInitialPage1.begin(), kInitialPage1.end());
    lines.push_back("kmuresnaptlwi.jz=foy,vg5/q92h38b?47c1d60x");
    lines.push_back("\xE9\xE0\xE7\xFC");
    lines.push_back(" \xE9  ..-..  e accent aigu");
    lines.push_back(" \xFC  ..--  u umlaut");
    return lines;
}

Settings read(std::string_view bytes) {
    Settings s;
    EXPECT_TRUE(readSettings(bytes, s));
    return s;
}

// ------------------------------------------------------------------ round trips

TEST(SettingsFile, DefaultsAreWrittenAsTheKeyTableSays) {
    EXPECT_EQ(writeSettings(Settings{}), joinLines(defaultFileLines()));
}

TEST(SettingsFile, DefaultsReadBackUnchanged) {
    const std::string bytes = writeSettings(Settings{});
    const Settings back = read(bytes);
    EXPECT_EQ(back, Settings{});
    EXPECT_EQ(writeSettings(back), bytes);
}

TEST(SettingsFile, FullFileReadsAndIsWrittenBackByteForByte) {
    const std::string bytes = joinLines(fullFileLines());
    const Settings s = read(bytes);
    EXPECT_EQ(s.speed, 18);
    EXPECT_EQ(s.charSpacing, 2);
    EXPECT_EQ(s.wordSpacingFactor, 2);
    EXPECT_EQ(s.languageCode, 'F');
    EXPECT_EQ(s.level, -6);
    EXPECT_EQ(s.randomCount, 300);
    EXPECT_EQ(s.words, 0);
    EXPECT_EQ(s.wordContent, WordContent::Callsigns);
    EXPECT_TRUE(s.addV);
    EXPECT_EQ(s.randomClass, 7);
    EXPECT_EQ(s.comPort, 2);
    EXPECT_TRUE(s.monitorUpperCase);
    EXPECT_TRUE(s.monitorRightChannel);
    EXPECT_EQ(s.leftThreshold, 40);
    EXPECT_EQ(s.rightThreshold, 90);
    EXPECT_EQ(s.noiseLevel, 5);
    EXPECT_EQ(s.qsbLevel, 15);
    EXPECT_EQ(s.noiseHold, 2);
    EXPECT_EQ(s.notePosition, 85);
    EXPECT_EQ(s.tonePitch, 650);
    EXPECT_EQ(s.delayPosition, 3);
    EXPECT_EQ(delayMilliseconds(s.delayPosition), 750);
    EXPECT_EQ(s.lessonPage, 2);
    EXPECT_EQ(s.quizCount, 50);
    EXPECT_EQ(s.shortcuts[0].key, "&");
    EXPECT_EQ(s.shortcuts[0].text, "es");
    EXPECT_EQ(s.shortcuts[1].key, "#");
    EXPECT_EQ(s.shortcuts[1].text, "cq cq de f6abc");
    EXPECT_TRUE(s.shortcuts[2].key.empty());
    EXPECT_EQ(s.messages[0], "cq cq de F6ABC k");
    EXPECT_EQ(s.messages[1], "73 de F6ABC");
    EXPECT_EQ(s.messages[2], "qrz?");
    EXPECT_EQ(s.messages[3], "");
    EXPECT_EQ(s.pttLineMask, 1);
    EXPECT_EQ(s.cwLineMask, 2);
    EXPECT_EQ(s.txDelayMs, 250);
    EXPECT_EQ(s.lptIndex, 1);
    EXPECT_EQ(s.lptAddressText, "[378h]");
    EXPECT_EQ(lptAddressFromText(s.lptAddressText), 0x378);
    EXPECT_EQ(s.pinIndex, 2);
    EXPECT_TRUE(s.negativeLogic);
    EXPECT_EQ(s.instructorPassword, "abc");
    EXPECT_TRUE(s.lockMaskedFile);
    EXPECT_FALSE(s.lockMaskedRandom);
    EXPECT_TRUE(s.lockFixedNote);
    EXPECT_FALSE(s.lockFixedSpeed);
    EXPECT_EQ(s.inputDeviceId, 0);
    EXPECT_EQ(s.outputDeviceId, 1);
    EXPECT_EQ(s.chosenCharacters, "kmr\xE9");
    EXPECT_EQ(s.maskStartChar, '[');
    EXPECT_EQ(s.maskEndChar, ']');
    EXPECT_EQ(s.lessonPages[0], "endx0");
    EXPECT_EQ(s.lessonPages[20], "kmuresnaptlwi.jz=foy,vg5/q92h38b?47c1d60x");
    EXPECT_EQ(s.lessonPages[21], "\xE9\xE0\xE7\xFC");
    EXPECT_EQ(s.lessonPages[22], " ");
    ASSERT_EQ(s.localCharacterRows.size(), 2u);
    EXPECT_EQ(s.localCharacterRows[0], " \xE9  ..-..  e accent aigu");

    EXPECT_EQ(writeSettings(s), bytes);
}

TEST(SettingsFile, BareLineFeedsReadLikeCrLf) {
    const auto lines = fullFileLines();
    EXPECT_EQ(read(joinLines(lines, "\n")), read(joinLines(lines)));
    // The last line may lack its line end.
    std::string noFinalEnd = joinLines(lines);
    noFinalEnd.resize(noFinalEnd.size() - 2);
    EXPECT_EQ(read(noFinalEnd), read(joinLines(lines)));
}

// ------------------------------------------------------------------ whole-file rules

TEST(SettingsFile, FileWithoutMarkerLineIsIgnoredWhole) {
    Settings s;
    s.speed = 33;
    Settings before = s;
    EXPECT_FALSE(readSettings("SPEED=20\r\nLANGUAGE=D\r\nendx0\r\n", s));
    EXPECT_EQ(s, before);
    EXPECT_FALSE(readSettings("", s));
    EXPECT_FALSE(readSettings("\r\n\r\n", s));
    EXPECT_EQ(s, before);
}

TEST(SettingsFile, EmptyLineInKeySectionEndsTheReading) {
    const std::string bytes =
        joinLines({"SPEED=20", "", "SPACE=5", "\x02[]", "xyz", " \xE9  ..-..  e"});
    const Settings s = read(bytes);
    EXPECT_EQ(s.speed, 20);
    EXPECT_EQ(s.charSpacing, 1);     // after the empty line
    EXPECT_EQ(s.maskStartChar, -1);  // the marker line was not reached
    EXPECT_EQ(s.lessonPages[0], "endx0");
    EXPECT_TRUE(s.localCharacterRows.empty());
}

TEST(SettingsFile, OnlyTheLastMarkerLineCounts) {
    const std::string bytes =
        joinLines({"SPEED=20", "\x02()", "xyz", "SPACE=3", "\x02\xFF\xFF", "lesson"});
    const Settings s = read(bytes);
    EXPECT_EQ(s.speed, 20);
    EXPECT_EQ(s.charSpacing, 3);  // a key line after an earlier marker line still counts
    EXPECT_EQ(s.maskStartChar, -1);
    EXPECT_EQ(s.maskEndChar, -1);
    EXPECT_EQ(s.lessonPages[0], "lesson");  // "xyz" was in the key section
    EXPECT_EQ(s.lessonPages[1], "tawp1");
}

TEST(SettingsFile, MarkerLineWithoutDelimitersIsThreeBytes) {
    const std::string bytes = writeSettings(Settings{});
    EXPECT_NE(bytes.find(std::string("\r\n\x02\xFF\xFF\r\n")), std::string::npos);

    Settings s;
    s.maskStartChar = '[';
    s.maskEndChar = -1;
    const std::string withStart = writeSettings(s);
    EXPECT_NE(withStart.find(std::string("\r\n\x02[\xFF\r\n")), std::string::npos);
    const Settings back = read(withStart);
    EXPECT_EQ(back.maskStartChar, '[');
    EXPECT_EQ(back.maskEndChar, -1);
}

TEST(SettingsFile, ShortMarkerLineGivesNoDelimiter) {
    const Settings s = read(joinLines({"\x02"}));
    EXPECT_EQ(s.maskStartChar, -1);
    EXPECT_EQ(s.maskEndChar, -1);
    const Settings t = read(joinLines({"\x02#"}));
    EXPECT_EQ(t.maskStartChar, '#');
    EXPECT_EQ(t.maskEndChar, -1);
}

// ------------------------------------------------------------------ value rules

struct NoteCase {
    const char* value;
    int position;
    long double pitch;
};

class NoteValue : public ::testing::TestWithParam<NoteCase> {};

TEST_P(NoteValue, GivesPositionAndPitch) {
    const auto& c = GetParam();
    const Settings s = read(joinLines({std::string("NOTE=") + c.value, "\x02\xFF\xFF"}));
    EXPECT_EQ(s.notePosition, c.position);
    EXPECT_EQ(s.tonePitch, c.pitch);
}

INSTANTIATE_TEST_SUITE_P(
    SettingsFile, NoteValue,
    ::testing::Values(NoteCase{"2000", 0, 1500},  // above 1500 Hz
                      NoteCase{"50", 140, 100},   // below 100 Hz
                      NoteCase{"-1", -1, 800},    // examination tone; pitch untouched
                      NoteCase{"1500", 0, 1500}, NoteCase{"100", 140, 100},
                      NoteCase{"700", 80, 700},
                      NoteCase{"805", 70, 805},  // (1500-805)/10 = 69.5, half to even
                      NoteCase{"815", 68, 815},  // 68.5 -> 68
                      NoteCase{"-5", 140, 100},  // a negative pitch that is not -1
                      NoteCase{"high", 70, 800}, NoteCase{"", 70, 800}));

TEST(SettingsFile, NoteWritesThePositionsPitchOrMinusOne) {
    Settings s;
    s.notePosition = 85;
    EXPECT_NE(writeSettings(s).find("\r\nNOTE=650\r\n"), std::string::npos);
    s.notePosition = -1;
    EXPECT_NE(writeSettings(s).find("\r\nNOTE=-1\r\n"), std::string::npos);
}

TEST(SettingsFile, NoiseBandwidthOtherThanOneTwoFourEightGivesEight) {
    const auto hold = [](const char* v) {
        return read(joinLines({"NOISE_BW=2", std::string("NOISE_BW=") + v, "\x02"})).noiseHold;
    };
    EXPECT_EQ(hold("3"), 8);
    EXPECT_EQ(hold("0"), 8);
    EXPECT_EQ(hold("16"), 8);
    EXPECT_EQ(hold("1"), 1);
    EXPECT_EQ(hold("4"), 4);
    EXPECT_EQ(hold("wide"), 2);  // not a number: unchanged
}

TEST(SettingsFile, DelayMatchesOneOfSixteenLabels) {
    const auto position = [](const char* v) {
        return read(joinLines({"DELAY=1", std::string("DELAY=") + v, "\x02"})).delayPosition;
    };
    EXPECT_EQ(position("0.25"), 1);
    EXPECT_EQ(position("1.75"), 7);
    EXPECT_EQ(position("2.5"), 9);
    EXPECT_EQ(position("9"), 16);
    EXPECT_EQ(position("3.0"), 4);  // no label: "1" stays
    EXPECT_EQ(position("10"), 4);
    EXPECT_EQ(delayMilliseconds(1), 250);
    EXPECT_EQ(delayMilliseconds(9), 2500);
    EXPECT_EQ(delayMilliseconds(16), 9000);
}

TEST(SettingsFile, ShortcutTextIsCutAt36AndAtMost26AreRead) {
    std::vector<std::string> lines;
    const std::string text40 = "0123456789abcdefghijklmnopqrstuvwxyzABCD";
    lines.push_back("SHORTCUT=&" + text40);
    for (int k = 1; k < 30; ++k) lines.push_back("SHORTCUT=#" + std::to_string(k));
    lines.push_back("\x02");
    const Settings s = read(joinLines(lines));
    EXPECT_EQ(s.shortcuts[0].key, "&");
    EXPECT_EQ(s.shortcuts[0].text, text40.substr(0, 36));
    EXPECT_EQ(s.shortcuts[25].text, "25");  // the 26th line fills the last slot
}

TEST(SettingsFile, ShortcutsWrittenOnlyWithKeyAndText) {
    Settings s;
    s.shortcuts[0] = {"&", "es"};
    s.shortcuts[1] = {"", "orphan"};
    s.shortcuts[2] = {"#", ""};
    s.shortcuts[3] = {"%", "73"};
    const std::string bytes = writeSettings(s);
    EXPECT_NE(bytes.find("\r\nSHORTCUT=&es\r\nSHORTCUT=%73\r\nMSG="), std::string::npos);
    const Settings back = read(bytes);
    EXPECT_EQ(back.shortcuts[1].key, "%");  // slots are filled in order on reading
    EXPECT_EQ(back.shortcuts[1].text, "73");
}

TEST(SettingsFile, MessageHoleMovesLaterMessagesUp) {
    Settings s;
    s.messages = {"cq de f6abc", "", "qrz?", "", "", ""};
    const Settings back = read(writeSettings(s));
    EXPECT_EQ(back.messages[0], "cq de f6abc");
    EXPECT_EQ(back.messages[1], "qrz?");
    EXPECT_EQ(back.messages[2], "");
}

TEST(SettingsFile, AllMessagesEmptiedGiveTheFirstMessageBack) {
    Settings s;
    s.messages = {};
    const std::string bytes = writeSettings(s);
    EXPECT_EQ(bytes.find("MSG="), std::string::npos);
    EXPECT_EQ(read(bytes).messages[0], "73 de N0CALL");
}

TEST(SettingsFile, AtMostSixMessagesAreRead) {
    std::vector<std::string> lines;
    for (int k = 1; k <= 8; ++k) lines.push_back("MSG=m" + std::to_string(k));
    lines.push_back("\x02");
    const Settings s = read(joinLines(lines));
    EXPECT_EQ(s.messages[0], "m1");
    EXPECT_EQ(s.messages[5], "m6");
}

TEST(SettingsFile, PasswordScrambling) {
    EXPECT_EQ(scramblePassword("abc"), std::string({98, 102, 108}));
    EXPECT_EQ(unscramblePassword("bfl"), "abc");
    // (code + j*j) wraps modulo 256: "\xFE" in 2nd place gives 254 + 4 - 256 = 2.
    EXPECT_EQ(scramblePassword("a\xFE"), std::string("b\x02"));
    EXPECT_EQ(unscramblePassword("b\x02"), "a\xFE");

    Settings s;
    s.instructorPassword = "abc";
    const std::string bytes = writeSettings(s);
    EXPECT_NE(bytes.find("\r\nMDPINT=bfl\r\n"), std::string::npos);
    EXPECT_EQ(read(bytes).instructorPassword, "abc");
}

TEST(SettingsFile, PasswordWhoseScrambledFormHoldsALineBreak) {
    // n-tilde (241) in 5th place scrambles to 241 + 25 - 256 = 10, a line feed.
    EXPECT_FALSE(passwordCanBeStored("espa\xF1"));
    EXPECT_TRUE(passwordCanBeStored("espan"));
    // e-acute (233) in 6th place scrambles to a carriage return, which the file can hold.
    const std::string withCr = "abcde\xE9";
    EXPECT_TRUE(passwordCanBeStored(withCr));

    Settings s;
    s.instructorPassword = withCr;
    s.lockFixedSpeed = true;
    EXPECT_EQ(read(writeSettings(s)), s);

    s.instructorPassword = "espa\xF1";
    const Settings back = read(writeSettings(s));
    EXPECT_EQ(back.instructorPassword, "");  // left out rather than breaking the file
    EXPECT_TRUE(back.lockFixedSpeed);        // the lines after it are all there
    EXPECT_EQ(back.outputDeviceId, -1);
    EXPECT_EQ(back.lessonPages, initialLessonPages());
}

TEST(SettingsFile, LptAddressText) {
    EXPECT_EQ(lptAddressFromText("[378h]"), 0x378);
    EXPECT_EQ(lptAddressFromText("[2bCh]"), 0x2BC);
    EXPECT_EQ(lptAddressFromText("[27h]"), 0);  // two digits
    EXPECT_EQ(lptAddressFromText(""), 0);
    EXPECT_EQ(lptAddressFromText("[xyzh]"), 0);
    EXPECT_EQ(lptAddressFromText("[D000h]"), 0xD000);  // four digits: a PCI or PCIe card
    EXPECT_EQ(lptAddressFromText("[e800h]"), 0xE800);
    EXPECT_EQ(lptAddressFromText("[378"), 0x378);     // three, as files have held them
    EXPECT_EQ(lptAddressFromText("[378hh]"), 0x378);  // nothing after them counts
    EXPECT_EQ(lptAddressFromText("[12345h]"), 0);     // five digits: no port has that address
    EXPECT_EQ(lptAddressFromText("[D00xh]"), 0xD00);
}

TEST(SettingsFile, ChosenCharacterLine) {
    const Settings s = read(joinLines({"\x01KmR", "\x02"}));
    EXPECT_EQ(s.chosenCharacters, "kmr");

    Settings t;
    t.chosenCharacters = "abc";
    const std::string bytes = writeSettings(t);
    EXPECT_NE(bytes.find("OSOUND=-1\r\n\x01"
                         "abc\r\n\x02"),
              std::string::npos);

    t.chosenCharacters = " abc";  // starting with a blank: not written
    EXPECT_EQ(writeSettings(t), writeSettings(Settings{}));

    const Settings longer = read(joinLines({"\x01" + std::string(90, 'k'), "\x02"}));
    EXPECT_EQ(longer.chosenCharacters, std::string(70, 'k'));
}

// ------------------------------------------------------------------ lessons

TEST(SettingsFile, EmptiedLessonMovesLaterLessonsUp) {
    Settings s;
    s.lessonPages[2] = " ";    // lesson 3 emptied
    s.lessonPages[4] = "xyz";  // lesson 5 changed
    s.lessonPages[40] = "q";   // lesson 41, page 3
    const Settings back = read(writeSettings(s));
    EXPECT_EQ(back.lessonPages[1], "tawp1");
    EXPECT_EQ(back.lessonPages[2], "mgzq2");             // former lesson 4
    EXPECT_EQ(back.lessonPages[3], "xyz");               // former lesson 5
    EXPECT_EQ(back.lessonPages[18], kInitialPage1[19]);  // former lesson 20
    EXPECT_EQ(back.lessonPages[19], "q");                // former lesson 41
    EXPECT_EQ(back.lessonPages[20], " ");                // keeps its start-up value
}

TEST(SettingsFile, LessonsAreLowerCasedAndStopAtBlankOrEmptyLine) {
    Settings s = read(joinLines({"\x02", "ABC\xC9", "def", "", "ghi"}));
    EXPECT_EQ(s.lessonPages[0], "abc\xE9");
    EXPECT_EQ(s.lessonPages[1], "def");
    EXPECT_EQ(s.lessonPages[2], "endx0tawp1");  // start-up value

    s = read(joinLines({"\x02", " \xE9  ..-..  e", "abc"}));
    EXPECT_EQ(s.lessonPages[0], "endx0");  // the line after the marker starts with a blank
    ASSERT_EQ(s.localCharacterRows.size(), 1u);
}

TEST(SettingsFile, AtMostSixtyLessons) {
    std::vector<std::string> lines = {"\x02"};
    for (int k = 1; k <= 61; ++k) lines.push_back(std::string("l").append(std::to_string(k)));
    lines.push_back(" \xE9  ..-..");
    const Settings s = read(joinLines(lines));
    EXPECT_EQ(s.lessonPages[59], "l60");
    ASSERT_EQ(s.localCharacterRows.size(), 1u);  // "l61" is no lesson and no local row
}

// ------------------------------------------------------------------ local characters

TEST(SettingsFile, LocalCharacterLinesTakenAndSkipped) {
    const Settings s = read(joinLines({
        "\x02",
        " \xE9  ..-..  e accent",  // taken
        " @  .--.-.",              // "@" is never local
        " a  .-.-",                // standard character
        " A  .-.-",                // standard character in upper case
        " \xC9  ..-",              // the upper case of a local character already read
        " \xF1  ",                 // four characters only
        " \xF1 x--.--",            // fourth character not a blank
        " \xF1  abc",              // no code
        " \xF1  ...........",      // eleven elements
        "x\xFC  ..--  u umlaut",   // taken; the first byte is not looked at
    }));
    ASSERT_EQ(s.localCharacterRows.size(), 2u);
    EXPECT_EQ(s.localCharacterRows[0], " \xE9  ..-..  e accent");
    EXPECT_EQ(s.localCharacterRows[1], " \xFC  ..--  u umlaut");
}

TEST(SettingsFile, LocalRowsCutAtFortyAndAtMostTwentySix) {
    std::vector<std::string> lines = {"\x02", " \xE9  ..-..  " + std::string(50, 'c')};
    for (unsigned char c = 0xE0; c < 0xE0 + 30; ++c) {
        lines.push_back(std::string(" ") + static_cast<char>(c) + "  -.-.");
    }
    const Settings s = read(joinLines(lines));
    ASSERT_EQ(s.localCharacterRows.size(), 26u);
    EXPECT_EQ(s.localCharacterRows[0].size(), 40u);
}

TEST(SettingsFile, LocalCharacterCodeStopsAtTheComment) {
    struct Case {
        const char* row;
        const char* code;
    };
    const Case cases[] = {
        {" \xE9  ..-..  e.g. caf\xE9 - accent", "..-.."},
        {" \xE9  . . - . .", "..-.."},            // single blanks inside the code
        {" \xE9   ..-..", "..-.."},               // one blank more before the code
        {" \xE9      ..-..  e.g. - .", "..-.."},  // aligned by hand: many more
        {" \xE9      ..-..", "..-.."},
        {" \xE9        ", ""},        // blanks and nothing else
        {" \xE9  x ..-..", "..-.."},  // what is not a dot or dash is passed over
    };
    for (const Case& c : cases) EXPECT_EQ(localRowCode(c.row), c.code) << c.row;
    EXPECT_EQ(localRowCharacter(" \xE9  ..-.."), 0xE9);
}

TEST(SettingsFile, LocalCharacterWithExtraBlanksIsTakenAsWritten) {
    const std::string row = " \xE9     ..-..  e.g. caf\xE9";
    const Settings s = read(joinLines({"\x02", row}));
    ASSERT_EQ(s.localCharacterRows.size(), 1u);
    EXPECT_EQ(s.localCharacterRows[0], row);
    EXPECT_TRUE(writeSettings(s).ends_with(joinLines(kInitialPage1) + joinLines({row})));
    MorseTable morse;
    CharacterList list;
    applyLocalCharacters(s, morse, list);
    EXPECT_EQ(morse['\xE9'], "..-..");
    EXPECT_EQ(list.localCount, 1);
}

TEST(SettingsFile, ApplyLocalCharactersDefinesBothCases) {
    const Settings s = read(joinLines({"\x02", " \xE9  ..-..  e accent", " \xFC  ..--  u umlaut"}));
    MorseTable morse;
    CharacterList list;
    applyLocalCharacters(s, morse, list);
    EXPECT_EQ(morse['\xE9'], "..-..");
    EXPECT_EQ(morse['\xC9'], "..-..");
    EXPECT_EQ(morse['\xDC'], "..--");
    EXPECT_EQ(list.localCount, 2);
    EXPECT_EQ(list.entries[LocalCharacterSlot], 0xE9);
    EXPECT_EQ(list.entries[LocalCharacterSlot + 1], 0xFC);
    EXPECT_EQ(morse['a'], ".-");  // standard characters untouched
}

// ------------------------------------------------------------------ hand-edited values

struct ValueCase {
    std::vector<std::string> lines;  // key lines before the marker
    std::function<int(const Settings&)> field;
    int expected;
};

class HandEditedValue : public ::testing::TestWithParam<ValueCase> {};

TEST_P(HandEditedValue, IsClampedIgnoredOrTaken) {
    auto lines = GetParam().lines;
    lines.push_back("\x02\xFF\xFF");
    const Settings s = read(joinLines(lines));
    EXPECT_EQ(GetParam().field(s), GetParam().expected);
}

int speedOf(const Settings& s) {
    return s.speed;
}
int pageOf(const Settings& s) {
    return s.lessonPage;
}
int txOf(const Settings& s) {
    return s.txDelayMs;
}

INSTANTIATE_TEST_SUITE_P(
    SettingsFile, HandEditedValue,
    ::testing::Values(
        ValueCase{{"SPEED=fast"}, speedOf, 12}, ValueCase{{"SPEED=100"}, speedOf, 50},
        ValueCase{{"SPEED=2"}, speedOf, 5}, ValueCase{{"SPEED= 20 "}, speedOf, 20},
        ValueCase{{"SPEED=20.5"}, speedOf, 12},
        ValueCase{{"SPEED=99999999999"}, speedOf, 12},  // beyond any integer
        ValueCase{{"speed=20"}, speedOf, 12},           // keys are upper case
        ValueCase{{"SPACE=0"}, [](auto& s) { return s.charSpacing; }, 1},
        ValueCase{{"SPACE=31"}, [](auto& s) { return s.charSpacing; }, 30},
        ValueCase{{"SPACEW=9"}, [](auto& s) { return s.wordSpacingFactor; }, 4},
        ValueCase{{"LEVEL=-40"}, [](auto& s) { return s.level; }, -15},
        ValueCase{{"LEVEL=+3"}, [](auto& s) { return s.level; }, 0},
        ValueCase{{"LEVEL=loud"}, [](auto& s) { return s.level; }, -9},
        ValueCase{{"RANDOM_COUNT=1"}, [](auto& s) { return s.randomCount; }, 5},
        ValueCase{{"QUIZ_COUNT=5000"}, [](auto& s) { return s.quizCount; }, 1000},
        ValueCase{{"WORDS=0"}, [](auto& s) { return s.words; }, 0},
        ValueCase{{"WORDS=1"}, [](auto& s) { return s.words; }, 5},
        ValueCase{{"WORDS=9"}, [](auto& s) { return s.words; }, 5},
        ValueCase{{"RANDOM=9"}, [](auto& s) { return s.randomClass; }, 6},
        ValueCase{{"RANDOM=all"}, [](auto& s) { return s.randomClass; }, 6},
        ValueCase{{"COM=7"}, [](auto& s) { return s.comPort; }, 0},
        ValueCase{{"COM=4"}, [](auto& s) { return s.comPort; }, 4},
        ValueCase{{"PTT=7"}, [](auto& s) { return s.pttLineMask; }, 3},
        ValueCase{{"CW=3"}, [](auto& s) { return s.cwLineMask; }, 3},
        ValueCase{{"LPT=4"}, [](auto& s) { return s.lptIndex; }, 0},
        ValueCase{{"PIN=3"}, [](auto& s) { return s.pinIndex; }, 3},
        ValueCase{{"PIN=-1"}, [](auto& s) { return s.pinIndex; }, 0},
        ValueCase{{"PAGE=2", "PAGE=two"}, pageOf, 1},  // not a number gives 1
        ValueCase{{"PAGE=9"}, pageOf, 3}, ValueCase{{"PAGE=0"}, pageOf, 1},
        ValueCase{{"TXDELAY=10"}, txOf, 50},  // once a timer that never fired
        ValueCase{{"TXDELAY=1000"}, txOf, 250},
        ValueCase{{"TXDELAY=75"}, txOf, 50},    // item nearest(0.5) = 0, half to even
        ValueCase{{"TXDELAY=120"}, txOf, 100},  // item nearest(1.4) = 1
        ValueCase{{"TXDELAY=125"}, txOf, 150},  // item nearest(1.5) = 2, half to even
        ValueCase{{"TXDELAY=175"}, txOf, 150},  // item nearest(2.5) = 2
        ValueCase{{"TXDELAY=225"}, txOf, 250},  // item nearest(3.5) = 4
        ValueCase{{"TXDELAY=slow"}, txOf, 100},
        ValueCase{{"LEFT_THRESHOLD=200"}, [](auto& s) { return s.leftThreshold; }, 127},
        ValueCase{{"RIGHT_THRESHOLD=x"}, [](auto& s) { return s.rightThreshold; }, 64},
        ValueCase{{"NOISE_LEVEL=-3"}, [](auto& s) { return s.noiseLevel; }, 0},
        ValueCase{{"QSB_LEVEL=21"}, [](auto& s) { return s.qsbLevel; }, 20},
        ValueCase{{"ISOUND=-7"}, [](auto& s) { return s.inputDeviceId; }, -1},
        ValueCase{{"OSOUND=3"}, [](auto& s) { return s.outputDeviceId; }, 3},
        ValueCase{{"OSOUND=card"}, [](auto& s) { return s.outputDeviceId; }, -1},
        ValueCase{{"LANGUAGE=Q"}, [](auto& s) { return int(s.languageCode); }, 'E'},
        ValueCase{{"LANGUAGE=s"}, [](auto& s) { return int(s.languageCode); }, 'E'},
        ValueCase{{"LOGIC=N"}, [](auto& s) { return int(s.negativeLogic); }, 1},
        ValueCase{{"LOGIC=N", "LOGIC=x"}, [](auto& s) { return int(s.negativeLogic); }, 0},
        ValueCase{{"INSTMF=2"}, [](auto& s) { return int(s.lockMaskedFile); }, 0},
        ValueCase{{"INSTFS=1"}, [](auto& s) { return int(s.lockFixedSpeed); }, 1},
        ValueCase{{"VVVVV=on"}, [](auto& s) { return int(s.addV); }, 1},
        ValueCase{
            {"MIXED=ON"}, [](auto& s) { return int(s.wordContent); }, int(WordContent::NonMixed)},
        ValueCase{
            {"MIXED=maybe"}, [](auto& s) { return int(s.wordContent); }, int(WordContent::Mixed)},
        ValueCase{{"MONITOR_CASE=UPPER"}, [](auto& s) { return int(s.monitorUpperCase); }, 1},
        ValueCase{{"MONITOR_CHANNEL=RIGHT", "MONITOR_CHANNEL=LEFT"},
                  [](auto& s) { return int(s.monitorRightChannel); },
                  0}));

// The keys that gave a value are the ones the window applies; a missing key, or one whose
// value was refused, leaves its control as it is.
TEST(SettingsFile, PresentKeysAreThoseThatGaveAValue) {
    struct Case {
        std::vector<std::string> lines;  // the file, marker line included
        SettingsKeys present;
    };
    const Case cases[] = {
        {{"\x02\xFF\xFF"}, {"\x02"}},
        {{"SPEED=20", "LOGIC=P", "\x02"}, {"SPEED=", "LOGIC=", "\x02"}},
        {{"SPEED=fast", "PIN=9", "WORDS=1", "NOTE=high", "DELAY=4.5", "\x02"}, {"\x02"}},
        {{"SPEED=fast", "SPEED=20", "\x02"}, {"SPEED=", "\x02"}},
        {{"MSG=", "SHORTCUT=&", "\x02"}, {"\x02"}},  // lines that take no slot
        {{"MSG=qrz?", "SHORTCUT=&es", "ADLPT=",
          "\x01"
          "abc",
          "\x02"},
         {"MSG=", "SHORTCUT=", "ADLPT=", "\x01", "\x02"}},
        {{"ISOUND=0", "OSOUND=card", "TXDELAY=75", "\x02"}, {"ISOUND=", "TXDELAY=", "\x02"}},
        {{"LEVEL=-3", "", "LOGIC=N", "\x02"}, {"LEVEL="}},  // the empty line ends the reading
        {{"speed=20", "COMDEV2=/dev/ttyUSB0", "\x02"}, {"COMDEV2=", "\x02"}},
    };
    for (const Case& c : cases) {
        Settings s;
        SettingsKeys present;
        ASSERT_TRUE(readSettings(joinLines(c.lines), s, &present));
        EXPECT_EQ(present, c.present) << joinLines(c.lines);
    }
    // Every key the program writes is present when its own file is read back.
    SettingsKeys all;
    Settings s;
    ASSERT_TRUE(readSettings(writeSettings(Settings{}), s, &all));
    for (const std::string& line : defaultFileLines()) {
        if (line.front() == '\x02') break;  // the key section ends at the marker line
        EXPECT_TRUE(all.contains(line.substr(0, line.find('=') + 1))) << line;
    }
    // A file without a marker line is no file: nothing is present.
    SettingsKeys none;
    EXPECT_FALSE(readSettings(joinLines({"SPEED=20"}), s, &none));
    EXPECT_TRUE(none.empty());
}

TEST(SettingsFile, GarbageNeverStopsTheReading) {
    // Every key with a value it cannot use, then lines that are no key at all: the
    // settings after them still arrive.
    const std::string bytes =
        joinLines({"SPEED=\xFF\xFE", "SPACE=", "LANGUAGE=", "LEVEL=-", "NOTE=-",
                   "DELAY=", "SHORTCUT=", "MSG=", "ADLPT=[", "MDPINT=", "RANDOM=--1", "=",
                   "#comment", "SPEED=25", "\x02\xFF\xFF", "abc"});
    const Settings s = read(bytes);
    EXPECT_EQ(s.speed, 25);
    EXPECT_EQ(s.messages[0], "73 de N0CALL");  // an empty MSG= line takes no memory
    EXPECT_TRUE(s.shortcuts[0].key.empty());   // nor does a SHORTCUT= line without key
    EXPECT_EQ(s.lessonPages[0], "abc");
    EXPECT_EQ(read(writeSettings(s)), s);
}

TEST(SettingsFile, LinesTheProgramNeverWritesTakeNoSlot) {
    const Settings s = read(
        joinLines({"MSG=", "MSG=qrz?", "SHORTCUT=&", "SHORTCUT=", "SHORTCUT=#73", "\x01", "\x02"}));
    EXPECT_EQ(s.messages[0], "qrz?");
    EXPECT_EQ(s.shortcuts[0].key, "#");
    EXPECT_EQ(s.shortcuts[0].text, "73");
    EXPECT_EQ(s.chosenCharacters, " ");
    EXPECT_EQ(read(joinLines({"\x01 abc", "\x02"})).chosenCharacters, " ");
}

TEST(SettingsFile, LoneCarriageReturnIsAnOrdinaryByte) {
    // Only LF (with a CR before it) ends a line, so a lone CR stays in its line.
    const Settings s = read(std::string("MSG=a\rb\r\n\x02\r\n"));
    EXPECT_EQ(s.messages[0], "a\rb");
    EXPECT_EQ(read(writeSettings(s)).messages[0], "a\rb");
}

TEST(SettingsFile, LineFeedsInTextsCannotBreakTheFile) {
    Settings s;
    s.messages[0] = "cq\ncq";
    s.shortcuts[0] = {"&", "e\ns"};
    s.lessonPages[0] = "ab\n\x02";
    s.maskStartChar = '\n';
    const Settings back = read(writeSettings(s));
    EXPECT_EQ(back.messages[0], "cqcq");
    EXPECT_EQ(back.shortcuts[0].text, "es");
    EXPECT_EQ(back.lessonPages[0], "ab\x02");
    EXPECT_EQ(back.maskStartChar, -1);
    EXPECT_EQ(back.lessonPages[1], "tawp1");
}

// The hand-written seed files of the settings fuzzer are real files: each reads, and what
// is written from it reads back the same; the two the program itself would write come
// back byte for byte.
TEST(SettingsFile, SeedCorpusFiles) {
    const std::filesystem::path dir =
        std::filesystem::path(KEYBIRD_SOURCE_DIR) / "fuzz/corpus/settings";
    const auto slurp = [&](const char* name) {
        std::ifstream in(dir / name, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    };
    EXPECT_EQ(slurp("default.dat"), writeSettings(Settings{}));
    const std::string full = slurp("full.dat");
    EXPECT_EQ(writeSettings(read(full)), full);
    EXPECT_EQ(read(slurp("full-lf.dat")), read(full));

    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        Settings s;
        const bool used = readSettings(ss.str(), s);
        EXPECT_EQ(used, entry.path().filename() != "no-marker.dat") << entry.path();
        EXPECT_EQ(read(writeSettings(s)), s) << entry.path();
        ++files;
    }
    EXPECT_GE(files, 8);
}

}  // namespace
}  // namespace kb

// Address texts of the LPT edits, the TX delay items and the pin values.

#include <gtest/gtest.h>

#include <ostream>

#include "keying/port_settings.h"

namespace kb {
namespace {

struct AddressCase {
    const char* text;
    int expected;  // -1: ignored
};

void PrintTo(const AddressCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class LptAddressTextTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(LptAddressTextTest, TakesThreeOrFourHexDigitsInTheirFrame) {
    const AddressCase c = GetParam();
    const auto parsed = parseLptAddressText(c.text);
    if (c.expected < 0) {
        EXPECT_FALSE(parsed.has_value()) << c.text;
    } else {
        ASSERT_TRUE(parsed.has_value()) << c.text;
        EXPECT_EQ(*parsed, c.expected) << c.text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LptAddressTextTest,
    ::testing::Values(AddressCase{"[278h]", 0x278}, AddressCase{"[3BCh]", 0x3BC},
                      AddressCase{"[3bch]", 0x3BC}, AddressCase{"[000h]", 0},
                      AddressCase{"[27h]", -1},        // two digits, as while typing
                      AddressCase{"[D000h]", 0xD000},  // a PCIe card
                      AddressCase{"[e800h]", 0xE800}, AddressCase{"[0378h]", 0x378},
                      AddressCase{"[D0000h]", -1},  // five digits
                      AddressCase{"[D00Gh]", -1}, AddressCase{"[D000h", -1},
                      AddressCase{"[27Gh]", -1},  // not hex
                      AddressCase{"[ 78h]", -1},  // blank is no digit
                      AddressCase{"[278H]", -1},  // the edit writes a lower-case h
                      AddressCase{"(278h]", -1}, AddressCase{"[278h)", -1}, AddressCase{"", -1},
                      AddressCase{"278", -1}));

TEST(LptAddressText, ShowsThreeUpperCaseHexDigits) {
    EXPECT_EQ(lptAddressText(0x378), "[378h]");
    EXPECT_EQ(lptAddressText(0x3BC), "[3BCh]");
    EXPECT_EQ(lptAddressText(0), "[000h]");
    EXPECT_EQ(lptAddressText(0xE800), "[E800h]");  // a PCI card needs four
}

TEST(LptAddressText, WhatIsShownReadsBack) {
    for (std::uint16_t a : {0x278, 0x378, 0x3BC, 0xFFF, 0x1000, 0xD000, 0xFFFF}) {
        EXPECT_EQ(parseLptAddressText(lptAddressText(a)), a);
    }
}

TEST(LptUnusable, SaysWhichPortWhyAndWhatToDo) {
    const std::string text = lptUnusableText(2, "ppdev: open failed: Permission denied");
    EXPECT_EQ(text.rfind("LPT2 cannot be used: ppdev: open failed: Permission denied\n", 0), 0u)
        << text;
    EXPECT_NE(text.find("modprobe ppdev"), std::string::npos);
    EXPECT_NE(text.find(" lp"), std::string::npos);
    EXPECT_NE(lptUnusableText(1, "").find("LPT1 cannot be used: "), std::string::npos);
}

TEST(TxDelay, ItemsAreFiftyMsApart) {
    EXPECT_EQ(txDelayMsForIndex(0), 50);
    EXPECT_EQ(txDelayMsForIndex(1), 100);
    EXPECT_EQ(txDelayMsForIndex(4), 250);
    EXPECT_EQ(txDelayMsForIndex(DefaultTxDelayIndex), 100);
}

TEST(TxDelay, StoredValueSelectsTheNearestItem) {
    struct Case {
        int ms;
        int index;
    };
    const Case cases[] = {
        {50, 0},  {100, 1}, {150, 2},
        {200, 3}, {250, 4}, {75, 0},  // half an item above the first: 0.5 goes to the even 0
        {125, 2},                     // 1.5 goes to the even 2
        {175, 2},                     // 2.5 to 2 as well
        {225, 4},                     // 3.5 to 4
        {110, 1}, {140, 2},           // 1.2 and 1.8
        {300, 4},                     // above 250: "250 ms"
        {10, 0},  // below 25 would select nothing and the delay would never fire
        {0, 0},   {-40, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(txDelayIndexForMs(c.ms), c.index) << c.ms;
}

TEST(LptPins, BitsOfTheFourPins) {
    EXPECT_EQ(lptPinBit(0), 1);  // pin 1: bit 0
    EXPECT_EQ(lptPinBit(1), 2);  // pin 14: bit 1
    EXPECT_EQ(lptPinBit(2), 4);  // pin 16: bit 2
    EXPECT_EQ(lptPinBit(3), 8);  // pin 17: bit 3
    EXPECT_EQ(lptPinBit(4), 0);
}

TEST(LptPins, Pin16WithNegativeLogicKeyDownClearsBit2) {
    EXPECT_EQ(lptKeyDownValue(0xFF, 2, true), 0xFB);
    EXPECT_EQ(lptKeyUpValue(0x00, 2, true), 0x04);
}

TEST(LptPins, DefaultLogicBoxes) {
    EXPECT_EQ(DefaultNegativeLogic, (std::array<bool, 4>{true, true, false, true}));
}

}  // namespace
}  // namespace kb

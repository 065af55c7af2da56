// The keying steps, PTT and the port choices, driven through the fakes: the timer fires
// only when the test says so and the clock moves only by the intervals the Keyer armed.

#include <gtest/gtest.h>

#include <cerrno>
#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

#include "audio/synthesis.h"
#include "core/timing.h"
#include "keying/fake_io_ctrl.h"
#include "keying/fake_mm_timer.h"
#include "keying/fake_serial_lines.h"
#include "keying/keyer.h"

namespace kb {
namespace {

KeyingSchedule schedule(std::initializer_list<std::int32_t> steps) {
    KeyingSchedule s;
    for (std::int32_t v : steps) s.steps[static_cast<std::size_t>(s.stepCount++)] = v;
    return s;
}

using Strings = std::vector<std::string>;

class KeyerTest : public ::testing::Test {
protected:
    // Fires the armed steps one after another, moving the clock by each armed interval.
    void runCharacter() {
        for (int guard = 0; timer.pending() && guard < 40; ++guard) {
            clock.advanceMs(timer.pendingInterval());
            timer.fire();
        }
    }

    // Line changes as "DTR+@0" (ms since the first change of the record).
    Strings timeline() const {
        Strings out;
        const auto changes = lines.changes();
        if (changes.empty()) return out;
        const std::int64_t t0 = changes.front().timeNs;
        for (const auto& c : changes) {
            out.push_back(std::string(c.line == FakeSerialLines::Line::Dtr ? "DTR" : "RTS") +
                          (c.up ? "+" : "-") + "@" + std::to_string((c.timeNs - t0) / 1'000'000));
        }
        return out;
    }

    void openCom1(std::uint8_t ptt, std::uint8_t cw) {
        keyer.setPttLineMask(ptt);
        keyer.setCwLineMask(cw);
        ASSERT_EQ(keyer.selectComPort(1, false), Keyer::ComResult::Opened);
        lines.clearChanges();
        lines.clearEvents();
    }

    FakeClock clock;
    FakeSerialLines lines{clock};
    FakeIOCtrl lpt{clock};
    FakeMMTimer timer;
    Keyer keyer{lines, lpt, timer};
};

TEST_F(KeyerTest, SetsUpItsTimerOneShotWithTheDefaultInterval) {
    EXPECT_EQ(timer.TimerMode(), TTIMERMode::TIME_ONESHOT);
    EXPECT_EQ(timer.Interval(), 10);
    EXPECT_FALSE(timer.Enabled());
}

TEST_F(KeyerTest, LetterEKeysOneDotThenStops) {
    openCom1(LineRts, LineDtr);
    keyer.startKeying(schedule({94, 0}));  // "E" at 12 wpm: +DotMs, 0
    EXPECT_TRUE(keyer.onAir());
    runCharacter();
    EXPECT_EQ(timeline(), (Strings{"DTR+@0", "DTR-@94"}));
    EXPECT_EQ(timer.armedIntervals(), (std::vector<int>{0, 94}));  // 0: the key-down, at once
    EXPECT_FALSE(timer.pending());
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(keyer.KeyingIndex(), 2);  // the 0 step leaves it where it was
}

TEST_F(KeyerTest, DashGapDotAtTwelveWpmKeysInOrder) {
    // At 12 wpm with weight 3 the steps of "N" are 283, -94, 94, 0.
    const KeyingSchedule n = buildKeyingSchedule("-.", elementDurations(speedFactor(12), 3), true);
    ASSERT_EQ(n.stepCount, 4);
    ASSERT_EQ(n.steps[0], 283);
    ASSERT_EQ(n.steps[1], -94);
    ASSERT_EQ(n.steps[2], 94);

    openCom1(LineRts, LineDtr);
    keyer.startKeying(n);
    runCharacter();
    EXPECT_EQ(timeline(), (Strings{"DTR+@0", "DTR-@283", "DTR+@377", "DTR-@471"}));
    EXPECT_EQ(timer.armedIntervals(), (std::vector<int>{0, 283, 94, 94}));
    EXPECT_EQ(keyer.KeyingIndex(), 4);
}

TEST_F(KeyerTest, BlankIsNeverKeyedAndPttStaysOn) {
    openCom1(LineRts, LineDtr);
    EXPECT_TRUE(keyer.pttStart());
    keyer.startKeying(schedule({94, 0}));
    runCharacter();
    keyer.disarmKeying();
    // A blank has no elements: its schedule is empty, and nothing is keyed for it.
    keyer.startKeying(buildKeyingSchedule("", elementDurations(speedFactor(12), 3), true));
    EXPECT_FALSE(timer.pending());
    keyer.disarmKeying();
    keyer.startKeying(schedule({94, 0}));
    runCharacter();
    EXPECT_EQ(lines.events(), (Strings{"RTS+", "DTR+", "DTR-", "DTR+", "DTR-"}));
    EXPECT_TRUE(lines.rts());
    EXPECT_TRUE(keyer.PttOn());
    EXPECT_TRUE(keyer.onAir());
}

TEST_F(KeyerTest, NoPortConfiguredChangesNothingNotEvenTheLamp) {
    EXPECT_FALSE(keyer.keyingActive());
    // With keying inactive the schedule's first step is 0.
    keyer.startKeying(buildKeyingSchedule(".-", elementDurations(speedFactor(12), 3), false));
    EXPECT_FALSE(keyer.pttStart());
    EXPECT_FALSE(timer.pending());
    EXPECT_FALSE(keyer.onAir());
    EXPECT_TRUE(lines.events().empty());
    EXPECT_TRUE(lpt.calls().empty());
}

TEST_F(KeyerTest, KeyingActiveNeedsCwLinesOnAnOpenPortOrAnLptPort) {
    keyer.setCwLineMask(LineDtr);
    EXPECT_FALSE(keyer.keyingActive());  // no port open
    openCom1(LineRts, 0);
    EXPECT_FALSE(keyer.keyingActive());  // port open, PTT only
    keyer.setCwLineMask(LineDtr);
    EXPECT_TRUE(keyer.keyingActive());
    keyer.selectComPort(0, false);
    EXPECT_FALSE(keyer.keyingActive());
    lpt.setAddress(1, 0x378);
    keyer.loadLptAddresses();
    keyer.selectLpt(1);
    EXPECT_TRUE(keyer.keyingActive());
}

TEST_F(KeyerTest, LateStepAfterDisarmDoesNothing) {
    openCom1(LineRts, LineDtr);
    keyer.startKeying(schedule({283, -94, 94, 0}));
    timer.fire();  // key down
    clock.advanceMs(100);
    keyer.disarmKeying();  // cut short: the key is released
    const auto before = lines.events();
    timer.fireLate();
    timer.fireLate();
    EXPECT_EQ(lines.events(), before);
    EXPECT_EQ(before, (Strings{"DTR+", "DTR-"}));
    EXPECT_FALSE(timer.pending());
}

TEST_F(KeyerTest, PttOnDtrAndCwOnRtsEachServeOnePurpose) {
    openCom1(LineDtr, LineRts);  // PTT=1, CW=2
    EXPECT_TRUE(keyer.pttStart());
    keyer.startKeying(schedule({94, -94, 283, 0}));
    runCharacter();
    EXPECT_TRUE(lines.dtr());
    keyer.releaseTransmitter();
    EXPECT_EQ(lines.events(), (Strings{"DTR+", "RTS+", "RTS-", "RTS+", "RTS-", "DTR-", "RTS-"}));
    EXPECT_FALSE(keyer.onAir());
    EXPECT_FALSE(keyer.PttOn());
}

TEST_F(KeyerTest, PttStartAsksForTheTxDelayOnlyWhenItRaisesPtt) {
    keyer.setTxDelayIndex(txDelayIndexForMs(250));
    EXPECT_EQ(keyer.txDelayMs(), 250);
    EXPECT_FALSE(keyer.pttStart());  // no port: play at once
    openCom1(BothLines, 0);
    EXPECT_TRUE(keyer.pttStart());  // raised now: wait 250 ms
    EXPECT_TRUE(lines.dtr() && lines.rts());
    EXPECT_TRUE(keyer.onAir());
    EXPECT_FALSE(keyer.pttStart());  // already on: no second delay, no second raise
    EXPECT_EQ(lines.events(), (Strings{"DTR+", "RTS+"}));
    keyer.releaseTransmitter();
    EXPECT_TRUE(keyer.pttStart());  // a new text raises it again
}

TEST_F(KeyerTest, NoPttLinesMeansNoDelay) {
    openCom1(0, LineDtr);
    EXPECT_FALSE(keyer.pttStart());
    EXPECT_FALSE(keyer.onAir());
    EXPECT_TRUE(lines.events().empty());
}

TEST_F(KeyerTest, PortOpenedWhileTextIsPendingAssertsPttAtOnce) {
    keyer.setPttLineMask(BothLines);
    ASSERT_EQ(keyer.selectComPort(1, true), Keyer::ComResult::Opened);
    EXPECT_TRUE(lines.dtr() && lines.rts());
    EXPECT_TRUE(keyer.PttOn());
    EXPECT_TRUE(keyer.onAir());
    EXPECT_FALSE(keyer.pttStart());  // the play action's own PTT start then adds no delay
}

TEST_F(KeyerTest, PortOpenedWithNothingPendingLeavesPttDown) {
    keyer.setPttLineMask(BothLines);
    ASSERT_EQ(keyer.selectComPort(1, false), Keyer::ComResult::Opened);
    EXPECT_FALSE(lines.dtr() || lines.rts());
    EXPECT_FALSE(keyer.onAir());
}

TEST_F(KeyerTest, ChoosingCom2WhileCom1IsOpenDropsCom1First) {
    keyer.setPttLineMask(BothLines);
    ASSERT_EQ(keyer.selectComPort(1, true), Keyer::ComResult::Opened);
    ASSERT_EQ(keyer.selectComPort(2, false), Keyer::ComResult::Opened);
    EXPECT_EQ(lines.events(), (Strings{"open /dev/ttyS0", "DTR+", "RTS+", "DTR-", "RTS-", "close",
                                       "open /dev/ttyS1"}));
    EXPECT_EQ(keyer.ComPortName(), "COM2");
    EXPECT_FALSE(keyer.onAir());
    EXPECT_FALSE(keyer.PttOn());
}

TEST_F(KeyerTest, MappedComPortOpensItsOwnDevice) {
    ASSERT_TRUE(keyer.comDevices().setDevicePath(3, "/dev/ttyUSB0"));
    ASSERT_EQ(keyer.selectComPort(3, false), Keyer::ComResult::Opened);
    EXPECT_EQ(lines.openedPath(), "/dev/ttyUSB0");
    EXPECT_EQ(keyer.ComPortName(), "COM3");
}

TEST_F(KeyerTest, PortThatCannotBeOpenedIsErrorCom) {
    lines.failOpenWith(ENOENT);
    EXPECT_EQ(keyer.selectComPort(1, true), Keyer::ComResult::ErrorCom);
    EXPECT_EQ(keyer.ComPortName(), NoComPortName);
    EXPECT_EQ(keyer.lastComError().value(), ENOENT);
    EXPECT_FALSE(keyer.PttOn());
    EXPECT_FALSE(keyer.onAir());
}

TEST_F(KeyerTest, ReleasingTheComPortDropsBothLinesAndCloses) {
    openCom1(BothLines, 0);
    ASSERT_TRUE(keyer.pttStart());
    EXPECT_EQ(keyer.selectComPort(0, false), Keyer::ComResult::Released);
    EXPECT_EQ(lines.events(), (Strings{"DTR+", "RTS+", "DTR-", "RTS-", "close"}));
    EXPECT_EQ(keyer.ComPortName(), NoComPortName);
    EXPECT_FALSE(keyer.onAir());
}

TEST_F(KeyerTest, LineFailingMidCharacterStopsKeyingAndDropsPtt) {
    int notified = 0;
    keyer.setLineFaultNotifier([&] { ++notified; });
    openCom1(LineRts, LineDtr);
    ASSERT_TRUE(keyer.pttStart());
    keyer.startKeying(schedule({283, -94, 94, 0}));
    timer.fire();  // key down
    clock.advanceMs(283);
    lines.failNextLineChanges(1, ENODEV);  // the adapter is pulled as the key goes up
    timer.fire();
    EXPECT_FALSE(timer.pending());
    EXPECT_EQ(notified, 1);
    EXPECT_TRUE(keyer.lineFaultPending());
    // Keying stopped, and both lines were dropped as far as the device allowed.
    EXPECT_EQ(lines.events(), (Strings{"RTS+", "DTR+", "DTR! 19", "DTR-", "RTS-"}));
    // Nothing more is keyed until the window has dealt with it.
    keyer.startKeying(schedule({94, 0}));
    EXPECT_FALSE(timer.pending());

    EXPECT_EQ(keyer.handleLineFault(), ENODEV);
    EXPECT_FALSE(keyer.lineFaultPending());
    EXPECT_EQ(keyer.ComPortName(), NoComPortName);
    EXPECT_FALSE(lines.isOpen());
    EXPECT_FALSE(keyer.PttOn());
    EXPECT_FALSE(keyer.onAir());
    EXPECT_EQ(keyer.handleLineFault(), 0);
}

TEST_F(KeyerTest, DeadAdapterNeverHangsAndReportsOnce) {
    int notified = 0;
    keyer.setLineFaultNotifier([&] { ++notified; });
    openCom1(LineRts, LineDtr);
    lines.failLinesWith(EIO);
    EXPECT_FALSE(keyer.pttStart());  // could not raise PTT: no delay, the fault is posted
    keyer.startKeying(schedule({94, 0}));
    EXPECT_FALSE(timer.pending());
    keyer.releaseTransmitter();
    EXPECT_EQ(notified, 1);
    EXPECT_EQ(keyer.handleLineFault(), EIO);
    EXPECT_FALSE(lines.isOpen());
}

TEST_F(KeyerTest, ShutdownDropsLinesClosesAndWithdrawsLptAccess) {
    lpt.setAddress(1, 0x378);
    keyer.loadLptAddresses();
    keyer.selectLpt(1);
    openCom1(BothLines, 0);
    ASSERT_TRUE(keyer.pttStart());
    lines.clearEvents();
    lpt.clearCalls();
    keyer.shutdown();
    EXPECT_EQ(lines.events(), (Strings{"DTR-", "RTS-", "close"}));
    const auto calls = lpt.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].op, FakeIOCtrl::Op::Out);
    EXPECT_EQ(calls[0].address, 0x37A);
    EXPECT_EQ(calls[1].op, FakeIOCtrl::Op::Disable);
    EXPECT_EQ(calls[1].address, 0x378);
    EXPECT_TRUE(keyer.onAir());  // quit leaves the lamp alone
}

// ---- Parallel port ------------------------------------------------------------------------

class LptKeyerTest : public KeyerTest {
protected:
    void SetUp() override {
        lpt.setAddress(1, 0x378);
        lpt.setAddress(3, 0x3BC);
        keyer.loadLptAddresses();
    }
};

struct PinCase {
    int pin;            // RadioGroupPin item
    bool negative;      // its "Neg. logic" box
    std::uint16_t bit;  // the control-register bit it drives
    bool downSets;      // key down sets the bit (else clears it)
};

void PrintTo(const PinCase& c, std::ostream* os) {
    static const char* const names[] = {"pin 1", "pin 14", "pin 16", "pin 17"};
    *os << names[c.pin] << (c.negative ? " negative" : " positive");
}

class LptPinTest : public LptKeyerTest, public ::testing::WithParamInterface<PinCase> {};

TEST_P(LptPinTest, KeysTheChosenPinWithItsLogicSense) {
    const PinCase c = GetParam();
    lpt.setControl(0xC5);  // what the port holds before the set-up
    keyer.selectPin(c.pin);
    keyer.setNegativeLogic(c.pin, c.negative);
    ASSERT_TRUE(keyer.selectLpt(1).setupOk);
    lpt.clearCalls();
    keyer.startKeying(schedule({94, 0}));
    runCharacter();
    const auto w = lpt.writes();
    ASSERT_EQ(w.size(), 2u);
    for (const auto& call : w) EXPECT_EQ(call.address, 0x37A);
    const std::uint16_t down = w[0].value;
    const std::uint16_t up = w[1].value;
    EXPECT_EQ((down & c.bit) != 0, c.downSets);
    EXPECT_EQ((up & c.bit) != 0, !c.downSets);
    // The other bits keep what the port held.
    EXPECT_EQ(down & ~c.bit, 0xC5 & ~c.bit);
    EXPECT_EQ(up & ~c.bit, 0xC5 & ~c.bit);
    EXPECT_EQ(up, keyer.LptControlIdle());  // key up is the idle image
}

INSTANTIATE_TEST_SUITE_P(PinTable, LptPinTest,
                         ::testing::Values(PinCase{0, false, 1, false}, PinCase{0, true, 1, true},
                                           PinCase{1, false, 2, false}, PinCase{1, true, 2, true},
                                           PinCase{2, false, 4, true}, PinCase{2, true, 4, false},
                                           PinCase{3, false, 8, false}, PinCase{3, true, 8, true}));

TEST_F(LptKeyerTest, Pin16WithoutNegativeLogicSetUpClearsBit2) {
    lpt.setControl(0xFF);
    keyer.selectPin(2);
    keyer.setNegativeLogic(2, false);
    keyer.selectLpt(1);
    EXPECT_EQ(lpt.control(), 0xFB);
    EXPECT_EQ(keyer.LptControlIdle(), 0xFB);
}

TEST_F(LptKeyerTest, Pin1WithNegativeLogicSetUpClearsBit0) {
    lpt.setControl(0xFF);
    keyer.selectPin(0);
    keyer.setNegativeLogic(0, true);
    keyer.selectLpt(1);
    EXPECT_EQ(lpt.control(), 0xFE);
}

TEST_F(LptKeyerTest, SetUpReadsThenWritesTheControlRegister) {
    keyer.selectLpt(1);
    const auto calls = lpt.calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].op, FakeIOCtrl::Op::Enable);
    EXPECT_EQ(calls[0].address, 0x378);
    EXPECT_EQ(calls[1].op, FakeIOCtrl::Op::In);
    EXPECT_EQ(calls[1].address, 0x37A);
    EXPECT_EQ(calls[2].op, FakeIOCtrl::Op::Out);
    EXPECT_EQ(calls[2].address, 0x37A);
}

TEST_F(LptKeyerTest, FailedSetUpAsksForABeepAndKeepsTheWrite) {
    lpt.setAccessWorks(false);
    lpt.setControl(0xF1);
    const auto sel = keyer.selectLpt(1);
    EXPECT_EQ(sel.result, Keyer::LptResult::Accepted);
    EXPECT_FALSE(sel.setupOk);
    EXPECT_EQ(lpt.control(), 0xF0);  // pin 1 with negative logic: key up clears bit 0
    EXPECT_FALSE(keyer.selectPin(1));
}

TEST_F(LptKeyerTest, ChangingTheBaseMovesTheAccess) {
    keyer.selectLpt(1);
    keyer.selectLpt(3);
    keyer.selectLpt(0);
    Strings access;
    for (const auto& c : lpt.calls()) {
        if (c.op == FakeIOCtrl::Op::Enable) access.push_back("enable " + lptAddressText(c.address));
        if (c.op == FakeIOCtrl::Op::Disable)
            access.push_back("disable " + lptAddressText(c.address));
    }
    EXPECT_EQ(access,
              (Strings{"enable [378h]", "disable [378h]", "enable [3BCh]", "disable [3BCh]"}));
    EXPECT_EQ(keyer.LptBaseAddress(), 0);
    EXPECT_EQ(keyer.LptAccessAddress(), 0);
    EXPECT_FALSE(keyer.keyingActive());
}

TEST_F(LptKeyerTest, PortWithoutAddressIsRefusedAndThePreviousChoiceReturns) {
    ASSERT_EQ(keyer.selectLpt(1).result, Keyer::LptResult::Accepted);
    EXPECT_EQ(keyer.selectLpt(0).result, Keyer::LptResult::Released);
    EXPECT_EQ(keyer.LptPreviousChoice(), 1);  // "NONE" keeps it
    const auto sel = keyer.selectLpt(2);      // LPT2 has no address
    EXPECT_EQ(sel.result, Keyer::LptResult::NoAddress);
    EXPECT_EQ(sel.shownIndex, 1);  // back to the port used before
    EXPECT_EQ(keyer.LptIndex(), 1);
    EXPECT_EQ(keyer.LptBaseAddress(), 0x378);
}

TEST_F(LptKeyerTest, MissingDriverIsRefusedWithItsWarning) {
    lpt.setDriverPresent(false);
    keyer.loadLptAddresses();
    const auto sel = keyer.selectLpt(1);
    EXPECT_EQ(sel.result, Keyer::LptResult::DriverMissing);
    EXPECT_EQ(sel.shownIndex, 0);
    EXPECT_EQ(keyer.LptIndex(), 0);
    EXPECT_TRUE(lpt.calls().empty());
    EXPECT_STREQ(LptDriverMissingWarning, "Parallel port driver (ppdev) not found");
}

TEST_F(LptKeyerTest, TypedAddressOfTheChosenPortBecomesTheAddressInUse) {
    lpt.setAddress(2, 0x278);
    keyer.loadLptAddresses();
    keyer.selectLpt(2);
    lpt.clearCalls();
    EXPECT_TRUE(keyer.typeLptAddress(2, "[2BCh]"));
    EXPECT_EQ(keyer.lptAddress(2), 0x2BC);
    EXPECT_EQ(keyer.LptBaseAddress(), 0x2BC);
    const auto calls = lpt.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].op, FakeIOCtrl::Op::Disable);
    EXPECT_EQ(calls[1].op, FakeIOCtrl::Op::Enable);
    EXPECT_EQ(calls[1].address, 0x2BC);
}

TEST_F(LptKeyerTest, TypedAddressOfAnotherPortOnlyChangesItsEntry) {
    keyer.selectLpt(1);
    lpt.clearCalls();
    EXPECT_TRUE(keyer.typeLptAddress(2, "[278h]"));
    EXPECT_EQ(keyer.lptAddress(2), 0x278);
    EXPECT_EQ(keyer.LptBaseAddress(), 0x378);  // LPT1 keeps keying its own port
    EXPECT_TRUE(lpt.calls().empty());
    // And LPT2 can now be chosen.
    EXPECT_EQ(keyer.selectLpt(2).result, Keyer::LptResult::Accepted);
    EXPECT_EQ(keyer.LptBaseAddress(), 0x278);
}

TEST_F(LptKeyerTest, MalformedTypedAddressIsIgnored) {
    keyer.selectLpt(1);
    EXPECT_FALSE(keyer.typeLptAddress(1, "[27h]"));
    EXPECT_EQ(keyer.lptAddress(1), 0x378);
    EXPECT_EQ(keyer.LptBaseAddress(), 0x378);
}

TEST_F(LptKeyerTest, StoredSettingsReplaceTheAddressAndSetUpThePin) {
    lpt.setControl(0xFF);
    EXPECT_TRUE(keyer.applyLptSettings(1, 0x3BC, 2, false));  // LPT=1 ADLPT=[3BCh] PIN=2 LOGIC=P
    EXPECT_EQ(keyer.LptIndex(), 1);
    EXPECT_EQ(keyer.LptPreviousChoice(), 1);
    EXPECT_EQ(keyer.lptAddress(1), 0x3BC);
    EXPECT_EQ(keyer.LptBaseAddress(), 0x3BC);
    EXPECT_EQ(keyer.PinIndex(), 2);
    EXPECT_FALSE(keyer.NegativeLogic(2));
    EXPECT_EQ(lpt.control(), 0xFB);
}

TEST_F(LptKeyerTest, StoredPortWithoutAddressIsNotTaken) {
    EXPECT_TRUE(keyer.applyLptSettings(2, 0, 0, true));
    EXPECT_EQ(keyer.LptIndex(), 0);
    EXPECT_TRUE(lpt.calls().empty());
}

TEST_F(LptKeyerTest, ReleaseWritesTheKeyUpStateAndTurnsTheLampOff) {
    lpt.setControl(0x00);
    keyer.selectLpt(1);  // pin 1, negative logic: key up clears bit 0
    keyer.startKeying(schedule({283, 0}));
    EXPECT_TRUE(keyer.onAir());
    timer.fire();  // key down
    EXPECT_EQ(lpt.control(), 0x01);
    keyer.releaseTransmitter();  // cut short: the key goes up before the release write
    EXPECT_EQ(lpt.control(), 0x00);
    EXPECT_FALSE(keyer.onAir());
    EXPECT_FALSE(timer.pending());
}

// ---- Every edge on the timer ----------------------------------------------------------------

struct EdgeCase {
    const char* name;
    std::vector<std::int32_t> steps;
    int elements;
    std::vector<int> armed;  // startKeying's arming first (0: due at once)
};

void PrintTo(const EdgeCase& c, std::ostream* os) {
    *os << c.name;
}

// A COM line and an LPT pin keyed together; PTT on the other COM line.
class TimerEdgeTest : public LptKeyerTest, public ::testing::WithParamInterface<EdgeCase> {
protected:
    void SetUp() override {
        LptKeyerTest::SetUp();
        ASSERT_EQ(keyer.selectLpt(1).result, Keyer::LptResult::Accepted);
        openCom1(LineRts, LineDtr);
        ASSERT_TRUE(keyer.pttStart());
        lines.clearEvents();
        lpt.clearCalls();
        for (std::int32_t v : GetParam().steps)
            sched.steps[static_cast<std::size_t>(sched.stepCount++)] = v;
    }

    // What was keyed since the last look, e.g. "DTR+ LPT down"; "" for nothing.
    std::string keyedSinceLastLook() {
        std::string out;
        const auto ev = lines.events();
        for (; seenLines < ev.size(); ++seenLines) out += (out.empty() ? "" : " ") + ev[seenLines];
        const auto w = lpt.writes();
        for (; seenLpt < w.size(); ++seenLpt)
            out += w[seenLpt].value == keyer.LptControlIdle() ? " LPT up" : " LPT down";
        return out;
    }

    KeyingSchedule sched;
    std::size_t seenLines = 0, seenLpt = 0;
};

TEST_P(TimerEdgeTest, EveryEdgeIsKeyedByATimerStepNoneByStartKeying) {
    keyer.startKeying(sched);
    EXPECT_EQ(keyedSinceLastLook(), "");
    EXPECT_TRUE(keyer.onAir());
    Strings perStep;
    for (int guard = 0; timer.pending() && guard < 40; ++guard) {
        clock.advanceMs(timer.pendingInterval());
        timer.fire();
        perStep.push_back(keyedSinceLastLook());
    }
    Strings expected;
    for (int i = 0; i < GetParam().elements; ++i) {
        expected.push_back("DTR+ LPT down");
        expected.push_back("DTR- LPT up");
    }
    EXPECT_EQ(perStep, expected);
    EXPECT_EQ(timer.armedIntervals(), GetParam().armed);
    EXPECT_TRUE(lines.rts()) << "PTT is not the keying's business";
}

TEST_P(TimerEdgeTest, DisarmBeforeTheFirstStepKeysNothing) {
    keyer.startKeying(sched);
    keyer.disarmKeying();
    EXPECT_FALSE(timer.pending());
    timer.fireLate();  // a step already on its way when the disarm came
    EXPECT_EQ(keyedSinceLastLook(), "");
    EXPECT_FALSE(lines.dtr());
    EXPECT_FALSE(timer.pending());
}

INSTANTIATE_TEST_SUITE_P(Schedules, TimerEdgeTest,
                         ::testing::Values(EdgeCase{"E", {94, 0}, 1, {0, 94}},
                                           EdgeCase{"N", {283, -94, 94, 0}, 2, {0, 283, 94, 94}},
                                           EdgeCase{"Four",
                                                    {94, -94, 94, -94, 94, -94, 94, -94, 283, 0},
                                                    5,
                                                    {0, 94, 94, 94, 94, 94, 94, 94, 94, 283}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(KeyerTest, FirstKeyDownFailingOnTheTimerIsAFaultLikeAnyOther) {
    int notified = 0;
    keyer.setLineFaultNotifier([&] { ++notified; });
    openCom1(LineRts, LineDtr);
    ASSERT_TRUE(keyer.pttStart());
    keyer.startKeying(schedule({94, 0}));
    EXPECT_TRUE(keyer.onAir());
    lines.failNextLineChanges(1, EIO);
    timer.fire();
    EXPECT_EQ(notified, 1);
    EXPECT_FALSE(timer.pending());
    EXPECT_EQ(lines.events(), (Strings{"RTS+", "DTR! 5", "DTR-", "RTS-"}));
    EXPECT_EQ(keyer.handleLineFault(), EIO);
    EXPECT_FALSE(keyer.onAir());
    EXPECT_FALSE(lines.isOpen());
}

}  // namespace
}  // namespace kb

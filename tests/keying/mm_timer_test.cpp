// The keying timer: its property rules (shared by the real timer and the fake), and the
// real timer thread. Real-time checks only wait for things to happen, with bounds of
// seconds; how punctual the thread is, is the benchmark's business.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ostream>
#include <thread>

#include "keying/fake_mm_timer.h"
#include "keying/mm_timer.h"

namespace kb {
namespace {

using namespace std::chrono_literals;
using Effect = TimerProperties::Effect;

// ---- Property rules -----------------------------------------------------------------------

enum class Op { Enable, Disable, Interval, Mode, AtOnce };

struct RuleCase {
    const char* name;
    bool enabledBefore;
    Op op;
    int value;  // Interval: ms; Mode: 0 one-shot, 1 periodic
    bool kill;
    bool arm;
    int intervalAfter;
};

void PrintTo(const RuleCase& c, std::ostream* os) {
    *os << c.name;
}

class TimerRuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(TimerRuleTest, SaysWhatToDoWithThePendingEvent) {
    const RuleCase c = GetParam();
    TimerProperties p(1);  // Interval 10, periodic, disabled
    p.setEnabled(c.enabledBefore);
    Effect e;
    switch (c.op) {
        case Op::Enable: e = p.setEnabled(true); break;
        case Op::Disable: e = p.setEnabled(false); break;
        case Op::Interval: e = p.setInterval(c.value); break;
        case Op::Mode: e = p.setMode(static_cast<TTIMERMode>(c.value)); break;
        case Op::AtOnce:
            e = p.startAtOnce();
            EXPECT_TRUE(p.enabled());
            break;
    }
    EXPECT_EQ(e.kill, c.kill);
    EXPECT_EQ(e.arm, c.arm);
    EXPECT_EQ(e.atOnce, c.op == Op::AtOnce) << "only startAtOnce arms at once";
    EXPECT_EQ(p.interval(), c.intervalAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, TimerRuleTest,
    ::testing::Values(
        RuleCase{"EnableArms", false, Op::Enable, 0, false, true, 10},
        RuleCase{"EnableTwiceDoesNothing", true, Op::Enable, 0, false, false, 10},
        RuleCase{"DisableKills", true, Op::Disable, 0, true, false, 10},
        RuleCase{"DisableTwiceDoesNothing", false, Op::Disable, 0, false, false, 10},
        RuleCase{"SameIntervalIgnored", true, Op::Interval, 10, false, false, 10},
        RuleCase{"ZeroIntervalIgnored", true, Op::Interval, 0, false, false, 10},
        RuleCase{"NegativeIntervalIgnored", true, Op::Interval, -94, false, false, 10},
        RuleCase{"IntervalWhileEnabledRearms", true, Op::Interval, 283, true, true, 283},
        RuleCase{"IntervalWhileDisabledOnlyStores", false, Op::Interval, 94, true, false, 94},
        RuleCase{"ResolutionItselfTaken", false, Op::Interval, 1, true, false, 1},
        RuleCase{"SameModeIgnored", true, Op::Mode, 1, false, false, 10},
        RuleCase{"ModeWhileEnabledRearms", true, Op::Mode, 0, true, true, 10},
        RuleCase{"ModeWhileDisabledOnlyStores", false, Op::Mode, 0, true, false, 10},
        RuleCase{"AtOnceWhileDisabledArms", false, Op::AtOnce, 0, true, true, 10},
        RuleCase{"AtOnceWhileEnabledReplacesThePendingEvent", true, Op::AtOnce, 0, true, true, 10}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FakeMMTimer, BelowResolutionKeepsThePreviousInterval) {
    FakeMMTimer t;
    t.setTimerMode(TTIMERMode::TIME_ONESHOT);
    t.setInterval(94);
    t.setEnabled(true);
    t.setInterval(0);
    EXPECT_EQ(t.Interval(), 94);
    EXPECT_EQ(t.killCount(), 0);
    EXPECT_EQ(t.armedIntervals(), (std::vector<int>{94}));
    t.setInterval(283);
    EXPECT_EQ(t.killCount(), 1);
    EXPECT_EQ(t.armedIntervals(), (std::vector<int>{94, 283}));
}

TEST(FakeMMTimer, OneShotFiresOnceAndStaysEnabled) {
    FakeMMTimer t;
    int fired = 0;
    t.setOnTimer([&](MultimediaTimer&) { ++fired; });
    t.setTimerMode(TTIMERMode::TIME_ONESHOT);
    t.setEnabled(true);
    EXPECT_TRUE(t.fire());
    EXPECT_FALSE(t.fire());
    EXPECT_EQ(fired, 1);
    EXPECT_TRUE(t.Enabled());
}

TEST(TMMTimerCatchUp, LateStepIsCaughtUpButNeverBelowHalfAnInterval) {
    using T = TMMTimer::SteadyClock::time_point;
    const T fired{std::chrono::seconds(100)};
    const auto i = 94ms;
    // On time or a little late: the next event keeps its place in the schedule.
    EXPECT_EQ(TMMTimer::caughtUp(fired, i, fired), fired + 94ms);
    EXPECT_EQ(TMMTimer::caughtUp(fired, i, fired + 3ms), fired + 94ms);
    EXPECT_EQ(TMMTimer::caughtUp(fired, i, fired + 47ms), fired + 94ms);
    // Later than half an interval: the next element or gap keeps half its length.
    EXPECT_EQ(TMMTimer::caughtUp(fired, i, fired + 60ms), fired + 107ms);
    EXPECT_EQ(TMMTimer::caughtUp(fired, i, fired + 500ms), fired + 547ms);
}

// ---- The real timer thread --------------------------------------------------------------------

// Polls until pred holds or the bound passes; true when it held.
template <class Pred>
bool eventually(Pred pred, std::chrono::milliseconds bound = 5s) {
    const auto until = std::chrono::steady_clock::now() + bound;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST(TMMTimer, StartsPeriodicTenMsDisabled) {
    TMMTimer t;
    EXPECT_FALSE(t.Enabled());
    EXPECT_EQ(t.Interval(), 10);
    EXPECT_EQ(t.TimerMode(), TTIMERMode::TIME_PERIODIC);
    EXPECT_EQ(t.resolution(), 1);
}

TEST(TMMTimer, OneShotFiresOnceWithItselfAsSender) {
    TMMTimer t;
    std::atomic<int> fired{0};
    std::atomic<bool> senderOk{false};
    t.setOnTimer([&](MultimediaTimer& sender) {
        senderOk = &sender == &t;
        ++fired;
    });
    t.setTimerMode(TTIMERMode::TIME_ONESHOT);
    t.setInterval(3);
    t.setEnabled(true);
    ASSERT_TRUE(eventually([&] { return fired.load() >= 1; }));
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(fired.load(), 1);
    EXPECT_TRUE(senderOk.load());
    EXPECT_TRUE(t.Enabled());
}

TEST(TMMTimer, PeriodicFiresUntilDisabledAndNeverAfter) {
    TMMTimer t;
    std::atomic<int> fired{0};
    t.setOnTimer([&](MultimediaTimer&) { ++fired; });
    t.setInterval(2);
    t.setEnabled(true);
    ASSERT_TRUE(eventually([&] { return fired.load() >= 5; }));
    t.setEnabled(false);
    const int atDisarm = fired.load();
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(fired.load(), atDisarm);
}

TEST(TMMTimer, DisarmedEventNeverFires) {
    TMMTimer t;
    std::atomic<int> fired{0};
    t.setOnTimer([&](MultimediaTimer&) { ++fired; });
    t.setTimerMode(TTIMERMode::TIME_ONESHOT);
    t.setInterval(300);
    t.setEnabled(true);
    t.setEnabled(false);
    std::this_thread::sleep_for(450ms);
    EXPECT_EQ(fired.load(), 0);
}

TEST(TMMTimer, EarlierDeadlineWakesTheSleepingThread) {
    TMMTimer t;
    std::atomic<int> fired{0};
    t.setOnTimer([&](MultimediaTimer&) { ++fired; });
    t.setTimerMode(TTIMERMode::TIME_ONESHOT);
    t.setInterval(60000);
    t.setEnabled(true);
    std::this_thread::sleep_for(5ms);  // let the thread go to sleep on the minute
    t.setInterval(5);                  // kill and re-arm
    EXPECT_TRUE(eventually([&] { return fired.load() == 1; }));
}

TEST(TMMTimer, ChainReArmedFromOnTimerKeepsTheScheduleTimes) {
    TMMTimer t;
    constexpr int Steps = 20;
    constexpr int IntervalMs = 2;
    std::atomic<int> fired{0};
    std::atomic<std::int64_t> lastNs{0};
    t.setOnTimer([&](MultimediaTimer& self) {
        lastNs = std::chrono::steady_clock::now().time_since_epoch().count();
        self.setEnabled(false);
        if (++fired < Steps) self.setEnabled(true);
    });
    t.setTimerMode(TTIMERMode::TIME_ONESHOT);
    t.setInterval(IntervalMs);
    const auto start = std::chrono::steady_clock::now();
    t.setEnabled(true);
    ASSERT_TRUE(eventually([&] { return fired.load() == Steps; }));
    // Each step is due a whole interval after the one before, never earlier.
    const auto elapsed = std::chrono::nanoseconds(lastNs.load()) - start.time_since_epoch();
    EXPECT_GE(elapsed, std::chrono::milliseconds(Steps * IntervalMs));
}

TEST(TMMTimer, ChainFromAnAtOnceEventCountsFromWhenItRan) {
    TMMTimer t;
    constexpr auto Interval = 10ms;
    std::atomic<int> fired{0};
    std::atomic<std::int64_t> atOnceBeganNs{0}, nextBeganNs{0};
    t.setOnTimer([&](MultimediaTimer& self) {
        const std::int64_t now = std::chrono::steady_clock::now().time_since_epoch().count();
        switch (fired.load()) {
            case 0:
                // Due at once, but the thread stays busy here: the event runs 20 ms after
                // it was armed, as after a wake-up that late.
                self.startAtOnce();
                std::this_thread::sleep_for(2 * Interval);
                break;
            case 1:
                atOnceBeganNs = now;
                self.setEnabled(false);
                self.setEnabled(true);
                break;
            default:
                nextBeganNs = now;
                self.setEnabled(false);
                break;
        }
        ++fired;
    });
    t.setTimerMode(TTIMERMode::TIME_ONESHOT);
    t.setInterval(static_cast<int>(Interval.count()));
    t.setEnabled(true);
    ASSERT_TRUE(eventually([&] { return fired.load() == 3; }));
    // The whole interval after the at-once event began, not one caught up from its arming.
    EXPECT_GE(std::chrono::nanoseconds(nextBeganNs.load() - atOnceBeganNs.load()), Interval);
}

TEST(TMMTimer, DisarmWaitsForTheStepInProgress) {
    TMMTimer t;
    std::atomic<bool> inside{false};
    std::atomic<bool> done{false};
    t.setOnTimer([&](MultimediaTimer&) {
        inside = true;
        std::this_thread::sleep_for(40ms);  // a slow line change
        done = true;
    });
    t.setTimerMode(TTIMERMode::TIME_ONESHOT);
    t.setInterval(1);
    t.setEnabled(true);
    ASSERT_TRUE(eventually([&] { return inside.load(); }));
    t.setEnabled(false);
    EXPECT_TRUE(done.load());
}

TEST(TMMTimer, DestroyedWhileArmedReturnsAndNeverFires) {
    std::atomic<int> fired{0};
    {
        TMMTimer t;
        t.setOnTimer([&](MultimediaTimer&) { ++fired; });
        t.setInterval(10000);
        t.setEnabled(true);
    }
    EXPECT_EQ(fired.load(), 0);
}

}  // namespace
}  // namespace kb

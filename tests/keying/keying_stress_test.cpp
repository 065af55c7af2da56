// Disarms racing late steps on the real keying timer thread, for ThreadSanitizer and for
// the one guarantee the keying rests on: once a disarm has returned, no step of that
// arming acts. Every line change and every start/disarm of the GUI side goes into one
// ordered record; afterwards the record is checked character by character.

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "keying/clock.h"
#include "keying/fake_io_ctrl.h"
#include "keying/keyer.h"
#include "keying/mm_timer.h"

namespace kb {
namespace {

using namespace std::chrono_literals;

// Serial lines that put each change into one record with the GUI side's markers, in the
// order they really happened (one mutex orders them all).
class SequencedLines final : public SerialLines {
public:
    enum class Kind { Change, Start, Stopped };
    struct Event {
        Kind kind;
        bool timerThread;  // Change: made on a thread other than the GUI's
        std::uint8_t mask;
        bool up;
        int generation;  // Start / Stopped: the character
        bool dtrLevel;   // Stopped: DTR when the disarm had returned
    };

    explicit SequencedLines(std::size_t reserve) : gui_(std::this_thread::get_id()) {
        events_.reserve(reserve);
    }

    std::error_code open(const std::string&) override {
        open_ = true;
        return {};
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    int setLines(std::uint8_t mask) override { return change(mask, true); }
    int clearLines(std::uint8_t mask) override { return change(mask, false); }

    void mark(Kind kind, int generation) {
        std::lock_guard lock(mutex_);
        events_.push_back({kind, false, 0, false, generation, dtr_});
    }
    std::vector<Event> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }

private:
    int change(std::uint8_t mask, bool up) {
        std::lock_guard lock(mutex_);
        if (mask & LineDtr) dtr_ = up;
        events_.push_back({Kind::Change, std::this_thread::get_id() != gui_, mask, up, 0, dtr_});
        return 0;
    }

    const std::thread::id gui_;
    std::atomic<bool> open_{false};
    mutable std::mutex mutex_;
    bool dtr_ = false;
    std::vector<Event> events_;
};

KeyingSchedule randomSchedule(std::mt19937& rng) {
    std::uniform_int_distribution<int> elements(1, 3), element(1, 2), gap(1, 1);
    KeyingSchedule s;
    const int n = elements(rng);
    for (int k = 0; k < n; ++k) {
        s.steps[static_cast<std::size_t>(s.stepCount++)] = element(rng);
        s.steps[static_cast<std::size_t>(s.stepCount++)] = -gap(rng);
    }
    s.steps[static_cast<std::size_t>(s.stepCount - 1)] = 0;
    return s;
}

// When to disarm: often right at one of the character's first step deadlines, give or take
// a little, so the disarm meets a step that is just coming due; sometimes at once, racing
// the first step (the key-down, due as soon as startKeying arms it); else anywhere in its
// first milliseconds; now and then only after its end.
std::chrono::microseconds disarmDelay(const KeyingSchedule& s, std::mt19937& rng) {
    std::vector<int> deadlinesUs;
    int t = 0;
    for (int i = 0; i < s.stepCount && s.steps[static_cast<std::size_t>(i)] != 0; ++i) {
        t += std::abs(s.steps[static_cast<std::size_t>(i)]) * 1000;
        deadlinesUs.push_back(t);
    }
    std::uniform_int_distribution<int> pick(0, 9);
    const int how = pick(rng);
    if (how < 5) {
        std::uniform_int_distribution<std::size_t> which(
            0, std::min<std::size_t>(deadlinesUs.size(), 3) - 1);
        std::uniform_int_distribution<int> jitter(-150, 150);
        return std::chrono::microseconds(std::max(0, deadlinesUs[which(rng)] + jitter(rng)));
    }
    if (how < 6) {
        std::uniform_int_distribution<int> atOnce(0, 30);
        return std::chrono::microseconds(atOnce(rng));
    }
    if (how < 9) {
        std::uniform_int_distribution<int> anywhere(0, std::min(t, 3000));
        return std::chrono::microseconds(anywhere(rng));
    }
    return std::chrono::microseconds(t + 1500);  // let it run to its end
}

TEST(KeyingStress, NoStepActsAfterADisarm) {
    constexpr int Characters = 2000;
    MonotonicClock clock;
    SequencedLines lines(Characters * 16);
    FakeIOCtrl lpt(clock, Characters * 16);
    lpt.setAddress(1, 0x378);
    lpt.setControl(0xC0);
    TMMTimer timer;
    Keyer keyer(lines, lpt, timer);
    std::atomic<int> faults{0};
    keyer.setLineFaultNotifier([&] { ++faults; });

    keyer.setPttLineMask(LineRts);
    keyer.setCwLineMask(LineDtr);
    ASSERT_EQ(keyer.selectComPort(1, false), Keyer::ComResult::Opened);
    keyer.loadLptAddresses();
    ASSERT_EQ(keyer.selectLpt(1).result, Keyer::LptResult::Accepted);
    ASSERT_TRUE(keyer.pttStart());
    const std::uint16_t idle = keyer.LptControlIdle();

    std::mt19937 rng(20240607);
    std::vector<int> stepsOf(Characters);
    int lptNotIdleAfterStop = 0;
    std::uniform_int_distribution<int> stopKind(0, 9);
    for (int g = 0; g < Characters; ++g) {
        const KeyingSchedule s = randomSchedule(rng);
        stepsOf[static_cast<std::size_t>(g)] = s.stepCount;
        const auto delay = disarmDelay(s, rng);
        lines.mark(SequencedLines::Kind::Start, g);
        keyer.startKeying(s);
        std::this_thread::sleep_for(delay);
        if (stopKind(rng) == 0) {
            keyer.releaseTransmitter();  // a stop: PTT goes too, and comes back
            lines.mark(SequencedLines::Kind::Stopped, g);
            ASSERT_TRUE(keyer.pttStart());
        } else {
            keyer.disarmKeying();
            lines.mark(SequencedLines::Kind::Stopped, g);
        }
        if (lpt.control() != idle) ++lptNotIdleAfterStop;
    }
    // Anything still under way would show up here.
    std::this_thread::sleep_for(20ms);
    keyer.shutdown();

    int actedAfterDisarm = 0, outOfOrder = 0, keyLeftDown = 0, pttTouched = 0;
    int timerChanges = 0, cutShort = 0, guiKeyDowns = 0, neverKeyed = 0;
    bool armed = false;
    int g = -1, changesOfG = 0;
    for (const auto& e : lines.events()) {
        switch (e.kind) {
            case SequencedLines::Kind::Start:
                armed = true;
                g = e.generation;
                changesOfG = 0;
                break;
            case SequencedLines::Kind::Stopped:
                armed = false;
                if (e.dtrLevel) ++keyLeftDown;
                if (changesOfG < stepsOf[static_cast<std::size_t>(g)]) ++cutShort;
                if (changesOfG == 0) ++neverKeyed;
                break;
            case SequencedLines::Kind::Change:
                if (!e.timerThread) {
                    // The GUI side keys only the key-up of a character it cuts short.
                    if ((e.mask & LineDtr) && e.up) ++guiKeyDowns;
                    break;
                }
                ++timerChanges;
                if (!armed) {
                    ++actedAfterDisarm;
                    break;
                }
                if (e.mask != LineDtr) ++pttTouched;
                // Timer steps of a character alternate key down, key up, ..., starting
                // with the first key-down, at most one per step.
                if (e.up != (changesOfG % 2 == 0)) ++outOfOrder;
                if (++changesOfG > stepsOf[static_cast<std::size_t>(g)]) ++outOfOrder;
                break;
        }
    }
    std::printf("characters %d, timer steps %d, cut short %d (%d before the first key-down)\n",
                Characters, timerChanges, cutShort, neverKeyed);
    EXPECT_EQ(actedAfterDisarm, 0);
    EXPECT_EQ(outOfOrder, 0);
    EXPECT_EQ(keyLeftDown, 0);
    EXPECT_EQ(pttTouched, 0);
    EXPECT_EQ(guiKeyDowns, 0);
    EXPECT_EQ(lptNotIdleAfterStop, 0);
    EXPECT_EQ(faults.load(), 0);
    // The run must really have raced: many steps on the timer thread, many characters cut
    // short (bounds loose enough for a machine so busy that most sleeps overshoot).
    EXPECT_GT(timerChanges, Characters / 2);
    EXPECT_GT(cutShort, Characters / 10);
}

}  // namespace
}  // namespace kb

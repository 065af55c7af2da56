#pragma once
// The keying timer: one-shot (or periodic) events with a callback on a thread of their own,
// behind a small interface so the keying steps can be driven by hand in tests.
//
// Threads
//   GUI thread:   construction, destruction, setOnTimer, and the property setters and
//                 getters while the timer is idle or between characters.
//   Timer thread: OnTimer, and the setters/getters that OnTimer itself calls (a keying step
//                 disarms and re-arms its own timer).
//
// Shared state (TMMTimer)
//   Everything the two threads share (Enabled, Interval, TimerMode, the id of the pending
//   event and its deadline) sits behind one small mutex. The timer thread holds it while it
//   decides that an event is due AND while OnTimer runs; it releases it while sleeping. So:
//   - a setter on the GUI thread never runs in the middle of a step: it waits at most for
//     the step in progress (a keying step is one or two ioctls, microseconds on a UART,
//     about a millisecond on a USB adapter; the GUI would pay the same for its own
//     ioctl on that device);
//   - once setEnabled(false) returns on the GUI thread, no OnTimer of the old arming runs
//     and none will: each arming gets a fresh event id, the thread compares it with the
//     stored id under the mutex right before calling OnTimer, and a disarm clears it;
//   - OnTimer's own calls to the setters do not lock again (the thread already holds the
//     mutex; a thread-local marks "inside OnTimer of this timer");
//   - the GUI never holds the mutex across I/O: it only flips a few fields and signals.
//   The timer thread allocates nothing after start-up: waiting, the id check and calling
//   OnTimer (a std::function set once beforehand) are allocation-free.
//
// Sleeping: absolute CLOCK_MONOTONIC deadlines. The wait is a condition variable's clock
// wait (pthread_cond_clockwait on CLOCK_MONOTONIC, the same high-resolution kernel timer
// as clock_nanosleep with TIMER_ABSTIME) so that a disarm, or a re-arm with an earlier
// deadline, wakes the thread at once instead of after the old deadline.
//
// Drift: a one-shot re-armed from inside OnTimer counts its interval from the deadline that
// just fired, not from the moment of re-arming, so a chain of steps keeps the schedule's
// absolute times and wake-up latency does not add up along a character. A step that ran
// late is caught up, but the next event never comes sooner than half its interval after
// the re-arming, so a stall can shorten the next element or gap to no less than half;
// beyond that the rest of the chain moves later. Periodic events follow the same rule.
//
// Starting at once: startAtOnce() arms an event that is due the moment it is armed, so the
// first step of a chain runs on the timer thread rather than on the caller's. Such an event
// has no place in a schedule to keep: its chain counts from the moment its OnTimer began.
// Counting from the arming instead would make the catch-up rule shorten the first interval
// by however long the thread took to wake.
//
// Scheduling: the thread asks for SCHED_FIFO; where the system refuses (the normal case for
// a desktop user without rtprio), it keeps normal scheduling with a minimal timer slack and
// notes the refusal once on stderr.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace kb {

enum class TTIMERMode : int { TIME_ONESHOT = 0, TIME_PERIODIC = 1 };

class MultimediaTimer {
public:
    // Called on the timer thread; the sender is the timer.
    using Notify = std::function<void(MultimediaTimer& sender)>;

    virtual ~MultimediaTimer() = default;

    virtual bool Enabled() const = 0;
    // Unchanged: nothing. True arms an event Interval ms from now; false disarms.
    virtual void setEnabled(bool enabled) = 0;
    // Enabled, with an event due at once in place of any pending one; what its OnTimer
    // re-arms counts from the moment that OnTimer began. Interval and TimerMode stay.
    virtual void startAtOnce() = 0;
    virtual int Interval() const = 0;
    // Ignored when equal to the current value or below the resolution; otherwise the
    // pending event is killed, the value stored, and a new event armed when Enabled.
    virtual void setInterval(int ms) = 0;
    virtual TTIMERMode TimerMode() const = 0;
    // Ignored when unchanged; otherwise kill, store, re-arm when Enabled.
    virtual void setTimerMode(TTIMERMode mode) = 0;
    // Set once, while disabled, on the GUI thread.
    virtual void setOnTimer(Notify onTimer) = 0;
    virtual int resolution() const = 0;
};

// The property rules both implementations share. Each setter says what the timer must do
// with its pending event.
class TimerProperties {
public:
    struct Effect {
        bool kill = false;    // kill the pending event
        bool arm = false;     // then arm a new one with the current Interval and TimerMode
        bool atOnce = false;  // the new one is due at once rather than an Interval from now
    };

    static constexpr int DefaultInterval = 10;

    explicit TimerProperties(int resolution) : resolution_(resolution) {}

    bool enabled() const { return enabled_; }
    int interval() const { return interval_; }
    TTIMERMode mode() const { return mode_; }
    int resolution() const { return resolution_; }

    Effect setEnabled(bool enabled);
    Effect startAtOnce();
    Effect setInterval(int ms);
    Effect setMode(TTIMERMode mode);

private:
    int resolution_;
    bool enabled_ = false;
    int interval_ = DefaultInterval;
    TTIMERMode mode_ = TTIMERMode::TIME_PERIODIC;
};

class TMMTimer final : public MultimediaTimer {
public:
    static constexpr int Resolution = 1;  // ms

    // Starts the timer thread. Interval 10, TIME_PERIODIC, not enabled. With tryRealtime
    // false the thread keeps normal scheduling (the benchmark compares both).
    explicit TMMTimer(bool tryRealtime = true);
    // Disarms and joins the thread. Never from inside OnTimer.
    ~TMMTimer() override;
    TMMTimer(const TMMTimer&) = delete;
    TMMTimer& operator=(const TMMTimer&) = delete;

    bool Enabled() const override;
    void setEnabled(bool enabled) override;
    void startAtOnce() override;
    int Interval() const override;
    void setInterval(int ms) override;
    TTIMERMode TimerMode() const override;
    void setTimerMode(TTIMERMode mode) override;
    void setOnTimer(Notify onTimer) override;
    int resolution() const override { return Resolution; }

    // Whether the thread runs with SCHED_FIFO. Blocks until the thread has tried.
    bool realtime() const;

    using SteadyClock = std::chrono::steady_clock;
    // The deadline of the event that follows one due at `fired`, re-armed at `now`: the
    // interval counted from `fired`, but no sooner than half an interval after `now`.
    static SteadyClock::time_point caughtUp(SteadyClock::time_point fired,
                                            std::chrono::milliseconds interval,
                                            SteadyClock::time_point now);

private:
    // Locks the mutex unless called from OnTimer of this timer, which already holds it.
    class StateLock;

    void run(bool tryRealtime);
    void apply(TimerProperties::Effect effect);  // mutex held
    void arm(bool atOnce);                       // mutex held
    bool insideOnTimer() const;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    TimerProperties props_{Resolution};
    Notify onTimer_;
    std::uint64_t pendingId_ = 0;  // 0: no event pending
    std::uint64_t lastId_ = 0;
    SteadyClock::time_point deadline_{};
    bool atOnce_ = false;  // the pending event came from startAtOnce
    // What the running OnTimer's re-arming counts from: its deadline, or for an event due
    // at once, the moment it began.
    SteadyClock::time_point firedDeadline_{};
    bool quit_ = false;
    int schedState_ = 0;  // 0 not tried yet, 1 real-time, 2 normal
    mutable std::condition_variable schedKnown_;
    std::thread thread_;
};

}  // namespace kb

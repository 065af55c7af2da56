#pragma once
// A keying timer for tests: no thread, no time. The test fires the pending event by hand
// (fire), or plays a late event of an arming that was already killed (fireLate), and reads
// back what was armed. Same property rules as TMMTimer. Single-threaded: the test calls
// everything, OnTimer included, on its own thread.

#include <vector>

#include "keying/mm_timer.h"

namespace kb {

class FakeMMTimer final : public MultimediaTimer {
public:
    FakeMMTimer() : props_(1) {}

    bool Enabled() const override { return props_.enabled(); }
    void setEnabled(bool enabled) override { apply(props_.setEnabled(enabled)); }
    void startAtOnce() override { apply(props_.startAtOnce()); }
    int Interval() const override { return props_.interval(); }
    void setInterval(int ms) override { apply(props_.setInterval(ms)); }
    TTIMERMode TimerMode() const override { return props_.mode(); }
    void setTimerMode(TTIMERMode mode) override { apply(props_.setMode(mode)); }
    void setOnTimer(Notify onTimer) override { onTimer_ = std::move(onTimer); }
    int resolution() const override { return props_.resolution(); }

    // An event is armed and has not fired yet (one-shot) or keeps firing (periodic).
    bool pending() const { return pending_; }
    // The interval of the pending event, as it was armed; 0 for an event due at once.
    int pendingInterval() const { return pendingInterval_; }
    // Every arming's interval, in order; 0 for an event due at once.
    const std::vector<int>& armedIntervals() const { return armed_; }
    int killCount() const { return kills_; }

    // The pending event comes due: OnTimer runs, as the system calls it for an event
    // whose id is still the stored one. Returns false when no event was pending.
    bool fire() {
        if (!pending_) return false;
        if (props_.mode() == TTIMERMode::TIME_ONESHOT) pending_ = false;
        if (onTimer_) onTimer_(*this);
        return true;
    }

    // A callback that was already under way when its event was killed: OnTimer runs
    // whatever the timer's state. The keying step must notice and do nothing.
    void fireLate() {
        if (onTimer_) onTimer_(*this);
    }

private:
    void apply(TimerProperties::Effect e) {
        if (e.kill) {
            if (pending_) ++kills_;
            pending_ = false;
        }
        if (e.arm) {
            pending_ = true;
            pendingInterval_ = e.atOnce ? 0 : props_.interval();
            armed_.push_back(pendingInterval_);
        }
    }

    TimerProperties props_;
    Notify onTimer_;
    bool pending_ = false;
    int pendingInterval_ = 0;
    int kills_ = 0;
    std::vector<int> armed_;
};

}  // namespace kb

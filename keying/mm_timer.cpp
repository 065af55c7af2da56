#include "keying/mm_timer.h"

#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

namespace kb {

// ---- Property rules ------------------------------------------------------------------

TimerProperties::Effect TimerProperties::setEnabled(bool enabled) {
    if (enabled == enabled_) return {};
    enabled_ = enabled;
    return enabled ? Effect{false, true} : Effect{true, false};
}

TimerProperties::Effect TimerProperties::startAtOnce() {
    enabled_ = true;
    return {true, true, true};
}

TimerProperties::Effect TimerProperties::setInterval(int ms) {
    if (ms == interval_ || ms < resolution_) return {};
    interval_ = ms;
    return {true, enabled_};
}

TimerProperties::Effect TimerProperties::setMode(TTIMERMode mode) {
    if (mode == mode_) return {};
    mode_ = mode;
    return {true, enabled_};
}

// ---- TMMTimer ----------------------------------------------------------------------------

namespace {

// The timer whose OnTimer runs on this thread, if any.
thread_local const TMMTimer* tlsInsideOnTimer = nullptr;

// The first real-time refusal of the process is noted; later timers stay quiet.
std::atomic<bool> refusalNoted{false};

bool enterRealtime() {
    sched_param param{};
    // Above ordinary threads and below the kernel's own real-time helpers; the thread
    // sleeps almost all the time, so it never starves anything.
    param.sched_priority = sched_get_priority_min(SCHED_FIFO) + 9;
    const int rc = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
    if (rc == 0) return true;
    if (!refusalNoted.exchange(true)) {
        std::fprintf(stderr,
                     "keybird: real-time scheduling refused for the keying timer (%s); "
                     "using normal scheduling\n",
                     std::strerror(rc));
    }
    return false;
}

}  // namespace

class TMMTimer::StateLock {
public:
    explicit StateLock(const TMMTimer& t) : lock_(t.mutex_, std::defer_lock) {
        if (!t.insideOnTimer()) lock_.lock();
    }

private:
    std::unique_lock<std::mutex> lock_;
};

TMMTimer::TMMTimer(bool tryRealtime) : thread_([this, tryRealtime] { run(tryRealtime); }) {}

TMMTimer::~TMMTimer() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        pendingId_ = 0;
    }
    wake_.notify_all();
    thread_.join();
}

bool TMMTimer::insideOnTimer() const {
    return tlsInsideOnTimer == this;
}

bool TMMTimer::Enabled() const {
    StateLock lock(*this);
    return props_.enabled();
}

int TMMTimer::Interval() const {
    StateLock lock(*this);
    return props_.interval();
}

TTIMERMode TMMTimer::TimerMode() const {
    StateLock lock(*this);
    return props_.mode();
}

void TMMTimer::setEnabled(bool enabled) {
    StateLock lock(*this);
    apply(props_.setEnabled(enabled));
}

void TMMTimer::startAtOnce() {
    if (insideOnTimer()) {
        apply(props_.startAtOnce());
        return;
    }
    // The event is due now, so the thread is woken only once the mutex is free: woken
    // under it, a real-time thread would preempt this one only to block on the mutex, and
    // the event would pay for two more switches.
    {
        std::lock_guard lock(mutex_);
        const TimerProperties::Effect e = props_.startAtOnce();
        if (e.kill) pendingId_ = 0;
        arm(e.atOnce);
    }
    wake_.notify_one();
}

void TMMTimer::setInterval(int ms) {
    StateLock lock(*this);
    apply(props_.setInterval(ms));
}

void TMMTimer::setTimerMode(TTIMERMode mode) {
    StateLock lock(*this);
    apply(props_.setMode(mode));
}

void TMMTimer::setOnTimer(Notify onTimer) {
    StateLock lock(*this);
    onTimer_ = std::move(onTimer);
}

bool TMMTimer::realtime() const {
    std::unique_lock lock(mutex_);
    schedKnown_.wait(lock, [this] { return schedState_ != 0; });
    return schedState_ == 1;
}

void TMMTimer::apply(TimerProperties::Effect effect) {
    if (effect.kill) pendingId_ = 0;
    if (effect.arm) arm(effect.atOnce);
    // Wake the thread so it drops a killed event or takes the new deadline. From inside
    // OnTimer the thread is busy in the callback and picks the change up afterwards.
    if ((effect.kill || effect.arm) && !insideOnTimer()) wake_.notify_one();
}

TMMTimer::SteadyClock::time_point TMMTimer::caughtUp(SteadyClock::time_point fired,
                                                     std::chrono::milliseconds interval,
                                                     SteadyClock::time_point now) {
    return std::max(fired + interval, now + interval / 2);
}

void TMMTimer::arm(bool atOnce) {
    const auto interval = std::chrono::milliseconds(props_.interval());
    const auto now = SteadyClock::now();
    if (atOnce) {
        deadline_ = now;
    } else {
        deadline_ = insideOnTimer() ? caughtUp(firedDeadline_, interval, now) : now + interval;
    }
    atOnce_ = atOnce;
    pendingId_ = ++lastId_;
}

void TMMTimer::run(bool tryRealtime) {
    const bool rt = tryRealtime && enterRealtime();
    // Without real-time scheduling the kernel may defer a wake-up by the thread's timer
    // slack (50 us by default); ask for the minimum.
    if (!rt) prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);

    std::unique_lock lock(mutex_);
    schedState_ = rt ? 1 : 2;
    schedKnown_.notify_all();

    while (!quit_) {
        if (pendingId_ == 0) {
            wake_.wait(lock);
            continue;
        }
        const std::uint64_t id = pendingId_;
        const SteadyClock::time_point deadline = deadline_;
        const bool atOnce = atOnce_;
        if (!atOnce) wake_.wait_until(lock, deadline, [&] { return quit_ || pendingId_ != id; });
        // The stored id must still be the one this wait was for: a kill or re-arm in the
        // meantime makes the event stale, and a stale event does nothing.
        const SteadyClock::time_point now = SteadyClock::now();
        if (quit_ || pendingId_ != id || now < deadline) continue;
        const SteadyClock::time_point origin = atOnce ? now : deadline;

        if (props_.mode() == TTIMERMode::TIME_PERIODIC) {
            deadline_ =
                caughtUp(origin, std::chrono::milliseconds(props_.interval()), SteadyClock::now());
            atOnce_ = false;
        } else {
            // The one-shot event is spent; Enabled stays as it is until someone changes it.
            pendingId_ = 0;
        }
        if (onTimer_) {
            firedDeadline_ = origin;
            tlsInsideOnTimer = this;
            onTimer_(*this);
            tlsInsideOnTimer = nullptr;
        }
    }
}

}  // namespace kb

#pragma once
// Time as an argument: the keying fakes stamp every line change with a Clock, so tests
// can use a clock they step by hand and the benchmark can use the monotonic one.
// Any thread may call now(); both implementations are lock-free.

#include <atomic>
#include <cstdint>

namespace kb {

class Clock {
public:
    virtual ~Clock() = default;
    // Nanoseconds from an arbitrary fixed origin; never goes backwards.
    virtual std::int64_t nowNs() const = 0;
};

// CLOCK_MONOTONIC, the clock the keying timer sleeps on.
class MonotonicClock final : public Clock {
public:
    std::int64_t nowNs() const override;
};

// Moves only when told to.
class FakeClock final : public Clock {
public:
    std::int64_t nowNs() const override { return now_.load(std::memory_order_relaxed); }
    void set(std::int64_t ns) { now_.store(ns, std::memory_order_relaxed); }
    void advanceMs(std::int64_t ms) { now_.fetch_add(ms * 1'000'000, std::memory_order_relaxed); }

private:
    std::atomic<std::int64_t> now_{0};
};

}  // namespace kb

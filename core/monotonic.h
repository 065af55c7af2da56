#pragma once
// The monotonic clock in nanoseconds: the clock the keying timer sleeps on and the sound
// output stamps its hand-overs with. Any thread; never blocks.

#include <time.h>

#include <cstdint>

namespace kb {

inline std::int64_t monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

}  // namespace kb

#include "keying/clock.h"

#include <ctime>

namespace kb {

std::int64_t MonotonicClock::nowNs() const {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

}  // namespace kb

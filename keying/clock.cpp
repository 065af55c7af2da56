#include "keying/clock.h"

#include "core/monotonic.h"

namespace kb {

std::int64_t MonotonicClock::nowNs() const {
    return monotonicNs();
}

}  // namespace kb

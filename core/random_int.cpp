#include "core/random_int.h"

#include <ctime>

namespace kb {

std::uint32_t clockSeed() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const auto ns = static_cast<std::uint64_t>(ts.tv_sec) * 1000000000u +
                    static_cast<std::uint64_t>(ts.tv_nsec);
    return static_cast<std::uint32_t>(ns);
}

}  // namespace kb

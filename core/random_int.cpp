#include "core/random_int.h"

#include "core/monotonic.h"

namespace kb {

std::uint32_t clockSeed() {
    return static_cast<std::uint32_t>(monotonicNs());
}

}  // namespace kb

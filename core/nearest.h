#pragma once
// Real-to-integer conversion used throughout the timing and synthesis arithmetic.
// Every such conversion goes to the nearest integer with exact halves to the even
// neighbour, and the arithmetic feeding it is done in long double (x87 extended, 64-bit
// mantissa on x86-64 Linux) so the lengths match those users have always heard.

#include <cfenv>
#include <cmath>
#include <cstdint>

namespace kb {

using Real = long double;

inline std::int64_t nearest(Real x) {
    // llrintl honours the current rounding mode; the program never changes it from
    // FE_TONEAREST, which is round-half-to-even.
    return std::llrintl(x);
}

}  // namespace kb

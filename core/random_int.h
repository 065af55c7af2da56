#pragma once
// The program's one pseudo-random source: a 32-bit linear congruential generator.
// Random groups, the quiz, noise and fading all draw from the same sequence, so a
// seed reproduces a whole session (keybird-render --seed relies on that).

#include <cstdint>

namespace kb {

class RandomInt {
public:
    explicit RandomInt(std::uint32_t seed = 0) : seed_(seed) {}

    void seed(std::uint32_t s) { seed_ = s; }
    std::uint32_t state() const { return seed_; }

    // A value in 0..n-1 (0 when n is 0): the high 32 bits of n times the new state.
    std::uint32_t operator()(std::uint32_t n) {
        seed_ = seed_ * 134775813u + 1u;
        return static_cast<std::uint32_t>((static_cast<std::uint64_t>(n) * seed_) >> 32);
    }

private:
    std::uint32_t seed_;
};

// A seed taken from the monotonic clock, as the program does once at start-up.
std::uint32_t clockSeed();

}  // namespace kb

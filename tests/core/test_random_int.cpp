#include <gtest/gtest.h>

#include <cstdint>

#include "core/random_int.h"

namespace kb {
namespace {

// Expected values worked out by hand from seed := seed * 134775813 + 1 (mod 2^32) and
// result := high 32 bits of n * seed, not by running the generator.
TEST(RandomInt, FollowsTheLinearCongruentialSequenceFromSeedZero) {
    RandomInt r(0);
    const std::uint32_t states[] = {1u, 134775814u, 3698175007u, 870078620u, 1172187917u};
    const std::uint32_t values[] = {0u, 3u, 86u, 20u, 27u};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(r(100), values[k]) << "draw " << k;
        EXPECT_EQ(r.state(), states[k]) << "draw " << k;
    }
}

TEST(RandomInt, ScalesEachDrawByItsOwnRange) {
    RandomInt r(12345);
    EXPECT_EQ(r(10), 3u);
    EXPECT_EQ(r.state(), 1655067934u);
    EXPECT_EQ(r(1000), 289u);
    EXPECT_EQ(r(0xFFFFFFFFu), 342459379u);  // the largest range stays below n
    EXPECT_EQ(r(1), 0u);
    EXPECT_EQ(r(44), 27u);
}

TEST(RandomInt, RangeZeroGivesZeroButStillAdvances) {
    RandomInt r(7);
    EXPECT_EQ(r(0), 0u);
    EXPECT_EQ(r.state(), 7u * 134775813u + 1u);
}

TEST(RandomInt, ReseedingRepeatsTheSequence) {
    RandomInt a(99), b(1);
    b.seed(99);
    for (int k = 0; k < 100; ++k) ASSERT_EQ(a(44), b(44));
}

}  // namespace
}  // namespace kb

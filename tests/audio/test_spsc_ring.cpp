#include "audio/spsc_ring.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <thread>
#include <vector>

namespace kb {
namespace {

TEST(SpscRing, CapacityIsRoundedUpToAPowerOfTwo) {
    EXPECT_EQ(SpscRing<std::int16_t>(1000).capacity(), 1024u);
    EXPECT_EQ(SpscRing<std::int16_t>(1024).capacity(), 1024u);
    EXPECT_EQ(SpscRing<std::int16_t>(1025).capacity(), 2048u);
}

TEST(SpscRing, FullRingRefusesAWholeRunAndKeepsWhatItHas) {
    SpscRing<std::int16_t> ring(8);
    std::vector<std::int16_t> six{1, 2, 3, 4, 5, 6};
    ASSERT_TRUE(ring.push(six.data(), 6));
    EXPECT_EQ(ring.freeSpace(), 2u);
    // Three do not fit: nothing of them is taken.
    EXPECT_FALSE(ring.push(six.data(), 3));
    EXPECT_EQ(ring.available(), 6u);
    ASSERT_TRUE(ring.push(six.data(), 2));
    EXPECT_EQ(ring.freeSpace(), 0u);
    EXPECT_FALSE(ring.push(six.data(), 1));

    std::vector<std::int16_t> out(8);
    EXPECT_EQ(ring.pop(out.data(), 8), 8u);
    EXPECT_EQ(out, (std::vector<std::int16_t>{1, 2, 3, 4, 5, 6, 1, 2}));
}

TEST(SpscRing, EmptyRingPopsNothing) {
    SpscRing<std::int16_t> ring(4);
    std::int16_t v = 99;
    EXPECT_EQ(ring.pop(&v, 1), 0u);
    EXPECT_EQ(v, 99);
    EXPECT_EQ(ring.pop(nullptr, 0), 0u);
}

TEST(SpscRing, PopTakesOnlyWhatIsThere) {
    SpscRing<std::int16_t> ring(16);
    std::vector<std::int16_t> in{7, 8, 9};
    ring.push(in.data(), 3);
    std::vector<std::int16_t> out(10, 0);
    EXPECT_EQ(ring.pop(out.data(), 10), 3u);
    EXPECT_EQ(out[2], 9);
    EXPECT_EQ(out[3], 0);
}

// Runs that straddle the end of the storage come back whole and in order.
TEST(SpscRing, RunsWrapAroundTheStorageEnd) {
    SpscRing<std::int16_t> ring(8);
    std::vector<std::int16_t> out(8);
    std::int16_t next = 0;
    std::int16_t expect = 0;
    for (int round = 0; round < 20; ++round) {
        const std::size_t n = 3 + round % 4;  // 3..6: every offset gets straddled
        std::vector<std::int16_t> in(n);
        for (auto& v : in) v = next++;
        ASSERT_TRUE(ring.push(in.data(), n));
        ASSERT_EQ(ring.pop(out.data(), n), n);
        for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(out[i], expect++) << "round " << round;
    }
    EXPECT_EQ(ring.written(), static_cast<std::uint64_t>(next));
}

TEST(SpscRing, ClearForgetsEverything) {
    SpscRing<std::int16_t> ring(8);
    std::int16_t in[5] = {1, 2, 3, 4, 5};
    ring.push(in, 5);
    ring.clear();
    EXPECT_EQ(ring.available(), 0u);
    EXPECT_EQ(ring.freeSpace(), 8u);
}

// One thread pushes a known sequence in uneven runs, the other pops in uneven runs; the
// small ring is full and empty many times. Every value must arrive once, in order.
TEST(SpscRing, TwoThreadsPassASequenceWithoutLossDuplicationOrReordering) {
    constexpr std::uint32_t Total = 2'000'000;
    SpscRing<std::uint32_t> ring(64);
    std::thread producer([&] {
        std::uint32_t next = 0;
        std::uint32_t buf[37];
        while (next < Total) {
            const std::uint32_t n = std::min<std::uint32_t>(1 + next % 37, Total - next);
            for (std::uint32_t i = 0; i < n; ++i) buf[i] = next + i;
            while (!ring.push(buf, n)) std::this_thread::yield();
            next += n;
        }
    });
    std::uint32_t expect = 0;
    std::uint32_t bad = 0;
    std::uint32_t buf[29];
    while (expect < Total) {
        const std::size_t got = ring.pop(buf, 1 + expect % 29);
        if (got == 0) std::this_thread::yield();
        for (std::size_t i = 0; i < got; ++i) {
            if (buf[i] != expect) ++bad;
            expect = buf[i] + 1;
        }
    }
    producer.join();
    EXPECT_EQ(bad, 0u);
    EXPECT_EQ(expect, Total);
    EXPECT_EQ(ring.available(), 0u);
}

struct Record {
    std::uint32_t seq;
    std::uint32_t check;
};

TEST(SpscQueue, HoldsExactlyItsCapacityInOrder) {
    SpscQueue<Record, 4> q;
    Record r{};
    EXPECT_FALSE(q.pop(r));
    for (std::uint32_t i = 0; i < 4; ++i) EXPECT_TRUE(q.push({i, ~i}));
    EXPECT_FALSE(q.push({9, 9}));
    EXPECT_EQ(q.size(), 4u);
    for (std::uint32_t i = 0; i < 4; ++i) {
        ASSERT_TRUE(q.pop(r));
        EXPECT_EQ(r.seq, i);
    }
    EXPECT_TRUE(q.empty());
    // And again across the storage end.
    for (std::uint32_t i = 10; i < 13; ++i) q.push({i, ~i});
    for (std::uint32_t i = 10; i < 13; ++i) {
        ASSERT_TRUE(q.pop(r));
        EXPECT_EQ(r.seq, i);
    }
}

TEST(SpscQueue, TwoThreadsPassRecordsIntact) {
    constexpr std::uint32_t Total = 500'000;
    SpscQueue<Record, 8> q;
    std::thread producer([&] {
        for (std::uint32_t i = 0; i < Total; ++i) {
            while (!q.push({i, i * 2654435761u})) std::this_thread::yield();
        }
    });
    std::uint32_t expect = 0;
    std::uint32_t bad = 0;
    Record r{};
    while (expect < Total) {
        if (!q.pop(r)) {
            std::this_thread::yield();
            continue;
        }
        if (r.seq != expect || r.check != r.seq * 2654435761u) ++bad;
        expect = r.seq + 1;
    }
    producer.join();
    EXPECT_EQ(bad, 0u);
    EXPECT_TRUE(q.empty());
}

}  // namespace
}  // namespace kb

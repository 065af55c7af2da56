// Noise, its bandwidth and the fading cycle, as they reach a character's buffer.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio/noise.h"
#include "audio/synthesis.h"

namespace kb {
namespace {

struct Fixture {
    RandomInt random{12345};
    SoundTables tables{random};
    CharBuffer clean, noisy;
    ElementDurations d = elementDurations(speedFactor(12), 3);

    explicit Fixture(int levelDb = -9, int amplitude = 32768, int hold = 8) {
        tables.setLevelGain(levelGain(levelDb));
        tables.setNoise({amplitude, hold});
    }
    FillEffects noise() {
        FillEffects fx;
        fx.noise = &tables.noise();
        fx.random = &random;
        fx.noiseParams = tables.noiseParams();
        return fx;
    }
};

TEST(Noise, ValuesAreCentredAndStayWithinTheWidth) {
    RandomInt r(7);
    int lo = 0, hi = 0;
    for (int k = 0; k < 100000; ++k) {
        const int v = noiseValue(r, 65536);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    EXPECT_GE(lo, -32768);
    EXPECT_LE(hi, 32767);
    EXPECT_LT(lo, -30000);  // the whole width is used
    EXPECT_GT(hi, 30000);
    EXPECT_EQ(noiseValue(r, 0), 0);
    // The dialog's positions: 0 loudest, 20 none.
    EXPECT_EQ(noiseAmplitudeOfPosition(0), 65536);
    EXPECT_EQ(noiseAmplitudeOfPosition(10), 32768);
    EXPECT_EQ(noiseAmplitudeOfPosition(20), 0);
}

TEST(Noise, PositionTwentyLeavesTheBufferClean) {
    Fixture f(-9, noiseAmplitudeOfPosition(20));
    for (const char* code : {".-", "--..", ""}) {
        const int n = fillCharacter(f.clean, f.tables.tone(), code, f.d, 2);
        const int m = fillCharacter(f.noisy, f.tables.tone(), code, f.d, 2, f.noise());
        ASSERT_EQ(n, m);
        EXPECT_TRUE(std::equal(f.clean.data(), f.clean.data() + n, f.noisy.data())) << code;
    }
}

TEST(Noise, FullNoiseAtFullLevelKeepsPairsEqualAndWithinRange) {
    Fixture f(0, 65536, 1);
    int clipped = 0;
    for (const char* code : {"-----", ".-.-.-", ""}) {
        const int n = fillCharacter(f.noisy, f.tables.tone(), code, f.d, 5, f.noise());
        for (int i = 0; i < n; i += 2) {
            ASSERT_EQ(f.noisy.data()[i], f.noisy.data()[i + 1]) << code << " at " << i;
            ASSERT_GE(f.noisy.data()[i], -32767);
            ASSERT_LE(f.noisy.data()[i], 32767);
            clipped += std::abs(f.noisy.data()[i]) == 32767;
        }
    }
    EXPECT_GT(clipped, 0) << "tone plus full noise must reach the limit somewhere";
}

TEST(Noise, TheToneCarriesTheTableUnderIt) {
    Fixture f;
    fillCharacter(f.clean, f.tables.tone(), "-", f.d, 2);
    fillCharacter(f.noisy, f.tables.tone(), "-", f.d, 2, f.noise());
    for (int i = 0; i < f.d.dash; i += 2) {
        const int expected = std::clamp(f.clean.data()[i] + f.tables.noise()[i], -32767, 32767);
        ASSERT_EQ(f.noisy.data()[i], expected) << i;
    }
}

// Within a gap, after its first frame, a new value may start only where a hold period
// starts: every frame at 10 kHz, every 8th frame at 1.3 kHz.
TEST(Noise, BandwidthHoldsGapValuesForItsPeriod) {
    for (int hold : {1, 2, 4, 8}) {
        Fixture f(-9, 65536, hold);
        const int n = fillCharacter(f.noisy, f.tables.tone(), "", f.d, 3, f.noise());
        const std::int16_t* v = f.noisy.data();
        int changes = 0;
        for (int h = 2; h < n; h += 2) {
            if (v[h] != v[h - 2]) {
                ++changes;
                ASSERT_EQ((h / 2) % hold, 0) << "hold " << hold << ": a change at frame " << h / 2;
            }
        }
        // Random values rarely repeat: nearly every period starts a new one.
        EXPECT_GT(changes, (n / 2 / hold) * 9 / 10) << "hold " << hold;
    }
    // The table itself follows the same rule.
    Fixture f(-9, 65536, 8);
    for (int i = 2; i < 2 * ToneTableFrames; i += 2) {
        if (f.tables.noise()[i] != f.tables.noise()[i - 2]) {
            ASSERT_EQ((i / 2) % 8, 0) << i;
        }
    }
}

TEST(Noise, EachElementGapStartsWithAFreshValue) {
    // The first value of an element gap skips the hold steps: it is always newly drawn,
    // so a gap that starts inside a hold period does not repeat the tone's last value.
    Fixture f(-9, 65536, 8);
    RandomInt replay(f.random.state());
    fillCharacter(f.noisy, f.tables.tone(), ".", f.d, 0, f.noise());
    const int gapStart = f.d.dot;
    ASSERT_NE((gapStart / 2) % 8, 0) << "choose a speed whose dot ends inside a period";
    EXPECT_EQ(f.noisy.data()[gapStart], noiseValue(replay, 65536));
}

TEST(Fading, TwelveWpmTenDbCycle) {
    const double expected[] = {0, 2, 4, 6, 8, 10, 8, 6, 4, 2};
    for (int start = 0; start < 10; ++start) {
        Fading fading;
        fading.depthDb = 10;
        fading.phase = start;
        for (int k = 0; k < 20; ++k) {
            const double q = static_cast<double>(fading.nextGain(12));
            const double db = -20 * std::log10(q);
            ASSERT_NEAR(db, expected[(start + k) % 10], 1e-9) << "start " << start << " char " << k;
        }
    }
}

TEST(Fading, ARunEntersTheCycleAtADrawnPhase) {
    RandomInt r(99);
    std::vector<int> seen(10, 0);
    for (int k = 0; k < 400; ++k) {
        Fading fading;
        fading.startRun(r, 12);
        ASSERT_GE(fading.phase, 0);
        ASSERT_LT(fading.phase, 10);
        ++seen[static_cast<std::size_t>(fading.phase)];
    }
    for (int p = 0; p < 10; ++p) EXPECT_GT(seen[static_cast<std::size_t>(p)], 10) << p;
}

TEST(Fading, ThirteenWpmPeaksAt923Db) {
    double peak = 0;
    Fading fading;
    fading.depthDb = 10;
    for (int k = 0; k < 10; ++k) {
        peak = std::max(peak, -20 * std::log10(static_cast<double>(fading.nextGain(13))));
    }
    EXPECT_NEAR(peak, 9.23, 0.005);
    EXPECT_EQ(fading.phase, 0);  // the whole cycle is 2 x 5 characters
}

TEST(Fading, TheGainScalesTheToneNotTheGaps) {
    Fixture f;
    FillEffects fx;
    fx.fading = true;
    fx.fadingGain = 0.5L;
    const int n = fillCharacter(f.clean, f.tables.tone(), ".-", f.d, 2);
    fillCharacter(f.noisy, f.tables.tone(), ".-", f.d, 2, fx);
    for (int i = 0; i < n; ++i) {
        const long double half = f.clean.data()[i] * 0.5L;
        ASSERT_EQ(f.noisy.data()[i], static_cast<std::int16_t>(std::llrintl(half))) << i;
    }
}

}  // namespace
}  // namespace kb

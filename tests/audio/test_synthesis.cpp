#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "audio/synthesis.h"
#include "core/timing.h"

namespace kb {
namespace {

ToneTable builtTable(Real pitch, ToneType type, int levelDb) {
    ToneTable t;
    t.rebuild(ToneParams{pitch, type, levelGain(levelDb)});
    return t;
}

TEST(LevelGain, TenToTheLevelOverTwenty) {
    EXPECT_DOUBLE_EQ(static_cast<double>(levelGain(0)), 1.0);
    EXPECT_NEAR(static_cast<double>(levelGain(-6)), 0.501187, 1e-6);
    EXPECT_NEAR(static_cast<double>(levelGain(-9)), 0.354813, 1e-6);
    EXPECT_NEAR(static_cast<double>(levelGain(-15)), 0.177828, 1e-6);
}

TEST(ToneTable, SineAtTheLevelWithBothChannelsEqual) {
    const ToneTable t = builtTable(800, ToneType::Sine, -6);
    const double gain = std::pow(10.0, -6 / 20.0);
    for (int k = RiseFrames; k < ToneTableFrames; k += 7) {
        const double v = std::sin(2 * M_PI * k * 800.0 / 22050.0) * 32767.0 * gain;
        ASSERT_LE(std::abs(t[2 * k] - v), 0.5 + 1e-6) << "frame " << k;
        ASSERT_EQ(t[2 * k], t[2 * k + 1]) << "frame " << k;
    }
}

TEST(ToneTable, RisesOverTheFirstFiftyFramesFromPhaseZero) {
    const ToneTable t = builtTable(800, ToneType::Sine, 0);
    EXPECT_EQ(t[0], 0);  // phase 0
    for (int k = 0; k < RiseFrames; ++k) {
        const long double full = std::nearbyint(std::sin(2 * M_PI * k * 800.0 / 22050.0) * 32767.0);
        EXPECT_EQ(t[2 * k], std::lrintl((k + 1) * full / 50.0L)) << "frame " << k;
        EXPECT_EQ(t[2 * k], t[2 * k + 1]);
    }
    // Frame 49 carries its full amplitude.
    EXPECT_EQ(t[98], static_cast<std::int16_t>(
                         std::nearbyint(std::sin(2 * M_PI * 49 * 800.0 / 22050.0) * 32767.0)));
}

TEST(ToneTable, ExaminationToneStaysWithinFullScaleAtLevelZero) {
    const ToneTable t = builtTable(800, ToneType::Examination, 0);
    int peak = 0;
    for (int i = 0; i < ToneTableValues; ++i) {
        ASSERT_GE(t[i], -32767) << i;
        ASSERT_LE(t[i], 32767) << i;
        peak = std::max(peak, std::abs(static_cast<int>(t[i])));
    }
    EXPECT_GT(peak, 20000) << "the harmonics are really there";
    // Frame 100: 830 Hz and its second and third harmonics, weights 0.214, 0.557, 0.228.
    const double w = 2 * M_PI * 100 * 830.0 / 22050.0;
    const double v =
        (0.214 * std::sin(w) + 0.557 * std::sin(2 * w) + 0.228 * std::sin(3 * w)) * 32767.0;
    EXPECT_LE(std::abs(t[200] - v), 0.5 + 1e-6);
    // The pitch does not matter to the examination tone.
    const ToneTable other = builtTable(600, ToneType::Examination, 0);
    for (int i = 0; i < ToneTableValues; i += 101) ASSERT_EQ(t[i], other[i]);
}

TEST(SoundTables, LevelRuleRebuildsOnlyOnARealChange) {
    RandomInt random;
    SoundTables tables(random);
    tables.rebuild();  // the device opened
    const int opened = tables.rebuildCount();
    EXPECT_TRUE(tables.setLevelGain(levelGain(-9)));  // from the initial 0.35
    EXPECT_EQ(tables.rebuildCount(), opened + 1);
    const std::int16_t before = tables.tone()[2 * 60];

    EXPECT_FALSE(tables.setLevelGain(levelGain(-9)));  // -9 -> -9
    EXPECT_EQ(tables.rebuildCount(), opened + 1);

    EXPECT_TRUE(tables.setLevelGain(levelGain(-6)));  // -9 -> -6
    EXPECT_EQ(tables.rebuildCount(), opened + 2);
    EXPECT_GT(std::abs(tables.tone()[2 * 60]), std::abs(before)) << "louder after -6 dB";
}

TEST(SoundTables, PitchChangeRebuilds) {
    RandomInt random;
    SoundTables tables(random);
    tables.setPitch(600, ToneType::Sine);
    EXPECT_EQ(tables.rebuildCount(), 1);
    const double v = std::sin(2 * M_PI * 80 * 600.0 / 22050.0) * 32767.0 * 0.35;
    EXPECT_LE(std::abs(tables.tone()[160] - v), 0.5 + 1e-6);
}

class Fill : public testing::Test {
protected:
    Fill() : buffer(std::make_unique<CharBuffer>()) { tone.rebuild(ToneParams{}); }

    // Poison the buffer so that every value the fill should write is seen to be written.
    void poison() {
        std::fill(buffer->data(), buffer->data() + CharBuffer::capacity(), std::int16_t{12345});
    }

    ToneTable tone;
    std::unique_ptr<CharBuffer> buffer;
};

TEST_F(Fill, LetterEAt20WpmIsToneThenSilence) {
    poison();
    const ElementDurations d = elementDurations(speedFactor(20), 3);
    const int n = fillCharacter(*buffer, tone, ".", d, charGapCount(CharGapKind::Normal, 1, 1));
    EXPECT_EQ(n, 10000);
    EXPECT_EQ(buffer->used(), 10000);
    const std::int16_t* b = buffer->data();
    for (int i = 0; i < 2500 - 2 * RiseFrames; ++i) ASSERT_EQ(b[i], tone[i]) << i;
    for (int i = 2500; i < 10000; ++i) ASSERT_EQ(b[i], 0) << i;
    EXPECT_EQ(b[10000], 12345) << "nothing written past the character";
}

TEST_F(Fill, BlankAt12WpmIsSilenceOnly) {
    poison();
    const ElementDurations d = elementDurations(speedFactor(12), 3);
    const int n = fillCharacter(*buffer, tone, "", d, blankGapCount(1));
    EXPECT_EQ(n, 12498);
    for (int i = 0; i < n; ++i) ASSERT_EQ(buffer->data()[i], 0) << i;
}

struct FillCase {
    int speed;
    int weight;
    const char* code;
};

void PrintTo(const FillCase& c, std::ostream* os) {
    *os << c.speed << " wpm " << c.weight << ":1 " << c.code;
}

class EveryElement : public Fill, public testing::WithParamInterface<FillCase> {};

TEST_P(EveryElement, StartsWithTheSameRiseAndFallsToExactlyZero) {
    poison();
    const FillCase& fc = GetParam();
    const ElementDurations d = elementDurations(speedFactor(fc.speed), fc.weight);
    const int n = fillCharacter(*buffer, tone, fc.code, d, 2);
    const std::int16_t* b = buffer->data();
    int h = 0;
    for (const char* e = fc.code; *e; ++e) {
        const int len = *e == '-' ? d.dash : d.dot;
        // The rise: the table's first 50 frames, the same for every element.
        for (int i = 0; i < 2 * RiseFrames; ++i) ASSERT_EQ(b[h + i], tone[i]) << "value " << i;
        // The fall over the last 50 frames, value for value as the fall function gives
        // it (its own arithmetic is pinned by FallScalesByTheFramesStillToCome).
        for (int i = len - 2 * RiseFrames; i < len; ++i) {
            ASSERT_EQ(b[h + i], applyFall(tone[i], len - 1 - i))
                << "value " << i << " of an element of " << len;
        }
        EXPECT_EQ(b[h + len - 2], 0);
        EXPECT_EQ(b[h + len - 1], 0);
        // Pairs stay equal throughout.
        for (int i = 0; i < len; i += 2) ASSERT_EQ(b[h + i], b[h + i + 1]);
        h += len;
        for (int i = 0; i < d.gap; ++i) ASSERT_EQ(b[h + i], 0);
        h += d.gap;
    }
    EXPECT_EQ(n, h + 2 * d.gap);
    for (int i = h; i < n; ++i) ASSERT_EQ(b[i], 0);
}

INSTANTIATE_TEST_SUITE_P(Codes, EveryElement,
                         testing::Values(FillCase{20, 3, "-.-."}, FillCase{5, 3, "-."},
                                         FillCase{50, 5, ".-.-.-"}, FillCase{12, 4, "........"},
                                         FillCase{48, 3, "--..--"}));

// Fixed values: j frames still to come scale by j/50, exact halves to even.
TEST(Fall, FallScalesByTheFramesStillToCome) {
    struct Case {
        std::int16_t sample;
        int remaining;  // values still to come in the element
        std::int16_t expected;
    };
    const Case cases[] = {
        {10000, 100, 10000},  // 50 frames to go: not yet falling
        {10000, 99, 9800},    // 49 frames: 49/50
        {10000, 98, 9800},    // both values of a frame scale alike
        {-10000, 51, -5000},  // 25 frames: half
        {25, 51, 12},         // 12.5 rounds to even
        {75, 51, 38},         // 37.5 rounds to even
        {32767, 1, 0},        // the last frame is silent
        {-32767, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(applyFall(c.sample, c.remaining), c.expected)
            << c.sample << " with " << c.remaining << " values to come";
    }
}

TEST_F(Fill, OutputIsCutAtTheBufferCapacityRatherThanOverrun) {
    const ElementDurations d = elementDurations(speedFactor(5), 3);
    // 8 dots and 200 further gaps would need 2 160 000 values.
    const int n = fillCharacter(*buffer, tone, "........", d, 200);
    EXPECT_EQ(n, CharBuffer::capacity());
}

}  // namespace
}  // namespace kb

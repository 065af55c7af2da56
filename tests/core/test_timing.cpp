#include <gtest/gtest.h>

#include "core/timing.h"

namespace kb {
namespace {

// Lengths in frames (two sample values each) at 22050 frames per second.
struct SpeedRow {
    int speed;
    int dashFrames;
    int dotFrames[3];  // weight 3:1, 4:1, 5:1
    int gapFrames;
    double dashMs;
};

void PrintTo(const SpeedRow& r, std::ostream* os) {
    *os << r.speed << " wpm";
}

class DurationTable : public testing::TestWithParam<SpeedRow> {};

TEST_P(DurationTable, DashDotAndGapFramesAtEachWeight) {
    const SpeedRow& row = GetParam();
    for (int w = 3; w <= 5; ++w) {
        const ElementDurations d = elementDurations(speedFactor(row.speed), w);
        EXPECT_EQ(d.dash, 2 * row.dashFrames) << row.speed << " wpm, weight " << w;
        EXPECT_EQ(d.dot, 2 * row.dotFrames[w - 3]) << row.speed << " wpm, weight " << w;
        EXPECT_EQ(d.gap, 2 * row.gapFrames) << row.speed << " wpm, weight " << w;
        EXPECT_NEAR(d.dash / 2 * 1000.0 / OutputRate, row.dashMs, 0.05);
    }
}

INSTANTIATE_TEST_SUITE_P(Speeds, DurationTable,
                         testing::Values(SpeedRow{5, 15000, {5000, 3750, 3000}, 5000, 680.3},
                                         SpeedRow{12, 6250, {2083, 1562, 1250}, 2083, 283.4},
                                         SpeedRow{16, 4688, {1562, 1172, 938}, 1562, 212.6},
                                         SpeedRow{20, 3750, {1250, 938, 750}, 1250, 170.1},
                                         SpeedRow{48, 1562, {521, 391, 312}, 521, 70.8},
                                         SpeedRow{50, 1500, {500, 375, 300}, 500, 68.0}));

TEST(Durations, ExactHalvesGoToTheEvenNeighbour) {
    // 4687.5 -> 4688, 1562.5 -> 1562 (two ways), 937.5 -> 938.
    EXPECT_EQ(elementDurations(speedFactor(16), 3).dash, 2 * 4688);
    EXPECT_EQ(elementDurations(speedFactor(48), 3).dash, 2 * 1562);
    EXPECT_EQ(elementDurations(speedFactor(12), 4).dot, 2 * 1562);
    EXPECT_EQ(elementDurations(speedFactor(20), 4).dot, 2 * 938);
    EXPECT_EQ(nearest(0.5L), 0);
    EXPECT_EQ(nearest(1.5L), 2);
    EXPECT_EQ(nearest(2.5L), 2);
    EXPECT_EQ(nearest(-2.5L), -2);
    EXPECT_EQ(nearest(2.5000001L), 3);
}

TEST(Durations, EveryLengthIsEvenAndOrderedAcrossAllSpeeds) {
    for (int speed = MinSpeed; speed <= MaxSpeed; ++speed) {
        for (int w = 3; w <= 5; ++w) {
            const ElementDurations d = elementDurations(speedFactor(speed), w);
            EXPECT_EQ(d.dash % 2, 0);
            EXPECT_EQ(d.dot % 2, 0);
            EXPECT_EQ(d.gap % 2, 0);
            EXPECT_LE(d.dash, 2 * ToneTableFrames) << "a dash never outruns the tone table";
            // The exact quotient lies within half a frame of the rounded one.
            const double exact = 30000.0 / (speed / 2.5);
            EXPECT_LE(std::abs(d.dash / 2 - exact), 0.5) << speed;
            EXPECT_LE(std::abs(d.dot / 2 - exact / w), 0.5) << speed << " " << w;
            EXPECT_LE(std::abs(d.gap / 2 - exact / 3), 0.5) << speed;
        }
    }
}

TEST(Durations, WeightChangesTheDotOnly) {
    const ElementDurations w3 = elementDurations(speedFactor(20), 3);
    const ElementDurations w5 = elementDurations(speedFactor(20), 5);
    EXPECT_LT(w5.dot, w3.dot);
    EXPECT_EQ(w5.dash, w3.dash);
    EXPECT_EQ(w5.gap, w3.gap);
}

TEST(CharacterGaps, ByKindSpacingAndWordFactor) {
    EXPECT_EQ(charGapUnits(1), 2);
    EXPECT_EQ(charGapUnits(30), 89);
    EXPECT_EQ(charGapCount(CharGapKind::Normal, 1, 1), 2);
    EXPECT_EQ(charGapCount(CharGapKind::Normal, 4, 3), 11);
    // During a quiz the spacing setting has no effect.
    EXPECT_EQ(charGapCount(CharGapKind::Quiz, 1, 1), 2);
    EXPECT_EQ(charGapCount(CharGapKind::Quiz, 7, 4), 2);
    // The end of a random group carries the word gap.
    EXPECT_EQ(charGapCount(CharGapKind::GroupEnd, 1, 1), 5);
    EXPECT_EQ(charGapCount(CharGapKind::GroupEnd, 2, 4), 17);
    EXPECT_EQ(blankGapCount(1), 3);
    EXPECT_EQ(blankGapCount(4), 12);
}

TEST(CharacterDuration, LetterEAt20WpmIsTenThousandValues) {
    const ElementDurations d = elementDurations(speedFactor(20), 3);
    EXPECT_EQ(characterDuration(".", d, charGapCount(CharGapKind::Normal, 1, 1)), 10000);
}

TEST(CharacterDuration, BlankAt12WpmIsThreeGapsOfSilence) {
    const ElementDurations d = elementDurations(speedFactor(12), 3);
    EXPECT_EQ(characterDuration("", d, blankGapCount(1)), 12498);
}

TEST(CharacterDuration, SilenceBetweenWordsIsThreeTimesSpacingPlusThreeTimesFactor) {
    // "a b" at 12 wpm, spacing 2, factor 3: after a, 3 x 2 gaps; the blank adds 3 x 3.
    const ElementDurations d = elementDurations(speedFactor(12), 3);
    const int a = characterDuration(".-", d, charGapCount(CharGapKind::Normal, 2, 3));
    const int blank = characterDuration("", d, blankGapCount(3));
    EXPECT_EQ(a, 4166 + 12500 + 2 * 4166 + 5 * 4166);
    EXPECT_EQ(a + blank - (4166 + 4166 + 12500), (6 + 9) * 4166);
}

TEST(RealSpeed, Texts) {
    const SummaryWords en;
    EXPECT_EQ(realSpeedText(en, effectiveSpeed(12, 1, 1)), "Real speed (wpm) = 12.0");
    EXPECT_EQ(realSpeedText(en, effectiveSpeed(12, 1, 2)), "Real speed (wpm) = 11.3");
    EXPECT_EQ(formatOneDecimal(effectiveSpeed(5, 2, 1)), "3.8");
    EXPECT_EQ(formatOneDecimal(effectiveSpeed(5, 1, 4)), "4.2");
    EXPECT_EQ(formatOneDecimal(effectiveSpeed(50, 1, 1)), "50.0");
    // 16 x 49 / 64 is exactly 12.25: the display rounds the half up.
    EXPECT_EQ(formatOneDecimal(effectiveSpeed(16, 2, 1)), "12.3");
}

TEST(RealSpeed, EqualsTheSetSpeedAtSpacingOneAndFactorOne) {
    for (int speed = MinSpeed; speed <= MaxSpeed; ++speed) {
        EXPECT_EQ(effectiveSpeed(speed, 1, 1), static_cast<Real>(speed));
    }
}

TEST(SpeedChange, SpacingStepsBackWhileTheRealSpeedIsBelowFive) {
    // 5 wpm at spacing 2 would be 3.8: the spacing drops back to 1 and 5.0 is shown.
    const int spacing = spacingAfterSpeedChange(5, 2, 1);
    EXPECT_EQ(spacing, 1);
    EXPECT_EQ(formatOneDecimal(effectiveSpeed(5, spacing, 1)), "5.0");
    // Several steps at once: 10 wpm at spacing 9 is 490/169 = 2.9; spacing 5 still gives
    // 490/109 = 4.5, spacing 4 gives 490/94 = 5.2.
    EXPECT_EQ(spacingAfterSpeedChange(10, 9, 1), 4);
    // Spacing never goes below 1, even when the real speed stays under 5 (factor x4).
    EXPECT_EQ(spacingAfterSpeedChange(5, 1, 4), 1);
    // A real speed of 5 or more is left alone.
    EXPECT_EQ(spacingAfterSpeedChange(50, 30, 1), 30);
    EXPECT_EQ(spacingAfterSpeedChange(12, 1, 1), 1);
}

TEST(SummaryLabels, FilePanel) {
    const SummaryWords en;
    EXPECT_EQ(fileSummaryText(en, 1, effectiveSpeed(12, 1, 1)),
              "Spacing between characters=1 / Real speed (wpm) = 12.0");
    EXPECT_EQ(fileSummaryText(en, 3, effectiveSpeed(25, 3, 2)),
              "Spacing between characters=3 / Real speed (wpm) = 14.9");
}

TEST(SummaryLabels, RandomPanel) {
    const SummaryWords en;
    const Real eff = effectiveSpeed(12, 1, 1);
    EXPECT_EQ(randomSummaryText(en, GroupSummary{}, 1, eff),
              "Word length= 5 / No leading Vs / Mixed Characters / Spacing between "
              "characters=1 / Real speed (wpm) = 12.0");
    GroupSummary g;
    g.randomLength = true;
    g.leadingVs = true;
    g.content = GroupContent::NonMixed;
    EXPECT_EQ(randomSummaryText(en, g, 1, eff),
              "Word length= Random / Leading Vs / Non-mixed characters / Spacing between "
              "characters=1 / Real speed (wpm) = 12.0");
    g = GroupSummary{};
    g.wordLength = 8;
    g.content = GroupContent::Callsigns;
    EXPECT_EQ(randomSummaryText(en, g, 2, effectiveSpeed(12, 2, 1)),
              "Word length= 8 / No leading Vs / Callsigns / Spacing between characters=2 / "
              "Real speed (wpm) = 9.2");
}

}  // namespace
}  // namespace kb

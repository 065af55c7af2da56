// A character's keying schedule: the element lengths in milliseconds and its steps.

#include <gtest/gtest.h>

#include "core/timing.h"
#include "keying/keying_schedule.h"

namespace kb {
namespace {

TEST(KeyingSchedule, StepsAt12Wpm) {
    const ElementDurations d = elementDurations(speedFactor(12), 3);
    // 12500 values = 283.4 ms, 4166 values = 94.5 ms.
    const KeyingSchedule a = buildKeyingSchedule(".-", d, true);
    EXPECT_EQ(a.dashMs, 283);
    EXPECT_EQ(a.dotMs, 94);
    EXPECT_EQ(a.gapMs, 94);
    ASSERT_EQ(a.stepCount, 4);
    EXPECT_EQ(a.steps[0], 94);
    EXPECT_EQ(a.steps[1], -94);
    EXPECT_EQ(a.steps[2], 283);
    EXPECT_EQ(a.steps[3], 0);

    const KeyingSchedule e = buildKeyingSchedule(".", d, true);
    ASSERT_EQ(e.stepCount, 2);
    EXPECT_EQ(e.steps[0], 94);
    EXPECT_EQ(e.steps[1], 0);
}

TEST(KeyingSchedule, WeightAndSpeedChangeTheHeader) {
    // 50 wpm, 5:1: dash 3000 values = 68.0 ms, dot 600 = 13.6 ms, gap 1000 = 22.7 ms.
    const KeyingSchedule k = buildKeyingSchedule("-", elementDurations(speedFactor(50), 5), true);
    EXPECT_EQ(k.dashMs, 68);
    EXPECT_EQ(k.dotMs, 14);
    EXPECT_EQ(k.gapMs, 23);
    EXPECT_EQ(k.steps[0], 68);
    EXPECT_EQ(k.steps[1], 0);
}

TEST(KeyingSchedule, InactiveKeyingLeavesTheHeaderZeroAndWritesNoSteps) {
    const KeyingSchedule k = buildKeyingSchedule(".-", elementDurations(speedFactor(12), 3), false);
    EXPECT_EQ(k.dashMs, 0);
    EXPECT_EQ(k.dotMs, 0);
    EXPECT_EQ(k.gapMs, 0);
    EXPECT_EQ(k.stepCount, 0);
}

TEST(KeyingSchedule, BlankWritesNoSteps) {
    const KeyingSchedule k = buildKeyingSchedule("", elementDurations(speedFactor(12), 3), true);
    EXPECT_EQ(k.stepCount, 0);
}

TEST(KeyingSchedule, LongestLocalCodeFits) {
    const KeyingSchedule k =
        buildKeyingSchedule("-.-.-.-.-.", elementDurations(speedFactor(20), 3), true);
    ASSERT_EQ(k.stepCount, 20);
    EXPECT_EQ(k.steps[18], k.dotMs);
    EXPECT_EQ(k.steps[19], 0);
}

}  // namespace
}  // namespace kb

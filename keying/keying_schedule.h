#pragma once
// A character's keying schedule: the element lengths in milliseconds and the key-down /
// key-up steps the keying timer thread walks through. Built on the GUI thread while the
// timer is disarmed; read by the timer thread after it is armed.

#include <array>
#include <cstdint>
#include <string_view>

#include "core/timing.h"

namespace kb {

// Per character: three millisecond values, then up to 30 steps (positive key down for
// that many ms, negative key up, 0 key up and stop).
struct KeyingSchedule {
    static constexpr int MaxSteps = 30;
    std::int32_t dashMs = 0;
    std::int32_t dotMs = 0;
    std::int32_t gapMs = 0;
    std::array<std::int32_t, MaxSteps> steps{};
    int stepCount = 0;  // steps in use, the final 0 included
};

// Builds the schedule of a non-blank code. With keying inactive the header stays 0 and
// no steps are written.
KeyingSchedule buildKeyingSchedule(std::string_view code, const ElementDurations& d,
                                   bool keyingActive);

}  // namespace kb

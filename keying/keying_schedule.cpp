#include "keying/keying_schedule.h"

#include "core/nearest.h"

namespace kb {

KeyingSchedule buildKeyingSchedule(std::string_view code, const ElementDurations& d,
                                   bool keyingActive) {
    KeyingSchedule ks;
    if (!keyingActive) return ks;
    auto ms = [](int values) {
        return static_cast<std::int32_t>(nearest(static_cast<Real>(values) * 1000.0L / 44100.0L));
    };
    ks.dashMs = ms(d.dash);
    ks.dotMs = ms(d.dot);
    ks.gapMs = ms(d.gap);
    int n = 0;
    for (char e : code) {
        if (n + 2 > KeyingSchedule::MaxSteps) break;
        ks.steps[n++] = e == '-' ? ks.dashMs : ks.dotMs;
        ks.steps[n++] = -ks.gapMs;
    }
    if (n > 0) ks.steps[n - 1] = 0;  // the last element's gap becomes the end
    ks.stepCount = n;
    return ks;
}

}  // namespace kb

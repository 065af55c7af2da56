#include "audio/noise.h"

#include <algorithm>
#include <cmath>

namespace kb {

int noiseAmplitudeOfPosition(int position) {
    return static_cast<int>(nearest(static_cast<Real>(20 - position) * 65536.0L / 20.0L));
}

int noiseHoldOfBandwidth(int index) {
    static constexpr int kHolds[] = {1, 2, 4, 8};
    return kHolds[index < 0 ? 0 : index > 3 ? 3 : index];
}

std::int16_t noiseValue(RandomInt& random, int amplitude) {
    if (amplitude <= 0) return 0;
    const auto a = static_cast<std::uint32_t>(amplitude);
    const std::int64_t v =
        static_cast<std::int64_t>(random(a)) - nearest(static_cast<Real>(amplitude) / 2.0L);
    // At full width one draw in 65536 would be -32768: kept within the symmetric range
    // every other sample value keeps to.
    return static_cast<std::int16_t>(std::max<std::int64_t>(v, -32767));
}

void NoiseTable::rebuild(const NoiseParams& params, RandomInt& random) {
    std::int16_t* v = values_.data();
    for (int k = 0; k < ToneTableFrames; ++k) {
        const int i = 2 * k;
        v[i] = noiseValue(random, params.amplitude);
        if (i > 0) applyNoiseHold(v, i, params.hold);
        v[i + 1] = v[i];
    }
}

void Fading::startRun(RandomInt& random, int wpm) {
    const auto n = nearest(10.0L * static_cast<Real>(wpm) / 12.0L);
    phase = static_cast<int>(random(static_cast<std::uint32_t>(n)));
}

Real Fading::attenuationDb(int wpm, int o, int depthDb) {
    const Real m = 5.0L * static_cast<Real>(wpm) / 12.0L;
    const auto r = nearest(m);
    const Real depth = static_cast<Real>(depthDb);
    if (o > r) return (2.0L * m - static_cast<Real>(o)) * depth / m;
    return static_cast<Real>(o) * depth / m;
}

Real Fading::nextGain(int wpm) {
    const Real s = attenuationDb(wpm, phase, depthDb);
    const Real q = std::pow(10.0L, -s / 20.0L);
    const auto r = static_cast<int>(nearest(5.0L * static_cast<Real>(wpm) / 12.0L));
    ++phase;
    if (phase >= 2 * r) phase -= 2 * r;
    return q;
}

}  // namespace kb

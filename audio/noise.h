#pragma once
// Band-limited noise and slow fading (QSB) for the training modes that make copying
// harder. The noise table is built beside the tone table; gaps draw fresh noise values
// from the program-wide generator; the fading gain changes once per character. GUI
// thread only.

#include <cstdint>
#include <vector>

#include "core/nearest.h"
#include "core/random_int.h"
#include "core/timing.h"

namespace kb {

inline constexpr int MaxNoiseAmplitude = 65536;
inline constexpr int NoiseFillerValues = 30000;  // 15000 frames (0.68 s) after a character

struct NoiseParams {
    int amplitude = 32768;  // NoiseAmplitude: width of the distribution, 0..65536
    int hold = 8;           // NoiseHold: a new value every 1, 2, 4 or 8 frames
};

// NoiseAmplitude of the noise dialog's track-bar position: 0 loudest, 20 none.
int noiseAmplitudeOfPosition(int position);
// NoiseHold of the bandwidth buttons (10, 5, 2.5, 1.3 kHz) and back; index 0..3.
int noiseHoldOfBandwidth(int index);

// One noise value: RandomInt(A) - nearest(A/2), as a 16-bit value no lower than -32767;
// 0 for A = 0.
std::int16_t noiseValue(RandomInt& random, int amplitude);

// The hold steps at even value index i of `values`: the value repeats the previous
// frame's unless this frame starts a new hold period.
inline void applyNoiseHold(std::int16_t* values, int i, int hold) {
    if (i % 4 == 2 && hold > 1) values[i] = values[i - 1];
    if (i % 8 == 4 && hold > 2) values[i] = values[i - 1];
    if (i % 16 == 8 && hold > 4) values[i] = values[i - 1];
}

// 30000 frames of noise, both channels equal.
class NoiseTable {
public:
    NoiseTable() : values_(2 * ToneTableFrames, 0) {}
    void rebuild(const NoiseParams& params, RandomInt& random);
    const std::int16_t* data() const { return values_.data(); }
    std::int16_t operator[](int i) const { return values_[static_cast<std::size_t>(i)]; }

private:
    std::vector<std::int16_t> values_;
};

// The fading cycle: the attenuation rises linearly from 0 to about `depthDb` over r
// characters and falls back over the next r, r = nearest(5 x wpm / 12).
struct Fading {
    int depthDb = 10;  // QsbDepth, 0..20
    int phase = 0;     // QsbPhase: the character counter of the cycle

    // Where a new run enters the cycle: a random point of it.
    void startRun(RandomInt& random, int wpm);
    // The gain of the next faded character (advances the phase).
    Real nextGain(int wpm);
    // The attenuation in dB at a phase, for display and tests.
    static Real attenuationDb(int wpm, int phase, int depthDb);
};

}  // namespace kb

#pragma once
// Finding the keyed tones in a recording, and what the timing model says they should be.
// Shared by the sound-loop integration test and the audio benchmark. Plain C++.
//
// The detector squares the signal and averages it over one period of the tone, centred on
// each sample, so a steady tone gives a flat power and the rise and fall keep their
// shape and position. An edge is where that power crosses a quarter of the steady power,
// i.e. where the amplitude crosses half of its steady value, interpolated between samples.
// Each element rises over its first 50 frames and falls over its last 50 frames, so the
// half-amplitude points lie about 25 frames inside either end: a tone of L frames measures
// L - 50, and the silence after it G + 50.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/morse.h"
#include "core/timing.h"

namespace kb::edges {

inline constexpr double ShapingFrames = 50.0;  // RiseFrames: half of rise plus half of fall

struct Tone {
    double start = 0;  // seconds from the start of the recording
    double end = 0;
};

// Tones in a mono recording at `rate`, pitched at `pitch` Hz.
inline std::vector<Tone> findTones(const std::vector<std::int16_t>& samples, int rate,
                                   double pitch) {
    std::vector<Tone> tones;
    const std::size_t n = samples.size();
    if (n == 0) return tones;
    const int window = std::max(1, static_cast<int>(std::lround(rate / pitch)));
    // Running sums of squares for the centred average.
    std::vector<double> sum(n + 1, 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        const double x = samples[i];
        sum[i + 1] = sum[i] + x * x;
    }
    std::vector<double> power(n);
    const int half = window / 2;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t lo = i >= static_cast<std::size_t>(half) ? i - half : 0;
        const std::size_t hi = std::min(n, lo + static_cast<std::size_t>(window));
        power[i] = (sum[hi] - sum[lo]) / static_cast<double>(hi - lo);
    }
    // The steady power: a high percentile, so a stray peak does not set it.
    std::vector<double> sorted(power);
    const std::size_t at = static_cast<std::size_t>(0.98 * static_cast<double>(n - 1));
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(at),
                     sorted.end());
    const double steady = sorted[at];
    if (steady <= 0) return tones;
    const double threshold = 0.25 * steady;

    auto crossing = [&](std::size_t i) {  // between samples i-1 and i
        const double a = power[i - 1] - threshold;
        const double b = power[i] - threshold;
        const double frac = (a == b) ? 0.0 : a / (a - b);
        return (static_cast<double>(i - 1) + frac) / rate;
    };
    bool on = power[0] > threshold;
    Tone current;
    for (std::size_t i = 1; i < n; ++i) {
        const bool now = power[i] > threshold;
        if (now == on) continue;
        if (now) {
            current.start = crossing(i);
        } else if (i > 0) {
            current.end = crossing(i);
            if (current.start > 0) tones.push_back(current);
        }
        on = now;
    }
    return tones;
}

// One keyed element as the timing model has it, in frames at the output rate.
struct Element {
    char text = 0;  // the character it belongs to
    int toneFrames = 0;
    int silenceFrames = 0;  // element gap, plus the character (and word) gap after a
                            // character's last element
};

// The elements of a text: code-less characters are skipped, a blank adds its word gap to
// the silence before the next character.
inline std::vector<Element> modelElements(std::string_view text, const MorseTable& morse,
                                          const ElementDurations& d, const TimingSettings& s) {
    std::vector<Element> out;
    for (char c : text) {
        if (c == ' ') {
            if (!out.empty())
                out.back().silenceFrames += blankGapCount(s.wordSpacingFactor) * d.gap / 2;
            continue;
        }
        const std::string& code = morse[static_cast<unsigned char>(c)];
        if (code.empty()) continue;
        for (char e : code) out.push_back({c, (e == '-' ? d.dash : d.dot) / 2, d.gap / 2});
        out.back().silenceFrames +=
            charGapCount(CharGapKind::Normal, s.spacing, s.wordSpacingFactor) * d.gap / 2;
    }
    return out;
}

}  // namespace kb::edges

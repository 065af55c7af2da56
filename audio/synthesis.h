#pragma once
// Tone synthesis: the precomputed tone table and the fill of one character's buffer.
// Called on the GUI thread only, once per sounded character; no allocation after
// construction (the blocks are sized once and never resized).

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "audio/noise.h"
#include "core/nearest.h"
#include "core/timing.h"

namespace kb {

inline constexpr int ToneTableValues = 2 * ToneTableFrames;  // 60000
inline constexpr int CharBufferValues = 600000;              // 300000 frames, 13.6 s
inline constexpr int RiseFrames = 50;                        // rise and fall, ~2.3 ms
inline constexpr int MinLevelDb = -15;
inline constexpr int MaxLevelDb = 0;
inline constexpr int DefaultLevelDb = -9;
inline constexpr Real InitialLevelGain = 0.35L;  // until a level is set
inline constexpr Real DefaultPitch = 800.0L;
inline constexpr Real ExamToneBase = 830.0L;

enum class ToneType { Sine, Examination };

struct ToneParams {
    Real pitch = DefaultPitch;  // Hz, ignored by the examination tone
    ToneType type = ToneType::Sine;
    Real levelGain = InitialLevelGain;
};

// 10^(level/20) for a level in dB.
Real levelGain(int levelDb);

// 30000 frames of tone at the output level, the first 50 rising from 1/50 of full
// amplitude. Every element starts at frame 0 of this table.
class ToneTable {
public:
    ToneTable() : values_(ToneTableValues, 0) {}

    void rebuild(const ToneParams& params);
    const std::int16_t* data() const { return values_.data(); }
    std::int16_t operator[](int i) const { return values_[static_cast<std::size_t>(i)]; }
    const ToneParams& params() const { return params_; }

private:
    std::vector<std::int16_t> values_;
    ToneParams params_;
};

// Holds the tone and noise tables and rebuilds both when something they depend on
// changed; the level rule compares the new gain with the gain they were last built with.
// The noise table draws from the program-wide generator it is given.
class SoundTables {
public:
    explicit SoundTables(RandomInt& random) : random_(random) {}

    const ToneTable& tone() const { return tone_; }
    const NoiseTable& noise() const { return noise_; }
    const ToneParams& params() const { return params_; }
    const NoiseParams& noiseParams() const { return noiseParams_; }
    int rebuildCount() const { return rebuilds_; }

    void rebuild();                            // unconditionally, with the current parameters
    void setPitch(Real pitch, ToneType type);  // rebuilds
    void setNoise(const NoiseParams& noise);   // rebuilds
    // Rebuilds only when the gain really changed; returns whether it did.
    bool setLevelGain(Real gain);

private:
    RandomInt& random_;
    ToneTable tone_;
    NoiseTable noise_;
    ToneParams params_;
    NoiseParams noiseParams_;
    int rebuilds_ = 0;
};

// One character's sound: 16-bit stereo, both channels equal.
class CharBuffer {
public:
    CharBuffer() : values_(CharBufferValues, 0) {}
    std::int16_t* data() { return values_.data(); }
    const std::int16_t* data() const { return values_.data(); }
    int used() const { return used_; }
    void setUsed(int n) { used_ = n; }
    static constexpr int capacity() { return CharBufferValues; }

private:
    std::vector<std::int16_t> values_;
    int used_ = 0;
};

// Fills the buffer with one character: per element its tone with the 50-frame fall,
// then one element gap; then trailingGaps further element gaps. A blank is only its
// trailing gaps (pass blankGapCount()). Output beyond the buffer's capacity is cut
// rather than overrun (only reachable through hand-edited extreme settings).
// Returns the used length in values.
int fillCharacter(CharBuffer& buffer, const ToneTable& tone, std::string_view code,
                  const ElementDurations& d, int trailingGaps);

// What the random and file modes add to a character: noise (the table under the tone,
// fresh values in the gaps) and a fading gain on the tone.
struct FillEffects {
    const NoiseTable* noise = nullptr;  // noise applies when set
    RandomInt* random = nullptr;        // draws the gaps' noise; required with noise
    NoiseParams noiseParams;
    bool fading = false;
    Real fadingGain = 1.0L;
};
int fillCharacter(CharBuffer& buffer, const ToneTable& tone, std::string_view code,
                  const ElementDurations& d, int trailingGaps, const FillEffects& effects);

// The fall of the last 50 frames of an element: value i of an element of length L
// (both in values, two per frame) scaled by floor((L-1-i)/2)/50.
inline std::int16_t applyFall(std::int16_t s, int remaining /* L-1-i */) {
    if (remaining >= 2 * RiseFrames) return s;
    const Real scale = static_cast<Real>(remaining / 2) / 50.0L;
    return static_cast<std::int16_t>(nearest(static_cast<Real>(s) * scale));
}

}  // namespace kb

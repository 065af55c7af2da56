#pragma once
// A text as keybird-render sounds it, one character at a time: the recorder's rendering,
// or, under band conditions, the buffers a random run with noise and fading would sound.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "audio/character_fill.h"
#include "audio/noise.h"
#include "audio/synthesis.h"
#include "core/morse.h"
#include "core/random_int.h"
#include "core/timing.h"
#include "receive/wav_writer.h"

namespace kb::render {

struct RenderSettings {
    TimingSettings timing;
    int levelDb = DefaultLevelDb;
    long pitch = 800;
    bool examTone = false;
    RecordFormat format;
    // Band conditions.
    std::optional<int> noisePosition;  // the noise dialog's scale, 0 loudest .. 20 none
    int noiseHold = 8;
    bool noiseHoldGiven = false;
    std::optional<int> qsbDepth;  // dB
    std::optional<std::uint32_t> seed;
    bool bandConditions() const { return noisePosition || qsbDepth || seed || noiseHoldGiven; }
};

class TextRenderer {
public:
    explicit TextRenderer(const RenderSettings& s);

    // The bytes a character adds to the file; 0 for one without a code.
    std::uint64_t characterBytes(unsigned char c) const;
    // Whether the text sounds anything at all.
    static bool soundsAnything(const std::string& text);
    // Appends one character's bytes.
    void append(std::vector<std::uint8_t>& out, unsigned char c);

private:
    // Values of a character's buffer; 0 for a character without code.
    int bufferValues(unsigned char c) const;

    RenderSettings s_;
    MorseTable morse_;
    ElementDurations d_;
    RecordDurations rd_;
    RecordSpacing sp_;
    ToneTable tone_;
    RandomInt random_;
    SoundTables tables_{random_};
    Fading fading_;
    CharacterSettings character_;
    CharBuffer buffer_;
    KeyingSchedule schedule_;  // unused: a file is never keyed
};

}  // namespace kb::render

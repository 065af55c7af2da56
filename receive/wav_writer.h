#pragma once
// Morse rendered into a PCM wave file, character by character, from the same tone table
// and durations as playback. Pure: bytes in, bytes out; the caller does the file I/O.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "audio/synthesis.h"
#include "core/morse.h"
#include "core/timing.h"

namespace kb {

struct RecordFormat {
    std::uint8_t channels = 1;     // RecordChannels: 1 or 2
    std::uint8_t bits = 8;         // RecordBits: 8 or 16
    std::uint8_t rateDivisor = 1;  // RecordRateDivisor: 1 for 22050 Hz, 2 for 11025 Hz

    std::uint32_t rate() const { return static_cast<std::uint32_t>(OutputRate / rateDivisor); }
    std::uint32_t bytesPerSecond() const { return rate() * channels * bits / 8; }
    std::uint16_t blockAlign() const { return static_cast<std::uint16_t>(channels * bits / 8); }
    int bytesPerValue() const { return bits / 8; }
};

// Element durations in recorded sample values (one value per channel per frame).
struct RecordDurations {
    int dash = 0;
    int dot = 0;
    int gap = 0;
};
RecordDurations recordDurations(const ElementDurations& d, const RecordFormat& f);

inline constexpr std::size_t WavHeaderSize = 44;
std::array<std::uint8_t, WavHeaderSize> wavHeader(const RecordFormat& f, std::uint32_t dataSize);

// The word and character spacing a recording uses.
struct RecordSpacing {
    int spacing = 1;  // character spacing (CharGapUnits = 3 x spacing - 1)
    int wordSpacingFactor = 1;
};

// Byte count of the sample data of a text: blanks give word gaps, code-less characters
// nothing, every other character its elements, gaps and character gap.
std::uint64_t recordDataSize(std::string_view text, const MorseTable& morse,
                             const RecordDurations& rd, const RecordFormat& f,
                             const RecordSpacing& sp);

// "123 456  bytes": groups of three digits from the right, single blanks between.
std::string formatRecordSize(std::uint64_t bytes);

// Appends one character's samples (its elements, gaps and character gap) to out; a
// code-less character appends nothing. Returns the bytes appended.
std::size_t renderRecordCharacter(std::vector<std::uint8_t>& out, unsigned char c,
                                  const MorseTable& morse, const ToneTable& tone,
                                  const RecordDurations& rd, const RecordFormat& f,
                                  const RecordSpacing& sp);

// Appends a character buffer as the output sounds it (16-bit stereo, 22050 Hz, `values`
// values) converted to the recording format the way the recorder converts its tone
// values: value k takes the left value of frame (k / channels) x divisor; 8 bits keep
// the high byte plus 128. Returns the bytes appended.
std::size_t appendConvertedBuffer(std::vector<std::uint8_t>& out, const std::int16_t* values,
                                  int valueCount, const RecordFormat& f);
// The bytes appendConvertedBuffer gives for a buffer of valueCount values.
std::uint64_t convertedBufferSize(int valueCount, const RecordFormat& f);

}  // namespace kb

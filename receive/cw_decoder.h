// Stub: replaced by the decoder.
#pragma once
// The monitor's decoder as the window sees it; this stand-in decodes nothing, so the
// window's wiring builds and runs until the decoder itself arrives.

#include <cstdint>
#include <string>

#include "core/morse.h"

namespace kb {

inline constexpr int MonitorFramesPerBuffer = 1110;  // 0.1 s at 11025 Hz
inline constexpr int MonitorSampleRate = 11025;

class CwDecoder {
public:
    explicit CwDecoder(const MorseTable& morse);
    void startUp();
    void startMonitoring();
    void setThreshold(int threshold);
    void setRightChannel(bool right);
    void setUpperCase(bool upper);
    // Interleaved unsigned 8-bit stereo frames; completed text (Windows-1252) appended to out.
    void decodeBuffer(const std::uint8_t* frames, int frameCount, std::string& out);
    int envelopeLeft() const;  // 0..128
    int envelopeRight() const;

private:
    [[maybe_unused]] const MorseTable& morse_;
};

}  // namespace kb

#pragma once
// The monitor's Morse decoder: frames of the sound-card input in, text out. No filter and
// no tone detection: a tone is any stretch where the peak magnitude of a channel's last
// 30 samples reaches the threshold, and the timing is learned from the signal itself (a
// dot length carried from character to character, a gap length renewed within each
// character). Pure: time is the frame position, so tests and keybird-decode drive it
// exactly as the window does.

#include <array>
#include <cstdint>
#include <string>

#include "core/morse.h"

namespace kb {

inline constexpr int MonitorFramesPerBuffer = 1110;  // 0.1 s at 11025 Hz
inline constexpr int MonitorSampleRate = 11025;

class CwDecoder {
public:
    explicit CwDecoder(const MorseTable& morse);

    // End of start-up: DotReference -1, WordEnded false, InTone true, CodeSoFar empty,
    // GapReference -1.
    void startUp();
    // Starting the monitor: envelopes and windows 0, marks -1, WordEnded false, InTone true,
    // CodeSoFar empty, BufferBase 0; DotReference and GapReference kept.
    void startMonitoring();

    void setThreshold(int threshold);  // DecoderThreshold, 0..127
    void setRightChannel(bool right);  // the channel whose envelope is the level
    void setUpperCase(bool upper);     // letters in upper case (prosigns unchanged)

    // One buffer of interleaved unsigned 8-bit stereo frames (left, right); the text it
    // completes (Windows-1252) is appended to `out`.
    void decodeBuffer(const std::uint8_t* frames, int frameCount, std::string& out);

    int envelopeLeft() const { return left_.envelope; }  // 0..128, at the buffer's last frame
    int envelopeRight() const { return right_.envelope; }

    static constexpr int WindowLength = 30;
    static constexpr int MinimumDuration = 165;  // frames, about 15 ms

private:
    // The last WindowLength magnitudes of one channel and their maximum.
    struct Window {
        std::array<std::uint8_t, WindowLength> entries{};
        int next = 0;  // the oldest entry, overwritten by the newest
        int envelope = 0;
        void clear();
        void push(std::uint8_t sample);
    };

    void toneEnds(int position);
    void toneStarts(int f, std::string& out);
    void silence(int position, std::string& out);
    void reset();
    void writeCode(bool wordEnd, std::string& out) const;

    const MorseTable& morse_;
    Window left_;
    Window right_;
    int threshold_ = 64;
    bool rightChannel_ = false;
    bool upperCase_ = false;

    bool inTone_ = true;
    bool wordEnded_ = false;
    int bufferBase_ = 0;
    // The frame count of the buffer decoded last: the next buffer starts that much later.
    int lastFrameCount_ = 0;
    int markStart_ = -1;
    int markEnd_ = -1;
    int dotReference_ = -1;
    int gapReference_ = -1;
    std::string codeSoFar_;
};

}  // namespace kb

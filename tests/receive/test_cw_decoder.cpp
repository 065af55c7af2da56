#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/morse.h"
#include "receive/cw_decoder.h"

namespace kb {
namespace {

constexpr int Unit = 550;  // frames of one dot: 50 ms, about 24 wpm

// Stereo frames of a keyed signal: a code ("-.-") keyed with dot = Unit, dash = 3 Units and
// one Unit between elements; tN a tone, sN a silence of N frames. A tone is a square wave
// of `amplitude` around 128 on one channel. A tenth of a second of silence comes first (a
// tone sounding when the monitor starts is no element), four seconds follow.
std::vector<std::uint8_t> keyed(const std::string& script, int amplitude = 100,
                                bool onRight = false) {
    std::vector<std::uint8_t> frames;
    auto add = [&](int count, bool tone) {
        for (int k = 0; k < count; ++k) {
            const auto sample =
                static_cast<std::uint8_t>(tone ? (k % 2 ? 128 + amplitude : 128 - amplitude) : 128);
            frames.push_back(onRight ? 128 : sample);
            frames.push_back(onRight ? sample : 128);
        }
    };
    add(MonitorFramesPerBuffer, false);
    std::istringstream in(script);
    for (std::string token; in >> token;) {
        if (token[0] == 't' || token[0] == 's') {
            add(std::stoi(token.substr(1)), token[0] == 't');
            continue;
        }
        for (std::size_t k = 0; k < token.size(); ++k) {
            if (k > 0) add(Unit, false);
            add(token[k] == '-' ? 3 * Unit : Unit, true);
        }
    }
    add(4 * MonitorSampleRate, false);
    return frames;
}

std::string decode(CwDecoder& decoder, const std::vector<std::uint8_t>& frames,
                   int bufferFrames = MonitorFramesPerBuffer) {
    std::string text;
    const int total = static_cast<int>(frames.size() / 2);
    for (int at = 0; at < total; at += bufferFrames)
        decoder.decodeBuffer(&frames[2 * static_cast<std::size_t>(at)],
                             std::min(bufferFrames, total - at), text);
    return text;
}

struct Row {
    const char* name;
    const char* script;
    std::string text;
    bool upper = false;
    int amplitude = 100;
    int threshold = 64;
    bool onRight = false;
    bool rightSelected = false;
    int bufferFrames = MonitorFramesPerBuffer;
};

constexpr const char* kCqDe = "-.-. s1650 --.- s3850 -.. s1650 .";

class Decoding : public testing::TestWithParam<Row> {};

TEST_P(Decoding, FramesInTextOut) {
    const Row& r = GetParam();
    MorseTable morse;
    morse.defineLocal(0xE9, "..-..");  // é, and É before it in the table
    CwDecoder decoder(morse);
    decoder.setUpperCase(r.upper);
    decoder.setThreshold(r.threshold);
    decoder.setRightChannel(r.rightSelected);
    EXPECT_EQ(decode(decoder, keyed(r.script, r.amplitude, r.onRight), r.bufferFrames), r.text);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(CwDecoder, Decoding, testing::Values(
    Row{"LoneFirstDashIsADot", "-", "e "},
    Row{"FirstDashRewrittenByTheShortGapAfterIt", "-.", "n "},
    Row{"FirstLetterM", "--", "m "},
    Row{"ShortToneDropsTheCharacter", ". s1650 .- s550 t100 s1650 ..", "ei "},
    Row{"ShortGapDropsTheCharacter", ". s1650 .- s100 - s1650 ..", "ei "},
    Row{"GapShortOfAWordEnd", "... s2800 ..", "si "},
    Row{"GapPastAWordEnd", "... s3600 ..", "s i "},
    Row{"EightDashesWriteNothing", ". s1650 -------- s1650 .", "ee "},
    Row{"EightDotsAreHH", "........", "[HH] "},
    Row{"Prosigns", ".-... s1650 -.--. s1650 ...-.- s1650 ........ s1650 .-",
        "[AS][KN][VA][HH]a "},
    Row{"ProsignsUpper", ".-... s1650 -.--. s1650 ...-.- s1650 ........ s1650 .-",
        "[AS][KN][VA][HH]A ", true},
    Row{"CodePageCaseLower", "..-..", "\xE9 "},
    Row{"CodePageCaseUpper", "..-..", "\xC9 ", true},
    Row{"BelowThreshold", "...", "", false, 40, 64},
    Row{"AtThreshold", "...", "s ", false, 40, 40},
    Row{"LeftToneRightSelected", "...", "", false, 100, 64, false, true},
    Row{"RightToneRightSelected", "...", "s ", false, 100, 64, true, true},
    Row{"RightToneLeftSelected", "...", "", false, 100, 64, true, false},
    Row{"Buffers1", kCqDe, "cq de ", false, 100, 64, false, false, 1},
    Row{"Buffers997", kCqDe, "cq de ", false, 100, 64, false, false, 997},
    Row{"Buffers5000", kCqDe, "cq de ", false, 100, 64, false, false, 5000}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(CwDecoder, StartingTheMonitorKeepsTheDotLengthStartUpForgetsIt) {
    MorseTable morse;
    CwDecoder decoder(morse);
    EXPECT_EQ(decode(decoder, keyed(".")), "e ");
    decoder.startMonitoring();
    EXPECT_EQ(decode(decoder, keyed("-")), "t ");
    decoder.startUp();
    decoder.startMonitoring();
    EXPECT_EQ(decode(decoder, keyed("-")), "e ");
}

TEST(CwDecoder, EnvelopesArePeaksOfTheLastThirtyFrames) {
    MorseTable morse;
    CwDecoder decoder(morse);
    std::string text;
    std::vector<std::uint8_t> frames(2 * 40, 128);  // the window keeps frames 10..39
    frames[2 * 10] = 0;                             // magnitude 128 on the left
    frames[2 * 9 + 1] = 255;                        // 127 on the right, too early
    frames[2 * 25] = 51;                            // 77 on the left
    frames[2 * 20 + 1] = 133;                       // 5 on the right
    decoder.decodeBuffer(frames.data(), 40, text);
    EXPECT_EQ(std::pair(decoder.envelopeLeft(), decoder.envelopeRight()), std::pair(128, 5));
    decoder.decodeBuffer(frames.data(), 1, text);  // the 0 falls out too
    EXPECT_EQ(decoder.envelopeLeft(), 77);
}

}  // namespace
}  // namespace kb

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "tools/run_process.h"

namespace kb {
namespace {

// Every character has a code and none shares one with a prosign.
const std::string kText =
    "cq de keybird, qth paris. rst 599? 73 = ok + 'end' / the quick brown fox jumps over the "
    "lazy dog 1234567890 @ : ; - \" ok";

std::string upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
    return s;
}

struct Row {
    const char* name;
    const char* file;                 // keybird-render's output, its format from the name
    std::vector<std::string> render;  // render options
    std::vector<std::string> decode;  // decode arguments; FILE stands for the file
    std::string out;                  // the text, a blank after its last word, the line end
    int exitCode = 0;
    bool fileOnStdin = false;
};

class KeybirdDecode : public testing::TestWithParam<Row> {
protected:
    test::TempDir dir;
};

// keybird-render's default level (-9 dB) peaks near 45 in 8 bits, under the default
// threshold of 64; at full level that threshold is half the peak, where the tone edges
// lengthen and shorten the elements least. Its default word gap (6 units) is just the
// decoder's word-end limit (six gaps inside the last character), so whether that blank
// comes would depend on the edges' shape: word spacing 2 (9 units) gives one at every word.
TEST_P(KeybirdDecode, RenderedFiles) {
    const Row& r = GetParam();
    const std::string path = (dir.path() / r.file).string();
    std::vector<std::string> render{KEYBIRD_RENDER_BIN, "-q", "--word-spacing", "2", "-o", path};
    render.insert(render.end(), r.render.begin(), r.render.end());
    render.push_back(kText);
    ASSERT_EQ(test::runProcess(render, {"", std::nullopt, dir.path()}).exitCode, 0);
    std::vector<std::string> decode{KEYBIRD_DECODE_BIN};
    for (const std::string& a : r.decode) decode.push_back(a == "FILE" ? path : a);
    const std::string in = r.fileOnStdin ? test::readWholeFile(path) : "not a sound file";
    const test::ProcessResult d = test::runProcess(decode, {in, std::nullopt, dir.path()});
    EXPECT_EQ(d.exitCode, r.exitCode) << d.err;
    EXPECT_EQ(d.out, r.out);
    EXPECT_EQ(d.err.empty(), r.exitCode == 0) << d.err;
}

const std::vector<std::string> kFull{"--level", "0", "--wpm", "20"};
const std::vector<std::string> kFast{"--level", "0", "--wpm", "40"};

// clang-format off
INSTANTIATE_TEST_SUITE_P(KeybirdDecode, KeybirdDecode, testing::Values(
    Row{"Wpm12", "t.wav", {"--level", "0", "--wpm", "12"}, {"FILE"}, kText + " \n"},
    Row{"Wpm20", "t.wav", kFull, {"FILE"}, kText + " \n"},
    Row{"Wpm40", "t.wav", kFast, {"FILE"}, kText + " \n"},
    Row{"Stereo16At11025", "t.wav", {"--level", "0", "--samples", "stereo16", "--rate", "11025"},
        {"--channel", "right", "FILE"}, kText + " \n"},
    Row{"Flac", "t.flac", kFull, {"FILE"}, kText + " \n"},
    Row{"OggWpm30Upper", "t.ogg", {"--level", "0", "--wpm", "30"}, {"--upper", "FILE"},
        upper(kText) + " \n"},
    Row{"StandardInput", "t.wav", kFull, {"-"}, kText + " \n", 0, true},
    Row{"DefaultLevelLowThreshold", "t.wav", {"--wpm", "20"}, {"--threshold", "20", "FILE"},
        kText + " \n"},
    Row{"DefaultLevelDefaultThreshold", "t.wav", {"--wpm", "20"}, {"FILE"}, "\n"},
    Row{"ThresholdTooHigh", "t.wav", kFast, {"--threshold", "128", "FILE"}, "", 2},
    Row{"ThresholdNotANumber", "t.wav", kFast, {"--threshold", "6x", "FILE"}, "", 2},
    Row{"NoSuchChannel", "t.wav", kFast, {"--channel", "middle", "FILE"}, "", 2},
    Row{"UnknownOption", "t.wav", kFast, {"--bogus", "FILE"}, "", 2},
    Row{"MissingValue", "t.wav", kFast, {"FILE", "--channel"}, "", 2},
    Row{"NoFile", "t.wav", kFast, {}, "", 2},
    Row{"TwoFiles", "t.wav", kFast, {"FILE", "FILE"}, "", 2},
    Row{"MissingFile", "t.wav", kFast, {"missing.wav"}, "", 2},
    Row{"StandardInputNotSound", "t.wav", kFast, {"-"}, "", 2}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

}  // namespace
}  // namespace kb

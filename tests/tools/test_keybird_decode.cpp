#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "tools/run_process.h"

namespace kb {
namespace {

using test::ProcessResult;

// Every character has a code and none shares one with a prosign.
const std::string kText =
    "cq de keybird, qth paris. rst 599? 73 = ok + 'end' / the quick brown fox jumps over the "
    "lazy dog 1234567890 @ : ; - \" ok";

class Decode : public testing::Test {
protected:
    ProcessResult run(const char* bin, std::vector<std::string> args, const std::string& in = "") {
        args.insert(args.begin(), bin);
        return test::runProcess(args, {in, std::nullopt, dir.path()});
    }
    // keybird-render's file of kText. Its level defaults to -9 dB, an 8-bit peak near 45,
    // below the monitor's default threshold of 64: full level puts that threshold at half
    // the peak, where the tone edges lengthen and shorten the elements least. A word gap
    // at the default word spacing (6 units) is just the decoder's own word-end limit (six
    // gaps inside the last character), so whether its blank comes would depend on the
    // shape of the edges; word spacing 2 (9 units) gives a blank at every word.
    std::string render(const std::string& name, std::vector<std::string> args) {
        const std::string path = (dir.path() / name).string();
        args.insert(args.end(), {"-q", "--word-spacing", "2", "-o", path, kText});
        const ProcessResult r = run(KEYBIRD_RENDER_BIN, args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return path;
    }
    test::TempDir dir;
};

struct Row {
    const char* name;
    std::vector<std::string> render;
    std::vector<std::string> decode;
    std::string expected;  // the decoder's blank after the last word, and the line end
};

void PrintTo(const Row& r, std::ostream* os) {
    *os << r.name;
}

std::string upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
    return s;
}

class DecodeRendered : public Decode, public testing::WithParamInterface<Row> {};

TEST_P(DecodeRendered, GivesTheTextBack) {
    const Row& r = GetParam();
    std::vector<std::string> args = r.decode;
    args.push_back(render(std::string("t.") + r.render.back(), r.render));
    const ProcessResult d = run(KEYBIRD_DECODE_BIN, args);
    EXPECT_EQ(d.exitCode, 0) << d.err;
    EXPECT_EQ(d.out, r.expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(KeybirdDecode, DecodeRendered, testing::Values(
    Row{"Wpm12", {"--level", "0", "--wpm", "12", "--format", "wav"}, {}, kText + " \n"},
    Row{"Wpm20", {"--level", "0", "--wpm", "20", "--format", "wav"}, {}, kText + " \n"},
    Row{"Wpm40", {"--level", "0", "--wpm", "40", "--format", "wav"}, {}, kText + " \n"},
    Row{"Stereo16At11025", {"--level", "0", "--samples", "stereo16", "--rate", "11025",
        "--format", "wav"}, {"--channel", "right"}, kText + " \n"},
    Row{"Flac", {"--level", "0", "--wpm", "20", "--format", "flac"}, {}, kText + " \n"},
    Row{"OggUpper", {"--level", "0", "--wpm", "30", "--format", "ogg"}, {"--upper"},
        upper(kText) + " \n"},
    Row{"DefaultLevelLowThreshold", {"--wpm", "20", "--format", "wav"}, {"--threshold", "20"},
        kText + " \n"},
    Row{"DefaultLevelDefaultThreshold", {"--wpm", "20", "--format", "wav"}, {}, "\n"}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(Decode, ReadsAWavFromStandardInput) {
    const std::string wav = test::readWholeFile(render("t.wav", {"--level", "0"}));
    const ProcessResult d = run(KEYBIRD_DECODE_BIN, {"-"}, wav);
    EXPECT_EQ(d.exitCode, 0) << d.err;
    EXPECT_EQ(d.out, kText + " \n");
}

class BadUse : public Decode, public testing::WithParamInterface<std::vector<std::string>> {};

TEST_P(BadUse, ExitsWithTwoAndAMessage) {
    std::vector<std::string> args = GetParam();
    for (auto& a : args)
        if (a == "FILE") a = render("t.wav", {"--level", "0", "--wpm", "40"});
    const ProcessResult d = run(KEYBIRD_DECODE_BIN, args, "not a sound file");
    EXPECT_EQ(d.exitCode, 2);
    EXPECT_EQ(d.out, "");
    EXPECT_NE(d.err, "");
}

INSTANTIATE_TEST_SUITE_P(KeybirdDecode, BadUse,
                         testing::Values(std::vector<std::string>{},
                                         std::vector<std::string>{"FILE", "FILE"},
                                         std::vector<std::string>{"--threshold", "128", "FILE"},
                                         std::vector<std::string>{"--threshold", "6x", "FILE"},
                                         std::vector<std::string>{"--channel", "middle", "FILE"},
                                         std::vector<std::string>{"--bogus", "FILE"},
                                         std::vector<std::string>{"FILE", "--channel"},
                                         std::vector<std::string>{"missing.wav"},
                                         std::vector<std::string>{"-"}));

}  // namespace
}  // namespace kb

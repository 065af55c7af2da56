// keybird-render's file for one fixed text in every format and under band conditions,
// pinned by size and digest as the tool writes it today, so that a rework of the sound
// code can show it changed no byte. After a deliberate change the failure message gives
// the row to paste.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "run_process.h"

namespace kb {
namespace {

struct GoldenRender {
    const char* name;
    std::vector<std::string> args;
    std::size_t size;
    std::uint64_t fnv;  // 64-bit FNV-1a of the whole file, header included
};

void PrintTo(const GoldenRender& c, std::ostream* os) {
    *os << c.name;
}

class RenderGolden : public testing::TestWithParam<GoldenRender> {
protected:
    test::TempDir dir;
};

TEST_P(RenderGolden, FileIsUnchanged) {
    const GoldenRender& c = GetParam();
    const std::string out = (dir.path() / "golden.wav").string();
    std::vector<std::string> argv = {KEYBIRD_RENDER_BIN, "-o", out};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    // Letters, figures, stops, word gaps and a character without a code.
    argv.push_back("cq de f5abc 599 = k? & 73");
    const test::ProcessResult r = test::runProcess(argv, {"", std::nullopt, dir.path()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string file = test::readWholeFile(out);
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char b : file) h = (h ^ b) * 1099511628211ull;
    char digest[19];
    std::snprintf(digest, sizeof digest, "0x%016llx", static_cast<unsigned long long>(h));
    EXPECT_TRUE(file.size() == c.size && h == c.fnv)
        << c.name << " renders differently now: " << file.size() << " bytes (golden " << c.size
        << "), digest " << digest << ". If deliberate, the row's new values are {" << file.size()
        << "u, " << digest << "ull}.";
}

using Args = std::vector<std::string>;

INSTANTIATE_TEST_SUITE_P(
    Formats, RenderGolden,
    testing::Values(
        GoldenRender{"Mono8", Args{}, 527072u, 0xf0d936dac52dcc53ull},
        GoldenRender{"Mono16", Args{"--format", "mono16"}, 1054100u, 0xf95d971a266fcf21ull},
        GoldenRender{"Stereo8", Args{"--format", "stereo8"}, 1054100u, 0x76e75451a8dac11dull},
        GoldenRender{"Stereo16", Args{"--format", "stereo16"}, 2108156u, 0xde8cd311316adb06ull},
        GoldenRender{"Stereo16At11025", Args{"--format", "stereo16", "--rate", "11025"}, 1053768u,
                     0xc97759359d2e2167ull},
        GoldenRender{"Mono8At11025Timing",
                     Args{"--rate", "11025", "--wpm", "30", "--spacing", "3", "--word-spacing", "2",
                          "--weight", "4"},
                     152254u, 0x19bcfcff99bdc692ull},
        GoldenRender{"Mono16ExamTone", Args{"--format", "mono16", "--exam-tone", "--level", "0"},
                     1054100u, 0xb7d3183fa04cbd5aull},
        GoldenRender{
            "Stereo8Pitch",
            Args{"--format", "stereo8", "--pitch", "600", "--level", "-15", "--weight", "5"},
            985794u, 0xfb1ee6e5d7297297ull}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    BandConditions, RenderGolden,
    testing::Values(
        GoldenRender{"WideNoise",
                     Args{"--format", "mono16", "--noise", "0", "--noise-bw", "10", "--seed", "1"},
                     1054100u, 0xdc9f2b14456400a8ull},
        GoldenRender{"NarrowNoise8Bit", Args{"--noise", "8", "--noise-bw", "2.5", "--seed", "77"},
                     527072u, 0xce3a65c554c604b3ull},
        GoldenRender{"DeepQsb", Args{"--format", "stereo16", "--qsb", "20", "--seed", "5"},
                     2108156u, 0x8937538b90d31fe2ull},
        GoldenRender{"NoiseAndQsbAt11025",
                     Args{"--format", "stereo16", "--rate", "11025", "--wpm", "20", "--noise", "6",
                          "--noise-bw", "5", "--qsb", "12", "--seed", "4242"},
                     632544u, 0x318b91629114e22bull},
        GoldenRender{"NoiseAndQsbExamTone",
                     Args{"--format", "mono16", "--exam-tone", "--noise", "3", "--qsb", "8",
                          "--seed", "4294967295"},
                     1054100u, 0xa2a8de7a11862782ull}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kb

// keybird-render under band conditions: noise, fading and a seed.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "run_process.h"

namespace kb {
namespace {

class BandConditions : public testing::Test {
protected:
    std::string render(std::vector<std::string> args, const std::string& name) {
        const std::string path = (dir.path() / name).string();
        args.insert(args.begin(),
                    {KEYBIRD_RENDER_BIN, "-o", path, "--format", "mono16", "--wpm", "20"});
        args.push_back("cq de n0call 73");
        const test::ProcessResult r = test::runProcess(args, {"", std::nullopt, dir.path()});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return test::readWholeFile(path);
    }
    static std::uint32_t dataSize(const std::string& file) {
        std::uint32_t v = 0;
        for (int k = 3; k >= 0; --k) v = (v << 8) | static_cast<unsigned char>(file[40 + k]);
        return v;
    }
    // RMS of the 16-bit samples over [from, to) seconds.
    static double rms(const std::string& file, double from, double to) {
        const std::size_t a = 44 + 2 * static_cast<std::size_t>(from * 22050);
        const std::size_t b = 44 + 2 * static_cast<std::size_t>(to * 22050);
        double sum = 0;
        std::size_t n = 0;
        for (std::size_t k = a; k + 1 < b && k + 1 < file.size(); k += 2, ++n) {
            const auto v = static_cast<std::int16_t>(static_cast<unsigned char>(file[k]) |
                                                     static_cast<unsigned char>(file[k + 1]) << 8);
            sum += static_cast<double>(v) * v;
        }
        return n ? std::sqrt(sum / static_cast<double>(n)) : 0;
    }

    test::TempDir dir;
};

TEST_F(BandConditions, ASeedMakesTheFileReproducibleAndTheHeaderCountsIt) {
    const std::string a = render({"--noise", "6", "--qsb", "12", "--seed", "4242"}, "a.wav");
    const std::string b = render({"--noise", "6", "--qsb", "12", "--seed", "4242"}, "b.wav");
    const std::string c = render({"--noise", "6", "--qsb", "12", "--seed", "4243"}, "c.wav");
    ASSERT_GT(a.size(), 44u);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    EXPECT_EQ(a.size(), 44u + dataSize(a));
    // The same characters as the clean file: only the values differ.
    const std::string clean = render({}, "clean.wav");
    EXPECT_EQ(a.size(), clean.size());
}

TEST_F(BandConditions, NoiseFillsTheGapsAndTheBandwidthSetsItsHold) {
    const std::string clean = render({}, "clean.wav");
    const std::string noisy = render({"--noise", "0", "--seed", "1"}, "noisy.wav");
    // The first element gap of "c" at 20 wpm starts after a 170 ms dash.
    EXPECT_EQ(rms(clean, 0.175, 0.22), 0.0);
    EXPECT_GT(rms(noisy, 0.175, 0.22), 5000.0);

    const std::string narrow =
        render({"--noise", "0", "--noise-bw", "1.3", "--seed", "1"}, "n.wav");
    const std::string wide = render({"--noise", "0", "--noise-bw", "10", "--seed", "1"}, "w.wav");
    auto changes = [](const std::string& f) {
        int n = 0;
        for (std::size_t k = 44 + 2 * 4000; k < 44 + 2 * 4400; k += 2) {
            n += f.compare(k, 2, f, k - 2, 2) != 0;
        }
        return n;
    };
    EXPECT_LE(changes(narrow), 400 / 8 + 1);
    EXPECT_GT(changes(wide), 300);
}

TEST_F(BandConditions, NoNoiseAndNoFadingGiveTheRecordersFile) {
    // At 16-bit mono 22050 Hz the converted buffers equal the recorder's rendering.
    const std::string clean = render({}, "clean.wav");
    EXPECT_EQ(render({"--noise", "20", "--seed", "9"}, "quiet.wav"), clean);
    EXPECT_EQ(render({"--qsb", "0", "--seed", "9"}, "flat.wav"), clean);
}

TEST_F(BandConditions, FadingLowersSomeCharacters) {
    const std::string clean = render({}, "clean.wav");
    const std::string faded = render({"--qsb", "20", "--seed", "5"}, "faded.wav");
    ASSERT_EQ(clean.size(), faded.size());
    double cleanPeak = 0, fadedMin = 1e9;
    // Compare the loudness of each 50 ms stretch that holds tone.
    for (double t = 0; t + 0.05 < (clean.size() - 44) / 44100.0; t += 0.05) {
        const double c = rms(clean, t, t + 0.05);
        if (c < 1000) continue;
        cleanPeak = std::max(cleanPeak, c);
        fadedMin = std::min(fadedMin, rms(faded, t, t + 0.05) / c);
    }
    EXPECT_GT(cleanPeak, 0);
    EXPECT_LT(fadedMin, 0.5) << "20 dB of fading must soften some character a lot";
}

TEST_F(BandConditions, BadValuesAreRefused) {
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--noise", "21"},
                                                {"--noise-bw", "3"},
                                                {"--qsb", "-1"},
                                                {"--seed", "x"},
                                                {"--seed", "4294967296"}}) {
        std::vector<std::string> args = {KEYBIRD_RENDER_BIN, "-o",
                                         (dir.path() / "bad.wav").string()};
        args.insert(args.end(), bad.begin(), bad.end());
        args.push_back("e");
        const test::ProcessResult r = test::runProcess(args, {"", std::nullopt, dir.path()});
        EXPECT_EQ(r.exitCode, 2) << bad[0];
        EXPECT_NE(r.err.find(bad[0]), std::string::npos) << r.err;
        EXPECT_TRUE(dir.entries().empty());
    }
}

}  // namespace
}  // namespace kb

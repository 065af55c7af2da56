// A rendered file read back by an independent decoder: multimon-ng's MORSE_CW
// demodulator. It takes raw signed 16-bit mono samples at 22050 Hz; the 16-bit mono
// 22050 Hz file is fed to it as is (header stripped), the other sample layouts through
// sox, and the compressed files decoded by libsndfile.

#include <gtest/gtest.h>
#include <sndfile.h>
#include <soxr.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tools/run_process.h"

namespace kb {
namespace {

namespace fs = std::filesystem;

std::optional<std::string> findProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string d;
    while (std::getline(dirs, d, ':')) {
        const fs::path p = fs::path(d.empty() ? "." : d) / name;
        if (::access(p.c_str(), X_OK) == 0) return p.string();
    }
    return std::nullopt;
}

// Upper case without blanks: the decoder finds word gaps by its own adaptive timing, so
// only the characters are compared.
std::string squeeze(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (!std::isspace(static_cast<unsigned char>(c))) {
            out.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
        }
    }
    return out;
}

// Letters, figures and stops, all with a code multimon-ng knows.
const std::string kText =
    "cq de keybird, qth paris. rst 599? 73/88 = ok + 'end' - the quick brown fox jumps over "
    "the lazy dog 1234567890";

struct DecodeCase {
    const char* format;
    const char* rate;
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << c.format << " " << c.rate;
}

class MultimonDecode : public testing::TestWithParam<DecodeCase> {
protected:
    test::TempDir dir;
};

TEST_P(MultimonDecode, DecodesTheRenderedText) {
    const auto multimon = findProgram("multimon-ng");
    if (!multimon)
        GTEST_SKIP() << "multimon-ng is not installed: no independent decoder to check against";
    const DecodeCase& c = GetParam();
    const bool direct = std::string(c.format) == "mono16" && std::string(c.rate) == "22050";
    const auto sox = findProgram("sox");
    if (!direct && !sox)
        GTEST_SKIP()
            << "sox is not installed: only the mono16 22050 file can be fed to the decoder";

    const std::string wav = (dir.path() / "text.wav").string();
    const std::string raw = (dir.path() / "text.raw").string();
    // 20 wpm: multimon-ng's timing starts from 50 ms elements and follows 60 ms dots at once.
    const test::ProcessResult r = test::runProcess({KEYBIRD_RENDER_BIN, "-o", wav, "--wpm", "20",
                                                    "--samples", c.format, "--rate", c.rate, kText},
                                                   {"", std::nullopt, dir.path()});
    ASSERT_EQ(r.exitCode, 0) << r.err;

    if (direct) {
        // Samples after the 44-byte header, then a second of silence: the decoder emits a
        // character only once the gap after it has run out.
        const std::string file = test::readWholeFile(wav);
        ASSERT_GT(file.size(), 44u);
        std::ofstream(raw, std::ios::binary) << file.substr(44) << std::string(44100, '\0');
    } else {
        const test::ProcessResult s =
            test::runProcess({*sox, wav, "-t", "raw", "-r", "22050", "-e", "signed-integer", "-b",
                              "16", "-c", "1", "-L", raw, "pad", "0", "1"},
                             {"", std::nullopt, dir.path()});
        ASSERT_EQ(s.exitCode, 0) << s.err;
    }

    const test::ProcessResult d =
        test::runProcess({*multimon, "-q", "-c", "-a", "MORSE_CW", "-t", "raw", raw},
                         {"", std::nullopt, dir.path()});
    ASSERT_EQ(d.exitCode, 0) << d.err;
    EXPECT_EQ(squeeze(d.out), squeeze(kText)) << "decoded: " << d.out;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, MultimonDecode,
    testing::Values(DecodeCase{"mono16", "22050"}, DecodeCase{"mono8", "22050"},
                    DecodeCase{"stereo16", "22050"}, DecodeCase{"stereo8", "11025"},
                    DecodeCase{"mono16", "11025"}),
    [](const auto& info) { return std::string(info.param.format) + "_" + info.param.rate; });

// A sound file as libsndfile decodes it: the first channel as 16-bit values at its rate.
struct Decoded {
    int rate = 0;
    std::vector<short> values;
};

Decoded decode(const std::string& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    Decoded d;
    if (!f) return d;
    d.rate = info.samplerate;
    std::vector<short> frame(4096 * static_cast<std::size_t>(info.channels));
    sf_count_t n;
    while ((n = sf_readf_short(f, frame.data(), 4096)) > 0) {
        for (sf_count_t k = 0; k < n; ++k) d.values.push_back(frame[k * info.channels]);
    }
    sf_close(f);
    return d;
}

// What multimon-ng reads: 22050 Hz, then a second of silence so the last character ends.
std::string rawFor(const Decoded& d) {
    std::vector<short> values = d.values;
    if (d.rate != 22050) {
        std::vector<short> out(values.size() * 22050 / d.rate + 4096);
        std::size_t done = 0;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
        if (soxr_oneshot(d.rate, 22050, 1, values.data(), values.size(), nullptr, out.data(),
                         out.size(), &done, &io, nullptr, nullptr)) {
            return {};
        }
        out.resize(done);
        values = out;
    }
    values.resize(values.size() + 22050, 0);
    return std::string(reinterpret_cast<const char*>(values.data()), values.size() * 2);
}

struct CompressedCase {
    const char* ext;
    const char* samples;
};

void PrintTo(const CompressedCase& c, std::ostream* os) {
    *os << c.ext << " " << c.samples;
}

class CompressedDecode : public testing::TestWithParam<CompressedCase> {
protected:
    test::TempDir dir;
};

TEST_P(CompressedDecode, SameSoundAsTheWaveFile) {
    const std::string ext = GetParam().ext;
    const std::string wav = (dir.path() / "text.wav").string();
    const std::string coded = (dir.path() / ("text." + ext)).string();
    for (const std::string& out : {wav, coded}) {
        const test::ProcessResult r = test::runProcess(
            {KEYBIRD_RENDER_BIN, "-o", out, "--wpm", "20", "--samples", GetParam().samples, kText},
            {"", std::nullopt, dir.path()});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    const Decoded ref = decode(wav);
    const Decoded got = decode(coded);
    ASSERT_FALSE(got.values.empty()) << coded << ": " << sf_strerror(nullptr);
    if (ext == "flac") {
        EXPECT_TRUE(got.values == ref.values) << "FLAC holds the samples bit for bit";
    }
    EXPECT_NEAR(static_cast<double>(got.values.size()) / got.rate,
                static_cast<double>(ref.values.size()) / ref.rate, 0.1);
    // Through a pipe, where nothing can be written back at the end.
    const std::string piped = (dir.path() / ("piped." + ext)).string();
    const test::ProcessResult p = test::runProcess({"/bin/sh", "-c",
                                                    std::string("'")
                                                        .append(KEYBIRD_RENDER_BIN)
                                                        .append("' --wpm 20 -o - --format ")
                                                        .append(ext)
                                                        .append(" --samples ")
                                                        .append(GetParam().samples)
                                                        .append(" | cat > '")
                                                        .append(piped)
                                                        .append("'")},
                                                   {kText, std::nullopt, dir.path()});
    ASSERT_EQ(p.exitCode, 0) << p.err;
    const Decoded pipedBack = decode(piped);
    EXPECT_NEAR(static_cast<double>(pipedBack.values.size()) / std::max(pipedBack.rate, 1),
                static_cast<double>(ref.values.size()) / ref.rate, 0.1);

    const auto multimon = findProgram("multimon-ng");
    if (!multimon) GTEST_SKIP() << "multimon-ng is not installed: the text is not decoded";
    const std::string raw = (dir.path() / "text.raw").string();
    std::ofstream(raw, std::ios::binary) << rawFor(got);
    const test::ProcessResult d =
        test::runProcess({*multimon, "-q", "-c", "-a", "MORSE_CW", "-t", "raw", raw},
                         {"", std::nullopt, dir.path()});
    ASSERT_EQ(d.exitCode, 0) << d.err;
    EXPECT_EQ(squeeze(d.out), squeeze(kText)) << "decoded: " << d.out;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, CompressedDecode,
    testing::Values(CompressedCase{"flac", "mono16"}, CompressedCase{"flac", "stereo8"},
                    CompressedCase{"ogg", "mono16"}, CompressedCase{"opus", "mono16"},
                    CompressedCase{"mp3", "mono8"}),
    [](const auto& info) { return std::string(info.param.ext) + "_" + info.param.samples; });

}  // namespace
}  // namespace kb

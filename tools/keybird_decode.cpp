// keybird-decode: the monitor's Morse decoder run over a recording.
//
//   keybird-decode [options] FILE
//
// The recording is brought to what the monitor hears from the sound card, unsigned 8-bit
// stereo at 11025 Hz, and fed to the same decoder in the same 1110-frame buffers, so the
// text printed is the text the monitor would have written.

#include <getopt.h>
#include <sndfile.h>
#include <soxr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "core/cp1252.h"
#include "core/morse.h"
#include "receive/cw_decoder.h"

namespace {

constexpr const char* kUsage =
    "Usage: keybird-decode [options] FILE\n"
    "Decode the Morse code in a recording as Keybird's monitor does, and print the text.\n"
    "\n"
    "FILE is any sound file libsndfile reads (WAV, FLAC, Ogg, ...), at any rate; - reads a\n"
    "WAV from standard input. A mono file feeds both channels; of more than two channels the\n"
    "first two are the left and right.\n"
    "\n"
    "      --channel C          left or right: the channel that carries the signal (left)\n"
    "      --threshold N        the level that counts as a tone, 0..127 (64); the level is\n"
    "                           the peak of the 8-bit samples around their middle, 0..128\n"
    "      --upper              letters in upper case (prosigns are always [AS] [HH] [KN] [VA])\n"
    "  -h, --help               show this help\n"
    "\n"
    "Exit status: 0 decoded (the text may be empty), 2 an error.\n";

// About two seconds of silence after the recording, so that the last character, which
// the decoder writes only once the silence after it is long enough, is written.
constexpr int kTrailingBuffers = 20;

[[noreturn]] void fail(const std::string& message) {
    std::cerr << "keybird-decode: " << message << "\n";
    std::exit(2);
}

[[noreturn]] void failValue(const char* option, const std::string& value, const char* expected) {
    std::string message = "invalid value '";
    message += value;
    message.append("' for --").append(option).append(" (expected ").append(expected) += ')';
    fail(message);
}

[[noreturn]] void failFile(const std::string& file, const char* why) {
    std::string message = "cannot read '";
    message += file;
    message.append("': ").append(why);
    fail(message);
}

struct Options {
    std::string file;
    bool right = false;
    int threshold = 64;
    bool upper = false;
};

Options parse(int argc, char** argv) {
    enum { Channel = 256, Threshold, Upper };
    static const option kLong[] = {{"channel", required_argument, nullptr, Channel},
                                   {"threshold", required_argument, nullptr, Threshold},
                                   {"upper", no_argument, nullptr, Upper},
                                   {"help", no_argument, nullptr, 'h'},
                                   {nullptr, 0, nullptr, 0}};
    Options o;
    opterr = 0;
    for (int c; (c = getopt_long(argc, argv, "h", kLong, nullptr)) != -1;) {
        const std::string value = optarg ? optarg : "";
        switch (c) {
            case Channel:
                if (value != "left" && value != "right")
                    failValue("channel", value, "left or right");
                o.right = value == "right";
                break;
            case Threshold: {
                char* end = nullptr;
                errno = 0;
                const long v = std::strtol(value.c_str(), &end, 10);
                if (value.empty() || errno != 0 || *end != '\0' || v < 0 || v > 127)
                    failValue("threshold", value, "0..127");
                o.threshold = static_cast<int>(v);
                break;
            }
            case Upper: o.upper = true; break;
            case 'h': std::cout << kUsage; std::exit(0);
            default: {
                std::string message = "unknown option or missing value: ";
                message.append(argv[optind - 1]).append(" (see --help)");
                fail(message);
            }
        }
    }
    if (optind != argc - 1) fail("expected one FILE (see --help)");
    o.file = argv[optind];
    return o;
}

// Feeds stereo float frames to the decoder as the sound card's 8-bit samples, in whole
// buffers, and prints the text as it comes.
class Feeder {
public:
    explicit Feeder(const Options& o) : decoder_(morse_) {
        decoder_.startUp();
        decoder_.setThreshold(o.threshold);
        decoder_.setRightChannel(o.right);
        decoder_.setUpperCase(o.upper);
        decoder_.startMonitoring();
    }

    void add(const float* stereo, std::size_t frames) {
        for (std::size_t k = 0; k < 2 * frames; ++k) {
            const long v = std::lround(static_cast<double>(stereo[k]) * 128.0) + 128;
            buffer_.push_back(static_cast<std::uint8_t>(std::clamp(v, 0L, 255L)));
            if (buffer_.size() == 2 * static_cast<std::size_t>(kb::MonitorFramesPerBuffer))
                decode();
        }
    }

    // Completes the last buffer with silence and lets the silence run on.
    void finish() {
        for (int k = 0; k <= kTrailingBuffers; ++k) {
            buffer_.resize(2 * static_cast<std::size_t>(kb::MonitorFramesPerBuffer), 128);
            decode();
        }
        std::cout << "\n";
        std::cout.flush();
        if (!std::cout) fail("cannot write to standard output");
    }

private:
    void decode() {
        std::string text;
        decoder_.decodeBuffer(buffer_.data(), kb::MonitorFramesPerBuffer, text);
        buffer_.clear();
        if (!text.empty()) std::cout << kb::cp1252ToUtf8(text) << std::flush;
    }

    kb::MorseTable morse_;
    kb::CwDecoder decoder_;
    std::vector<std::uint8_t> buffer_;
};

class Resampler {
public:
    explicit Resampler(int rate) : ratio_(kb::MonitorSampleRate / static_cast<double>(rate)) {
        soxr_error_t err = nullptr;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t q = soxr_quality_spec(SOXR_HQ, 0);
        soxr_ = soxr_create(rate, kb::MonitorSampleRate, 2, &err, &io, &q, nullptr);
        if (err) fail(std::string("cannot resample: ") + err);
    }
    ~Resampler() { soxr_delete(soxr_); }
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    // Resamples `frames` stereo frames (none: the end of the input) into the feeder.
    void process(const float* in, std::size_t frames, Feeder& feeder) {
        out_.resize(2 * (static_cast<std::size_t>(static_cast<double>(frames) * ratio_) + 256));
        const std::size_t capacity = out_.size() / 2;
        do {
            std::size_t used = 0;
            std::size_t made = 0;
            const soxr_error_t err =
                soxr_process(soxr_, in, frames, &used, out_.data(), capacity, &made);
            if (err) fail(std::string("cannot resample: ") + err);
            feeder.add(out_.data(), made);
            if (in) in += 2 * used;
            frames -= used;
            // At the end soxr hands out what it holds over as many calls as it needs.
            if (made == 0 && (!in || used == 0)) break;
        } while (frames > 0 || !in);
    }

private:
    double ratio_;
    soxr_t soxr_ = nullptr;
    std::vector<float> out_;
};

}  // namespace

int main(int argc, char** argv) {
    const Options o = parse(argc, argv);

    SF_INFO info{};
    SNDFILE* file = o.file == "-" ? sf_open_fd(STDIN_FILENO, SFM_READ, &info, SF_FALSE)
                                  : sf_open(o.file.c_str(), SFM_READ, &info);
    if (!file) failFile(o.file, sf_strerror(nullptr));
    if (info.channels < 1 || info.samplerate < 1) failFile(o.file, "no sound in it");

    Feeder feeder(o);
    std::optional<Resampler> resampler;
    if (info.samplerate != kb::MonitorSampleRate) resampler.emplace(info.samplerate);

    constexpr std::size_t kChunk = 4096;
    const auto channels = static_cast<std::size_t>(info.channels);
    std::vector<float> in(kChunk * channels);
    std::vector<float> stereo(2 * kChunk);
    for (;;) {
        const sf_count_t got = sf_readf_float(file, in.data(), static_cast<sf_count_t>(kChunk));
        if (got <= 0) break;
        const auto frames = static_cast<std::size_t>(got);
        for (std::size_t k = 0; k < frames; ++k) {
            stereo[2 * k] = in[k * channels];
            stereo[2 * k + 1] = in[k * channels + (channels > 1 ? 1 : 0)];
        }
        if (resampler) resampler->process(stereo.data(), frames, feeder);
        else feeder.add(stereo.data(), frames);
    }
    if (sf_error(file) != SF_ERR_NO_ERROR) failFile(o.file, sf_strerror(file));
    sf_close(file);
    if (resampler) resampler->process(nullptr, 0, feeder);
    feeder.finish();
    return 0;
}

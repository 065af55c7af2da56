// The monitor's decoder on the GUI thread: what one second of sound-card input costs it,
// as a share of one core (goal: under 1 %). The input is what the monitor hears from a
// loud, clean or noisy signal: keybird-render's rendering at 0 dB in the monitor's own
// format (unsigned 8-bit stereo, 11025 Hz), fed in 1110-frame buffers, round and round.
// The noise-only case is the monitor left listening to an empty band.

#include <benchmark/benchmark.h>

#include <time.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/morse.h"
#include "core/random_int.h"
#include "receive/cw_decoder.h"
#include "tools/text_renderer.h"

namespace {

constexpr std::size_t kBufferBytes = 2 * kb::MonitorFramesPerBuffer;

// The processor time this thread has had: the cost, whatever else the machine runs.
double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Words of 1 to 8 letters, figures and stops, as a practice text would be.
std::string practiceText(std::size_t length) {
    static const std::string kChars = "abcdefghijklmnopqrstuvwxyz0123456789.,?/";
    kb::RandomInt random(20240601);
    std::string text;
    while (text.size() < length) {
        const std::uint32_t word = 1 + random(8);
        for (std::uint32_t k = 0; k < word && text.size() < length; ++k) {
            text.push_back(kChars[random(static_cast<std::uint32_t>(kChars.size()))]);
        }
        if (text.size() < length) text.push_back(' ');
    }
    return text;
}

// The text rendered as the monitor's input, then two seconds of silence, cut to whole
// buffers. noise: the noise dialog's position (20: none).
std::vector<std::uint8_t> monitorInput(const std::string& text, int wpm, int noise) {
    kb::render::RenderSettings s;
    s.timing.speed = wpm;
    s.timing.wordSpacingFactor = 2;
    s.levelDb = 0;
    s.format.channels = 2;
    s.format.bits = 8;
    s.format.rateDivisor = 2;
    if (noise < 20) {
        s.noisePosition = noise;
        s.seed = 73;
    }
    kb::render::TextRenderer renderer(s);
    std::vector<std::uint8_t> input;
    for (char c : text) renderer.append(input, static_cast<unsigned char>(c));
    input.resize(input.size() + 20 * kBufferBytes, 128);
    input.resize(input.size() / kBufferBytes * kBufferBytes);
    return input;
}

// Args: speed in wpm (0: no signal, the noise alone), noise position (20: none).
void BM_DecodeMonitorInput(benchmark::State& state) {
    const int wpm = static_cast<int>(state.range(0));
    const int noise = static_cast<int>(state.range(1));
    const std::string text = practiceText(120);
    // No signal: a blank text sounds its word gaps only, so the noise runs on its own.
    const std::vector<std::uint8_t> input =
        monitorInput(wpm == 0 ? std::string(400, ' ') : text, wpm == 0 ? 20 : wpm, noise);
    const std::size_t buffers = input.size() / kBufferBytes;

    kb::MorseTable morse;
    kb::CwDecoder decoder(morse);
    decoder.startMonitoring();

    // One pass first, uncounted: how much of the text came back shows the input is one the
    // decoder actually reads.
    std::string decoded;
    for (std::size_t b = 0; b < buffers; ++b) {
        decoder.decodeBuffer(input.data() + b * kBufferBytes, kb::MonitorFramesPerBuffer, decoded);
    }

    std::string out;
    std::size_t b = 0;
    const double start = threadCpuSeconds();
    for (auto _ : state) {
        decoder.decodeBuffer(input.data() + b * kBufferBytes, kb::MonitorFramesPerBuffer, out);
        benchmark::DoNotOptimize(out.data());
        out.clear();
        if (++b == buffers) b = 0;
    }
    const double elapsed = threadCpuSeconds() - start;

    const double inputSeconds = static_cast<double>(state.iterations()) *
                                kb::MonitorFramesPerBuffer / kb::MonitorSampleRate;
    const double usPerSecond = elapsed * 1e6 / inputSeconds;
    state.counters["us_per_s_input"] = usPerSecond;
    state.counters["core_pct"] = usPerSecond / 1e4;  // of 1e6 us in a second, in %
    state.counters["chars_in"] = wpm == 0 ? 0.0 : static_cast<double>(text.size());
    state.counters["chars_out"] = static_cast<double>(decoded.size());
    std::string label = wpm == 0 ? std::string("noise alone") : std::to_string(wpm) + " wpm";
    if (noise < 20) label.append(", noise ").append(std::to_string(noise));
    else label.append(", clean");
    state.SetLabel(label);
}
BENCHMARK(BM_DecodeMonitorInput)
    ->Args({12, 20})
    ->Args({20, 20})
    ->Args({40, 20})
    ->Args({20, 14})
    ->Args({20, 6})
    ->Args({0, 6})
    ->ArgNames({"wpm", "noise"})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

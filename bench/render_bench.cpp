// keybird-render's rendering path: a 10,000-character text through renderRecordCharacter
// into a file, reported as a multiple of real time (seconds of sound per second of work).
// The goal is 1000x real time for 16-bit mono at 22050 Hz.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/synthesis.h"
#include "core/morse.h"
#include "core/random_int.h"
#include "core/timing.h"
#include "receive/wav_writer.h"

namespace {

// Letters, figures and stops in words of 1 to 8 characters, as a practice text would be.
std::string practiceText(std::size_t length) {
    static const std::string kChars = "abcdefghijklmnopqrstuvwxyz0123456789.,?/+'-=";
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

kb::RecordFormat formatOf(std::int64_t which) {
    kb::RecordFormat f;
    switch (which) {
        case 0: f.channels = 1, f.bits = 16; break;  // the goal's format
        case 1: f.channels = 1, f.bits = 8; break;
        default: f.channels = 2, f.bits = 16; break;
    }
    return f;
}

const char* formatName(std::int64_t which) {
    switch (which) {
        case 0: return "mono16 22050";
        case 1: return "mono8 22050";
        default: return "stereo16 22050";
    }
}

// Args: format (0 mono16, 1 mono8, 2 stereo16), speed in wpm.
void BM_RenderToFile(benchmark::State& state) {
    const std::string text = practiceText(10000);
    const kb::RecordFormat f = formatOf(state.range(0));
    const int speed = static_cast<int>(state.range(1));
    const kb::MorseTable morse;
    kb::ToneTable tone;
    tone.rebuild(kb::ToneParams{800.0L, kb::ToneType::Sine, kb::levelGain(-9)});
    const kb::RecordDurations rd =
        kb::recordDurations(kb::elementDurations(kb::speedFactor(speed), 3), f);
    const kb::RecordSpacing sp{1, 1};
    const std::uint64_t size = kb::recordDataSize(text, morse, rd, f, sp);
    const std::string path = "/tmp/keybird_render_bench_" + std::to_string(::getpid()) + ".wav";

    std::vector<std::uint8_t> buf;
    buf.reserve(1 << 20);
    std::uint64_t written = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        FILE* out = std::fopen(path.c_str(), "wb");
        if (!out) {
            state.SkipWithError("cannot open the file in /tmp");
            break;
        }
        const auto header = kb::wavHeader(f, static_cast<std::uint32_t>(size));
        written = std::fwrite(header.data(), 1, header.size(), out);
        for (char c : text) {
            kb::renderRecordCharacter(buf, static_cast<unsigned char>(c), morse, tone, rd, f, sp);
            if (buf.size() >= (1u << 19)) {
                written += std::fwrite(buf.data(), 1, buf.size(), out);
                buf.clear();
            }
        }
        written += std::fwrite(buf.data(), 1, buf.size(), out);
        buf.clear();
        std::fclose(out);
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::remove(path.c_str());
    if (written != size + kb::WavHeaderSize) state.SkipWithError("short write");

    const double seconds = static_cast<double>(size) / f.bytesPerSecond();
    state.SetLabel(std::string(formatName(state.range(0))) + ", " + std::to_string(speed) +
                   " wpm, " + std::to_string(static_cast<long>(seconds)) + " s of sound");
    // A plain multiple, wall clock, the file write included.
    state.counters["x_realtime"] =
        seconds * static_cast<double>(state.iterations()) / elapsed.count();
    state.counters["MB"] = static_cast<double>(size) / 1e6;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(BM_RenderToFile)
    ->Args({0, 12})
    ->Args({0, 20})
    ->Args({1, 12})
    ->Args({2, 12})
    ->ArgNames({"format", "wpm"})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0)
    ->UseRealTime();

// The rendering alone, without the file: where the time goes.
void BM_RenderCharacters(benchmark::State& state) {
    const std::string text = practiceText(10000);
    const kb::RecordFormat f = formatOf(0);
    const kb::MorseTable morse;
    kb::ToneTable tone;
    tone.rebuild(kb::ToneParams{});
    const kb::RecordDurations rd =
        kb::recordDurations(kb::elementDurations(kb::speedFactor(12), 3), f);
    const kb::RecordSpacing sp{1, 1};
    const std::uint64_t size = kb::recordDataSize(text, morse, rd, f, sp);
    std::vector<std::uint8_t> buf;
    buf.reserve(1 << 20);
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        for (char c : text) {
            kb::renderRecordCharacter(buf, static_cast<unsigned char>(c), morse, tone, rd, f, sp);
            if (buf.size() >= (1u << 19)) {
                benchmark::DoNotOptimize(buf.data());
                buf.clear();
            }
        }
        buf.clear();
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    state.counters["x_realtime"] = static_cast<double>(size) / f.bytesPerSecond() *
                                   static_cast<double>(state.iterations()) / elapsed.count();
}
BENCHMARK(BM_RenderCharacters)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

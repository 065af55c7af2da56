// keybird-render's rendering path: a 10,000-character text rendered and written in each
// file format, reported as a multiple of real time (seconds of sound per second of work).
// Goals: WAV and FLAC at least 1000x real time, Ogg, Opus and MP3 at least 300x.

#include <benchmark/benchmark.h>

#include <fcntl.h>
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
#include "tools/audio_encoder.h"
#include "tools/text_renderer.h"

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

// keybird-render's whole path for a file format: the text rendered character by
// character, encoded and written to a file in /tmp.
// Args: file format (0 wav, 1 flac, 2 ogg, 3 opus, 4 mp3), samples (0 mono16, 1 mono8,
// 2 stereo16), speed in wpm.
void BM_RenderToFile(benchmark::State& state) {
    using namespace kb::render;
    const std::string text = practiceText(10000);
    const auto container = static_cast<Container>(state.range(0));
    RenderSettings settings;
    settings.format = formatOf(state.range(1));
    settings.timing.speed = static_cast<int>(state.range(2));
    std::uint64_t size = 0;
    {
        const TextRenderer sizing(settings);
        for (char c : text) size += sizing.characterBytes(static_cast<unsigned char>(c));
    }
    const std::string path = "/tmp/keybird_render_bench_" + std::to_string(::getpid());

    std::vector<std::uint8_t> buf;
    buf.reserve(1 << 20);
    std::uint64_t fileBytes = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        TextRenderer renderer(settings);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::string error;
        const auto encoder =
            makeEncoder(container, fd, settings.format, size, DefaultQuality, true, error);
        if (fd < 0 || !encoder) {
            state.SkipWithError(("cannot write the file in /tmp: " + error).c_str());
            if (fd >= 0) ::close(fd);
            break;
        }
        bool ok = true;
        for (char c : text) {
            renderer.append(buf, static_cast<unsigned char>(c));
            if (buf.size() >= (1u << 19)) {
                ok = encoder->write(buf.data(), buf.size()) && ok;
                buf.clear();
            }
        }
        ok = encoder->write(buf.data(), buf.size()) && encoder->finish() && ok;
        buf.clear();
        fileBytes = static_cast<std::uint64_t>(::lseek(fd, 0, SEEK_END));
        ::close(fd);
        if (!ok) {
            state.SkipWithError(("encoding failed: " + encoder->error()).c_str());
            break;
        }
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::remove(path.c_str());

    const double seconds = static_cast<double>(size) / settings.format.bytesPerSecond();
    state.SetLabel(std::string(extensionOf(container)) + " " + formatName(state.range(1)) + ", " +
                   std::to_string(settings.timing.speed) + " wpm, " +
                   std::to_string(static_cast<long>(seconds)) + " s of sound");
    // A plain multiple, wall clock, the encoding and the file write included.
    state.counters["x_realtime"] =
        seconds * static_cast<double>(state.iterations()) / elapsed.count();
    state.counters["file_MB"] = static_cast<double>(fileBytes) / 1e6;
}
BENCHMARK(BM_RenderToFile)
    ->Args({0, 0, 12})
    ->Args({0, 0, 20})
    ->Args({0, 1, 12})
    ->Args({0, 2, 12})
    ->Args({1, 1, 12})
    ->Args({1, 0, 12})
    ->Args({2, 1, 12})
    ->Args({3, 1, 12})
    ->Args({4, 1, 12})
    ->ArgNames({"file", "samples", "wpm"})
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

// Filling one character's buffer and rebuilding the tone table: the two jobs the GUI
// thread does between the sound device's completions.

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

#include "audio/synthesis.h"
#include "core/timing.h"

namespace {

// Args: speed in wpm, then the code (0: "e", 1: "0", the longest of the alphabet).
void BM_FillCharacter(benchmark::State& state) {
    const int speed = static_cast<int>(state.range(0));
    const std::string code = state.range(1) == 0 ? "." : "-----";
    kb::ToneTable tone;
    tone.rebuild(kb::ToneParams{});
    auto buffer = std::make_unique<kb::CharBuffer>();
    const kb::ElementDurations d = kb::elementDurations(kb::speedFactor(speed), 3);
    const int gaps = kb::charGapCount(kb::CharGapKind::Normal, 1, 1);
    int n = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        n = kb::fillCharacter(*buffer, tone, code, d, gaps);
        benchmark::DoNotOptimize(buffer->data());
        benchmark::ClobberMemory();
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    state.SetLabel(code == "." ? "e" : "0 (-----)");
    state.counters["values"] = n;
    // Seconds of sound filled per second of work.
    state.counters["x_realtime"] =
        n / 44100.0 * static_cast<double>(state.iterations()) / elapsed.count();
}
BENCHMARK(BM_FillCharacter)
    ->ArgsProduct({{5, 20, 50}, {0, 1}})
    ->ArgNames({"wpm", "code"})
    ->Unit(benchmark::kMicrosecond);

void BM_ToneTableRebuild(benchmark::State& state) {
    kb::RandomInt random;
    kb::SoundTables tables(random);
    const auto type = state.range(0) == 0 ? kb::ToneType::Sine : kb::ToneType::Examination;
    for (auto _ : state) {
        tables.setPitch(800, type);
        benchmark::DoNotOptimize(tables.tone().data());
    }
    state.SetLabel(state.range(0) == 0 ? "sine" : "examination tone");
}
BENCHMARK(BM_ToneTableRebuild)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

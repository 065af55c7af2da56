// needs: gui
// The real sound output, played into a PulseAudio null sink and recorded from its monitor:
//   - the silence inserted between consecutive characters (goal: median <= 1 ms, max
//     <= 5 ms), by the callback's own accounting (join_*: frames output between one
//     character's last frame and the next one's first) and from the recording (rec_*:
//     each silence between characters less the model's, less the detector's bias measured
//     on the silences inside characters), at 20 and 50 wpm;
//   - the time from write() to the callback that copies the first frame, from idle, i.e.
//     a key press on a silent device with its stream running (key_*; goal <= 2 ms);
//   - the same after a pause long enough for the stream to have been let go of, so the
//     write opens and starts a new one (cold_*; goal <= 50 ms), and how long write()
//     itself blocks the GUI thread meanwhile (cold_write_*);
//   - the output latency PortAudio reports for the stream (latency_ms; goal <= 30 ms);
//   - output underflows PortAudio flagged.
// for the default stream settings and a few others (fpb = frames per callback, lat =
// suggested latency in ms, 0 meaning the device's high latency).
//
// Run it against a private server (the script starts and stops one):
//   scripts/audio-loop.sh run build/release/bin/audio_bench
// or with PULSE_SERVER pointing at a server whose default source records its default sink.
// Without a server every case is skipped. It plays in real time: about 90 s in all.

#include <benchmark/benchmark.h>
#include <poll.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "audio/portaudio_wave_out.h"
#include "audio/sound_devices.h"
#include "audio/synthesis.h"
#include "core/monotonic.h"
#include "core/morse.h"
#include "core/timing.h"
#include "tests/integration/tone_edges.h"

namespace {

using namespace kb;

constexpr double Pitch = 800.0;

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return NAN;
    std::sort(v.begin(), v.end());
    const auto i = static_cast<std::size_t>(std::lround(p * static_cast<double>(v.size() - 1)));
    return v[i];
}

// Records the default input (the sink's monitor) at the output rate, mono.
class Recorder {
public:
    explicit Recorder(double seconds) : samples_(static_cast<std::size_t>(seconds * OutputRate)) {}
    ~Recorder() { stop(); }

    int start() {
        const PaDeviceIndex dev = inputDeviceIndex(-1);
        if (dev == paNoDevice) return paDeviceUnavailable;
        PaStreamParameters p{};
        p.device = dev;
        p.channelCount = 1;
        p.sampleFormat = paInt16;
        p.suggestedLatency = Pa_GetDeviceInfo(dev)->defaultHighInputLatency;
        PaError err = Pa_OpenStream(&stream_, &p, nullptr, OutputRate, 256, paNoFlag,
                                    &Recorder::callback, this);
        if (err != paNoError) return err;
        // No rescan may re-initialise PortAudio under this stream.
        session_.setHoldsStream(true);
        return Pa_StartStream(stream_);
    }
    void stop() {
        if (!stream_) return;
        Pa_AbortStream(stream_);
        Pa_CloseStream(stream_);
        stream_ = nullptr;
        session_.setHoldsStream(false);
    }
    std::vector<std::int16_t> take() {
        return {samples_.begin(), samples_.begin() + static_cast<std::ptrdiff_t>(used_.load())};
    }

private:
    static int callback(const void* in, void*, unsigned long frames,
                        const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags status, void* self) {
        auto* me = static_cast<Recorder*>(self);
        if (status & paInputOverflow) me->overflows_.fetch_add(1, std::memory_order_relaxed);
        const std::size_t at = me->used_.load(std::memory_order_relaxed);
        const std::size_t n = std::min<std::size_t>(frames, me->samples_.size() - at);
        if (in && n) std::copy_n(static_cast<const std::int16_t*>(in), n, me->samples_.data() + at);
        me->used_.store(at + n, std::memory_order_release);
        return paContinue;
    }

public:
    int overflows() const { return overflows_.load(); }

private:
    std::vector<std::int16_t> samples_;
    std::atomic<std::size_t> used_{0};
    std::atomic<int> overflows_{0};
    PortAudioSession session_;
    PaStream* stream_ = nullptr;
};

struct Config {
    const char* name;
    PortAudioWaveOut::Options options;
};

// Plays `text` the way the playback engine does: write a character, and on its Done fill
// and write the next. Returns the per-character timings (the first included).
bool playText(benchmark::State& state, PortAudioWaveOut& out, const std::string& text, int wpm,
              std::vector<ToneTiming>& timings, std::vector<char>& sounded) {
    TimingSettings s;
    s.speed = wpm;
    ToneParams tp;
    tp.pitch = Pitch;
    tp.levelGain = 0.5L;
    ToneTable tone;
    tone.rebuild(tp);
    CharBuffer buffer;
    const MorseTable morse;
    const ElementDurations d = elementDurations(speedFactor(wpm), s.weightRatio);
    std::size_t next = 0;
    int done = 0;
    int expected = 0;
    bool failed = false;
    std::int64_t settleUntil = 0;
    for (char c : text) expected += (c == ' ' || morse.hasCode(static_cast<unsigned char>(c)));

    auto writeNext = [&] {
        while (next < text.size()) {
            const char c = text[next++];
            int values = 0;
            if (c == ' ') {
                values = fillCharacter(buffer, tone, "", d, blankGapCount(s.wordSpacingFactor));
            } else if (morse.hasCode(static_cast<unsigned char>(c))) {
                values = fillCharacter(
                    buffer, tone, morse[static_cast<unsigned char>(c)], d,
                    charGapCount(CharGapKind::Normal, s.spacing, s.wordSpacingFactor));
            } else {
                continue;
            }
            out.reset();
            if (out.write(WaveBuffer::Tone, buffer.data(), values) != paNoError) failed = true;
            sounded.push_back(c);
            return;
        }
    };
    // The joins are measured on a running stream, as during a text: a silent buffer takes
    // the stream at Open, and the first character waits a moment, because the recording
    // of a new stream may lose a few milliseconds while the server takes it up.
    const std::vector<std::int16_t> warmUp(2 * 2205, 0);
    bool warmedUp = false;
    out.setNoticeHandler([&](const WaveOutNotice& n) {
        if (n.kind == WaveOutNotice::Kind::Open) {
            out.write(WaveBuffer::Tone, warmUp.data(), static_cast<int>(warmUp.size()));
            settleUntil = monotonicNs() + 300'000'000;
        }
        if (n.kind == WaveOutNotice::Kind::Failed) failed = true;
        if (n.kind == WaveOutNotice::Kind::Done && n.buffer == WaveBuffer::Tone && !warmedUp) {
            warmedUp = true;
            return;
        }
        if (n.kind == WaveOutNotice::Kind::Done && n.buffer == WaveBuffer::Tone) {
            timings.push_back(out.lastToneTiming());
            ++done;
            writeNext();
        }
    });
    if (const int err = out.open(WaveOut::DefaultDevice); err != paNoError) {
        state.SkipWithError(("open failed: Err " + std::to_string(err)).c_str());
        return false;
    }
    const std::int64_t limit = monotonicNs() + 60'000'000'000;
    while (!failed && done < expected && monotonicNs() < limit) {
        pollfd p{out.noticeFd(), POLLIN, 0};
        if (::poll(&p, 1, 10) > 0) out.drainNotices();
        if (settleUntil && monotonicNs() >= settleUntil) {
            settleUntil = 0;
            writeNext();
        }
    }
    // The last character's tail and the device's buffering.
    std::this_thread::sleep_for(std::chrono::milliseconds(
        200 + out.leadFrames() * 1000 / OutputRate + static_cast<int>(out.outputLatency() * 1e3)));
    if (failed) state.SkipWithError("the device failed");
    return !failed;
}

void joinBenchmark(benchmark::State& state, Config cfg, int wpm) {
    PortAudioSession session;
    if (!session.ok() || outputDeviceIndex(-1) == paNoDevice) {
        state.SkipWithError("no sound device (set PULSE_SERVER, see the top of this file)");
        return;
    }
    // About 6 s of "PARIS " words.
    const double wordSeconds = 50.0 * (ToneTableFrames / speedFactor(wpm) / 3.0L) / OutputRate;
    std::string text;
    for (int i = 0; i < std::max(2, static_cast<int>(std::ceil(6.0 / wordSeconds))); ++i) {
        text += "PARIS ";
    }
    for (auto _ : state) {
        Recorder rec(20.0);
        if (rec.start() != paNoError) {
            state.SkipWithError("cannot record the sink's monitor");
            return;
        }
        PortAudioWaveOut out(cfg.options);
        std::vector<ToneTiming> timings;
        std::vector<char> sounded;
        const bool ok = playText(state, out, text, wpm, timings, sounded);
        const double latency = out.outputLatency();
        const auto counters = out.counters();
        out.close();
        rec.stop();
        if (!ok) return;

        // The callback's accounting: frames between one character's end and the next's
        // start, for every character written on its predecessor's Done.
        std::vector<double> gaps;
        for (std::size_t i = 1; i < timings.size(); ++i) {
            gaps.push_back(static_cast<double>(timings[i].gapFrames) * 1e3 / OutputRate);
        }
        // The recording: each silence after a character's last element, less the model's.
        TimingSettings s;
        s.speed = wpm;
        const MorseTable morse;
        const ElementDurations dur = elementDurations(speedFactor(wpm), s.weightRatio);
        const auto model = edges::modelElements(text, morse, dur, s);
        const auto tones = edges::findTones(rec.take(), OutputRate, Pitch);
        // Silences inside a character cannot hold inserted silence: their deviation from
        // the model is the detector's own bias, taken off the character boundaries'.
        std::vector<double> extra;
        if (tones.size() != model.size()) {
            std::fprintf(stderr, "recording: %zu tones heard, %zu expected\n", tones.size(),
                         model.size());
        } else {
            std::vector<double> inside;
            std::vector<double> boundary;
            for (std::size_t i = 0; i + 1 < tones.size(); ++i) {
                const double heard = (tones[i + 1].start - tones[i].end) * 1e3;
                const double want =
                    (model[i].silenceFrames + edges::ShapingFrames) * 1e3 / OutputRate;
                (model[i].silenceFrames == dur.gap / 2 ? inside : boundary).push_back(heard - want);
            }
            const double bias = percentile(inside, 0.5);
            for (double b : boundary) extra.push_back(b - bias);
        }
        state.counters["join_med_ms"] = percentile(gaps, 0.5);
        state.counters["join_max_ms"] =
            gaps.empty() ? NAN : *std::max_element(gaps.begin(), gaps.end());
        state.counters["rec_med_ms"] = percentile(extra, 0.5);
        state.counters["rec_max_ms"] =
            extra.empty() ? NAN : *std::max_element(extra.begin(), extra.end());
        // 0 when the recording lost tones (its input overflowed on a busy machine).
        state.counters["rec_tones_ok"] = tones.size() == model.size();
        state.counters["rec_overflows"] = rec.overflows();
        state.counters["chars"] = static_cast<double>(timings.size());
        state.counters["latency_ms"] = latency * 1e3;
        state.counters["underflows"] = static_cast<double>(counters.underflows);
    }
}

void keyBenchmark(benchmark::State& state, Config cfg) {
    PortAudioSession session;
    if (!session.ok() || outputDeviceIndex(-1) == paNoDevice) {
        state.SkipWithError("no sound device (set PULSE_SERVER, see the top of this file)");
        return;
    }
    ToneParams tp;
    tp.pitch = Pitch;
    ToneTable tone;
    tone.rebuild(tp);
    CharBuffer buffer;
    const MorseTable morse;
    // A dash at 50 wpm (68 ms): longer than any lead, so its Done follows its first copy.
    const int values = fillCharacter(buffer, tone, "-", elementDurations(speedFactor(50), 3), 0);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> pause(15, 45);
    for (auto _ : state) {
        PortAudioWaveOut out(cfg.options);
        std::vector<double> delays;
        bool done = false;
        out.setNoticeHandler([&](const WaveOutNotice& n) {
            if (n.kind == WaveOutNotice::Kind::Done) done = true;
        });
        if (const int err = out.open(WaveOut::DefaultDevice); err != paNoError) {
            state.SkipWithError(("open failed: Err " + std::to_string(err)).c_str());
            return;
        }
        out.drainNotices();
        // A silent buffer first: the stream runs from then on, as while someone types.
        const std::vector<std::int16_t> silence(2 * 2205, 0);
        out.write(WaveBuffer::Tone, silence.data(), static_cast<int>(silence.size()));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        out.drainNotices();
        for (int k = 0; k < 40; ++k) {
            done = false;
            out.write(WaveBuffer::Tone, buffer.data(), values);
            while (!done) {
                pollfd p{out.noticeFd(), POLLIN, 0};
                if (::poll(&p, 1, 1000) <= 0) break;
                out.drainNotices();
            }
            const ToneTiming& t = out.lastToneTiming();
            if (done && t.firstOutNs) delays.push_back((t.firstOutNs - t.writtenNs) * 1e-6);
            // Let it play out, then wait a random while so writes fall anywhere in a period.
            std::this_thread::sleep_for(
                std::chrono::milliseconds(out.leadFrames() * 1000 / OutputRate + pause(rng)));
        }
        state.counters["key_med_ms"] = percentile(delays, 0.5);
        state.counters["key_p90_ms"] = percentile(delays, 0.9);
        state.counters["key_max_ms"] =
            delays.empty() ? NAN : *std::max_element(delays.begin(), delays.end());
        state.counters["latency_ms"] = out.outputLatency() * 1e3;
        state.counters["underflows"] = static_cast<double>(out.counters().underflows);
        out.close();
    }
}

// A key press after a pause: each write finds the stream let go of for idleness (the
// default idle time), so it opens and starts a new one first.
void coldKeyBenchmark(benchmark::State& state, Config cfg) {
    PortAudioSession session;  // as the program holds one
    if (!session.ok() || outputDeviceIndex(-1) == paNoDevice) {
        state.SkipWithError("no sound device (set PULSE_SERVER, see the top of this file)");
        return;
    }
    ToneParams tp;
    tp.pitch = Pitch;
    ToneTable tone;
    tone.rebuild(tp);
    CharBuffer buffer;
    const int values = fillCharacter(buffer, tone, "-", elementDurations(speedFactor(50), 3), 0);
    for (auto _ : state) {
        PortAudioWaveOut out(cfg.options);
        std::vector<double> delays;
        std::vector<double> blocked;
        bool done = false;
        out.setNoticeHandler([&](const WaveOutNotice& n) {
            if (n.kind == WaveOutNotice::Kind::Done) done = true;
        });
        if (const int err = out.open(WaveOut::DefaultDevice); err != paNoError) {
            state.SkipWithError(("open failed: Err " + std::to_string(err)).c_str());
            return;
        }
        for (int k = 0; k < 6; ++k) {
            // Idle until the stream is let go of, and a little longer.
            const std::int64_t idleUntil = monotonicNs() + 10'000'000'000;
            while (out.streamRunning() && monotonicNs() < idleUntil) {
                pollfd p{out.noticeFd(), POLLIN, 0};
                if (::poll(&p, 1, 50) > 0) out.drainNotices();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            done = false;
            const std::int64_t t0 = monotonicNs();
            if (out.write(WaveBuffer::Tone, buffer.data(), values) != paNoError) {
                state.SkipWithError("write failed");
                return;
            }
            blocked.push_back((monotonicNs() - t0) * 1e-6);
            while (!done) {
                pollfd p{out.noticeFd(), POLLIN, 0};
                if (::poll(&p, 1, 1000) <= 0) break;
                out.drainNotices();
            }
            const ToneTiming& t = out.lastToneTiming();
            if (done && t.firstOutNs) delays.push_back((t.firstOutNs - t.writtenNs) * 1e-6);
        }
        state.counters["cold_med_ms"] = percentile(delays, 0.5);
        state.counters["cold_max_ms"] =
            delays.empty() ? NAN : *std::max_element(delays.begin(), delays.end());
        state.counters["cold_write_med_ms"] = percentile(blocked, 0.5);
        state.counters["cold_write_max_ms"] =
            blocked.empty() ? NAN : *std::max_element(blocked.begin(), blocked.end());
        state.counters["streams_taken"] = out.streamStarts();
        state.counters["idle_stops"] = out.idleStops();
        state.counters["underflows"] = static_cast<double>(out.counters().underflows);
        out.close();
    }
}

PortAudioWaveOut::Options options(int fpb, double latency) {
    PortAudioWaveOut::Options o;
    o.framesPerBuffer = fpb;
    o.suggestedLatency = latency;
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("PULSE_SERVER")) {
        std::fprintf(stderr, "PULSE_SERVER is not set: run as scripts/audio-loop.sh run %s\n",
                     argv[0]);
    }
    const PortAudioWaveOut::Options defaults;
    const std::vector<Config> configs = {
        {"default", defaults},
        {"fpb256_latHigh", options(256, 0)},
        {"fpb128_lat25", options(128, 0.025)},
        {"fpb32_lat25", options(32, 0.025)},
    };
    for (const Config& c : configs) {
        for (int wpm : {20, 50}) {
            benchmark::RegisterBenchmark(
                (std::string("Join/") + c.name + "/wpm:" + std::to_string(wpm)).c_str(),
                [c, wpm](benchmark::State& s) { joinBenchmark(s, c, wpm); })
                ->Iterations(1)
                ->Unit(benchmark::kSecond);
        }
        benchmark::RegisterBenchmark((std::string("KeyToFirstCopy/") + c.name).c_str(),
                                     [c](benchmark::State& s) { keyBenchmark(s, c); })
            ->Iterations(1)
            ->Unit(benchmark::kSecond);
    }
    for (const Config& c : {configs[0], configs[1]}) {
        benchmark::RegisterBenchmark((std::string("KeyAfterIdleToFirstCopy/") + c.name).c_str(),
                                     [c](benchmark::State& s) { coldKeyBenchmark(s, c); })
            ->Iterations(1)
            ->Unit(benchmark::kSecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Drives the real sound output the way the playback engine does, and checks a recording
// of it against the timing model. Used by audio_loop.sh.
//
//   play_text play    --text T --wpm N [--pitch HZ] [--fpb N] [--latency S]
//       Opens the default output device, then per character: fill the character buffer,
//       write it, and on its Done notice (taken from the notice descriptor with
//       drainNotices) fill and write the next. Waits for the sound to end, closes, and
//       prints the back end's own figures. Exit 0 when every character was given back,
//       3 when PortAudio also flagged an output underflow, 1 on failure.
//   play_text analyze --capture FILE --rate R --text T --wpm N [--pitch HZ]
//       Reads a raw mono s16le recording, finds the tones, and compares every tone and
//       every silence between them with the timing model: each within 1 ms.
//   play_text vanish  --wpm N
//       Plays until the device fails (the test stops the sound server meanwhile) and
//       exits 0 once a Failed notice arrived, 1 if none came within 10 s.

#include <poll.h>
#include <time.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "audio/portaudio_wave_out.h"
#include "audio/synthesis.h"
#include "core/monotonic.h"
#include "core/morse.h"
#include "core/timing.h"
#include "tone_edges.h"

namespace {

using namespace kb;

struct Args {
    std::string mode;
    std::map<std::string, std::string> opts;
    std::string get(const std::string& k, const std::string& dflt = "") const {
        auto it = opts.find(k);
        return it == opts.end() ? dflt : it->second;
    }
};

Args parse(int argc, char** argv) {
    Args a;
    if (argc > 1) a.mode = argv[1];
    for (int i = 2; i + 1 < argc; i += 2) a.opts[argv[i]] = argv[i + 1];
    return a;
}

// One character as the engine hands it over: its code (empty for a blank) and gaps.
struct Character {
    char text;
    std::string code;
    int trailingGaps;
};

std::vector<Character> characters(const std::string& text, const MorseTable& morse,
                                  const TimingSettings& s) {
    std::vector<Character> out;
    for (char c : text) {
        if (c == ' ') {
            out.push_back({c, "", blankGapCount(s.wordSpacingFactor)});
        } else if (morse.hasCode(static_cast<unsigned char>(c))) {
            out.push_back({c, morse[static_cast<unsigned char>(c)],
                           charGapCount(CharGapKind::Normal, s.spacing, s.wordSpacingFactor)});
        }
    }
    return out;
}

PortAudioWaveOut::Options options(const Args& a) {
    PortAudioWaveOut::Options o;
    if (!a.get("--fpb").empty()) o.framesPerBuffer = std::atoi(a.get("--fpb").c_str());
    if (!a.get("--latency").empty()) o.suggestedLatency = std::atof(a.get("--latency").c_str());
    if (!a.get("--lead").empty()) o.leadFrames = std::atoi(a.get("--lead").c_str());
    return o;
}

// Waits for notices for up to `ms` and hands them over; false on a poll error.
bool pump(PortAudioWaveOut& out, int ms) {
    pollfd p{out.noticeFd(), POLLIN, 0};
    const int r = ::poll(&p, 1, ms);
    if (r < 0) return false;
    if (r > 0) out.drainNotices();
    return true;
}

int play(const Args& a, bool untilFailure) {
    TimingSettings s;
    s.speed = std::atoi(a.get("--wpm", "20").c_str());
    const std::string text = a.get("--text", "PARIS 73");
    ToneParams tp;
    tp.pitch = std::strtold(a.get("--pitch", "800").c_str(), nullptr);
    tp.levelGain = 0.5L;
    ToneTable tone;
    tone.rebuild(tp);
    CharBuffer buffer;
    MorseTable morse;
    const ElementDurations d = elementDurations(speedFactor(s.speed), s.weightRatio);
    const std::vector<Character> chars = characters(untilFailure ? "PARIS " : text, morse, s);

    PortAudioWaveOut out(options(a));
    std::size_t next = 0;
    int written = 0;
    int toneDone = 0;
    bool opened = false;
    bool failed = false;
    int failure = 0;
    std::vector<ToneTiming> timings;

    auto writeNext = [&] {
        if (next >= chars.size()) {
            if (!untilFailure) return false;
            next = 0;  // keep playing until the device goes away
        }
        const Character& c = chars[next++];
        const int values = fillCharacter(buffer, tone, c.code, d, c.trailingGaps);
        out.reset();
        const int err = out.write(WaveBuffer::Tone, buffer.data(), values);
        if (err != paNoError) {
            std::fprintf(stderr, "write failed: Err %d\n", err);
            failed = true;
            return false;
        }
        ++written;
        return true;
    };

    out.setNoticeHandler([&](const WaveOutNotice& n) {
        if (n.device != &out) {
            std::fprintf(stderr, "notice from a foreign device\n");
            failed = true;
            return;
        }
        switch (n.kind) {
            case WaveOutNotice::Kind::Open:
                // The program opens the device at start-up, long before the first
                // character; a new stream's first milliseconds may be lost while the
                // server takes it up, so the first character waits a moment too.
                opened = true;
                break;
            case WaveOutNotice::Kind::Done:
                if (n.buffer != WaveBuffer::Tone) break;
                ++toneDone;
                timings.push_back(out.lastToneTiming());
                writeNext();
                break;
            case WaveOutNotice::Kind::Failed:
                failed = true;
                failure = n.error;
                out.close();
                break;
        }
    });

    const std::int64_t t0 = monotonicNs();
    const int err = out.open(WaveOut::DefaultDevice);
    if (err != paNoError) {
        std::fprintf(stderr, "open failed: Err %d\n", err);
        return 1;
    }
    std::printf("output latency %.1f ms, lead %d frames (%.1f ms)\n", out.outputLatency() * 1e3,
                out.leadFrames(), out.leadFrames() * 1e3 / OutputRate);

    const std::int64_t limitNs = (untilFailure ? 10 : 30) * std::int64_t{1000000000};
    bool started = false;
    while (!failed && (untilFailure || toneDone < static_cast<int>(chars.size()))) {
        if (monotonicNs() - t0 > limitNs) break;
        if (!pump(out, started ? 100 : 10)) break;
        if (opened && !started && monotonicNs() - t0 > 300'000'000) {
            started = true;
            writeNext();
        }
    }
    if (untilFailure) {
        const std::int64_t heardAt = monotonicNs();
        std::printf("failed=%d error=%d after %.2f s, open=%d\n", failed, failure,
                    (heardAt - t0) * 1e-9, out.isOpen());
        return failed && failure < 0 ? 0 : 1;
    }
    // Let the tail and the device's own buffering play out before closing.
    const int tailMs =
        static_cast<int>(out.leadFrames() * 1000 / OutputRate + out.outputLatency() * 1000) + 200;
    const std::int64_t tailEnd = monotonicNs() + std::int64_t{tailMs} * 1000000;
    while (!failed && monotonicNs() < tailEnd) pump(out, 20);
    const auto counters = out.counters();
    out.close();

    std::printf("opened=%d written=%d done=%zu/%zu failed=%d\n", opened, written,
                static_cast<std::size_t>(toneDone), chars.size(), failed);
    std::printf("callbacks=%llu underflows=%llu\n",
                static_cast<unsigned long long>(counters.callbacks),
                static_cast<unsigned long long>(counters.underflows));
    for (std::size_t i = 0; i < timings.size(); ++i) {
        std::printf(
            "char %zu '%c': gap %lld frames, write->first copy %.2f ms\n", i, chars[i].text,
            static_cast<long long>(timings[i].gapFrames),
            timings[i].firstOutNs ? (timings[i].firstOutNs - timings[i].writtenNs) * 1e-6 : -1.0);
    }
    if (failed || !opened || toneDone != static_cast<int>(chars.size())) return 1;
    // The host fell behind (a busy machine starving the sound server): the recording has
    // a hole that is not the back end's doing.
    return counters.underflows > 0 ? 3 : 0;
}

int analyze(const Args& a) {
    const std::string path = a.get("--capture");
    const int rate = std::atoi(a.get("--rate", "22050").c_str());
    const double pitch = std::atof(a.get("--pitch", "800").c_str());
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
    }
    std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    std::printf("capture: %zu samples, %.2f s\n", samples.size(),
                static_cast<double>(samples.size()) / rate);

    TimingSettings s;
    s.speed = std::atoi(a.get("--wpm", "20").c_str());
    const MorseTable morse;
    const ElementDurations d = elementDurations(speedFactor(s.speed), s.weightRatio);
    const auto model = edges::modelElements(a.get("--text", "PARIS 73"), morse, d, s);
    const auto tones = edges::findTones(samples, rate, pitch);

    int bad = 0;
    if (tones.size() != model.size()) {
        std::printf("FAIL: %zu tones heard, %zu expected\n", tones.size(), model.size());
        for (const auto& t : tones) std::printf("  tone %.4f..%.4f\n", t.start, t.end);
        return 1;
    }
    const double toleranceMs = 1.0;
    double worst = 0;
    for (std::size_t i = 0; i < tones.size(); ++i) {
        const double onMs = (tones[i].end - tones[i].start) * 1e3;
        const double onExpect = (model[i].toneFrames - edges::ShapingFrames) * 1e3 / OutputRate;
        const double onErr = onMs - onExpect;
        worst = std::max(worst, std::fabs(onErr));
        bool ok = std::fabs(onErr) <= toleranceMs;
        std::string line = std::string("'") + model[i].text + "' tone " + std::to_string(onMs) +
                           " ms (model " + std::to_string(onExpect) + ")";
        if (i + 1 < tones.size()) {
            const double offMs = (tones[i + 1].start - tones[i].end) * 1e3;
            const double offExpect =
                (model[i].silenceFrames + edges::ShapingFrames) * 1e3 / OutputRate;
            const double offErr = offMs - offExpect;
            worst = std::max(worst, std::fabs(offErr));
            ok = ok && std::fabs(offErr) <= toleranceMs;
            line += ", silence " + std::to_string(offMs) + " ms (model " +
                    std::to_string(offExpect) + ")";
        }
        if (!ok) ++bad;
        std::printf("%s %s\n", ok ? "  ok " : "  BAD", line.c_str());
    }
    std::printf("%zu tones, worst deviation %.3f ms, %d outside %.1f ms\n", tones.size(), worst,
                bad, toleranceMs);
    return bad == 0 ? 0 : 1;
}

}  // namespace

// Under AddressSanitizer: PortAudio's device scan dlopens ALSA plug-ins whose own libraries
// allocate for good in their initialisers (unloaded later, so the default fast unwinder
// shows only an unknown module). The slow unwinder reaches snd_dlopen, which names them.
extern "C" const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0";
}
extern "C" const char* __lsan_default_suppressions() {
    return "leak:snd_dlopen\n";
}

int main(int argc, char** argv) {
    const Args a = parse(argc, argv);
    if (a.mode == "play") return play(a, false);
    if (a.mode == "vanish") return play(a, true);
    if (a.mode == "analyze") return analyze(a);
    std::fprintf(stderr, "usage: play_text play|analyze|vanish [--option value]...\n");
    return 2;
}

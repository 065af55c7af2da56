// The sound output back end without sound hardware: the callback's hand-over logic stepped
// by hand, the notice path to the GUI thread, and the PortAudio device with no sound
// server to talk to.

#include <poll.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "audio/portaudio_wave_out.h"
#include "audio/sound_devices.h"
#include "audio/wave_out_notifier.h"

namespace kb {
namespace {

using Kind = WaveOutNotice::Kind;

// `frames` frames whose two channels both hold first, first+1, ...
std::vector<std::int16_t> frames(int count, int first) {
    std::vector<std::int16_t> v(2 * static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) v[2 * k] = v[2 * k + 1] = static_cast<std::int16_t>(first + k);
    return v;
}

std::vector<std::int16_t> concat(std::initializer_list<std::vector<std::int16_t>> parts) {
    std::vector<std::int16_t> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

bool readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
}

// Plays the part of PortAudio (calls render) and of the GUI thread (takes notices).
struct Harness {
    explicit Harness(int leadFrames) { q.setLeadFrames(leadFrames); }

    struct Seen {
        OutputQueue::Notice notice;
        int afterStep;  // how many render calls had run when it was taken
    };

    void step(int n) {
        std::vector<std::int16_t> buf(2 * static_cast<std::size_t>(n), -1);
        q.render(buf.data(), static_cast<unsigned long>(n), now);
        now += 1000;
        ++steps;
        out.insert(out.end(), buf.begin(), buf.end());
        const bool signalled = readable(q.noticeFd());
        const std::size_t before = seen.size();
        take();
        if (signalled && seen.size() == before) ++bareSignals;
    }
    // Steps until the queue reports itself idle; the step that made it so, or -1 after
    // `limit` steps.
    int stepUntilIdle(int n, int limit = 200) {
        for (int i = 0; i < limit; ++i) {
            step(n);
            if (q.idle()) return steps;
        }
        return -1;
    }
    void take() {
        q.clearSignal();
        OutputQueue::Notice n;
        while (q.takeNotice(n)) seen.push_back({n, steps});
    }
    // Steps until a Done for `which` shows up; false after `limit` steps.
    bool stepUntilDone(WaveBuffer which, int n, int limit = 1000) {
        const std::size_t before = seen.size();
        for (int i = 0; i < limit; ++i) {
            step(n);
            for (std::size_t k = before; k < seen.size(); ++k) {
                if (seen[k].notice.kind == Kind::Done && seen[k].notice.buffer == which)
                    return true;
            }
        }
        return false;
    }
    int writeTone(const std::vector<std::int16_t>& v) {
        return q.writeTone(v.data(), static_cast<int>(v.size()), now);
    }
    int writeNoise(const std::vector<std::int16_t>& v) {
        return q.writeNoise(v.data(), static_cast<int>(v.size()), now);
    }
    std::vector<std::int16_t> outFrom(int frame) const {
        return {out.begin() + 2 * frame, out.end()};
    }
    std::vector<WaveBuffer> doneOrder() const {
        std::vector<WaveBuffer> order;
        for (const auto& s : seen) {
            if (s.notice.kind == Kind::Done) order.push_back(s.notice.buffer);
        }
        return order;
    }

    OutputQueue q;
    std::vector<std::int16_t> out;
    std::vector<Seen> seen;
    std::int64_t now = 1000;
    int steps = 0;
    int bareSignals = 0;  // the descriptor signalled with no notice: the idle signal
};

TEST(OutputQueue, TwoWritesPlayBackToBackThenSilence) {
    Harness h(100);
    const auto a = frames(300, 1);
    const auto b = frames(200, 1000);
    ASSERT_EQ(h.writeTone(a), paNoError);
    ASSERT_EQ(h.writeTone(b), paNoError);
    for (int i = 0; i < 10; ++i) h.step(64);
    EXPECT_EQ(h.out, concat({a, b, std::vector<std::int16_t>(2 * 140, 0)}));
}

// The engine's rhythm: write the next character only once the previous one is Done.
TEST(OutputQueue, ACharacterWrittenOnDoneFollowsWithoutAGap) {
    Harness h(100);
    const auto a = frames(1000, 1);
    const auto b = frames(500, 5000);
    h.writeTone(a);
    ASSERT_TRUE(h.stepUntilDone(WaveBuffer::Tone, 64));
    h.writeTone(b);
    for (int i = 0; i < 12; ++i) h.step(64);
    EXPECT_EQ(std::vector<std::int16_t>(h.out.begin(), h.out.begin() + 3000), concat({a, b}));
    EXPECT_EQ(h.q.counters().silentFrames, static_cast<std::uint64_t>(h.steps * 64 - 1500));
    ASSERT_EQ(h.seen.size(), 2u);
    EXPECT_EQ(h.seen[1].notice.timing.gapFrames, 0);
    EXPECT_EQ(h.seen[0].notice.timing.gapFrames, -1);  // the first since open
}

// 1000 frames taken 64 at a time with a 100-frame lead: after 14 calls 104 frames are
// left (too many), after 15 calls 40 are (within the lead).
TEST(OutputQueue, DoneComesWhenOnlyTheLeadIsLeft) {
    Harness h(100);
    h.writeTone(frames(1000, 1));
    for (int i = 0; i < 14; ++i) h.step(64);
    EXPECT_TRUE(h.seen.empty());
    EXPECT_FALSE(readable(h.q.noticeFd()));
    h.step(64);
    ASSERT_EQ(h.seen.size(), 1u);
    EXPECT_EQ(h.seen[0].notice.kind, Kind::Done);
    EXPECT_EQ(h.seen[0].notice.buffer, WaveBuffer::Tone);
}

TEST(OutputQueue, WithNoLeadDoneComesWhenTheLastFrameIsTaken) {
    Harness h(0);
    h.writeTone(frames(128, 1));
    h.step(64);
    EXPECT_TRUE(h.seen.empty());
    h.step(64);
    EXPECT_EQ(h.seen.size(), 1u);
}

TEST(OutputQueue, DoneIsSignalledOnTheDescriptor) {
    Harness h(10);
    h.writeTone(frames(20, 1));
    std::vector<std::int16_t> buf(128);
    h.q.render(buf.data(), 64, 0);
    EXPECT_TRUE(readable(h.q.noticeFd()));
    h.take();
    EXPECT_FALSE(readable(h.q.noticeFd()));
    EXPECT_EQ(h.seen.size(), 1u);
}

// A character, its filler, then on Done: reset, next character, next filler. Every
// buffer comes back once, in the order written; the last filler plays out.
TEST(OutputQueue, EveryBufferComesBackOnceInWrittenOrder) {
    Harness h(200);
    const auto noise = frames(2000, 20000);
    for (int c = 0; c < 5; ++c) {
        h.q.cutFiller();
        ASSERT_EQ(h.writeTone(frames(700 + 100 * c, 100 * c)), paNoError);
        ASSERT_EQ(h.writeNoise(noise), paNoError);
        ASSERT_TRUE(h.stepUntilDone(WaveBuffer::Tone, 64));
    }
    for (int i = 0; i < 40; ++i) h.step(64);
    using B = WaveBuffer;
    EXPECT_EQ(h.doneOrder(), (std::vector<B>{B::Tone, B::Noise, B::Tone, B::Noise, B::Tone,
                                             B::Noise, B::Tone, B::Noise, B::Tone, B::Noise}));
    EXPECT_EQ(h.q.outstanding(), 0);
}

// Reset while a character still has most of its sound queued: the character plays out
// in full, the filler queued behind it never starts.
TEST(OutputQueue, ResetCutsTheFillerButNotTheToneTail) {
    Harness h(100);
    const auto a = frames(1000, 1);
    h.writeTone(a);
    h.writeNoise(frames(500, 7000));
    h.step(64);
    h.step(64);
    h.q.cutFiller();
    for (int i = 0; i < 25; ++i) h.step(64);
    EXPECT_EQ(h.out, concat({a, std::vector<std::int16_t>(2 * (27 * 64 - 1000), 0)}));
    using B = WaveBuffer;
    EXPECT_EQ(h.doneOrder(), (std::vector<B>{B::Tone, B::Noise}));
}

// The filler sounds after the character, straight from the caller's table (a change to
// the table after the write is heard), then silence.
TEST(OutputQueue, FillerPlaysFromTheTableThenSilence) {
    Harness h(50);
    const auto a = frames(100, 1);
    auto table = frames(300, 3000);
    h.writeTone(a);
    h.writeNoise(table);
    table[0] = table[1] = -1234;  // still the caller's memory
    for (int i = 0; i < 8; ++i) h.step(64);
    EXPECT_EQ(h.out, concat({a, table, std::vector<std::int16_t>(2 * 112, 0)}));
    using B = WaveBuffer;
    EXPECT_EQ(h.doneOrder(), (std::vector<B>{B::Tone, B::Noise}));
}

// The filler fills the wait for a slow writer; reset stops it where it is, and the next
// character follows at once. The wait shows in the next character's gap.
TEST(OutputQueue, ResetStopsAPlayingFillerAndTheNextCharacterFollowsAtOnce) {
    Harness h(50);
    const auto a = frames(100, 1);
    const auto table = frames(1000, 3000);
    const auto b = frames(50, 9000);
    h.writeTone(a);
    h.writeNoise(table);
    for (int i = 0; i < 4; ++i) h.step(64);  // 100 tone + 156 noise frames
    h.q.cutFiller();
    h.writeTone(b);
    h.step(64);
    h.step(64);
    const std::vector<std::int16_t> heardNoise(table.begin(), table.begin() + 2 * 156);
    EXPECT_EQ(h.out, concat({a, heardNoise, b, std::vector<std::int16_t>(2 * 78, 0)}));
    const auto& last = h.seen.back().notice;
    EXPECT_EQ(last.buffer, WaveBuffer::Tone);
    EXPECT_EQ(last.timing.gapFrames, 156);
}

TEST(OutputQueue, AFillerWrittenAfterTheResetIsNotCutByIt) {
    Harness h(0);
    h.q.cutFiller();
    const auto table = frames(100, 50);
    h.writeNoise(table);
    h.step(128);
    EXPECT_EQ(h.outFrom(0), concat({table, std::vector<std::int16_t>(2 * 28, 0)}));
}

TEST(OutputQueue, NothingQueuedIsSilence) {
    Harness h(0);
    h.step(64);
    EXPECT_EQ(h.out, std::vector<std::int16_t>(128, 0));
    EXPECT_EQ(h.q.counters().silentFrames, 64u);
    EXPECT_EQ(h.q.counters().callbacks, 1u);
}

TEST(OutputQueue, TheGapCountsTheSilenceBeforeALateCharacter) {
    Harness h(0);
    h.writeTone(frames(64, 1));
    h.step(64);
    h.step(64);
    h.step(64);
    h.writeTone(frames(10, 1));
    h.step(64);
    ASSERT_EQ(h.seen.size(), 2u);
    EXPECT_EQ(h.seen[1].notice.timing.gapFrames, 128);
}

TEST(OutputQueue, TimingCarriesTheWriteAndFirstCopyTimes) {
    Harness h(0);
    h.now = 5000;
    h.writeTone(frames(100, 1));
    h.now = 7000;
    h.step(64);
    h.step(64);
    ASSERT_EQ(h.seen.size(), 1u);
    EXPECT_EQ(h.seen[0].notice.timing.writtenNs, 5000);
    EXPECT_EQ(h.seen[0].notice.timing.firstOutNs, 7000);
}

TEST(OutputQueue, AnEmptyBufferComesBackAtTheNextCallback) {
    Harness h(0);
    EXPECT_EQ(h.q.writeTone(nullptr, 0, 0), paNoError);
    h.step(64);
    EXPECT_EQ(h.doneOrder(), std::vector<WaveBuffer>{WaveBuffer::Tone});
}

struct BadWrite {
    const char* name;
    bool withData;
    int values;
};

class OutputQueueBadWrite : public ::testing::TestWithParam<BadWrite> {};

TEST_P(OutputQueueBadWrite, IsRefusedAndQueuesNothing) {
    Harness h(0);
    const auto v = frames(10, 1);
    const std::int16_t* data = GetParam().withData ? v.data() : nullptr;
    EXPECT_EQ(h.q.writeTone(data, GetParam().values, 0), paBadBufferPtr);
    EXPECT_EQ(h.q.writeNoise(data, GetParam().values, 0), paBadBufferPtr);
    EXPECT_EQ(h.q.outstanding(), 0);
    h.step(16);
    EXPECT_TRUE(h.seen.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, OutputQueueBadWrite,
                         ::testing::Values(BadWrite{"NoData", false, 4},
                                           BadWrite{"Negative", true, -2},
                                           BadWrite{"HalfAFrame", true, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OutputQueue, RefusesMoreOutstandingBuffersThanItCanGiveBack) {
    Harness h(0);
    const auto v = frames(1, 1);
    for (int i = 0; i < OutputQueue::MaxOutstanding; ++i) ASSERT_EQ(h.writeTone(v), paNoError);
    EXPECT_EQ(h.writeTone(v), paInsufficientMemory);
    EXPECT_EQ(h.writeNoise(v), paInsufficientMemory);
    h.step(64);  // all played and given back
    EXPECT_EQ(h.doneOrder().size(), static_cast<std::size_t>(OutputQueue::MaxOutstanding));
    EXPECT_EQ(h.writeTone(v), paNoError);
}

TEST(OutputQueue, RefusesAToneLargerThanTheRoomLeft) {
    Harness h(0);
    const std::vector<std::int16_t> big(OutputQueue::RingValues + 2, 1);
    EXPECT_EQ(h.writeTone(big), paBufferTooBig);
    EXPECT_EQ(h.q.outstanding(), 0);
}

TEST(OutputQueue, FailureIsPostedOnce) {
    Harness h(0);
    h.q.postFailure(paUnanticipatedHostError);
    h.q.postFailure(paTimedOut);
    h.take();
    ASSERT_EQ(h.seen.size(), 1u);
    EXPECT_EQ(h.seen[0].notice.kind, Kind::Failed);
    EXPECT_EQ(h.seen[0].notice.error, paUnanticipatedHostError);
}

TEST(OutputQueue, ClearDropsNoticesInFlightAndQueuedSound) {
    Harness h(1000);
    h.q.postOpen();
    h.writeTone(frames(100, 1));
    std::vector<std::int16_t> buf(128);
    h.q.render(buf.data(), 64, 0);  // Done posted, not taken
    h.q.clear();
    EXPECT_FALSE(readable(h.q.noticeFd()));
    OutputQueue::Notice n;
    EXPECT_FALSE(h.q.takeNotice(n));
    EXPECT_EQ(h.q.outstanding(), 0);
    h.step(64);
    EXPECT_EQ(h.outFrom(0), std::vector<std::int16_t>(128, 0));
    EXPECT_TRUE(h.seen.empty());
}

// The two sides on their own threads, as with PortAudio: one renders as fast as it can,
// the other waits on the descriptor and writes the next character on each Done. Every
// value written comes out once and in order, with only silence between characters.
TEST(OutputQueue, TwoThreadsHandOverEveryCharacterIntactAndInOrder) {
    constexpr int Characters = 300;
    OutputQueue q;
    q.setLeadFrames(100);
    std::atomic<bool> stop{false};
    std::vector<std::int16_t> heard;
    heard.reserve(4'000'000);
    std::thread audio([&] {
        std::vector<std::int16_t> buf(128);
        std::int64_t t = 0;
        while (!stop.load()) {
            q.render(buf.data(), 64, t++);
            for (std::int16_t v : buf) {
                if (v != 0) heard.push_back(v);
            }
        }
    });
    std::vector<std::int16_t> expected;
    std::int16_t next = 1;
    auto writeOne = [&](int k) {
        std::vector<std::int16_t> v(2 * static_cast<std::size_t>(1 + (k * 37) % 400));
        for (auto& x : v) {
            x = next;
            next = static_cast<std::int16_t>(next % 30000 + 1);  // never 0
        }
        expected.insert(expected.end(), v.begin(), v.end());
        q.cutFiller();
        ASSERT_EQ(q.writeTone(v.data(), static_cast<int>(v.size()), 0), paNoError);
    };
    writeOne(0);
    int written = 1;
    int done = 0;
    while (done < Characters) {
        pollfd p{q.noticeFd(), POLLIN, 0};
        ASSERT_EQ(::poll(&p, 1, 2000), 1) << "no notice after " << done;
        q.clearSignal();
        OutputQueue::Notice n;
        while (q.takeNotice(n)) {
            ASSERT_EQ(n.kind, Kind::Done);
            ++done;
            if (written < Characters) writeOne(written++);
        }
    }
    // The last Done comes with up to the lead still to copy.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    stop.store(true);
    audio.join();
    EXPECT_EQ(done, Characters);
    EXPECT_EQ(heard.size(), expected.size());
    EXPECT_TRUE(heard == expected);
}

// ---------------------------------------------------------------- idleness

// When the stream may be let go of: `idleFrames` of silence after the last frame of
// sound, counted by the callback. Frames written and steps of 64 frames, worked out by
// hand: the sound ends inside a step, and that step's silent rest counts.
struct IdleCase {
    const char* name;
    int toneFrames;    // 0: nothing written
    int fillerFrames;  // a noise filler after the tone
    int idleFrames;
    int idleAtStep;  // -1: never
};

class OutputQueueIdle : public ::testing::TestWithParam<IdleCase> {};

TEST_P(OutputQueueIdle, IsReportedAndSignalledOnceAfterTheQuietStretch) {
    const IdleCase& c = GetParam();
    Harness h(0);
    h.q.setIdleFrames(c.idleFrames);
    if (c.toneFrames > 0) {
        ASSERT_EQ(h.writeTone(frames(c.toneFrames, 1)), paNoError);
    }
    const auto filler = frames(c.fillerFrames, 500);
    if (c.fillerFrames > 0) {
        ASSERT_EQ(h.writeNoise(filler), paNoError);
    }
    EXPECT_EQ(h.stepUntilIdle(64, 60), c.idleAtStep);
    EXPECT_EQ(h.bareSignals, c.idleAtStep > 0 ? 1 : 0);
    for (int i = 0; i < 20; ++i) h.step(64);  // still idle, and no second signal
    EXPECT_EQ(h.q.idle(), c.idleAtStep > 0);
    EXPECT_EQ(h.bareSignals, c.idleAtStep > 0 ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, OutputQueueIdle,
                         ::testing::Values(
                             // 64 + 36 frames of tone; 28, 92, 156, 220, 284 of silence.
                             IdleCase{"ToneThenSilence", 100, 0, 256, 6},
                             // The filler is sound too: 600 frames end 24 frames into step 10; 40
                             // of silence there, 296 by step 14.
                             IdleCase{"AFillerKeepsItBusy", 100, 500, 256, 14},
                             // The tone fills step 1 exactly; step 2 is all silence.
                             IdleCase{"AToneEndingWithAStep", 64, 0, 64, 2},
                             IdleCase{"NothingWritten", 0, 0, 256, 4},
                             IdleCase{"Off", 100, 0, static_cast<int>(OutputQueue::NeverIdle), -1}),
                         [](const auto& info) { return std::string(info.param.name); });

// The GUI thread writes between two callbacks: the callback's word that it was idle no
// longer counts, before and after the callback takes the write.
TEST(OutputQueue, AWriteEndsTheIdlenessAtOnceAndTheStretchStartsAgain) {
    Harness h(0);
    h.q.setIdleFrames(128);
    ASSERT_EQ(h.stepUntilIdle(64), 2);
    h.writeTone(frames(64, 1));
    EXPECT_FALSE(h.q.idle());
    EXPECT_FALSE(h.q.drained());
    h.step(64);  // the tone
    EXPECT_FALSE(h.q.idle());
    EXPECT_TRUE(h.q.drained());
    EXPECT_EQ(h.stepUntilIdle(64), 5);  // two more steps of silence after step 3
    EXPECT_EQ(h.bareSignals, 2);
}

TEST(OutputQueue, IsDrainedOnlyOnceTheLastFrameIsCopiedOut) {
    Harness h(1000);  // Done comes at once: drained waits for the sound, not the notice
    EXPECT_TRUE(h.q.drained());
    h.writeTone(frames(150, 1));
    std::vector<bool> drained;
    for (int i = 0; i < 3; ++i) {
        h.step(64);
        drained.push_back(h.q.drained());
    }
    EXPECT_EQ(drained, (std::vector<bool>{false, false, true}));
    EXPECT_EQ(h.doneOrder(), std::vector<WaveBuffer>{WaveBuffer::Tone});
}

// The stream is let go of and a new one started (prepareForStart, as PortAudioWaveOut
// does before starting it): the next character plays whole from the new stream's first
// frame, its Done follows, and the quiet stretch counts from zero.
TEST(OutputQueue, ACharacterAfterARestartPlaysWholeFromTheFirstFrame) {
    Harness h(50);
    h.q.setIdleFrames(128);
    h.writeTone(frames(100, 1));
    ASSERT_EQ(h.stepUntilIdle(64), 4);
    h.q.prepareForStart();
    EXPECT_FALSE(h.q.idle());
    const int restartFrame = h.steps * 64;
    const auto b = frames(200, 3000);
    h.writeTone(b);
    for (int i = 0; i < 4; ++i) h.step(64);
    EXPECT_EQ(h.outFrom(restartFrame), concat({b, std::vector<std::int16_t>(2 * 56, 0)}));
    EXPECT_EQ(h.doneOrder(), (std::vector<WaveBuffer>{WaveBuffer::Tone, WaveBuffer::Tone}));
    EXPECT_FALSE(h.q.idle());  // 56 frames of silence so far
    EXPECT_EQ(h.stepUntilIdle(64), 10);
}

// A new stream plays its start silence before the first character, whatever the
// callback size, and only once: the next character follows the first without a gap.
struct StartSilenceCase {
    const char* name;
    int silenceFrames;
    int stepFrames;
};

class OutputQueueStartSilence : public ::testing::TestWithParam<StartSilenceCase> {};

TEST_P(OutputQueueStartSilence, ComesOnceBeforeTheFirstCharacter) {
    const StartSilenceCase& c = GetParam();
    Harness h(0);
    h.q.setStartSilence(c.silenceFrames);
    h.q.prepareForStart();
    const auto a = frames(100, 1);
    const auto b = frames(30, 700);
    h.writeTone(a);
    h.writeTone(b);
    const int steps = (c.silenceFrames + 130) / c.stepFrames + 1;
    for (int i = 0; i < steps; ++i) h.step(c.stepFrames);
    const std::vector<std::int16_t> heard(h.out.begin(),
                                          h.out.begin() + 2 * (c.silenceFrames + 130));
    EXPECT_EQ(heard, concat({std::vector<std::int16_t>(2 * c.silenceFrames, 0), a, b}));
    EXPECT_EQ(h.doneOrder(), (std::vector<WaveBuffer>{WaveBuffer::Tone, WaveBuffer::Tone}));
}

INSTANTIATE_TEST_SUITE_P(Cases, OutputQueueStartSilence,
                         ::testing::Values(StartSilenceCase{"WithinOneCallback", 20, 64},
                                           StartSilenceCase{"OverSeveralCallbacks", 441, 64},
                                           StartSilenceCase{"AWholeCallback", 64, 64},
                                           StartSilenceCase{"None", 0, 64}),
                         [](const auto& info) { return std::string(info.param.name); });

// On two threads: whenever the GUI thread sees the queue idle, every Done of what it
// wrote has already been posted, so letting go of the stream then loses no notice.
TEST(OutputQueue, WhenIdleIsSeenEveryDoneIsAlreadyPosted) {
    OutputQueue q;
    q.setLeadFrames(30);
    q.setIdleFrames(64);
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        std::vector<std::int16_t> buf(64);
        std::int64_t t = 0;
        while (!stop.load()) {
            q.render(buf.data(), 32, t++);
            std::this_thread::yield();
        }
    });
    const auto tone = frames(40, 1);
    auto takeAll = [&] {
        q.clearSignal();
        OutputQueue::Notice n;
        while (q.takeNotice(n)) {
        }
    };
    int idleSeen = 0;
    int outstandingWhenIdle = 0;
    int refused = 0;
    for (int k = 0; k < 2000; ++k) {
        takeAll();
        // A few buffers at most, so a render thread held up by a busy machine never
        // fills the queue.
        if (k % 3 != 2 && q.outstanding() < 4 &&
            q.writeTone(tone.data(), static_cast<int>(tone.size()), 0) != paNoError) {
            ++refused;
        }
        for (int spin = 0; spin < 200 && !q.idle(); ++spin) std::this_thread::yield();
        if (!q.idle()) continue;
        ++idleSeen;
        takeAll();
        outstandingWhenIdle += q.outstanding();
    }
    stop.store(true);
    audio.join();
    EXPECT_EQ(refused, 0);
    EXPECT_EQ(outstandingWhenIdle, 0);
    EXPECT_GT(idleSeen, 0);
}

// The notifier drains on the Qt event loop once the callback side signals.
TEST(WaveOutNotifier, DrainsOnTheEventLoopWhenANoticeIsPosted) {
    OutputQueue q;
    q.setLeadFrames(0);
    std::vector<OutputQueue::Notice> got;
    WaveOutNotifier notifier(q.noticeFd(), [&] {
        q.clearSignal();
        OutputQueue::Notice n;
        while (q.takeNotice(n)) got.push_back(n);
    });
    const auto v = frames(10, 1);
    q.writeTone(v.data(), static_cast<int>(v.size()), 0);
    QCoreApplication::processEvents();
    EXPECT_TRUE(got.empty());
    std::vector<std::int16_t> buf(128);
    q.render(buf.data(), 64, 0);
    QElapsedTimer t;
    t.start();
    while (got.empty() && t.elapsed() < 2000) QCoreApplication::processEvents();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].kind, Kind::Done);
}

TEST(DeviceNames, AreCutToThirtyOneCharacters) {
    EXPECT_EQ(chooserDeviceName("pulse"), "pulse");
    const std::string longName(40, 'x');
    EXPECT_EQ(chooserDeviceName(longName), std::string(31, 'x'));
    EXPECT_EQ(chooserDeviceName(std::string(31, 'y')), std::string(31, 'y'));
    // 40 two-byte characters: 31 of them, 62 bytes, no half character.
    std::string accented;
    for (int i = 0; i < 40; ++i) accented += "\xC3\xA9";
    EXPECT_EQ(chooserDeviceName(accented), accented.substr(0, 62));
}

// main() points PulseAudio at a socket that does not exist, as on a machine with no
// sound server: PortAudio then finds no device at all.
TEST(PortAudioWithoutServer, FindsNoDevices) {
    EXPECT_TRUE(outputDeviceNames().empty());
    EXPECT_TRUE(inputDeviceNames().empty());
    PortAudioSession session;
    ASSERT_TRUE(session.ok());
    EXPECT_EQ(outputDeviceIndex(-1), paNoDevice);
    EXPECT_EQ(outputDeviceIndex(0), paNoDevice);
}

TEST(PortAudioWithoutServer, SessionsShareOneInitialisation) {
    const int before = PortAudioSession::activeCount();
    {
        PortAudioSession a;
        PortAudioSession b;
        ASSERT_TRUE(a.ok() && b.ok());
        EXPECT_EQ(PortAudioSession::activeCount(), before + 2);
        EXPECT_GE(Pa_GetDeviceCount(), 0);  // initialised
    }
    EXPECT_EQ(PortAudioSession::activeCount(), before);
    if (before == 0) {
        EXPECT_EQ(Pa_GetDeviceCount(), paNotInitialized);
    }
}

// Scanning again re-initialises PortAudio under the sessions that live, unless a stream
// is held: a table of who holds what, and what rescanDevices() answers.
struct RescanCase {
    const char* name;
    int sessions;
    bool oneHoldsAStream;
    int result;
};

class DeviceRescan : public ::testing::TestWithParam<RescanCase> {};

TEST_P(DeviceRescan, ReinitialisesOnlyWithNoStreamHeld) {
    const RescanCase& c = GetParam();
    std::vector<std::unique_ptr<PortAudioSession>> sessions;
    for (int i = 0; i < c.sessions; ++i) sessions.push_back(std::make_unique<PortAudioSession>());
    if (c.oneHoldsAStream) sessions.front()->setHoldsStream(true);
    EXPECT_EQ(rescanDevices(), c.result);
    EXPECT_EQ(PortAudioSession::activeCount(), c.sessions);
    // Initialised exactly while sessions live.
    EXPECT_EQ(Pa_GetDeviceCount() >= 0, c.sessions > 0);
    sessions.clear();
    EXPECT_EQ(PortAudioSession::streamsHeld(), 0);
    EXPECT_EQ(Pa_GetDeviceCount(), paNotInitialized);
}

INSTANTIATE_TEST_SUITE_P(Cases, DeviceRescan,
                         ::testing::Values(RescanCase{"NoSession", 0, false, paNoError},
                                           RescanCase{"OneSession", 1, false, paNoError},
                                           RescanCase{"TwoSessions", 2, false, paNoError},
                                           RescanCase{"AStreamHeld", 2, true,
                                                      paStreamIsNotStopped}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PortAudioWithoutServer, OpenFailsWithAPortAudioErrorAndNoNotice) {
    PortAudioWaveOut out;
    int notices = 0;
    out.setNoticeHandler([&](const WaveOutNotice&) { ++notices; });
    EXPECT_EQ(out.open(WaveOut::DefaultDevice), paDeviceUnavailable);
    EXPECT_FALSE(out.isOpen());
    EXPECT_EQ(out.open(0), paInvalidDevice);
    EXPECT_EQ(out.open(5), paInvalidDevice);
    EXPECT_FALSE(out.isOpen());
    EXPECT_FALSE(readable(out.noticeFd()));
    out.drainNotices();
    EXPECT_EQ(notices, 0);
    EXPECT_EQ(PortAudioSession::activeCount(), 0);  // a failed open holds nothing
}

TEST(PortAudioWithoutServer, AClosedDeviceRefusesWritesAndResets) {
    PortAudioWaveOut out;
    const auto v = frames(10, 1);
    EXPECT_EQ(out.write(WaveBuffer::Tone, v.data(), 20), paBadStreamPtr);
    EXPECT_EQ(out.reset(), paBadStreamPtr);
    EXPECT_EQ(out.close(), paNoError);
    EXPECT_TRUE(out.releaseIdleStream());
    EXPECT_FALSE(out.streamRunning());
}

}  // namespace
}  // namespace kb

// Under AddressSanitizer: PortAudio's device scan dlopens ALSA plug-ins whose own libraries
// allocate for good in their initialisers (unloaded later, so the default fast unwinder
// shows only an unknown module). The slow unwinder reaches snd_dlopen, which names them.
extern "C" const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0";
}
extern "C" const char* __lsan_default_suppressions() {
    return "leak:snd_dlopen\n";
}

// Under ThreadSanitizer: the device scan reaches PulseAudio through ALSA's pulse plug-in,
// and what orders PulseAudio's hand-overs to its mainloop thread happens in its own
// uninstrumented libraries, out of the sanitizer's sight (it reported that thread locking
// a mutex the main thread had just allocated inside libpulse). Only reports with a frame
// in libpulse or libpulsecommon are silenced.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libpulse\n";
}

int main(int argc, char** argv) {
    // Never reach a real sound server, whatever runs on this machine.
    setenv("PULSE_SERVER", "unix:/nonexistent/keybird-test/native", 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

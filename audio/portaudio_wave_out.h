#pragma once
// Sound output through a PortAudio callback stream (2 channels, 16 bits, 22050 Hz), and
// the queue between the GUI thread and that stream's callback.
//
// Threads:
//   GUI thread   - every WaveOut method, noticeFd(), drainNotices() and the figures;
//                  on OutputQueue: writeTone, writeNoise, cutFiller, postOpen, takeNotice,
//                  clearSignal, clear, setLeadFrames, setIdleFrames, setStartSilence,
//                  idle, drained, prepareForStart.
//   audio thread - PortAudio's stream callback, which only calls OutputQueue::render, and
//                  PortAudio's stream-finished callback, which only calls
//                  OutputQueue::postFailure.
// They meet through the lock-free queues of spsc_ring.h, a few atomics and an eventfd.
// The audio thread never locks, allocates, blocks, or touches Qt; it signals the eventfd
// (write(2) on an eventfd is async-signal-safe and, opened non-blocking, never waits).
//
// How a written buffer travels: write(Tone) copies the values into the sample ring and
// queues an order for them; the callback copies them into PortAudio's buffer right after
// whatever was queued before, so consecutive characters join without a gap. Once only
// `leadFrames` of a buffer (and of everything before it) remain to be copied, the
// callback posts its Done notice: early enough that the GUI thread can fill and write the
// next character before the ring runs dry. A Noise filler is played from the caller's
// table after what precedes it and is cut, at the next callback, by reset(); what is
// left of a tone is never cut. With nothing queued the callback outputs silence.
//
// Idle: a running stream costs its callback's CPU even when it only outputs silence, so
// a stream runs only while there is sound to play. Once everything written has been
// copied out and `idleFrames` of silence followed, the callback publishes that through
// an atomic and signals the eventfd, and drainNotices(), on the GUI thread, lets go of
// the stream; the next write takes a new one. Nothing depends on the stream in between:
// it is only let go of with nothing left to play or to give back, and the queue and its
// notices outlive it.

#include <portaudio.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include "audio/spsc_ring.h"
#include "audio/wave_out.h"

namespace kb {

class PortAudioSession;

// When a tone buffer was written and first copied into PortAudio's buffer.
struct ToneTiming {
    // Frames output between the end of the previous tone buffer and the first frame of
    // this one (silence or noise filler while the device waited for the write); 0 when the
    // two joined without a gap; -1 for the first tone since the device opened.
    std::int64_t gapFrames = -1;
    std::int64_t writtenNs = 0;   // monotonic clock at write()
    std::int64_t firstOutNs = 0;  // monotonic clock at the callback that took its first
                                  // frame; 0 when Done came before that
};

// The hand-over logic without PortAudio, so tests can step the callback's side.
class OutputQueue {
public:
    // The ring holds two full character buffers (CharBuffer) and then some.
    static constexpr std::size_t RingValues = std::size_t{1} << 21;
    // Buffers written and not yet given back. The engine keeps at most two (a character
    // and its filler).
    static constexpr int MaxOutstanding = 32;

    struct Notice {
        WaveOutNotice::Kind kind = WaveOutNotice::Kind::Done;
        WaveBuffer buffer = WaveBuffer::None;
        int error = 0;
        ToneTiming timing;  // for the Done of a tone
    };

    // Running totals kept by the callback side (read from any thread).
    struct Counters {
        std::uint64_t callbacks = 0;
        std::uint64_t framesOut = 0;
        std::uint64_t silentFrames = 0;  // frames with nothing queued
        std::uint64_t underflows = 0;    // callbacks PortAudio flagged as output underflow
    };
    // No idle stop.
    static constexpr std::int64_t NeverIdle = 0;

    OutputQueue();
    ~OutputQueue();
    OutputQueue(const OutputQueue&) = delete;
    OutputQueue& operator=(const OutputQueue&) = delete;

    // --- GUI thread ---
    // Readable when notices are waiting. The same descriptor for the queue's whole life.
    int noticeFd() const { return eventFd_; }
    // The Done lead. Only while render() is not running.
    void setLeadFrames(int frames) { leadValues_ = 2 * static_cast<std::int64_t>(frames); }
    int leadFrames() const { return static_cast<int>(leadValues_ / 2); }
    // Frames of silence after the last queued frame before idle() turns true and the
    // descriptor is signalled (once per quiet stretch); NeverIdle turns it off. Only
    // while render() is not running.
    void setIdleFrames(std::int64_t frames) { idleFrames_ = frames; }
    // Everything written so far has been copied out and idleFrames of silence followed:
    // the stream may stop without anything being cut or any notice held back.
    bool idle() const { return idleAfterOrders_.load(std::memory_order_acquire) == ordersWritten_; }
    // Everything written so far has been copied out (by the last callback that ran).
    bool drained() const {
        return drainedAfterOrders_.load(std::memory_order_acquire) == ordersWritten_;
    }
    // Frames of silence a new stream outputs before anything queued. Only while render()
    // is not running.
    void setStartSilence(int frames) {
        startSilenceValues_ = 2 * static_cast<std::int64_t>(frames);
    }
    // A new stream is about to start: the start silence comes first, and the quiet
    // stretch counts from zero. Only while render() is not running.
    void prepareForStart();
    // Return 0 or a PortAudio error: paBadBufferPtr (null data, negative or odd count),
    // paInsufficientMemory (MaxOutstanding reached), paBufferTooBig (no room in the ring).
    int writeTone(const std::int16_t* data, int values, std::int64_t nowNs);
    int writeNoise(const std::int16_t* data, int values, std::int64_t nowNs);
    // Every noise filler written before this call stops at the next callback.
    void cutFiller() { resetGeneration_.fetch_add(1, std::memory_order_release); }
    // Queues an Open notice. Only while render() is not running (before the stream
    // starts): the notice queue has one producer at a time.
    void postOpen();
    // Consumes the eventfd's count; call before taking the notices it announced.
    void clearSignal();
    bool takeNotice(Notice& out);
    int outstanding() const { return outstanding_; }
    // Forgets everything queued, notices included. Only while render() is not running.
    void clear();

    // --- audio thread ---
    // Fills `frames` frames (two values each) of `out`. `nowNs` stamps first-frame times.
    void render(std::int16_t* out, unsigned long frames, std::int64_t nowNs) noexcept;
    // Posts one Failed notice per open; later calls do nothing.
    void postFailure(int error) noexcept;
    void noteUnderflow() noexcept { underflows_.fetch_add(1, std::memory_order_relaxed); }

    // --- any thread ---
    Counters counters() const;

private:
    struct Order {
        WaveBuffer kind = WaveBuffer::None;
        const std::int16_t* data = nullptr;  // noise only; tone values are in the ring
        std::int32_t values = 0;
        std::uint32_t generation = 0;  // cutFiller() calls made before the write
        std::int64_t writtenNs = 0;
    };
    struct Item {
        Order order;
        std::int32_t played = 0;
        bool done = false;  // Done posted
        ToneTiming timing;
    };
    static constexpr int ItemCapacity = 2 * MaxOutstanding;
    static constexpr std::size_t NoticeCapacity = 2 * MaxOutstanding;
    static_assert(NoticeCapacity >= MaxOutstanding + 2, "room for every Done, Open and Failed");

    static constexpr std::uint64_t NotIdle = ~std::uint64_t{0};

    int queueOrder(const Order& order);
    void post(const Notice& n) noexcept;
    void signal() noexcept;
    void countQuiet(bool tookOrders, std::int64_t silentFrames) noexcept;
    Item& item(int k) { return items_[(itemHead_ + k) % ItemCapacity]; }

    int eventFd_ = -1;
    SpscRing<std::int16_t> samples_{RingValues};
    SpscQueue<Order, 64> orders_;
    SpscQueue<Notice, NoticeCapacity> notices_;
    std::atomic<std::uint32_t> resetGeneration_{0};
    std::atomic<bool> failed_{false};
    // Orders the callback had taken when it last found itself idle, or with nothing left
    // to copy; NotIdle meanwhile.
    std::atomic<std::uint64_t> idleAfterOrders_{NotIdle};
    std::atomic<std::uint64_t> drainedAfterOrders_{0};

    // GUI side.
    int outstanding_ = 0;
    std::int64_t leadValues_ = 0;
    std::int64_t idleFrames_ = NeverIdle;
    std::int64_t startSilenceValues_ = 0;
    std::uint64_t ordersWritten_ = 0;

    // Audio side.
    Item items_[ItemCapacity];
    int itemHead_ = 0;
    int itemCount_ = 0;
    std::int64_t framesOut_ = 0;
    std::int64_t lastToneEndFrame_ = -1;
    std::uint64_t ordersTaken_ = 0;
    std::int64_t quietFrames_ = 0;       // silence since the last queued frame
    std::int64_t startSilenceLeft_ = 0;  // values
    bool idleSignalled_ = false;

    std::atomic<std::uint64_t> callbacks_{0};
    std::atomic<std::uint64_t> framesOutTotal_{0};
    std::atomic<std::uint64_t> silentFrames_{0};
    std::atomic<std::uint64_t> underflows_{0};
};

// The WaveOut the program plays through. Result codes are PortAudio's error numbers.
//
// Streams: open() checks that the device opens (a stream is opened and closed again) and
// posts Open, but holds no stream, so a program that opens the device at start-up and
// plays nothing costs no CPU. The first write opens and starts a stream; it is let go of
// (Pa_AbortStream, Pa_CloseStream) `idleStopSeconds` after the last written frame was
// copied out (see the top of this file), and the next write takes a new one. Aborting
// cuts nothing: by then the host holds only silence, and Pa_StopStream would block the
// GUI thread while that silence plays. The stream is closed rather than kept stopped
// because PortAudio 19.6 never returns from Pa_StartStream on a stopped ALSA stream
// whose device went away meanwhile (its callback thread fails to prepare the device
// while holding the lock the starter waits on), whereas Pa_OpenStream then fails
// cleanly. A write after a pause pays for opening and starting a stream (see
// bench/audio_bench.cpp); it is queued only once the stream runs, so nothing of the
// first character is lost.
//
// Failure: when the stream stops by itself (the sound server or device went away),
// PortAudio's finished callback posts a Failed notice with paUnanticipatedHostError;
// close() is then quick. A server that hangs with its connection still open is not
// detected, and close() waits for it (the ALSA pulse plug-in waits for the server).
// A server that went away while no stream was held shows at the next write, which
// returns the error of opening the stream; one that came back meanwhile is simply used.
//
// Recovery: after a failure, close() and then open(device) give a working device again
// once it is back (the sound server restarted, the headset plugged in again). When
// PortAudio cannot open the device from its device list, which it makes only when it
// initialises, open() and the write that takes a stream have it scan the devices again
// (rescanDevices(), possible only while no stream is held anywhere) and try once more.
//
// PortAudio: open() takes a PortAudioSession and close() gives it back. When nothing
// else holds one, every open scans the devices again (about 0.1 s); holding a session
// for the program's life avoids that, and rescanDevices() then sees devices added later.
// A device number always refers to the latest scan.
//
// Wiring: the notices cross to the GUI thread through noticeFd(); whoever owns the device
// watches that descriptor (WaveOutNotifier does it with a QSocketNotifier) and calls
// drainNotices() on the GUI thread, which hands each notice to the notice handler in the
// order the callback posted them, and lets go of an idle stream. The descriptor stays
// the same across close and open.
class PortAudioWaveOut final : public WaveOut {
public:
    // Stream settings. The defaults were chosen on a PulseAudio null sink on a busy 2-core
    // machine. 64 frames per callback with 25 ms asked for gives 26.1 ms of output
    // latency, the largest host buffer under 30 ms (the next step is 34.8 ms), and
    // underflowed less than 32 frames or 15 ms; only 256 frames at the device's high
    // latency (34.8 ms) stayed clean under heavy load (Options{256, 0, 0}). A larger
    // period bought nothing: the server asks for sound in bursts about every 13 ms
    // whatever the period, while on a card driven directly a small period shortens the
    // wait between a write and the callback that takes it.
    struct Options {
        // Frames per callback; 0 lets PortAudio choose.
        int framesPerBuffer = 64;
        // Seconds of buffering asked of the host; 0 takes the device's
        // defaultHighOutputLatency.
        double suggestedLatency = 0.025;
        // Frames before a buffer's end at which its Done is posted; 0 derives it from the
        // stream when it opens (see leadFramesFor).
        int leadFrames = 0;
        // Seconds of silence after the last written frame before the stream is let go
        // of; 0 keeps it from the first write until close. 3 s keeps it through the
        // pauses of someone typing, so only the first character after a real pause
        // waits for a new stream.
        double idleStopSeconds = 3.0;
        // Seconds of silence a new stream plays before the first write. Recorded from a
        // PulseAudio null sink's monitor, the first frames a new stream carries were
        // sometimes lost: the first element of "PARIS" came out 3.6 to 4.2 ms short in 3
        // runs of 5, and never with 20 ms of silence first (15 runs). The sink's own
        // output (module-pipe-sink) lost nothing even without it (10 runs), so this
        // guards against the server rather than the device, for 20 ms once per pause.
        double startSilenceSeconds = 0.02;
    };
    // The host may take sound in bursts of up to its whole buffer (the output latency) at
    // once, so the lead covers that much and then two periods, and at least 10 ms, for
    // the GUI thread to answer a Done with the next write. 26 + 10 ms with the defaults:
    // well within a character's closing silence (3 element gaps, 68 ms at 50 wpm), so
    // the Done still comes after the keying of the character has ended.
    static int leadFramesFor(int framesPerBuffer, double outputLatencySeconds);

    PortAudioWaveOut();
    explicit PortAudioWaveOut(const Options& options);
    ~PortAudioWaveOut() override;

    // open(-1) opens PortAudio's default output device, open(n) the n-th entry of
    // outputDeviceNames(). An open device is closed first. Errors: paDeviceUnavailable
    // (no default device), paInvalidDevice (no n-th device), or what PortAudio returns.
    int open(int device) override;
    int reset() override;
    // Takes a stream first when none is held; its error (the device went away while
    // idle and is not back) is returned and nothing is queued.
    int write(WaveBuffer which, const std::int16_t* data, int values) override;
    int close() override;
    bool isOpen() const override { return open_; }

    // Lets go of the stream at once if everything written has been copied out, as the
    // idle stop would later (so rescanDevices() can run). True when no stream is held
    // afterwards.
    bool releaseIdleStream();

    int noticeFd() const { return queue_.noticeFd(); }
    // Hands the waiting notices to the handler. The handler may write, reset, close or
    // open the device; after a close the notices still waiting are dropped. Then lets go
    // of the stream if it has been idle long enough.
    void drainNotices();

    // Figures for diagnostics, the tests and the benchmarks.
    double outputLatency() const { return outputLatency_; }  // seconds, as PortAudio says
    int leadFrames() const { return queue_.leadFrames(); }
    const ToneTiming& lastToneTiming() const { return lastToneTiming_; }  // of the last Done
    OutputQueue::Counters counters() const { return queue_.counters(); }
    bool streamRunning() const { return stream_ != nullptr; }
    // Streams taken by writes, and let go of for idleness, since the device opened.
    int streamStarts() const { return starts_; }
    int idleStops() const { return idleStops_; }

private:
    static int streamCallback(const void* input, void* output, unsigned long frames,
                              const PaStreamCallbackTimeInfo* time, PaStreamCallbackFlags status,
                              void* self);
    static void streamFinished(void* self);
    // Opens a stream on chooser device `device` into stream_ (not started).
    int openStream(int device);
    int openStreamOrRescan(int device);
    int takeStream();
    void releaseStream();

    Options options_;
    OutputQueue queue_;
    std::unique_ptr<PortAudioSession> session_;  // while open
    PaStream* stream_ = nullptr;                 // while a stream is held; it runs
    bool open_ = false;
    int device_ = DefaultDevice;
    std::atomic<bool> closing_{false};  // a stop of our own: no failure
    double outputLatency_ = 0;
    ToneTiming lastToneTiming_;
    std::uint64_t openCount_ = 0;
    int starts_ = 0;
    int idleStops_ = 0;
};

}  // namespace kb

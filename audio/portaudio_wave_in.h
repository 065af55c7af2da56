#pragma once
// Sound input through a PortAudio callback stream (2 channels, unsigned 8 bits, 11025 Hz),
// and the queue between that stream's callback and the GUI thread.
//
// Threads:
//   GUI thread   - every WaveIn method, noticeFd(), drainNotices(); on InputQueue:
//                  postOpen, clearSignal, takeBuffer, takeFailure, clear.
//   audio thread - PortAudio's stream callback, which only calls InputQueue::capture, and
//                  the stream-finished callback, which only calls InputQueue::postFailure.
// They meet through the lock-free ring of spsc_ring.h, a few atomics and an eventfd. The
// callback never locks, allocates, blocks or touches Qt: it copies the frames it is given
// into the ring and, each time a whole buffer (1110 frames) has gathered, signals the
// eventfd (write(2) on a non-blocking eventfd never waits).
//
// The GUI thread, woken through the descriptor (WaveOutNotifier watches it), cuts the ring
// into 1110-frame buffers, three in rotation, and hands each to the notice handler. PortAudio
// delivers whatever block size the host likes, so the cutting is ours: the handler always
// sees exactly 0.1 s. When the GUI thread falls more than the ring (about 3 s) behind, the
// newest frames are dropped and counted, never the ones already waiting.

#include <portaudio.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "audio/spsc_ring.h"
#include "audio/wave_in.h"

namespace kb {

class PortAudioSession;

// The hand-over logic without PortAudio, so tests can play the callback's side.
class InputQueue {
public:
    static constexpr int BufferBytes = WaveIn::FramesPerBuffer * WaveIn::BytesPerFrame;
    static constexpr std::size_t RingBytes = std::size_t{1} << 16;

    InputQueue();
    ~InputQueue();
    InputQueue(const InputQueue&) = delete;
    InputQueue& operator=(const InputQueue&) = delete;

    // --- GUI thread ---
    int noticeFd() const { return eventFd_; }
    // An Open notice waits: the next drain delivers it first.
    void postOpen();
    bool takeOpen() { return openPending_.exchange(false, std::memory_order_acq_rel); }
    // Consumes the eventfd's count; call before taking what it announced.
    void clearSignal();
    // Moves one whole buffer (BufferBytes) to `dst`; false when less than that waits.
    bool takeBuffer(std::uint8_t* dst);
    // The failure the callback side posted, once; false when none.
    bool takeFailure(int& error);
    // Forgets everything queued. Only while capture() is not running.
    void clear();

    // --- audio thread ---
    void capture(const std::uint8_t* frames, unsigned long frameCount) noexcept;
    void postFailure(int error) noexcept;

    // --- any thread ---
    std::uint64_t droppedFrames() const { return dropped_.load(std::memory_order_relaxed); }

private:
    void signal() noexcept;

    int eventFd_ = -1;
    SpscRing<std::uint8_t> bytes_{RingBytes};
    std::atomic<bool> openPending_{false};
    std::atomic<bool> failurePending_{false};
    std::atomic<int> failure_{0};
    std::atomic<std::uint64_t> dropped_{0};
};

// The WaveIn the monitor listens through. Result codes are PortAudio's error numbers.
// open() opens the stream (not started) and posts Open, having PortAudio scan the devices
// again when the first try fails and no stream is held (as the output does); start()
// starts it; close() aborts and closes it. When the stream stops by itself (the device or sound
// server went away), a Failed notice with paUnanticipatedHostError follows.
class PortAudioWaveIn final : public WaveIn {
public:
    PortAudioWaveIn();
    ~PortAudioWaveIn() override;

    // open(-1) opens PortAudio's default input device, open(n) the n-th entry of
    // inputDeviceNames(). An open device is closed first.
    int open(int device) override;
    int start() override;
    int close() override;
    bool isOpen() const override { return stream_ != nullptr; }

    int noticeFd() const { return queue_.noticeFd(); }
    // Hands the waiting notices to the handler: Open first, then every whole buffer in
    // rotation, then a failure. A handler that closes or reopens the device drops the rest.
    void drainNotices();
    std::uint64_t droppedFrames() const { return queue_.droppedFrames(); }

private:
    static int streamCallback(const void* input, void* output, unsigned long frames,
                              const PaStreamCallbackTimeInfo* time, PaStreamCallbackFlags status,
                              void* self);
    static void streamFinished(void* self);
    // Opens a stream on chooser device `device` into stream_ (not started).
    int openStream(int device);

    InputQueue queue_;
    std::unique_ptr<PortAudioSession> session_;  // while open
    PaStream* stream_ = nullptr;
    std::atomic<bool> closing_{false};  // a stop of our own: no failure
    std::array<std::uint8_t, InputQueue::BufferBytes * BufferCount> buffers_{};
    int rotation_ = 1;  // InputRotation: the buffer the next Data notice fills
    std::uint64_t openCount_ = 0;
};

}  // namespace kb

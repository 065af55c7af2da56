#include "audio/portaudio_wave_in.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>

#include "audio/sound_devices.h"

namespace kb {

// ---------------------------------------------------------------- InputQueue

InputQueue::InputQueue() : eventFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

InputQueue::~InputQueue() {
    if (eventFd_ >= 0) ::close(eventFd_);
}

void InputQueue::signal() noexcept {
    const std::uint64_t one = 1;
    // Non-blocking: a full counter only means the GUI thread has been told already.
    [[maybe_unused]] const ssize_t r = ::write(eventFd_, &one, sizeof one);
}

void InputQueue::postOpen() {
    openPending_.store(true, std::memory_order_release);
    signal();
}

void InputQueue::clearSignal() {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t r = ::read(eventFd_, &count, sizeof count);
}

bool InputQueue::takeBuffer(std::uint8_t* dst) {
    if (bytes_.available() < static_cast<std::size_t>(BufferBytes)) return false;
    bytes_.pop(dst, BufferBytes);
    return true;
}

bool InputQueue::takeFailure(int& error) {
    if (!failurePending_.exchange(false, std::memory_order_acq_rel)) return false;
    error = failure_.load(std::memory_order_relaxed);
    return true;
}

void InputQueue::clear() {
    bytes_.clear();
    openPending_.store(false);
    failurePending_.store(false);
}

void InputQueue::capture(const std::uint8_t* frames, unsigned long frameCount) noexcept {
    const std::size_t wanted = static_cast<std::size_t>(frameCount) * WaveIn::BytesPerFrame;
    // Whole frames only, so left and right never swap places after a drop.
    const std::size_t room = bytes_.freeSpace() / WaveIn::BytesPerFrame * WaveIn::BytesPerFrame;
    const std::size_t n = std::min(wanted, room);
    const std::uint64_t before = bytes_.written() / BufferBytes;
    if (frames != nullptr) {
        bytes_.push(frames, n);
    } else {
        // No input data (the host said so): silence keeps the decoder's clock right.
        static constexpr std::uint8_t Silence[32] = {
            128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128,
            128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128};
        std::size_t left = n;
        while (left > 0) {
            const std::size_t k = std::min<std::size_t>(left, 32);
            bytes_.push(Silence, k);
            left -= k;
        }
    }
    if (n < wanted) {
        dropped_.fetch_add((wanted - n) / WaveIn::BytesPerFrame, std::memory_order_relaxed);
    }
    if (bytes_.written() / BufferBytes != before) signal();
}

void InputQueue::postFailure(int error) noexcept {
    failure_.store(error, std::memory_order_relaxed);
    failurePending_.store(true, std::memory_order_release);
    signal();
}

// ---------------------------------------------------------------- PortAudioWaveIn

PortAudioWaveIn::PortAudioWaveIn() = default;

PortAudioWaveIn::~PortAudioWaveIn() {
    close();
}

int PortAudioWaveIn::open(int device) {
    close();
    session_ = std::make_unique<PortAudioSession>();
    if (!session_->ok()) {
        const int err = session_->error();
        session_.reset();
        return err;
    }
    int err = openStream(device);
    // PortAudio knows only the devices of its last scan: a sound server started since, or
    // a headset plugged in again, is missing from its list or stale in it.
    if (err != paNoError && PortAudioSession::streamsHeld() == 0 && rescanDevices() == paNoError) {
        err = openStream(device);
    }
    if (err != paNoError) {
        session_.reset();
        return err;
    }
    session_->setHoldsStream(true);
    // The callback is not running: this thread may set the queue up.
    queue_.clear();
    rotation_ = 1;
    ++openCount_;
    queue_.postOpen();
    return paNoError;
}

int PortAudioWaveIn::openStream(int device) {
    const PaDeviceIndex index = inputDeviceIndex(device);
    const PaDeviceInfo* info = index == paNoDevice ? nullptr : Pa_GetDeviceInfo(index);
    if (!info) return device < 0 ? paDeviceUnavailable : paInvalidDevice;
    PaStreamParameters params{};
    params.device = index;
    params.channelCount = 2;
    params.sampleFormat = paUInt8;
    params.suggestedLatency = info->defaultHighInputLatency;
    params.hostApiSpecificStreamInfo = nullptr;
    PaStream* stream = nullptr;
    PaError err = Pa_OpenStream(&stream, &params, nullptr, SampleRate, paFramesPerBufferUnspecified,
                                paClipOff | paDitherOff, &PortAudioWaveIn::streamCallback, this);
    if (err == paNoError) {
        err = Pa_SetStreamFinishedCallback(stream, &PortAudioWaveIn::streamFinished);
    }
    if (err != paNoError) {
        if (stream) Pa_CloseStream(stream);
        return err;
    }
    stream_ = stream;
    return paNoError;
}

int PortAudioWaveIn::start() {
    if (!stream_) return paBadStreamPtr;
    closing_.store(false);
    return Pa_StartStream(stream_);
}

int PortAudioWaveIn::close() {
    if (!stream_) return paNoError;
    // The finished callback runs while the stream aborts; this is no failure.
    closing_.store(true);
    Pa_AbortStream(stream_);
    const int err = Pa_CloseStream(stream_);
    stream_ = nullptr;
    session_->setHoldsStream(false);
    session_.reset();
    queue_.clear();
    return err;
}

void PortAudioWaveIn::drainNotices() {
    queue_.clearSignal();
    const std::uint64_t opened = openCount_;
    const auto stillOurs = [&] { return openCount_ == opened && isOpen(); };
    if (queue_.takeOpen()) {
        notify({WaveInNotice::Kind::Open, this, nullptr, 0, 0, 0});
        if (!stillOurs()) return;
    }
    for (;;) {
        std::uint8_t* buffer = buffers_.data() + (rotation_ - 1) * InputQueue::BufferBytes;
        if (!isOpen() || !queue_.takeBuffer(buffer)) break;
        const int which = rotation_;
        rotation_ = rotation_ % BufferCount + 1;
        notify({WaveInNotice::Kind::Data, this, buffer, FramesPerBuffer, which, 0});
        if (!stillOurs()) return;
    }
    int error = 0;
    if (isOpen() && queue_.takeFailure(error)) {
        notify({WaveInNotice::Kind::Failed, this, nullptr, 0, 0, error});
    }
}

int PortAudioWaveIn::streamCallback(const void* input, void*, unsigned long frames,
                                    const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags,
                                    void* self) {
    auto* me = static_cast<PortAudioWaveIn*>(self);
    me->queue_.capture(static_cast<const std::uint8_t*>(input), frames);
    return paContinue;
}

void PortAudioWaveIn::streamFinished(void* self) {
    auto* me = static_cast<PortAudioWaveIn*>(self);
    if (!me->closing_.load()) me->queue_.postFailure(paUnanticipatedHostError);
}

}  // namespace kb

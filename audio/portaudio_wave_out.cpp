#include "audio/portaudio_wave_out.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "audio/sound_devices.h"
#include "core/monotonic.h"
#include "core/timing.h"

namespace kb {

// ---------------------------------------------------------------- OutputQueue

OutputQueue::OutputQueue() : eventFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

OutputQueue::~OutputQueue() {
    if (eventFd_ >= 0) ::close(eventFd_);
}

int OutputQueue::writeTone(const std::int16_t* data, int values, std::int64_t nowNs) {
    if (values < 0 || values % 2 != 0 || (values > 0 && data == nullptr)) return paBadBufferPtr;
    if (outstanding_ >= MaxOutstanding) return paInsufficientMemory;
    if (static_cast<std::size_t>(values) > samples_.freeSpace()) return paBufferTooBig;
    samples_.push(data, static_cast<std::size_t>(values));
    Order order;
    order.kind = WaveBuffer::Tone;
    order.values = values;
    order.generation = resetGeneration_.load(std::memory_order_relaxed);
    order.writtenNs = nowNs;
    return queueOrder(order);
}

int OutputQueue::writeNoise(const std::int16_t* data, int values, std::int64_t nowNs) {
    if (values < 0 || values % 2 != 0 || (values > 0 && data == nullptr)) return paBadBufferPtr;
    if (outstanding_ >= MaxOutstanding) return paInsufficientMemory;
    Order order;
    order.kind = WaveBuffer::Noise;
    order.data = data;
    order.values = values;
    order.generation = resetGeneration_.load(std::memory_order_relaxed);
    order.writtenNs = nowNs;
    return queueOrder(order);
}

int OutputQueue::queueOrder(const Order& order) {
    // Orders waiting never exceed the outstanding buffers, so this cannot fail.
    if (!orders_.push(order)) return paInternalError;
    ++outstanding_;
    return paNoError;
}

void OutputQueue::postOpen() {
    Notice n;
    n.kind = WaveOutNotice::Kind::Open;
    post(n);
}

void OutputQueue::clearSignal() {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t got = ::read(eventFd_, &count, sizeof count);
}

bool OutputQueue::takeNotice(Notice& out) {
    if (!notices_.pop(out)) return false;
    if (out.kind == WaveOutNotice::Kind::Done && outstanding_ > 0) --outstanding_;
    return true;
}

void OutputQueue::clear() {
    samples_.clear();
    orders_.clear();
    notices_.clear();
    clearSignal();
    failed_.store(false, std::memory_order_relaxed);
    outstanding_ = 0;
    itemHead_ = 0;
    itemCount_ = 0;
    framesOut_ = 0;
    lastToneEndFrame_ = -1;
    callbacks_.store(0, std::memory_order_relaxed);
    framesOutTotal_.store(0, std::memory_order_relaxed);
    silentFrames_.store(0, std::memory_order_relaxed);
    underflows_.store(0, std::memory_order_relaxed);
}

void OutputQueue::post(const Notice& n) noexcept {
    // Cannot be full: see NoticeCapacity.
    notices_.push(n);
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t put = ::write(eventFd_, &one, sizeof one);
}

void OutputQueue::postFailure(int error) noexcept {
    if (failed_.exchange(true, std::memory_order_relaxed)) return;
    Notice n;
    n.kind = WaveOutNotice::Kind::Failed;
    n.error = error;
    post(n);
}

void OutputQueue::render(std::int16_t* out, unsigned long frames, std::int64_t nowNs) noexcept {
    const std::uint32_t generation = resetGeneration_.load(std::memory_order_acquire);

    // Take the new orders. Items whose Done was posted may linger until played out, so
    // the items can outnumber the outstanding buffers; if ever full, the orders wait.
    Order order;
    while (itemCount_ < ItemCapacity && orders_.pop(order)) {
        Item& it = item(itemCount_++);
        it = Item{};
        it.order = order;
        it.timing.writtenNs = order.writtenNs;
    }

    // A filler written before the latest reset ends where it stands. The comparison
    // tolerates the counter wrapping.
    for (int k = 0; k < itemCount_; ++k) {
        Item& it = item(k);
        if (it.order.kind == WaveBuffer::Noise &&
            static_cast<std::int32_t>(generation - it.order.generation) > 0) {
            it.order.values = it.played;
        }
    }

    const std::int64_t total = 2 * static_cast<std::int64_t>(frames);
    std::int64_t pos = 0;  // values of `out` filled so far
    for (int k = 0; k < itemCount_ && pos < total; ++k) {
        Item& it = item(k);
        const std::int64_t left = it.order.values - it.played;
        if (left == 0) continue;
        const auto n = static_cast<std::int32_t>(std::min(total - pos, left));
        if (it.order.kind == WaveBuffer::Tone) {
            if (it.played == 0) {
                const std::int64_t startFrame = framesOut_ + pos / 2;
                it.timing.gapFrames = lastToneEndFrame_ < 0 ? -1 : startFrame - lastToneEndFrame_;
                it.timing.firstOutNs = nowNs;
            }
            samples_.pop(out + pos, static_cast<std::size_t>(n));
            if (it.played + n == it.order.values) lastToneEndFrame_ = framesOut_ + (pos + n) / 2;
        } else {
            std::memcpy(out + pos, it.order.data + it.played, static_cast<std::size_t>(n) * 2);
        }
        it.played += n;
        pos += n;
    }
    if (pos < total) {
        std::memset(out + pos, 0, static_cast<std::size_t>(total - pos) * 2);
        silentFrames_.fetch_add(static_cast<std::uint64_t>((total - pos) / 2),
                                std::memory_order_relaxed);
    }
    framesOut_ += static_cast<std::int64_t>(frames);

    // Done notices, in written order: a buffer is given back once it and everything
    // before it have at most the lead left to copy.
    std::int64_t unplayed = 0;
    for (int k = 0; k < itemCount_; ++k) {
        Item& it = item(k);
        unplayed += it.order.values - it.played;
        if (it.done) continue;
        if (unplayed > leadValues_) break;
        Notice n;
        n.kind = WaveOutNotice::Kind::Done;
        n.buffer = it.order.kind;
        n.timing = it.timing;
        post(n);
        it.done = true;
    }
    while (itemCount_ > 0 && item(0).done && item(0).played == item(0).order.values) {
        itemHead_ = (itemHead_ + 1) % ItemCapacity;
        --itemCount_;
    }

    callbacks_.fetch_add(1, std::memory_order_relaxed);
    framesOutTotal_.fetch_add(frames, std::memory_order_relaxed);
}

OutputQueue::Counters OutputQueue::counters() const {
    Counters c;
    c.callbacks = callbacks_.load(std::memory_order_relaxed);
    c.framesOut = framesOutTotal_.load(std::memory_order_relaxed);
    c.silentFrames = silentFrames_.load(std::memory_order_relaxed);
    c.underflows = underflows_.load(std::memory_order_relaxed);
    return c;
}

// ---------------------------------------------------------------- PortAudioWaveOut

int PortAudioWaveOut::leadFramesFor(int framesPerBuffer, double outputLatencySeconds) {
    const int buffered = static_cast<int>(std::ceil(outputLatencySeconds * OutputRate));
    const int answer = std::max(2 * std::max(framesPerBuffer, 0), OutputRate / 100);
    return std::max(buffered, 0) + answer;
}

PortAudioWaveOut::PortAudioWaveOut() : PortAudioWaveOut(Options{}) {}

PortAudioWaveOut::PortAudioWaveOut(const Options& options) : options_(options) {
    queue_.setLeadFrames(options_.leadFrames > 0
                             ? options_.leadFrames
                             : leadFramesFor(options_.framesPerBuffer, options_.suggestedLatency));
}

PortAudioWaveOut::~PortAudioWaveOut() {
    close();
}

int PortAudioWaveOut::open(int device) {
    close();
    auto session = std::make_unique<PortAudioSession>();
    if (!session->ok()) return session->error();

    const PaDeviceIndex index = outputDeviceIndex(device);
    if (index == paNoDevice) return device < 0 ? paDeviceUnavailable : paInvalidDevice;
    const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
    if (!info) return paInvalidDevice;

    PaStreamParameters params{};
    params.device = index;
    params.channelCount = 2;
    params.sampleFormat = paInt16;
    params.suggestedLatency =
        options_.suggestedLatency > 0 ? options_.suggestedLatency : info->defaultHighOutputLatency;
    params.hostApiSpecificStreamInfo = nullptr;

    const unsigned long fpb = options_.framesPerBuffer > 0
                                  ? static_cast<unsigned long>(options_.framesPerBuffer)
                                  : paFramesPerBufferUnspecified;
    PaStream* stream = nullptr;
    PaError err = Pa_OpenStream(&stream, nullptr, &params, OutputRate, fpb, paClipOff | paDitherOff,
                                &PortAudioWaveOut::streamCallback, this);
    if (err != paNoError) return err;
    err = Pa_SetStreamFinishedCallback(stream, &PortAudioWaveOut::streamFinished);
    if (err != paNoError) {
        Pa_CloseStream(stream);
        return err;
    }

    const PaStreamInfo* streamInfo = Pa_GetStreamInfo(stream);
    outputLatency_ = streamInfo ? streamInfo->outputLatency : params.suggestedLatency;
    // The callback is not running yet, so this thread may still set the lead and post.
    queue_.clear();
    if (options_.leadFrames <= 0) {
        queue_.setLeadFrames(leadFramesFor(options_.framesPerBuffer, outputLatency_));
    }
    queue_.postOpen();
    closing_.store(false);
    err = Pa_StartStream(stream);
    if (err != paNoError) {
        Pa_CloseStream(stream);
        queue_.clear();
        outputLatency_ = 0;
        return err;
    }
    stream_ = stream;
    session_ = std::move(session);
    lastToneTiming_ = ToneTiming{};
    ++openCount_;
    return paNoError;
}

int PortAudioWaveOut::reset() {
    if (!stream_) return paBadStreamPtr;
    queue_.cutFiller();
    return paNoError;
}

int PortAudioWaveOut::write(WaveBuffer which, const std::int16_t* data, int values) {
    if (!stream_) return paBadStreamPtr;
    switch (which) {
        case WaveBuffer::Tone: return queue_.writeTone(data, values, monotonicNs());
        case WaveBuffer::Noise: return queue_.writeNoise(data, values, monotonicNs());
        case WaveBuffer::None: break;
    }
    return paBadBufferPtr;
}

int PortAudioWaveOut::close() {
    if (!stream_) return paNoError;
    closeStream();
    return paNoError;
}

void PortAudioWaveOut::closeStream() {
    // The finished callback runs while the stream aborts; this is no failure.
    closing_.store(true);
    Pa_AbortStream(stream_);
    Pa_CloseStream(stream_);
    stream_ = nullptr;
    queue_.clear();
    session_.reset();
    outputLatency_ = 0;
}

void PortAudioWaveOut::drainNotices() {
    queue_.clearSignal();
    const std::uint64_t opened = openCount_;
    const bool wasOpen = isOpen();
    OutputQueue::Notice n;
    while (queue_.takeNotice(n)) {
        if (n.kind == WaveOutNotice::Kind::Done && n.buffer == WaveBuffer::Tone) {
            lastToneTiming_ = n.timing;
        }
        WaveOutNotice notice;
        notice.kind = n.kind;
        notice.device = this;
        notice.buffer = n.buffer;
        notice.error = n.error;
        notify(notice);
        // The handler closed (or closed and reopened) the device: what is left belongs
        // to the stream that is gone, except the new stream's own notices, which the
        // next signal delivers.
        if (openCount_ != opened || isOpen() != wasOpen) break;
    }
}

int PortAudioWaveOut::streamCallback(const void*, void* output, unsigned long frames,
                                     const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags status,
                                     void* self) {
    auto* me = static_cast<PortAudioWaveOut*>(self);
    if (status & paOutputUnderflow) me->queue_.noteUnderflow();
    me->queue_.render(static_cast<std::int16_t*>(output), frames, monotonicNs());
    return paContinue;
}

void PortAudioWaveOut::streamFinished(void* self) {
    auto* me = static_cast<PortAudioWaveOut*>(self);
    if (!me->closing_.load()) me->queue_.postFailure(paUnanticipatedHostError);
}

}  // namespace kb

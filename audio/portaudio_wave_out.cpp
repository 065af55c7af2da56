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
    ++ordersWritten_;
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
    ordersWritten_ = 0;
    ordersTaken_ = 0;
    prepareForStart();
    startSilenceLeft_ = 0;
    itemHead_ = 0;
    itemCount_ = 0;
    framesOut_ = 0;
    lastToneEndFrame_ = -1;
    callbacks_.store(0, std::memory_order_relaxed);
    framesOutTotal_.store(0, std::memory_order_relaxed);
    silentFrames_.store(0, std::memory_order_relaxed);
    underflows_.store(0, std::memory_order_relaxed);
}

void OutputQueue::prepareForStart() {
    startSilenceLeft_ = startSilenceValues_;
    drainedAfterOrders_.store(ordersTaken_, std::memory_order_relaxed);
    quietFrames_ = 0;
    idleSignalled_ = false;
    idleAfterOrders_.store(NotIdle, std::memory_order_relaxed);
}

void OutputQueue::post(const Notice& n) noexcept {
    // Cannot be full: see NoticeCapacity.
    notices_.push(n);
    signal();
}

void OutputQueue::signal() noexcept {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t put = ::write(eventFd_, &one, sizeof one);
}

void OutputQueue::countQuiet(bool tookOrders, std::int64_t silentFrames) noexcept {
    drainedAfterOrders_.store(itemCount_ > 0 ? NotIdle : ordersTaken_, std::memory_order_release);
    // New sound ends the quiet stretch even when it was all copied out in this callback.
    if (itemCount_ > 0 || tookOrders) {
        quietFrames_ = 0;
        if (idleSignalled_) {
            idleSignalled_ = false;
            idleAfterOrders_.store(NotIdle, std::memory_order_relaxed);
        }
        if (itemCount_ > 0) return;
    }
    // With no item left every order taken so far has been copied out; an order written
    // after this callback took the orders makes ordersWritten_ differ, so the GUI thread
    // never mistakes it for idle.
    quietFrames_ += silentFrames;
    if (idleFrames_ <= NeverIdle || idleSignalled_ || quietFrames_ < idleFrames_) return;
    idleSignalled_ = true;
    idleAfterOrders_.store(ordersTaken_, std::memory_order_release);
    signal();
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
    const std::uint64_t takenBefore = ordersTaken_;
    Order order;
    while (itemCount_ < ItemCapacity && orders_.pop(order)) {
        Item& it = item(itemCount_++);
        it = Item{};
        it.order = order;
        it.timing.writtenNs = order.writtenNs;
        ++ordersTaken_;
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
    if (startSilenceLeft_ > 0) {
        pos = std::min(total, startSilenceLeft_);
        std::memset(out, 0, static_cast<std::size_t>(pos) * 2);
        startSilenceLeft_ -= pos;
        silentFrames_.fetch_add(static_cast<std::uint64_t>(pos / 2), std::memory_order_relaxed);
    }
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
    countQuiet(ordersTaken_ != takenBefore, (total - pos) / 2);

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
    session_ = std::make_unique<PortAudioSession>();
    if (!session_->ok()) {
        const int err = session_->error();
        session_.reset();
        return err;
    }
    const int err = openStreamOrRescan(device);
    if (err != paNoError) {
        session_.reset();
        return err;
    }
    // The callback is not running: this thread may set the queue up and post.
    queue_.clear();
    if (options_.leadFrames <= 0) {
        queue_.setLeadFrames(leadFramesFor(options_.framesPerBuffer, outputLatency_));
    }
    queue_.setIdleFrames(options_.idleStopSeconds > 0 ? static_cast<std::int64_t>(std::llround(
                                                            options_.idleStopSeconds * OutputRate))
                                                      : OutputQueue::NeverIdle);
    queue_.setStartSilence(
        static_cast<int>(std::lround(std::max(0.0, options_.startSilenceSeconds) * OutputRate)));
    // The device opens: the stream itself waits for the first write.
    releaseStream();
    open_ = true;
    device_ = device;
    lastToneTiming_ = ToneTiming{};
    starts_ = 0;
    idleStops_ = 0;
    ++openCount_;
    queue_.postOpen();
    return paNoError;
}

int PortAudioWaveOut::openStreamOrRescan(int device) {
    int err = openStream(device);
    // PortAudio knows only the devices of its last initialisation: a sound server started
    // since, or a headset plugged in again, is missing from its list or stale in it.
    if (err != paNoError && PortAudioSession::streamsHeld() == 0 && rescanDevices() == paNoError) {
        err = openStream(device);
    }
    return err;
}

int PortAudioWaveOut::openStream(int device) {
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
    stream_ = stream;
    session_->setHoldsStream(true);
    return paNoError;
}

int PortAudioWaveOut::takeStream() {
    int err = openStreamOrRescan(device_);
    if (err != paNoError) return err;
    // The callback is not running yet: the queue may be set up from here.
    if (options_.leadFrames <= 0) {
        queue_.setLeadFrames(leadFramesFor(options_.framesPerBuffer, outputLatency_));
    }
    queue_.prepareForStart();
    closing_.store(false);
    err = Pa_StartStream(stream_);
    if (err != paNoError) {
        releaseStream();
        return err;
    }
    ++starts_;
    return paNoError;
}

void PortAudioWaveOut::releaseStream() {
    if (!stream_) return;
    // The finished callback runs while the stream aborts; this is no failure.
    closing_.store(true);
    Pa_AbortStream(stream_);
    Pa_CloseStream(stream_);
    stream_ = nullptr;
    session_->setHoldsStream(false);
}

bool PortAudioWaveOut::releaseIdleStream() {
    if (stream_ && queue_.drained()) releaseStream();
    return stream_ == nullptr;
}

int PortAudioWaveOut::reset() {
    if (!open_) return paBadStreamPtr;
    queue_.cutFiller();
    return paNoError;
}

int PortAudioWaveOut::write(WaveBuffer which, const std::int16_t* data, int values) {
    if (!open_) return paBadStreamPtr;
    if (which == WaveBuffer::None) return paBadBufferPtr;
    // Stamped before a stream is taken, so the timing shows what taking it costs.
    const std::int64_t now = monotonicNs();
    if (!stream_) {
        const int err = takeStream();
        if (err != paNoError) return err;
    }
    return which == WaveBuffer::Tone ? queue_.writeTone(data, values, now)
                                     : queue_.writeNoise(data, values, now);
}

int PortAudioWaveOut::close() {
    if (!open_) return paNoError;
    releaseStream();
    open_ = false;
    queue_.clear();
    session_.reset();
    outputLatency_ = 0;
    return paNoError;
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
        if (openCount_ != opened || isOpen() != wasOpen) return;
    }
    // After the notices, so a handler's write in answer to a Done keeps the stream.
    if (stream_ && queue_.idle()) {
        releaseStream();
        ++idleStops_;
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

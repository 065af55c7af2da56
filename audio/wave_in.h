#pragma once
// The sound input device as the monitor sees it: 2 channels of unsigned 8-bit samples at
// 11025 Hz, handed over in buffers of 1110 frames (0.1 s). Threads: every method is
// called on the GUI thread, and notices reach the notice handler on the GUI thread, in
// the order the device produced them; a back end's audio thread never calls the handler
// itself (see PortAudioWaveIn).

#include <cstdint>
#include <functional>

namespace kb {

class WaveIn;

struct WaveInNotice {
    enum class Kind : std::uint8_t {
        Open,    // the device opened (InputOpen may be set)
        Data,    // a buffer is full: `frames` holds `frameCount` frames
        Failed,  // the device stopped delivering (unplugged, server gone); error holds why
    };
    Kind kind = Kind::Data;
    const WaveIn* device = nullptr;
    // Interleaved left/right bytes, 128 the zero line. Valid only during the handler.
    const std::uint8_t* frames = nullptr;
    int frameCount = 0;
    int buffer = 0;  // which of the buffers in rotation, 1..BufferCount
    int error = 0;
};

class WaveIn {
public:
    using NoticeHandler = std::function<void(const WaveInNotice&)>;
    static constexpr int DefaultDevice = -1;  // the system's choice
    static constexpr int SampleRate = 11025;
    static constexpr int FramesPerBuffer = 1110;
    static constexpr int BytesPerFrame = 2;
    static constexpr int BufferCount = 3;

    virtual ~WaveIn() = default;

    void setNoticeHandler(NoticeHandler h) { handler_ = std::move(h); }

    // Opens input device `device` (-1 the default, n the n-th of inputDeviceNames()).
    // Returns 0, or the back end's error number; on success an Open notice follows.
    virtual int open(int device) = 0;
    // Starts recording: Data notices follow, one per full buffer, the buffers taken in
    // rotation 1, 2, 3, 1, ...
    virtual int start() = 0;
    // Stops at once and releases the device; notices still in flight are dropped.
    virtual int close() = 0;
    virtual bool isOpen() const = 0;

protected:
    void notify(const WaveInNotice& n) {
        if (handler_) handler_(n);
    }

private:
    NoticeHandler handler_;
};

}  // namespace kb

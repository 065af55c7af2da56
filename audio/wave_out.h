#pragma once
// The sound output device as the playback engine sees it. Threads: every method is
// called on the GUI thread, and notices are handed to the notice handler on the GUI
// thread, in the order the device produced them. A back end's audio thread never calls
// the handler itself (see PortAudioWaveOut for how notices cross over).

#include <cstdint>
#include <functional>

namespace kb {

// Which queued buffer a notice is about (the engine's ToneHeader and NoiseHeader).
enum class WaveBuffer : std::uint8_t { None = 0, Tone = 1, Noise = 2 };

class WaveOut;

struct WaveOutNotice {
    enum class Kind : std::uint8_t {
        Open,    // the device opened and is ready
        Done,    // the device has taken a written buffer
        Failed,  // the device stopped working (unplugged); error holds the cause
    };
    Kind kind = Kind::Done;
    const WaveOut* device = nullptr;  // nullptr in an empty notice
    WaveBuffer buffer = WaveBuffer::None;
    int error = 0;
};

class WaveOut {
public:
    using NoticeHandler = std::function<void(const WaveOutNotice&)>;
    static constexpr int DefaultDevice = -1;  // the system's choice

    virtual ~WaveOut() = default;

    void setNoticeHandler(NoticeHandler h) { handler_ = std::move(h); }

    // Opens output device `device` (-1 the default, n the n-th of outputDeviceNames())
    // for 22050 Hz, 2 channels, 16 bits. Returns 0, or the back end's error number. On
    // success an Open notice follows.
    virtual int open(int device) = 0;
    // Cuts a queued noise filler. The tail of a character still queued plays out: the
    // next write follows it without a gap.
    virtual int reset() = 0;
    // Queues `values` 16-bit values (two per frame) after everything queued. The data is
    // copied for Tone; a Noise filler is played from `data` directly, which must stay
    // valid until the next reset or close. A Done notice follows once the device has
    // taken the buffer, shortly before its last sample is heard.
    virtual int write(WaveBuffer which, const std::int16_t* data, int values) = 0;
    // Stops everything at once and releases the device. Notices still in flight are
    // dropped.
    virtual int close() = 0;
    virtual bool isOpen() const = 0;

protected:
    void notify(const WaveOutNotice& n) {
        if (handler_) handler_(n);
    }

private:
    NoticeHandler handler_;
};

}  // namespace kb

#pragma once
// A sound input that the test feeds: frames go out in 1110-frame buffers, in rotation,
// when the test says so, and every call is recorded.

#include <cstdint>
#include <string>
#include <vector>

#include "audio/wave_in.h"

namespace kb::test {

class FakeWaveIn : public WaveIn {
public:
    // Results the next calls return (0 = success).
    int openResult = 0;
    int startResult = 0;

    int open(int device) override {
        calls.push_back("open " + std::to_string(device));
        if (openResult != 0) return openResult;
        open_ = true;
        started_ = false;
        rotation_ = 1;
        queued_.clear();
        notify({WaveInNotice::Kind::Open, this, nullptr, 0, 0, 0});
        return 0;
    }
    int start() override {
        calls.push_back("start");
        if (startResult != 0) return startResult;
        started_ = true;
        return 0;
    }
    int close() override {
        calls.push_back("close");
        open_ = started_ = false;
        queued_.clear();
        return 0;
    }
    bool isOpen() const override { return open_; }
    bool recording() const { return open_ && started_; }

    // Frames as the sound card would record them (interleaved left, right); each whole
    // buffer that gathers goes to the handler, as long as the device records. Returns the
    // buffers delivered.
    int feed(const std::vector<std::uint8_t>& frames) {
        if (!recording()) return 0;
        queued_.insert(queued_.end(), frames.begin(), frames.end());
        int delivered = 0;
        const std::size_t bytes = FramesPerBuffer * BytesPerFrame;
        while (recording() && queued_.size() >= bytes) {
            buffer_.assign(queued_.begin(), queued_.begin() + static_cast<std::ptrdiff_t>(bytes));
            queued_.erase(queued_.begin(), queued_.begin() + static_cast<std::ptrdiff_t>(bytes));
            const int which = rotation_;
            rotation_ = rotation_ % BufferCount + 1;
            notify({WaveInNotice::Kind::Data, this, buffer_.data(), FramesPerBuffer, which, 0});
            ++delivered;
        }
        return delivered;
    }
    void fail(int error) { notify({WaveInNotice::Kind::Failed, this, nullptr, 0, 0, error}); }

    std::vector<std::string> calls;

private:
    bool open_ = false;
    bool started_ = false;
    int rotation_ = 1;
    std::vector<std::uint8_t> queued_;
    std::vector<std::uint8_t> buffer_;
};

}  // namespace kb::test

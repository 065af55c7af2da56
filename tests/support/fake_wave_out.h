#pragma once
// A sound output that records every buffer written and gives it back only when the test
// says so, so a test steps the playback engine deterministically.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "audio/wave_out.h"

namespace kb::test {

class FakeWaveOut : public WaveOut {
public:
    struct Write {
        WaveBuffer buffer;
        std::vector<std::int16_t> values;
    };

    // Results the next calls return (0 = success).
    int openResult = 0;
    int writeResult = 0;
    // With a count, opening a device number beyond the list fails as PortAudio does.
    int deviceCount = -1;
    static constexpr int InvalidDevice = -9996;  // paInvalidDevice

    int open(int device) override {
        calls.push_back("open " + std::to_string(device));
        if (openResult != 0) return openResult;
        if (deviceCount >= 0 && device >= deviceCount) return InvalidDevice;
        open_ = true;
        notify({WaveOutNotice::Kind::Open, this, WaveBuffer::None, 0});
        return 0;
    }
    int reset() override {
        calls.push_back("reset");
        return 0;
    }
    int write(WaveBuffer which, const std::int16_t* data, int values) override {
        calls.push_back(which == WaveBuffer::Tone ? "write tone" : "write noise");
        if (writeResult != 0) return writeResult;
        writes.push_back({which, std::vector<std::int16_t>(data, data + values)});
        pending_.push_back(which);
        return 0;
    }
    int close() override {
        calls.push_back("close");
        open_ = false;
        pending_.clear();
        return 0;
    }
    bool isOpen() const override { return open_; }

    // Gives back the oldest buffer still with the device; false when none is.
    bool completeNext() {
        if (pending_.empty()) return false;
        const WaveBuffer b = pending_.front();
        pending_.pop_front();
        notify({WaveOutNotice::Kind::Done, this, b, 0});
        return true;
    }
    // Completes buffers until none is left (each completion may queue the next); returns
    // how many were completed. Bounded so a runaway engine fails the test instead of
    // hanging it.
    int completeAll(int limit = 100000) {
        int n = 0;
        while (n < limit && completeNext()) ++n;
        return n;
    }
    std::size_t pendingCount() const { return pending_.size(); }
    void fail(int error) { notify({WaveOutNotice::Kind::Failed, this, WaveBuffer::None, error}); }
    // A notice from a device that is not this one.
    void foreignDone() { notify({WaveOutNotice::Kind::Done, nullptr, WaveBuffer::Tone, 0}); }

    // Everything written as tone, one stream.
    std::vector<std::int16_t> toneStream() const {
        std::vector<std::int16_t> all;
        for (const Write& w : writes) {
            if (w.buffer == WaveBuffer::Tone)
                all.insert(all.end(), w.values.begin(), w.values.end());
        }
        return all;
    }

    std::vector<Write> writes;
    std::vector<std::string> calls;

private:
    bool open_ = false;
    std::deque<WaveBuffer> pending_;
};

}  // namespace kb::test

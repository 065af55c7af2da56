#pragma once
// Serial lines for tests and the benchmark: records every line change with a time from a
// Clock seam and the thread that made it, and can be told to fail like a pulled adapter.
// Any thread may call it (a mutex guards the record); reserve room up front where the
// record must not allocate on the timer thread.

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "keying/clock.h"
#include "keying/serial_line.h"

namespace kb {

class FakeSerialLines final : public SerialLines {
public:
    enum class Line { Dtr, Rts };
    struct Change {
        std::int64_t timeNs;
        Line line;
        bool up;
        std::thread::id thread;
    };

    explicit FakeSerialLines(const Clock& clock, std::size_t reserve = 256);

    std::error_code open(const std::string& devicePath) override;
    void close() override;
    bool isOpen() const override;
    int setLines(std::uint8_t mask) override;
    int clearLines(std::uint8_t mask) override;

    // --- For the test -------------------------------------------------------------------
    // The next open fails with this error (0: opens succeed).
    void failOpenWith(int err);
    // Line changes fail with this errno from now on (0: they work again).
    void failLinesWith(int err);
    // Only the next `count` line changes fail with this errno.
    void failNextLineChanges(int count, int err);
    bool dtr() const;
    bool rts() const;
    std::vector<Change> changes() const;
    void clearChanges();
    // Opens, closes and line changes in order: "open /dev/ttyS0", "close", "DTR+", "RTS-",
    // and "DTR! 5" for a change that failed with errno 5.
    std::vector<std::string> events() const;
    void clearEvents();
    std::string openedPath() const;  // the last device opened
    int openCount() const;
    int closeCount() const;

private:
    int change(std::uint8_t mask, bool up);

    const Clock& clock_;
    mutable std::mutex mutex_;
    bool open_ = false;
    bool dtr_ = false;
    bool rts_ = false;
    int openError_ = 0;
    int lineError_ = 0;
    int failCount_ = 0;
    int failNextError_ = 0;
    int opens_ = 0;
    int closes_ = 0;
    std::string path_;
    std::vector<Change> changes_;
    std::vector<std::string> events_;
};

}  // namespace kb

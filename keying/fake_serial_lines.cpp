#include "keying/fake_serial_lines.h"

#include <cerrno>

namespace kb {

FakeSerialLines::FakeSerialLines(const Clock& clock, std::size_t reserve) : clock_(clock) {
    changes_.reserve(reserve);
    events_.reserve(reserve);
}

std::error_code FakeSerialLines::open(const std::string& devicePath) {
    std::lock_guard lock(mutex_);
    if (open_) {
        ++closes_;
        events_.push_back("close");
    }
    open_ = false;
    if (openError_ != 0) {
        events_.push_back("open " + devicePath + " failed");
        return {openError_, std::generic_category()};
    }
    events_.push_back("open " + devicePath);
    open_ = true;
    ++opens_;
    path_ = devicePath;
    dtr_ = rts_ = false;  // a proper open leaves both lines down
    return {};
}

void FakeSerialLines::close() {
    std::lock_guard lock(mutex_);
    if (open_) {
        ++closes_;
        events_.push_back("close");
    }
    open_ = false;
}

bool FakeSerialLines::isOpen() const {
    std::lock_guard lock(mutex_);
    return open_;
}

int FakeSerialLines::setLines(std::uint8_t mask) {
    return change(mask, true);
}
int FakeSerialLines::clearLines(std::uint8_t mask) {
    return change(mask, false);
}

int FakeSerialLines::change(std::uint8_t mask, bool up) {
    const std::int64_t now = clock_.nowNs();
    std::lock_guard lock(mutex_);
    if (!open_) return EBADF;
    int err = lineError_;
    if (err == 0 && failCount_ > 0) {
        --failCount_;
        err = failNextError_;
    }
    const char* sign = err != 0 ? "! " : up ? "+" : "-";
    const std::string suffix = err != 0 ? std::to_string(err) : std::string();
    if (mask & LineDtr) events_.push_back(std::string("DTR") + sign + suffix);
    if (mask & LineRts) events_.push_back(std::string("RTS") + sign + suffix);
    if (err != 0) return err;
    const auto tid = std::this_thread::get_id();
    if (mask & LineDtr) {
        dtr_ = up;
        changes_.push_back({now, Line::Dtr, up, tid});
    }
    if (mask & LineRts) {
        rts_ = up;
        changes_.push_back({now, Line::Rts, up, tid});
    }
    return 0;
}

void FakeSerialLines::failOpenWith(int err) {
    std::lock_guard lock(mutex_);
    openError_ = err;
}

void FakeSerialLines::failLinesWith(int err) {
    std::lock_guard lock(mutex_);
    lineError_ = err;
}

void FakeSerialLines::failNextLineChanges(int count, int err) {
    std::lock_guard lock(mutex_);
    failCount_ = count;
    failNextError_ = err;
}

std::vector<std::string> FakeSerialLines::events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

void FakeSerialLines::clearEvents() {
    std::lock_guard lock(mutex_);
    events_.clear();
}

bool FakeSerialLines::dtr() const {
    std::lock_guard lock(mutex_);
    return dtr_;
}

bool FakeSerialLines::rts() const {
    std::lock_guard lock(mutex_);
    return rts_;
}

std::vector<FakeSerialLines::Change> FakeSerialLines::changes() const {
    std::lock_guard lock(mutex_);
    return changes_;
}

void FakeSerialLines::clearChanges() {
    std::lock_guard lock(mutex_);
    changes_.clear();
}

std::string FakeSerialLines::openedPath() const {
    std::lock_guard lock(mutex_);
    return path_;
}

int FakeSerialLines::openCount() const {
    std::lock_guard lock(mutex_);
    return opens_;
}

int FakeSerialLines::closeCount() const {
    std::lock_guard lock(mutex_);
    return closes_;
}

}  // namespace kb

#include "keying/fake_io_ctrl.h"

namespace kb {

FakeIOCtrl::FakeIOCtrl(const Clock& clock, std::size_t reserve) : clock_(clock) {
    calls_.reserve(reserve);
}

void FakeIOCtrl::log(Op op, std::uint16_t address, std::uint16_t value) {
    calls_.push_back({clock_.nowNs(), op, address, value, std::this_thread::get_id()});
}

std::uint16_t FakeIOCtrl::GetLPTPortAddress(std::int32_t port) {
    std::lock_guard lock(mutex_);
    return port >= 1 && port <= 3 ? addresses_[port - 1] : 0;
}

bool FakeIOCtrl::IsWinNT() {
    std::lock_guard lock(mutex_);
    return winNT_;
}

void FakeIOCtrl::EnablePorts(std::uint16_t base, std::uint16_t) {
    std::lock_guard lock(mutex_);
    log(Op::Enable, base, 0);
}

void FakeIOCtrl::DisablePorts(std::uint16_t base, std::uint16_t) {
    std::lock_guard lock(mutex_);
    log(Op::Disable, base, 0);
}

std::uint16_t FakeIOCtrl::Inport(std::uint16_t address) {
    std::lock_guard lock(mutex_);
    log(Op::In, address, control_);
    return control_;
}

void FakeIOCtrl::Outport(std::uint16_t address, std::uint16_t value) {
    std::lock_guard lock(mutex_);
    control_ = value;
    log(Op::Out, address, value);
}

std::string FakeIOCtrl::GetLastState() {
    std::lock_guard lock(mutex_);
    return works_ ? "fake: succes" : "fake: access refused";
}

bool FakeIOCtrl::DriverPresent() {
    std::lock_guard lock(mutex_);
    return driverPresent_;
}

void FakeIOCtrl::setAddress(int port, std::uint16_t base) {
    std::lock_guard lock(mutex_);
    if (port >= 1 && port <= 3) addresses_[port - 1] = base;
}

void FakeIOCtrl::setDriverPresent(bool present) {
    std::lock_guard lock(mutex_);
    driverPresent_ = present;
}

void FakeIOCtrl::setWinNT(bool nt) {
    std::lock_guard lock(mutex_);
    winNT_ = nt;
}

void FakeIOCtrl::setControl(std::uint16_t value) {
    std::lock_guard lock(mutex_);
    control_ = value;
}

std::uint16_t FakeIOCtrl::control() const {
    std::lock_guard lock(mutex_);
    return control_;
}

void FakeIOCtrl::setAccessWorks(bool works) {
    std::lock_guard lock(mutex_);
    works_ = works;
}

std::vector<FakeIOCtrl::Call> FakeIOCtrl::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

std::vector<FakeIOCtrl::Call> FakeIOCtrl::writes() const {
    std::lock_guard lock(mutex_);
    std::vector<Call> out;
    for (const Call& c : calls_) {
        if (c.op == Op::Out) out.push_back(c);
    }
    return out;
}

void FakeIOCtrl::clearCalls() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

}  // namespace kb

#include "keying/io_ctrl.h"

#include <fcntl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace kb {

std::uint16_t parseParportBaseAddr(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    unsigned long value = 0;
    std::size_t digits = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i, ++digits) {
        value = value * 10 + static_cast<unsigned long>(text[i] - '0');
        if (value > 0xFFFF) return 0;
    }
    return digits == 0 ? 0 : static_cast<std::uint16_t>(value);
}

PpdevIOCtrl::PpdevIOCtrl(std::string procDir, std::string devDir)
    : procDir_(std::move(procDir)), devDir_(std::move(devDir)) {}

PpdevIOCtrl::~PpdevIOCtrl() {
    release();
}

std::uint16_t PpdevIOCtrl::baseOf(int n) const {
    std::ifstream in(procDir_ + "/parport" + std::to_string(n) + "/base-addr");
    if (!in) return 0;
    std::stringstream text;
    text << in.rdbuf();
    return parseParportBaseAddr(text.str());
}

std::uint16_t PpdevIOCtrl::GetLPTPortAddress(std::int32_t port) {
    if (port < 1 || port > 3) return 0;
    return baseOf(port - 1);
}

// Accesses after a failed EnablePorts fail for the same reason; the status keeps that
// reason (no permission, no driver) rather than a bare "no claimed port".
bool PpdevIOCtrl::keepEnableFailure(int fd) const {
    return fd < 0 && enableFailed_.load(std::memory_order_relaxed);
}

void PpdevIOCtrl::record(Op op, int err) {
    lastErr_.store(err, std::memory_order_relaxed);
    lastOp_.store(static_cast<int>(op), std::memory_order_relaxed);
}

void PpdevIOCtrl::release() {
    const int fd = fd_.exchange(-1);
    claimedBase_.store(0);
    claimedIndex_ = -1;
    enableFailed_.store(false);
    if (fd < 0) return;
    (void)ioctl(fd, PPRELEASE);
    ::close(fd);
}

void PpdevIOCtrl::EnablePorts(std::uint16_t base, std::uint16_t) {
    release();
    int index = -1;
    for (int n = 0; n < MaxParports && index < 0; ++n) {
        if (base != 0 && baseOf(n) == base) index = n;
    }
    triedIndex_ = index;
    if (index < 0) {
        enableFailed_.store(true);
        record(Op::NoPort, ENODEV);
        return;
    }
    const std::string dev = devDir_ + "/parport" + std::to_string(index);
    const int fd = ::open(dev.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        enableFailed_.store(true);
        record(Op::Open, errno);
        return;
    }
    if (ioctl(fd, PPCLAIM) != 0) {
        enableFailed_.store(true);
        record(Op::Claim, errno);
        ::close(fd);
        return;
    }
    claimedIndex_ = index;
    claimedBase_.store(base);
    fd_.store(fd);
    record(Op::Claim, 0);
}

void PpdevIOCtrl::DisablePorts(std::uint16_t base, std::uint16_t) {
    if (base != 0 && base == claimedBase_.load()) release();
}

std::uint16_t PpdevIOCtrl::Inport(std::uint16_t address) {
    const std::uint16_t base = claimedBase_.load();
    const int fd = fd_.load();
    if (fd < 0 || base == 0 || address != base + 2) {
        if (!keepEnableFailure(fd)) record(Op::Address, ENXIO);
        return 0;
    }
    unsigned char value = 0;
    if (ioctl(fd, PPRCONTROL, &value) != 0) {
        record(Op::Read, errno);
        return 0;
    }
    record(Op::Read, 0);
    return value;
}

void PpdevIOCtrl::Outport(std::uint16_t address, std::uint16_t value) {
    const std::uint16_t base = claimedBase_.load(std::memory_order_acquire);
    const int fd = fd_.load(std::memory_order_acquire);
    if (fd < 0 || base == 0 || address != base + 2) {
        if (!keepEnableFailure(fd)) record(Op::Address, ENXIO);
        return;
    }
    unsigned char byte = static_cast<unsigned char>(value & 0xFF);
    record(Op::Write, ioctl(fd, PPWCONTROL, &byte) == 0 ? 0 : errno);
}

std::string PpdevIOCtrl::GetLastState() {
    const int err = lastErr_.load(std::memory_order_relaxed);
    const auto op = static_cast<Op>(lastOp_.load(std::memory_order_relaxed));
    if (op == Op::None) return "ppdev: no port accessed yet";
    if (err == 0) return "ppdev: succes";
    const char* what = "access";
    switch (op) {
        case Op::Open: what = "open"; break;
        case Op::Claim: what = "PPCLAIM"; break;
        case Op::Read: what = "PPRCONTROL"; break;
        case Op::Write: what = "PPWCONTROL"; break;
        case Op::Address: what = "no claimed port at that address"; break;
        case Op::NoPort: what = "no parallel port has that base address"; break;
        case Op::None: break;
    }
    std::string text = std::string("ppdev: ") + what + " failed: " + std::strerror(err);
    // A failed open leaves nothing claimed, yet the user needs the device's name most then.
    const int index = claimedIndex_ >= 0 ? claimedIndex_ : triedIndex_;
    if (index >= 0) text += " (" + devDir_ + "/parport" + std::to_string(index) + ")";
    return text.substr(0, 254);
}

bool PpdevIOCtrl::DriverPresent() {
    for (int n = 0; n < MaxParports; ++n) {
        struct stat st {};
        const std::string dev = devDir_ + "/parport" + std::to_string(n);
        if (stat(dev.c_str(), &st) == 0) return true;
    }
    return false;
}

}  // namespace kb

#pragma once
// The parallel-port operations the keying and the port panel use: base addresses, access
// to a port, and reads and writes of its control register at base + 2. The program keeps
// the register's key-up image itself and writes it whole.
//
// Threads
//   GUI thread:   everything except keying writes.
//   Timer thread: Outport, during a character's keying steps.
//   Access is never enabled or withdrawn while the keying timer is armed (the keying code
//   disarms first), so Outport on the timer thread always meets a settled port. Outport
//   allocates nothing; its result is kept in atomics for GetLastState.

#include <atomic>
#include <cstdint>
#include <string>

namespace kb {

// The warning shown when a parallel port is chosen but the port driver is missing.
inline constexpr const char* LptDriverMissingWarning = "Parallel port driver (ppdev) not found";

class IOCtrl {
public:
    virtual ~IOCtrl() = default;

    // Base address of LPT1..LPT3 (port 1..3); 0 when that port does not exist.
    virtual std::uint16_t GetLPTPortAddress(std::int32_t port) = 0;
    // True where access must be enabled before a port is used.
    virtual bool IsWinNT() = 0;
    // Afterwards Inport and Outport on base + 2 work. Both values are the base address.
    virtual void EnablePorts(std::uint16_t base, std::uint16_t baseAgain) = 0;
    // Withdraws the access enabled for that base.
    virtual void DisablePorts(std::uint16_t base, std::uint16_t baseAgain) = 0;
    // The control register (low byte) of the port whose base + 2 is the address.
    virtual std::uint16_t Inport(std::uint16_t address) = 0;
    // The register takes the value's low byte at once.
    virtual void Outport(std::uint16_t address, std::uint16_t value) = 0;
    // A text containing "succes" when the last access worked.
    virtual std::string GetLastState() = 0;
    // The port driver's device files exist (checked once at start-up).
    virtual bool DriverPresent() = 0;
};

// IOCtrl over Linux ppdev. Base addresses come from
// <procDir>/parportN/base-addr (LPT1 is parport0); access to a base is opening and claiming
// the matching <devDir>/parportN (PPCLAIM); the control register is read and written with
// PPRCONTROL and PPWCONTROL. Only the claimed port's base + 2 is accepted as an address.
// The directories are parameters so tests can stand up a fake /proc tree.
class PpdevIOCtrl final : public IOCtrl {
public:
    explicit PpdevIOCtrl(std::string procDir = "/proc/sys/dev/parport",
                         std::string devDir = "/dev");
    ~PpdevIOCtrl() override;
    PpdevIOCtrl(const PpdevIOCtrl&) = delete;
    PpdevIOCtrl& operator=(const PpdevIOCtrl&) = delete;

    std::uint16_t GetLPTPortAddress(std::int32_t port) override;
    bool IsWinNT() override { return true; }
    void EnablePorts(std::uint16_t base, std::uint16_t baseAgain) override;
    void DisablePorts(std::uint16_t base, std::uint16_t baseAgain) override;
    std::uint16_t Inport(std::uint16_t address) override;
    void Outport(std::uint16_t address, std::uint16_t value) override;
    std::string GetLastState() override;
    bool DriverPresent() override;

    static constexpr int MaxParports = 16;

private:
    enum class Op : int { None, Open, Claim, Read, Write, Address, NoPort };
    // Base address of parportN, 0 when unknown.
    std::uint16_t baseOf(int n) const;
    void record(Op op, int err);
    bool keepEnableFailure(int fd) const;
    void release();

    std::string procDir_;
    std::string devDir_;
    std::atomic<int> fd_{-1};
    std::atomic<std::uint16_t> claimedBase_{0};
    int claimedIndex_ = -1;
    int triedIndex_ = -1;  // the parportN the last EnablePorts tried to open
    std::atomic<int> lastOp_{static_cast<int>(Op::None)};
    std::atomic<int> lastErr_{0};
    std::atomic<bool> enableFailed_{false};  // the last EnablePorts claimed nothing
};

// Reads the base address from the text of a base-addr file ("888\t1912\n"): the first
// decimal number, or 0 when there is none or it does not fit 16 bits.
std::uint16_t parseParportBaseAddr(const std::string& text);

}  // namespace kb

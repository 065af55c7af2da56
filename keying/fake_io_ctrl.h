#pragma once
// A parallel port for tests: set its addresses, its control register and whether accesses
// succeed; every call is recorded with a time from the Clock seam and its thread.
// Any thread may call it (a mutex guards the record).

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "keying/clock.h"
#include "keying/io_ctrl.h"

namespace kb {

class FakeIOCtrl final : public IOCtrl {
public:
    enum class Op { Enable, Disable, In, Out };
    struct Call {
        std::int64_t timeNs;
        Op op;
        std::uint16_t address;
        std::uint16_t value;  // Out: the value written; In: the value read
        std::thread::id thread;
    };

    explicit FakeIOCtrl(const Clock& clock, std::size_t reserve = 256);

    std::uint16_t GetLPTPortAddress(std::int32_t port) override;
    bool IsWinNT() override;
    void EnablePorts(std::uint16_t base, std::uint16_t baseAgain) override;
    void DisablePorts(std::uint16_t base, std::uint16_t baseAgain) override;
    std::uint16_t Inport(std::uint16_t address) override;
    void Outport(std::uint16_t address, std::uint16_t value) override;
    std::string GetLastState() override;
    bool DriverPresent() override;

    // --- For the test -------------------------------------------------------------------
    void setAddress(int port, std::uint16_t base);  // port 1..3
    void setDriverPresent(bool present);
    void setWinNT(bool nt);
    void setControl(std::uint16_t value);  // what Inport reads
    std::uint16_t control() const;         // the last value written (or set)
    void setAccessWorks(bool works);       // false: GetLastState lacks "succes"
    std::vector<Call> calls() const;
    std::vector<Call> writes() const;  // the Outport calls only
    void clearCalls();

private:
    void log(Op op, std::uint16_t address, std::uint16_t value);

    const Clock& clock_;
    mutable std::mutex mutex_;
    std::uint16_t addresses_[3] = {0, 0, 0};
    bool driverPresent_ = true;
    bool winNT_ = true;
    bool works_ = true;
    std::uint16_t control_ = 0;
    std::vector<Call> calls_;
};

}  // namespace kb

#include "keying/keyer.h"

#include <algorithm>

namespace kb {

Keyer::Keyer(SerialLines& lines, IOCtrl& lpt, MultimediaTimer& mmTimerCW)
    : lines_(lines), lpt_(lpt), timer_(mmTimerCW) {
    timer_.setEnabled(false);
    timer_.setInterval(TimerProperties::DefaultInterval);
    timer_.setTimerMode(TTIMERMode::TIME_ONESHOT);
    timer_.setOnTimer([this](MultimediaTimer&) { MMTimerCWTimer(); });
}

Keyer::~Keyer() {
    shutdown();
    timer_.setOnTimer(nullptr);
}

// ---- Keying -----------------------------------------------------------------------------

bool Keyer::keyingActive() const {
    return (comOpen() && cwLineMask_ != 0) || lptIndex_ > 0;
}

int Keyer::key(Snapshot& s, bool down) {
    s.keyDown = down;
    int err = 0;
    if (s.cwLines != 0) err = down ? lines_.setLines(s.cwLines) : lines_.clearLines(s.cwLines);
    if (s.lpt) lpt_.Outport(s.lptRegister, down ? s.lptDown : s.lptUp);
    return err;
}

void Keyer::startKeying(const KeyingSchedule& schedule) {
    timer_.setEnabled(false);
    const std::int32_t first = schedule.stepCount > 0 ? schedule.steps[0] : 0;
    if (first == 0 || lineFaultPending()) return;

    // The timer is disarmed: the snapshot is ours until it is armed again.
    Snapshot& s = step_;
    s.steps = schedule.steps;
    s.keyingIndex = 1;
    s.cwLines = comOpen() ? cwLineMask_ : 0;
    s.lpt = lptIndex_ > 0;
    s.lptRegister = lptRegister();
    s.lptDown = lptKeyDownValue(lptControlIdle_, pinIndex_, NegativeLogic(pinIndex_));
    s.lptUp = lptKeyUpValue(lptControlIdle_, pinIndex_, NegativeLogic(pinIndex_));

    // Even the first key-down is the timer thread's: keyed here, a preemption of the GUI
    // thread between it and the arming would lengthen the first element. The first step
    // counts its element from the moment it runs, so a late wake-up delays the character
    // as a whole but leaves the element its length.
    timer_.startAtOnce();
    lamp_ = true;
}

void Keyer::MMTimerCWTimer() {
    // A step that comes after a disarm does nothing.
    if (!timer_.Enabled()) return;
    timer_.setEnabled(false);

    Snapshot& s = step_;
    const std::int32_t v = s.keyingIndex >= 1 && s.keyingIndex <= KeyingSchedule::MaxSteps
                               ? s.steps[static_cast<std::size_t>(s.keyingIndex - 1)]
                               : 0;
    if (v == 0) {
        if (const int err = key(s, false)) lineFailed(err);
        return;
    }
    timer_.setInterval(v < 0 ? -v : v);
    if (const int err = key(s, v > 0)) {
        lineFailed(err);
        return;
    }
    ++s.keyingIndex;
    timer_.setEnabled(true);
}

void Keyer::lineFailed(int err) {
    // Stop this character (on the timer thread the step has already switched the timer off;
    // on the GUI thread this waits for a step in progress) and let go of the transmitter as
    // far as the device still allows.
    timer_.setEnabled(false);
    if (lines_.isOpen()) (void)lines_.clearLines(BothLines);
    if (step_.lpt) lpt_.Outport(step_.lptRegister, step_.lptUp);
    step_.keyDown = false;
    int expected = 0;
    if (lineFault_.compare_exchange_strong(expected, err, std::memory_order_acq_rel) &&
        onLineFault_) {
        onLineFault_();
    }
}

void Keyer::interruptKeying() {
    timer_.setEnabled(false);
    if (step_.keyDown) {
        if (const int err = key(step_, false)) lineFailed(err);
    }
}

void Keyer::disarmKeying() {
    interruptKeying();
}

void Keyer::lampOffPttOff() {
    lamp_ = false;
    pttOn_ = false;
}

void Keyer::releaseTransmitter() {
    interruptKeying();
    if (comOpen()) {
        if (const int err = lines_.clearLines(BothLines)) lineFailed(err);
        lampOffPttOff();
    }
    if (lptIndex_ > 0) {
        lpt_.Outport(lptRegister(),
                     lptKeyUpValue(lptControlIdle_, pinIndex_, NegativeLogic(pinIndex_)));
        lampOffPttOff();
    }
}

bool Keyer::pttStart() {
    if (!comOpen() || pttLineMask_ == 0 || pttOn_) return false;
    if (const int err = lines_.setLines(pttLineMask_)) {
        lineFailed(err);
        return false;
    }
    lamp_ = true;
    pttOn_ = true;
    return true;
}

void Keyer::shutdown() {
    interruptKeying();
    if (comOpen()) closeComPort(false);
    if (lptIndex_ > 0) {
        lpt_.Outport(lptRegister(),
                     lptKeyUpValue(lptControlIdle_, pinIndex_, NegativeLogic(pinIndex_)));
    }
    if (lpt_.IsWinNT() && lptAccessAddress_ != 0) {
        lpt_.DisablePorts(lptAccessAddress_, lptAccessAddress_);
        lptAccessAddress_ = 0;
    }
}

// ---- Serial port ---------------------------------------------------------------------------

void Keyer::closeComPort(bool lampOff) {
    comPortName_ = NoComPortName;
    (void)lines_.clearLines(BothLines);  // the port is going anyway
    if (lampOff) lampOffPttOff();
    pttOn_ = false;
    lines_.close();
}

Keyer::ComResult Keyer::selectComPort(int index, bool textPending) {
    interruptKeying();
    // Whatever failed on the old port is moot once it is closed.
    lineFault_.store(0, std::memory_order_release);
    if (index < 1 || index > ComDeviceMap::Ports) {
        closeComPort(true);
        return ComResult::Released;
    }
    if (comOpen()) closeComPort(true);

    const std::string name = "COM" + std::to_string(index);
    lastComError_ = lines_.open(comDevices_.devicePath(index));
    if (lastComError_) {
        comPortName_ = NoComPortName;
        return ComResult::ErrorCom;
    }
    comPortName_ = name;
    if (textPending && pttLineMask_ != 0) {
        if (const int err = lines_.setLines(pttLineMask_)) {
            lineFailed(err);
        } else {
            lamp_ = true;
            pttOn_ = true;
        }
    }
    return ComResult::Opened;
}

void Keyer::setTxDelayIndex(int index) {
    txDelayIndex_ = std::clamp(index, 0, TxDelayItems - 1);
}

int Keyer::handleLineFault() {
    const int err = lineFault_.load(std::memory_order_acquire);
    if (err == 0) return 0;
    interruptKeying();
    if (comOpen()) closeComPort(true);
    releaseTransmitter();
    lampOffPttOff();
    lineFault_.store(0, std::memory_order_release);
    return err;
}

// ---- Parallel port -------------------------------------------------------------------------

bool Keyer::NegativeLogic(int pinIndex) const {
    return pinIndex >= 0 && pinIndex < LptPinCount
               ? negativeLogic_[static_cast<std::size_t>(pinIndex)]
               : false;
}

void Keyer::loadLptAddresses() {
    for (int n = 1; n <= 3; ++n) {
        lptAddressTable_[static_cast<std::size_t>(n - 1)] = lpt_.GetLPTPortAddress(n);
    }
    lptDriverPresent_ = lpt_.DriverPresent();
}

std::uint16_t Keyer::lptAddress(int n) const {
    return n >= 1 && n <= 3 ? lptAddressTable_[static_cast<std::size_t>(n - 1)] : 0;
}

void Keyer::ensureLptAccess() {
    if (!lpt_.IsWinNT()) return;
    const std::uint16_t a = lptBaseAddress_;
    if (a == 0 || a == lptAccessAddress_) return;
    if (lptAccessAddress_ != 0) lpt_.DisablePorts(lptAccessAddress_, lptAccessAddress_);
    lpt_.EnablePorts(a, a);
    lptAccessAddress_ = a;
}

bool Keyer::pinSetup() {
    lptBaseAddress_ = lptAddress(lptIndex_);
    const std::uint16_t image = lpt_.Inport(lptRegister());
    lptControlIdle_ = lptKeyUpValue(image, pinIndex_, NegativeLogic(pinIndex_));
    lpt_.Outport(lptRegister(), lptControlIdle_);
    return lpt_.GetLastState().find("succes") != std::string::npos;
}

Keyer::LptSelection Keyer::applyLptChoice(int index) {
    if (index >= 1 && lpt_.IsWinNT() && !lptDriverPresent_) {
        return {LptResult::DriverMissing, lptIndex_, true};
    }
    if (index < 1 || index > 3) {
        if (lpt_.IsWinNT() && lptAccessAddress_ != 0) {
            lpt_.DisablePorts(lptAccessAddress_, lptAccessAddress_);
            lptAccessAddress_ = 0;
        }
        lptBaseAddress_ = 0;
        lptIndex_ = 0;
        return {LptResult::Released, 0, true};
    }
    if (lptAddress(index) == 0) return {LptResult::NoAddress, lptIndex_, true};

    lptPreviousChoice_ = index;
    lptIndex_ = index;
    lptBaseAddress_ = lptAddress(index);
    ensureLptAccess();
    return {LptResult::Accepted, index, pinSetup()};
}

Keyer::LptSelection Keyer::selectLpt(int index) {
    interruptKeying();
    LptSelection sel = applyLptChoice(index);
    if (sel.result == LptResult::DriverMissing || sel.result == LptResult::NoAddress) {
        // The group goes back to the last accepted port, which is selected again (after
        // "NONE" that brings back the port used before); if that is refused too, "NONE".
        const int back = lptPreviousChoice_;
        if (back != lptIndex_) {
            LptSelection again = applyLptChoice(back);
            if (again.result != LptResult::Accepted) again = applyLptChoice(0);
            sel.shownIndex = again.shownIndex;
            sel.setupOk = again.setupOk;
        }
    }
    return sel;
}

bool Keyer::selectPin(int pinIndex) {
    if (pinIndex < 0 || pinIndex >= LptPinCount) return true;
    interruptKeying();
    pinIndex_ = pinIndex;
    if (lptIndex_ == 0) return true;
    ensureLptAccess();
    return pinSetup();
}

bool Keyer::setNegativeLogic(int pinIndex, bool checked) {
    if (pinIndex < 0 || pinIndex >= LptPinCount) return true;
    negativeLogic_[static_cast<std::size_t>(pinIndex)] = checked;
    if (lptIndex_ == 0 || pinIndex != pinIndex_) return true;
    interruptKeying();
    return pinSetup();
}

bool Keyer::typeLptAddress(int n, std::string_view text) {
    if (n < 1 || n > 3) return false;
    const auto address = parseLptAddressText(text);
    if (!address) return false;
    lptAddressTable_[static_cast<std::size_t>(n - 1)] = *address;
    if (n == lptIndex_) {
        interruptKeying();
        lptBaseAddress_ = *address;
        ensureLptAccess();
    }
    return true;
}

bool Keyer::applyLptSettings(int lptIndex, std::uint16_t loadedAddress, int pinIndex,
                             bool negativeLogic) {
    interruptKeying();
    lptIndex_ = lptIndex >= 1 && lptIndex <= 3 && lptAddress(lptIndex) != 0 ? lptIndex : 0;
    if (pinIndex >= 0 && pinIndex < LptPinCount) pinIndex_ = pinIndex;
    negativeLogic_[static_cast<std::size_t>(pinIndex_)] = negativeLogic;
    lptPreviousChoice_ = lptIndex_;
    if (lptIndex_ == 0) return true;
    auto& entry = lptAddressTable_[static_cast<std::size_t>(lptIndex_ - 1)];
    if (loadedAddress != 0 && loadedAddress != entry) entry = loadedAddress;
    lptBaseAddress_ = entry;
    ensureLptAccess();
    return pinSetup();
}

}  // namespace kb

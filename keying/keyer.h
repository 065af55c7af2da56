#pragma once
// Transmitter keying: the keying state, the steps that key a character element by element
// on the keying timer, push-to-talk, and the port choices of the port panel. Qt-free; every
// device is handed in (serial lines, the parallel port, the keying timer MMTimerCW).
//
// Who calls what
//   Playback engine (GUI thread), per character: keyingActive() decides whether the
//     schedule is filled; startKeying(schedule) just before the character's sound is
//     queued; disarmKeying() at each completion. At the end of a text or a stop:
//     releaseTransmitter(). At quit and close: shutdown().
//   Play actions of the modes (GUI thread): pttStart() before the first character. True
//     means PTT was raised just now: start TimerTXDelay with txDelayMs() and click Button1
//     when it fires. False: click Button1 at once.
//   Port panel and start-up (GUI thread): selectComPort, the line masks, the TX delay item,
//     selectLpt, selectPin, setNegativeLogic, typeLptAddress, loadLptAddresses and
//     applyLptSettings. Each returns what the panel must show or whether it must beep.
//   Timer thread: MMTimerCWTimer(), one keying step, as MMTimerCW's OnTimer. Every edge of
//     a character is keyed there, the first key-down included; the GUI thread keys only
//     the key-up of a character it cuts short, and PTT.
//
// Sharing between the two threads
//   The GUI thread owns the configuration, PttOn, the lamp and the opening and closing of
//   ports. A character's keying runs on a snapshot (the steps, KeyingIndex, the CW lines and
//   the LPT port with its key-down and key-up values) that the GUI writes in startKeying
//   while the timer is disarmed, and that only the timer thread touches while it is armed.
//   The hand-over is MMTimerCW itself: arming publishes the snapshot, and a disarm waits for
//   a step in progress and guarantees no step of that arming runs afterwards (see
//   mm_timer.h). So the GUI disarms before it reads the snapshot or changes a port, and
//   keying code never holds a lock of its own. A late step finds Enabled false and does
//   nothing; a step never allocates.
//
// The "On air" lamp: onAir() is GUI-thread state, changed only by the GUI-thread calls above
//   (the timer thread never touches it); the window reads it after each call (refreshLamp).
//
// Line failures: a serial line change that fails (adapter pulled: EIO, ENXIO, ENODEV) on
//   either thread stops keying at once, drops both lines as far as the device still
//   allows, records the error and calls the fault notifier. The notifier runs on the thread
//   that met the failure, so it must only post (e.g. a queued invocation to the window).
//   The window then calls handleLineFault() on the GUI thread, which releases the
//   transmitter and closes the port; it shows "Error COM" and sets RadioGroupCOM to "NONE".
//   lineFaultPending() lets the window poll instead.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>

#include "keying/io_ctrl.h"
#include "keying/mm_timer.h"
#include "keying/port_settings.h"
#include "keying/serial_line.h"
#include "keying/transmitter.h"

namespace kb {

inline constexpr const char* NoComPortName = "    ";  // four blanks: no COM port open

class Keyer final : public TransmitterKeying {
public:
    // The devices must outlive the Keyer. The Keyer sets MMTimerCW up (Interval 10,
    // TIME_ONESHOT, OnTimer = MMTimerCWTimer) and clears its OnTimer when destroyed.
    Keyer(SerialLines& lines, IOCtrl& lpt, MultimediaTimer& mmTimerCW);
    ~Keyer() override;
    Keyer(const Keyer&) = delete;
    Keyer& operator=(const Keyer&) = delete;

    // --- Playback engine and play actions (GUI thread) -------------------------------------
    // A port is configured for CW: a COM port open with CW lines, or an LPT port chosen.
    bool keyingActive() const override;
    // Disarms, then: a first step of 0 changes nothing; otherwise KeyingIndex 1, MMTimerCW
    // armed to run the first step (the key-down) at once on its thread, lamp on. Nothing
    // is keyed here, and nothing at all while a line fault waits for handleLineFault().
    void startKeying(const KeyingSchedule& schedule) override;
    // No step of the current character acts after this returns. A character cut short
    // has its key released rather than left down.
    void disarmKeying() override;
    // Key up and PTT down (both COM lines, whatever the masks), LPT key-up, lamp off.
    void releaseTransmitter() override;
    // Raises the PTT lines when a COM port is open, PttLineMask is not 0 and PTT is not yet
    // on; then lamp on and true: the caller waits txDelayMs() before the first character.
    bool pttStart() override;
    int txDelayMs() const override { return txDelayMsForIndex(txDelayIndex_); }
    bool onAir() const override { return lamp_; }
    // Quit and close: lines down, COM port closed, LPT key-up and access withdrawn; the
    // lamp is left as it is.
    void shutdown() override;

    // --- Timer thread -----------------------------------------------------------------------
    // One keying step: the next step of the schedule keys down or up and re-arms MMTimerCW
    // for its duration; the final 0 keys up and leaves the timer off. The first step of a
    // character is the one startKeying armed at once.
    void MMTimerCWTimer();

    // --- Serial port (GUI thread) ------------------------------------------------------------
    enum class ComResult { Released, Opened, ErrorCom };
    // RadioGroupCOMClick: 0 releases the port; 1..4 drop and close any open port, then
    // open COM1..COM4 through comDevices(). When it opens while text is pending and
    // PttLineMask is not 0, PTT is asserted at once. ErrorCom: show "Error COM" and put
    // RadioGroupCOM back to "NONE" (lastComError() says why, for a log).
    ComResult selectComPort(int index, bool textPending);
    std::error_code lastComError() const { return lastComError_; }
    ComDeviceMap& comDevices() { return comDevices_; }
    const std::string& ComPortName() const { return comPortName_; }
    void setPttLineMask(std::uint8_t mask) { pttLineMask_ = mask & BothLines; }
    std::uint8_t PttLineMask() const { return pttLineMask_; }
    // Takes effect from the next character.
    void setCwLineMask(std::uint8_t mask) { cwLineMask_ = mask & BothLines; }
    std::uint8_t CwLineMask() const { return cwLineMask_; }
    void setTxDelayIndex(int index);  // RadioGroupTXDelayClick, 0..4
    int txDelayIndex() const { return txDelayIndex_; }
    bool PttOn() const { return pttOn_; }

    // --- Line faults ---------------------------------------------------------------------------
    // Set once at start-up (GUI thread). Called on the thread that met the failure.
    void setLineFaultNotifier(std::function<void()> notify) { onLineFault_ = std::move(notify); }
    bool lineFaultPending() const { return lineFault_.load(std::memory_order_acquire) != 0; }
    // GUI thread: if a fault is pending, releases the transmitter, closes the port and
    // returns its errno (then show "Error COM", RadioGroupCOM "NONE"); else 0.
    int handleLineFault();

    // --- Parallel port (GUI thread) -------------------------------------------------------------
    // Start-up: the three base addresses and whether the port driver is there.
    void loadLptAddresses();
    std::uint16_t lptAddress(int n) const;  // LptAddressTable, n 1..3
    bool LptDriverPresent() const { return lptDriverPresent_; }
    // Why the last parallel-port access failed, in the port layer's words.
    std::string lptState() { return lpt_.GetLastState(); }

    enum class LptResult {
        Released,       // "NONE": keying no longer touches a port
        Accepted,       // port in use, pin set up
        DriverMissing,  // beep and warn LptDriverMissingWarning
        NoAddress,      // beep
    };
    struct LptSelection {
        LptResult result;
        int shownIndex;  // the item RadioGroupLPT must show (already applied here)
        bool setupOk;    // false: the pin set-up failed, beep
    };
    // RadioGroupLPTClick. A refused choice returns to LptPreviousChoice.
    LptSelection selectLpt(int index);
    // RadioGroupPinClick: false when the pin set-up failed (beep).
    bool selectPin(int pinIndex);
    // CheckBoxPin1Click .. CheckBoxPin17Click: false when the set-up failed (beep).
    bool setNegativeLogic(int pinIndex, bool checked);
    // EditLPT1Change .. EditLPT3Change with the edit's new text. A well-formed address
    // becomes LPT n's address, and the address in use when LPT n is the chosen port.
    // False when the text was ignored.
    bool typeLptAddress(int n, std::string_view text);
    // Start-up with the stored LPT=, ADLPT= (0 when empty), PIN= and LOGIC= values.
    // False when the pin set-up failed (beep).
    bool applyLptSettings(int lptIndex, std::uint16_t loadedAddress, int pinIndex,
                          bool negativeLogic);

    int LptIndex() const { return lptIndex_; }  // RadioGroupLPT
    int PinIndex() const { return pinIndex_; }  // RadioGroupPin
    bool NegativeLogic(int pinIndex) const;
    std::uint16_t LptBaseAddress() const { return lptBaseAddress_; }
    std::uint16_t LptControlIdle() const { return lptControlIdle_; }
    std::uint16_t LptAccessAddress() const { return lptAccessAddress_; }
    int LptPreviousChoice() const { return lptPreviousChoice_; }

    // The number of the next step; GUI thread, while disarmed.
    int KeyingIndex() const { return step_.keyingIndex; }

private:
    // A character's keying, as the timer thread sees it.
    struct Snapshot {
        std::array<std::int32_t, KeyingSchedule::MaxSteps> steps{};
        int keyingIndex = 0;       // 1-based number of the next step
        std::uint8_t cwLines = 0;  // COM lines to key (0: no COM keying)
        bool lpt = false;
        std::uint16_t lptRegister = 0;  // base + 2
        std::uint16_t lptDown = 0;
        std::uint16_t lptUp = 0;
        bool keyDown = false;
    };

    bool comOpen() const { return comPortName_ != NoComPortName; }
    // Keys the snapshot's lines; 0 or the errno of a failed serial line change.
    int key(Snapshot& s, bool down);
    void lineFailed(int err);
    // Disarms and, when a character was cut short with its key down, keys it up.
    void interruptKeying();
    void closeComPort(bool lampOff);
    void lampOffPttOff();
    LptSelection applyLptChoice(int index);
    void ensureLptAccess();
    bool pinSetup();
    std::uint16_t lptRegister() const { return static_cast<std::uint16_t>(lptBaseAddress_ + 2); }

    SerialLines& lines_;
    IOCtrl& lpt_;
    MultimediaTimer& timer_;

    // GUI thread.
    ComDeviceMap comDevices_;
    std::string comPortName_ = NoComPortName;
    std::error_code lastComError_;
    std::uint8_t pttLineMask_ = BothLines;
    std::uint8_t cwLineMask_ = 0;
    int txDelayIndex_ = DefaultTxDelayIndex;
    bool pttOn_ = false;
    bool lamp_ = false;
    std::array<std::uint16_t, 3> lptAddressTable_{};
    bool lptDriverPresent_ = false;
    int lptIndex_ = 0;
    int lptPreviousChoice_ = 0;
    int pinIndex_ = 0;
    std::array<bool, LptPinCount> negativeLogic_ = DefaultNegativeLogic;
    std::uint16_t lptBaseAddress_ = 0;
    std::uint16_t lptControlIdle_ = 0;
    std::uint16_t lptAccessAddress_ = 0;
    std::function<void()> onLineFault_;

    // Handed to the timer thread while MMTimerCW is armed (see above).
    Snapshot step_;

    // Either thread: the errno of the first unhandled line failure, 0 when none.
    std::atomic<int> lineFault_{0};
};

}  // namespace kb

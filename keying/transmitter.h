#pragma once
// What the playback engine and the training modes ask of the transmitter keying. Every
// method is called on the GUI thread; an implementation keys the lines on its own timer
// thread between startKeying and the next disarm.

#include "keying/keying_schedule.h"

namespace kb {

class TransmitterKeying {
public:
    virtual ~TransmitterKeying() = default;

    // A port is configured for CW: characters carry a keying schedule.
    virtual bool keyingActive() const = 0;
    // Hands the character to the timer thread, which keys its first step at once and the
    // rest on time; called just before the character's sound is queued.
    virtual void startKeying(const KeyingSchedule& schedule) = 0;
    // At every completion: no step of the current character acts after this returns.
    virtual void disarmKeying() = 0;
    // End of a text or a stop: key up, PTT down, lamp off.
    virtual void releaseTransmitter() = 0;
    // Before a play action's first character: raises PTT when a port is configured for it
    // and it is not yet raised. True when it was raised now, so the first character must
    // wait txDelayMs().
    virtual bool pttStart() = 0;
    virtual int txDelayMs() const = 0;
    // The "On air" lamp.
    virtual bool onAir() const = 0;
    // Quit and close: lines down and ports released, the lamp left as it is.
    virtual void shutdown() = 0;
};

// No port configured: nothing is keyed and the lamp stays off.
class NoTransmitter final : public TransmitterKeying {
public:
    bool keyingActive() const override { return false; }
    void startKeying(const KeyingSchedule&) override {}
    void disarmKeying() override {}
    void releaseTransmitter() override {}
    bool pttStart() override { return false; }
    int txDelayMs() const override { return 100; }
    bool onAir() const override { return false; }
    void shutdown() override {}
};

}  // namespace kb

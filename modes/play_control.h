#pragma once
// Where every mode meets the playback engine: the play action (PTT, the TX delay, the
// start step), Stop, the end of a text (continuous replay, the modes' own ends, the
// normal end) and the device messages. It is the engine's host on the window, owns the
// engine, the silent clock Timer1, TimerBoucle and TimerTXDelay, and asks the registered
// modes for their part at each step. GUI thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/playback_engine.h"

class QTimer;

namespace kb {

class Mode;
class TForm1;

class PlayControl final : public PlaybackHost {
public:
    explicit PlayControl(TForm1& form);
    ~PlayControl() override;

    PlaybackEngine& engine() { return *engine_; }
    const PlaybackEngine& engine() const { return *engine_; }
    // Modes take part in every text from now on, in the order they register.
    void addMode(Mode& mode) { modes_.push_back(&mode); }

    // The play pattern of every mode, once its text is queued: raises PTT, waits the TX
    // delay when the transmitter has just been switched over, then starts the engine.
    void play();
    // A text is playing or queued: device panels refuse to open.
    bool textPlaying() const;
    // A device panel is about to open: a mode waiting for the user is stopped first.
    void stopModesWaitingForAnswer();
    // Leaves a continuous replay for good (Clear, or "No" in the replay menu): during the
    // standby the text ends at once, as if Stop had been pressed; before it, the text ends
    // with the character still sounding instead of looping.
    void cancelStandby();

    // Handlers.
    void ButtonStopClick();
    // Stop's work without its first rule (an open side panel is only closed): for the
    // stops the program makes itself, as when a quick serial replaces a run.
    void stopPlaying();
    void TimerBoucleTimer();
    void TimerTXDelayTimer();
    void MenuNoBoucleClick();
    void MenuStandbyClick(int intervalMs);
    // A standby item is chosen: a finished text plays again after the standby.
    bool continuousReplay() const { return continuous_; }
    // Quit and close: the engine and every timer stop at once.
    void shutDown();

    // Milliseconds on a monotonic clock, for the pace of retries; tests step it.
    std::function<std::int64_t()> clockMs;

    QTimer* Timer1 = nullptr;        // silent-mode pacing, 500 ms
    QTimer* TimerBoucle = nullptr;   // continuous replay
    QTimer* TimerTXDelay = nullptr;  // transmit delay

    // PlaybackHost.
    void showPlaying(bool playing) override;
    void beforeCharacter() override;
    MaskState& mask() override;
    bool fileText() const override;
    CharacterSettings nextCharacter() override;
    void keyingStarted() override;
    void startSilentClock(int intervalMs) override;
    void stopSilentClock() override;
    void textEnded() override;
    void deviceError(int result, DeviceStep step) override;
    void fatalDeviceError(int result) override;
    void releaseMonitorInput() override;

private:
    void normalEnd();

    TForm1& f_;
    std::unique_ptr<PlaybackEngine> engine_;
    std::vector<Mode*> modes_;
    Mode* replaying_ = nullptr;  // the mode whose text TimerBoucle replays
    bool continuous_ = false;
    bool stopping_ = false;  // Stop was pressed: this text ends, it does not loop
};

}  // namespace kb

#pragma once
// The playback engine: turns the text queue into sound one character at a time. The
// start step (StartClick, the hidden Button1) takes the next sounded character off the
// walk, fills the character buffer and hands it to the output device; the completion
// step (WomDone) runs when the device has taken it, drops the character from the queue
// and starts the next, or runs the end of the text. Only one character buffer is ever
// with the device. GUI thread only: device notices arrive here through the WaveOut
// notice handler on the GUI thread.

#include <QString>
#include <functional>

#include "audio/wave_out.h"

namespace kb {

class TForm1;

class PlaybackEngine {
public:
    explicit PlaybackEngine(TForm1& form);

    // Start step.
    void StartClick();
    // Completion step; an empty notice (no device, no buffer) when called directly.
    void WomDone(const WaveOutNotice& notice = {});
    // Open notice of the output device.
    void WomOpen(const WaveOutNotice& notice);
    // Any notice from the output device.
    void onNotice(const WaveOutNotice& notice);
    // Stop button.
    void ButtonStopClick();
    // Silent-mode tick: stands in for the device's completion.
    void Timer1Timer();
    // Continuous replay.
    void TimerBoucleTimer();
    void MenuNoBoucleClick();
    void MenuStandbyClick(int intervalMs);
    // The transmit delay has run out: the first character may start.
    void TimerTXDelayTimer();
    // Before a play action's first character: raises PTT, and arms TimerTXDelay when the
    // transmitter needs time to switch over. The caller starts playback unless that timer
    // runs.
    void pttStart();
    // A device that fails while playing (a USB headset pulled out): the message, then
    // silent mode so the text still ends and the program stays usable.
    void deviceFailed(int result);

    // Opens the output device (start-up and device change); silent mode on failure.
    void openOutputDevice();

    // Hooks the later modes fill: the random-group end, the monitor restart, and the
    // release of the input device the monitor holds before playback takes the card.
    std::function<void()> randomEnd;
    std::function<void()> restartMonitor;
    std::function<void()> releaseMonitorInput;
    // Which character gap follows the character about to be filled (the random mode's
    // group end adds the word gap).
    std::function<bool()> groupEndsHere;

private:
    void showDeviceError(int result, const QString& step);
    void normalEnd();
    void typedTextFocus();
    void reenableFileButtons();
    bool fileLoaded() const;

    TForm1& f_;
};

}  // namespace kb

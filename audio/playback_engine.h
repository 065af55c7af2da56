#pragma once
// The playback engine: turns the text queue into sound one character at a time. The
// start step takes the next sounded character off the walk, fills the character buffer
// and hands it to the output device; the completion step runs when the device has taken
// it, drops the character from the queue and starts the next, or reports the end of the
// text to its host. Only one character buffer is ever with the device.
//
// Qt-free. It owns the queue and the device hand-shake; everything the window decides
// (highlights, the next character's settings, the silent clock, what the end of a text
// means, how errors are shown) it asks of its PlaybackHost. GUI thread only: device
// notices reach it on the GUI thread, in order.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "audio/character_fill.h"
#include "audio/wave_out.h"
#include "core/morse.h"
#include "keying/transmitter.h"

namespace kb {

// Which device call failed, for the message the host shows.
enum class DeviceStep {
    Reset,  // "WaveOutReset"
    Write,  // "Ecriture Carte Son StartClick"
    Open,   // the sound card could not be opened, or stopped working
};

// What the engine asks of the program around it. Called on the GUI thread, from inside
// the engine's steps.
class PlaybackHost {
public:
    virtual ~PlaybackHost() = default;

    // Stop in place of Quit while a text plays, Quit again when it ends.
    virtual void showPlaying(bool playing) = 0;
    // Before each character is taken off the queue: the highlight of the text playing.
    virtual void beforeCharacter() = 0;
    // The walk's masked-text state, and whether the text playing is a file's (only a
    // file's text has masked stretches).
    virtual MaskState& mask() = 0;
    virtual bool fileText() const = 0;
    // The settings of the character about to be filled.
    virtual CharacterSettings nextCharacter() = 0;
    // A character's keying started: the "On air" lamp may have changed.
    virtual void keyingStarted() = 0;
    // Silent mode's stand-in for the device: silentTick() after `intervalMs`, until
    // stopped.
    virtual void startSilentClock(int intervalMs) = 0;
    virtual void stopSilentClock() = 0;
    // The queue ran out: the end of the text.
    virtual void textEnded() = 0;
    // A device call failed; playback goes on.
    virtual void deviceError(int result, DeviceStep step) = 0;
    // The output device cannot be had back where the program cannot go on without it.
    virtual void fatalDeviceError(int result) = 0;
    // The monitor holds the sound card: it lets go of the input before playback takes it.
    virtual void releaseMonitorInput() = 0;
};

class PlaybackEngine {
public:
    struct Sources {
        WaveOut& out;
        TransmitterKeying& keying;
        SoundTables& tables;
        RandomInt& random;
        Fading& fading;
        const MorseTable& morse;
        const ShortcutTable& shortcuts;
    };
    // Takes the output device's notices until destroyed.
    PlaybackEngine(const Sources& sources, PlaybackHost& host);
    ~PlaybackEngine();
    PlaybackEngine(const PlaybackEngine&) = delete;
    PlaybackEngine& operator=(const PlaybackEngine&) = delete;

    // The text queue (Windows-1252): the characters not yet sounding. Modes append to
    // it and may take back or drop what is in it (Backspace, Clear, Stop); the character
    // with the device has already left it, so its completion can never take a character
    // typed afterwards.
    std::string& pendingText() { return pending_; }
    const std::string& pendingText() const { return pending_; }
    // False while a character buffer is with the device.
    bool readyForNext() const { return readyForNext_; }
    // A character sounds or waits in the queue.
    bool busy() const { return !readyForNext_ || !pending_.empty(); }
    // No output device: the host's silent clock stands in for its notices.
    bool silentMode() const { return silentMode_; }
    // Characters are taken without sound (a quick serial of groups).
    bool quickGenerate() const { return quickGenerate_; }
    void setQuickGenerate(bool on) { quickGenerate_ = on; }
    // The output device the engine opens: -1 the system's choice.
    int outputDevice() const { return outputDeviceId_; }
    void setOutputDevice(int id) { outputDeviceId_ = id; }
    // The monitor has taken the sound card; the next character takes it back.
    void setInputHeldByMonitor(bool held) { inputHeldByMonitor_ = held; }
    bool shutDownStarted() const { return quitting_; }
    const CharBuffer& charBuffer() const { return buffer_; }
    const KeyingSchedule& keyingSchedule() const { return schedule_; }

    // The start step. A step asked for while one runs (a completion reached from inside
    // it) is run after it, by the same loop, so a text of any length runs in constant
    // stack.
    void start();
    // The completion step; an empty notice (no device, no buffer) when called directly.
    void completed(const WaveOutNotice& notice = {});
    // Any notice from the output device.
    void onNotice(const WaveOutNotice& notice);
    // One tick of the silent clock.
    void silentTick() { completed(); }
    // Before a play action: a device lost to a failure (a dead stream, a failed write) is
    // opened again, at most once every RetryIntervalMs (`nowMs` on a monotonic clock), as
    // an open can take the GUI thread a good part of a second. True when the output
    // works (or was never lost); otherwise playback stays silent. Until a character is
    // heard again, a loss and a failed reopen each report their error once.
    bool recoverOutput(std::int64_t nowMs);
    static constexpr std::int64_t RetryIntervalMs = 2000;

    // Stop: empties the queue and returns what was left in it (the character with the
    // device plays to its end); nothing when it was empty.
    std::optional<std::string> stop();
    // After a stop: with no character at the device no notice will come, so the end of
    // the text runs now; with one, its notice ends the text.
    void endIfIdle();

    // Opens the output device (start-up); silent mode on failure.
    void openOutputDevice();
    // Closes the output device and opens it again (a device change). A character that
    // was with the old device is taken as done, so the text goes on with the next one.
    void reopenOutputDevice();
    // Quit and close: the queue is dropped and the device stops at once; a late notice
    // finds the engine shut down.
    void shutDown();

private:
    void startOnce();
    void deviceOpened(const WaveOutNotice& notice);
    void deviceFailed(int result);
    void loseDevice(int result, DeviceStep step);
    int silentIntervalMs() const;

    WaveOut& out_;
    TransmitterKeying& keying_;
    SoundTables& tables_;
    RandomInt& random_;
    Fading& fading_;
    const MorseTable& morse_;
    const ShortcutTable& shortcuts_;
    PlaybackHost& host_;

    std::string pending_;
    std::string currentCode_{InitialCurrentCode};
    CharBuffer buffer_;
    KeyingSchedule schedule_;
    bool readyForNext_ = true;
    bool silentMode_ = false;
    bool forcedDone_ = false;  // the start step runs the completion step itself
    bool quickGenerate_ = false;
    bool quitting_ = false;
    bool inputHeldByMonitor_ = false;
    bool deviceLost_ = false;        // silent because the device failed, not from the start
    bool lossReported_ = false;      // since a character was last heard
    bool recoveryReported_ = false;  // likewise, a failed reopen
    std::int64_t lastRetryMs_ = 0;
    bool retried_ = false;
    int lastDeviceResult_ = 0;
    int outputDeviceId_ = WaveOut::DefaultDevice;
    bool starting_ = false;    // inside start()
    bool startAgain_ = false;  // a start step was asked for meanwhile
};

}  // namespace kb

#pragma once
// The main window's run-time state, apart from its controls: the text queue, the engine's
// hand-shake flags and the mode flags. Owned by TForm1 and touched on the GUI thread only.

#include <cstdint>
#include <string>

#include "core/morse.h"
#include "core/nearest.h"

namespace kb {

struct MainState {
    // The engine.
    std::string pendingText;  // PendingText (Windows-1252): the front character sounds
    std::string currentCode{InitialCurrentCode};
    bool readyForNext = true;  // false while a character buffer is with the device
    bool silentMode = false;   // no output device: Timer1 stands in for its notices
    bool forcedDone = false;   // the start step runs the completion step itself
    bool closing = false;      // Closing
    bool quitting = false;     // Quitting
    int lastDeviceResult = 0;
    int outputDeviceId = -1;   // OutputDeviceId: -1 the system's choice
    int inputDeviceId = -1;    // InputDeviceId
    bool inputHeldByMonitor = false;

    // Modes.
    bool fileModeOn = false;
    bool randomModeOn = false;
    bool typedLive = false;
    bool typedReplayOn = false;
    bool quizOn = false;
    bool quickGenerate = false;

    // Highlight and resume.
    int filePosition = 0;
    int playedCount = 0;
    int highlightSkew = 0;
    std::string fileResumeText;
    std::string typedResumeText;
    bool replayLoopIsFile = false;

    // Typed-text mode.
    bool replayCaptionState = true;  // ButtonReplayText shows the replay caption
    bool shortcutPending = false;
    std::string shortcutExpansion;
    bool typedBoxClicked = false;

    // Timing (the speed itself is the speed control's value).
    Real speedFactor = 12 / 2.5L;
    Real effectiveSpeed = 12;
    int weightRatio = 3;
    int wordSpacingFactor = 1;
    int charGapUnits = 2;

    // Text walk.
    MaskState mask;

    // The noise and QSB toggle buttons of the random and file views (down = true).
    bool noiseRandom = false;  // SpeedButtonNoise
    bool qsbRandom = false;    // SpeedButtonQSB
    bool noiseFile = false;    // SpeedButtonNoiseFile
    bool qsbFile = false;      // SpeedButtonQSBFile

    // Noise and fading apply to a random run or a file playback whose button is down.
    bool noiseApplies() const {
        return (randomModeOn && noiseRandom) || (fileModeOn && noiseFile);
    }
    bool fadingApplies() const {
        return (randomModeOn && qsbRandom) || (fileModeOn && qsbFile);
    }
};

}  // namespace kb

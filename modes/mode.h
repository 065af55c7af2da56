#pragma once
// One training mode as the play control sees it. A mode is a controller in modes/ that
// builds or takes its widgets, wires them, keeps its own state, feeds the text queue and
// plays through PlayControl::play(). It registers itself with the play control, which
// asks every mode, in registration order, for its part at each step of a text's life;
// every hook has a neutral default, so a mode overrides only the steps it takes part
// in and never adds a branch to the engine or the play control. GUI thread only.

#include <optional>
#include <string>

#include "audio/character_fill.h"

namespace kb {

class Mode {
public:
    virtual ~Mode() = default;

    // Its text is playing: the sound-card panel refuses to open meanwhile, and the
    // controls it registered stay as they are when another activity disables the rest.
    virtual bool playing() const { return false; }
    // The text playing is a file's: the walk skips its masked stretches.
    virtual bool playsFileText() const { return false; }
    // It waits for the user (the quiz's answer): a device panel presses Stop first.
    virtual bool waitingForAnswer() const { return false; }

    // Before each character leaves the queue: the highlight of the text playing.
    virtual void beforeCharacter() {}
    // Its changes to the next character: the quiz's gap, the gap after a group, band
    // conditions. It clears its own playing state in normalEnd() and stopped().
    virtual void adjustCharacter(CharacterSettings&) const {}

    // The text ran out with continuous replay on. True when this mode replays its text:
    // it has left its playing state, and replayAgain() follows after the standby.
    virtual bool endsForReplay() { return false; }
    virtual void replayAgain() {}
    // The text ran out. True when the mode takes the end over (a random run goes on, the
    // quiz waits for its answer), so the normal end does not run. The modes' afterEnd()
    // still follows when the queue is empty.
    virtual bool takeOverEnd() { return false; }
    // Its part of the normal end.
    virtual void normalEnd() {}
    // Stop was pressed; `unplayed` is what was left of the queue (less the character
    // still sounding), nothing when the queue was empty.
    virtual void stopped(const std::optional<std::string>& /*unplayed*/) {}
    // After either end, with nothing left to play (the monitor listens again).
    virtual void afterEnd() {}
    // Playback takes the sound card back: the monitor lets go of the input.
    virtual void releaseSoundInput() {}
};

}  // namespace kb

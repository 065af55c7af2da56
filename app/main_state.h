#pragma once
// The little run-time state that several subsystems share; everything else lives with
// the controller it belongs to (the queue with the engine, the typed text's with its
// mode, the timing with the timing controls). Owned by TForm1, GUI thread only.

#include "core/morse.h"

namespace kb {

struct MainState {
    // Which mode's text is playing. Set by the mode that starts it; the play control
    // clears them at Stop and at the end of the text. The walk, the next character's
    // gap, the activity controls and the device panels read them.
    bool fileModeOn = false;
    bool randomModeOn = false;
    bool quizOn = false;

    // The masked text: its markers come from the settings, and the walk and the ends of
    // a text switch it on and off.
    MaskState mask;
};

}  // namespace kb

#pragma once
// The little run-time state that several subsystems share; everything else lives with
// the controller it belongs to (the queue with the engine, the typed text's with its
// mode, the timing with the timing controls). Owned by TForm1, GUI thread only.

#include "core/morse.h"

namespace kb {

struct MainState {
    // The masked text: its markers come from the settings, and the walk and the ends of
    // a text switch it on and off.
    MaskState mask;
};

}  // namespace kb

#pragma once
// The little run-time state that several subsystems share; everything else lives with
// the controller it belongs to (the queue with the engine, the typed text's with its
// mode, the timing with the timing controls). Owned by TForm1, GUI thread only.

#include <string>

#include "core/morse.h"

namespace kb {

struct MainState {
    // The masked text: its markers come from the settings, and the walk and the ends of
    // a text switch it on and off.
    MaskState mask;
    // CurrentFileName: the file the file view names, the one last opened there or the
    // random memo last saved as (UTF-8).
    std::string currentFileName;
};

}  // namespace kb

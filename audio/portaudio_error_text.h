#pragma once
// PortAudio's own words for one of its error codes, for the line under a sound-device
// message ("Err -9985 : ..."). A pure lookup: it needs no PortAudio session and no
// device, so the window shows the same words whether the code came from the real output
// or from a test's stand-in. Any thread.

#include <string>

namespace kb {

// Pa_GetErrorText(code); PortAudio answers a code it does not know with its own
// "invalid error code" text.
std::string portAudioErrorText(int code);

}  // namespace kb

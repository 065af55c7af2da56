#include "audio/portaudio_error_text.h"

#include <portaudio.h>

namespace kb {

std::string portAudioErrorText(int code) {
    const char* text = Pa_GetErrorText(static_cast<PaError>(code));
    return text != nullptr ? std::string(text) : std::string();
}

}  // namespace kb

#include "audio/sound_devices.h"

#include <alsa/asoundlib.h>
#include <dlfcn.h>

#include <cstdlib>
#include <mutex>

namespace kb {
namespace {

// Guarded by sessionMutex.
std::mutex sessionMutex;
int sessionCount = 0;
int streamCount = 0;       // sessions marked as holding a stream
bool initialised = false;  // false after a failed re-initialisation

void quietAlsa(const char*, int, const char*, int, const char*, ...) {}
void quietJack(const char*) {}

// PortAudio's device scan opens every ALSA PCM the configuration names and tries to reach
// a JACK server; both libraries print each failure. ALSA has a handler for that. libjack
// is loaded with PortAudio but we do not link it, so its setters are looked up at run time
// (absent when PortAudio was built without JACK, which is fine).
void quietHostLibraries() {
    static bool done = false;
    if (done) return;
    done = true;
    if (std::getenv("KEYBIRD_AUDIO_DEBUG")) return;
    snd_lib_error_set_handler(quietAlsa);
    using JackMessageSetter = void (*)(void (*)(const char*));
    for (const char* name : {"jack_set_error_function", "jack_set_info_function"}) {
        if (void* sym = dlsym(RTLD_DEFAULT, name)) {
            reinterpret_cast<JackMessageSetter>(sym)(quietJack);
        }
    }
}

// Chooser index n of the devices having channels in the wanted direction.
PaDeviceIndex nthDevice(int n, bool output) {
    if (n < 0) return output ? Pa_GetDefaultOutputDevice() : Pa_GetDefaultInputDevice();
    const int count = Pa_GetDeviceCount();
    int seen = 0;
    for (PaDeviceIndex i = 0; i < count; ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (!info) continue;
        const int channels = output ? info->maxOutputChannels : info->maxInputChannels;
        if (channels <= 0) continue;
        if (seen == n) return i;
        ++seen;
    }
    return paNoDevice;
}

std::vector<std::string> deviceNames(bool output) {
    std::vector<std::string> names;
    PortAudioSession session;
    if (!session.ok()) return names;
    const int count = Pa_GetDeviceCount();
    for (PaDeviceIndex i = 0; i < count; ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (!info) continue;
        const int channels = output ? info->maxOutputChannels : info->maxInputChannels;
        if (channels > 0) names.push_back(chooserDeviceName(info->name ? info->name : ""));
    }
    return names;
}

}  // namespace

PortAudioSession::PortAudioSession() {
    std::lock_guard lock(sessionMutex);
    if (!initialised) {
        quietHostLibraries();
        error_ = Pa_Initialize();
        if (error_ != paNoError) return;
        initialised = true;
    }
    ++sessionCount;
}

PortAudioSession::~PortAudioSession() {
    if (error_ != paNoError) return;
    std::lock_guard lock(sessionMutex);
    if (holdsStream_) --streamCount;
    if (--sessionCount == 0 && initialised) {
        Pa_Terminate();
        initialised = false;
    }
}

void PortAudioSession::setHoldsStream(bool holds) {
    if (error_ != paNoError || holds == holdsStream_) return;
    std::lock_guard lock(sessionMutex);
    holdsStream_ = holds;
    streamCount += holds ? 1 : -1;
}

int PortAudioSession::activeCount() {
    std::lock_guard lock(sessionMutex);
    return sessionCount;
}

int PortAudioSession::streamsHeld() {
    std::lock_guard lock(sessionMutex);
    return streamCount;
}

int rescanDevices() {
    std::lock_guard lock(sessionMutex);
    if (streamCount > 0) return paStreamIsNotStopped;
    if (sessionCount == 0) return paNoError;
    if (initialised) Pa_Terminate();
    const PaError err = Pa_Initialize();
    initialised = err == paNoError;
    return err;
}

std::string chooserDeviceName(std::string_view name) {
    std::size_t end = 0;
    std::size_t characters = 0;
    while (end < name.size() && characters < DeviceNameMax) {
        ++end;  // past the lead byte, then past its continuation bytes
        while (end < name.size() && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) {
            ++end;
        }
        ++characters;
    }
    return std::string(name.substr(0, end));
}

std::vector<std::string> outputDeviceNames() {
    return deviceNames(true);
}
std::vector<std::string> inputDeviceNames() {
    return deviceNames(false);
}

PaDeviceIndex outputDeviceIndex(int n) {
    return nthDevice(n, true);
}
PaDeviceIndex inputDeviceIndex(int n) {
    return nthDevice(n, false);
}

}  // namespace kb

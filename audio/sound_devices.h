#pragma once
// The sound devices as PortAudio reports them: the lists the sound-card chooser shows and
// the mapping from a chooser index to a PortAudio device. Also the one place that starts
// and stops PortAudio, so the playback device, the monitor and the chooser can share it.
//
// Threads: GUI thread only (the session count is guarded anyway, so a stray use from
// another thread is harmless, but PortAudio's device calls themselves are not meant for
// concurrent use).

#include <portaudio.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kb {

// The chooser shows at most this many characters of a device's name.
inline constexpr std::size_t DeviceNameMax = 31;

// Keeps PortAudio initialised while at least one session lives (reference counted). The
// first session runs Pa_Initialize, which is when PortAudio scans the devices: a sound
// server that starts later, or a headset plugged in, is seen only once every session
// has ended and a new one starts, or after rescanDevices(). The last session runs
// Pa_Terminate. Before the first initialisation the ALSA
// and JACK libraries are told to keep their probing messages (about 80 lines of
// "ALSA lib ... Unknown PCM" and "jack server is not running") off stderr; set
// KEYBIRD_AUDIO_DEBUG in the environment to see them.
class PortAudioSession {
public:
    PortAudioSession();
    ~PortAudioSession();
    PortAudioSession(const PortAudioSession&) = delete;
    PortAudioSession& operator=(const PortAudioSession&) = delete;

    // 0, or Pa_Initialize's error (then this session holds nothing).
    int error() const { return error_; }
    bool ok() const { return error_ == paNoError; }

    // Whoever opens a PortAudio stream marks the session it holds for it: re-initialising
    // PortAudio would close the stream under its owner, so rescanDevices() waits until
    // no session holds one. Ending the session lets go of the mark.
    void setHoldsStream(bool holds);

    // Sessions alive and initialised, process-wide.
    static int activeCount();
    // Sessions marked as holding a stream, process-wide.
    static int streamsHeld();

private:
    int error_ = paNoError;
    bool holdsStream_ = false;
};

// Has PortAudio scan the devices again (Pa_Terminate, then Pa_Initialize) while sessions
// live, so a sound server started since, or a device plugged in, can be listed and
// opened. Device numbers taken before refer to the old scan. Returns 0 (also when no
// session lives: the next one scans anyway), paStreamIsNotStopped when a session holds a
// stream (nothing is done; close it first), or Pa_Initialize's error (the next session
// or rescan tries again). Takes about as long as a first initialisation (0.1 s or more).
int rescanDevices();

// A device name as the chooser shows it: at most DeviceNameMax characters, never cutting
// a UTF-8 sequence in two.
std::string chooserDeviceName(std::string_view name);

// Output (playback) and input (record) devices in PortAudio's order; an entry's position
// is the chooser's index. Empty when PortAudio finds none or cannot start.
std::vector<std::string> outputDeviceNames();
std::vector<std::string> inputDeviceNames();

// The PortAudio device behind chooser index n: -1 gives PortAudio's default device of
// that direction; paNoDevice when there is no such device. Call while a session lives,
// so the index refers to the same scan as the device is then opened with.
PaDeviceIndex outputDeviceIndex(int n);
PaDeviceIndex inputDeviceIndex(int n);

}  // namespace kb

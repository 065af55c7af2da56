#include "audio/wave_out_notifier.h"

#include "audio/portaudio_wave_out.h"

namespace kb {

WaveOutNotifier::WaveOutNotifier(int fd, std::function<void()> drain, QObject* parent)
    : QObject(parent), notifier_(fd, QSocketNotifier::Read), drain_(std::move(drain)) {
    connect(&notifier_, &QSocketNotifier::activated, this, &WaveOutNotifier::drainNow);
}

WaveOutNotifier::WaveOutNotifier(PortAudioWaveOut& device, QObject* parent)
    : WaveOutNotifier(
          device.noticeFd(), [&device] { device.drainNotices(); }, parent) {}

void WaveOutNotifier::drainNow() {
    if (drain_) drain_();
}

}  // namespace kb

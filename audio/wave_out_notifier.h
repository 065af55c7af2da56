#pragma once
// Delivers a sound device's notices on the GUI thread: watches the device's notice
// descriptor with a QSocketNotifier and, whenever it turns readable, calls the device's
// drain function, which hands the notices to the device's handler in order.
//
// Threads: GUI thread only (create it there; Qt runs the drain from the event loop).

#include <QObject>
#include <QSocketNotifier>
#include <functional>

namespace kb {

class PortAudioWaveOut;

class WaveOutNotifier : public QObject {
    Q_OBJECT
public:
    // Any device with a notice descriptor and a drain function (the monitor's input can
    // use the same class).
    WaveOutNotifier(int fd, std::function<void()> drain, QObject* parent = nullptr);
    explicit WaveOutNotifier(PortAudioWaveOut& device, QObject* parent = nullptr);

    // Drains at once, e.g. before quitting with notices still waiting.
    void drainNow();

private:
    QSocketNotifier notifier_;
    std::function<void()> drain_;
};

}  // namespace kb

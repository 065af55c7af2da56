// Keybird: the program. Builds the real devices and hands them to the main window.

#include <QApplication>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "app/app_shell.h"
#include "app/settings_store.h"
#include "audio/portaudio_wave_in.h"
#include "audio/portaudio_wave_out.h"
#include "audio/sound_devices.h"
#include "audio/wave_out_notifier.h"
#include "keying/io_ctrl.h"
#include "keying/keyer.h"
#include "keying/mm_timer.h"
#include "keying/serial_line.h"
#include "ui/form1.h"
#include "ui/ui_services.h"

#include "core/random_int.h"

int main(int argc, char** argv) {
    // A file that reaches the user's size limit (ulimit -f) fails its write, which the
    // wave recorder reports, instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Keybird"));
    // Task bars find the installed desktop entry and its icon by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("keybird"));

    // One PortAudio session for the program's life: the devices are scanned at start-up
    // and when the sound-card panel opens, not at every reopening of the output.
    kb::PortAudioSession audioSession;
    kb::PortAudioWaveOut waveOut;
    kb::WaveOutNotifier notifier(waveOut);
    // The monitor's input posts its buffers the same way as the output its notices.
    kb::PortAudioWaveIn waveIn;
    kb::WaveOutNotifier inputNotifier(waveIn.noticeFd(), [&waveIn] { waveIn.drainNotices(); });
    kb::QtUiServices ui;
    kb::PosixSerialLines serialLines;
    kb::PpdevIOCtrl parallelPort;
    kb::TMMTimer mmTimerCW;
    kb::Keyer keyer(serialLines, parallelPort, mmTimerCW);
    keyer.loadLptAddresses();

    kb::FormDevices devices;
    devices.waveOut = &waveOut;
    devices.waveIn = &waveIn;
    devices.ui = &ui;
    devices.keyer = &keyer;
    devices.randomSeed = kb::clockSeed();
    // PortAudio scans again only with no stream held; an idle output lets go of its own.
    devices.devices = {&kb::inputDeviceNames, &kb::outputDeviceNames, [&waveOut] {
                           waveOut.releaseIdleStream();
                           kb::rescanDevices();
                       }};
    for (int k = 1; k < argc; ++k) devices.arguments.emplace_back(argv[k]);
    std::string why;
    const std::string folder =
        kb::settingsFolder(kb::settingsLocationFromEnvironment(kb::executableFolder()), &why);
    if (folder.empty()) {
        std::fprintf(stderr, "keybird: no folder for keybird.dat: %s\n", why.c_str());
    } else {
        devices.settingsPath = kb::settingsFilePath(folder);
    }

    kb::TForm1 form(devices);
    form.shell().FormCreate();
    form.show();
    const int rc = QApplication::exec();
    notifier.drainNow();
    return rc;
}

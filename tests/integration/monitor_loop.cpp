// The CW monitor of a real main window on the real PortAudio input: chooses Monitoring,
// says it is listening by creating SYNC.ready, listens until SYNC.done appears (the text
// has been played) and then two seconds more, and prints what it decoded on the last line,
// after "decoded: ". Run by monitor_loop.sh, which plays a rendered text into the
// PulseAudio null sink whose monitor is the default input.
//
//   monitor_loop SYNC
//
// Exit 77 while the decoder is the stand-in that decodes nothing.

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <cstdio>
#include <fstream>

#include "app/app_shell.h"
#include "audio/portaudio_wave_in.h"
#include "audio/portaudio_wave_out.h"
#include "audio/sound_devices.h"
#include "audio/wave_out_notifier.h"
#include "modes/monitor_mode.h"
#include "ui/form1.h"
#include "ui/ui_services.h"

namespace {

using namespace kb;

int errors = 0;

class PrintingUi : public UiServices {
public:
    void warning(QWidget*, const QString& t) override { say("warning", t); }
    void error(QWidget*, const QString& t) override { say("error", t); }
    bool confirm(QWidget*, const QString&) override { return true; }
    void beep() override { std::printf("beep\n"); }
    void terminate() override {}

private:
    static void say(const char* kind, const QString& t) {
        std::printf("%s: %s\n", kind, qPrintable(t));
        ++errors;
    }
};

bool decoderDecodes(const MorseTable& morse) {
    CwDecoder d(morse);
    d.startMonitoring();
    const std::uint8_t loud[120] = {250, 250, 250, 250};
    std::string out;
    d.decodeBuffer(loud, 60, out);
    return d.envelopeLeft() > 0;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) return 2;
    const std::string sync = argv[1];
    const QString done = QString::fromStdString(sync + ".done");

    PortAudioSession session;
    PortAudioWaveOut waveOut;
    WaveOutNotifier outNotifier(waveOut);
    PortAudioWaveIn waveIn;
    WaveOutNotifier inNotifier(waveIn.noticeFd(), [&waveIn] { waveIn.drainNotices(); });
    PrintingUi ui;
    FormDevices devices;
    devices.waveOut = &waveOut;
    devices.waveIn = &waveIn;
    devices.ui = &ui;
    int rc = 0;
    {
        TForm1 form(devices);
        form.shell().FormCreate();
        if (!decoderDecodes(form.morse())) {
            std::printf("the decoder is still the stand-in: skipped\n");
            return 77;
        }
        form.RadioButtonMonitor->click();
        std::ofstream(sync + ".ready") << "listening\n";
        QElapsedTimer t, after;
        t.start();
        while (t.elapsed() < 120'000 && !(after.isValid() && after.elapsed() > 2000)) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
            if (!after.isValid() && QFileInfo::exists(done)) after.start();
        }
        std::printf("dropped frames: %llu\n",
                    static_cast<unsigned long long>(waveIn.droppedFrames()));
        std::printf("decoded: %s\n", qPrintable(form.monitor().MemoMonitor->toPlainText()));
        form.monitor().closeInput();
        rc = errors == 0 ? 0 : 1;
    }
    return rc;
}

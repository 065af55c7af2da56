// Drives the sound-card panel of a real main window on the real PortAudio output: lists
// the devices, chooses one by its number or goes back to the system's choice, and plays a
// text. Run by device_choice.sh, which starts the sound server, gives ALSA a second device
// and records both sinks.
//
//   device_choice list                 prints the output devices, one per line
//   device_choice choose NAME TEXT     chooses output NAME (and input 0), then plays TEXT
//   device_choice system TEXT          goes back to the system's choice, then plays TEXT
//   device_choice plugged NAME TEXT SYNC
//                                      starts without output NAME, creates SYNC.ready and
//                                      waits for SYNC.go (the test adds the device
//                                      meanwhile), then opens the panel, chooses NAME
//                                      there and plays TEXT
// The settings file (KEYBIRD_HOME) carries the choice from one run to the next.

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <fstream>

#include "app/app_shell.h"
#include "app/settings_store.h"
#include "audio/portaudio_wave_out.h"
#include "audio/sound_card_panel.h"
#include "audio/sound_devices.h"
#include "audio/wave_out_notifier.h"
#include "modes/play_control.h"
#include "ui/form1.h"
#include "ui/typed_text_edit.h"
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

void runFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
}

// Plays a text through the typed-text box and waits until the engine is done with it.
void play(TForm1& form, const char* text) {
    QTest::keyClicks(form.Editcaractere, QString::fromLatin1(text));
    QElapsedTimer t;
    t.start();
    while (form.play().engine().busy() && t.elapsed() < 20000) runFor(10);
    runFor(500);  // the last character's tail reaches the sink
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) return 2;

    if (args[1] == QLatin1String("list")) {
        PortAudioSession session;
        for (const std::string& name : outputDeviceNames()) std::printf("%s\n", name.c_str());
        return 0;
    }

    // As the program: one session for its life, and the panel rescans.
    PortAudioSession session;
    PortAudioWaveOut wave;
    WaveOutNotifier notifier(wave);
    PrintingUi ui;
    FormDevices dev;
    dev.waveOut = &wave;
    dev.ui = &ui;
    dev.devices = {&inputDeviceNames, &outputDeviceNames, [&wave] {
                       wave.releaseIdleStream();
                       rescanDevices();
                   }};
    const std::string folder = settingsFolder(settingsLocationFromEnvironment(executableFolder()));
    dev.settingsPath = settingsFilePath(folder);
    TForm1 form(dev);
    form.shell().FormCreate();
    form.show();
    runFor(300);

    SoundCardPanel& card = form.soundCard();
    auto choose = [&](const QString& name) {
        card.RadioButtonCarteMoi->click();
        const int out = card.ComboBoxChoixOut->findText(name);
        if (out < 0) {
            std::printf("no output device named %s\n", qPrintable(name));
            return false;
        }
        card.ComboBoxChoixIn->setCurrentIndex(0);
        card.ComboBoxChoixOut->setCurrentIndex(out);
        card.BitBtnOKCarteSon->click();
        std::printf("chose output %d\n", form.play().engine().outputDevice());
        return true;
    };
    if (args[1] == QLatin1String("plugged") && args.size() == 5) {
        const std::vector<std::string> before = outputDeviceNames();
        if (std::find(before.begin(), before.end(), args[2].toStdString()) != before.end()) {
            std::printf("%s is listed before it was added\n", qPrintable(args[2]));
            return 1;
        }
        // Sound once, so the output has had a stream and let go of it.
        play(form, "e");
        std::ofstream(args[4].toStdString() + ".ready").put('\n');
        QElapsedTimer t;
        t.start();
        while (!std::ifstream(args[4].toStdString() + ".go").good()) {
            if (t.elapsed() > 20000) return 1;
            runFor(50);
        }
        form.MenuSoundCard->trigger();
        if (!choose(args[2])) return 1;
        play(form, qPrintable(args[3]));
    } else if (args[1] == QLatin1String("choose") && args.size() == 4) {
        form.MenuSoundCard->trigger();
        if (!choose(args[2])) return 1;
        play(form, qPrintable(args[3]));
    } else if (args[1] == QLatin1String("system") && args.size() == 3) {
        form.MenuSoundCard->trigger();
        std::printf("was output %d\n", form.play().engine().outputDevice());
        card.RadioButtonCarteWin->click();
        card.BitBtnOKCarteSon->click();
        std::printf("now output %d\n", form.play().engine().outputDevice());
        play(form, qPrintable(args[2]));
    } else {
        return 2;
    }
    if (form.play().engine().silentMode()) {
        std::printf("silent mode: the device did not open\n");
        return 1;
    }
    form.close();
    return errors == 0 ? 0 : 1;
}

#include "modes/play_control.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <utility>

#include "audio/portaudio_error_text.h"
#include "core/monotonic.h"
#include "modes/file_mode.h"
#include "modes/mode.h"
#include "modes/record_panel.h"
#include "ui/form1.h"
#include "ui/timing_controls.h"
#include "ui/typed_text_edit.h"
#include "ui/ui_services.h"
#include "ui/widgets.h"

namespace kb {

PlayControl::PlayControl(TForm1& form)
    : clockMs([] { return monotonicNs() / 1'000'000; }), f_(form) {
    engine_ = std::make_unique<PlaybackEngine>(
        PlaybackEngine::Sources{form.waveOut(), form.keying(), form.soundTables(), form.random(),
                                form.fading(), form.morse(), form.shortcuts()},
        *this);
    Timer1 = named(new QTimer(&form), "Timer1");
    Timer1->setInterval(500);
    // It paces a keyed character by its length without a sound card: no coarse slack.
    Timer1->setTimerType(Qt::PreciseTimer);
    TimerBoucle = named(new QTimer(&form), "TimerBoucle");
    TimerBoucle->setInterval(5000);
    TimerTXDelay = named(new QTimer(&form), "TimerTXDelay");
    TimerTXDelay->setInterval(100);

    QObject::connect(Timer1, &QTimer::timeout, &form, [this] { engine_->silentTick(); });
    QObject::connect(TimerBoucle, &QTimer::timeout, &form, [this] { TimerBoucleTimer(); });
    QObject::connect(TimerTXDelay, &QTimer::timeout, &form, [this] { TimerTXDelayTimer(); });
    QObject::connect(form.Button1, &QPushButton::clicked, &form, [this] { engine_->start(); });
    QObject::connect(form.ButtonStop, &QPushButton::pressed, &form, [this] { ButtonStopClick(); });
    QObject::connect(form.MenuNoBoucle, &QAction::triggered, &form,
                     [this] { MenuNoBoucleClick(); });
    const std::pair<QAction*, int> standby[] = {{form.MenuStanby1s, 1000},
                                                {form.MenuStandby10s, 10000},
                                                {form.MenuStandby60s, 60000},
                                                {form.menuStandby300s, 300000}};
    for (const auto& item : standby) {
        const int ms = item.second;
        QObject::connect(item.first, &QAction::triggered, &form,
                         [this, ms] { MenuStandbyClick(ms); });
    }
}

PlayControl::~PlayControl() = default;

void PlayControl::play() {
    stopping_ = false;
    // A device lost to a failure gets its second chance here, before the text starts.
    engine_->recoverOutput(clockMs());
    if (f_.keying().pttStart()) {
        f_.refreshLamp();
        TimerTXDelay->start(f_.keying().txDelayMs());
    }
    if (!TimerTXDelay->isActive()) engine_->start();
}

bool PlayControl::textPlaying() const {
    if (engine_->busy()) return true;
    for (const Mode* m : modes_) {
        if (m->playing()) return true;
    }
    return false;
}

void PlayControl::stopModesWaitingForAnswer() {
    for (const Mode* m : modes_) {
        if (m->waitingForAnswer()) {
            ButtonStopClick();
            return;
        }
    }
}

// --- The engine's host -------------------------------------------------------------------

void PlayControl::showPlaying(bool playing) {
    f_.showStop(playing);
}

void PlayControl::beforeCharacter() {
    for (Mode* m : modes_) m->beforeCharacter();
}

MaskState& PlayControl::mask() {
    return f_.state().mask;
}

bool PlayControl::fileText() const {
    for (const Mode* m : modes_) {
        if (m->playsFileText()) return true;
    }
    return false;
}

CharacterSettings PlayControl::nextCharacter() {
    CharacterSettings c = f_.timing().characterSettings();
    for (const Mode* m : modes_) m->adjustCharacter(c);
    return c;
}

void PlayControl::keyingStarted() {
    f_.refreshLamp();
}

void PlayControl::startSilentClock(int intervalMs) {
    Timer1->start(intervalMs);
}

void PlayControl::stopSilentClock() {
    Timer1->stop();
}

namespace {

constexpr const char* SoundDeviceHint =
    "Is a sound server (PipeWire or PulseAudio) running, and is the device free? Another "
    "device can be chosen under \"Sound card\".";

}  // namespace

void PlayControl::deviceError(int result, DeviceStep step) {
    QString what;
    switch (step) {
        case DeviceStep::Reset: what = QStringLiteral("WaveOutReset"); break;
        case DeviceStep::Write: what = QStringLiteral("Ecriture Carte Son StartClick"); break;
        case DeviceStep::Open:
            what = QString::fromUtf8(f_.texts().shared.msgCannotOpenSoundCard);
            break;
    }
    // The program's own line stays as users know it; the second says why, in PortAudio's
    // words, and where to look, since the code alone helps nobody.
    const QString reason = QString::fromStdString(portAudioErrorText(result));
    f_.ui().error(&f_, QStringLiteral("Err %1 : %2\n%3. %4")
                           .arg(result)
                           .arg(what, reason, QString::fromUtf8(SoundDeviceHint)));
}

void PlayControl::fatalDeviceError(int result) {
    deviceError(result, DeviceStep::Open);
    f_.ui().terminate();
}

void PlayControl::releaseMonitorInput() {
    for (Mode* m : modes_) m->releaseSoundInput();
}

// --- The end of a text -------------------------------------------------------------------

void PlayControl::textEnded() {
    // Nothing sounds any more: the silent clock must not end the text a second time,
    // least of all during a continuous replay's standby.
    Timer1->stop();
    const bool stopped = std::exchange(stopping_, false);
    if (!stopped && continuous_) {
        for (Mode* m : modes_) {
            if (m->endsForReplay()) {
                replaying_ = m;
                TimerBoucle->start();
                return;
            }
        }
    }
    bool taken = false;
    for (Mode* m : modes_) {
        if (m->takeOverEnd()) {
            taken = true;
            break;
        }
    }
    if (!taken) normalEnd();
    if (engine_->pendingText().empty()) {
        for (Mode* m : modes_) m->afterEnd();
    }
}

void PlayControl::normalEnd() {
    f_.ButtonReplayText->setChecked(false);
    f_.ButtonPlayFile->setChecked(false);
    f_.ButtonContinueFile->setChecked(false);
    f_.showStop(false);
    // The file buttons, the file box and the masked text follow the file mode's ends.
    f_.ButtonReplayText->setEnabled(!f_.Editcaractere->text().isEmpty());

    for (Mode* m : modes_) m->normalEnd();

    f_.Editcaractere->setEnabled(true);
    // The recording panel keeps the box as it is while it shows the box's size.
    f_.Editcaractere->setReadOnly(f_.recordPanel().shown());
    f_.setActivityControlsEnabled(true);
    f_.keying().releaseTransmitter();
    f_.refreshLamp();
}

void PlayControl::ButtonStopClick() {
    if (f_.closeOpenSidePanel(TForm1::PanelCloser::StopOrQuit)) return;
    stopPlaying();
}

void PlayControl::stopPlaying() {
    TimerBoucle->stop();
    // The delay would start the text again after Stop has ended it.
    TimerTXDelay->stop();
    stopping_ = true;
    f_.ButtonReplayText->setChecked(false);
    f_.ButtonPlayFile->setChecked(false);
    f_.ButtonContinueFile->setChecked(false);
    f_.fileMode().reenableFileButtons();
    f_.ButtonReplayText->setEnabled(!f_.Editcaractere->text().isEmpty());
    f_.showStop(false);
    f_.Editcaractere->setEnabled(true);
    f_.setActivityControlsEnabled(true);

    const std::optional<std::string> unplayed = engine_->stop();
    for (Mode* m : modes_) m->stopped(unplayed);
    // With a character still at the device its notice ends the text; without one (a
    // continuous replay's standby, the TX delay) no notice will come, so the text ends
    // here, as the silent clock ends it. Otherwise the box would stay read-only and PTT up.
    engine_->endIfIdle();
}

void PlayControl::TimerBoucleTimer() {
    TimerBoucle->stop();
    if (replaying_) replaying_->replayAgain();
}

void PlayControl::MenuNoBoucleClick() {
    continuous_ = false;
    cancelStandby();
}

void PlayControl::cancelStandby() {
    // Before the standby begins, the character still sounding ends the text for good.
    stopping_ = true;
    if (!TimerBoucle->isActive()) return;
    TimerBoucle->stop();
    engine_->endIfIdle();
}

void PlayControl::MenuStandbyClick(int intervalMs) {
    continuous_ = true;
    TimerBoucle->setInterval(intervalMs);
}

void PlayControl::TimerTXDelayTimer() {
    TimerTXDelay->stop();
    engine_->start();
}

void PlayControl::shutDown() {
    engine_->shutDown();
    TimerTXDelay->stop();
    TimerBoucle->stop();
}

}  // namespace kb

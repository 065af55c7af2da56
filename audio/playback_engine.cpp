#include "audio/playback_engine.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>

#include "ui/form1.h"
#include "ui/typed_text_edit.h"
#include "ui/ui_services.h"

namespace kb {

PlaybackEngine::PlaybackEngine(TForm1& form) : f_(form) {}

void PlaybackEngine::showDeviceError(int result, const QString& step) {
    f_.ui().error(&f_, QStringLiteral("Err %1 : %2").arg(result).arg(step));
}

void PlaybackEngine::StartClick() {
    MainState& s = f_.state();
    WaveOut& out = f_.waveOut();
    while (s.readyForNext) {
        if (s.pendingText.empty()) {
            s.forcedDone = true;
            WomDone();
            f_.showStop(false);
            return;
        }
        f_.showStop(true);
        if (s.typedReplayOn) {
            ++s.playedCount;
            f_.Editcaractere->setSelection(0, s.playedCount);
        }
        const WalkResult walked = walkFront(s.pendingText, f_.morse(), f_.shortcuts(), s.mask,
                                            s.fileModeOn, s.currentCode);
        if (walked != WalkResult::Sound) continue;
        if (s.quickGenerate) {
            WomDone();
            return;
        }

        // All settings are read here, so a change takes effect at the next character.
        const bool blank = static_cast<unsigned char>(s.pendingText.front()) == Blank;
        const ElementDurations d = elementDurations(s.speedFactor, s.weightRatio);
        const int spacing = f_.SpinEditEspace->value();
        int gaps;
        if (blank) {
            gaps = blankGapCount(s.wordSpacingFactor);
        } else if (s.quizOn) {
            gaps = charGapCount(CharGapKind::Quiz, spacing, s.wordSpacingFactor);
        } else if (groupEndsHere && groupEndsHere()) {
            gaps = charGapCount(CharGapKind::GroupEnd, spacing, s.wordSpacingFactor);
        } else {
            gaps = charGapCount(CharGapKind::Normal, spacing, s.wordSpacingFactor);
        }
        FillEffects fx;
        const bool noise = s.noiseApplies();
        if (noise) {
            fx.noise = &f_.soundTables().noise();
            fx.random = &f_.random();
            fx.noiseParams = f_.soundTables().noiseParams();
        }
        if (s.fadingApplies() && !blank) {
            fx.fading = true;
            fx.fadingGain = f_.fading().nextGain(f_.UpDownVitesse->value());
        }
        const int n = fillCharacter(f_.charBuffer(), f_.soundTables().tone(), s.currentCode, d,
                                    gaps, fx);
        const bool keyed = f_.keying().keyingActive() && !blank;
        f_.keyingSchedule() = buildKeyingSchedule(blank ? std::string_view{} : s.currentCode, d,
                                                  f_.keying().keyingActive());

        if (s.inputHeldByMonitor) {
            if (releaseMonitorInput) releaseMonitorInput();
            s.inputHeldByMonitor = false;
            if (!s.silentMode) {
                const int r = out.open(s.outputDeviceId);
                if (r != 0) {
                    showDeviceError(r, QString::fromUtf8(f_.texts().shared.msgCannotOpenSoundCard));
                    f_.ui().terminate();
                    return;
                }
            }
        }

        s.readyForNext = false;
        if (!s.silentMode) {
            const int r = out.reset();
            if (r != 0) showDeviceError(r, QStringLiteral("WaveOutReset"));
        }
        if (keyed) {
            f_.keying().startKeying(f_.keyingSchedule());
            f_.refreshLamp();
        }
        if (!s.silentMode) {
            const int r = out.write(WaveBuffer::Tone, f_.charBuffer().data(), n);
            if (r != 0) {
                s.lastDeviceResult = r;
                showDeviceError(r, QStringLiteral("Ecriture Carte Son StartClick"));
                // Nothing would ever give this buffer back: carry on without the device
                // rather than hang with Stop shown.
                out.close();
                s.silentMode = true;
            }
        }
        if (noise && !s.silentMode) {
            // The filler keeps the noise going while the next character is filled; the
            // next start step's reset cuts it.
            const int r =
                out.write(WaveBuffer::Noise, f_.soundTables().noise().data(), NoiseFillerValues);
            if (r != 0) showDeviceError(r, QStringLiteral("Ecriture Carte Son StartClick"));
        }
        if (s.silentMode) f_.Timer1->start();
        return;
    }
}

void PlaybackEngine::WomDone(const WaveOutNotice& notice) {
    MainState& s = f_.state();
    if (!s.quickGenerate) {
        f_.keying().disarmKeying();
        if (s.forcedDone) {
            s.forcedDone = false;
        } else if (!s.silentMode &&
                   (notice.device != &f_.waveOut() || notice.buffer != WaveBuffer::Tone)) {
            return;
        }
    }
    s.readyForNext = true;
    if (s.quitting || s.closing) return;
    if (!s.pendingText.empty()) s.pendingText.erase(0, 1);
    if (!s.pendingText.empty()) {
        f_.Button1->click();
        return;
    }

    // End of the text.
    if (f_.MenuContinuous->menuAction()->isChecked() && s.typedReplayOn &&
        s.typedResumeText.empty()) {
        s.typedReplayOn = false;
        s.mask.active = false;
        s.replayLoopIsFile = false;
        f_.TimerBoucle->start();
        return;
    }
    if (s.silentMode) f_.Timer1->stop();
    if (f_.RadioButtonRandom->isChecked() && randomEnd) {
        randomEnd();
    } else {
        normalEnd();
    }
    if (s.pendingText.empty() && f_.RadioButtonMonitor->isChecked() && restartMonitor) {
        restartMonitor();
    }
}

bool PlaybackEngine::fileLoaded() const {
    // No file can be loaded until the file view exists.
    return false;
}

void PlaybackEngine::reenableFileButtons() {
    if (!fileLoaded()) return;
    if (!f_.ButtonContinueFile->isHidden()) {
        f_.ButtonContinueFile->setEnabled(true);
    } else {
        f_.ButtonPlayFile->setEnabled(true);
    }
}

void PlaybackEngine::typedTextFocus() {
    MainState& s = f_.state();
    QLineEdit* box = f_.Editcaractere;
    box->setFocus();
    if (!s.typedResumeText.empty()) {
        box->setSelection(0, s.playedCount);
        f_.ButtonReplayText->setText(QString::fromUtf8(f_.texts().shared.resumeTextCaption));
        s.replayCaptionState = false;
    } else {
        box->setCursorPosition(static_cast<int>(box->text().size()));
        f_.ButtonReplayText->setText(QString::fromUtf8(f_.texts().shared.replayTextCaption));
        s.replayCaptionState = true;
    }
}

void PlaybackEngine::normalEnd() {
    MainState& s = f_.state();
    f_.ButtonReplayText->setChecked(false);
    f_.ButtonPlayFile->setChecked(false);
    f_.ButtonContinueFile->setChecked(false);
    f_.showStop(false);

    if (!fileLoaded()) {
        f_.ButtonPlayFile->show();
        f_.ButtonPlayFile->setEnabled(false);
        f_.ButtonContinueFile->hide();
        f_.ButtonContinueFile->setEnabled(false);
        s.mask.active = false;
    }
    f_.ButtonReplayText->setEnabled(!f_.Editcaractere->text().isEmpty());

    if (!s.fileModeOn) {
        typedTextFocus();
    } else {
        s.fileModeOn = false;
        if (s.typedReplayOn) s.mask.active = false;
        typedTextFocus();
    }
    s.typedReplayOn = false;
    s.randomModeOn = false;

    f_.Editcaractere->setEnabled(true);
    f_.Editcaractere->setReadOnly(false);
    f_.setActivityControlsEnabled(true);
    f_.keying().releaseTransmitter();
    f_.refreshLamp();
}

void PlaybackEngine::ButtonStopClick() {
    MainState& s = f_.state();
    if (f_.closeOpenSidePanel(TForm1::PanelCloser::StopOrQuit)) return;

    f_.TimerBoucle->stop();
    f_.ButtonReplayText->setChecked(false);
    f_.ButtonPlayFile->setChecked(false);
    f_.ButtonContinueFile->setChecked(false);
    reenableFileButtons();
    f_.ButtonReplayText->setEnabled(!f_.Editcaractere->text().isEmpty());
    f_.showStop(false);
    f_.Editcaractere->setEnabled(true);
    f_.setActivityControlsEnabled(true);

    s.quizOn = false;
    s.randomModeOn = false;
    s.quickGenerate = false;

    if (!s.pendingText.empty()) {
        // Without the character still with the device: it plays to its end.
        const std::string rest = s.readyForNext ? s.pendingText : s.pendingText.substr(1);
        if (s.fileModeOn) s.fileResumeText = rest;
        if (s.typedReplayOn) {
            s.typedResumeText = rest;
            f_.ButtonReplayText->setText(QString::fromUtf8(f_.texts().shared.resumeTextCaption));
            s.replayCaptionState = false;
        }
    }
    s.pendingText.clear();
    s.typedLive = false;
    if (s.readyForNext) {
        // Nothing is with the device (a standby of the continuous replay, the TX delay):
        // no notice will come to end the text, so end it here, as the silent clock does.
        // Otherwise the box would stay read-only and PTT up.
        s.forcedDone = true;
        WomDone();
    }
}

void PlaybackEngine::WomOpen(const WaveOutNotice& notice) {
    MainState& s = f_.state();
    if (notice.device != &f_.waveOut()) {
        showDeviceError(s.lastDeviceResult,
                        QString::fromUtf8(f_.texts().shared.msgCannotOpenSoundCard));
        f_.ui().terminate();
        return;
    }
    s.inputHeldByMonitor = false;
    f_.soundTables().rebuild();
}

void PlaybackEngine::onNotice(const WaveOutNotice& notice) {
    switch (notice.kind) {
        case WaveOutNotice::Kind::Open: WomOpen(notice); break;
        case WaveOutNotice::Kind::Done: WomDone(notice); break;
        case WaveOutNotice::Kind::Failed: deviceFailed(notice.error); break;
    }
}

void PlaybackEngine::deviceFailed(int result) {
    MainState& s = f_.state();
    if (s.silentMode || s.quitting || s.closing) return;
    s.lastDeviceResult = result;
    f_.waveOut().close();
    s.silentMode = true;
    showDeviceError(result, QString::fromUtf8(f_.texts().shared.msgCannotOpenSoundCard));
    // The character that was with the device ends on the silent-mode clock.
    if (!s.readyForNext) f_.Timer1->start();
}

void PlaybackEngine::Timer1Timer() { WomDone(); }

void PlaybackEngine::TimerBoucleTimer() {
    f_.TimerBoucle->stop();
    if (f_.state().replayLoopIsFile) {
        f_.ButtonPlayFile->click();
    } else {
        f_.ButtonReplayText->click();
    }
}

void PlaybackEngine::MenuNoBoucleClick() {
    f_.MenuContinuous->menuAction()->setChecked(false);
    f_.TimerBoucle->stop();
}

void PlaybackEngine::MenuStandbyClick(int intervalMs) {
    f_.MenuContinuous->menuAction()->setChecked(true);
    f_.TimerBoucle->setInterval(intervalMs);
}

void PlaybackEngine::TimerTXDelayTimer() {
    f_.TimerTXDelay->stop();
    f_.Button1->click();
}

void PlaybackEngine::pttStart() {
    if (f_.keying().pttStart()) {
        f_.refreshLamp();
        f_.TimerTXDelay->start(f_.keying().txDelayMs());
    }
}

void PlaybackEngine::openOutputDevice() {
    MainState& s = f_.state();
    int r = f_.waveOut().open(s.outputDeviceId);
    if (r != 0) {
        s.lastDeviceResult = r;
        showDeviceError(r, QString::fromUtf8(f_.texts().shared.msgCannotOpenSoundCard));
        s.silentMode = true;
        // No open notice will build the tables, and the wave recorder still needs them.
        f_.soundTables().rebuild();
        return;
    }
    r = f_.waveOut().reset();
    if (r != 0) showDeviceError(r, QStringLiteral("WaveOutReset"));
}

}  // namespace kb

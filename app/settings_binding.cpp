#include "app/settings_binding.h"

#include <QAction>
#include <QCheckBox>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <iostream>
#include <utility>

#include "audio/sound_card_panel.h"
#include "audio/sound_dialogs.h"
#include "core/cp1252.h"
#include "keying/local_characters_panel.h"
#include "keying/message_panel.h"
#include "keying/port_panel.h"
#include "keying/shortcut_panel.h"
#include "modes/instructor.h"
#include "modes/masked_text_panel.h"
#include "modes/monitor_mode.h"
#include "modes/quiz_mode.h"
#include "modes/random_mode.h"
#include "ui/form1.h"
#include "ui/timing_controls.h"
#include "ui/ui_services.h"

namespace kb {

SettingsBinding::SettingsBinding(TForm1& form, std::string path, SettingsFileOps* ops)
    : f_(form), path_(std::move(path)), ops_(ops ? ops : &posixSettingsFileOps()) {}

void SettingsBinding::read() {
    if (path_.empty()) return;
    const LoadedSettingsFile file = loadSettingsFile(path_);
    existed_ = file.existed;
    if (!file.existed) return;
    std::string why = file.error;
    if (why.empty()) {
        if (readSettings(file.bytes, settings_, &present_, &notes_)) {
            apply();
            return;
        }
        // An empty file holds nothing worth keeping.
        if (file.bytes.empty()) return;
        why = "no settings in it (no marker line)";
    }
    // Not ours, or not readable: the settings start from their defaults, and the file is
    // moved aside rather than overwritten at exit, since it may be the user's own. No
    // message box: the program starts as on a first run.
    keepOld_ = true;
    std::cerr << "keybird: " << path_ << " is not read: " << why << ". It will be kept as "
              << keptSettingsFilePath(path_) << " when the settings are saved.\n";
}

void SettingsBinding::apply() {
    MainState& s = f_.state();
    const Settings& st = settings_;
    const auto has = [this](std::string_view key) { return present_.contains(key); };
    if (has("SPEED=")) f_.UpDownVitesse->setValue(st.speed);
    if (has("SPACE=")) f_.timing().SpinEditEspace->setValue(st.charSpacing);
    if (has("SPACEW=") && st.wordSpacingFactor >= 2) {
        f_.MenuEspaceMotN[st.wordSpacingFactor - 1]->trigger();
    }
    if (has("LANGUAGE=")) {
        if (const auto lang = languageFromCode(st.languageCode)) f_.ApplyLanguage(*lang);
    }
    if (has("LEVEL=")) {
        f_.UpDownAmplitude->setValue(st.level);
        // The level is set even when the control already shows it: until then the
        // program plays at its start-up gain.
        f_.soundTables().setLevelGain(levelGain(f_.UpDownAmplitude->value()));
    }
    if (has("SHORTCUT=")) f_.shortcuts() = st.shortcuts;
    f_.messages().applySettings(st, present_);
    if (has(MarkerLineKey)) {
        s.mask.startChar = st.maskStartChar;
        s.mask.endChar = st.maskEndChar;
        f_.maskedText().refreshMenuCheck();
    }
    if (has("DELAY=")) f_.quiz().setDelayPosition(st.delayPosition);
    if (has("QUIZ_COUNT=")) f_.quiz().SpinEditQuizNumber->setValue(st.quizCount);
    f_.localCharacters().applySettings(st);
    // Checked against the local characters just read: a key that has become one is sounded.
    if (const std::string dropped = f_.shortcutPanel().dropUnreachableSlots(); !dropped.empty()) {
        std::cerr << "keybird: " << path_ << ": SHORTCUT= lines dropped, keys \""
                  << cp1252ToUtf8(dropped) << "\" (blanks, \"@\" and characters with a code"
                  << " cannot be shortcut keys).\n";
    }
    if (notes_.lessonPageOutOfRange) {
        std::cerr << "keybird: " << path_ << ": PAGE=" << *notes_.lessonPageOutOfRange
                  << " is no lesson page (1..3); page " << st.lessonPage << " is shown.\n";
    }
    // After the local characters, which the character sets take in.
    f_.randomMode().applySettings(st, present_);
    f_.soundCard().applySettings(st, present_);
    f_.monitor().applySettings(st, present_);
    if (PortPanel* port = f_.portPanel()) port->applyComSettings(st, present_);
    f_.FormInstructor->applySettings(st);
}

void SettingsBinding::handOverToDialogs() {
    const Settings& st = settings_;
    const auto has = [this](std::string_view key) { return present_.contains(key); };
    if (has("NOISE_LEVEL=")) f_.FormNoise->TrackBarNoise->setValue(st.noiseLevel);
    if (has("QSB_LEVEL=")) f_.FormQSB->TrackBarQSB->setValue(st.qsbLevel);
    if (has("NOTE=")) {
        if (st.notePosition == -1) {
            f_.FormNote->CheckBoxTonExamen->setChecked(true);
        } else {
            f_.FormNote->showStoredPitch(st.notePosition, st.tonePitch);
        }
    }
    if (has("NOISE_BW=")) f_.FormNoise->bandwidthButton(st.noiseHold)->setChecked(true);
}

void SettingsBinding::collect() {
    const MainState& s = f_.state();
    Settings& st = settings_;
    st.speed = f_.UpDownVitesse->value();
    st.charSpacing = f_.timing().SpinEditEspace->value();
    st.wordSpacingFactor = f_.timing().wordSpacingFactor();
    st.level = f_.UpDownAmplitude->value();
    st.languageCode = f_.texts().code[0];
    st.shortcuts = f_.shortcuts();
    f_.localCharacters().collectSettings(st);
    f_.messages().collectSettings(st);
    f_.randomMode().collectSettings(st);
    f_.FormInstructor->collectSettings(st);
    st.maskStartChar = s.mask.startChar;
    st.maskEndChar = s.mask.endChar;
    st.delayPosition = f_.quiz().UpDownDelay->value();
    st.quizCount = f_.quiz().SpinEditQuizNumber->value();
    f_.monitor().collectSettings(st);
    st.inputDeviceId = f_.soundCard().inputDevice();
    st.outputDeviceId = f_.soundCard().outputDevice();
    if (const PortPanel* port = f_.portPanel()) port->collect(st);
    st.noiseLevel = f_.FormNoise->TrackBarNoise->value();
    st.qsbLevel = f_.FormQSB->TrackBarQSB->value();
    st.noiseHold = f_.soundTables().noiseParams().hold;
    if (f_.FormNote->CheckBoxTonExamen->isChecked()) {
        st.notePosition = -1;
    } else if (st.notePosition != f_.FormNote->TrackBarNote->value()) {
        st.notePosition = f_.FormNote->TrackBarNote->value();
        st.tonePitch = pitchOfNotePosition(st.notePosition);
    }
}

void SettingsBinding::write() {
    collect();
    std::string error = "no folder for the settings file";
    if (path_.empty() ||
        !saveSettingsFile(path_, writeSettings(settings_), &error, *ops_, keepOld_)) {
        std::cerr << "keybird: cannot save " << (path_.empty() ? "keybird.dat" : path_) << ": "
                  << error << "\n";
        f_.ui().warning(&f_, QString::fromUtf8(f_.texts().shared.msgCannotCreateSettings));
        return;
    }
    if (std::exchange(keepOld_, false)) {
        std::cerr << "keybird: the file that was not read is now " << keptSettingsFilePath(path_)
                  << "; " << path_ << " holds the settings of this run.\n";
    }
}

}  // namespace kb

#include "modes/typed_text.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include "app/app_shell.h"
#include "audio/playback_engine.h"
#include "core/cp1252.h"
#include "ui/form1.h"
#include "ui/typed_text_edit.h"

namespace kb {

namespace {
QString toQString(const std::string& cp1252) {
    return QString::fromStdString(cp1252ToUtf8(cp1252));
}
}  // namespace

TypedTextMode::TypedTextMode(TForm1& form) : f_(form) {}

bool TypedTextMode::EditCaractereKeyPress(unsigned char key) {
    MainState& s = f_.state();
    if (f_.Editcaractere->isReadOnly() || s.typedReplayOn) return true;
    // The accent dead keys: the box composes them with the next key.
    if (key == 94 || key == 168 || key == 126 || key == 96) return true;
    if (key == 13) {
        // Plays the selected entry of each visible reference list once they exist.
        return false;
    }
    if (key == 8) {
        if (!s.pendingText.empty()) s.pendingText.pop_back();
        return true;
    }
    std::string candidate = " ";
    if (!f_.morse().hasCode(key)) {
        for (const Shortcut& slot : f_.shortcuts()) {
            if (!slot.key.empty() && static_cast<unsigned char>(slot.key[0]) == key) {
                candidate = slot.text;
                s.shortcutPending = true;
                s.shortcutExpansion = slot.text;
            }
        }
    }
    if (candidate == " ") candidate = std::string(1, static_cast<char>(key));
    s.pendingText += candidate;
    if (f_.MenuDelayedPlay->isChecked()) {
        s.pendingText.clear();
        return true;
    }
    f_.engine().pttStart();
    f_.ButtonReplayText->setEnabled(false);
    s.typedLive = true;
    if (!f_.TimerTXDelay->isActive()) f_.engine().StartClick();
    return true;
}

void TypedTextMode::EditcaractereChange() {
    MainState& s = f_.state();
    QLineEdit* box = f_.Editcaractere;
    f_.ButtonReplayText->setEnabled(!box->text().isEmpty());
    if (s.shortcutPending) {
        s.shortcutPending = false;
        const int caret = box->cursorPosition();
        if (caret > 0) {
            const QString expansion = toQString(s.shortcutExpansion);
            QString text = box->text();
            text.replace(caret - 1, 1, expansion);
            const QSignalBlocker block(box);  // one change notice is enough
            box->setText(text);
            box->setCursorPosition(caret - 1 + static_cast<int>(expansion.size()));
        }
    }
    s.typedResumeText.clear();
    f_.ButtonReplayText->setText(QString::fromUtf8(f_.texts().shared.replayTextCaption));
    s.replayCaptionState = true;
}

void TypedTextMode::EditcaractereKeyDown(int /*qtKey*/) {
    // The caret stays where it is; the reference lists follow the arrows once they exist.
}

void TypedTextMode::EditcaractereClick() { f_.state().typedBoxClicked = true; }

void TypedTextMode::ButtonReplayTextClick() {
    MainState& s = f_.state();
    QLineEdit* box = f_.Editcaractere;
    if (s.typedReplayOn) {
        f_.ButtonReplayText->setChecked(true);
        return;
    }
    if (!s.pendingText.empty()) {
        f_.ButtonReplayText->setChecked(false);
        return;
    }
    if (box->text().isEmpty()) {
        f_.ButtonReplayText->setChecked(false);
        f_.ButtonReplayText->setEnabled(false);
        box->setFocus();
        return;
    }
    if (!s.typedResumeText.empty()) {
        s.pendingText += s.typedResumeText;
        box->setFocus();
        box->setSelection(0, s.playedCount);
        s.typedResumeText.clear();
    } else {
        s.pendingText += utf8ToCp1252(box->text().toStdString());
        box->setFocus();
        box->setCursorPosition(0);
        s.playedCount = 0;
    }
    if (f_.MenuContinuous->menuAction()->isChecked()) s.pendingText += ' ';

    f_.setActivityControlsEnabled(false, !s.randomModeOn);
    f_.ButtonPlayFile->setEnabled(false);
    f_.ButtonContinueFile->setEnabled(false);
    box->setReadOnly(true);
    if (s.playedCount > 0) box->setSelection(0, s.playedCount);
    f_.showStop(true);

    f_.engine().pttStart();
    s.typedReplayOn = true;
    f_.ButtonReplayText->setChecked(true);
    if (!f_.TimerTXDelay->isActive()) f_.engine().StartClick();
}

void TypedTextMode::SpeedButtonRAZtextClick() {
    MainState& s = f_.state();
    f_.Editcaractere->clear();
    if (s.typedLive || s.typedReplayOn) s.pendingText.clear();
}

void TypedTextMode::EscapeKey() {
    if (f_.closeOpenSidePanel()) return;
    if (!f_.ButtonStop->isHidden()) {
        f_.ButtonStop->click();
    } else {
        f_.ButtonQuitter->click();
    }
}

}  // namespace kb

#include "modes/typed_text.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include "core/cp1252.h"
#include "modes/monitor_mode.h"
#include "modes/play_control.h"
#include "modes/reference_lists.h"
#include "ui/form1.h"
#include "ui/typed_text_edit.h"

namespace kb {

namespace {
QString toQString(const std::string& cp1252) {
    return QString::fromStdString(cp1252ToUtf8(cp1252));
}
}  // namespace

TypedTextMode::TypedTextMode(TForm1& form) : f_(form) {
    QObject::connect(form.Editcaractere, &QLineEdit::textChanged, &form,
                     [this] { EditcaractereChange(); });
    QObject::connect(form.ButtonReplayText, &QPushButton::clicked, &form,
                     [this] { ButtonReplayTextClick(); });
    QObject::connect(form.SpeedButtonRAZtext, &QToolButton::clicked, &form,
                     [this] { SpeedButtonRAZtextClick(); });
    form.play().addMode(*this);
}

void TypedTextMode::setReplayCaption(bool replay) {
    const LanguageTexts& t = f_.texts();
    f_.ButtonReplayText->setText(
        QString::fromUtf8(replay ? t.shared.replayTextCaption : t.shared.resumeTextCaption));
    replayCaptionState_ = replay;
}

bool TypedTextMode::EditCaractereKeyPress(unsigned char key) {
    std::string& pending = f_.play().engine().pendingText();
    if (f_.Editcaractere->isReadOnly() || typedReplayOn_) return true;
    // The accent dead keys: the box composes them with the next key.
    if (key == 94 || key == 168 || key == 126 || key == 96) return true;
    if (key == 13) {
        f_.referenceLists().playSelectedRow();
        f_.monitor().startNewLine();
        return false;
    }
    if (key == 8) {
        if (!pending.empty()) pending.pop_back();
        return true;
    }
    std::string candidate = " ";
    if (!f_.morse().hasCode(key)) {
        for (const Shortcut& slot : f_.shortcuts()) {
            if (!slot.key.empty() && static_cast<unsigned char>(slot.key[0]) == key) {
                candidate = slot.text;
                shortcutPending_ = true;
                shortcutExpansion_ = slot.text;
            }
        }
    }
    if (candidate == " ") candidate = std::string(1, static_cast<char>(key));
    pending += candidate;
    if (f_.MenuDelayedPlay->isChecked()) {
        pending.clear();
        return true;
    }
    f_.ButtonReplayText->setEnabled(false);
    typedLive_ = true;
    f_.play().play();
    return true;
}

void TypedTextMode::EditcaractereChange() {
    QLineEdit* box = f_.Editcaractere;
    f_.ButtonReplayText->setEnabled(!box->text().isEmpty());
    if (shortcutPending_) {
        shortcutPending_ = false;
        const int caret = box->cursorPosition();
        if (caret > 0) {
            const QString expansion = toQString(shortcutExpansion_);
            QString text = box->text();
            text.replace(caret - 1, 1, expansion);
            const QSignalBlocker block(box);  // one change notice is enough
            box->setText(text);
            box->setCursorPosition(caret - 1 + static_cast<int>(expansion.size()));
        }
    }
    typedResumeText_.clear();
    setReplayCaption(true);
}

void TypedTextMode::EditcaractereKeyDown(int qtKey) {
    // The caret stays where it is; the visible reference list follows the arrows.
    if (qtKey == Qt::Key_Down) f_.referenceLists().moveSelection(1);
    if (qtKey == Qt::Key_Up) f_.referenceLists().moveSelection(-1);
}

void TypedTextMode::EditcaractereClick() {
    typedBoxClicked_ = true;
}

void TypedTextMode::ButtonReplayTextClick() {
    std::string& pending = f_.play().engine().pendingText();
    QLineEdit* box = f_.Editcaractere;
    if (typedReplayOn_) {
        f_.ButtonReplayText->setChecked(true);
        return;
    }
    if (f_.play().engine().busy()) {
        f_.ButtonReplayText->setChecked(false);
        return;
    }
    if (box->text().isEmpty()) {
        f_.ButtonReplayText->setChecked(false);
        f_.ButtonReplayText->setEnabled(false);
        box->setFocus();
        return;
    }
    if (!typedResumeText_.empty()) {
        pending += typedResumeText_;
        box->setFocus();
        box->setSelection(0, playedCount_);
        typedResumeText_.clear();
    } else {
        pending += utf8ToCp1252(box->text().toStdString());
        box->setFocus();
        box->setCursorPosition(0);
        playedCount_ = 0;
    }
    if (f_.play().continuousReplay()) pending += ' ';

    f_.setActivityControlsEnabled(false);
    f_.ButtonPlayFile->setEnabled(false);
    f_.ButtonContinueFile->setEnabled(false);
    box->setReadOnly(true);
    if (playedCount_ > 0) box->setSelection(0, playedCount_);
    f_.showStop(true);

    typedReplayOn_ = true;
    f_.ButtonReplayText->setChecked(true);
    f_.play().play();
}

void TypedTextMode::SpeedButtonRAZtextClick() {
    f_.Editcaractere->clear();
    if (typedLive_ || typedReplayOn_) f_.play().engine().pendingText().clear();
    // A standby would replay an empty box, leaving the window in the playing state.
    f_.play().cancelStandby();
}

void TypedTextMode::EscapeKey() {
    if (f_.closeOpenSidePanel()) return;
    if (!f_.ButtonStop->isHidden()) {
        f_.ButtonStop->click();
    } else {
        f_.ButtonQuitter->click();
    }
}

void TypedTextMode::typedTextFocus() {
    QLineEdit* box = f_.Editcaractere;
    box->setFocus();
    if (!typedResumeText_.empty()) {
        box->setSelection(0, playedCount_);
        setReplayCaption(false);
    } else {
        box->setCursorPosition(static_cast<int>(box->text().size()));
        setReplayCaption(true);
    }
}

// --- Its part in the play control's steps --------------------------------------------------

void TypedTextMode::beforeCharacter() {
    if (!typedReplayOn_) return;
    ++playedCount_;
    f_.Editcaractere->setSelection(0, playedCount_);
}

bool TypedTextMode::endsForReplay() {
    if (!typedReplayOn_ || !typedResumeText_.empty()) return false;
    typedReplayOn_ = false;
    f_.state().mask.active = false;
    return true;
}

void TypedTextMode::replayAgain() {
    f_.ButtonReplayText->click();
}

void TypedTextMode::normalEnd() {
    // A typed replay that ended while a file played leaves the masked text too.
    if (f_.play().fileText() && typedReplayOn_) f_.state().mask.active = false;
    typedTextFocus();
    typedReplayOn_ = false;
}

void TypedTextMode::stopped(const std::optional<std::string>& unplayed) {
    if (unplayed && typedReplayOn_) {
        typedResumeText_ = *unplayed;
        setReplayCaption(false);
    }
    typedLive_ = false;
}

}  // namespace kb

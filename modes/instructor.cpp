#include "modes/instructor.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QVBoxLayout>
#include <iostream>
#include <optional>

#include "app/settings_file.h"
#include "audio/sound_dialogs.h"
#include "core/cp1252.h"
#include "modes/file_mode.h"
#include "modes/random_mode.h"
#include "ui/form1.h"
#include "ui/ui_services.h"
#include "ui/widgets.h"

namespace kb {

namespace {

// The typed password as the settings file holds it, or nothing when a character of it
// has no Windows-1252 code (it could neither be saved nor typed back the same).
std::optional<std::string> storedForm(const QString& typed) {
    const std::string utf8 = typed.toStdString();
    std::string bytes = utf8ToCp1252(utf8);
    if (cp1252ToUtf8(bytes) != utf8) return std::nullopt;
    return bytes;
}

}  // namespace

TFormInstructor::TFormInstructor(TForm1& form) : QDialog(&form), f_(form) {
    setObjectName(QStringLiteral("FormInstructor"));
    setModal(false);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    auto* v = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    LabelMotPasse = named(new QLabel(this), "LabelMotPasse");
    EditPassword = named(new QLineEdit(this), "EditPassword");
    EditPassword->setMaxLength(10);
    EditPassword->setEchoMode(QLineEdit::Password);
    // The classic echo character, not the style's bullet.
    EditPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    LabelMotPasse->setBuddy(EditPassword);
    row->addWidget(LabelMotPasse);
    row->addWidget(EditPassword, 1);
    v->addLayout(row);

    LabelPassword = named(new QLabel(this), "LabelPassword");
    LabelIncorrectPassword = named(new QLabel(this), "LabelIncorrectPassword");
    for (QLabel* l : {LabelPassword, LabelIncorrectPassword}) {
        l->setWordWrap(true);
        l->setStyleSheet(QStringLiteral("color: red"));
        l->hide();
        v->addWidget(l);
    }

    CheckBoxMaskedFile = named(new QCheckBox(this), "CheckBoxMaskedFile");
    CheckBoxMaskedRandom = named(new QCheckBox(this), "CheckBoxMaskedRandom");
    CheckBoxFixedSpeed = named(new QCheckBox(this), "CheckBoxFixedSpeed");
    CheckBoxFixedNote = named(new QCheckBox(this), "CheckBoxFixedNote");
    for (QCheckBox* b : lockBoxes()) v->addWidget(b);
    CheckBoxInhibitInstructor = named(new QCheckBox(this), "CheckBoxInhibitInstructor");
    v->addWidget(CheckBoxInhibitInstructor);

    auto* buttons = new QHBoxLayout;
    BitBtnOK = named(new QPushButton(QStringLiteral("OK"), this), "BitBtnOK");
    BitBtnOK->setDefault(true);
    BitBtnCancel = named(new QPushButton(this), "BitBtnCancel");
    buttons->addStretch();
    buttons->addWidget(BitBtnOK);
    buttons->addWidget(BitBtnCancel);
    v->addLayout(buttons);

    connect(BitBtnOK, &QPushButton::clicked, this, [this] { BitBtnOKClick(); });
    connect(BitBtnCancel, &QPushButton::clicked, this, [this] { BitBtnCancelClick(); });
    connect(form.MenuInstructor, &QAction::triggered, this, [this] { MenuInstructorClick(); });
    FormCreate();
}

std::array<QCheckBox*, 4> TFormInstructor::lockBoxes() const {
    return {CheckBoxMaskedFile, CheckBoxMaskedRandom, CheckBoxFixedSpeed, CheckBoxFixedNote};
}

void TFormInstructor::FormCreate() {
    CheckBoxMaskedFile->setChecked(!f_.fileMode().ButtonHideFile->isEnabled());
    CheckBoxMaskedRandom->setChecked(!f_.randomMode().ButtonHide->isEnabled());
    CheckBoxFixedSpeed->setChecked(!f_.UpDownVitesse->isEnabled());
    CheckBoxFixedNote->setChecked(!f_.MenuNote->isEnabled());
    for (std::size_t k = 0; k < inForce_.size(); ++k) inForce_[k] = lockBoxes()[k]->isChecked();
}

void TFormInstructor::MenuInstructorClick() {
    show();
    raise();
    activateWindow();
}

void TFormInstructor::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    // Restored from the task bar is no new showing: what was typed stays.
    if (e->spontaneous()) return;
    const LanguageTexts& t = f_.texts();
    setWindowTitle(QString::fromUtf8(t.instructorTitle));
    for (const CaptionEntry& c : t.instructorCaptions) {
        const QString text = QString::fromUtf8(c.text);
        QWidget* w = findChild<QWidget*>(QString::fromLatin1(c.control));
        if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            b->setText(text);
        } else if (auto* l = qobject_cast<QLabel*>(w)) {
            l->setText(text);
        }
    }
    LabelPassword->hide();
    LabelIncorrectPassword->hide();
    CheckBoxInhibitInstructor->setChecked(false);
    EditPassword->clear();
    EditPassword->setFocus();
    for (std::size_t k = 0; k < snapshot_.size(); ++k) snapshot_[k] = lockBoxes()[k]->isChecked();
}

void TFormInstructor::BitBtnOKClick() {
    const QString typed = EditPassword->text();
    if (password_.empty()) {
        if (typed.isEmpty()) {
            f_.ui().beep();
            LabelIncorrectPassword->hide();
            LabelPassword->show();
            return;
        }
        // A password the settings file cannot hold would be lost at the next start, or
        // break the file: it is refused before it can lock anything.
        const std::optional<std::string> stored = storedForm(typed);
        if (!stored || !passwordCanBeStored(*stored)) {
            f_.ui().beep();
            f_.ui().warning(this, QString::fromUtf8(f_.texts().shared.msgPasswordCannotBeStored));
            return;
        }
        password_ = *stored;
    }
    // Compared as typed, so that a character without a Windows-1252 code can never pass
    // for the "?" it would have been stored as.
    if (typed != QString::fromStdString(cp1252ToUtf8(password_))) {
        f_.ui().beep();
        LabelPassword->hide();
        LabelIncorrectPassword->show();
        return;
    }
    if (CheckBoxInhibitInstructor->isChecked()) {
        for (QCheckBox* b : lockBoxes()) b->setChecked(false);
        password_.clear();
        EditPassword->clear();
    }
    applyLocks();
    hide();
}

void TFormInstructor::BitBtnCancelClick() {
    for (std::size_t k = 0; k < snapshot_.size(); ++k) lockBoxes()[k]->setChecked(snapshot_[k]);
    hide();
}

void TFormInstructor::closeEvent(QCloseEvent* e) {
    BitBtnCancelClick();
    e->accept();
}

void TFormInstructor::reject() {
    BitBtnCancelClick();
}

void TFormInstructor::applyLocks() {
    for (std::size_t k = 0; k < inForce_.size(); ++k) inForce_[k] = lockBoxes()[k]->isChecked();
    f_.fileMode().setTextLocked(CheckBoxMaskedFile->isChecked());
    f_.randomMode().setMemoLocked(CheckBoxMaskedRandom->isChecked());
    f_.UpDownVitesse->setEnabled(!CheckBoxFixedSpeed->isChecked());
    const bool fixedNote = CheckBoxFixedNote->isChecked();
    f_.MenuNote->setEnabled(!fixedNote);
    // A pitch dialog left open would go on changing the pitch.
    if (fixedNote && f_.FormNote) f_.FormNote->hide();
}

void TFormInstructor::applySettings(const Settings& s) {
    password_ = s.instructorPassword;
    // One edited into the file that is longer than the box takes could never be typed
    // back, and would keep the locks for good: it is dropped (the next OK makes a new one).
    if (password_.size() > static_cast<std::size_t>(EditPassword->maxLength())) {
        std::cerr << "keybird: MDPINT= holds a password longer than " << EditPassword->maxLength()
                  << " characters; it is dropped.\n";
        password_.clear();
    }
    CheckBoxMaskedFile->setChecked(s.lockMaskedFile);
    CheckBoxMaskedRandom->setChecked(s.lockMaskedRandom);
    CheckBoxFixedSpeed->setChecked(s.lockFixedSpeed);
    CheckBoxFixedNote->setChecked(s.lockFixedNote);
    applyLocks();
    FormCreate();
}

void TFormInstructor::collectSettings(Settings& s) const {
    s.instructorPassword = password_;
    s.lockMaskedFile = inForce_[0];
    s.lockMaskedRandom = inForce_[1];
    s.lockFixedSpeed = inForce_[2];
    s.lockFixedNote = inForce_[3];
}

}  // namespace kb

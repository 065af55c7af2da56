#include "ui/timing_controls.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QSpinBox>

#include "ui/form1.h"
#include "ui/typed_text_edit.h"

namespace kb {

TimingControls::TimingControls(TForm1& form) : f_(form) {}

void TimingControls::refreshSpeedTexts() {
    MainState& s = f_.state();
    s.charGapUnits = charGapUnits(f_.SpinEditEspace->value());
    s.effectiveSpeed =
        effectiveSpeed(f_.UpDownVitesse->value(), f_.SpinEditEspace->value(), s.wordSpacingFactor);
    const QString text =
        QString::fromStdString(realSpeedText(f_.texts().summary, s.effectiveSpeed));
    f_.LabelVitesseCorrigee->setText(text);
    f_.UpDownVitesse->setToolTip(text);
    if (afterTimingChange) afterTimingChange();
}

void TimingControls::UpDownVitesseClick() {
    MainState& s = f_.state();
    const int speed = f_.UpDownVitesse->value();
    s.speedFactor = speedFactor(speed);
    if (effectiveSpeed(speed, f_.SpinEditEspace->value(), s.wordSpacingFactor) < 5.0L) {
        // Its change handler runs in turn and checks again.
        f_.SpinEditEspace->setValue(f_.SpinEditEspace->value() - 1);
    }
    refreshSpeedTexts();
}

void TimingControls::SpinEditEspaceChange() {
    const int v = f_.SpinEditEspace->value();
    if (v < MinSpacing || v > MaxSpacing) return;
    MainState& s = f_.state();
    if (effectiveSpeed(f_.UpDownVitesse->value(), v, s.wordSpacingFactor) < 5.0L &&
        v > MinSpacing) {
        f_.SpinEditEspace->setValue(v - 1);
        return;  // the nested change has refreshed everything
    }
    refreshSpeedTexts();
}

void TimingControls::MenuEspaceMotClick(int factor) {
    for (int k = 0; k < 4; ++k) f_.MenuEspaceMotN[k]->setChecked(k + 1 == factor);
    f_.state().wordSpacingFactor = factor;
    refreshSpeedTexts();
}

void TimingControls::PoidsClick(int ratio) {
    f_.Poids31->setChecked(ratio == 3);
    f_.Poids41->setChecked(ratio == 4);
    f_.Poids51->setChecked(ratio == 5);
    f_.state().weightRatio = ratio;
}

void TimingControls::UpSpeedClick() {
    if (f_.UpDownVitesse->value() < MaxSpeed) f_.UpDownVitesse->setValue(f_.UpDownVitesse->value() + 1);
}

void TimingControls::DownSpeedClick() {
    if (f_.UpDownVitesse->value() > MinSpeed) f_.UpDownVitesse->setValue(f_.UpDownVitesse->value() - 1);
}

void TimingControls::UpDownAmplitudeClick() {
    f_.soundTables().setLevelGain(levelGain(f_.UpDownAmplitude->value()));
}

void TimingControls::UpVolumeClick() {
    const int level = f_.UpDownAmplitude->value();
    if (level < MaxLevelDb) f_.UpDownAmplitude->setValue(level + 3);
}

void TimingControls::DownVolumeClick() {
    const int level = f_.UpDownAmplitude->value();
    if (level >= -14) f_.UpDownAmplitude->setValue(level - 3);
}

void TimingControls::Spacing1Click() {
    f_.openSidePanel(f_.PanelEspace);
    f_.SpinEditEspace->setFocus();
}

void TimingControls::BitBtnOKEspaceClick() {
    f_.PanelEspace->hide();
    // The file text takes the focus back instead once the file view exists.
    f_.Editcaractere->setFocus();
}

}  // namespace kb

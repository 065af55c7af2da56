#include "ui/timing_controls.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "modes/quiz_mode.h"
#include "ui/form1.h"
#include "ui/typed_text_edit.h"
#include "ui/widgets.h"

namespace kb {

TimingControls::TimingControls(TForm1& form) : f_(form) {
    buildSpacingPanel();
    wire();
}

void TimingControls::buildSpacingPanel() {
    PanelEspace = named(new QFrame(f_.RightArea), "PanelEspace");
    PanelEspace->setFrameShape(QFrame::Panel);
    PanelEspace->setFrameShadow(QFrame::Raised);
    auto* pe = new QVBoxLayout(PanelEspace);
    pe->addWidget(panelTitle(PanelEspace, "LabelPanelEspace"));
    auto* count = new QHBoxLayout;
    count->addWidget(named(new QLabel(PanelEspace), "LabelNombreEspace"), 1);
    SpinEditEspace = named(new QSpinBox(PanelEspace), "SpinEditEspace");
    SpinEditEspace->setRange(MinSpacing, MaxSpacing);
    SpinEditEspace->setValue(1);
    SpinEditEspace->findChild<QLineEdit*>()->setReadOnly(true);
    count->addWidget(SpinEditEspace);
    pe->addLayout(count);
    LabelVitesseCorrigee = named(new QLabel(PanelEspace), "LabelVitesseCorrigee");
    LabelVitesseCorrigee->setAlignment(Qt::AlignCenter);
    pe->addWidget(LabelVitesseCorrigee);
    BitBtnOKEspace = named(new QPushButton(QStringLiteral("OK"), PanelEspace), "BitBtnOKEspace");
    pe->addWidget(BitBtnOKEspace, 0, Qt::AlignHCenter);
    f_.addSidePanel(PanelEspace, [this] { BitBtnOKEspace->click(); });
}

void TimingControls::wire() {
    TForm1& f = f_;
    QObject::connect(f.UpDownVitesse, &QSpinBox::valueChanged, &f,
                     [this] { UpDownVitesseClick(); });
    QObject::connect(SpinEditEspace, &QSpinBox::valueChanged, &f,
                     [this] { SpinEditEspaceChange(); });
    QObject::connect(f.UpDownAmplitude, &QSpinBox::valueChanged, &f,
                     [this] { UpDownAmplitudeClick(); });
    for (int k = 0; k < 4; ++k) {
        QObject::connect(f.MenuEspaceMotN[k], &QAction::triggered, &f,
                         [this, k] { MenuEspaceMotClick(k + 1); });
    }
    QObject::connect(f.Poids31, &QAction::triggered, &f, [this] { PoidsClick(3); });
    QObject::connect(f.Poids41, &QAction::triggered, &f, [this] { PoidsClick(4); });
    QObject::connect(f.Poids51, &QAction::triggered, &f, [this] { PoidsClick(5); });
    QObject::connect(f.UpSpeed, &QAction::triggered, &f, [this] { UpSpeedClick(); });
    QObject::connect(f.DownSpeed, &QAction::triggered, &f, [this] { DownSpeedClick(); });
    QObject::connect(f.UpVolume, &QAction::triggered, &f, [this] { UpVolumeClick(); });
    QObject::connect(f.DownVolume, &QAction::triggered, &f, [this] { DownVolumeClick(); });
    QObject::connect(f.Spacing1, &QAction::triggered, &f, [this] { Spacing1Click(); });
    QObject::connect(BitBtnOKEspace, &QPushButton::clicked, &f, [this] { BitBtnOKEspaceClick(); });
}

CharacterSettings TimingControls::characterSettings() const {
    CharacterSettings c;
    c.speed = f_.UpDownVitesse->value();
    c.weightRatio = weightRatio_;
    c.spacing = SpinEditEspace->value();
    c.wordSpacingFactor = wordSpacingFactor_;
    return c;
}

void TimingControls::refreshSpeedTexts() {
    effectiveSpeed_ =
        kb::effectiveSpeed(f_.UpDownVitesse->value(), SpinEditEspace->value(), wordSpacingFactor_);
    const QString text = QString::fromStdString(realSpeedText(f_.summaryWords(), effectiveSpeed_));
    LabelVitesseCorrigee->setText(text);
    f_.UpDownVitesse->setToolTip(text);
    if (afterTimingChange) afterTimingChange();
}

void TimingControls::UpDownVitesseClick() {
    const int speed = f_.UpDownVitesse->value();
    if (kb::effectiveSpeed(speed, SpinEditEspace->value(), wordSpacingFactor_) < 5.0L) {
        // Its change handler runs in turn and checks again.
        SpinEditEspace->setValue(SpinEditEspace->value() - 1);
    }
    refreshSpeedTexts();
}

void TimingControls::SpinEditEspaceChange() {
    const int v = SpinEditEspace->value();
    if (v < MinSpacing || v > MaxSpacing) return;
    if (kb::effectiveSpeed(f_.UpDownVitesse->value(), v, wordSpacingFactor_) < 5.0L &&
        v > MinSpacing) {
        SpinEditEspace->setValue(v - 1);
        return;  // the nested change has refreshed everything
    }
    refreshSpeedTexts();
}

void TimingControls::MenuEspaceMotClick(int factor) {
    for (int k = 0; k < 4; ++k) f_.MenuEspaceMotN[k]->setChecked(k + 1 == factor);
    wordSpacingFactor_ = factor;
    refreshSpeedTexts();
}

void TimingControls::PoidsClick(int ratio) {
    f_.Poids31->setChecked(ratio == 3);
    f_.Poids41->setChecked(ratio == 4);
    f_.Poids51->setChecked(ratio == 5);
    weightRatio_ = ratio;
}

void TimingControls::UpSpeedClick() {
    if (f_.UpDownVitesse->value() < MaxSpeed)
        f_.UpDownVitesse->setValue(f_.UpDownVitesse->value() + 1);
}

void TimingControls::DownSpeedClick() {
    if (f_.UpDownVitesse->value() > MinSpeed)
        f_.UpDownVitesse->setValue(f_.UpDownVitesse->value() - 1);
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
    f_.quiz().stopQuiz();
    f_.openSidePanel(PanelEspace);
    SpinEditEspace->setFocus();
}

void TimingControls::BitBtnOKEspaceClick() {
    PanelEspace->hide();
    // The file text takes the focus back instead once the file view exists.
    f_.Editcaractere->setFocus();
}

}  // namespace kb

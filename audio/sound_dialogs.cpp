#include "audio/sound_dialogs.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include "audio/noise.h"
#include "ui/form1.h"
#include "ui/timing_controls.h"

namespace kb {

namespace {

// A vertical track bar whose position 0 is at the top, as the dialogs have always drawn
// them, with labels beside it from top to bottom.
QSlider* verticalTrackBar(QWidget* parent, const char* name, int max, int position,
                          const QStringList& labels, QGridLayout* grid) {
    auto* bar = new QSlider(Qt::Vertical, parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setRange(0, max);
    bar->setInvertedAppearance(true);
    bar->setInvertedControls(true);
    bar->setPageStep(1);
    bar->setValue(position);
    bar->setMinimumHeight(220);
    grid->addWidget(bar, 0, 0, static_cast<int>(labels.size()), 1);
    for (int k = 0; k < labels.size(); ++k) {
        auto* l = new QLabel(labels[k], parent);
        const Qt::Alignment v = k == 0                   ? Qt::AlignTop
                                : k == labels.size() - 1 ? Qt::AlignBottom
                                                         : Qt::AlignVCenter;
        grid->addWidget(l, k, 1, v | Qt::AlignLeft);
    }
    return bar;
}

void setUpDialog(QDialog* d, const char* name, const char* caption) {
    d->setObjectName(QString::fromLatin1(name));
    d->setWindowTitle(QString::fromUtf8(caption));
    d->setModal(false);
}

}  // namespace

TFormNote::TFormNote(TForm1& form) : QDialog(&form), f_(form) {
    setUpDialog(this, "FormNote", "KEYBIRD");
    auto* v = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    QStringList labels;
    for (int hz = 1500; hz >= 100; hz -= 100) labels << QStringLiteral("%1 Hz").arg(hz);
    TrackBarNote = verticalTrackBar(this, "TrackBarNote", 140, 70, labels, grid);
    TrackBarNote->setMinimumHeight(360);
    v->addLayout(grid);
    CheckBoxTonExamen = new QCheckBox(QStringLiteral("Examen France"), this);
    CheckBoxTonExamen->setObjectName(QStringLiteral("CheckBoxTonExamen"));
    v->addWidget(CheckBoxTonExamen);
    connect(TrackBarNote, &QSlider::valueChanged, this, [this] { TrackBarNoteChange(); });
    connect(CheckBoxTonExamen, &QCheckBox::toggled, this, [this] { CheckBoxTonExamenClick(); });
}

void TFormNote::showEvent(QShowEvent* e) {
    TrackBarNote->setTickPosition(QSlider::TicksRight);
    TrackBarNote->setTickInterval(10);
    QDialog::showEvent(e);
}

void TFormNote::rebuildTone() {
    const Real pitch = 1500.0L - 10.0L * static_cast<Real>(TrackBarNote->value());
    f_.soundTables().setPitch(
        pitch, CheckBoxTonExamen->isChecked() ? ToneType::Examination : ToneType::Sine);
}

void TFormNote::TrackBarNoteChange() {
    rebuildTone();
}

void TFormNote::showStoredPitch(int position, long double pitch) {
    {
        // The track bar's own handler would round the pitch to its position.
        const QSignalBlocker quiet(TrackBarNote);
        TrackBarNote->setValue(position);
    }
    f_.soundTables().setPitch(
        pitch, CheckBoxTonExamen->isChecked() ? ToneType::Examination : ToneType::Sine);
}

void TFormNote::CheckBoxTonExamenClick() {
    rebuildTone();
    if (!CheckBoxTonExamen->isChecked()) return;
    // The examination preset: the speed, spacing and word spacing of the French
    // examination, and its groups once the random mode exists.
    f_.UpDownVitesse->setValue(11);
    f_.timing().SpinEditEspace->setValue(1);
    f_.MenuEspaceMotN[1]->trigger();
    if (f_.examinationGroups) f_.examinationGroups();
}

TFormNoise::TFormNoise(TForm1& form) : QDialog(&form), f_(form) {
    setUpDialog(this, "FormNoise", "KEYBIRD");
    auto* row = new QHBoxLayout(this);
    auto* grid = new QGridLayout;
    TrackBarNoise = verticalTrackBar(this, "TrackBarNoise", 20, 10,
                                     {QStringLiteral("Max"), QStringLiteral("Min")}, grid);
    row->addLayout(grid);
    auto* bw = new QGroupBox(QStringLiteral("BW"), this);
    bw->setObjectName(QStringLiteral("GroupBoxBW"));
    auto* bl = new QVBoxLayout(bw);
    const std::array<std::pair<const char*, const char*>, 4> buttons = {{
        {"RadioButton10k", "10 kHz"},
        {"RadioButton5k", "5 kHz"},
        {"RadioButton2k", "2.5 kHz"},
        {"RadioButton1k", "1.3 kHz"},
    }};
    std::array<QRadioButton*, 4> made{};
    for (std::size_t k = 0; k < buttons.size(); ++k) {
        made[k] = new QRadioButton(QString::fromUtf8(buttons[k].second), bw);
        made[k]->setObjectName(QString::fromLatin1(buttons[k].first));
        bl->addWidget(made[k]);
        const int hold = noiseHoldOfBandwidth(static_cast<int>(k));
        // Also when the program checks it, as the start-up hand-over does.
        connect(made[k], &QRadioButton::toggled, this, [this, hold](bool on) {
            if (on) bandwidthClick(hold);
        });
    }
    RadioButton10k = made[0];
    RadioButton5k = made[1];
    RadioButton2k = made[2];
    RadioButton1k = made[3];
    RadioButton1k->setChecked(true);
    row->addWidget(bw);
    connect(TrackBarNoise, &QSlider::valueChanged, this, [this] { TrackBarNoiseChange(); });
}

void TFormNoise::TrackBarNoiseChange() {
    NoiseParams p = f_.soundTables().noiseParams();
    p.amplitude = noiseAmplitudeOfPosition(TrackBarNoise->value());
    f_.soundTables().setNoise(p);
}

void TFormNoise::bandwidthClick(int hold) {
    NoiseParams p = f_.soundTables().noiseParams();
    p.hold = hold;
    f_.soundTables().setNoise(p);
}

QRadioButton* TFormNoise::bandwidthButton(int hold) {
    switch (hold) {
        case 1: return RadioButton10k;
        case 2: return RadioButton5k;
        case 4: return RadioButton2k;
        default: return RadioButton1k;
    }
}

TFormQSB::TFormQSB(TForm1& form) : QDialog(&form), f_(form) {
    setUpDialog(this, "FormQSB", "QSB");
    auto* grid = new QGridLayout(this);
    TrackBarQSB = verticalTrackBar(this, "TrackBarQSB", 20, 10,
                                   {QStringLiteral("O dB"), QStringLiteral("-20 dB")}, grid);
    connect(TrackBarQSB, &QSlider::valueChanged, this, [this] { TrackBarQSBChange(); });
}

void TFormQSB::TrackBarQSBChange() {
    f_.fading().depthDb = TrackBarQSB->value();
}

}  // namespace kb

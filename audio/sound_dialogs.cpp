#include "audio/sound_dialogs.h"

#include <QAction>
#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QVBoxLayout>
#include <cmath>
#include <vector>

#include "app/settings_file.h"
#include "audio/noise.h"
#include "ui/form1.h"
#include "ui/timing_controls.h"

namespace kb {

namespace {

// The labels beside a vertical track bar, each level with the handle at its own
// position, whatever the style draws: rows of a grid would drift off the marks.
class TrackBarScale final : public QWidget {
public:
    TrackBarScale(QSlider* bar, const QStringList& labels, const std::vector<int>& positions,
                  QWidget* parent)
        : QWidget(parent), bar_(bar), positions_(positions) {
        int width = 0;
        for (const QString& text : labels) {
            labels_.push_back(new QLabel(text, this));
            width = std::max(width, labels_.back()->sizeHint().width());
        }
        setMinimumWidth(width);
        bar_->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Resize || e->type() == QEvent::Move) place();
        return false;
    }
    void resizeEvent(QResizeEvent*) override { place(); }

private:
    void place() {
        QStyleOptionSlider opt;
        opt.initFrom(bar_);
        opt.orientation = Qt::Vertical;
        opt.minimum = bar_->minimum();
        opt.maximum = bar_->maximum();
        opt.upsideDown = !bar_->invertedAppearance();
        opt.tickPosition = bar_->tickPosition();
        opt.tickInterval = bar_->tickInterval();
        opt.pageStep = bar_->pageStep();
        opt.singleStep = bar_->singleStep();
        for (std::size_t k = 0; k < labels_.size(); ++k) {
            opt.sliderPosition = opt.sliderValue = positions_[k];
            const QRect handle = bar_->style()->subControlRect(QStyle::CC_Slider, &opt,
                                                               QStyle::SC_SliderHandle, bar_);
            const int y = mapFromGlobal(bar_->mapToGlobal(handle.center())).y();
            QLabel* l = labels_[k];
            l->resize(l->sizeHint());
            l->move(0, y - (l->height() - 1) / 2);  // its centre row on the handle's
        }
    }
    QSlider* bar_;
    std::vector<QLabel*> labels_;
    std::vector<int> positions_;
};

// A vertical track bar whose position 0 is at the top, as the dialogs have always drawn
// them, with labels beside it at the given positions. The bar stands half a label in
// from the ends, so the end labels are not cut.
QSlider* verticalTrackBar(QWidget* parent, const char* name, int max, int position,
                          const QStringList& labels, const std::vector<int>& positions,
                          QGridLayout* grid) {
    auto* bar = new QSlider(Qt::Vertical, parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setRange(0, max);
    bar->setInvertedAppearance(true);
    bar->setInvertedControls(true);
    bar->setPageStep(1);
    bar->setValue(position);
    bar->setMinimumHeight(220);
    const int inset = bar->fontMetrics().height() / 2 + 1;
    grid->setContentsMargins(grid->contentsMargins() + QMargins(0, inset, 0, inset));
    grid->addWidget(bar, 0, 0);
    auto* scale = new TrackBarScale(bar, labels, positions, parent);
    scale->setObjectName(QString::fromLatin1(name) + QStringLiteral("Scale"));
    grid->addWidget(scale, 0, 1);
    return bar;
}

// Labels at the two ends of a bar of 0..max.
std::vector<int> ends(int max) {
    return {0, max};
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
    std::vector<int> positions;
    constexpr int Positions = 140;
    // Each label stands at the position whose pitch it names.
    for (int p = 0; p <= Positions; ++p) {
        const long double pitch = pitchOfNotePosition(p);
        if (std::fmod(pitch, 100.0L) != 0) continue;
        labels << QStringLiteral("%1 Hz").arg(static_cast<int>(pitch));
        positions.push_back(p);
    }
    TrackBarNote = verticalTrackBar(this, "TrackBarNote", Positions, 70, labels, positions, grid);
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
    const Real pitch = pitchOfNotePosition(TrackBarNote->value());
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
    TrackBarNoise =
        verticalTrackBar(this, "TrackBarNoise", 20, 10,
                         {QStringLiteral("Max"), QStringLiteral("Min")}, ends(20), grid);
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
    TrackBarQSB =
        verticalTrackBar(this, "TrackBarQSB", 20, 10,
                         {QStringLiteral("O dB"), QStringLiteral("-20 dB")}, ends(20), grid);
    connect(TrackBarQSB, &QSlider::valueChanged, this, [this] { TrackBarQSBChange(); });
}

void TFormQSB::TrackBarQSBChange() {
    f_.fading().depthDb = TrackBarQSB->value();
}

}  // namespace kb

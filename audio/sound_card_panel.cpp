#include "audio/sound_card_panel.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include "modes/monitor_mode.h"
#include "modes/play_control.h"
#include "ui/form1.h"
#include "ui/ui_services.h"
#include "ui/widgets.h"

namespace kb {

SoundCardPanel::SoundCardPanel(TForm1& form, DeviceLists lists)
    : f_(form), lists_(std::move(lists)) {
    PanelCarteSon = named(new QFrame(&form), "PanelCarteSon");
    PanelCarteSon->setFrameShape(QFrame::Panel);
    PanelCarteSon->setFrameShadow(QFrame::Raised);
    auto* g = new QGridLayout(PanelCarteSon);
    TitreCarteSon = panelTitle(PanelCarteSon, "TitreCarteSon");
    g->addWidget(TitreCarteSon, 0, 0, 1, 2);
    RadioButtonCarteWin = named(new QRadioButton(PanelCarteSon), "RadioButtonCarteWin");
    RadioButtonCarteWin->setChecked(true);
    RadioButtonCarteMoi = named(new QRadioButton(PanelCarteSon), "RadioButtonCarteMoi");
    g->addWidget(RadioButtonCarteWin, 1, 0, 1, 2);
    g->addWidget(RadioButtonCarteMoi, 2, 0, 1, 2);
    LabelSonIn = named(new QLabel(PanelCarteSon), "LabelSonIn");
    ComboBoxChoixIn = named(new QComboBox(PanelCarteSon), "ComboBoxChoixIn");
    LabelSonOut = named(new QLabel(PanelCarteSon), "LabelSonOut");
    ComboBoxChoixOut = named(new QComboBox(PanelCarteSon), "ComboBoxChoixOut");
    g->addWidget(LabelSonIn, 3, 0);
    g->addWidget(ComboBoxChoixIn, 3, 1);
    g->addWidget(LabelSonOut, 4, 0);
    g->addWidget(ComboBoxChoixOut, 4, 1);
    BitBtnOKCarteSon =
        named(new QPushButton(QStringLiteral("OK"), PanelCarteSon), "BitBtnOKCarteSon");
    g->addWidget(BitBtnOKCarteSon, 5, 0, 1, 2, Qt::AlignHCenter);
    QObject::connect(BitBtnOKCarteSon, &QPushButton::clicked, &form,
                     [this] { BitBtnOKCarteSonClick(); });
    form.addSidePanel(
        PanelCarteSon, [this] { PanelCarteSon->hide(); }, true);
}

void SoundCardPanel::fill(QComboBox* box, const std::vector<std::string>& names, int deviceId) {
    box->clear();
    for (const std::string& n : names) box->addItem(QString::fromStdString(n));
    box->setCurrentIndex(-1);
    if (RadioButtonCarteMoi->isChecked() && static_cast<unsigned>(deviceId) < names.size()) {
        box->setCurrentIndex(deviceId);
    }
}

void SoundCardPanel::MenuSoundCardClick() {
    if (f_.play().textPlaying()) {
        f_.ui().warning(&f_, QString::fromUtf8(f_.texts().shared.msgStopPlayingBeforeSoundCard));
        return;
    }
    f_.play().stopModesWaitingForAnswer();
    // Rescanning needs the output's stream let go of, which waits for a character still
    // with the device (after a stop) to come back.
    if (lists_.rescan && f_.play().engine().readyForNext()) lists_.rescan();
    f_.openSidePanel(PanelCarteSon);
    fill(ComboBoxChoixIn, lists_.inputs ? lists_.inputs() : std::vector<std::string>{},
         inputDeviceId_);
    fill(ComboBoxChoixOut, lists_.outputs ? lists_.outputs() : std::vector<std::string>{},
         f_.play().engine().outputDevice());
}

void SoundCardPanel::BitBtnOKCarteSonClick() {
    if (RadioButtonCarteMoi->isChecked() &&
        (ComboBoxChoixIn->currentText().isEmpty() || ComboBoxChoixOut->currentText().isEmpty())) {
        f_.ui().beep();
        return;
    }
    PanelCarteSon->hide();
    if (RadioButtonCarteMoi->isChecked()) {
        const int in = ComboBoxChoixIn->currentIndex();
        const int out = ComboBoxChoixOut->currentIndex();
        if (in >= 0 && out >= 0 && in == inputDeviceId_ && out == outputDevice()) return;
        setDevices(in, out);
        reopenDevices();
    } else if (inputDeviceId_ != -1 || outputDevice() != -1) {
        setDevices(-1, -1);
        reopenDevices();
    }
}

void SoundCardPanel::setDevices(int input, int output) {
    inputDeviceId_ = input;
    f_.play().engine().setOutputDevice(output);
}

void SoundCardPanel::applySettings(const Settings& s, const SettingsKeys& present) {
    const bool hasInput = present.contains("ISOUND="), hasOutput = present.contains("OSOUND=");
    if (!hasInput && !hasOutput) return;
    setDevices(hasInput ? s.inputDeviceId : inputDeviceId_,
               hasOutput ? s.outputDeviceId : outputDevice());
    if (inputDeviceId_ != -1 || outputDevice() != -1) RadioButtonCarteMoi->setChecked(true);
}

int SoundCardPanel::outputDevice() const {
    return f_.play().engine().outputDevice();
}

void SoundCardPanel::reopenDevices() {
    // The monitor opens the input again, with InputDeviceId, when it next starts.
    f_.monitor().closeInput();
    f_.play().engine().reopenOutputDevice();
}

}  // namespace kb

#include "keying/port_panel.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/settings_file.h"
#include "keying/keyer.h"
#include "keying/port_settings.h"
#include "modes/play_control.h"
#include "ui/form1.h"
#include "ui/radio_group.h"
#include "ui/typed_text_edit.h"
#include "ui/ui_services.h"
#include "ui/widgets.h"

namespace kb {

namespace {

QCheckBox* checkBox(const char* name, const char* caption, QWidget* parent) {
    return named(new QCheckBox(QString::fromUtf8(caption), parent), name);
}

}  // namespace

PortPanel::PortPanel(TForm1& form, Keyer& keyer) : f_(form), keyer_(keyer) {
    PanelPort = named(new QFrame(&form), "PanelPort");
    PanelPort->setFrameShape(QFrame::Panel);
    PanelPort->setFrameShadow(QFrame::Raised);
    auto* grid = new QGridLayout(PanelPort);

    QLabel* title = panelTitle(PanelPort, "LabelPanelPort");
    title->setText(QStringLiteral("PORT"));
    grid->addWidget(title, 0, 0, 1, 2);
    ButtonClosePanelPort =
        named(new QPushButton(QStringLiteral("x"), PanelPort), "ButtonClosePanelPort");
    ButtonClosePanelPort->setFixedWidth(28);
    grid->addWidget(ButtonClosePanelPort, 0, 2, Qt::AlignRight);

    // Serial port, its lines and the TX delay.
    auto* com = new QVBoxLayout;
    RadioGroupCOM =
        new RadioGroup("RadioGroupCOM", QStringLiteral("COM"),
                       {QStringLiteral("NONE"), QStringLiteral("COM1"), QStringLiteral("COM2"),
                        QStringLiteral("COM3"), QStringLiteral("COM4")},
                       PanelPort);
    com->addWidget(RadioGroupCOM);
    auto* lines = new QHBoxLayout;
    auto* ptt = named(new QGroupBox(QStringLiteral("PTT/COM"), PanelPort), "GroupBoxPTT");
    auto* pttL = new QVBoxLayout(ptt);
    CheckBoxPTTDTR = checkBox("CheckBoxPTTDTR", "DTR", ptt);
    CheckBoxPTTRTS = checkBox("CheckBoxPTTRTS", "RTS", ptt);
    CheckBoxPTTDTR->setChecked(true);
    CheckBoxPTTRTS->setChecked(true);
    pttL->addWidget(CheckBoxPTTDTR);
    pttL->addWidget(CheckBoxPTTRTS);
    auto* cw = named(new QGroupBox(QStringLiteral("CW/COM"), PanelPort), "GroupBoxCW");
    auto* cwL = new QVBoxLayout(cw);
    CheckBoxCWDTR = checkBox("CheckBoxCWDTR", "DTR", cw);
    CheckBoxCWRTS = checkBox("CheckBoxCWRTS", "RTS", cw);
    CheckBoxCWDTR->setEnabled(false);
    CheckBoxCWRTS->setEnabled(false);
    cwL->addWidget(CheckBoxCWDTR);
    cwL->addWidget(CheckBoxCWRTS);
    lines->addWidget(ptt);
    lines->addWidget(cw);
    com->addLayout(lines);
    QStringList delays;
    for (int k = 0; k < TxDelayItems; ++k) {
        delays << QStringLiteral("%1 ms").arg(txDelayMsForIndex(k), 3);
    }
    RadioGroupTXDelay =
        new RadioGroup("RadioGroupTXDelay", QStringLiteral("TX Delay"), delays, PanelPort);
    RadioGroupTXDelay->setItemIndex(DefaultTxDelayIndex);
    com->addWidget(RadioGroupTXDelay);
    com->addStretch();
    grid->addLayout(com, 1, 0);

    // Parallel port: the port with its address, the pin with its logic sense.
    auto* lpt = new QVBoxLayout;
    auto* lptRow = new QHBoxLayout;
    RadioGroupLPT = new RadioGroup("RadioGroupLPT", QStringLiteral("LPT"),
                                   {QStringLiteral("NONE"), QStringLiteral("LPT1"),
                                    QStringLiteral("LPT2"), QStringLiteral("LPT3")},
                                   PanelPort);
    lptRow->addWidget(RadioGroupLPT);
    auto* edits = new QVBoxLayout;
    edits->addStretch();
    for (int n = 0; n < 3; ++n) {
        EditLPT[n] = new QLineEdit(QStringLiteral("[000h]"), PanelPort);
        EditLPT[n]->setObjectName(QStringLiteral("EditLPT%1").arg(n + 1));
        EditLPT[n]->setFrame(false);
        EditLPT[n]->setMaxLength(LptAddressTextMax);
        EditLPT[n]->setFixedWidth(
            EditLPT[n]->fontMetrics().horizontalAdvance(QStringLiteral("[0000h]")));
        edits->addWidget(EditLPT[n]);
    }
    lptRow->addLayout(edits);
    lpt->addLayout(lptRow);
    auto* pinRow = new QHBoxLayout;
    RadioGroupPin = new RadioGroup("RadioGroupPin", QStringLiteral("CW/LPT"),
                                   {QStringLiteral("Pin 1"), QStringLiteral("Pin 14"),
                                    QStringLiteral("Pin 16"), QStringLiteral("Pin 17")},
                                   PanelPort);
    pinRow->addWidget(RadioGroupPin);
    auto* logic = new QVBoxLayout;
    const char* pinNames[] = {"CheckBoxPin1", "CheckBoxPin14", "CheckBoxPin16", "CheckBoxPin17"};
    for (int k = 0; k < LptPinCount; ++k) {
        CheckBoxPin[k] = checkBox(pinNames[k], "Neg. logic", PanelPort);
        CheckBoxPin[k]->setChecked(DefaultNegativeLogic[k]);
        logic->addWidget(CheckBoxPin[k]);
    }
    pinRow->addLayout(logic);
    lpt->addLayout(pinRow);
    lpt->addStretch();
    grid->addLayout(lpt, 1, 1, 1, 2);

    RadioGroupCOM->onClick = [this](int i) { RadioGroupCOMClick(i); };
    RadioGroupTXDelay->onClick = [this](int i) { RadioGroupTXDelayClick(i); };
    RadioGroupLPT->onClick = [this](int i) { RadioGroupLPTClick(i); };
    RadioGroupPin->onClick = [this](int i) { RadioGroupPinClick(i); };
    QObject::connect(CheckBoxPTTDTR, &QCheckBox::clicked, &form, [this] { CheckBoxPTTDTRClick(); });
    QObject::connect(CheckBoxPTTRTS, &QCheckBox::clicked, &form, [this] { CheckBoxPTTRTSClick(); });
    QObject::connect(CheckBoxCWDTR, &QCheckBox::clicked, &form, [this] { CheckBoxCWDTRClick(); });
    QObject::connect(CheckBoxCWRTS, &QCheckBox::clicked, &form, [this] { CheckBoxCWRTSClick(); });
    for (int k = 0; k < LptPinCount; ++k) {
        QObject::connect(CheckBoxPin[k], &QCheckBox::clicked, &form,
                         [this, k] { CheckBoxPinClick(k); });
    }
    for (int n = 0; n < 3; ++n) {
        QObject::connect(EditLPT[n], &QLineEdit::textChanged, &form,
                         [this, n] { EditLPTChange(n + 1); });
    }
    QObject::connect(ButtonClosePanelPort, &QPushButton::clicked, &form,
                     [this] { ButtonClosePanelPortClick(); });
    form.addSidePanel(
        PanelPort, [this] { ButtonClosePanelPort->click(); }, true);
}

void PortPanel::MenuPortClick() {
    f_.play().stopModesWaitingForAnswer();
    f_.openSidePanel(PanelPort);
}

void PortPanel::ButtonClosePanelPortClick() {
    PanelPort->hide();
    // The file text takes the focus back instead once the file view exists.
    f_.Editcaractere->setFocus();
}

void PortPanel::comError(int comIndex, int err) {
    const std::string detail =
        comErrorDetail(comIndex, keyer_.comDevices().devicePath(comIndex), err);
    f_.ui().warning(&f_, QStringLiteral("Error COM\n") + QString::fromStdString(detail));
    RadioGroupCOM->setItemIndex(0);
}

void PortPanel::RadioGroupCOMClick(int index) {
    const Keyer::ComResult r = keyer_.selectComPort(index, f_.play().engine().busy());
    if (r == Keyer::ComResult::ErrorCom) comError(index, keyer_.lastComError().value());
    f_.refreshLamp();
}

// A line serves either PTT or CW: checking one greys its twin in the other group.
void PortPanel::lineMaskClick(QCheckBox* box, QCheckBox* twin, bool ptt, int bit) {
    twin->setEnabled(!box->isChecked());
    std::uint8_t mask = ptt ? keyer_.PttLineMask() : keyer_.CwLineMask();
    mask = box->isChecked() ? (mask | bit) : (mask & ~bit);
    if (ptt) {
        keyer_.setPttLineMask(mask);
    } else {
        keyer_.setCwLineMask(mask);
    }
}

void PortPanel::CheckBoxPTTDTRClick() {
    lineMaskClick(CheckBoxPTTDTR, CheckBoxCWDTR, true, LineDtr);
}
void PortPanel::CheckBoxPTTRTSClick() {
    lineMaskClick(CheckBoxPTTRTS, CheckBoxCWRTS, true, LineRts);
}
void PortPanel::CheckBoxCWDTRClick() {
    lineMaskClick(CheckBoxCWDTR, CheckBoxPTTDTR, false, LineDtr);
}
void PortPanel::CheckBoxCWRTSClick() {
    lineMaskClick(CheckBoxCWRTS, CheckBoxPTTRTS, false, LineRts);
}

void PortPanel::RadioGroupTXDelayClick(int index) {
    keyer_.setTxDelayIndex(index);
    f_.play().TimerTXDelay->setInterval(keyer_.txDelayMs());
}

void PortPanel::showLptState() {
    RadioGroupLPT->setItemIndex(keyer_.LptIndex());
    RadioGroupPin->setItemIndex(keyer_.PinIndex());
    for (int k = 0; k < LptPinCount; ++k) CheckBoxPin[k]->setChecked(keyer_.NegativeLogic(k));
}

void PortPanel::RadioGroupLPTClick(int index) {
    storedLptIndex_ = 0;
    const Keyer::LptSelection sel = keyer_.selectLpt(index);
    if (sel.result == Keyer::LptResult::DriverMissing) {
        f_.ui().beep();
        f_.ui().warning(&f_, QString::fromUtf8(LptDriverMissingWarning));
    } else if (sel.result == Keyer::LptResult::NoAddress || !sel.setupOk) {
        f_.ui().beep();
    }
    RadioGroupLPT->setItemIndex(sel.shownIndex);
}

void PortPanel::RadioGroupPinClick(int index) {
    if (!keyer_.selectPin(index)) f_.ui().beep();
}

void PortPanel::CheckBoxPinClick(int pinIndex) {
    if (!keyer_.setNegativeLogic(pinIndex, CheckBoxPin[pinIndex]->isChecked())) f_.ui().beep();
}

void PortPanel::EditLPTChange(int n) {
    keyer_.typeLptAddress(n, EditLPT[n - 1]->text().toStdString());
}

void PortPanel::showLptAddresses() {
    for (int n = 1; n <= 3; ++n) {
        const QSignalBlocker quiet(EditLPT[n - 1]);
        EditLPT[n - 1]->setText(QString::fromStdString(lptAddressText(keyer_.lptAddress(n))));
    }
}

void PortPanel::applyComSettings(const Settings& s, const SettingsKeys& present) {
    for (int n = 1; n <= ComDeviceMap::Ports; ++n) {
        if (present.contains("COMDEV" + std::to_string(n) + "=")) {
            keyer_.comDevices().setDevicePath(n, s.comDevices[n - 1]);
        }
    }
    if (present.contains("COM=") && s.comPort >= 1 && s.comPort <= 4) {
        RadioGroupCOM->setItemIndex(s.comPort);
        RadioGroupCOMClick(s.comPort);
    }
    // The check boxes' own handlers keep the masks and the greying together; a box the
    // other group has greyed stays as it is.
    auto set = [](QCheckBox* box, bool on, void (PortPanel::*click)(), PortPanel* self) {
        if (!box->isEnabled() || box->isChecked() == on) return;
        box->setChecked(on);
        (self->*click)();
    };
    if (present.contains("PTT=")) {
        set(CheckBoxPTTDTR, s.pttLineMask & LineDtr, &PortPanel::CheckBoxPTTDTRClick, this);
        set(CheckBoxPTTRTS, s.pttLineMask & LineRts, &PortPanel::CheckBoxPTTRTSClick, this);
    }
    if (present.contains("CW=")) {
        set(CheckBoxCWDTR, s.cwLineMask & LineDtr, &PortPanel::CheckBoxCWDTRClick, this);
        set(CheckBoxCWRTS, s.cwLineMask & LineRts, &PortPanel::CheckBoxCWRTSClick, this);
    }
    if (present.contains("TXDELAY=")) {
        const int delay = txDelayIndexForMs(s.txDelayMs);
        RadioGroupTXDelay->setItemIndex(delay);
        RadioGroupTXDelayClick(delay);
    }
}

void PortPanel::applyLptSettings(const Settings& s, const SettingsKeys& present) {
    const bool hasLpt = present.contains("LPT="), hasAddress = present.contains("ADLPT="),
               hasPin = present.contains("PIN="), hasLogic = present.contains("LOGIC=");
    if (!hasLpt && !hasAddress && !hasPin && !hasLogic) return;
    // A key the file lacks takes what the keyer holds, so that applying changes nothing
    // for it: the "Neg. logic" boxes keep their design-time state without LOGIC=.
    const int pin = hasPin ? s.pinIndex : keyer_.PinIndex();
    const bool ok = keyer_.applyLptSettings(
        hasLpt ? s.lptIndex : keyer_.LptIndex(),
        static_cast<std::uint16_t>(hasAddress ? lptAddressFromText(s.lptAddressText) : 0), pin,
        hasLogic ? s.negativeLogic : keyer_.NegativeLogic(pin));
    const bool refused = hasLpt && s.lptIndex > 0 && keyer_.LptIndex() != s.lptIndex;
    if (refused) {
        storedLptIndex_ = s.lptIndex;
        storedLptAddressText_ = s.lptAddressText;
    }
    if (!ok || refused) {
        // A beep alone at start-up tells nobody that their keying port is dead, nor why.
        f_.ui().beep();
        f_.ui().warning(&f_, QString::fromStdString(lptUnusableText(
                                 refused ? s.lptIndex : keyer_.LptIndex(), keyer_.lptState())));
    }
    showLptAddresses();
    showLptState();
}

void PortPanel::collect(Settings& s) const {
    s.comPort = RadioGroupCOM->ItemIndex();
    s.pttLineMask = keyer_.PttLineMask();
    s.cwLineMask = keyer_.CwLineMask();
    s.txDelayMs = keyer_.txDelayMs();
    s.lptIndex = keyer_.LptIndex();
    s.lptAddressText =
        s.lptIndex > 0 ? EditLPT[s.lptIndex - 1]->text().toStdString() : std::string();
    if (s.lptIndex == 0 && storedLptIndex_ > 0) {
        s.lptIndex = storedLptIndex_;
        s.lptAddressText = storedLptAddressText_;
    }
    s.pinIndex = keyer_.PinIndex();
    s.negativeLogic = keyer_.NegativeLogic(s.pinIndex);
    for (int n = 1; n <= ComDeviceMap::Ports; ++n) {
        s.comDevices[n - 1] =
            keyer_.comDevices().isMapped(n) ? keyer_.comDevices().devicePath(n) : "";
    }
}

void PortPanel::handleLineFault() {
    const int port = RadioGroupCOM->ItemIndex();
    if (const int err = keyer_.handleLineFault()) comError(port, err);
    f_.refreshLamp();
}

}  // namespace kb

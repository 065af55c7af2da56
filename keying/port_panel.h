#pragma once
// The port panel: which serial port and lines key the transmitter and switch PTT, the TX
// delay, and the parallel port, its address, pin and logic sense. It shows and changes
// the Keyer's configuration; the Keyer does the keying. GUI thread only.

#include <array>
#include <string>

#include "app/settings_file.h"

class QCheckBox;
class QFrame;
class QLineEdit;
class QPushButton;

namespace kb {

class Keyer;
class RadioGroup;
class TForm1;

class PortPanel {
public:
    PortPanel(TForm1& form, Keyer& keyer);

    void MenuPortClick();
    void ButtonClosePanelPortClick();
    void RadioGroupCOMClick(int index);
    void CheckBoxPTTDTRClick();
    void CheckBoxPTTRTSClick();
    void CheckBoxCWDTRClick();
    void CheckBoxCWRTSClick();
    void RadioGroupTXDelayClick(int index);
    void RadioGroupLPTClick(int index);
    void RadioGroupPinClick(int index);
    void CheckBoxPinClick(int pinIndex);
    void EditLPTChange(int n);

    // Start-up: the detected LPT addresses in their edits; the stored port keys, those
    // the file gave (`present`), a missing one leaving its control as it is; the
    // "/COM1".."/COM4" switch. Exit: the keys back into the settings.
    void showLptAddresses();
    void applyComSettings(const Settings& s, const SettingsKeys& present);
    void applyLptSettings(const Settings& s, const SettingsKeys& present);
    void collect(Settings& s) const;
    // A serial line failed while keying (posted from the thread that met it).
    void handleLineFault();

    QFrame* PanelPort = nullptr;
    RadioGroup* RadioGroupCOM = nullptr;
    QCheckBox* CheckBoxPTTDTR = nullptr;
    QCheckBox* CheckBoxPTTRTS = nullptr;
    QCheckBox* CheckBoxCWDTR = nullptr;
    QCheckBox* CheckBoxCWRTS = nullptr;
    RadioGroup* RadioGroupTXDelay = nullptr;
    RadioGroup* RadioGroupLPT = nullptr;
    std::array<QLineEdit*, 3> EditLPT{};  // EditLPT1..EditLPT3
    RadioGroup* RadioGroupPin = nullptr;
    std::array<QCheckBox*, 4> CheckBoxPin{};  // CheckBoxPin1, 14, 16, 17
    QPushButton* ButtonClosePanelPort = nullptr;

private:
    // "Error COM", with the device and the system's reason (errno `err`) for COM n.
    void comError(int comIndex, int err);
    void lineMaskClick(QCheckBox* box, QCheckBox* twin, bool ptt, int bit);
    void showLptState();

    TForm1& f_;
    Keyer& keyer_;
    // A stored parallel port this machine could not take (no driver, no such card): it
    // is written back as it was, so one run without ppdev does not erase the user's
    // keying set-up. Choosing an LPT item forgets it.
    int storedLptIndex_ = 0;
    std::string storedLptAddressText_;
};

}  // namespace kb

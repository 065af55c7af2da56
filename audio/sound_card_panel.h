#pragma once
// The sound-card panel: the device lists as the system reports them, "let the system
// choose" or "I choose", and the reopening of the devices when the choice changes.
// GUI thread only.

#include <functional>
#include <string>
#include <vector>

#include "app/settings_file.h"

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QRadioButton;

namespace kb {

class TForm1;

// The device names the chooser lists, in the system's order.
struct DeviceLists {
    std::function<std::vector<std::string>()> inputs;
    std::function<std::vector<std::string>()> outputs;
    // Looks for the devices again before they are listed (a headset plugged in since
    // start-up); called only when the panel opens with nothing playing. May be empty.
    std::function<void()> rescan;
};

class SoundCardPanel {
public:
    SoundCardPanel(TForm1& form, DeviceLists lists);

    void MenuSoundCardClick();
    void BitBtnOKCarteSonClick();
    // Closes the output (and the monitor's input) and opens the output again with
    // OutputDeviceId; silent mode when it does not open.
    void reopenDevices();

    // The chosen devices (-1 the system's choice): the input the monitor opens, and the
    // output, which the engine keeps.
    void setDevices(int input, int output);
    // Start-up: the stored ISOUND= and OSOUND= that the file gave. A stored device other
    // than -1 checks "I choose my Sound card", so that the panel shows that device and
    // confirming it unchanged keeps it.
    void applySettings(const Settings& s, const SettingsKeys& present);
    int inputDevice() const { return inputDeviceId_; }
    int outputDevice() const;

    QFrame* PanelCarteSon = nullptr;
    QLabel* TitreCarteSon = nullptr;
    QRadioButton* RadioButtonCarteWin = nullptr;
    QRadioButton* RadioButtonCarteMoi = nullptr;
    QLabel* LabelSonIn = nullptr;
    QLabel* LabelSonOut = nullptr;
    QComboBox* ComboBoxChoixIn = nullptr;
    QComboBox* ComboBoxChoixOut = nullptr;
    QPushButton* BitBtnOKCarteSon = nullptr;

private:
    void fill(QComboBox* box, const std::vector<std::string>& names, int deviceId);

    TForm1& f_;
    DeviceLists lists_;
    int inputDeviceId_ = -1;  // InputDeviceId
};

}  // namespace kb

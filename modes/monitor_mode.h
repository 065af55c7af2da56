#pragma once
// The CW monitor: Keybird listens to the sound-card input and writes the Morse it hears
// into MemoMonitor. It owns the monitor's view (GroupBoxMonitor: the memo, the channel
// choice, the two thresholds, the level bars and the case box), its two Tools menu items
// and the decoder, and shares the sound card with playback: starting the monitor closes
// the output, a text to play takes the card back (releaseSoundInput), and the monitor
// listens again once the text has ended (afterEnd). GUI thread only; the input's notices
// reach it on the GUI thread.

#include <QString>
#include <memory>
#include <string>

#include "app/settings_file.h"
#include "audio/wave_in.h"
#include "modes/mode.h"
#include "receive/cw_decoder.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QRadioButton;
class QSlider;
class QWidget;

namespace kb {

class TForm1;

class MonitorMode final : public Mode {
public:
    // `input` nullptr: no input device (starting the monitor says the card cannot open).
    MonitorMode(TForm1& form, WaveIn* input);
    ~MonitorMode() override;

    // Start-up, once the settings are in: the decoder's own resets, with the threshold of
    // the channel selected.
    void startUp();
    // The settings file's four keys; the handlers do not act meanwhile.
    void applySettings(const Settings& s, const SettingsKeys& present);
    void collectSettings(Settings& s) const;
    // The device changes or the program quits: the input is let go of.
    void closeInput();
    // Enter in the typed-text box: with the monitor shown, what it decodes next goes on
    // a line of its own.
    void startNewLine();

    // The input reported that it is open, and is not yet closed again.
    bool inputOpen() const { return inputOpen_; }
    CwDecoder& decoder() { return decoder_; }

    // Handlers.
    void RadioButtonMonitorClick();
    void RadioButtonLCClick();
    void RadioButtonRCClick();
    void TrackBarLCChange();
    void TrackBarRCChange();
    void CheckBoxUpperCaseClick();
    void MenuClearMonitoringClick();
    void MenuSaveMonitoringClick();

    // Mode.
    void afterEnd() override;
    void releaseSoundInput() override;

    QGroupBox* GroupBoxMonitor = nullptr;
    QLabel* LabelMonitor = nullptr;
    QPlainTextEdit* MemoMonitor = nullptr;
    QRadioButton* RadioButtonLC = nullptr;
    QRadioButton* RadioButtonRC = nullptr;
    QLabel* LabelLeftChannel = nullptr;
    QLabel* LabelRightChannel = nullptr;
    QLabel* LabelThreshold = nullptr;
    QSlider* TrackBarLC = nullptr;
    QSlider* TrackBarRC = nullptr;
    QProgressBar* ProgressBarLeft = nullptr;
    QProgressBar* ProgressBarRight = nullptr;
    QCheckBox* CheckBoxUpperCase = nullptr;
    QAction* MenuClearMonitoring = nullptr;
    QAction* MenuSaveMonitoring = nullptr;

private:
    void build();
    void wire();
    void onNotice(const WaveInNotice& n);
    void decode(const WaveInNotice& n);
    // The input cannot be had: says why, lets go of it and leaves the rest of the program
    // as it was. The monitor stays chosen, so its text can still be saved, and listens
    // again only when chosen again.
    void inputFailed(int result, const QString& step);
    void focusTypedText();

    TForm1& f_;
    WaveIn* in_;
    std::unique_ptr<WaveIn> noInput_;  // stands in when the window has no input device
    CwDecoder decoder_;
    bool inputOpen_ = false;  // InputOpen
    bool loading_ = false;    // the settings are being applied: the handlers do not act
    bool failed_ = false;     // the last start failed: a text's end does not retry it
    std::string decoded_;     // reused for every buffer
};

}  // namespace kb

#pragma once
// The speed, level, character spacing, word spacing and weight controls, and the spacing
// panel, which this controller builds. Each change takes effect at the next character
// the engine fills. GUI thread only.

#include <functional>

#include "audio/character_fill.h"
#include "core/nearest.h"

class QFrame;
class QLabel;
class QPushButton;
class QSpinBox;

namespace kb {

class TForm1;

class TimingControls {
public:
    // Builds the spacing panel and wires the speed, level, spacing, word spacing and
    // weight controls.
    explicit TimingControls(TForm1& form);

    void UpDownVitesseClick();            // the speed-change step
    void SpinEditEspaceChange();          // character spacing
    void MenuEspaceMotClick(int factor);  // word spacing x1..x4
    void PoidsClick(int ratio);           // weight 3, 4 or 5
    void UpSpeedClick();
    void DownSpeedClick();
    void UpDownAmplitudeClick();  // the level-change step
    void UpVolumeClick();
    void DownVolumeClick();
    void Spacing1Click();        // opens the spacing panel
    void BitBtnOKEspaceClick();  // closes it

    // Recomputes the real speed and refreshes every text built from it.
    void refreshSpeedTexts();

    // The speed, weight and spacings of the next character.
    CharacterSettings characterSettings() const;
    int wordSpacingFactor() const { return wordSpacingFactor_; }
    int weightRatio() const { return weightRatio_; }
    Real effectiveSpeed() const { return effectiveSpeed_; }

    // Called after each change of speed, spacing or word factor: the summary labels of
    // the random and file views and the wave-recording panel's size recompute there.
    std::function<void()> afterTimingChange;

    // The spacing panel.
    QFrame* PanelEspace = nullptr;
    QSpinBox* SpinEditEspace = nullptr;
    QLabel* LabelVitesseCorrigee = nullptr;
    QPushButton* BitBtnOKEspace = nullptr;

private:
    void buildSpacingPanel();
    void wire();

    TForm1& f_;
    int weightRatio_ = 3;
    int wordSpacingFactor_ = 1;
    Real effectiveSpeed_ = 12;
};

}  // namespace kb

#pragma once
// The speed, level, character spacing, word spacing and weight controls, and the spacing
// panel. Each change takes effect at the next character the engine fills. GUI thread only.

#include <functional>

namespace kb {

class TForm1;

class TimingControls {
public:
    explicit TimingControls(TForm1& form);

    void UpDownVitesseClick();    // the speed-change step
    void SpinEditEspaceChange();  // character spacing
    void MenuEspaceMotClick(int factor);  // word spacing x1..x4
    void PoidsClick(int ratio);   // weight 3, 4 or 5
    void UpSpeedClick();
    void DownSpeedClick();
    void UpDownAmplitudeClick();  // the level-change step
    void UpVolumeClick();
    void DownVolumeClick();
    void Spacing1Click();         // opens the spacing panel
    void BitBtnOKEspaceClick();   // closes it

    // Recomputes the real speed and refreshes every text built from it.
    void refreshSpeedTexts();

    // Called after each change of speed, spacing or word factor: the summary labels of
    // the random and file views and the wave-recording panel's size recompute there.
    std::function<void()> afterTimingChange;

private:
    TForm1& f_;
};

}  // namespace kb

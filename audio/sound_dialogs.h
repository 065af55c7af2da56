#pragma once
// The three small sound dialogs: tone pitch (with the examination tone), noise level and
// bandwidth, and fading depth. Modeless, created once and hidden rather than destroyed;
// they act on the main window's tables and controls through the form. GUI thread only.

#include <QDialog>
#include <array>

class QCheckBox;
class QRadioButton;
class QSlider;

namespace kb {

class TForm1;

class TFormNote : public QDialog {
    Q_OBJECT
public:
    explicit TFormNote(TForm1& form);
    QSlider* TrackBarNote = nullptr;
    QCheckBox* CheckBoxTonExamen = nullptr;

    void TrackBarNoteChange();
    void CheckBoxTonExamenClick();
    // A stored NOTE=: the track bar shows the nearest position and the tone sounds at the
    // stored pitch itself, which may lie between two positions (805 Hz plays 805 Hz).
    void showStoredPitch(int position, long double pitch);

protected:
    void showEvent(QShowEvent* e) override;

private:
    void rebuildTone();
    TForm1& f_;
};

class TFormNoise : public QDialog {
    Q_OBJECT
public:
    explicit TFormNoise(TForm1& form);
    QSlider* TrackBarNoise = nullptr;
    QRadioButton* RadioButton10k = nullptr;
    QRadioButton* RadioButton5k = nullptr;
    QRadioButton* RadioButton2k = nullptr;
    QRadioButton* RadioButton1k = nullptr;

    void TrackBarNoiseChange();
    void bandwidthClick(int hold);
    // The bandwidth button of a noise hold (1, 2, 4, 8).
    QRadioButton* bandwidthButton(int hold);

private:
    TForm1& f_;
};

class TFormQSB : public QDialog {
    Q_OBJECT
public:
    explicit TFormQSB(TForm1& form);
    QSlider* TrackBarQSB = nullptr;

    void TrackBarQSBChange();

private:
    TForm1& f_;
};

}  // namespace kb

#pragma once
// The wave recorder on the window: the two menu items (the typed text, the random memo),
// the side panel that shows the file's size and takes the format and the rate, and the
// write, character by character, through the pure writer of receive/wav_writer.*. The
// file is written beside its chosen name and renamed into place only once complete, so
// a failed write leaves no partial file and keeps any older one. The recording settings
// last while the program runs; keybird.dat does not keep them. GUI thread only.

#include <QString>
#include <cstdint>
#include <functional>
#include <string>

#include "receive/wav_writer.h"

class QAction;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace kb {

class TForm1;

class RecordPanel {
public:
    // Builds the panel (hidden) and both menu items under Tools.
    explicit RecordPanel(TForm1& form);
    ~RecordPanel();
    RecordPanel(const RecordPanel&) = delete;
    RecordPanel& operator=(const RecordPanel&) = delete;

    void MenuSaveTextWaveClick();      // source: the typed text
    void MenuRecordMemoRandomClick();  // source: the random memo
    // Checks the source, works out the size and shows the panel; again after each change
    // of format, rate, speed or spacing while it is shown.
    void openPanel();
    void formatClick(int channels, int bits);
    void ComboBoxFrequenceChange(const QString& text);
    void BitBtnNoRecordClick();
    void BitBtnYesRecordClick();

    bool shown() const;
    const RecordFormat& format() const { return format_; }
    // RecordDataSize: the sample bytes of the last size worked out.
    std::uint64_t dataSize() const { return dataSize_; }

    QAction* MenuSaveTextWave = nullptr;      // Ctrl+Shift+F6
    QAction* MenuRecordMemoRandom = nullptr;  // Ctrl+Shift+F10
    QFrame* PanelTextRecord = nullptr;
    QLabel* LabelTextRecord = nullptr;
    QLabel* LabelTailleFichier = nullptr;
    QLabel* LabelValeurTailleFichier = nullptr;
    QLabel* LabelTextRecordContinue = nullptr;
    QLabel* LabelSamplingFrequency = nullptr;
    QComboBox* ComboBoxFrequence = nullptr;
    QGroupBox* GroupBoxTextRecord = nullptr;
    QRadioButton* RadioButtonMono8 = nullptr;
    QRadioButton* RadioButtonMono16 = nullptr;
    QRadioButton* RadioButtonStereo8 = nullptr;
    QRadioButton* RadioButtonStereo16 = nullptr;
    QPushButton* BitBtnYesRecord = nullptr;
    QPushButton* BitBtnNoRecord = nullptr;

private:
    void build();
    void wire();
    // The refusals shared by the opening and Yes; false after a warning. At Yes a random
    // run is told by its Stop button.
    bool sourceReady(bool atYes);
    // The source text (Windows-1252): the box, or the memo's lines joined with CR LF.
    std::string sourceText() const;
    RecordDurations durations() const;
    RecordSpacing spacing() const;
    // Works out RecordDataSize for the text and shows it.
    void refreshSize(const std::string& text);
    void close();
    // Writes the text as a wave file at `path`; 0, or the errno of the failed step.
    int writeFile(const std::string& path, const std::string& text);

    TForm1& f_;
    RecordFormat format_;         // RecordChannels, RecordBits, RecordRateDivisor
    bool fromTextBox_ = true;     // RecordFromTextBox
    std::uint64_t dataSize_ = 0;  // RecordDataSize
    std::function<void()> previousTimingChange_;
};

}  // namespace kb

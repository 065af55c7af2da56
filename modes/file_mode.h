#pragma once
// The text-file mode: PanelFile with the file's text (FileEdit), opening a file, Play,
// Resume, the highlight of the played part, Hide/Show, and the file buttons of the
// controls group. The file's bytes become text in core/text_file.*; this class wires
// that text to the window and the play control. GUI thread only.

#include <memory>
#include <optional>
#include <string>

#include <QString>

#include "modes/mode.h"

class QFrame;
class QLabel;
class QPushButton;
class QRadioButton;
class QTextEdit;
class QToolButton;

namespace kb {

class TForm1;

class FileMode final : public Mode {
public:
    // Builds the file panel, wires the file buttons and the File radio button, and
    // registers with the play control.
    explicit FileMode(TForm1& form);
    ~FileMode() override;

    // A file is loaded: the first line of FileEdit is not "MemoFile".
    bool fileLoaded() const;
    // The three-way rule of the file buttons: no file, both disabled and Play shown; a
    // stopped file, only Resume; otherwise only Play.
    void refreshFileButtons();
    // After Stop or a random run: whichever file button is shown is enabled again, when a
    // file is loaded.
    void reenableFileButtons();
    // A file is playing (Play or Resume until the end or Stop).
    bool fileModeOn() const { return fileModeOn_; }

    // Handlers.
    void RadioButtonFileClick();
    void ButtonPlayFileClick();
    void ButtonContinueFileClick();
    void ButtonHideFileClick();
    void FileEditKeyPress();  // Escape in the box
    void UpdateFileSummary();
    // The Hide/Show caption and the summary in the new language.
    void languageChanged();

    // What the highlight has reached: box characters taken so far, and how many more the
    // demo window's copy of the text (which keeps both halves of each CR LF) must select.
    int filePosition() const { return filePosition_; }
    int highlightSkew() const { return highlightSkew_; }
    // FileText as last taken at Play (Windows-1252, CR LF line breaks), and what a Stop
    // left to resume.
    const std::string& fileText() const { return fileText_; }
    const std::string& fileResumeText() const { return fileResumeText_; }
    bool textHidden() const { return hidden_; }
    // The instructor's "Masked file" lock: the text black and ButtonHideFile disabled;
    // cleared, the text shown and the button usable again.
    void setTextLocked(bool locked);

    // Mode.
    bool playing() const override { return fileModeOn_; }
    bool playsFileText() const override { return fileModeOn_; }
    void beforeCharacter() override;
    void adjustCharacter(CharacterSettings& c) const override;
    bool endsForReplay() override;
    void replayAgain() override;
    void normalEnd() override;
    void stopped(const std::optional<std::string>& unplayed) override;

    // The file panel.
    QFrame* PanelFile = nullptr;
    QTextEdit* FileEdit = nullptr;
    QLabel* PanelPathFile = nullptr;
    QLabel* LabelwordsFile = nullptr;
    QPushButton* ButtonHideFile = nullptr;
    QToolButton* SpeedButtonDemo = nullptr;
    QToolButton* SpeedButtonNoiseFile = nullptr;
    QToolButton* SpeedButtonQSBFile = nullptr;

    // The open dialog's filter.
    static constexpr const char* OpenDialogFileFilter =
        "Text file / fichier Texte (.TXT,.WRI,.RTF,.CWP) (*.TXT *.WRI *.RTF *.CWP *.txt *.wri "
        "*.rtf *.cwp);;All / Tous (*)";

private:
    class Box;

    void buildPanel();
    void wire();
    void showPanel();
    // The box's text as the reader made it: UTF-8, lines joined by "\n".
    std::string boxText() const;
    bool loadFile(const QString& path);
    void startPlaying(QPushButton* button);
    void showSelection();
    void clearSelection();
    void setTextHidden(bool hidden);
    void uncheck(QRadioButton* radio);
    void restorePreviousRadio();

    TForm1& f_;
    bool fileModeOn_ = false;        // FileModeOn
    std::string fileText_;           // FileText
    int filePosition_ = 0;           // FilePosition, in the box's positions
    int lastStep_ = 1;               // positions the last highlight step took
    std::string fileResumeText_;     // FileResumeText
    bool resumeMaskActive_ = false;  // MaskActive as Stop left it, for Resume
    QString loadedPath_;             // the path of the file the box holds
    int highlightSkew_ = 0;          // HighlightSkew
    bool hidden_ = false;
    bool locked_ = false;                    // the instructor's lock holds the text hidden
    QRadioButton* previousRadio_ = nullptr;  // the mode chosen before File was clicked
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace kb

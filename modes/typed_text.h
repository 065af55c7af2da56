#pragma once
// The typed-text mode: every character typed into the box is queued for playing at once
// (live typing), and the replay button plays the whole box again with the part already
// heard highlighted; a stopped replay can be resumed. It feeds the text queue and plays
// through the play control; the engine makes the sound. GUI thread only.

#include <string>

#include "modes/mode.h"

namespace kb {

class TForm1;

class TypedTextMode final : public Mode {
public:
    // Wires the typed box, the replay button and the clear button, and registers with
    // the play control.
    explicit TypedTextMode(TForm1& form);

    // One typed character (Windows-1252; 8 Backspace, 13 Enter) before the box edits
    // its text. Returns false when the box must not insert it.
    bool EditCaractereKeyPress(unsigned char key);
    // After every change of the box's text.
    void EditcaractereChange();
    // Page Up, Page Down, Up and Down (Qt key codes): swallowed; the arrows move the
    // selection of the visible reference list.
    void EditcaractereKeyDown(int qtKey);
    void EditcaractereClick();
    void ButtonReplayTextClick();
    void SpeedButtonRAZtextClick();
    // Escape in the box: closes the open side panel, else presses Stop when it is shown,
    // else Quit.
    void EscapeKey();

    // A replay of the box is playing.
    bool replayOn() const { return typedReplayOn_; }
    // What a stopped replay left to resume.
    const std::string& resumeText() const { return typedResumeText_; }
    // The caption the replay button shows: replay (true) or resume.
    bool replayCaptionShown() const { return replayCaptionState_; }
    // Focuses the box: with the resume selection and caption when a stopped replay
    // can be resumed, else with the caret at its end and the replay caption.
    void typedTextFocus();
    // The box was clicked since a file last started playing (TypedBoxClicked): the end
    // of the file leaves the focus in the box.
    bool boxClicked() const { return typedBoxClicked_; }
    void clearBoxClicked() { typedBoxClicked_ = false; }

    // Mode.
    bool playing() const override { return typedReplayOn_; }
    void beforeCharacter() override;
    bool endsForReplay() override;
    void replayAgain() override;
    void normalEnd() override;
    void stopped(const std::optional<std::string>& unplayed) override;

private:
    void setReplayCaption(bool replay);

    TForm1& f_;
    bool typedLive_ = false;          // typed characters sound as they are entered
    bool typedReplayOn_ = false;      // the box is being replayed
    int playedCount_ = 0;             // characters of the box taken so far
    std::string typedResumeText_;     // what a stopped replay left (Windows-1252)
    bool replayCaptionState_ = true;  // the replay button shows the replay caption
    bool shortcutPending_ = false;    // a shortcut key was typed: the box expands it
    std::string shortcutExpansion_;
    bool typedBoxClicked_ = false;
};

}  // namespace kb

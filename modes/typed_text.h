#pragma once
// The typed-text mode: every character typed into the box is queued for playing at once
// (live typing), and the replay button plays the whole box again with the part already
// heard highlighted; a stopped replay can be resumed. It only feeds the text queue; the
// playback engine makes the sound. GUI thread only.

namespace kb {

class TForm1;

class TypedTextMode {
public:
    explicit TypedTextMode(TForm1& form);

    // One typed character (Windows-1252; 8 Backspace, 13 Enter) before the box edits
    // its text. Returns false when the box must not insert it.
    bool EditCaractereKeyPress(unsigned char key);
    // After every change of the box's text.
    void EditcaractereChange();
    // Page Up, Page Down, Up and Down (Qt key codes): swallowed; the arrows move the
    // visible reference lists once they exist.
    void EditcaractereKeyDown(int qtKey);
    void EditcaractereClick();
    void ButtonReplayTextClick();
    void SpeedButtonRAZtextClick();
    // Escape in the box: closes the open side panel, else presses Stop when it is shown,
    // else Quit.
    void EscapeKey();

private:
    TForm1& f_;
};

}  // namespace kb

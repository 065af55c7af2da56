#pragma once
// The demo window: the file mode's text full-screen in large print, with the part already
// played marked, for a class to follow on a second screen or a projector. It follows the
// text and the highlight of FileEdit; the file mode clears or closes it when a file ends.
// GUI thread only.

#include <QDialog>

class QPlainTextEdit;

namespace kb {

class TForm1;

class TFormDemo final : public QDialog {
public:
    // Builds the window hidden, wires SpeedButtonDemo and follows FileEdit.
    explicit TFormDemo(TForm1& form);

    // Shown only while the file text is (a hidden text stays hidden here too).
    void SpeedButtonDemoClick();
    // The box's text changed: the copy follows, from its start.
    void FileEditChange();
    // The highlight moved (or only the skew grew): the same played part is marked.
    void FileEditSelectionChange();
    // A file ended and plays again: nothing is marked until it does.
    void clearSelection();

    QPlainTextEdit* MemoDemo = nullptr;

protected:
    void showEvent(QShowEvent* e) override;  // FormShow

private:
    void copyText();
    void selectPlayed();

    TForm1& f_;
    bool stale_ = false;  // the box changed while this window was hidden
};

}  // namespace kb

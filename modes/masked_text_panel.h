#pragma once
// The masked-text delimiters: the menu item and the side panel that set the opening and
// the closing character of the stretches a played file keeps silent (the walk skips
// them). The panel writes the window's mask state; keybird.dat keeps it. GUI thread only.

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kb {

class TForm1;

class MaskedTextPanel {
public:
    // Builds the panel (hidden) and the menu item under Options / Text.
    explicit MaskedTextPanel(TForm1& form);

    void MenuMaskedtextClick();  // opens the panel
    void ButtonMaskedTextOKClick();
    void ButtonMaskedTextCancelClick();
    // The menu item is checked exactly while an opening delimiter is set.
    void refreshMenuCheck();

    QAction* MenuMaskedtext = nullptr;  // Ctrl+Shift+F9
    QFrame* PanelMaskedText = nullptr;
    QLabel* LabelMaskedText = nullptr;
    QLineEdit* EditStartMaskedText = nullptr;
    QLabel* LabelStartMaskedText = nullptr;
    QLineEdit* EditEndMaskedText = nullptr;
    QLabel* LabelEndMaskedText = nullptr;
    QLabel* LabelHintMaskedText = nullptr;
    QPushButton* ButtonMaskedTextOK = nullptr;
    QPushButton* ButtonMaskedTextCancel = nullptr;

private:
    void close();

    TForm1& f_;
};

}  // namespace kb

#pragma once
// The shortcut editor: up to 26 code-less characters, each standing for a text of at most
// 36 characters that is sounded in its place. Slots keep their places: deleting empties
// one, creating fills the first free one. The alphabet list shows the used slots in slot
// order from row 128. A text may name its own key or form a cycle with other keys: the
// walk drops a key met again inside its own expansion, so playing always ends.
// GUI thread only.

#include <QObject>
#include <string>

#include "keying/local_characters_panel.h"

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kb {

class TForm1;

class ShortcutPanel {
public:
    explicit ShortcutPanel(TForm1& form);
    ~ShortcutPanel();

    void MenuLocalShortcutsClick();
    void EditShortcutChange();
    void ButtonShortcutEnterClick();
    void ButtonShortcutExitClick();

    // Whether the editor would take c as a key: a key with a code of its own would be
    // sounded, never replaced (the standard characters, "@", the local characters, the
    // other coded signs such as "!" and "(").
    bool acceptsKey(unsigned char c) const;
    // After keybird.dat's local characters are in: the slots whose key the editor refuses
    // are emptied, since no editor could reach them. Returns the keys dropped.
    std::string dropUnreachableSlots();

    // Rows 128.. of the alphabet list: the used slots in slot order, then single blanks up
    // to row 153. At start-up and after every change.
    void writeShortcutRows();

    QAction* MenuLocalShortcuts = nullptr;
    QFrame* PanelLocalShortcut = nullptr;
    QLabel* LabelPanelShortcut = nullptr;  // the title
    QLabel* Labelshortcutwarning = nullptr;
    QLineEdit* EditShortcut = nullptr;
    QLabel* LabelEditShortcut = nullptr;
    QLabel* LabelShortcutText = nullptr;
    QLineEdit* EditShortcutText = nullptr;
    ActionButtons actions;
    QPushButton* ButtonShortcutEnter = nullptr;
    QPushButton* ButtonShortcutExit = nullptr;
    QLabel* LabelShortcutPlein = nullptr;

public:
    // The page-full warning from the page's state, in the current language.
    void showFullLabel();

private:
    bool full() const;

    TForm1& f_;
    QObject context_;  // of the connections made here: they end with this panel
};

}  // namespace kb

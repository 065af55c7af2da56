#pragma once
// The local-character editor: up to 26 characters of the user's own (national letters and
// the like), each with its code and a comment. A local character's code goes into the
// Morse table under both its case forms, the character into the list the random groups
// draw from, and its row into the alphabet list (the comment lives only there). Entries
// stay packed: deleting one moves the later ones up. GUI thread only.

#include <QObject>
#include <QString>
#include <string>

class QAction;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace kb {

class TForm1;
struct Settings;

// The "Action" group both editors share: Create, Delete and Modify, at most one checked,
// all three may be unchecked.
class ActionButtons {
public:
    ActionButtons(QWidget* parent, const char* group, const char* create, const char* remove,
                  const char* modify);

    void uncheckAll();
    void enableAll();
    bool anyChecked() const;

    QGroupBox* box = nullptr;
    QRadioButton* Create = nullptr;
    QRadioButton* Delete = nullptr;
    QRadioButton* Modify = nullptr;
};

// The Windows-1252 byte of a one-character edit's text: 0 when empty, -1 when it is no
// printable Windows-1252 character (a control, a character outside the code page).
int editCharacter(const QLineEdit* edit);
// One of the 44 fixed characters of the character list (either case).
bool isStandardCharacter(unsigned char c);
// The Windows-1252 form of a widget text; what has no such form is dropped, so what the
// list shows is what keybird.dat keeps.
std::string cp1252Of(const QString& text);

class LocalCharactersPanel {
public:
    explicit LocalCharactersPanel(TForm1& form);
    ~LocalCharactersPanel();

    void MenuLocalCharactersClick();
    void EditLocalCharacterChange();
    void ButtonLocalCaractereEnterClick();
    void ButtonLocalCaractereExitClick();

    // True when c is a local character (either case).
    bool isLocalCharacter(unsigned char c) const;

    // keybird.dat: the local characters the file defines, with their rows; and the rows
    // back, in entry order.
    void applySettings(const Settings& s);
    void collectSettings(Settings& s) const;

    QAction* MenuLocalCharacters = nullptr;
    QFrame* PanelLocalCharacters = nullptr;
    QLabel* LabelLocalCharacters = nullptr;  // the title
    QLabel* LabelLocalWarning = nullptr;
    QLineEdit* EditLocalCharacter = nullptr;
    QLabel* LabelLocalCaractere = nullptr;
    QLineEdit* EditLocalCode = nullptr;
    QLabel* LabelLocalCode = nullptr;
    QLineEdit* EditLocalComment = nullptr;
    QLabel* LabelLocalComment = nullptr;
    ActionButtons actions;
    QPushButton* ButtonLocalCaractereEnter = nullptr;
    QPushButton* ButtonLocalCaractereExit = nullptr;
    QLabel* LabelLocalPlein = nullptr;

public:
    // The page-full warning from the page's state, in the current language.
    void showFullLabel();

private:
    // Entry 1..count holding c (either case); 0 none.
    int findEntry(unsigned char c) const;
    std::string row(int entry) const;  // Windows-1252
    void setRow(int entry, const std::string& text);
    void localCharactersChanged();

    TForm1& f_;
    QObject context_;  // of the connections made here: they end with this panel
    int entry_ = 0;    // the entry the typed character was found at; 0 none
};

}  // namespace kb

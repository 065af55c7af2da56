#pragma once
// The three reference lists (alphabet, Q codes, abbreviations) in the right-hand area:
// their rows, the mode switch of their three radio buttons, and what a release of the
// left button or Enter on a row plays. The local-character and shortcut editors write
// their rows of ListAlphabet through setAlphabetRow(). GUI thread only.

#include <QtCore/qnamespace.h>
#include <QString>
#include <string>

#include "modes/mode.h"
#include "ui/texts.h"

class QListWidget;
class QWidget;

namespace kb {

class TForm1;

// Fixed rows of ListAlphabet that other controllers write.
inline constexpr int AlphabetRowCount = 154;
inline constexpr int LocalCharacterFirstRow = 97;  // local character k is row 96 + k
inline constexpr int ShortcutFirstRow = 128;       // rows 128..153
// The alphabet list shows one page of this many rows at a time, pages side by side.
inline constexpr int AlphabetPageRows = 31;

class ReferenceLists final : public Mode {
public:
    // Builds the three lists (the alphabet one in alphabet mode, shown, the other two
    // hidden; row 0 selected in each), wires them and the three mode radio buttons.
    explicit ReferenceLists(TForm1& form);
    ~ReferenceLists() override;

    // Writes or reads one row of ListAlphabet (0..153).
    void setAlphabetRow(int row, const QString& text);
    QString alphabetRow(int row) const;
    // Enter in the typed-text box: plays the selected row of the list shown.
    void playSelectedRow();
    // Up / Down in the typed-text box: moves the shown list's selection by one row.
    void moveSelection(int delta);
    // The language's heading rows of ListAlphabet and every row of the other two lists;
    // selections and visibility stay as they are.
    void writeLanguageRows(Language lang);

    // Handlers.
    void RadioButtonAlphabetClick();
    void RadioButtonCodeQClick();
    void RadioButtonAbrevClick();
    void ListAlphabetMouseUp(Qt::MouseButton button);
    void ListCodeQMouseUp(Qt::MouseButton button);
    void ListAbreviationsMouseUp(Qt::MouseButton button);
    // A key press while the list has the focus (Qt key code); true when it was taken.
    bool ListAlphabetKeyPress(int qtKey);
    bool ListCodeQKeyPress(int qtKey);
    bool ListAbreviationsKeyPress(int qtKey);

    QListWidget* ListAlphabet = nullptr;
    QListWidget* ListCodeQ = nullptr;
    QListWidget* ListAbreviations = nullptr;

private:
    void fillCharacterRows();
    void switchTo(QListWidget* list);
    // Appends the item to the text queue and plays it.
    void playItem(const std::string& item);
    // What the selected row plays (Windows-1252), empty for nothing.
    std::string alphabetItem() const;
    std::string qCodeItem() const;
    std::string abbreviationItem() const;
    // The list is its mode's view in the right-hand area (whether or not the window is).
    bool shown(const QListWidget* list) const;

    TForm1& f_;
    QWidget* alphabetView_ = nullptr;  // holds ListAlphabet
};

}  // namespace kb

#pragma once
// The three reference lists (alphabet, Q codes, abbreviations) in the right-hand area:
// their rows, the mode switch of their three radio buttons, and what a release of the
// left button or Enter on a row plays. The local-character and shortcut editors write
// their rows of ListAlphabet through setAlphabetRow(). GUI thread only.
// Stub: replaced by the reference-lists branch.

#include <QString>

#include "modes/mode.h"

class QListWidget;

namespace kb {

class TForm1;

// Fixed rows of ListAlphabet that other controllers write.
inline constexpr int AlphabetRowCount = 154;
inline constexpr int LocalCharacterFirstRow = 97;  // local character k is row 96 + k
inline constexpr int ShortcutFirstRow = 128;       // rows 128..153

class ReferenceLists final : public Mode {
public:
    explicit ReferenceLists(TForm1& form);
    ~ReferenceLists() override;

    // Writes or reads one row of ListAlphabet (0..153).
    void setAlphabetRow(int row, const QString& text);
    QString alphabetRow(int row) const;
    // Enter in the typed-text box: plays the selected row of the list shown.
    void playSelectedRow();
    // Up / Down in the typed-text box: moves the shown list's selection by one row.
    void moveSelection(int delta);

    QListWidget* ListAlphabet = nullptr;
    QListWidget* ListCodeQ = nullptr;
    QListWidget* ListAbreviations = nullptr;

private:
    TForm1& f_;
};

}  // namespace kb

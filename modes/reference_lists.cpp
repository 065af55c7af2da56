#include "modes/reference_lists.h"

#include <QListWidget>

#include "ui/form1.h"

namespace kb {

// Stub: replaced by the reference-lists branch.
ReferenceLists::ReferenceLists(TForm1& form) : f_(form) {
    ListAlphabet = new QListWidget(f_.RightArea);
    ListAlphabet->setObjectName(QStringLiteral("ListAlphabet"));
    for (int r = 0; r < AlphabetRowCount; ++r) ListAlphabet->addItem(QString());
    ListCodeQ = new QListWidget(f_.RightArea);
    ListCodeQ->setObjectName(QStringLiteral("ListCodeQ"));
    ListCodeQ->hide();
    ListAbreviations = new QListWidget(f_.RightArea);
    ListAbreviations->setObjectName(QStringLiteral("ListAbreviations"));
    ListAbreviations->hide();
}

ReferenceLists::~ReferenceLists() = default;

void ReferenceLists::setAlphabetRow(int row, const QString& text) {
    if (row >= 0 && row < ListAlphabet->count()) ListAlphabet->item(row)->setText(text);
}

QString ReferenceLists::alphabetRow(int row) const {
    return row >= 0 && row < ListAlphabet->count() ? ListAlphabet->item(row)->text() : QString();
}

void ReferenceLists::playSelectedRow() {}

void ReferenceLists::moveSelection(int) {}

}  // namespace kb

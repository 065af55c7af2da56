#include "modes/reference_lists.h"

#include <QBoxLayout>
#include <QFontInfo>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <functional>

#include "core/cp1252.h"
#include "modes/file_mode.h"
#include "modes/play_control.h"
#include "modes/quiz_mode.h"
#include "modes/random_mode.h"
#include "ui/form1.h"
#include "ui/reference_texts.h"
#include "ui/typed_text_edit.h"
#include "ui/widgets.h"

namespace kb {

namespace {

// A read-only list, selected with the left button only, that hands the release of a mouse
// button and its key presses to its controller; the alphabet list also lays its rows out
// in pages side by side.
class ReferenceListBox final : public QListWidget {
public:
    ReferenceListBox(QWidget* parent, bool paged) : QListWidget(parent), paged_(paged) {
        setSelectionMode(QAbstractItemView::SingleSelection);
        setEditTriggers(QAbstractItemView::NoEditTriggers);
        if (!paged_) return;
        // Rows run down a page and on at the top of the next one; the view is exactly one
        // page wide and one page high, and scrolls sideways by whole pages.
        setFlow(QListView::TopToBottom);
        setWrapping(true);
        setResizeMode(QListView::Adjust);
        setUniformItemSizes(true);
        setHorizontalScrollMode(QAbstractItemView::ScrollPerItem);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }

    std::function<void(Qt::MouseButton)> mouseUp;
    std::function<bool(int)> keyPress;

    // Sizes the view to one page of rows, in a font small enough for the page to fit
    // `maxHeight` (the right-hand area's height), as it always has. (The view wraps a
    // column when the next row would reach its last pixel line, hence the one spare line.)
    void fitPage(int maxHeight) {
        const auto pageHeight = [this] {
            return rowHeight() * AlphabetPageRows + 1 + 2 * frameWidth() +
                   horizontalScrollBar()->sizeHint().height();
        };
        QFont f = font();
        for (int px = QFontInfo(f).pixelSize();
             px > MinimumPixelSize && pageHeight() > maxHeight;) {
            f.setPixelSize(--px);
            setFont(f);
        }
        setFixedHeight(pageHeight());
        updateGrid();
    }

protected:
    // Only the left button selects: a right or middle press would otherwise move the
    // selection, and a later Enter in the typed-text box would play that row instead.
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) QListWidget::mousePressEvent(e);
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) QListWidget::mouseDoubleClickEvent(e);
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) QListWidget::mouseReleaseEvent(e);
        if (mouseUp) mouseUp(e->button());
    }
    void keyPressEvent(QKeyEvent* e) override {
        if (keyPress && keyPress(e->key())) return;
        QListWidget::keyPressEvent(e);
    }
    void resizeEvent(QResizeEvent* e) override {
        QListWidget::resizeEvent(e);
        if (paged_) updateGrid();
    }

private:
    int rowHeight() const { return fontMetrics().height() + 2; }
    void updateGrid() {
        // A grid cell as wide as the view makes each column of rows a page.
        const QSize cell(std::max(1, viewport()->width()), rowHeight());
        if (gridSize() != cell) setGridSize(cell);
    }

    static constexpr int MinimumPixelSize = 9;  // still readable
    bool paged_;
};

// Holds the alphabet list at its full page height, so that a side panel opening below
// covers the lower rows instead of squeezing the list into pages of fewer rows.
class PageHolder final : public QWidget {
public:
    PageHolder(QWidget* parent, QWidget* page) : QWidget(parent), page_(page) {
        page_->setParent(this);
    }
    QSize sizeHint() const override { return {page_->sizeHint().width(), page_->height()}; }
    QSize minimumSizeHint() const override { return {page_->minimumSizeHint().width(), 0}; }

protected:
    void resizeEvent(QResizeEvent*) override { page_->setGeometry(0, 0, width(), page_->height()); }

private:
    QWidget* page_;
};

QFont listFont(bool fixedPitch) {
    QFont font(fixedPitch ? QStringLiteral("Courier") : QStringLiteral("Arial"));
    font.setStyleHint(fixedPitch ? QFont::TypeWriter : QFont::SansSerif);
    font.setFixedPitch(fixedPitch);
    font.setBold(true);
    return font;
}

// The list and the view that shows it in the right-hand area (the list itself, or its
// page holder).
ReferenceListBox* makeList(TForm1& f, const char* name, bool paged, int rows, QWidget*& view) {
    QWidget* area = f.RightArea;
    auto* list = named(new ReferenceListBox(area, paged), name);
    list->setFont(listFont(paged));
    QPalette p = list->palette();
    p.setColor(QPalette::Text, Qt::blue);
    list->setPalette(p);
    for (int r = 0; r < rows; ++r) list->addItem(QString());
    list->setCurrentRow(0);
    view = list;
    if (paged) {
        list->fitPage(qRound(425 * f.layoutScale()));
        view = named(new PageHolder(area, list), "ListAlphabetPage");
    }
    f.addModeView(view);
    return list;
}

int selectedRow(const QListWidget* list) {
    const QList<QListWidgetItem*> items = list->selectedItems();
    return items.isEmpty() ? -1 : list->row(items.first());
}

std::string rowText(const QListWidget* list, int row) {
    return utf8ToCp1252(list->item(row)->text().toStdString());
}

// One alphabet row of a character: blank, the character (or a prosign's two letters),
// its code from the fifth column padded to `width`, then its rhythm, "Di di dah".
QString characterRow(const std::string& shown, const std::string& code, std::size_t width) {
    std::string row = " " + shown;
    row.resize(4, ' ');
    row += code;
    row += code.size() < width ? std::string(width - code.size(), ' ') : std::string(" ");
    for (std::size_t i = 0; i < code.size(); ++i) {
        if (i > 0) row += ' ';
        const bool last = i + 1 == code.size();
        const char* syllable = code[i] == '-' ? "dah" : (last ? "dit" : "di");
        row += i == 0 ? char(syllable[0] - 'a' + 'A') + std::string(syllable + 1) : syllable;
    }
    return QString::fromStdString(row);
}

}  // namespace

ReferenceLists::ReferenceLists(TForm1& form) : f_(form) {
    QWidget* view = nullptr;
    auto* alphabet = makeList(f_, "ListAlphabet", true, AlphabetRowCount, alphabetView_);
    auto* codeQ = makeList(f_, "ListCodeQ", false, QCodeCount, view);
    auto* abbreviations = makeList(f_, "ListAbreviations", false, AbbreviationCount, view);
    ListAlphabet = alphabet;
    ListCodeQ = codeQ;
    ListAbreviations = abbreviations;
    codeQ->hide();
    abbreviations->hide();
    fillCharacterRows();

    alphabet->mouseUp = [this](Qt::MouseButton b) { ListAlphabetMouseUp(b); };
    codeQ->mouseUp = [this](Qt::MouseButton b) { ListCodeQMouseUp(b); };
    abbreviations->mouseUp = [this](Qt::MouseButton b) { ListAbreviationsMouseUp(b); };
    alphabet->keyPress = [this](int key) { return ListAlphabetKeyPress(key); };
    codeQ->keyPress = [this](int key) { return ListCodeQKeyPress(key); };
    abbreviations->keyPress = [this](int key) { return ListAbreviationsKeyPress(key); };

    QObject::connect(f_.RadioButtonAlphabet, &QRadioButton::clicked, &f_,
                     [this] { RadioButtonAlphabetClick(); });
    QObject::connect(f_.RadioButtonCodeQ, &QRadioButton::clicked, &f_,
                     [this] { RadioButtonCodeQClick(); });
    QObject::connect(f_.RadioButtonAbrev, &QRadioButton::clicked, &f_,
                     [this] { RadioButtonAbrevClick(); });
    for (QListWidget* list : {ListAlphabet, ListCodeQ, ListAbreviations}) {
        f_.addActivityControl(list);
    }
}

ReferenceLists::~ReferenceLists() = default;

void ReferenceLists::fillCharacterRows() {
    const MorseTable& morse = f_.morse();
    auto put = [&](int row, unsigned char c, std::size_t width) {
        setAlphabetRow(row, characterRow(std::string(1, static_cast<char>(c)), morse[c], width));
    };
    for (int k = 0; k < 26; ++k) put(2 + k, static_cast<unsigned char>('A' + k), 6);
    for (int k = 0; k < 10; ++k) put(33 + k, static_cast<unsigned char>('0' + k), 6);
    const std::string stops = "?/.,-=+";
    for (std::size_t k = 0; k < stops.size(); ++k) put(48 + static_cast<int>(k), stops[k], 7);
    put(56, '\'', 7);
    const struct {
        int row;
        const char* letters;
        unsigned char sign;
    } prosigns[] = {{64, "kn", TransmitSign},
                    {66, "as", WaitSign},
                    {68, "hh", ErrorSign},
                    {70, "va", EndOfWorkSign}};
    for (const auto& p : prosigns) setAlphabetRow(p.row, characterRow(p.letters, morse[p.sign], 7));
    put(72, '@', 7);
    setAlphabetRow(45, QStringLiteral(" "));
    for (int row = ShortcutFirstRow; row < AlphabetRowCount; ++row) {
        setAlphabetRow(row, QStringLiteral(" "));
    }
}

void ReferenceLists::setAlphabetRow(int row, const QString& text) {
    if (row >= 0 && row < ListAlphabet->count()) ListAlphabet->item(row)->setText(text);
}

QString ReferenceLists::alphabetRow(int row) const {
    return row >= 0 && row < ListAlphabet->count() ? ListAlphabet->item(row)->text() : QString();
}

void ReferenceLists::writeLanguageRows(Language lang) {
    const ReferenceTexts& t = referenceTexts(lang);
    for (int k = 0; k < ListingHeadingCount; ++k) {
        setAlphabetRow(ListingHeadingRows[k], QString::fromUtf8(t.ListingHeadings[k]));
    }
    for (int i = 0; i < QCodeCount; ++i) {
        ListCodeQ->item(i)->setText(QString::fromUtf8(t.QCodeTexts[i]));
    }
    for (int i = 0; i < AbbreviationCount; ++i) {
        ListAbreviations->item(i)->setText(QString::fromUtf8(t.AbbreviationTexts[i]));
    }
}

// --- The mode switch -------------------------------------------------------------------

void ReferenceLists::switchTo(QListWidget* list) {
    f_.fileMode().refreshFileButtons();
    f_.quiz().TimerQuiz->stop();
    f_.showModeView(list == ListAlphabet ? alphabetView_ : list);
    f_.randomMode().setQuickRandomEnabled(false);
    f_.randomMode().clearPlayRequested();
    f_.Editcaractere->setFocus();
}

void ReferenceLists::RadioButtonAlphabetClick() {
    switchTo(ListAlphabet);
}

void ReferenceLists::RadioButtonCodeQClick() {
    switchTo(ListCodeQ);
}

void ReferenceLists::RadioButtonAbrevClick() {
    switchTo(ListAbreviations);
}

// --- Playing a row ---------------------------------------------------------------------

std::string ReferenceLists::alphabetItem() const {
    const int row = selectedRow(ListAlphabet);
    if (row < 0) return {};
    const std::string text = rowText(ListAlphabet, row);
    // Headings, underlines, explanations, pointers and empty rows have no character in
    // the second column.
    if (text.size() < 2 || text[1] == ' ') return {};
    // Past the shortcut heading a row is a shortcut: its text after " X = ".
    if (row > 124) return text.size() > 5 ? text.substr(5) : std::string();
    switch (text[1]) {
        case 'a': return std::string(1, static_cast<char>(WaitSign));
        case 'h': return std::string(1, static_cast<char>(ErrorSign));
        case 'k': return std::string(1, static_cast<char>(TransmitSign));
        case 'v': return std::string(1, static_cast<char>(EndOfWorkSign));
        default: return std::string(1, text[1]);
    }
}

std::string ReferenceLists::qCodeItem() const {
    const int row = selectedRow(ListCodeQ);
    if (row < 0) return {};
    // The code and the blank after it: a word gap follows the code.
    return rowText(ListCodeQ, row).substr(0, 4);
}

std::string ReferenceLists::abbreviationItem() const {
    const int row = selectedRow(ListAbreviations);
    if (row < 0) return {};
    const std::string text = rowText(ListAbreviations, row);
    if (text.size() < 2 || text[1] == ' ') return {};
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos || colon < 2) return {};
    // The abbreviation and the blank before the colon, for a word gap after it.
    return text.substr(1, colon - 1);
}

void ReferenceLists::playItem(const std::string& item) {
    f_.play().engine().pendingText() += item;
    f_.play().play();
}

void ReferenceLists::ListAlphabetMouseUp(Qt::MouseButton button) {
    if (button != Qt::LeftButton) return;
    const std::string item = alphabetItem();
    if (item.empty()) return;
    // A character is short: the other controls stay usable while it sounds.
    playItem(item);
}

void ReferenceLists::ListCodeQMouseUp(Qt::MouseButton button) {
    if (button != Qt::LeftButton) return;
    const std::string item = qCodeItem();
    if (item.empty()) return;
    f_.play().engine().pendingText() += item;
    for (QWidget* w : std::initializer_list<QWidget*>{
             f_.RadioButtonAlphabet, f_.RadioButtonRandom, f_.RadioButtonAbrev, f_.RadioButtonFile,
             f_.RadioButtonQuiz, f_.RadioButtonMonitor, f_.ButtonReplayText, f_.ButtonPlayFile,
             f_.ButtonContinueFile}) {
        w->setEnabled(false);
    }
    f_.play().play();
}

void ReferenceLists::ListAbreviationsMouseUp(Qt::MouseButton button) {
    if (button != Qt::LeftButton) return;
    const std::string item = abbreviationItem();
    if (item.empty()) return;
    f_.play().engine().pendingText() += item;
    for (QWidget* w : std::initializer_list<QWidget*>{
             f_.RadioButtonAlphabet, f_.RadioButtonCodeQ, f_.RadioButtonRandom, f_.RadioButtonFile,
             f_.RadioButtonQuiz, f_.RadioButtonMonitor, f_.ButtonReplayText, f_.ButtonPlayFile,
             f_.ButtonContinueFile}) {
        w->setEnabled(false);
    }
    f_.play().play();
}

bool ReferenceLists::ListAlphabetKeyPress(int qtKey) {
    if (qtKey != Qt::Key_Return && qtKey != Qt::Key_Enter) return false;
    if (selectedRow(ListAlphabet) >= 0) ListAlphabetMouseUp(Qt::LeftButton);
    return true;
}

bool ReferenceLists::ListCodeQKeyPress(int qtKey) {
    if (qtKey != Qt::Key_Return && qtKey != Qt::Key_Enter) return false;
    if (selectedRow(ListCodeQ) >= 0) ListCodeQMouseUp(Qt::LeftButton);
    return true;
}

bool ReferenceLists::ListAbreviationsKeyPress(int qtKey) {
    if (qtKey != Qt::Key_Return && qtKey != Qt::Key_Enter) return false;
    if (selectedRow(ListAbreviations) >= 0) ListAbreviationsMouseUp(Qt::LeftButton);
    return true;
}

// --- From the typed-text box -------------------------------------------------------------

bool ReferenceLists::shown(const QListWidget* list) const {
    return list->isVisibleTo(f_.RightArea);
}

void ReferenceLists::playSelectedRow() {
    if (shown(ListAlphabet)) ListAlphabetMouseUp(Qt::LeftButton);
    if (shown(ListCodeQ)) ListCodeQMouseUp(Qt::LeftButton);
    if (shown(ListAbreviations)) ListAbreviationsMouseUp(Qt::LeftButton);
}

void ReferenceLists::moveSelection(int delta) {
    for (QListWidget* list : {ListAlphabet, ListCodeQ, ListAbreviations}) {
        if (!shown(list)) continue;
        const int row = selectedRow(list) + delta;
        // Down stops at the last row, Up at the first.
        if (row < 0 || row >= list->count()) continue;
        list->setCurrentRow(row);
        list->scrollToItem(list->item(row));
    }
}

}  // namespace kb

#include "modes/random_mode.h"

#include <QAction>
#include <QActionGroup>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTextBlock>
#include <QTextCursor>
#include <QToolButton>
#include <QVBoxLayout>
#include <string>
#include <utility>
#include <vector>

#include "audio/sound_dialogs.h"
#include "core/cp1252.h"
#include "modes/lesson_panel.h"
#include "modes/play_control.h"
#include "modes/quiz_mode.h"
#include "modes/typed_text.h"
#include "ui/form1.h"
#include "ui/text_save.h"
#include "ui/timing_controls.h"
#include "ui/typed_text_edit.h"
#include "ui/ui_services.h"
#include "ui/widgets.h"

namespace kb {

namespace {

QString toQString(std::string_view cp1252) {
    return QString::fromStdString(cp1252ToUtf8(cp1252));
}
std::string toCp1252(const QString& text) {
    return utf8ToCp1252(text.toStdString());
}

// A menu caption as a name: without its access-key marker.
QString withoutAccessKey(QString caption) {
    const qsizetype amp = caption.indexOf(QLatin1Char('&'));
    if (amp >= 0) caption.remove(amp, 1);
    return caption;
}

QAction* namedAction(QObject* parent, const char* name, const QKeySequence& key = {}) {
    auto* a = named(new QAction(parent), name);
    a->setShortcut(key);
    return a;
}

constexpr const char* SaveFilter =
    "Text file / Fichier texte (.txt;.wri;.cwp) (*.txt *.wri *.cwp);;All / Tous (*.*)";

}  // namespace

// The memo: a press or release of the mouse puts the caret back at the end, so generated
// text is always appended; Escape acts as the window's Escape.
class RandomMode::Memo final : public QPlainTextEdit {
public:
    Memo(RandomMode& mode, QWidget* parent) : QPlainTextEdit(parent), mode_(mode) {}

protected:
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Escape) {
            mode_.escapeKey();
            return;
        }
        QPlainTextEdit::keyPressEvent(e);
    }
    void mousePressEvent(QMouseEvent* e) override {
        QPlainTextEdit::mousePressEvent(e);
        mode_.memoCaretToEnd();
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        QPlainTextEdit::mouseReleaseEvent(e);
        mode_.memoCaretToEnd();
    }

private:
    RandomMode& mode_;
};

RandomMode::RandomMode(TForm1& form) : f_(form), groups_(form.characters(), form.random()) {
    buildView();
    buildMenus();
    buildChoicePanel();
    lessonPanel_ = std::make_unique<LessonPanel>(form, *this);
    wire();
    form.play().addMode(*this);
    // The random button and Play stay usable during a run, not during other activities.
    form.addActivityControl(form.RadioButtonRandom, this);
    form.addActivityControl(BitBtnPlayRandom, this);
    // The summary shows the spacing and the real speed.
    previousTimingChange_ = std::move(form.timing().afterTimingChange);
    form.timing().afterTimingChange = [this] {
        if (previousTimingChange_) previousTimingChange_();
        UpdateRandomSummary();
    };
    form.examinationGroups = [this] {
        if (!MenuFixedWords[5 - MinWordLength]->isChecked()) {
            MenuFixedWords[5 - MinWordLength]->trigger();
        }
        if (!MenuWordContent->isChecked()) MenuWordContent->trigger();
    };
    showPage();
    PanelRandomLessonCaption->setText(QStringLiteral(" All"));
    UpdateRandomSummary();
}

RandomMode::~RandomMode() {
    f_.timing().afterTimingChange = std::move(previousTimingChange_);
    f_.examinationGroups = nullptr;
}

// --- Building ------------------------------------------------------------------------------

void RandomMode::buildView() {
    GroupBoxRandom = named(new QGroupBox(f_.RightArea), "GroupBoxRandom");
    auto* v = new QVBoxLayout(GroupBoxRandom);

    auto* countRow = new QHBoxLayout;
    LabelRandomNumber = named(new QLabel(GroupBoxRandom), "LabelRandomNumber");
    SpinEditRandomNumber = named(new QSpinBox(GroupBoxRandom), "SpinEditRandomNumber");
    SpinEditRandomNumber->setRange(5, 1000);
    SpinEditRandomNumber->setSingleStep(5);
    SpinEditRandomNumber->setValue(250);
    ButtonHide = named(new QPushButton(GroupBoxRandom), "ButtonHide");
    countRow->addWidget(LabelRandomNumber);
    countRow->addWidget(SpinEditRandomNumber);
    countRow->addStretch();
    v->addLayout(countRow);

    auto* playRow = new QHBoxLayout;
    BitBtnPlayRandom = named(new QPushButton(GroupBoxRandom), "BitBtnPlayRandom");
    BitBtnStopRandom =
        named(new QPushButton(QStringLiteral("Stop"), GroupBoxRandom), "BitBtnStopRandom");
    BitBtnStopRandom->hide();
    SpeedButtonNoise = named(new QToolButton(GroupBoxRandom), "SpeedButtonNoise");
    SpeedButtonNoise->setText(QStringLiteral("\u223F"));
    SpeedButtonQSB = named(new QToolButton(GroupBoxRandom), "SpeedButtonQSB");
    SpeedButtonQSB->setText(QStringLiteral("QSB"));
    for (QToolButton* b : {SpeedButtonNoise, SpeedButtonQSB}) {
        b->setCheckable(true);
        b->setContextMenuPolicy(Qt::CustomContextMenu);
    }
    playRow->addWidget(BitBtnPlayRandom);
    playRow->addWidget(BitBtnStopRandom);
    playRow->addWidget(ButtonHide);
    playRow->addStretch();
    playRow->addWidget(SpeedButtonNoise);
    playRow->addWidget(SpeedButtonQSB);
    v->addLayout(playRow);

    PanelRandomLesson = named(new QFrame(GroupBoxRandom), "PanelRandomLesson");
    PanelRandomLesson->setFrameShape(QFrame::StyledPanel);
    auto* lessonRow = new QHBoxLayout(PanelRandomLesson);
    PanelRandomLessonCaption = named(new QLabel(PanelRandomLesson), "PanelRandomLessonCaption");
    ButtonChangeLesson = named(new QPushButton(PanelRandomLesson), "ButtonChangeLesson");
    lessonRow->addWidget(PanelRandomLessonCaption, 1);
    lessonRow->addWidget(ButtonChangeLesson);
    v->addWidget(PanelRandomLesson);

    LabelWords = named(new QLabel(GroupBoxRandom), "LabelWords");
    LabelWords->setWordWrap(true);
    v->addWidget(LabelWords);

    MemoRandom = named(new Memo(*this, GroupBoxRandom), "MemoRandom");
    MemoRandom->setReadOnly(true);
    MemoRandom->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    v->addWidget(MemoRandom, 1);

    GroupBoxRandom->hide();
    f_.addModeView(GroupBoxRandom);
}

void RandomMode::buildMenus() {
    TForm1& f = f_;
    Randomcaracters1 = named(new QMenu(f.MenuComm), "Randomcaracters1");
    f.MenuComm->insertMenu(f.Spacing1, Randomcaracters1);
    MenuLetters = namedAction(&f, "MenuLetters", Qt::Key_F5);
    MenuFigures = namedAction(&f, "MenuFigures", Qt::Key_F6);
    MenuStops = namedAction(&f, "MenuStops", Qt::Key_F7);
    MenuLocal = namedAction(&f, "MenuLocal", Qt::Key_F8);
    MenuLettersFigures = namedAction(&f, "MenuLettersFigures", Qt::Key_F9);
    MenuAll = namedAction(&f, "MenuAll", Qt::Key_F10);
    MenuChoixCaracteres = namedAction(&f, "MenuChoixCaracteres", Qt::Key_F11);
    for (QAction* a : {MenuLetters, MenuFigures, MenuStops, MenuLocal, MenuLettersFigures, MenuAll,
                       MenuChoixCaracteres}) {
        a->setCheckable(true);
        Randomcaracters1->addAction(a);
    }
    MenuAll->setChecked(true);
    Randomcaracters1->addSeparator();
    MenuAddV = namedAction(&f, "MenuAddV", Qt::Key_F12);
    MenuAddV->setCheckable(true);
    Randomcaracters1->addAction(MenuAddV);

    MenuWordslength = named(Randomcaracters1->addMenu(QString()), "MenuWordslength");
    lengthGroup_ = new QActionGroup(&f);
    for (int k = 0; k < 7; ++k) {
        const QByteArray name = "MenuFixedWords" + QByteArray::number(k + MinWordLength);
        MenuFixedWords[k] = namedAction(&f, name.constData());
    }
    MenuRandomWords = namedAction(&f, "MenuRandomWords");
    for (int k = 0; k <= 7; ++k) {
        QAction* a = k < 7 ? MenuFixedWords[k] : MenuRandomWords;
        a->setCheckable(true);
        lengthGroup_->addAction(a);
        MenuWordslength->addAction(a);
    }
    MenuFixedWords[DefaultWordLength - MinWordLength]->setChecked(true);
    MenuWordContent = namedAction(&f, "MenuWordContent");
    menuCallsigns = namedAction(&f, "menuCallsigns");
    for (QAction* a : {MenuWordContent, menuCallsigns}) {
        a->setCheckable(true);
        MenuWordslength->addAction(a);
    }
    menuCallsigns->setEnabled(false);

    ClearMemoRandom = namedAction(&f, "ClearMemoRandom", Qt::CTRL | Qt::SHIFT | Qt::Key_F1);
    SaveMemoRandom1 = namedAction(&f, "SaveMemoRandom1", Qt::CTRL | Qt::SHIFT | Qt::Key_F2);
    MenuQuickRandom = namedAction(&f, "MenuQuickRandom", Qt::CTRL | Qt::SHIFT | Qt::Key_F11);
    MenuQuickRandom->setEnabled(false);
    f.MenuOutils->insertActions(f.MenuOutilsQuit,
                                {ClearMemoRandom, SaveMemoRandom1, MenuQuickRandom});
    f.MenuOutils->insertSeparator(f.MenuOutilsQuit);
}

void RandomMode::buildChoicePanel() {
    PanelChoixRandom = named(new QGroupBox(f_.RightArea), "PanelChoixRandom");
    auto* v = new QVBoxLayout(PanelChoixRandom);
    LabelChoixCaracteres = panelTitle(PanelChoixRandom, "LabelChoixCaracteres");
    v->addWidget(LabelChoixCaracteres);
    BoxCaracteresChoix = named(new QLineEdit(PanelChoixRandom), "BoxCaracteresChoix");
    BoxCaracteresChoix->setMaxLength(MaxChosenCharacters);
    BoxCaracteresChoix->setText(QStringLiteral(" "));
    v->addWidget(BoxCaracteresChoix);
    BoxCaracteresChoixList = named(new QListWidget(PanelChoixRandom), "BoxCaracteresChoixList");
    v->addWidget(BoxCaracteresChoixList, 1);
    auto* pageRow = new QHBoxLayout;
    SpeedButtonChoixMoins = named(new QToolButton(PanelChoixRandom), "SpeedButtonChoixMoins");
    SpeedButtonChoixMoins->setArrowType(Qt::LeftArrow);
    Label3 = named(new QLabel(PanelChoixRandom), "Label3");
    Label3->setWordWrap(true);
    SpeedButtonChoixPlus = named(new QToolButton(PanelChoixRandom), "SpeedButtonChoixPlus");
    SpeedButtonChoixPlus->setArrowType(Qt::RightArrow);
    pageRow->addWidget(SpeedButtonChoixMoins);
    pageRow->addWidget(Label3, 1);
    pageRow->addWidget(SpeedButtonChoixPlus);
    v->addLayout(pageRow);
    auto* buttons = new QHBoxLayout;
    ButtonChoixCaractereOK =
        named(new QPushButton(QStringLiteral("OK"), PanelChoixRandom), "ButtonChoixCaractereOK");
    ButtonCancelChoix = named(new QPushButton(PanelChoixRandom), "ButtonCancelChoix");
    buttons->addStretch();
    buttons->addWidget(ButtonChoixCaractereOK);
    buttons->addWidget(ButtonCancelChoix);
    v->addLayout(buttons);
    f_.addSidePanel(PanelChoixRandom, [this] { ButtonCancelChoix->click(); });
}

void RandomMode::wire() {
    TForm1& f = f_;
    QObject* ctx = &context_;
    QObject::connect(f.RadioButtonRandom, &QRadioButton::toggled, ctx, [this](bool on) {
        if (on) ButtonChoixRandomClick();
    });
    QObject::connect(BitBtnPlayRandom, &QPushButton::clicked, ctx,
                     [this] { BitBtnPlayRandomClick(); });
    QObject::connect(BitBtnStopRandom, &QPushButton::clicked, ctx,
                     [this] { BitBtnStopRandomClick(); });
    QObject::connect(ButtonHide, &QPushButton::clicked, ctx, [this] { ButtonHideClick(); });
    QObject::connect(ButtonChangeLesson, &QPushButton::clicked, ctx,
                     [this] { MenuChoixCaracteresClick(); });
    QObject::connect(SpeedButtonNoise, &QToolButton::customContextMenuRequested, ctx,
                     [&f] { f.MenuNoisesettings->trigger(); });
    QObject::connect(SpeedButtonQSB, &QToolButton::customContextMenuRequested, ctx,
                     [&f] { f.MenuQSBsetting->trigger(); });

    const std::pair<QAction*, CharacterClass> sets[] = {
        {MenuLetters, CharacterClass::Letters},
        {MenuFigures, CharacterClass::Figures},
        {MenuStops, CharacterClass::Stops},
        {MenuLocal, CharacterClass::Local},
        {MenuLettersFigures, CharacterClass::LettersFigures},
        {MenuAll, CharacterClass::All},
    };
    for (const auto& item : sets) {
        const CharacterClass cls = item.second;
        QObject::connect(item.first, &QAction::triggered, ctx, [this, cls] { MenuSetClick(cls); });
    }
    QObject::connect(MenuChoixCaracteres, &QAction::triggered, ctx, [this] {
        // The item's mark tells the set in use; opening the panel changes no set.
        MenuChoixCaracteres->setChecked(setClass_ == CharacterClass::Chosen);
        MenuChoixCaracteresClick();
    });
    QObject::connect(MenuAddV, &QAction::triggered, ctx, [this] { MenuAddVClick(); });
    for (int k = 0; k < 7; ++k) {
        QObject::connect(MenuFixedWords[k], &QAction::triggered, ctx,
                         [this, k] { MenuFixedWordsClick(k + MinWordLength); });
    }
    QObject::connect(MenuRandomWords, &QAction::triggered, ctx, [this] { MenuRandomWordsClick(); });
    QObject::connect(MenuWordContent, &QAction::triggered, ctx, [this] { MenuWordContentClick(); });
    QObject::connect(menuCallsigns, &QAction::triggered, ctx, [this] { menuCallsignsClick(); });
    QObject::connect(ClearMemoRandom, &QAction::triggered, ctx, [this] { ClearMemoRandomClick(); });
    QObject::connect(SaveMemoRandom1, &QAction::triggered, ctx, [this] { SaveMemoRandom1Click(); });
    QObject::connect(MenuQuickRandom, &QAction::triggered, ctx, [this] { MenuQuickRandomClick(); });

    QObject::connect(BoxCaracteresChoix, &QLineEdit::textEdited, ctx,
                     [this] { BoxCaracteresChoixChange(); });
    QObject::connect(BoxCaracteresChoixList, &QListWidget::itemClicked, ctx,
                     [this](QListWidgetItem* item) {
                         BoxCaracteresChoixItemClick(BoxCaracteresChoixList->row(item));
                     });
    new KeyHook(BoxCaracteresChoix, [this](int key) {
        if (key == Qt::Key_Escape) {
            ButtonCancelChoix->click();
        } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            ButtonChoixCaractereOK->click();
        } else {
            return false;
        }
        return true;
    });
    QObject::connect(SpeedButtonChoixMoins, &QToolButton::clicked, ctx,
                     [this] { SpeedButtonChoixMoinsClick(); });
    QObject::connect(SpeedButtonChoixPlus, &QToolButton::clicked, ctx,
                     [this] { SpeedButtonChoixPlusClick(); });
    QObject::connect(ButtonChoixCaractereOK, &QPushButton::clicked, ctx,
                     [this] { ButtonChoixCaractereOKClick(); });
    QObject::connect(ButtonCancelChoix, &QPushButton::clicked, ctx,
                     [this] { ButtonCancelChoixClick(); });
}

// --- The memo ------------------------------------------------------------------------------

void RandomMode::memoCaretToEnd() {
    MemoRandom->moveCursor(QTextCursor::End);
}

bool RandomMode::memoFirstLineEmpty() const {
    return MemoRandom->document()->firstBlock().text().isEmpty();
}

void RandomMode::appendToMemo(const QString& text) {
    memoCaretToEnd();
    MemoRandom->insertPlainText(text);
}

void RandomMode::startNewMemoLine() {
    // Each run, and each count restarted by a set change, begins on its own line.
    if (!memoFirstLineEmpty()) appendToMemo(QStringLiteral("\n"));
}

void RandomMode::ClearMemoRandomClick() {
    const SharedTexts& t = f_.texts().shared;
    if (runOn_) {
        f_.ui().warning(&f_, QString::fromUtf8(t.msgStopRandomBeforeClearing));
        return;
    }
    if (memoFirstLineEmpty()) {
        f_.ui().warning(&f_, QString::fromUtf8(t.msgNothingToClear));
        return;
    }
    MemoRandom->clear();
    groups_.resetGroup();
}

void RandomMode::SaveMemoRandom1Click() {
    const SharedTexts& t = f_.texts().shared;
    if (runOn_) {
        f_.ui().warning(&f_, QString::fromUtf8(t.msgStopRandomBeforeRecording));
        return;
    }
    if (memoFirstLineEmpty()) {
        f_.ui().warning(&f_, QString::fromUtf8(t.msgNothingToRecord));
        return;
    }
    const QString path =
        f_.ui().saveFileName(&f_, QStringLiteral("Random1.cwp"), QString::fromLatin1(SaveFilter));
    if (path.isEmpty()) return;
    std::vector<std::string> lines;
    for (QTextBlock b = MemoRandom->document()->firstBlock(); b.isValid(); b = b.next()) {
        lines.push_back(toCp1252(b.text()));
    }
    QString error;
    if (!writeCrLfTextFile(path, lines, error)) {
        f_.ui().error(&f_, QStringLiteral("%1\n%2").arg(path, error));
        return;
    }
    f_.state().currentFileName = path.toStdString();
}

void RandomMode::ButtonHideClick() {
    // The instructor's lock keeps the memo hidden whatever reaches this handler.
    if (memoLocked_) return;
    setMemoHidden(!memoHidden_);
}

void RandomMode::setMemoLocked(bool locked) {
    memoLocked_ = locked;
    ButtonHide->setEnabled(!locked);
    setMemoHidden(locked);
}

void RandomMode::setMemoHidden(bool hidden) {
    memoHidden_ = hidden;
    QPalette p = MemoRandom->palette();
    if (hidden) {
        // Black on black, and no selection or copy that could bring the text out.
        for (QPalette::ColorRole role :
             {QPalette::Base, QPalette::Text, QPalette::Highlight, QPalette::HighlightedText}) {
            p.setColor(role, Qt::black);
        }
    }
    MemoRandom->setPalette(hidden ? p : QPalette());
    MemoRandom->setTextInteractionFlags(
        hidden ? Qt::NoTextInteraction : Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    MemoRandom->setContextMenuPolicy(hidden ? Qt::NoContextMenu : Qt::DefaultContextMenu);
    memoCaretToEnd();
    const SharedTexts& t = f_.texts().shared;
    ButtonHide->setText(QString::fromUtf8(hidden ? t.showCaption : t.hideCaption));
}

void RandomMode::escapeKey() {
    f_.typed().EscapeKey();
}

// --- Options -------------------------------------------------------------------------------

QAction* RandomMode::setItem(CharacterClass cls) const {
    switch (cls) {
        case CharacterClass::Letters: return MenuLetters;
        case CharacterClass::Figures: return MenuFigures;
        case CharacterClass::Stops: return MenuStops;
        case CharacterClass::Local: return MenuLocal;
        case CharacterClass::LettersFigures: return MenuLettersFigures;
        case CharacterClass::All: return MenuAll;
        case CharacterClass::Chosen: break;
    }
    return MenuChoixCaracteres;
}

void RandomMode::checkSetItem(CharacterClass cls) {
    setClass_ = cls;
    for (QAction* a : {MenuLetters, MenuFigures, MenuStops, MenuLocal, MenuLettersFigures, MenuAll,
                       MenuChoixCaracteres}) {
        a->setChecked(a == setItem(cls));
    }
}

void RandomMode::syncOptions() {
    GroupOptions& o = groups_.options;
    o.leadingV = MenuAddV->isChecked();
    o.randomLength = MenuRandomWords->isChecked();
    o.nonMixed = MenuWordContent->isChecked();
    o.callsigns = menuCallsigns->isChecked();
}

void RandomMode::localCharactersChanged() {
    if (setClass_ == CharacterClass::All || setClass_ == CharacterClass::Local) {
        groups_.set = characterSet(setClass_, f_.characters().localCount, 0);
    }
}

void RandomMode::MenuSetClick(CharacterClass cls) {
    groups_.set = characterSet(cls, f_.characters().localCount, 0);
    checkSetItem(cls);
    // Callsigns are letters and figures in groups of five.
    const bool callsigns =
        cls == CharacterClass::LettersFigures && MenuFixedWords[5 - MinWordLength]->isChecked();
    menuCallsigns->setEnabled(callsigns);
    if (!callsigns) menuCallsigns->setChecked(false);
    refreshSetName();
    memoCaretToEnd();
    if (runOn_) restartRunCount();
    syncOptions();
    UpdateRandomSummary();
}

void RandomMode::restartRunCount() {
    groups_.restartCount(SpinEditRandomNumber->value());
    startNewMemoLine();
}

void RandomMode::MenuAddVClick() {
    syncOptions();
    UpdateRandomSummary();
}

void RandomMode::MenuFixedWordsClick(int length) {
    MenuFixedWords[static_cast<std::size_t>(length - MinWordLength)]->setChecked(true);
    groups_.setWordLength(length);
    const bool callsigns = length == 5 && MenuLettersFigures->isChecked();
    menuCallsigns->setEnabled(callsigns);
    if (!callsigns) menuCallsigns->setChecked(false);
    syncOptions();
    UpdateRandomSummary();
}

void RandomMode::MenuRandomWordsClick() {
    MenuRandomWords->setChecked(true);
    menuCallsigns->setEnabled(false);
    menuCallsigns->setChecked(false);
    syncOptions();
    UpdateRandomSummary();
}

void RandomMode::MenuWordContentClick() {
    if (MenuWordContent->isChecked()) menuCallsigns->setChecked(false);
    syncOptions();
    UpdateRandomSummary();
}

void RandomMode::menuCallsignsClick() {
    if (menuCallsigns->isChecked()) MenuWordContent->setChecked(false);
    syncOptions();
    UpdateRandomSummary();
}

void RandomMode::UpdateRandomSummary() {
    GroupSummary g;
    g.wordLength = groups_.wordLength();
    g.randomLength = MenuRandomWords->isChecked();
    g.leadingVs = MenuAddV->isChecked();
    g.content = MenuWordContent->isChecked() ? GroupContent::NonMixed
                : menuCallsigns->isChecked() ? GroupContent::Callsigns
                                             : GroupContent::Mixed;
    LabelWords->setText(QString::fromStdString(randomSummaryText(
        f_.summaryWords(), g, f_.timing().SpinEditEspace->value(), f_.timing().effectiveSpeed())));
}

void RandomMode::showSetName(const QString& name) {
    PanelRandomLessonCaption->setText(QLatin1Char(' ') + name);
    f_.quiz().showSetName(name);
}

// A lesson is named by the number it was chosen with (OK), not by the row the choice
// panel shows now: paging through the lessons without OK changes no set.
void RandomMode::refreshSetName() {
    if (setClass_ != CharacterClass::Chosen || chosenLesson_ == 0) {
        showSetName(withoutAccessKey(setItem(setClass_)->text()));
    } else {
        showSetName(QString::fromUtf8(f_.texts().shared.lessonWord) +
                    QStringLiteral(" #%1").arg(chosenLesson_));
    }
}

void RandomMode::languageChanged() {
    refreshSetName();
    memoCaretToEnd();
    const SharedTexts& t = f_.texts().shared;
    ButtonHide->setText(QString::fromUtf8(memoHidden_ ? t.showCaption : t.hideCaption));
    UpdateRandomSummary();
}

void RandomMode::setQuickRandomEnabled(bool on) {
    MenuQuickRandom->setEnabled(on);
}

// --- The choice panel ----------------------------------------------------------------------

void RandomMode::MenuChoixCaracteresClick() {
    if (f_.quiz().quizOn()) f_.quiz().stopQuiz();
    f_.openSidePanel(PanelChoixRandom);
    BoxCaracteresChoix->setFocus();
    // Typing replaces what the box holds, as the box's text is selected on entry.
    BoxCaracteresChoix->selectAll();
    savedText_ = BoxCaracteresChoix->text();
    savedRow_ = BoxCaracteresChoixList->currentRow();
    savedPage_ = lessonPage_;
    menuCallsigns->setEnabled(false);
    menuCallsigns->setChecked(false);
    syncOptions();
    UpdateRandomSummary();
}

void RandomMode::BoxCaracteresChoixChange() {
    QLineEdit* box = BoxCaracteresChoix;
    const QString lower = box->text().toLower();
    if (lower == box->text()) return;
    const int caret = box->cursorPosition();
    box->setText(lower);
    box->setCursorPosition(caret);
}

void RandomMode::BoxCaracteresChoixItemClick(int row) {
    if (row < 0) return;
    BoxCaracteresChoixList->setCurrentRow(row);
    BoxCaracteresChoix->setText(BoxCaracteresChoixList->item(row)->text());
}

void RandomMode::showPage() {
    const int first = LessonsPerPage * (lessonPage_ - 1);
    BoxCaracteresChoixList->clear();
    for (int k = 0; k < LessonsPerPage; ++k) {
        BoxCaracteresChoixList->addItem(toQString(lessons_[static_cast<std::size_t>(first + k)]));
    }
    QString numbers;
    for (int k = 1; k <= LessonsPerPage; ++k) {
        if (k > 1) numbers += QLatin1Char(' ');
        numbers += QStringLiteral("#%1").arg(first + k, 2, 10, QLatin1Char('0'));
    }
    Label3->setText(numbers);
    SpeedButtonChoixMoins->setEnabled(lessonPage_ > 1);
    SpeedButtonChoixPlus->setEnabled(lessonPage_ < 3);
}

void RandomMode::SpeedButtonChoixMoinsClick() {
    if (lessonPage_ > 1) --lessonPage_;
    showPage();
}

void RandomMode::SpeedButtonChoixPlusClick() {
    if (lessonPage_ < 3) ++lessonPage_;
    showPage();
}

void RandomMode::ButtonChoixCaractereOKClick() {
    const QString text = BoxCaracteresChoix->text();
    if (text.isEmpty() || text == QStringLiteral(" ")) {
        f_.ui().beep();
        return;
    }
    PanelChoixRandom->hide();
    const int accepted = acceptChosenCharacters(toCp1252(text), f_.characters());
    groups_.set = characterSet(CharacterClass::Chosen, 0, accepted);
    checkSetItem(CharacterClass::Chosen);
    const auto matches = BoxCaracteresChoixList->findItems(text, Qt::MatchExactly);
    const int row = matches.isEmpty() ? -1 : BoxCaracteresChoixList->row(matches.front());
    BoxCaracteresChoixList->setCurrentRow(row);
    chosenLesson_ = row < 0 ? 0 : row + 1 + LessonsPerPage * (lessonPage_ - 1);
    refreshSetName();
    if (f_.typed().replayOn()) f_.Editcaractere->setFocus();
    if (runOn_) restartRunCount();
}

void RandomMode::ButtonCancelChoixClick() {
    PanelChoixRandom->hide();
    lessonPage_ = savedPage_;
    showPage();
    BoxCaracteresChoixList->setCurrentRow(savedRow_);
    BoxCaracteresChoix->setText(savedText_);
}

void RandomMode::setLesson(int number, const std::string& text) {
    const std::string oldText = lessons_[static_cast<std::size_t>(number - 1)];
    lessons_[static_cast<std::size_t>(number - 1)] = text.empty() ? std::string(" ") : text;
    const QString saved = BoxCaracteresChoix->text();
    if (lessonPage_ == 1 + (number - 1) / LessonsPerPage) {
        BoxCaracteresChoixList->item((number - 1) % LessonsPerPage)
            ->setText(toQString(lessons_[static_cast<std::size_t>(number - 1)]));
    }
    // A chosen set taken from this very lesson follows it (not one that only shares its
    // text, as lessons 7 and 15 do); any other text stays as it was.
    const bool fromThisLesson = setClass_ == CharacterClass::Chosen && chosenLesson_ == number &&
                                toCp1252(saved) == oldText;
    const QString restored =
        fromThisLesson ? toQString(lessons_[static_cast<std::size_t>(number - 1)]) : saved;
    BoxCaracteresChoix->setText(restored);
    const auto matches = BoxCaracteresChoixList->findItems(restored, Qt::MatchExactly);
    BoxCaracteresChoixList->setCurrentRow(
        matches.isEmpty() ? -1 : BoxCaracteresChoixList->row(matches.front()));
    // Only the chosen set in use is rebuilt: a lesson edit never takes the letters or
    // another set away.
    if (setClass_ == CharacterClass::Chosen && !restored.isEmpty() &&
        restored != QStringLiteral(" ")) {
        ButtonChoixCaractereOKClick();
    }
}

// --- Runs ----------------------------------------------------------------------------------

void RandomMode::showPlayButton(bool play) {
    BitBtnPlayRandom->setVisible(play);
    BitBtnStopRandom->setVisible(!play);
}

void RandomMode::ButtonChoixRandomClick() {
    if (playRequested_) {
        playRequested_ = false;
        RadioButtonRandomClick();
        return;
    }
    f_.play().ButtonStopClick();
    f_.Editcaractere->setFocus();
    f_.showModeView(GroupBoxRandom);
    MenuQuickRandom->setEnabled(true);
}

void RandomMode::BitBtnPlayRandomClick() {
    playRequested_ = true;
    stopRequested_ = false;
    showPlayButton(false);
    for (QPushButton* b : f_.ButtonMsg) b->setEnabled(false);
    f_.fading().startRun(f_.random(), f_.UpDownVitesse->value());
    if (!f_.RadioButtonRandom->isChecked()) {
        // The run's ends are the random mode's only while its button is checked.
        const QSignalBlocker block(f_.RadioButtonRandom);
        f_.RadioButtonRandom->setChecked(true);
    }
    RadioButtonRandomClick();
}

void RandomMode::BitBtnStopRandomClick() {
    // The window's Stop, whose first rule holds here too: with a side panel open, only the
    // panel closes and the run goes on (the Play button is not shown over a running run).
    f_.play().ButtonStopClick();
}

void RandomMode::MenuQuickRandomClick() {
    if (runOn_ || f_.play().textPlaying()) f_.play().stopPlaying();
    if (f_.quiz().quizOn()) f_.quiz().stopQuiz();
    if (!memoFirstLineEmpty()) ClearMemoRandomClick();
    f_.play().engine().setQuickGenerate(true);
    BitBtnPlayRandomClick();
}

void RandomMode::runFailed() {
    // Choosing the mode again later must not start a run behind a Play button.
    playRequested_ = false;
    f_.keying().releaseTransmitter();
    f_.refreshLamp();
    f_.ui().warning(&f_, QString::fromUtf8(f_.texts().shared.msgNoMorseCharacters));
    runOn_ = false;
    f_.play().engine().setQuickGenerate(false);
    {
        // No mode's button is left checked: the next choice of a mode is a real one.
        f_.RadioButtonRandom->setAutoExclusive(false);
        const QSignalBlocker block(f_.RadioButtonRandom);
        f_.RadioButtonRandom->setChecked(false);
        f_.RadioButtonRandom->setAutoExclusive(true);
    }
    showPlayButton(true);
    f_.showStop(false);
    f_.Editcaractere->setEnabled(true);
    f_.setActivityControlsEnabled(true);
    f_.Editcaractere->setFocus();
    f_.play().engine().pendingText().clear();
}

void RandomMode::RadioButtonRandomClick() {
    if (groups_.set.count <= 0) {
        runFailed();
        return;
    }
    if (!runOn_) {
        groups_.startRun(SpinEditRandomNumber->value());
        startNewMemoLine();
    }
    runOn_ = true;
    f_.showStop(true);
    f_.showModeView(GroupBoxRandom);
    MenuQuickRandom->setEnabled(true);
    f_.Editcaractere->setEnabled(false);
    f_.setActivityControlsEnabled(false);
    f_.ButtonPlayFile->setEnabled(false);
    f_.ButtonContinueFile->setEnabled(false);
    f_.ButtonReplayText->setEnabled(false);

    const unsigned char c = groups_.next();
    // Appended, not put in place of the queue: nothing queued before is lost.
    f_.play().engine().pendingText().push_back(static_cast<char>(c));
    const char upper = static_cast<char>(upperCp1252(c));
    appendToMemo(toQString(std::string_view(&upper, 1)));
    const auto endOfGroup = [this] {
        if (groups_.endGroup()) appendToMemo(QStringLiteral(" "));
    };
    if (f_.play().engine().quickGenerate()) {
        endOfGroup();
        f_.play().play();
    } else {
        // The engine fills the character first, so it still sees the group's last
        // position when it chooses the gap after it.
        f_.play().play();
        endOfGroup();
    }
}

// --- Its part in the play control's steps --------------------------------------------------

void RandomMode::adjustCharacter(CharacterSettings& c) const {
    if (!runOn_) return;
    if (f_.RadioButtonRandom->isChecked() && groups_.groupComplete()) {
        c.gapKind = CharGapKind::GroupEnd;
    }
    if (SpeedButtonNoise->isChecked()) c.noise = true;
    if (SpeedButtonQSB->isChecked()) c.fading = true;
}

bool RandomMode::takeOverEnd() {
    if (!f_.RadioButtonRandom->isChecked() || f_.quiz().quizOn()) return false;
    if (runOn_ && !groups_.countDown()) {
        // The count is reached: the run ends as Stop would end it, and the normal end
        // restores the window, whatever panel is open.
        f_.ui().beep();
        runOn_ = false;
        f_.play().engine().setQuickGenerate(false);
        showPlayButton(true);
        return false;
    }
    // A group the user shortened below its length ends here, with its blank.
    if (groups_.endGroup()) appendToMemo(QStringLiteral(" "));
    if (std::exchange(stopRequested_, false) || !runOn_) return false;
    RadioButtonRandomClick();
    return true;
}

void RandomMode::normalEnd() {
    runOn_ = false;
}

void RandomMode::stopped(const std::optional<std::string>& /*unplayed*/) {
    if (runOn_) stopRequested_ = true;
    showPlayButton(true);
    runOn_ = false;
}

// --- Settings ------------------------------------------------------------------------------

void RandomMode::applySettings(const Settings& s, const SettingsKeys& present) {
    const auto has = [&present](std::string_view key) { return present.contains(key); };
    if (has("RANDOM_COUNT=")) SpinEditRandomNumber->setValue(s.randomCount);
    if (has("WORDS=") && (s.words == 0 || (s.words >= MinWordLength && s.words <= MaxWordLength))) {
        if (s.words == 0) {
            MenuRandomWords->trigger();
        } else {
            MenuFixedWords[static_cast<std::size_t>(s.words - MinWordLength)]->trigger();
        }
    }
    if (has("MIXED=")) {
        if (s.wordContent == WordContent::NonMixed && !MenuWordContent->isChecked()) {
            MenuWordContent->trigger();
        } else if (s.wordContent == WordContent::Callsigns && !menuCallsigns->isChecked()) {
            // The item is offered only for letters and figures, which RANDOM= brings
            // afterwards: its handler runs without the menu.
            menuCallsigns->setChecked(true);
            menuCallsignsClick();
        }
    }
    if (has("VVVVV=") && s.addV && !MenuAddV->isChecked()) MenuAddV->trigger();
    lessons_ = s.lessonPages;
    if (has("PAGE=")) lessonPage_ = s.lessonPage;
    showPage();
    if (has(ChosenLineKey)) BoxCaracteresChoix->setText(toQString(s.chosenCharacters));
    const QString chosen = BoxCaracteresChoix->text();
    const auto matches = BoxCaracteresChoixList->findItems(chosen, Qt::MatchExactly);
    if (!matches.isEmpty()) BoxCaracteresChoixList->setCurrentItem(matches.front());
    if (!chosen.isEmpty() && chosen != QStringLiteral(" ")) ButtonChoixCaractereOKClick();
    static constexpr CharacterClass Classes[] = {
        CharacterClass::Letters, CharacterClass::Figures,        CharacterClass::Stops,
        CharacterClass::Local,   CharacterClass::LettersFigures, CharacterClass::All};
    if (has("RANDOM=") && s.randomClass >= 1 && s.randomClass <= 6) {
        MenuSetClick(Classes[s.randomClass - 1]);
    } else if (setClass_ != CharacterClass::Chosen) {
        // The local characters just read belong in the set shown.
        MenuSetClick(setClass_);
    }
}

void RandomMode::collectSettings(Settings& s) const {
    s.randomCount = SpinEditRandomNumber->value();
    s.words = 0;
    for (int k = 0; k < 7; ++k) {
        if (MenuFixedWords[static_cast<std::size_t>(k)]->isChecked()) s.words = k + MinWordLength;
    }
    s.wordContent = MenuWordContent->isChecked() ? WordContent::NonMixed
                    : menuCallsigns->isChecked() ? WordContent::Callsigns
                                                 : WordContent::Mixed;
    s.addV = MenuAddV->isChecked();
    // RANDOM= numbers the classes 1..7 in the order CharacterClass lists them.
    static_assert(static_cast<int>(CharacterClass::Letters) == 0 &&
                  static_cast<int>(CharacterClass::Chosen) == 6);
    s.randomClass = static_cast<int>(setClass_) + 1;
    const std::string chosen = toCp1252(BoxCaracteresChoix->text());
    s.chosenCharacters = chosen.empty() ? std::string(" ") : chosen;
    s.lessonPage = lessonPage_;
    s.lessonPages = lessons_;
}

}  // namespace kb

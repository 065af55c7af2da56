#include "keying/local_characters_panel.h"

#include <QAction>
#include <QButtonGroup>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/settings_file.h"
#include "core/cp1252.h"
#include "modes/file_mode.h"
#include "modes/lesson_panel.h"
#include "modes/quiz_mode.h"
#include "modes/random_mode.h"
#include "modes/reference_lists.h"
#include "modes/typed_text.h"
#include "ui/edit_helpers.h"
#include "ui/form1.h"
#include "ui/typed_text_edit.h"
#include "ui/ui_services.h"
#include "ui/widgets.h"

namespace kb {

namespace {

constexpr int LocalCommentMax = 22;

// Keeps only dots and dashes, wherever they come from (typed, pasted or set).
class DotDashValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override {
        QString kept;
        int keptBeforeCaret = 0;
        for (int i = 0; i < input.size(); ++i) {
            if (input[i] != QLatin1Char('.') && input[i] != QLatin1Char('-')) continue;
            kept.append(input[i]);
            if (i < pos) ++keptBeforeCaret;
        }
        input = kept;
        pos = keptBeforeCaret;
        return Acceptable;
    }
};

QString fromCp1252(const std::string& text) {
    return QString::fromStdString(cp1252ToUtf8(text));
}

std::string rowText(unsigned char c, const std::string& code, const std::string& comment) {
    std::string row = " ";
    row.push_back(static_cast<char>(c));
    row += "  ";
    row += code;
    row += "  ";
    row += comment;
    return row.substr(0, LocalRowMax);
}

// The comment: what follows the code field and the two blanks that close it.
std::string rowComment(const std::string& row) {
    if (row.size() <= 4) return {};
    const std::size_t code = row.find_first_not_of(' ', 4);
    if (code == std::string::npos) return {};
    const std::size_t gap = row.find("  ", code);
    return gap == std::string::npos ? std::string() : row.substr(gap + 2);
}

}  // namespace

std::string cp1252Of(const QString& text) {
    std::string out;
    for (char32_t cp : text.toStdU32String()) {
        const unsigned char b = unicodeToCp1252(cp);
        // Line breaks and other controls have no place in a row or a line of keybird.dat.
        if (b < Blank || (b == NoCp1252Byte && cp != NoCp1252Byte)) continue;
        out.push_back(static_cast<char>(b));
    }
    return out;
}

ActionButtons::ActionButtons(QWidget* parent, const char* group, const char* create,
                             const char* remove, const char* modify)
    : box(named(new QGroupBox(parent), group)),
      Create(named(new QRadioButton(box), create)),
      Delete(named(new QRadioButton(box), remove)),
      Modify(named(new QRadioButton(box), modify)) {
    auto* h = new QHBoxLayout(box);
    auto* exclusive = new QButtonGroup(box);
    for (QRadioButton* b : {Create, Delete, Modify}) {
        h->addWidget(b);
        exclusive->addButton(b);
    }
}

void ActionButtons::uncheckAll() {
    // An exclusive group never lets its last checked button go.
    QButtonGroup* group = Create->group();
    group->setExclusive(false);
    for (QRadioButton* b : {Create, Delete, Modify}) b->setChecked(false);
    group->setExclusive(true);
}

void ActionButtons::enableAll() {
    for (QRadioButton* b : {Create, Delete, Modify}) b->setEnabled(true);
}

bool ActionButtons::anyChecked() const {
    return Create->isChecked() || Delete->isChecked() || Modify->isChecked();
}

int editCharacter(const QLineEdit* edit) {
    const std::u32string text = edit->text().toStdU32String();
    if (text.empty()) return 0;
    const char32_t cp = text.front();
    if (cp == U' ') return Blank;
    const unsigned char b = unicodeToCp1252(cp);
    // A control, a blank of another kind or a character outside the code page could
    // never be typed in a text, shown in a row or kept in keybird.dat.
    if (b == NoCp1252Byte || b < Blank || cp > 0xFFFF) return -1;
    const QChar q(static_cast<char16_t>(cp));
    if (!q.isPrint() || q.isSpace()) return -1;
    return b;
}

bool isStandardCharacter(unsigned char c) {
    static const CharacterList fixed;
    const auto lower = static_cast<std::int32_t>(lowerCp1252(c));
    return std::find(fixed.entries.begin(), fixed.entries.begin() + FixedCharacterCount, lower) !=
           fixed.entries.begin() + FixedCharacterCount;
}

LocalCharactersPanel::LocalCharactersPanel(TForm1& form)
    : actions(nullptr, "RadioGroupLocal", "RadioButtonLocalCreate", "RadioButtonLocalDelete",
              "RadioButtonLocalModify"),
      f_(form) {
    MenuLocalCharacters = named(new QAction(&form), "MenuLocalCharacters");
    MenuLocalCharacters->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F3));
    form.MenuOutils->insertAction(form.randomMode().lessonPanel().MenuLocallesson,
                                  MenuLocalCharacters);

    PanelLocalCharacters = named(new QFrame(form.RightArea), "PanelLocalCharacters");
    PanelLocalCharacters->setFrameShape(QFrame::Panel);
    PanelLocalCharacters->setFrameShadow(QFrame::Raised);
    auto* grid = new QGridLayout(PanelLocalCharacters);
    LabelLocalCharacters = panelTitle(PanelLocalCharacters, "LabelLocalCharacters");
    grid->addWidget(LabelLocalCharacters, 0, 0, 1, 2);
    LabelLocalWarning = named(new QLabel(PanelLocalCharacters), "LabelLocalWarning");
    grid->addWidget(LabelLocalWarning, 1, 0, 1, 2);
    const auto editRow = [&](QLineEdit*& edit, const char* editName, QLabel*& label,
                             const char* labelName, int maxLength, int row) {
        edit = named(new QLineEdit(PanelLocalCharacters), editName);
        edit->setMaxLength(maxLength);
        label = named(new QLabel(PanelLocalCharacters), labelName);
        label->setBuddy(edit);
        grid->addWidget(edit, row, 0);
        grid->addWidget(label, row, 1);
    };
    editRow(EditLocalCharacter, "EditLocalCharacter", LabelLocalCaractere, "LabelLocalCaractere", 1,
            2);
    EditLocalCharacter->setFixedWidth(
        EditLocalCharacter->fontMetrics().horizontalAdvance(QStringLiteral("MMM")) + 8);
    makeLowerCase(EditLocalCharacter);
    editRow(EditLocalCode, "EditLocalCode", LabelLocalCode, "LabelLocalCode",
            static_cast<int>(LocalCodeMax), 3);
    EditLocalCode->setValidator(new DotDashValidator(EditLocalCode));
    editRow(EditLocalComment, "EditLocalComment", LabelLocalComment, "LabelLocalComment",
            LocalCommentMax, 4);
    actions.box->setParent(PanelLocalCharacters);
    grid->addWidget(actions.box, 5, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    ButtonLocalCaractereEnter =
        named(new QPushButton(PanelLocalCharacters), "ButtonLocalCaractereEnter");
    ButtonLocalCaractereEnter->setDefault(true);
    ButtonLocalCaractereExit =
        named(new QPushButton(PanelLocalCharacters), "ButtonLocalCaractereExit");
    LabelLocalPlein = named(new QLabel(PanelLocalCharacters), "LabelLocalPlein");
    buttons->addWidget(LabelLocalPlein, 1);
    buttons->addWidget(ButtonLocalCaractereEnter);
    buttons->addWidget(ButtonLocalCaractereExit);
    grid->addLayout(buttons, 6, 0, 1, 2);
    form.addSidePanel(PanelLocalCharacters, [this] { ButtonLocalCaractereExit->click(); });

    QObject* ctx = &context_;
    QObject::connect(MenuLocalCharacters, &QAction::triggered, ctx,
                     [this] { MenuLocalCharactersClick(); });
    QObject::connect(EditLocalCharacter, &QLineEdit::textChanged, ctx,
                     [this] { EditLocalCharacterChange(); });
    QObject::connect(ButtonLocalCaractereEnter, &QPushButton::clicked, ctx,
                     [this] { ButtonLocalCaractereEnterClick(); });
    QObject::connect(ButtonLocalCaractereExit, &QPushButton::clicked, ctx,
                     [this] { ButtonLocalCaractereExitClick(); });
    // Enter is the panel's default button and Exit its cancel button.
    panelEnterAndExit(PanelLocalCharacters, ButtonLocalCaractereEnter, ButtonLocalCaractereExit);
}

LocalCharactersPanel::~LocalCharactersPanel() = default;

void LocalCharactersPanel::MenuLocalCharactersClick() {
    f_.quiz().stopQuiz();
    f_.openSidePanel(PanelLocalCharacters);
    showFullLabel();
    EditLocalCharacter->setFocus();
}

void LocalCharactersPanel::EditLocalCharacterChange() {
    const int typed = editCharacter(EditLocalCharacter);
    entry_ = 0;
    if (typed == 0) {
        actions.enableAll();
        actions.uncheckAll();
        return;
    }
    const auto c = static_cast<unsigned char>(typed);
    const bool shortcutKey =
        typed > 0 &&
        std::any_of(f_.shortcuts().begin(), f_.shortcuts().end(), [c](const Shortcut& s) {
            return !s.key.empty() &&
                   lowerCp1252(static_cast<unsigned char>(s.key[0])) == lowerCp1252(c);
        });
    if (typed < 0 || c == Blank || c == '@' || isStandardCharacter(c) || shortcutKey) {
        // Clearing runs this again with the edit empty: all three actions come back.
        EditLocalCharacter->clear();
        f_.ui().beep();
        return;
    }
    entry_ = findEntry(c);
    if (entry_ != 0) {
        const std::string text = row(entry_);
        EditLocalCode->setText(QString::fromStdString(localRowCode(text)));
        EditLocalComment->setText(fromCp1252(rowComment(text)));
        actions.uncheckAll();
        actions.Create->setEnabled(false);
        actions.Delete->setEnabled(true);
        actions.Modify->setEnabled(true);
    } else {
        EditLocalCode->clear();
        EditLocalComment->clear();
        actions.Create->setEnabled(true);
        actions.Create->setChecked(true);
        actions.Delete->setEnabled(false);
        actions.Modify->setEnabled(false);
    }
}

void LocalCharactersPanel::ButtonLocalCaractereEnterClick() {
    const int typed = editCharacter(EditLocalCharacter);
    const std::string code = EditLocalCode->text().toStdString();
    const auto refuse = [this] {
        f_.ui().beep();
        EditLocalCharacter->setFocus();
    };
    if (typed <= 0 || code.empty() || !actions.anyChecked()) return refuse();
    const auto c = static_cast<unsigned char>(typed);
    const std::string comment = cp1252Of(EditLocalComment->text()).substr(0, LocalCommentMax);
    CharacterList& list = f_.characters();
    MorseTable& morse = f_.morse();

    if (actions.Modify->isChecked()) {
        // The entry must still be the typed character's.
        if (entry_ == 0 || findEntry(c) != entry_) return refuse();
        morse.defineLocal(c, code);
        setRow(entry_, rowText(c, code, comment));
        EditLocalCharacter->setFocus();
    } else if (actions.Delete->isChecked()) {
        if (entry_ == 0 || findEntry(c) != entry_) return refuse();
        // A character with a code of its own ("!", "<" ...) gets it back.
        static const MorseTable builtIn;
        for (unsigned char form : {c, upperCp1252(c), lowerCp1252(c)}) {
            morse.set(form, builtIn.code(form));
        }
        for (int k = entry_; k < list.localCount; ++k) {
            list.entries[LocalCharacterSlot + k - 1] = list.entries[LocalCharacterSlot + k];
            setRow(k, row(k + 1));
        }
        list.entries[LocalCharacterSlot + list.localCount - 1] = 0;
        setRow(list.localCount, {});
        --list.localCount;
        LabelLocalPlein->clear();
        localCharactersChanged();
        EditLocalCharacter->clear();
        EditLocalCode->clear();
        EditLocalComment->clear();
        actions.uncheckAll();
    } else {
        if (list.localCount >= MaxLocalCharacters || findEntry(c) != 0) return refuse();
        list.addLocal(c);
        morse.defineLocal(c, code);
        setRow(list.localCount, rowText(c, code, comment));
        showFullLabel();
        localCharactersChanged();
        // The new entry is the one Modify and Delete now act on.
        entry_ = list.localCount;
        actions.Create->setChecked(false);
        actions.Create->setEnabled(false);
        actions.Delete->setEnabled(true);
        actions.Modify->setEnabled(true);
        actions.Modify->setChecked(true);
        EditLocalCharacter->setFocus();
    }
}

void LocalCharactersPanel::ButtonLocalCaractereExitClick() {
    EditLocalCharacter->clear();
    EditLocalCode->clear();
    EditLocalComment->clear();
    actions.uncheckAll();
    PanelLocalCharacters->hide();
    f_.focusAfterSidePanel();
}

bool LocalCharactersPanel::isLocalCharacter(unsigned char c) const {
    return findEntry(c) != 0;
}

void LocalCharactersPanel::applySettings(const Settings& s) {
    CharacterList& list = f_.characters();
    const int before = list.localCount;
    applyLocalCharacters(s, f_.morse(), list);
    // Each character taken has its row in the file (the reader keeps one row a character).
    for (int k = before + 1; k <= list.localCount; ++k) {
        for (const std::string& text : s.localCharacterRows) {
            if (static_cast<std::int32_t>(lowerCp1252(localRowCharacter(text))) ==
                list.entries[LocalCharacterSlot + k - 1]) {
                setRow(k, text.substr(0, LocalRowMax));
                break;
            }
        }
    }
    localCharactersChanged();
}

void LocalCharactersPanel::collectSettings(Settings& s) const {
    s.localCharacterRows.clear();
    for (int k = 1; k <= f_.characters().localCount; ++k) s.localCharacterRows.push_back(row(k));
}

int LocalCharactersPanel::findEntry(unsigned char c) const {
    const CharacterList& list = f_.characters();
    const auto lower = static_cast<std::int32_t>(lowerCp1252(c));
    for (int k = 1; k <= list.localCount; ++k) {
        if (list.entries[LocalCharacterSlot + k - 1] == lower) return k;
    }
    return 0;
}

std::string LocalCharactersPanel::row(int entry) const {
    return cp1252Of(f_.referenceLists().alphabetRow(LocalCharacterFirstRow - 1 + entry));
}

void LocalCharactersPanel::setRow(int entry, const std::string& text) {
    f_.referenceLists().setAlphabetRow(LocalCharacterFirstRow - 1 + entry, fromCp1252(text));
}

void LocalCharactersPanel::showFullLabel() {
    if (f_.characters().localCount >= MaxLocalCharacters) {
        LabelLocalPlein->setText(QString::fromUtf8(f_.texts().shared.localCharactersPageFull));
    } else {
        LabelLocalPlein->clear();
    }
}

void LocalCharactersPanel::localCharactersChanged() {
    f_.randomMode().localCharactersChanged();
}

}  // namespace kb

#include "keying/shortcut_panel.h"

#include <QAction>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>

#include "core/cp1252.h"
#include "modes/lesson_panel.h"
#include "modes/quiz_mode.h"
#include "modes/random_mode.h"
#include "modes/reference_lists.h"
#include "ui/edit_helpers.h"
#include "ui/form1.h"
#include "ui/ui_services.h"
#include "ui/widgets.h"

namespace kb {

namespace {

// The same in every language.
constexpr const char* TableFullText = "Table pleine !!!!";

bool sameKey(const Shortcut& s, unsigned char c) {
    return !s.key.empty() && lowerCp1252(static_cast<unsigned char>(s.key[0])) == lowerCp1252(c);
}

}  // namespace

ShortcutPanel::ShortcutPanel(TForm1& form)
    : actions(nullptr, "RadioGroupShortcut", "RadioButtonShortcutCreate",
              "RadioButtonShortcutDelete", "RadioButtonShortcutModify"),
      f_(form) {
    MenuLocalShortcuts = named(new QAction(&form), "MenuLocalShortcuts");
    // Delayed Play carries no key: this item, first in menu order, has Ctrl+Shift+F7.
    MenuLocalShortcuts->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F7));
    form.MenuOutils->insertAction(form.randomMode().lessonPanel().MenuLocallesson,
                                  MenuLocalShortcuts);

    PanelLocalShortcut = named(new QFrame(form.RightArea), "PanelLocalShortcut");
    PanelLocalShortcut->setFrameShape(QFrame::Panel);
    PanelLocalShortcut->setFrameShadow(QFrame::Raised);
    auto* grid = new QGridLayout(PanelLocalShortcut);
    LabelPanelShortcut = panelTitle(PanelLocalShortcut, "LabelPanelShortcut");
    grid->addWidget(LabelPanelShortcut, 0, 0, 1, 2);
    Labelshortcutwarning = named(new QLabel(PanelLocalShortcut), "Labelshortcutwarning");
    grid->addWidget(Labelshortcutwarning, 1, 0, 1, 2);
    EditShortcut = named(new QLineEdit(PanelLocalShortcut), "EditShortcut");
    EditShortcut->setMaxLength(1);
    EditShortcut->setFixedWidth(
        EditShortcut->fontMetrics().horizontalAdvance(QStringLiteral("MMM")) + 8);
    makeLowerCase(EditShortcut);
    LabelEditShortcut = named(new QLabel(PanelLocalShortcut), "LabelEditShortcut");
    grid->addWidget(EditShortcut, 2, 0);
    grid->addWidget(LabelEditShortcut, 2, 1);
    LabelShortcutText = named(new QLabel(PanelLocalShortcut), "LabelShortcutText");
    grid->addWidget(LabelShortcutText, 3, 0, 1, 2);
    EditShortcutText = named(new QLineEdit(PanelLocalShortcut), "EditShortcutText");
    EditShortcutText->setMaxLength(static_cast<int>(ShortcutTextMax));
    grid->addWidget(EditShortcutText, 4, 0, 1, 2);
    // "&&" in the warning shows one "&", as in a label with a buddy.
    Labelshortcutwarning->setBuddy(EditShortcut);
    actions.box->setParent(PanelLocalShortcut);
    grid->addWidget(actions.box, 5, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    ButtonShortcutEnter = named(new QPushButton(PanelLocalShortcut), "ButtonShortcutEnter");
    ButtonShortcutEnter->setDefault(true);
    ButtonShortcutExit = named(new QPushButton(PanelLocalShortcut), "ButtonShortcutExit");
    LabelShortcutPlein = named(new QLabel(PanelLocalShortcut), "LabelShortcutPlein");
    buttons->addWidget(LabelShortcutPlein, 1);
    buttons->addWidget(ButtonShortcutEnter);
    buttons->addWidget(ButtonShortcutExit);
    grid->addLayout(buttons, 6, 0, 1, 2);
    form.addSidePanel(PanelLocalShortcut, [this] { ButtonShortcutExit->click(); });

    QObject* ctx = &context_;
    QObject::connect(MenuLocalShortcuts, &QAction::triggered, ctx,
                     [this] { MenuLocalShortcutsClick(); });
    QObject::connect(EditShortcut, &QLineEdit::textChanged, ctx, [this] { EditShortcutChange(); });
    QObject::connect(ButtonShortcutEnter, &QPushButton::clicked, ctx,
                     [this] { ButtonShortcutEnterClick(); });
    QObject::connect(ButtonShortcutExit, &QPushButton::clicked, ctx,
                     [this] { ButtonShortcutExitClick(); });
    panelEnterAndExit(PanelLocalShortcut, ButtonShortcutEnter, ButtonShortcutExit);
}

ShortcutPanel::~ShortcutPanel() = default;

void ShortcutPanel::MenuLocalShortcutsClick() {
    f_.quiz().stopQuiz();
    f_.openSidePanel(PanelLocalShortcut);
    showFullLabel();
    if (full()) actions.Create->setEnabled(false);
    EditShortcut->setFocus();
}

void ShortcutPanel::EditShortcutChange() {
    const int typed = editCharacter(EditShortcut);
    if (typed == 0) {
        actions.uncheckAll();
        actions.Delete->setEnabled(true);
        actions.Modify->setEnabled(true);
        actions.Create->setEnabled(LabelShortcutPlein->text().isEmpty());
        return;
    }
    const auto c = static_cast<unsigned char>(typed);
    if (typed < 0 || !acceptsKey(c)) {
        // Clearing runs this again with the edit empty.
        EditShortcut->clear();
        f_.ui().beep();
        return;
    }
    const ShortcutTable& table = f_.shortcuts();
    const auto found =
        std::find_if(table.begin(), table.end(), [c](const Shortcut& s) { return sameKey(s, c); });
    if (found != table.end()) {
        EditShortcutText->setText(QString::fromStdString(cp1252ToUtf8(found->text)));
        actions.uncheckAll();
        actions.Create->setEnabled(false);
        actions.Delete->setEnabled(true);
        actions.Modify->setEnabled(true);
    } else {
        EditShortcutText->clear();
        actions.uncheckAll();
        actions.Delete->setEnabled(false);
        actions.Modify->setEnabled(false);
        actions.Create->setEnabled(true);
        actions.Create->setChecked(true);
    }
}

void ShortcutPanel::ButtonShortcutEnterClick() {
    const int typed = editCharacter(EditShortcut);
    const std::string text = cp1252Of(EditShortcutText->text()).substr(0, ShortcutTextMax);
    const auto refuse = [this] {
        f_.ui().beep();
        EditShortcut->setFocus();
    };
    if (typed <= 0 || text.empty() || !actions.anyChecked()) return refuse();
    const auto c = static_cast<unsigned char>(typed);
    ShortcutTable& table = f_.shortcuts();
    const bool used =
        std::any_of(table.begin(), table.end(), [c](const Shortcut& s) { return sameKey(s, c); });

    if (actions.Modify->isChecked()) {
        if (!used) return refuse();
        for (Shortcut& s : table) {
            if (sameKey(s, c)) s.text = text;
        }
    } else if (actions.Delete->isChecked()) {
        if (!used) return refuse();
        for (Shortcut& s : table) {
            if (sameKey(s, c)) s = Shortcut{};
        }
        LabelShortcutPlein->clear();
        EditShortcut->clear();
        EditShortcutText->clear();
        actions.uncheckAll();
        actions.enableAll();
    } else {
        const auto freeSlot = std::find_if(table.begin(), table.end(),
                                           [](const Shortcut& s) { return s.key.empty(); });
        // A key in use is changed through Modify, never given a second slot here.
        if (freeSlot == table.end() || used) return refuse();
        freeSlot->key = std::string(1, static_cast<char>(c));
        freeSlot->text = text;
        showFullLabel();
        actions.uncheckAll();
        actions.Create->setEnabled(false);
        actions.Delete->setEnabled(true);
        actions.Modify->setEnabled(true);
        EditShortcut->setFocus();
    }
    writeShortcutRows();
}

void ShortcutPanel::ButtonShortcutExitClick() {
    EditShortcut->clear();
    EditShortcutText->clear();
    actions.uncheckAll();
    PanelLocalShortcut->hide();
    f_.focusAfterSidePanel();
}

bool ShortcutPanel::acceptsKey(unsigned char c) const {
    const MorseTable& morse = f_.morse();
    return c != Blank && c != '@' && !isStandardCharacter(c) &&
           !f_.localCharacters().isLocalCharacter(c) && !morse.hasCode(c) &&
           !morse.hasCode(upperCp1252(c));
}

std::string ShortcutPanel::dropUnreachableSlots() {
    std::string dropped;
    for (Shortcut& s : f_.shortcuts()) {
        if (s.key.empty() || acceptsKey(static_cast<unsigned char>(s.key[0]))) continue;
        dropped += s.key.substr(0, 1);
        s = Shortcut{};
    }
    return dropped;
}

void ShortcutPanel::writeShortcutRows() {
    ReferenceLists& lists = f_.referenceLists();
    int row = ShortcutFirstRow;
    for (const Shortcut& s : f_.shortcuts()) {
        if (s.key.empty()) continue;
        std::string text = " ";
        text += s.key.substr(0, 1);
        text += " = ";
        text += s.text;
        lists.setAlphabetRow(row++, QString::fromStdString(cp1252ToUtf8(text)));
    }
    for (; row < AlphabetRowCount; ++row) lists.setAlphabetRow(row, QStringLiteral(" "));
}

bool ShortcutPanel::full() const {
    const ShortcutTable& table = f_.shortcuts();
    return std::none_of(table.begin(), table.end(),
                        [](const Shortcut& s) { return s.key.empty(); });
}

void ShortcutPanel::showFullLabel() {
    LabelShortcutPlein->setText(full() ? QString::fromLatin1(TableFullText) : QString());
}

}  // namespace kb

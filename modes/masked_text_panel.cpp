#include "modes/masked_text_panel.h"

#include <QAction>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTextEdit>
#include <QVBoxLayout>

#include "core/cp1252.h"
#include "modes/file_mode.h"
#include "modes/quiz_mode.h"
#include "modes/random_mode.h"
#include "modes/typed_text.h"
#include "ui/edit_helpers.h"
#include "ui/form1.h"
#include "ui/typed_text_edit.h"
#include "ui/ui_services.h"
#include "ui/widgets.h"

namespace kb {

namespace {

QString delimiterText(std::int32_t c) {
    if (c < 0 || c > 255) return {};
    return QString(QChar(static_cast<char16_t>(cp1252ToUnicode(static_cast<unsigned char>(c)))));
}

// The delimiter an edit holds: its character's Windows-1252 code, -1 when empty.
std::int32_t delimiterOf(const QLineEdit* edit) {
    const std::u32string text = edit->text().toStdU32String();
    return text.empty() ? -1 : unicodeToCp1252(text.front());
}

}  // namespace

MaskedTextPanel::MaskedTextPanel(TForm1& form) : f_(form) {
    MenuMaskedtext = named(new QAction(&form), "MenuMaskedtext");
    MenuMaskedtext->setCheckable(true);
    MenuMaskedtext->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F9));
    form.MenuTextreplay->addAction(MenuMaskedtext);

    PanelMaskedText = named(new QFrame(form.RightArea), "PanelMaskedText");
    PanelMaskedText->setFrameShape(QFrame::Panel);
    PanelMaskedText->setFrameShadow(QFrame::Raised);
    auto* v = new QVBoxLayout(PanelMaskedText);
    LabelMaskedText = panelTitle(PanelMaskedText, "LabelMaskedText");
    v->addWidget(LabelMaskedText);
    auto* g = new QGridLayout;
    const auto delimiterEdit = [this](const char* name) {
        auto* e = named(new QLineEdit(PanelMaskedText), name);
        e->setMaxLength(1);
        e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("MMM")) + 8);
        makeLowerCase(e);
        return e;
    };
    EditStartMaskedText = delimiterEdit("EditStartMaskedText");
    LabelStartMaskedText = named(new QLabel(PanelMaskedText), "LabelStartMaskedText");
    EditEndMaskedText = delimiterEdit("EditEndMaskedText");
    LabelEndMaskedText = named(new QLabel(PanelMaskedText), "LabelEndMaskedText");
    g->addWidget(EditStartMaskedText, 0, 0);
    g->addWidget(LabelStartMaskedText, 0, 1);
    g->addWidget(EditEndMaskedText, 1, 0);
    g->addWidget(LabelEndMaskedText, 1, 1);
    v->addLayout(g);
    LabelHintMaskedText = named(new QLabel(PanelMaskedText), "LabelHintMaskedText");
    LabelHintMaskedText->setWordWrap(true);
    v->addWidget(LabelHintMaskedText);
    auto* buttons = new QHBoxLayout;
    ButtonMaskedTextOK =
        named(new QPushButton(QStringLiteral("OK"), PanelMaskedText), "ButtonMaskedTextOK");
    ButtonMaskedTextCancel = named(new QPushButton(PanelMaskedText), "ButtonMaskedTextCancel");
    buttons->addStretch();
    buttons->addWidget(ButtonMaskedTextOK);
    buttons->addWidget(ButtonMaskedTextCancel);
    buttons->addStretch();
    v->addLayout(buttons);
    form.addSidePanel(PanelMaskedText, [this] { ButtonMaskedTextCancel->click(); });

    QObject::connect(MenuMaskedtext, &QAction::triggered, &form, [this] { MenuMaskedtextClick(); });
    QObject::connect(ButtonMaskedTextOK, &QPushButton::clicked, &form,
                     [this] { ButtonMaskedTextOKClick(); });
    QObject::connect(ButtonMaskedTextCancel, &QPushButton::clicked, &form,
                     [this] { ButtonMaskedTextCancelClick(); });
    // OK is the panel's default button and Cancel its cancel button.
    for (QLineEdit* e : {EditStartMaskedText, EditEndMaskedText}) {
        QObject::connect(e, &QLineEdit::returnPressed, &form,
                         [this] { ButtonMaskedTextOKClick(); });
    }
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), PanelMaskedText);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(escape, &QShortcut::activated, &form,
                     [this] { ButtonMaskedTextCancelClick(); });
}

void MaskedTextPanel::refreshMenuCheck() {
    MenuMaskedtext->setChecked(f_.state().mask.startChar != -1);
}

void MaskedTextPanel::MenuMaskedtextClick() {
    // The item's check shows the delimiters, not the click.
    refreshMenuCheck();
    f_.quiz().stopQuiz();
    f_.openSidePanel(PanelMaskedText);
    EditStartMaskedText->setText(delimiterText(f_.state().mask.startChar));
    EditEndMaskedText->setText(delimiterText(f_.state().mask.endChar));
    EditStartMaskedText->setFocus();
}

void MaskedTextPanel::close() {
    PanelMaskedText->hide();
    f_.focusAfterSidePanel();
}

void MaskedTextPanel::ButtonMaskedTextCancelClick() {
    close();
}

void MaskedTextPanel::ButtonMaskedTextOKClick() {
    MaskState& mask = f_.state().mask;
    const std::int32_t start = delimiterOf(EditStartMaskedText);
    const std::int32_t end = delimiterOf(EditEndMaskedText);
    if (start != -1 && start == end) {
        f_.ui().beep();
        f_.ui().warning(&f_, QString::fromUtf8(f_.texts().shared.msgDelimitersMustDiffer));
        EditStartMaskedText->setFocus();
        return;
    }
    mask.startChar = start;
    mask.endChar = end;
    mask.active = false;
    refreshMenuCheck();
    close();
}

}  // namespace kb

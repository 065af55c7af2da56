#include "modes/lesson_panel.h"

#include <QAction>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTextEdit>

#include "core/cp1252.h"
#include "modes/file_mode.h"
#include "modes/quiz_mode.h"
#include "modes/random_mode.h"
#include "modes/typed_text.h"
#include "ui/form1.h"
#include "ui/typed_text_edit.h"
#include "ui/ui_services.h"
#include "ui/widgets.h"

namespace kb {

namespace {
constexpr int LessonTextMax = 50;
}  // namespace

LessonPanel::LessonPanel(TForm1& form, RandomMode& random) : f_(form), random_(random) {
    MenuLocallesson = named(new QAction(&form), "MenuLocallesson");
    MenuLocallesson->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F4));
    form.MenuOutils->insertAction(form.MenuOutilsQuit, MenuLocallesson);
    form.MenuOutils->insertSeparator(form.MenuOutilsQuit);

    PanelLocalLesson = named(new QFrame(form.RightArea), "PanelLocalLesson");
    PanelLocalLesson->setFrameShape(QFrame::Panel);
    PanelLocalLesson->setFrameShadow(QFrame::Raised);
    auto* grid = new QGridLayout(PanelLocalLesson);
    LabelLocalLesson = panelTitle(PanelLocalLesson, "LabelLocalLesson");
    grid->addWidget(LabelLocalLesson, 0, 0, 1, 2);
    EditNumeroLesson = named(new QLineEdit(PanelLocalLesson), "EditNumeroLesson");
    EditNumeroLesson->setMaxLength(2);
    EditNumeroLesson->setFixedWidth(
        EditNumeroLesson->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    LabelNumeroLesson = named(new QLabel(PanelLocalLesson), "LabelNumeroLesson");
    grid->addWidget(EditNumeroLesson, 1, 0);
    grid->addWidget(LabelNumeroLesson, 1, 1);
    EditCaractereLesson = named(new QLineEdit(PanelLocalLesson), "EditCaractereLesson");
    EditCaractereLesson->setMaxLength(LessonTextMax);
    LabelCaractereLesson = named(new QLabel(PanelLocalLesson), "LabelCaractereLesson");
    grid->addWidget(EditCaractereLesson, 2, 0, 1, 2);
    grid->addWidget(LabelCaractereLesson, 3, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    ButtonLocalLessonEnter = named(new QPushButton(PanelLocalLesson), "ButtonLocalLessonEnter");
    ButtonLocalLessonExit = named(new QPushButton(PanelLocalLesson), "ButtonLocalLessonExit");
    buttons->addStretch();
    buttons->addWidget(ButtonLocalLessonEnter);
    buttons->addWidget(ButtonLocalLessonExit);
    grid->addLayout(buttons, 4, 0, 1, 2);
    form.addSidePanel(PanelLocalLesson, [this] { ButtonLocalLessonExit->click(); });

    QObject* ctx = &context_;
    QObject::connect(MenuLocallesson, &QAction::triggered, ctx, [this] { MenuLocallessonClick(); });
    QObject::connect(EditNumeroLesson, &QLineEdit::textChanged, ctx,
                     [this] { EditNumeroLessonChange(); });
    QObject::connect(EditCaractereLesson, &QLineEdit::textChanged, ctx,
                     [this] { EditCaractereLessonChange(); });
    QObject::connect(ButtonLocalLessonEnter, &QPushButton::clicked, ctx,
                     [this] { ButtonLocalLessonEnterClick(); });
    QObject::connect(ButtonLocalLessonExit, &QPushButton::clicked, ctx,
                     [this] { ButtonLocalLessonExitClick(); });
    // Enter is the panel's default button and Exit its cancel button.
    for (QLineEdit* edit : {EditNumeroLesson, EditCaractereLesson}) {
        new KeyHook(edit, [this](int key) {
            if (key == Qt::Key_Escape) {
                ButtonLocalLessonExit->click();
            } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                ButtonLocalLessonEnter->click();
            } else {
                return false;
            }
            return true;
        });
    }
}

LessonPanel::~LessonPanel() = default;

void LessonPanel::MenuLocallessonClick() {
    if (f_.quiz().quizOn()) f_.quiz().stopQuiz();
    f_.openSidePanel(PanelLocalLesson);
    EditNumeroLesson->setFocus();
}

void LessonPanel::EditNumeroLessonChange() {
    const QString text = EditNumeroLesson->text();
    if (text.isEmpty()) {
        EditCaractereLesson->clear();
        lessonNumber_ = 0;
        EditNumeroLesson->setFocus();
        return;
    }
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok) {
        f_.ui().beep();
        lessonNumber_ = 0;
        EditNumeroLesson->clear();
        EditNumeroLesson->setFocus();
        EditCaractereLesson->clear();
        return;
    }
    if (n < 1 || n > LessonCount) {
        f_.ui().beep();
        lessonNumber_ = 0;
        EditCaractereLesson->clear();
        EditNumeroLesson->setFocus();
        return;
    }
    lessonNumber_ = n;
    const std::string& lesson = random_.lessons()[static_cast<std::size_t>(n - 1)];
    EditCaractereLesson->setText(lesson == " " ? QString()
                                               : QString::fromStdString(cp1252ToUtf8(lesson)));
}

void LessonPanel::EditCaractereLessonChange() {
    QLineEdit* edit = EditCaractereLesson;
    QString text = edit->text();
    const int caret = edit->cursorPosition();
    // Blanks before the caret move it back with them.
    const int before = static_cast<int>(text.left(caret).count(QLatin1Char(' ')));
    text.remove(QLatin1Char(' '));
    text = text.toLower();
    if (text == edit->text()) return;
    edit->setText(text);
    edit->setCursorPosition(caret - before);
}

void LessonPanel::ButtonLocalLessonEnterClick() {
    if (lessonNumber_ == 0) {
        f_.ui().beep();
        EditNumeroLesson->setFocus();
        return;
    }
    random_.setLesson(lessonNumber_, utf8ToCp1252(EditCaractereLesson->text().toStdString()));
    EditNumeroLesson->selectAll();
    EditNumeroLesson->setFocus();
}

void LessonPanel::ButtonLocalLessonExitClick() {
    PanelLocalLesson->hide();
    f_.focusAfterSidePanel();
}

}  // namespace kb

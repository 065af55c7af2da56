#include "keying/message_panel.h"

#include <QAction>
#include <QDockWidget>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <functional>
#include <utility>

#include "core/cp1252.h"
#include "modes/play_control.h"
#include "modes/quiz_mode.h"
#include "modes/random_mode.h"
#include "modes/typed_text.h"
#include "ui/form1.h"
#include "ui/typed_text_edit.h"
#include "ui/ui_services.h"
#include "ui/widgets.h"

namespace kb {

namespace {

QString toQString(const std::string& cp1252) {
    return QString::fromStdString(cp1252ToUtf8(cp1252));
}

// Hands every event of `target` to `hook` first; a true return swallows it. Owned by
// `owner`, so the hook ends with whoever it calls into.
class EventHook final : public QObject {
public:
    EventHook(QObject* owner, QObject* target, std::function<bool(QEvent*)> hook)
        : QObject(owner), hook_(std::move(hook)) {
        target->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* e) override { return hook_(e); }

private:
    std::function<bool(QEvent*)> hook_;
};

bool isRelease(QEvent* e, Qt::MouseButton button) {
    return e->type() == QEvent::MouseButtonRelease &&
           static_cast<QMouseEvent*>(e)->button() == button;
}

}  // namespace

MessagePanel::MessagePanel(TForm1& form) : f_(form) {
    QObject* ctx = &context_;

    // In the Tools menu after the lessons, before the separator above Quit. Its key is
    // also the Continuous Replay submenu's; it must stand here alone to act at all.
    MenuLocalMessages = named(new QAction(&form), "MenuLocalMessages");
    MenuLocalMessages->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F8));
    const QList<QAction*> tools = form.MenuOutils->actions();
    const auto lessons = tools.indexOf(form.findChild<QAction*>(QStringLiteral("MenuLocallesson")));
    QAction* before =
        lessons >= 0 && lessons + 1 < tools.size() ? tools[lessons + 1] : form.MenuOutilsQuit;
    form.MenuOutils->insertAction(before, MenuLocalMessages);

    PanelMsg = named(new QDockWidget(QStringLiteral("MESSAGES"), &form), "PanelMsg");
    auto* body = new QWidget(PanelMsg);
    auto* grid = new QGridLayout(body);
    LabelPanelMsg = panelTitle(body, "LabelPanelMsg");
    LabelPanelMsg->setText(QStringLiteral("MESSAGES"));
    grid->addWidget(LabelPanelMsg, 0, 0, 1, 2);
    ButtonCloseMsg = named(new QPushButton(QStringLiteral("x"), body), "ButtonCloseMsg");
    ButtonCloseMsg->setFixedWidth(28);
    grid->addWidget(ButtonCloseMsg, 0, 2, Qt::AlignRight);
    for (int n = 0; n < MessageCount; ++n) {
        const QByteArray number = QByteArray::number(n + 1);
        EditMsg[n] = named(new QLineEdit(body), ("EditMsg" + number).constData());
        StaticTextMsg[n] = named(new QLabel(QStringLiteral("MSG#%1").arg(n + 1), body),
                                 ("StaticTextMsg" + number).constData());
        StaticTextMsg[n]->setCursor(Qt::PointingHandCursor);
        grid->addWidget(StaticTextMsg[n], n + 1, 0);
        grid->addWidget(EditMsg[n], n + 1, 1, 1, 2);
    }
    grid->setRowStretch(MessageCount + 1, 1);
    PanelMsg->setWidget(body);
    // It opens over the lower right-hand area like the other panels, and its float
    // button takes it out as a window of its own. A direct send happens with the panel
    // open: Stop and Quit must reach the sending.
    form.addSidePanel(
        PanelMsg, [this] { ButtonCloseMsg->click(); }, true);

    QObject::connect(MenuLocalMessages, &QAction::triggered, ctx,
                     [this] { MenuLocalMessagesClick(); });
    QObject::connect(ButtonCloseMsg, &QPushButton::clicked, ctx, [this] { ButtonCloseMsgClick(); });
    QObject::connect(PanelMsg, &QDockWidget::topLevelChanged, ctx, [this] { PanelMsgStartDock(); });
    // The dock's own close button (a floating panel has lost its "x") closes it the same way.
    new EventHook(ctx, PanelMsg, [this](QEvent* e) {
        if (e->type() == QEvent::Close) ButtonCloseMsgClick();
        return false;
    });
    for (int n = 0; n < MessageCount; ++n) {
        QObject::connect(EditMsg[n], &QLineEdit::textChanged, ctx, [this, n] { EditMsgChange(n); });
        QObject::connect(form.ButtonMsg[n], &QPushButton::clicked, ctx,
                         [this, n] { ButtonMsgClick(n); });
        new EventHook(ctx, form.ButtonMsg[n], [this](QEvent* e) {
            if (isRelease(e, Qt::RightButton)) ButtonMsgRightRelease();
            return false;
        });
        // A label takes no press of its own: the press is kept here, so its release
        // comes here too, and is the click when it falls on the label (dragged off, the
        // press is taken back).
        new EventHook(ctx, StaticTextMsg[n], [this, n](QEvent* e) {
            if (e->type() == QEvent::MouseButtonPress) {
                return static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton;
            }
            if (!isRelease(e, Qt::LeftButton)) return false;
            const QPoint at = static_cast<QMouseEvent*>(e)->position().toPoint();
            if (StaticTextMsg[n]->rect().contains(at)) StaticTextMsgClick(n);
            return true;
        });
    }
    EditMsg[0]->setText(toQString(std::string(InitialMessage1)));
    form.play().addMode(*this);
}

MessagePanel::~MessagePanel() = default;

bool MessagePanel::sendable(int n) const {
    std::string text = messageTexts_[n];
    MaskState noMask;
    std::string code;
    while (walkStep(text, f_.morse(), f_.shortcuts(), noMask, false, code) == WalkResult::Sound) {
        if (!code.empty()) return true;
        text.erase(0, 1);
    }
    return false;
}

void MessagePanel::ButtonMsgClick(int n) {
    if (messageTexts_[n].empty()) return;
    if (!sendable(n)) {
        f_.ui().beep();
        return;
    }
    f_.typed().SpeedButtonRAZtextClick();
    TypedTextEdit* box = f_.Editcaractere;
    box->setText(toQString(messageTexts_[n]));
    box->setCursorPosition(static_cast<int>(box->text().size()));
    box->setFocus();
    f_.ButtonReplayText->setEnabled(true);
    // A typed character may still be sounding (the box plays as it is typed, and these
    // buttons stay on meanwhile); the replay would spring back and the message be lost.
    if (f_.play().engine().busy()) {
        replayWhenIdle_ = true;
        return;
    }
    f_.ButtonReplayText->click();
}

void MessagePanel::ButtonMsgRightRelease() {
    MenuLocalMessages->trigger();
}

void MessagePanel::StaticTextMsgClick(int n) {
    if (messageTexts_[n].empty()) return;
    if (!sendable(n)) {
        f_.ui().beep();
        return;
    }
    // Queued behind a question, the message would be judged as the answer's character.
    if (f_.quiz().quizOn()) f_.quiz().stopQuiz();
    EditMsg[n]->setFocus();
    EditMsg[n]->selectAll();
    f_.play().engine().pendingText() += messageTexts_[n];
    // The mode choices, the message buttons and the modes' own controls, as any play
    // action; the end of the text gives them back.
    f_.setActivityControlsEnabled(false);
    f_.ButtonReplayText->setEnabled(false);
    f_.ButtonPlayFile->setEnabled(false);
    f_.ButtonContinueFile->setEnabled(false);
    f_.play().play();
}

void MessagePanel::EditMsgChange(int n) {
    messageTexts_[n] = utf8ToCp1252(EditMsg[n]->text().toStdString());
    f_.ButtonMsg[n]->setToolTip(EditMsg[n]->text());
}

void MessagePanel::MenuLocalMessagesClick() {
    if (f_.quiz().quizOn()) f_.quiz().stopQuiz();
    f_.openSidePanel(PanelMsg);
    // Dragged out, it is a window of its own, which the focus reaches only once active.
    if (PanelMsg->isFloating()) PanelMsg->activateWindow();
    EditMsg[0]->setFocus();
}

void MessagePanel::ButtonCloseMsgClick() {
    PanelMsg->hide();
    f_.quiz().setOkEnabled(true);
    f_.focusAfterSidePanel();
}

void MessagePanel::PanelMsgStartDock() {
    LabelPanelMsg->hide();
    ButtonCloseMsg->hide();
}

void MessagePanel::applySettings(const Settings& s, const SettingsKeys& present) {
    if (!present.contains("MSG=")) return;
    for (int n = 0; n < MessageCount; ++n) EditMsg[n]->setText(toQString(s.messages[n]));
}

void MessagePanel::collectSettings(Settings& s) const {
    s.messages = messageTexts_;
}

void MessagePanel::languageChanged() {
    PanelMsg->setWindowTitle(LabelPanelMsg->text());
}

void MessagePanel::afterEnd() {
    if (!std::exchange(replayWhenIdle_, false) || f_.Editcaractere->text().isEmpty()) return;
    f_.ButtonReplayText->setEnabled(true);
    f_.ButtonReplayText->click();
}

void MessagePanel::stopped(const std::optional<std::string>& /*unplayed*/) {
    replayWhenIdle_ = false;
}

}  // namespace kb

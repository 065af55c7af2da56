// The message memories through the window: the buttons beside the typed-text box, the
// messages panel and its labels, PTT on a fake serial port, and MSG= across a restart.

#include <gtest/gtest.h>
#include <QAction>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/settings_binding.h"
#include "keying/fake_io_ctrl.h"
#include "keying/fake_mm_timer.h"
#include "keying/fake_serial_lines.h"
#include "keying/keyer.h"
#include "keying/message_panel.h"
#include "modes/quiz_mode.h"
#include "support/window_harness.h"

namespace kb {
namespace {

class MessagePanelTest : public test::WindowTest {
protected:
    // With COM1 open for PTT; settings empty: the folder's keybird.dat as it stands.
    void start(const std::string& settings = defaultsWith({{"COM=", "1"}})) {
        form.reset();
        keyer = std::make_unique<Keyer>(lines, lpt, timer);
        test::WindowOptions o;
        o.settings = settings;
        o.useSettingsFile = settings.empty();
        o.keyer = keyer.get();
        o.show = true;
        create(o);
        lines.clearEvents();
    }
    MessagePanel& msg() { return form->messages(); }

    FakeClock clock;
    FakeSerialLines lines{clock};
    FakeIOCtrl lpt{clock};
    FakeMMTimer timer;
    std::unique_ptr<Keyer> keyer;
};

TEST_F(MessagePanelTest, SentThroughTheBoxOrDirectlyWithPttAndTheControlsBackAtTheEnd) {
    // With "ab" typed, a send comes while "a" sounds: directly, the message queues behind
    // "b"; through the box, Clear takes "b" back and the replay waits for "a" to end.
    // Nothing to sound: no PTT, no sound, and a beep unless the memory is empty.
    const std::tuple<const char*, bool, const char*, const char*, const char*> cases[] = {
        {"te", false, "", "te", "te"},    {"te", true, "", "old", "te"},
        {"te", true, "ab", "ab", "abte"}, {"te", false, "ab", "te", "ate"},
        {"", false, "", "old", ""},       {"", true, "", "old", ""},
        {"~~", false, "", "old", ""},     {" ~ ", true, "", "old", ""}};
    for (const auto& [text, label, typed, boxAfter, played] : cases) {
        SCOPED_TRACE(std::string(text) + (label ? " label " : " button ") + typed);
        start();
        if (label) msg().MenuLocalMessages->trigger();  // the labels are on the panel
        msg().EditMsg[0]->setText(QString::fromUtf8(text));
        form->Editcaractere->setText(QString::fromUtf8(*typed ? "" : "old"));
        type(typed);
        if (*typed) play().TimerTXDelayTimer();  // "a" sounds
        const int beeps = ui.beeps;
        QTest::mouseClick(
            label ? static_cast<QWidget*>(msg().StaticTextMsg[0]) : form->ButtonMsg[0],
            Qt::LeftButton);
        EXPECT_EQ(form->Editcaractere->text().toStdString(), boxAfter);
        EXPECT_EQ(ui.beeps - beeps, *text && !*played ? 1 : 0);
        if (!*played) {
            EXPECT_TRUE(lines.events().empty() && wave->writes.empty());
            continue;
        }
        EXPECT_TRUE(
            (label ? static_cast<QWidget*>(msg().EditMsg[0]) : form->Editcaractere)->hasFocus());
        EXPECT_EQ(lines.events().front(), "DTR+");  // PTT
        if (!*typed) {
            EXPECT_FALSE(form->RadioButtonFile->isEnabled() || form->ButtonMsg[2]->isEnabled());
            // The box's replay shows itself pressed; a direct send takes the button away.
            EXPECT_NE(form->ButtonReplayText->isEnabled(), label);
        }
        do {
            play().TimerTXDelayTimer();
            wave->completeAll();
        } while (play().TimerTXDelay->isActive());
        std::vector<std::int16_t> expected;
        for (const char* p = played; *p; ++p) {
            expected = join({expected, sound(form->morse()[static_cast<unsigned char>(*p)])});
        }
        EXPECT_EQ(heard(), expected);
        EXPECT_TRUE(form->RadioButtonFile->isEnabled() && form->ButtonMsg[2]->isEnabled() &&
                    form->ButtonReplayText->isEnabled());
        EXPECT_EQ(lines.events().back(), "RTS-");  // PTT released
    }
}

TEST_F(MessagePanelTest, StopOrQuitDuringADirectSendLeaveThePanelOpenAndActOnTheSending) {
    // The labels send with the panel open; a release dragged off a label sends nothing.
    const std::pair<const char*, bool> cases[] = {{"Stop during a direct send stops it", true},
                                                  {"Quit asks to quit", false}};
    for (const auto& [name, stop] : cases) {
        SCOPED_TRACE(name);
        start();
        ui.answerYes = false;
        msg().EditMsg[0]->setText(QStringLiteral("paris"));
        msg().MenuLocalMessages->trigger();
        QTest::mousePress(msg().StaticTextMsg[0], Qt::LeftButton);
        QTest::mouseRelease(msg().StaticTextMsg[0], Qt::LeftButton, {}, QPoint(-4, -4));
        EXPECT_TRUE(lines.events().empty());
        QTest::mouseClick(msg().StaticTextMsg[0], Qt::LeftButton);
        play().TimerTXDelayTimer();
        QTest::mouseClick(stop ? form->ButtonStop : form->ButtonQuitter, Qt::LeftButton);
        wave->completeAll();
        EXPECT_FALSE(msg().PanelMsg->isHidden());
        if (stop) {
            EXPECT_TRUE(pending().empty() && form->ButtonStop->isHidden());
            EXPECT_EQ(lines.events().back(), "RTS-");
        } else {
            EXPECT_EQ(ui.questions.size(), 1);
        }
    }
}

TEST_F(MessagePanelTest, TheMemoriesComeBackAfterARestartFilledInOrderWithTheirHints) {
    using Memories = std::array<std::string, MessageCount>;
    const std::pair<Memories, Memories> cases[] = {
        {{"cq de f6abc", "", "qrz?", "", "", ""}, {"cq de f6abc", "qrz?", "", "", "", ""}},
        {{"", "", "", "", "", ""}, {"73 de N0CALL", "", "", "", "", ""}},
        {{"", "", "", "", "", "k"}, {"k", "", "", "", "", ""}}};
    for (const auto& [before, after] : cases) {
        start({});
        for (int n = 0; n < MessageCount; ++n) msg().EditMsg[n]->setText(before[n].c_str());
        form->settingsBinding().write();
        start({});
        EXPECT_EQ(msg().messages(), after);
        for (int n = 0; n < MessageCount; ++n) {
            EXPECT_EQ(form->ButtonMsg[n]->toolTip().toStdString(), after[n]);
        }
    }
}

TEST_F(MessagePanelTest, ThePanelOpensFromTheMenuItsKeyOrARightClickAndSendsNothing) {
    // A running quiz disables the message buttons: only the menu and its key meet one.
    const std::tuple<const char*, bool, std::function<void()>> cases[] = {
        {"menu", true, [this] { msg().MenuLocalMessages->trigger(); }},
        {"key", true,
         [this] {
             QTest::keyClick(form->Editcaractere, Qt::Key_F8,
                             Qt::ControlModifier | Qt::ShiftModifier);
         }},
        {"right click", false, [this] { QTest::mouseClick(form->ButtonMsg[0], Qt::RightButton); }}};
    start();
    EXPECT_EQ(msg().PanelMsg->windowTitle(), QStringLiteral("   LOCAL MESSAGES"));
    for (const auto& [name, quiz, open] : cases) {
        SCOPED_TRACE(name);
        form->RadioButtonQuiz->click();
        if (quiz) form->quiz().ButtonQuizOK->click();
        wave->completeAll();  // the question waits for its answer
        const std::size_t written = wave->writes.size();
        open();
        EXPECT_FALSE(form->quiz().quizOn() || msg().PanelMsg->isHidden());
        EXPECT_TRUE(msg().EditMsg[0]->hasFocus());
        EXPECT_FALSE(form->quiz().ButtonQuizOK->isEnabled());
        EXPECT_EQ(wave->writes.size(), written);
        msg().ButtonCloseMsg->click();
        EXPECT_TRUE(msg().PanelMsg->isHidden() && form->quiz().ButtonQuizOK->isEnabled());
        EXPECT_TRUE(form->Editcaractere->hasFocus());
    }
    // Dragged out, it loses its own title and "x".
    msg().MenuLocalMessages->trigger();
    msg().PanelMsg->setFloating(true);
    EXPECT_TRUE(msg().LabelPanelMsg->isHidden() && msg().ButtonCloseMsg->isHidden());
    // Floating, it is a window of its own, which opening makes active.
    form->activateWindow();
    msg().MenuLocalMessages->trigger();
    EXPECT_TRUE(QTest::qWaitForWindowActive(msg().PanelMsg) && msg().EditMsg[0]->hasFocus());
}

}  // namespace
}  // namespace kb

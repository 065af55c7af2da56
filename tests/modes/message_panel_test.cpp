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
#include "keying/clock.h"
#include "keying/fake_io_ctrl.h"
#include "keying/fake_mm_timer.h"
#include "keying/fake_serial_lines.h"
#include "keying/keyer.h"
#include "keying/message_panel.h"
#include "modes/quiz_mode.h"
#include "support/window_harness.h"

namespace kb {
namespace {

using Memories = std::array<std::string, MessageCount>;

class MessagePanelTest : public test::WindowTest {
protected:
    // settings empty: the folder's keybird.dat as it stands.
    void start(const std::string& settings = defaultsWith({{"COM=", "1"}})) {
        form.reset();
        keyer = std::make_unique<Keyer>(lines, lpt, timer);
        test::WindowOptions o;
        o.keyer = keyer.get();
        o.show = true;
        o.settings = settings;
        o.useSettingsFile = settings.empty();
        create(o);
        lines.clearEvents();
    }
    void TearDown() override {
        form.reset();
        WindowTest::TearDown();
    }
    MessagePanel& msg() { return form->messages(); }
    void setMemory(int n, const char* text) { msg().EditMsg[n]->setText(QString::fromUtf8(text)); }
    Memories memories() { return msg().messages(); }

    FakeClock clock;
    FakeSerialLines lines{clock};
    FakeIOCtrl lpt{clock};
    FakeMMTimer timer;
    std::unique_ptr<Keyer> keyer;
};

TEST_F(MessagePanelTest, AMemoryWithNothingToSoundSendsNothing) {
    struct Case {
        const char* text;
        bool label;
        int beeps;
    };
    const Case cases[] = {{"", false, 0}, {"", true, 0}, {"~~", false, 1}, {" ~ ", true, 1}};
    start();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + (c.label ? " label" : " button"));
        setMemory(1, c.text);
        form->Editcaractere->setText(QStringLiteral("old"));
        const int beeps = ui.beeps;
        if (c.label) {
            QTest::mouseClick(msg().StaticTextMsg[1], Qt::LeftButton);
        } else {
            QTest::mouseClick(form->ButtonMsg[1], Qt::LeftButton);
        }
        EXPECT_EQ(ui.beeps - beeps, c.beeps);
        EXPECT_TRUE(lines.events().empty()) << "no PTT";
        EXPECT_FALSE(play().TimerTXDelay->isActive());
        EXPECT_TRUE(wave->writes.empty());
        EXPECT_EQ(form->Editcaractere->text(), QStringLiteral("old"));
        EXPECT_TRUE(form->RadioButtonFile->isEnabled());
    }
}

TEST_F(MessagePanelTest, ThroughTheBoxOrDirectlyWithPttAndTheControlsBackAtTheEnd) {
    struct Case {
        bool label;
        QString boxAfter;
    };
    for (const Case& c : {Case{false, QStringLiteral("te")}, Case{true, QStringLiteral("old")}}) {
        SCOPED_TRACE(c.label ? "label" : "button");
        start();
        setMemory(0, "te");
        form->Editcaractere->setText(QStringLiteral("old"));
        QTest::mouseClick(
            c.label ? static_cast<QWidget*>(msg().StaticTextMsg[0]) : form->ButtonMsg[0],
            Qt::LeftButton);
        EXPECT_EQ(form->Editcaractere->text(), c.boxAfter);
        QWidget* focus = c.label ? static_cast<QWidget*>(msg().EditMsg[0]) : form->Editcaractere;
        EXPECT_TRUE(focus->hasFocus());
        if (c.label) {
            EXPECT_EQ(msg().EditMsg[0]->selectedText(), QStringLiteral("te"));
        }
        EXPECT_EQ(lines.events(), (std::vector<std::string>{"DTR+", "RTS+"}));
        ASSERT_TRUE(play().TimerTXDelay->isActive());
        EXPECT_TRUE(wave->writes.empty());
        // The box's replay shows itself pressed; a direct send takes the button away.
        EXPECT_TRUE(c.label ? !form->ButtonReplayText->isEnabled()
                            : form->ButtonReplayText->isChecked());
        for (QWidget* w :
             std::initializer_list<QWidget*>{form->RadioButtonFile, form->RadioButtonQuiz,
                                             form->ButtonPlayFile, form->ButtonMsg[2]}) {
            EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
        }
        play().TimerTXDelayTimer();
        wave->completeAll();
        EXPECT_EQ(heard(), join({sound("-"), sound(".")}));
        EXPECT_TRUE(form->RadioButtonFile->isEnabled());
        EXPECT_TRUE(form->ButtonMsg[2]->isEnabled());
        EXPECT_TRUE(form->ButtonReplayText->isEnabled());
        EXPECT_TRUE(form->ButtonStop->isHidden());
        EXPECT_EQ(lines.events(), (std::vector<std::string>{"DTR+", "RTS+", "DTR-", "RTS-"}));
    }
}

TEST_F(MessagePanelTest, SentWhileATypedCharacterSoundsTheMessageFollowsIt) {
    // Directly, it queues behind the text; through the box, the replay waits for the end.
    struct Case {
        bool label;
        QString boxAfter;
    };
    for (const Case& c : {Case{true, QStringLiteral("ab")}, Case{false, QStringLiteral("te")}}) {
        SCOPED_TRACE(c.label ? "label" : "button");
        start(defaultsWith({}));
        setMemory(0, "te");
        type("ab");
        ASSERT_EQ(wave->writes.size(), 1u);
        if (c.label) {
            msg().StaticTextMsgClick(0);
            EXPECT_EQ(pending(), "bte");
        } else {
            form->ButtonMsg[0]->click();
            EXPECT_TRUE(pending().empty()) << "Clear takes the queued b back";
        }
        wave->completeAll();
        EXPECT_EQ(heard(), c.label ? join({sound(".-"), sound("-..."), sound("-"), sound(".")})
                                   : join({sound(".-"), sound("-"), sound(".")}));
        EXPECT_EQ(form->Editcaractere->text(), c.boxAfter);
        EXPECT_TRUE(form->ButtonStop->isHidden());
    }
}

TEST_F(MessagePanelTest, TheMemoriesComeBackAfterARestartFilledInOrder) {
    struct Case {
        Memories before;
        Memories after;
    };
    const Case cases[] = {
        {{"cq de f6abc", "", "qrz?", "", "", ""}, {"cq de f6abc", "qrz?", "", "", "", ""}},
        {{"", "", "", "", "", ""}, {"73 de N0CALL", "", "", "", "", ""}},
        {{"", "", "", "", "", "k"}, {"k", "", "", "", "", ""}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before[0]);
        start({});
        for (int n = 0; n < MessageCount; ++n) setMemory(n, c.before[n].c_str());
        form->settingsBinding().write();
        start({});
        EXPECT_EQ(memories(), c.after);
        for (int n = 0; n < MessageCount; ++n) {
            EXPECT_EQ(form->ButtonMsg[n]->toolTip().toStdString(), c.after[n]);
            EXPECT_EQ(msg().EditMsg[n]->text().toStdString(), c.after[n]);
        }
    }
}

TEST_F(MessagePanelTest, ThePanelOpensFromTheMenuItsKeyOrARightClickAndSendsNothing) {
    // A running quiz disables the message buttons: only the menu and its key meet one.
    struct Case {
        const char* name;
        bool quiz;
        std::function<void()> open;
    };
    const Case cases[] = {
        {"menu", true, [this] { msg().MenuLocalMessages->trigger(); }},
        {"key", true,
         [this] {
             QTest::keyClick(form->Editcaractere, Qt::Key_F8,
                             Qt::ControlModifier | Qt::ShiftModifier);
         }},
        {"right click", false, [this] { QTest::mouseClick(form->ButtonMsg[3], Qt::RightButton); }}};
    start();
    EXPECT_EQ(form->ButtonMsg[0]->toolTip(), QStringLiteral("73 de N0CALL"));
    const QList<QAction*> tools = form->MenuOutils->actions();
    const auto at = tools.indexOf(msg().MenuLocalMessages);
    ASSERT_GT(at, 0);
    EXPECT_EQ(tools[at - 1]->objectName(), QStringLiteral("MenuLocallesson"));
    EXPECT_TRUE(tools[at + 1]->isSeparator());
    EXPECT_EQ(msg().PanelMsg->windowTitle(), QStringLiteral("   LOCAL MESSAGES"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form->RadioButtonQuiz->click();
        if (c.quiz) {
            form->quiz().ButtonQuizOK->click();
            wave->completeAll();  // the question waits for its answer
        }
        const std::size_t written = wave->writes.size();
        c.open();
        EXPECT_FALSE(form->quiz().quizOn());
        EXPECT_FALSE(msg().PanelMsg->isHidden());
        EXPECT_FALSE(form->MenuContinuous->isVisible());
        EXPECT_TRUE(msg().EditMsg[0]->hasFocus());
        EXPECT_FALSE(form->quiz().ButtonQuizOK->isEnabled());
        EXPECT_EQ(wave->writes.size(), written);
        QTest::keyClicks(msg().EditMsg[4], QStringLiteral("qrl?"));
        EXPECT_EQ(form->ButtonMsg[4]->toolTip(), QStringLiteral("qrl?"));
        msg().EditMsg[4]->clear();
        msg().ButtonCloseMsg->click();
        EXPECT_TRUE(msg().PanelMsg->isHidden());
        EXPECT_TRUE(form->quiz().ButtonQuizOK->isEnabled());
        EXPECT_TRUE(form->Editcaractere->hasFocus());
    }
    // Dragged out, it loses its own title and "x".
    form->Spacing1->trigger();
    msg().MenuLocalMessages->trigger();
    EXPECT_FALSE(form->findChild<QWidget*>(QStringLiteral("PanelEspace"))->isVisible());
    msg().PanelMsg->setFloating(true);
    EXPECT_TRUE(msg().LabelPanelMsg->isHidden());
    EXPECT_TRUE(msg().ButtonCloseMsg->isHidden());
}

}  // namespace
}  // namespace kb

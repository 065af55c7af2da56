// The typed-text mode through the window: live typing, Backspace, delayed play, replay
// and resume with the highlight, continuous replay, Clear and shortcut keys.

#include <gtest/gtest.h>
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "modes/typed_text.h"
#include "support/window_harness.h"

namespace kb {
namespace {

class TypedTextTest : public test::WindowTest {
protected:
    void SetUp() override {
        test::WindowOptions o;
        o.show = true;
        create(o);
    }
    TypedTextMode& typed() { return form->typed(); }
};

TEST_F(TypedTextTest, TwoCharactersTypedQuicklyPlayInOrderNoneLostOrDoubled) {
    type("ab");
    EXPECT_EQ(pending(), "b");           // "a" sounds
    ASSERT_EQ(wave->writes.size(), 1u);  // only one buffer is ever with the device
    EXPECT_FALSE(form->ButtonStop->isHidden());
    EXPECT_EQ(wave->completeAll(), 2);
    EXPECT_TRUE(pending().empty());
    EXPECT_EQ(heard(), join({sound(".-"), sound("-...")}));
    EXPECT_TRUE(form->ButtonStop->isHidden());
    EXPECT_FALSE(form->ButtonQuitter->isHidden());
    EXPECT_TRUE(form->ButtonReplayText->isEnabled());
}

TEST_F(TypedTextTest, BlanksAreWordGapsAndCodelessCharactersTakeNoTime) {
    type("e e&e");
    wave->completeAll();
    EXPECT_EQ(heard(), join({sound("."), sound(""), sound("."), sound(".")}));
    // The blank: 3 element gaps at word factor 1.
    EXPECT_EQ(sound("").size(), 3u * elementDurations(speedFactor(12), 3).gap);
}

TEST_F(TypedTextTest, BackspaceRemovesTheLastQueuedCharacterOnly) {
    type("abc");
    QTest::keyClick(form->Editcaractere, Qt::Key_Backspace);
    EXPECT_EQ(pending(), "b");  // "a" sounds, "c" is taken back
    EXPECT_EQ(form->Editcaractere->text(), QStringLiteral("ab"));
    wave->completeAll();
    EXPECT_EQ(wave->writes.size(), 2u);
    // An empty queue: the box still deletes, nothing is queued or played.
    QTest::keyClick(form->Editcaractere, Qt::Key_Backspace);
    EXPECT_TRUE(pending().empty());
    EXPECT_EQ(form->Editcaractere->text(), QStringLiteral("a"));
    EXPECT_EQ(wave->writes.size(), 2u);
}

TEST_F(TypedTextTest, DelayedPlayQueuesNothingAndReplayPlaysTheWholeBox) {
    form->MenuDelayedPlay->trigger();
    type("ab c");
    EXPECT_TRUE(pending().empty());
    EXPECT_TRUE(wave->writes.empty());
    EXPECT_TRUE(form->ButtonReplayText->isEnabled());

    QTest::mouseClick(form->ButtonReplayText, Qt::LeftButton);
    EXPECT_TRUE(typed().replayOn());
    EXPECT_TRUE(form->ButtonReplayText->isChecked());
    EXPECT_TRUE(form->Editcaractere->isReadOnly());
    EXPECT_FALSE(form->RadioButtonFile->isEnabled());
    EXPECT_FALSE(form->ButtonMsg[0]->isEnabled());
    EXPECT_EQ(form->Editcaractere->selectedText(), QStringLiteral("a"));
    wave->completeNext();
    EXPECT_EQ(form->Editcaractere->selectedText(), QStringLiteral("ab"));
    wave->completeAll();
    EXPECT_EQ(wave->writes.size(), 4u);  // a, b, blank, c
    EXPECT_FALSE(typed().replayOn());
    EXPECT_FALSE(form->ButtonReplayText->isChecked());
    EXPECT_FALSE(form->Editcaractere->isReadOnly());
    EXPECT_TRUE(form->RadioButtonFile->isEnabled());
    EXPECT_TRUE(form->ButtonMsg[0]->isEnabled());
}

TEST_F(TypedTextTest, ReplayWhileLiveCharactersSoundSpringsBack) {
    type("abc");
    QTest::mouseClick(form->ButtonReplayText, Qt::LeftButton);  // disabled while typing
    form->ButtonReplayText->setEnabled(true);
    QTest::mouseClick(form->ButtonReplayText, Qt::LeftButton);
    EXPECT_FALSE(form->ButtonReplayText->isChecked());
    EXPECT_FALSE(typed().replayOn());
    EXPECT_EQ(pending(), "bc");
}

TEST_F(TypedTextTest, StopDuringAReplayThenResumeContinuesAfterTheSoundingCharacter) {
    form->MenuDelayedPlay->trigger();
    type("abcdef");
    form->ButtonReplayText->click();
    wave->completeNext();  // a
    wave->completeNext();  // b
    wave->completeNext();  // c: d is now with the device
    EXPECT_EQ(form->Editcaractere->selectedText(), QStringLiteral("abcd"));
    QTest::mouseClick(form->ButtonStop, Qt::LeftButton);
    EXPECT_TRUE(pending().empty());
    EXPECT_EQ(typed().resumeText(), "ef");
    EXPECT_EQ(form->ButtonReplayText->text(), QStringLiteral("Resume &Text"));
    wave->completeAll();  // d plays out; its completion ends the text
    EXPECT_EQ(wave->writes.size(), 4u);
    EXPECT_TRUE(form->ButtonStop->isHidden());
    EXPECT_EQ(form->Editcaractere->selectedText(), QStringLiteral("abcd"));

    form->ButtonReplayText->click();
    EXPECT_EQ(form->Editcaractere->selectedText(), QStringLiteral("abcde"));
    wave->completeAll();
    ASSERT_EQ(wave->writes.size(), 6u);
    EXPECT_EQ(wave->writes[4].values, sound("."));
    EXPECT_EQ(wave->writes[5].values, sound("..-."));
    EXPECT_EQ(form->ButtonReplayText->text(), QStringLiteral("Replay &Text"));
}

TEST_F(TypedTextTest, AnEditDiscardsTheResume) {
    form->MenuDelayedPlay->trigger();
    type("abcdef");
    form->ButtonReplayText->click();
    wave->completeNext();
    form->ButtonStop->click();
    wave->completeAll();
    ASSERT_FALSE(typed().resumeText().empty());
    form->Editcaractere->setCursorPosition(6);
    type("g");
    EXPECT_TRUE(typed().resumeText().empty());
    EXPECT_EQ(form->ButtonReplayText->text(), QStringLiteral("Replay &Text"));
    const std::size_t before = wave->writes.size();
    form->ButtonReplayText->click();
    wave->completeAll();
    EXPECT_EQ(wave->writes.size() - before, 7u);  // the whole box from its start
}

TEST_F(TypedTextTest, ContinuousReplayRestartsAfterTheStandby) {
    form->MenuDelayedPlay->trigger();
    form->MenuStanby1s->trigger();
    EXPECT_TRUE(play().continuousReplay());
    type("ee");
    form->ButtonReplayText->click();
    EXPECT_EQ(pending(), "e ");  // a word gap between the repetitions, the first "e" sounds
    wave->completeAll();
    EXPECT_EQ(wave->writes.size(), 3u);
    EXPECT_TRUE(play().TimerBoucle->isActive());
    EXPECT_EQ(play().TimerBoucle->interval(), 1000);
    EXPECT_FALSE(typed().replayOn());

    play().TimerBoucleTimer();  // the standby is over
    EXPECT_FALSE(play().TimerBoucle->isActive());
    EXPECT_TRUE(typed().replayOn());
    wave->completeAll();
    EXPECT_EQ(wave->writes.size(), 6u);

    form->MenuNoBoucle->trigger();
    EXPECT_FALSE(play().TimerBoucle->isActive());
    EXPECT_FALSE(play().continuousReplay());
}

TEST_F(TypedTextTest, StopDuringTheStandbyOfAContinuousReplayEndsIt) {
    form->MenuDelayedPlay->trigger();
    form->MenuStandby10s->trigger();
    type("e");
    form->ButtonReplayText->click();
    wave->completeAll();
    ASSERT_TRUE(play().TimerBoucle->isActive());
    ASSERT_TRUE(form->Editcaractere->isReadOnly());
    form->ButtonStop->click();
    EXPECT_FALSE(play().TimerBoucle->isActive());
    EXPECT_FALSE(form->Editcaractere->isReadOnly());
    EXPECT_TRUE(form->ButtonStop->isHidden());
    EXPECT_TRUE(form->RadioButtonFile->isEnabled());
    EXPECT_FALSE(form->ButtonReplayText->isChecked());
}

TEST_F(TypedTextTest, ATextOfOnlyCodelessCharactersEndsAtOnce) {
    form->MenuDelayedPlay->trigger();
    type("#&%");
    form->ButtonReplayText->click();
    EXPECT_TRUE(wave->writes.empty());
    EXPECT_TRUE(pending().empty());
    EXPECT_FALSE(typed().replayOn());
    EXPECT_TRUE(form->ButtonStop->isHidden());
    EXPECT_FALSE(form->Editcaractere->isReadOnly());
}

TEST_F(TypedTextTest, ClearEmptiesTheBoxAndTheQueueButLetsTheSoundingCharacterEnd) {
    type("abc");
    form->SpeedButtonRAZtext->click();
    EXPECT_TRUE(form->Editcaractere->text().isEmpty());
    EXPECT_TRUE(pending().empty());
    wave->completeAll();
    EXPECT_EQ(wave->writes.size(), 1u);
    EXPECT_TRUE(form->ButtonStop->isHidden());
}

TEST_F(TypedTextTest, AShortcutKeyIsReplacedInTheBoxAndItsTextQueued) {
    form->shortcuts()[0] = {"&", "es"};
    type("a&");
    EXPECT_EQ(form->Editcaractere->text(), QStringLiteral("aes"));
    EXPECT_EQ(pending(), "es");  // "a" sounds
    type("b");
    EXPECT_EQ(form->Editcaractere->text(), QStringLiteral("aesb"));
}

}  // namespace
}  // namespace kb

// The main window driven through its widgets, with a fake sound device: what is played,
// in what order, with which gaps, and which controls are shown.

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QRadioButton>
#include <QToolButton>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/app_shell.h"
#include "audio/playback_engine.h"
#include "support/fake_ui.h"
#include "support/fake_wave_out.h"
#include "ui/form1.h"
#include "ui/typed_text_edit.h"

namespace kb {
namespace {

using test::FakeUi;
using test::FakeWaveOut;

// The expected sound of one character, built from the timing model: per element its
// tone from the table with the 50-frame fall, an element gap of silence; then `gaps`
// element gaps.
void appendExpected(std::vector<std::int16_t>& out, const ToneTable& tone, std::string_view code,
                    const ElementDurations& d, int gaps) {
    for (char e : code) {
        const int len = e == '-' ? d.dash : d.dot;
        for (int i = 0; i < len; ++i) {
            const int framesLeft = (len - 1 - i) / 2;  // frames still to come
            const long double v = framesLeft < 50 ? tone[i] * (framesLeft / 50.0L) : tone[i];
            out.push_back(static_cast<std::int16_t>(std::llrintl(v)));
        }
        out.insert(out.end(), static_cast<std::size_t>(d.gap), 0);
    }
    out.insert(out.end(), static_cast<std::size_t>(gaps) * d.gap, 0);
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { create({}); }

    void create(std::vector<std::string> args, int openResult = 0) {
        form.reset();
        wave = std::make_unique<FakeWaveOut>();
        wave->openResult = openResult;
        FormDevices dev;
        dev.waveOut = wave.get();
        dev.ui = &ui;
        dev.arguments = std::move(args);
        form = std::make_unique<TForm1>(dev);
        form->shell().FormCreate();
        form->show();
        QApplication::setActiveWindow(form.get());
        form->Editcaractere->setFocus();
    }

    void type(const char* text) { QTest::keyClicks(form->Editcaractere, QString::fromUtf8(text)); }

    ElementDurations durations(int wpm = 12, int weight = 3) {
        return elementDurations(speedFactor(wpm), weight);
    }

    const ToneTable& tone() { return form->soundTables().tone(); }
    const std::string& pending() { return form->state().pendingText; }

    FakeUi ui;
    std::unique_ptr<FakeWaveOut> wave;
    std::unique_ptr<TForm1> form;
};

TEST_F(MainWindowTest, StartsWithTheClassicStateAndCaption) {
    EXPECT_EQ(form->windowTitle(),
              QStringLiteral("KEYBIRD 3.1.7 - THE  MORSE  CODE  TEACHER  &  TRAINER"));
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(form->UpDownVitesse->value(), 12);
    EXPECT_EQ(form->SpinEditEspace->value(), 1);
    EXPECT_EQ(form->UpDownAmplitude->value(), -9);
    EXPECT_TRUE(form->Poids31->isChecked());
    EXPECT_TRUE(form->MenuEspaceMotN[0]->isChecked());
    EXPECT_TRUE(form->ButtonStop->isHidden());
    EXPECT_FALSE(form->ButtonQuitter->isHidden());
    EXPECT_FALSE(form->ButtonReplayText->isEnabled());
    EXPECT_FALSE(form->ButtonPlayFile->isEnabled());
    EXPECT_TRUE(form->ButtonContinueFile->isHidden());
    EXPECT_TRUE(form->RadioButtonAlphabet->isChecked());
    EXPECT_EQ(form->ButtonReplayText->text(), QStringLiteral("Replay &Text"));
    EXPECT_EQ(form->LabelVitesseCorrigee->text(), QStringLiteral("Real speed (wpm) = 12.0"));
    EXPECT_TRUE(form->Editcaractere->hasFocus());
    // The open notice built the tone table: frame 1 of an 800 Hz sine at the start level.
    EXPECT_NE(tone()[2], 0);
    EXPECT_TRUE(ui.errors.isEmpty());
    // Nothing runs while idle.
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_FALSE(form->TimerBoucle->isActive());
    EXPECT_FALSE(form->TimerTXDelay->isActive());
}

TEST_F(MainWindowTest, TwoCharactersTypedQuicklyPlayInOrderNoneLostOrDoubled) {
    type("ab");
    EXPECT_EQ(pending(), "ab");
    ASSERT_EQ(wave->writes.size(), 1u);  // only one buffer is ever with the device
    EXPECT_FALSE(form->ButtonStop->isHidden());
    EXPECT_EQ(wave->completeAll(), 2);
    EXPECT_TRUE(pending().empty());

    std::vector<std::int16_t> expected;
    appendExpected(expected, tone(), ".-", durations(), 2);
    appendExpected(expected, tone(), "-...", durations(), 2);
    EXPECT_EQ(wave->toneStream(), expected);
    EXPECT_TRUE(form->ButtonStop->isHidden());
    EXPECT_FALSE(form->ButtonQuitter->isHidden());
    EXPECT_TRUE(form->ButtonReplayText->isEnabled());
}

TEST_F(MainWindowTest, BlanksAreWordGapsAndCodelessCharactersTakeNoTime) {
    type("e e&e");
    wave->completeAll();
    const ElementDurations d = durations();
    std::vector<std::int16_t> expected;
    appendExpected(expected, tone(), ".", d, 2);
    appendExpected(expected, tone(), "", d, 3);  // the blank: 3 x factor element gaps
    appendExpected(expected, tone(), ".", d, 2);
    appendExpected(expected, tone(), ".", d, 2);
    EXPECT_EQ(wave->toneStream(), expected);
}

TEST_F(MainWindowTest, SpeedAndSpacingChangesTakeEffectAtTheNextCharacter) {
    type("ee");
    form->UpDownVitesse->setValue(20);
    form->SpinEditEspace->setValue(2);
    wave->completeAll();
    std::vector<std::int16_t> expected;
    appendExpected(expected, tone(), ".", durations(12), 2);
    appendExpected(expected, tone(), ".", durations(20), 5);
    EXPECT_EQ(wave->toneStream(), expected);
}

TEST_F(MainWindowTest, WeightAndWordSpacingComeFromTheMenus) {
    form->Poids51->trigger();
    form->MenuEspaceMotN[1]->trigger();
    EXPECT_EQ(form->LabelVitesseCorrigee->text(), QStringLiteral("Real speed (wpm) = 11.3"));
    type("e e");
    wave->completeAll();
    const ElementDurations d = durations(12, 5);
    EXPECT_EQ(d.dot, 2 * 1250);
    std::vector<std::int16_t> expected;
    appendExpected(expected, tone(), ".", d, 2);
    appendExpected(expected, tone(), "", d, 6);
    appendExpected(expected, tone(), ".", d, 2);
    EXPECT_EQ(wave->toneStream(), expected);
}

TEST_F(MainWindowTest, BackspaceRemovesTheLastQueuedCharacterOnly) {
    type("abc");
    QTest::keyClick(form->Editcaractere, Qt::Key_Backspace);
    EXPECT_EQ(pending(), "ab");
    EXPECT_EQ(form->Editcaractere->text(), QStringLiteral("ab"));
    wave->completeAll();
    EXPECT_EQ(wave->writes.size(), 2u);
    // An empty queue: the box still deletes, nothing is queued or played.
    QTest::keyClick(form->Editcaractere, Qt::Key_Backspace);
    EXPECT_TRUE(pending().empty());
    EXPECT_EQ(form->Editcaractere->text(), QStringLiteral("a"));
    EXPECT_EQ(wave->writes.size(), 2u);
}

TEST_F(MainWindowTest, DelayedPlayQueuesNothingAndReplayPlaysTheWholeBox) {
    form->MenuDelayedPlay->trigger();
    type("ab c");
    EXPECT_TRUE(pending().empty());
    EXPECT_TRUE(wave->writes.empty());
    EXPECT_TRUE(form->ButtonReplayText->isEnabled());

    QTest::mouseClick(form->ButtonReplayText, Qt::LeftButton);
    EXPECT_TRUE(form->state().typedReplayOn);
    EXPECT_TRUE(form->ButtonReplayText->isChecked());
    EXPECT_TRUE(form->Editcaractere->isReadOnly());
    EXPECT_FALSE(form->RadioButtonFile->isEnabled());
    EXPECT_FALSE(form->ButtonMsg[0]->isEnabled());
    EXPECT_EQ(form->Editcaractere->selectedText(), QStringLiteral("a"));
    wave->completeNext();
    EXPECT_EQ(form->Editcaractere->selectedText(), QStringLiteral("ab"));
    wave->completeAll();
    EXPECT_EQ(wave->writes.size(), 4u);  // a, b, blank, c
    EXPECT_FALSE(form->state().typedReplayOn);
    EXPECT_FALSE(form->ButtonReplayText->isChecked());
    EXPECT_FALSE(form->Editcaractere->isReadOnly());
    EXPECT_TRUE(form->RadioButtonFile->isEnabled());
    EXPECT_TRUE(form->ButtonMsg[0]->isEnabled());
}

TEST_F(MainWindowTest, ReplayWhileLiveCharactersSoundSpringsBack) {
    type("abc");
    QTest::mouseClick(form->ButtonReplayText, Qt::LeftButton);  // disabled while typing
    form->ButtonReplayText->setEnabled(true);
    QTest::mouseClick(form->ButtonReplayText, Qt::LeftButton);
    EXPECT_FALSE(form->ButtonReplayText->isChecked());
    EXPECT_FALSE(form->state().typedReplayOn);
    EXPECT_EQ(pending(), "abc");
}

TEST_F(MainWindowTest, StopDuringAReplayThenResumeContinuesAfterTheSoundingCharacter) {
    form->MenuDelayedPlay->trigger();
    type("abcdef");
    form->ButtonReplayText->click();
    wave->completeNext();  // a
    wave->completeNext();  // b
    wave->completeNext();  // c: d is now with the device
    EXPECT_EQ(form->Editcaractere->selectedText(), QStringLiteral("abcd"));
    QTest::mouseClick(form->ButtonStop, Qt::LeftButton);
    EXPECT_TRUE(pending().empty());
    EXPECT_EQ(form->state().typedResumeText, "ef");
    EXPECT_EQ(form->ButtonReplayText->text(), QStringLiteral("Resume &Text"));
    wave->completeAll();  // d plays out; its completion ends the text
    EXPECT_EQ(wave->writes.size(), 4u);
    EXPECT_TRUE(form->ButtonStop->isHidden());
    EXPECT_EQ(form->Editcaractere->selectedText(), QStringLiteral("abcd"));

    form->ButtonReplayText->click();
    EXPECT_EQ(form->Editcaractere->selectedText(), QStringLiteral("abcde"));
    wave->completeAll();
    ASSERT_EQ(wave->writes.size(), 6u);
    std::vector<std::int16_t> e, f;
    appendExpected(e, tone(), ".", durations(), 2);
    appendExpected(f, tone(), "..-.", durations(), 2);
    EXPECT_EQ(wave->writes[4].values, e);
    EXPECT_EQ(wave->writes[5].values, f);
    EXPECT_EQ(form->ButtonReplayText->text(), QStringLiteral("Replay &Text"));
}

TEST_F(MainWindowTest, AnEditDiscardsTheResume) {
    form->MenuDelayedPlay->trigger();
    type("abcdef");
    form->ButtonReplayText->click();
    wave->completeNext();
    form->ButtonStop->click();
    wave->completeAll();
    ASSERT_FALSE(form->state().typedResumeText.empty());
    form->Editcaractere->setCursorPosition(6);
    type("g");
    EXPECT_TRUE(form->state().typedResumeText.empty());
    EXPECT_EQ(form->ButtonReplayText->text(), QStringLiteral("Replay &Text"));
    const std::size_t before = wave->writes.size();
    form->ButtonReplayText->click();
    wave->completeAll();
    EXPECT_EQ(wave->writes.size() - before, 7u);  // the whole box from its start
}

TEST_F(MainWindowTest, ContinuousReplayRestartsAfterTheStandby) {
    form->MenuDelayedPlay->trigger();
    form->MenuStanby1s->trigger();
    EXPECT_TRUE(form->MenuContinuous->menuAction()->isChecked());
    type("ee");
    form->ButtonReplayText->click();
    EXPECT_EQ(pending(), "ee ");  // a word gap between the repetitions
    wave->completeAll();
    EXPECT_EQ(wave->writes.size(), 3u);
    EXPECT_TRUE(form->TimerBoucle->isActive());
    EXPECT_EQ(form->TimerBoucle->interval(), 1000);
    EXPECT_FALSE(form->state().typedReplayOn);

    form->engine().TimerBoucleTimer();  // the standby is over
    EXPECT_FALSE(form->TimerBoucle->isActive());
    EXPECT_TRUE(form->state().typedReplayOn);
    wave->completeAll();
    EXPECT_EQ(wave->writes.size(), 6u);

    form->MenuNoBoucle->trigger();
    EXPECT_FALSE(form->TimerBoucle->isActive());
    EXPECT_FALSE(form->MenuContinuous->menuAction()->isChecked());
}

TEST_F(MainWindowTest, StopDuringTheStandbyOfAContinuousReplayEndsIt) {
    form->MenuDelayedPlay->trigger();
    form->MenuStandby10s->trigger();
    type("e");
    form->ButtonReplayText->click();
    wave->completeAll();
    ASSERT_TRUE(form->TimerBoucle->isActive());
    ASSERT_TRUE(form->Editcaractere->isReadOnly());
    form->ButtonStop->click();
    EXPECT_FALSE(form->TimerBoucle->isActive());
    EXPECT_FALSE(form->Editcaractere->isReadOnly());
    EXPECT_TRUE(form->ButtonStop->isHidden());
    EXPECT_TRUE(form->RadioButtonFile->isEnabled());
    EXPECT_FALSE(form->ButtonReplayText->isChecked());
}

TEST_F(MainWindowTest, ATextOfOnlyCodelessCharactersEndsAtOnce) {
    form->MenuDelayedPlay->trigger();
    type("#&%");
    form->ButtonReplayText->click();
    EXPECT_TRUE(wave->writes.empty());
    EXPECT_TRUE(pending().empty());
    EXPECT_FALSE(form->state().typedReplayOn);
    EXPECT_TRUE(form->ButtonStop->isHidden());
    EXPECT_FALSE(form->Editcaractere->isReadOnly());
}

TEST_F(MainWindowTest, NoticesFromElsewhereOrForTheFillerDoNotAdvanceTheText) {
    type("ab");
    wave->foreignDone();
    EXPECT_EQ(pending(), "ab");
    form->engine().onNotice({WaveOutNotice::Kind::Done, wave.get(), WaveBuffer::Noise, 0});
    EXPECT_EQ(pending(), "ab");
    EXPECT_EQ(wave->writes.size(), 1u);
}

TEST_F(MainWindowTest, SilentModePacesEachCharacterAt500Ms) {
    create({}, -9996);
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_EQ(ui.errors[0], QStringLiteral("Err -9996 : Can't open the sound card !"));
    EXPECT_TRUE(form->state().silentMode);
    type("ab");
    EXPECT_TRUE(wave->calls.size() == 1);  // only the failed open: no device call at all
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_EQ(form->Timer1->interval(), 500);
    form->engine().Timer1Timer();
    EXPECT_EQ(pending(), "b");
    form->engine().Timer1Timer();
    EXPECT_TRUE(pending().empty());
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_TRUE(form->ButtonStop->isHidden());
    EXPECT_EQ(ui.errors.size(), 1);  // no device error while playing
}

TEST_F(MainWindowTest, StopInSilentModeEndsTheTextAtOnce) {
    create({}, -9996);
    type("abc");
    form->engine().Timer1Timer();
    form->ButtonStop->click();
    // The character on the silent clock still completes; nothing follows it.
    form->engine().Timer1Timer();
    EXPECT_TRUE(pending().empty());
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_TRUE(form->ButtonStop->isHidden());
}

TEST_F(MainWindowTest, ADeviceLostWhilePlayingLeavesTheProgramUsable) {
    type("abc");
    wave->fail(-9999);
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].startsWith(QStringLiteral("Err -9999 : ")));
    EXPECT_TRUE(form->state().silentMode);
    EXPECT_TRUE(form->Timer1->isActive());
    for (int k = 0; k < 3; ++k) form->engine().Timer1Timer();
    EXPECT_TRUE(pending().empty());
    EXPECT_TRUE(form->ButtonStop->isHidden());
}

TEST_F(MainWindowTest, QuitAnsweredNoChangesNothing) {
    type("ab");
    ui.answerYes = false;
    form->ButtonQuitter->show();  // reachable by keyboard while Stop shows
    form->shell().ButtonQuitterClick();
    EXPECT_EQ(ui.questions, QStringList{QStringLiteral("You quit ! Are you sure ?")});
    EXPECT_EQ(ui.terminations, 0);
    EXPECT_FALSE(form->state().quitting);
    EXPECT_EQ(pending(), "ab");
    wave->completeAll();
    EXPECT_EQ(wave->writes.size(), 2u);
}

TEST_F(MainWindowTest, QuitWhileATextPlaysResetsTheDeviceAndTheLateNoticeChangesNothing) {
    type("abc");
    form->shell().ButtonQuitterClick();
    EXPECT_EQ(ui.terminations, 1);
    EXPECT_TRUE(form->state().quitting);
    EXPECT_TRUE(form->state().closing);
    EXPECT_TRUE(pending().empty());
    const std::vector<std::string> tail(wave->calls.end() - 2, wave->calls.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"reset", "close"}));
    // A completion notice that was already on its way.
    form->engine().onNotice({WaveOutNotice::Kind::Done, wave.get(), WaveBuffer::Tone, 0});
    EXPECT_EQ(wave->writes.size(), 1u);
    EXPECT_TRUE(form->ButtonQuitter->isHidden());  // no end-of-text handling ran
}

TEST_F(MainWindowTest, ToolsQuitAndClosingTheWindowShutDownWithoutAsking) {
    type("ab");
    form->MenuOutilsQuit->trigger();
    EXPECT_TRUE(ui.questions.isEmpty());
    EXPECT_EQ(ui.terminations, 1);
    EXPECT_TRUE(form->state().closing);

    create({});
    type("ab");
    form->close();
    EXPECT_TRUE(ui.questions.isEmpty());
    EXPECT_TRUE(form->state().closing);
    EXPECT_EQ(wave->calls.back(), "close");
}

TEST_F(MainWindowTest, SpeedAndLevelKeysStopAtTheirLimits) {
    form->UpDownVitesse->setValue(50);
    QTest::keyClick(form->Editcaractere, Qt::Key_U, Qt::ControlModifier);
    EXPECT_EQ(form->UpDownVitesse->value(), 50);
    QTest::keyClick(form->Editcaractere, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(form->UpDownVitesse->value(), 49);
    form->UpDownVitesse->setValue(5);
    QTest::keyClick(form->Editcaractere, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(form->UpDownVitesse->value(), 5);
    EXPECT_TRUE(form->Editcaractere->text().isEmpty());  // the keys typed nothing
    EXPECT_TRUE(pending().empty());

    const int rebuilds = form->soundTables().rebuildCount();
    QTest::keyClick(form->Editcaractere, Qt::Key_U, Qt::AltModifier);
    EXPECT_EQ(form->UpDownAmplitude->value(), -6);
    EXPECT_EQ(form->soundTables().rebuildCount(), rebuilds + 1);
    form->UpDownAmplitude->setValue(0);
    QTest::keyClick(form->Editcaractere, Qt::Key_U, Qt::AltModifier);
    EXPECT_EQ(form->UpDownAmplitude->value(), 0);
    form->UpDownAmplitude->setValue(-15);
    QTest::keyClick(form->Editcaractere, Qt::Key_D, Qt::AltModifier);
    EXPECT_EQ(form->UpDownAmplitude->value(), -15);
}

TEST_F(MainWindowTest, SpacingFallsBackWhenTheRealSpeedWouldDropBelowFive) {
    form->UpDownVitesse->setValue(5);
    form->Spacing1->trigger();
    EXPECT_FALSE(form->PanelEspace->isHidden());
    form->SpinEditEspace->setValue(2);
    EXPECT_EQ(form->SpinEditEspace->value(), 1);
    EXPECT_EQ(form->LabelVitesseCorrigee->text(), QStringLiteral("Real speed (wpm) = 5.0"));
    EXPECT_EQ(form->UpDownVitesse->toolTip(), form->LabelVitesseCorrigee->text());
    // The word-spacing path applies no lower limit.
    form->MenuEspaceMotN[3]->trigger();
    EXPECT_EQ(form->LabelVitesseCorrigee->text(), QStringLiteral("Real speed (wpm) = 4.2"));
    // Escape in the box closes the panel first.
    QTest::keyClick(form->Editcaractere, Qt::Key_Escape);
    EXPECT_TRUE(form->PanelEspace->isHidden());
}

TEST_F(MainWindowTest, TheSpeedArgumentSetsTheSpeed) {
    create({"/f", "v=20"});
    EXPECT_EQ(form->UpDownVitesse->value(), 20);
    type("e");
    wave->completeAll();
    std::vector<std::int16_t> expected;
    appendExpected(expected, tone(), ".", durations(20), 2);
    EXPECT_EQ(wave->toneStream(), expected);
    EXPECT_EQ(expected.size(), 10000u);
}

TEST_F(MainWindowTest, ClearEmptiesTheBoxAndTheQueueButLetsTheSoundingCharacterEnd) {
    type("abc");
    form->SpeedButtonRAZtext->click();
    EXPECT_TRUE(form->Editcaractere->text().isEmpty());
    EXPECT_TRUE(pending().empty());
    wave->completeAll();
    EXPECT_EQ(wave->writes.size(), 1u);
    EXPECT_TRUE(form->ButtonStop->isHidden());
}

TEST_F(MainWindowTest, AShortcutKeyIsReplacedInTheBoxAndItsTextQueued) {
    form->shortcuts()[0] = {"&", "es"};
    type("a&");
    EXPECT_EQ(form->Editcaractere->text(), QStringLiteral("aes"));
    EXPECT_EQ(pending(), "aes");
    type("b");
    EXPECT_EQ(form->Editcaractere->text(), QStringLiteral("aesb"));
}

}  // namespace
}  // namespace kb

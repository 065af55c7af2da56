// The main window driven through its widgets, with a fake sound device: its start state,
// the timing controls, the play control's device handling and the ways out.

#include <gtest/gtest.h>
#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include "support/window_harness.h"

namespace kb {
namespace {

class MainWindowTest : public test::WindowTest {
protected:
    void SetUp() override { create(shown()); }
    static test::WindowOptions shown(std::vector<std::string> args = {}, int openResult = 0) {
        test::WindowOptions o;
        o.arguments = std::move(args);
        o.openResult = openResult;
        o.show = true;
        return o;
    }
};

TEST_F(MainWindowTest, StartsWithTheClassicStateAndCaption) {
    EXPECT_EQ(form->windowTitle(),
              QStringLiteral("KEYBIRD 3.1.7 - THE  MORSE  CODE  TEACHER  &  TRAINER"));
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(form->UpDownVitesse->value(), 12);
    EXPECT_EQ(timing().SpinEditEspace->value(), 1);
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
    EXPECT_EQ(timing().LabelVitesseCorrigee->text(), QStringLiteral("Real speed (wpm) = 12.0"));
    EXPECT_TRUE(form->Editcaractere->hasFocus());
    // The open notice built the tone table: frame 1 of an 800 Hz sine at the start level.
    EXPECT_NE(form->soundTables().tone()[2], 0);
    EXPECT_TRUE(ui.errors.isEmpty());
    // Nothing runs while idle.
    EXPECT_FALSE(play().Timer1->isActive());
    EXPECT_FALSE(play().TimerBoucle->isActive());
    EXPECT_FALSE(play().TimerTXDelay->isActive());
    // The controllers' widgets are found by name like the window's own.
    EXPECT_EQ(form->findChild<QSpinBox*>(QStringLiteral("SpinEditEspace")),
              timing().SpinEditEspace);
    EXPECT_EQ(form->findChild<QTimer*>(QStringLiteral("Timer1")), play().Timer1);
    // The Tools items in their classic order, whichever controller made them.
    QStringList tools;
    for (const QAction* a : form->MenuOutils->actions()) {
        tools << (a->isSeparator() ? QStringLiteral("-") : a->objectName());
    }
    EXPECT_EQ(tools.join(QLatin1Char(' ')).toStdString(),
              "ClearMemoRandom SaveMemoRandom1 MenuRecordMemoRandom MenuQuickRandom - "
              "MenuSaveTextWave - MenuSaveMonitoring MenuClearMonitoring - "
              "MenuLocalCharacters MenuLocalShortcuts MenuLocallesson MenuLocalMessages - "
              "MenuOutilsQuit");
}

TEST_F(MainWindowTest, SpeedAndSpacingChangesTakeEffectAtTheNextCharacter) {
    type("ee");
    form->UpDownVitesse->setValue(20);
    timing().SpinEditEspace->setValue(2);
    wave->completeAll();
    EXPECT_EQ(heard(), join({sound(".", at(12)), sound(".", at(20, 2))}));
}

TEST_F(MainWindowTest, WeightAndWordSpacingComeFromTheMenus) {
    form->Poids51->trigger();
    form->MenuEspaceMotN[1]->trigger();
    EXPECT_EQ(timing().LabelVitesseCorrigee->text(), QStringLiteral("Real speed (wpm) = 11.3"));
    type("e e");
    wave->completeAll();
    const CharacterSettings s = at(12, 1, 5, 2);
    // A dot of weight 5 at 12 wpm: 1250 frames.
    EXPECT_EQ(elementDurations(speedFactor(12), 5).dot, 2 * 1250);
    EXPECT_EQ(heard(), join({sound(".", s), sound("", s), sound(".", s)}));
    EXPECT_EQ(sound("", s).size(), 6u * elementDurations(speedFactor(12), 5).gap);
}

TEST_F(MainWindowTest, TheSpeedArgumentSetsTheSpeed) {
    create(shown({"/f", "v=20"}));
    EXPECT_EQ(form->UpDownVitesse->value(), 20);
    type("e");
    wave->completeAll();
    EXPECT_EQ(heard(), sound(".", at(20)));
    EXPECT_EQ(heard().size(), 10000u);
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

    // In German "&Datei" is on screen with D as its access key; the level key still acts.
    form->ApplyLanguage(Language::German);
    form->UpDownAmplitude->setValue(-9);
    QTest::keyClick(form->Editcaractere, Qt::Key_D, Qt::AltModifier);
    EXPECT_EQ(form->UpDownAmplitude->value(), -12);
    EXPECT_TRUE(form->RadioButtonAlphabet->isChecked());
}

TEST_F(MainWindowTest, SpacingFallsBackWhenTheRealSpeedWouldDropBelowFive) {
    form->UpDownVitesse->setValue(5);
    form->Spacing1->trigger();
    EXPECT_FALSE(timing().PanelEspace->isHidden());
    timing().SpinEditEspace->setValue(2);
    EXPECT_EQ(timing().SpinEditEspace->value(), 1);
    EXPECT_EQ(timing().LabelVitesseCorrigee->text(), QStringLiteral("Real speed (wpm) = 5.0"));
    EXPECT_EQ(form->UpDownVitesse->toolTip(), timing().LabelVitesseCorrigee->text());
    // The word-spacing path applies no lower limit.
    form->MenuEspaceMotN[3]->trigger();
    EXPECT_EQ(timing().LabelVitesseCorrigee->text(), QStringLiteral("Real speed (wpm) = 4.2"));
    // Escape in the box closes the panel first.
    QTest::keyClick(form->Editcaractere, Qt::Key_Escape);
    EXPECT_TRUE(timing().PanelEspace->isHidden());
}

TEST_F(MainWindowTest, NoticesFromElsewhereOrForTheFillerDoNotAdvanceTheText) {
    type("ab");
    wave->foreignDone();
    EXPECT_EQ(pending(), "b");
    engine().onNotice({WaveOutNotice::Kind::Done, wave.get(), WaveBuffer::Noise, 0});
    EXPECT_EQ(pending(), "b");
    EXPECT_EQ(wave->writes.size(), 1u);
}

TEST_F(MainWindowTest, SilentModePacesEachCharacterAt500Ms) {
    create(shown({}, -9996));
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(
        ui.errors[0].startsWith(QStringLiteral("Err -9996 : Can't open the sound card !\n")));
    EXPECT_TRUE(engine().silentMode());
    type("ab");
    EXPECT_TRUE(wave->calls.size() == 1);  // only the failed open: no device call at all
    EXPECT_TRUE(play().Timer1->isActive());
    EXPECT_EQ(play().Timer1->interval(), 500);
    EXPECT_EQ(pending(), "b");
    engine().silentTick();
    EXPECT_TRUE(pending().empty());
    EXPECT_FALSE(form->ButtonStop->isHidden());
    engine().silentTick();
    EXPECT_FALSE(play().Timer1->isActive());
    EXPECT_TRUE(form->ButtonStop->isHidden());
    EXPECT_EQ(ui.errors.size(), 1);  // no device error while playing
}

// A device error keeps the program's own line and says, on a second, why in PortAudio's
// words and where to look.
TEST_F(MainWindowTest, SoundDeviceErrorsSayWhyAndWhatToDo) {
    struct Case {
        int openResult;
        const char* firstLine;
        const char* reason;
    };
    const Case cases[] = {
        {-9985, "Err -9985 : Can't open the sound card !", "Device unavailable"},
        {-9996, "Err -9996 : Can't open the sound card !", "Invalid device"},
        {-9999, "Err -9999 : Can't open the sound card !", "Unanticipated host error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.openResult);
        ui.errors.clear();
        create(shown({}, c.openResult));
        ASSERT_EQ(ui.errors.size(), 1);
        const QStringList lines = ui.errors[0].split(QLatin1Char('\n'));
        ASSERT_EQ(lines.size(), 2) << ui.errors[0].toStdString();
        EXPECT_EQ(lines[0], QString::fromUtf8(c.firstLine));
        EXPECT_TRUE(lines[1].startsWith(QString::fromUtf8(c.reason) + QStringLiteral(". ")))
            << lines[1].toStdString();
        EXPECT_TRUE(lines[1].contains(QStringLiteral("sound server"))) << lines[1].toStdString();
        EXPECT_TRUE(lines[1].contains(QStringLiteral("\"Sound card\""))) << lines[1].toStdString();
    }
    // A device lost while playing: the failing step's own first line, the same reason line.
    ui.errors.clear();
    create(shown());
    type("abc");
    wave->fail(-9985);
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].startsWith(QStringLiteral("Err -9985 : ")));
    EXPECT_TRUE(ui.errors[0].contains(QStringLiteral("\nDevice unavailable. ")));
}

TEST_F(MainWindowTest, StopInSilentModeEndsTheTextAtOnce) {
    create(shown({}, -9996));
    type("abc");
    engine().silentTick();
    form->ButtonStop->click();
    // The character on the silent clock still completes; nothing follows it.
    engine().silentTick();
    EXPECT_TRUE(pending().empty());
    EXPECT_FALSE(play().Timer1->isActive());
    EXPECT_TRUE(form->ButtonStop->isHidden());
}

TEST_F(MainWindowTest, ADeviceLostWhilePlayingLeavesTheProgramUsable) {
    type("abc");
    wave->fail(-9999);
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].startsWith(QStringLiteral("Err -9999 : ")));
    EXPECT_TRUE(engine().silentMode());
    EXPECT_TRUE(play().Timer1->isActive());
    for (int k = 0; k < 3; ++k) engine().silentTick();
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
    EXPECT_FALSE(engine().shutDownStarted());
    EXPECT_EQ(pending(), "b");
    wave->completeAll();
    EXPECT_EQ(wave->writes.size(), 2u);
}

TEST_F(MainWindowTest, QuitWhileATextPlaysResetsTheDeviceAndTheLateNoticeChangesNothing) {
    type("abc");
    form->shell().ButtonQuitterClick();
    EXPECT_EQ(ui.terminations, 1);
    EXPECT_TRUE(engine().shutDownStarted());
    EXPECT_TRUE(form->shell().closing());
    EXPECT_TRUE(pending().empty());
    const std::vector<std::string> tail(wave->calls.end() - 2, wave->calls.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"reset", "close"}));
    // A completion notice that was already on its way.
    engine().onNotice({WaveOutNotice::Kind::Done, wave.get(), WaveBuffer::Tone, 0});
    EXPECT_EQ(wave->writes.size(), 1u);
    EXPECT_TRUE(form->ButtonQuitter->isHidden());  // no end-of-text handling ran
}

TEST_F(MainWindowTest, ToolsQuitAndClosingTheWindowShutDownWithoutAsking) {
    type("ab");
    form->MenuOutilsQuit->trigger();
    EXPECT_TRUE(ui.questions.isEmpty());
    EXPECT_EQ(ui.terminations, 1);
    EXPECT_TRUE(form->shell().closing());

    create(shown());
    type("ab");
    form->close();
    EXPECT_TRUE(ui.questions.isEmpty());
    EXPECT_TRUE(form->shell().closing());
    EXPECT_EQ(wave->calls.back(), "close");
}

}  // namespace
}  // namespace kb

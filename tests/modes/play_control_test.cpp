// What a user does, then what is heard and what the window shows: no typed character is
// lost to a Stop, a Clear or a Backspace while another sounds, Stop always stops, a
// continuous replay's standby can be left for good, and a lost or changed sound device
// never leaves the window waiting.

#include <gtest/gtest.h>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

#include "audio/sound_card_panel.h"
#include "modes/typed_text.h"
#include "support/window_harness.h"

namespace kb {
namespace {

struct Scenario {
    const char* name;
    const char* actions;  // one letter each: see PlayControlTest::run
    const char* heard;    // the characters whose sound was written, in order
    bool idle;            // Quit shown, the box editable, no standby armed
};

void PrintTo(const Scenario& s, std::ostream* os) {
    *os << s.name;
}

class PlayControlTest : public test::WindowTest, public testing::WithParamInterface<Scenario> {
protected:
    void SetUp() override {
        test::WindowOptions o;
        o.show = true;
        o.deviceCount = 2;
        o.devices.inputs = [] { return std::vector<std::string>{"pulse", "default"}; };
        o.devices.outputs = [] { return std::vector<std::string>{"pulse", "default"}; };
        create(o);
    }

    // Lower case letters and digits are typed; the others act:
    //   <  Backspace     S  Stop         C  Clear        N  "No" in the replay menu
    //   D  delayed play  R  replay       L  standby 1 s  W  the standby runs out
    //   +  the device gives the oldest buffer back        *  every buffer back
    //   P  the sound-card panel: the second device chosen and confirmed
    void run(const char* actions) {
        for (const char* a = actions; *a; ++a) {
            switch (*a) {
                case '<': QTest::keyClick(form->Editcaractere, Qt::Key_Backspace); break;
                case 'S': QTest::mouseClick(form->ButtonStop, Qt::LeftButton); break;
                case 'C': form->SpeedButtonRAZtext->click(); break;
                case 'N': form->MenuNoBoucle->trigger(); break;
                case 'D': form->MenuDelayedPlay->trigger(); break;
                case 'R': form->ButtonReplayText->click(); break;
                case 'L': form->MenuStanby1s->trigger(); break;
                case 'W': play().TimerBoucleTimer(); break;
                case '+': wave->completeNext(); break;
                case '*': wave->completeAll(); break;
                case 'P': chooseSecondDevice(); break;
                default: type(std::string(1, *a).c_str());
            }
        }
    }

    void chooseSecondDevice() {
        SoundCardPanel& card = form->soundCard();
        form->MenuSoundCard->trigger();
        card.RadioButtonCarteMoi->click();
        card.ComboBoxChoixIn->setCurrentIndex(1);
        card.ComboBoxChoixOut->setCurrentIndex(1);
        card.BitBtnOKCarteSon->click();
    }

    std::vector<std::int16_t> soundOf(const char* text) {
        std::vector<std::int16_t> all;
        for (const char* c = text; *c; ++c) {
            const auto one = sound(*c == ' ' ? "" : form->morse()[static_cast<unsigned char>(*c)]);
            all.insert(all.end(), one.begin(), one.end());
        }
        return all;
    }

    bool idle() {
        return form->ButtonStop->isHidden() && !form->ButtonQuitter->isHidden() &&
               !form->Editcaractere->isReadOnly() && !play().TimerBoucle->isActive() &&
               !play().Timer1->isActive();
    }
};

TEST_P(PlayControlTest, ActionsThenWhatIsHeardAndShown) {
    const Scenario& s = GetParam();
    run(s.actions);
    EXPECT_EQ(heard(), soundOf(s.heard));
    EXPECT_EQ(idle(), s.idle);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlayControlTest,
    testing::Values(
        // Live typing: a Backspace, Stop or Clear while "0" sounds takes nothing typed
        // afterwards with it.
        Scenario{"BackspaceWithOnlyTheSoundingCharacter", "0<9*", "09", true},
        Scenario{"StopThenTyping", "0S9*", "09", true},
        Scenario{"ClearThenTyping", "0C9*", "09", true},
        Scenario{"BackspaceTakesBackTheLastQueued", "012<*", "01", true},
        Scenario{"StopDropsWhatWasQueued", "012S*", "0", true},
        // Continuous replay of "e": its added blank sounds last; a Stop then ends it.
        Scenario{"StopDuringTheAddedBlank", "DLeR+S*", "e ", true},
        Scenario{"StopDuringTheFirstCharacter", "DLeRS*", "e", true},
        Scenario{"TheReplayComesBackAfterTheStandby", "DLeR*W*", "e e ", false},
        Scenario{"ClearDuringTheStandby", "DLeR*C", "e ", true},
        Scenario{"ClearBeforeTheStandby", "DLeeRC*", "e", true},
        Scenario{"NoDuringTheStandby", "DLeR*N", "e ", true},
        Scenario{"TypingAfterAStandbyWasLeft", "DLeR*NDa*", "e a", true},
        // A new sound card chosen during the standby: the replay comes back on it.
        Scenario{"ADeviceChangeDuringTheStandby", "DLeR*PW*", "e e ", false}));

TEST_F(PlayControlTest, StopDuringTheAddedBlankKeepsTheReplayCaption) {
    run("DLeR+S*");
    EXPECT_FALSE(form->typed().replayOn());
    EXPECT_TRUE(form->typed().resumeText().empty());
    EXPECT_EQ(form->ButtonReplayText->text(), QStringLiteral("Replay &Text"));
    EXPECT_TRUE(form->RadioButtonFile->isEnabled());
}

TEST_F(PlayControlTest, InSilentModeTheStandbyIsNotCutShortBySecondEnd) {
    test::WindowOptions o;
    o.show = true;
    o.openResult = -9996;
    create(o);
    run("DLeR");
    engine().silentTick();  // "e"
    engine().silentTick();  // the blank: the standby begins
    ASSERT_TRUE(play().TimerBoucle->isActive());
    EXPECT_FALSE(play().Timer1->isActive());
    EXPECT_FALSE(form->ButtonStop->isHidden());  // still playing, waiting to replay
    play().TimerBoucleTimer();
    EXPECT_TRUE(form->typed().replayOn());
    EXPECT_TRUE(play().Timer1->isActive());
}

// The sound-card panel was opened while idle, then a character was typed: confirming a
// new device drops the old device's notices, and the text must go on on the new one.
TEST_F(PlayControlTest, ADeviceChangeWhileACharacterSoundsLetsTheTextGoOn) {
    form->MenuSoundCard->trigger();
    run("ab");
    SoundCardPanel& card = form->soundCard();
    card.RadioButtonCarteMoi->click();
    card.ComboBoxChoixIn->setCurrentIndex(1);
    card.ComboBoxChoixOut->setCurrentIndex(1);
    card.BitBtnOKCarteSon->click();  // the panel was already open: no refusal
    EXPECT_NE(std::find(wave->calls.begin(), wave->calls.end(), "open 1"), wave->calls.end());
    ASSERT_EQ(wave->writes.size(), 2u);  // "b" on the new device
    run("*c*");
    EXPECT_EQ(heard(), soundOf("abc"));
    EXPECT_TRUE(idle());
}

// A device that failed is opened again by the next play action; while it cannot be,
// playback is silent and says so once.
TEST_F(PlayControlTest, ALostDeviceIsOpenedAgainByTheNextPlayAction) {
    std::int64_t now = 1000;
    play().clockMs = [&now] { return now; };
    run("a");
    wave->fail(-9999);
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(engine().silentMode());
    engine().silentTick();
    ASSERT_TRUE(idle());

    wave->openResult = -9985;  // the sound server is still down
    const auto opens = [&] {
        return std::count(wave->calls.begin(), wave->calls.end(), "open -1");
    };
    const auto before = opens();
    run("b");
    engine().silentTick();
    EXPECT_EQ(opens(), before + 1);
    now += 500;
    run("c");  // too soon to try again: an open can hold the window up
    engine().silentTick();
    EXPECT_EQ(opens(), before + 1);
    now += 2000;
    run("e");
    engine().silentTick();
    EXPECT_EQ(opens(), before + 2);
    EXPECT_EQ(ui.errors.size(), 2);  // one more message, not one per character
    EXPECT_TRUE(engine().silentMode());

    wave->openResult = 0;  // back again
    now += 2000;
    run("d*");
    EXPECT_FALSE(engine().silentMode());
    EXPECT_EQ(heard(), soundOf("ad"));
    EXPECT_EQ(ui.errors.size(), 2);
}

}  // namespace
}  // namespace kb

// Pitch, noise and fading dialogs, the examination preset and the sound-card panel, with
// a fake sound device.

#include <gtest/gtest.h>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>

#include <filesystem>
#include <fstream>

#include "audio/sound_card_panel.h"
#include "audio/sound_dialogs.h"
#include "support/window_harness.h"

namespace kb {
namespace {

namespace fs = std::filesystem;

class SoundSettingsTest : public test::WindowTest {
protected:
    void SetUp() override { create(); }

    void create(const std::string& settingsFile = {}) {
        test::WindowOptions o;
        o.deviceCount = 2;
        o.devices.inputs = [] { return std::vector<std::string>{"pulse", "default"}; };
        o.devices.outputs = [] { return std::vector<std::string>{"pulse", "default"}; };
        o.settings = settingsFile;
        WindowTest::create(o);
    }

    // A settings file with one key changed from the program's own defaults.
    static std::string defaultsWith(const std::string& key, const std::string& value) {
        return WindowTest::defaultsWith({{key, value}});
    }

    SoundCardPanel& card() { return form->soundCard(); }
};

TEST_F(SoundSettingsTest, PitchTrackBarSetsFifteenHundredLessTenPerStep) {
    const int before = form->soundTables().rebuildCount();
    form->MenuNote->trigger();
    EXPECT_TRUE(form->FormNote->isVisible());
    EXPECT_EQ(form->FormNote->TrackBarNote->tickInterval(), 10);
    form->FormNote->TrackBarNote->setValue(30);
    EXPECT_EQ(form->soundTables().params().pitch, 1200.0L);
    EXPECT_EQ(form->soundTables().params().type, ToneType::Sine);
    EXPECT_EQ(form->soundTables().rebuildCount(), before + 1);
    form->FormNote->TrackBarNote->setValue(140);
    EXPECT_EQ(form->soundTables().params().pitch, 100.0L);
    // Hidden, not destroyed.
    form->FormNote->close();
    EXPECT_FALSE(form->FormNote->isVisible());
    EXPECT_EQ(form->findChild<TFormNote*>(QStringLiteral("FormNote")), form->FormNote);
}

TEST_F(SoundSettingsTest, ExaminationToneAppliesThePresetAndSurvivesPitchMoves) {
    form->UpDownVitesse->setValue(25);
    timing().SpinEditEspace->setValue(3);
    form->FormNote->CheckBoxTonExamen->click();
    EXPECT_EQ(form->UpDownVitesse->value(), 11);
    EXPECT_EQ(timing().characterSettings().speed, 11);
    EXPECT_EQ(timing().SpinEditEspace->value(), 1);
    EXPECT_TRUE(form->MenuEspaceMotN[1]->isChecked());
    EXPECT_EQ(timing().wordSpacingFactor(), 2);
    EXPECT_EQ(form->soundTables().params().type, ToneType::Examination);

    ToneTable exam;
    exam.rebuild({800, ToneType::Examination, form->soundTables().params().levelGain});
    form->FormNote->TrackBarNote->setValue(20);
    EXPECT_EQ(form->soundTables().params().type, ToneType::Examination);
    EXPECT_EQ(form->soundTables().tone()[1000], exam[1000]);  // still the 830 Hz harmonics

    form->FormNote->CheckBoxTonExamen->click();  // unchecking changes nothing else
    EXPECT_EQ(form->soundTables().params().type, ToneType::Sine);
    EXPECT_EQ(form->soundTables().params().pitch, 1300.0L);
    EXPECT_EQ(form->UpDownVitesse->value(), 11);
}

TEST_F(SoundSettingsTest, AStoredExaminationToneAppliesThePresetAtStartUp) {
    create(defaultsWith("NOTE=", "-1"));
    EXPECT_TRUE(form->FormNote->CheckBoxTonExamen->isChecked());
    EXPECT_EQ(form->soundTables().params().type, ToneType::Examination);
    EXPECT_EQ(form->UpDownVitesse->value(), 11);
    EXPECT_EQ(timing().wordSpacingFactor(), 2);
}

TEST_F(SoundSettingsTest, StoredNoiseFadingAndBandwidthReachTheDialogs) {
    create(defaultsWith("NOISE_LEVEL=", "4"));
    EXPECT_EQ(form->FormNoise->TrackBarNoise->value(), 4);
    EXPECT_EQ(form->soundTables().noiseParams().amplitude, noiseAmplitudeOfPosition(4));
    create(defaultsWith("NOISE_BW=", "2"));
    EXPECT_TRUE(form->FormNoise->RadioButton5k->isChecked());
    EXPECT_EQ(form->soundTables().noiseParams().hold, 2);
    create(defaultsWith("QSB_LEVEL=", "17"));
    EXPECT_EQ(form->fading().depthDb, 17);
    form->FormNoise->RadioButton10k->click();
    EXPECT_EQ(form->soundTables().noiseParams().hold, 1);
}

TEST_F(SoundSettingsTest, TheSoundCardPanelRefusesWhilePlaying) {
    QTest::keyClicks(form->Editcaractere, QStringLiteral("abc"));
    form->MenuSoundCard->trigger();
    EXPECT_EQ(ui.warnings,
              QStringList{QStringLiteral("Stop playing before changing sound card !")});
    EXPECT_TRUE(card().PanelCarteSon->isHidden());
}

TEST_F(SoundSettingsTest, TheSoundCardPanelListsTheDevicesAndReopensOnlyOnAChange) {
    form->MenuSoundCard->trigger();
    ASSERT_FALSE(card().PanelCarteSon->isHidden());
    EXPECT_EQ(card().ComboBoxChoixOut->count(), 2);
    EXPECT_EQ(card().ComboBoxChoixOut->itemText(0), QStringLiteral("pulse"));
    EXPECT_TRUE(card().ComboBoxChoixOut->currentText().isEmpty());  // the system chooses

    // Back to the system's choice when both are already -1: nothing happens.
    const std::size_t calls = wave->calls.size();
    card().BitBtnOKCarteSon->click();
    EXPECT_TRUE(card().PanelCarteSon->isHidden());
    EXPECT_EQ(wave->calls.size(), calls);

    // "I choose" with nothing selected: a beep, the panel stays.
    form->MenuSoundCard->trigger();
    card().RadioButtonCarteMoi->click();
    card().BitBtnOKCarteSon->click();
    EXPECT_EQ(ui.beeps, 1);
    EXPECT_FALSE(card().PanelCarteSon->isHidden());

    card().ComboBoxChoixIn->setCurrentIndex(1);
    card().ComboBoxChoixOut->setCurrentIndex(1);
    card().BitBtnOKCarteSon->click();
    EXPECT_EQ(engine().outputDevice(), 1);
    EXPECT_EQ(card().inputDevice(), 1);
    const std::vector<std::string> reopen(wave->calls.end() - 4, wave->calls.end());
    EXPECT_EQ(reopen, (std::vector<std::string>{"reset", "close", "open 1", "reset"}));

    // The same devices again: the panel closes and nothing is reopened.
    form->MenuSoundCard->trigger();
    EXPECT_EQ(card().ComboBoxChoixOut->currentIndex(), 1);
    const std::size_t before = wave->calls.size();
    card().BitBtnOKCarteSon->click();
    EXPECT_EQ(wave->calls.size(), before);
}

// A headset plugged in after start-up: the panel has the devices looked for again when it
// opens with nothing playing, and lists what is there then. Never while a character is
// still with the device (after a stop) or while a text plays.
TEST_F(SoundSettingsTest, TheSoundCardPanelLooksForDevicesAgainWhenItOpensIdle) {
    test::WindowOptions o;
    o.deviceCount = 3;
    bool plugged = false;
    int rescans = 0;
    o.devices.inputs = [] { return std::vector<std::string>{"pulse", "default"}; };
    o.devices.outputs = [&] {
        std::vector<std::string> names{"pulse", "default"};
        if (plugged) names.insert(names.begin(), "USB Headset");
        return names;
    };
    o.devices.rescan = [&] {
        ++rescans;
        plugged = true;
    };
    WindowTest::create(o);
    const std::size_t calls = wave->calls.size();

    form->MenuSoundCard->trigger();
    EXPECT_EQ(rescans, 1);
    ASSERT_EQ(card().ComboBoxChoixOut->count(), 3);
    EXPECT_EQ(card().ComboBoxChoixOut->itemText(0), QStringLiteral("USB Headset"));
    EXPECT_EQ(wave->calls.size(), calls);  // the output is not reopened for it
    card().BitBtnOKCarteSon->click();

    // A text playing: refused, no rescan.
    QTest::keyClicks(form->Editcaractere, QStringLiteral("ab"));
    form->MenuSoundCard->trigger();
    EXPECT_EQ(rescans, 1);

    // Stopped with a character still with the device: still refused until it ends.
    form->ButtonStop->click();
    ASSERT_FALSE(engine().readyForNext());
    form->MenuSoundCard->trigger();
    EXPECT_TRUE(card().PanelCarteSon->isHidden());
    EXPECT_EQ(rescans, 1);

    wave->completeAll();
    form->MenuSoundCard->trigger();
    EXPECT_EQ(rescans, 2);
}

TEST_F(SoundSettingsTest, AStoredDeviceThatNoLongerExistsGivesSilentModeNotACrash) {
    create(defaultsWith("OSOUND=", "5"));
    EXPECT_TRUE(engine().silentMode());
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(
        ui.errors[0].startsWith(QStringLiteral("Err -9996 : Can't open the sound card !\n")));
    form->MenuSoundCard->trigger();
    EXPECT_EQ(card().ComboBoxChoixOut->currentIndex(), -1);

    // Choosing a device that opens brings the sound back.
    card().RadioButtonCarteMoi->click();
    card().ComboBoxChoixIn->setCurrentIndex(0);
    card().ComboBoxChoixOut->setCurrentIndex(0);
    card().BitBtnOKCarteSon->click();
    EXPECT_FALSE(engine().silentMode());
    QTest::keyClicks(form->Editcaractere, QStringLiteral("e"));
    EXPECT_EQ(wave->writes.size(), 1u);
}

}  // namespace
}  // namespace kb

// Pitch, noise and fading dialogs, the examination preset, the noise filler through the
// engine, and the sound-card panel, with a fake sound device.

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
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/app_shell.h"
#include "audio/playback_engine.h"
#include "audio/sound_card_panel.h"
#include "audio/sound_dialogs.h"
#include "support/fake_ui.h"
#include "support/fake_wave_out.h"
#include "ui/form1.h"
#include "ui/typed_text_edit.h"

namespace kb {
namespace {

namespace fs = std::filesystem;

class SoundSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { create(); }
    void TearDown() override {
        form.reset();
        if (!dir.empty()) fs::remove_all(dir);
    }

    void create(const std::string& settingsFile = {}) {
        form.reset();
        wave = std::make_unique<test::FakeWaveOut>();
        wave->deviceCount = 2;
        FormDevices dev;
        dev.waveOut = wave.get();
        dev.ui = &ui;
        dev.devices.inputs = [] { return std::vector<std::string>{"pulse", "default"}; };
        dev.devices.outputs = [] { return std::vector<std::string>{"pulse", "default"}; };
        if (!settingsFile.empty()) {
            dir = fs::temp_directory_path() / ("keybird-sound-" + std::to_string(::getpid()));
            fs::create_directories(dir);
            std::ofstream(dir / "keybird.dat", std::ios::binary) << settingsFile;
            dev.settingsPath = (dir / "keybird.dat").string();
        }
        form = std::make_unique<TForm1>(dev);
        form->shell().FormCreate();
    }

    // A settings file with one key changed from the program's own defaults.
    static std::string defaultsWith(const std::string& key, const std::string& value) {
        std::ifstream in(fs::path(KEYBIRD_SOURCE_DIR) / "fuzz/corpus/settings/default.dat",
                         std::ios::binary);
        std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        const std::size_t at = bytes.find(key);
        return bytes.replace(at, bytes.find("\r\n", at) - at, key + value);
    }

    SoundCardPanel& card() { return form->soundCard(); }

    test::FakeUi ui;
    std::unique_ptr<test::FakeWaveOut> wave;
    std::unique_ptr<TForm1> form;
    fs::path dir;
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
    form->SpinEditEspace->setValue(3);
    form->FormNote->CheckBoxTonExamen->click();
    EXPECT_EQ(form->UpDownVitesse->value(), 11);
    EXPECT_EQ(form->state().speedFactor, 11 / 2.5L);
    EXPECT_EQ(form->SpinEditEspace->value(), 1);
    EXPECT_TRUE(form->MenuEspaceMotN[1]->isChecked());
    EXPECT_EQ(form->state().wordSpacingFactor, 2);
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
    EXPECT_EQ(form->state().wordSpacingFactor, 2);
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

// A file playback with the noise button down: each character is followed by the noise
// filler, whose completion never advances the text; the filler of the last character
// plays out after the end.
TEST_F(SoundSettingsTest, NoiseFillerFollowsEachCharacterAndNeverAdvancesTheText) {
    MainState& s = form->state();
    s.noiseFile = true;
    s.fileModeOn = true;
    s.pendingText = "ee";
    form->Button1->click();
    ASSERT_EQ(wave->writes.size(), 2u);
    EXPECT_EQ(wave->writes[0].buffer, WaveBuffer::Tone);
    EXPECT_EQ(wave->writes[1].buffer, WaveBuffer::Noise);
    ASSERT_EQ(wave->writes[1].values.size(), 30000u);  // 15000 frames of the noise table
    EXPECT_TRUE(std::equal(wave->writes[1].values.begin(), wave->writes[1].values.end(),
                           form->soundTables().noise().data()));
    // The tone's gaps carry noise: the last element gap is not silent.
    const auto& tone = wave->writes[0].values;
    EXPECT_NE(*std::max_element(tone.end() - 100, tone.end()), 0);

    form->engine().onNotice({WaveOutNotice::Kind::Done, wave.get(), WaveBuffer::Noise, 0});
    EXPECT_EQ(s.pendingText, "ee");
    wave->completeNext();  // the tone
    EXPECT_EQ(s.pendingText, "e");
    ASSERT_EQ(wave->writes.size(), 4u);
    // The next start step reset the device first: that cut the filler.
    const auto resets = std::count(wave->calls.begin(), wave->calls.end(), "reset");
    EXPECT_GE(resets, 2);
    wave->completeNext();  // the filler of the first character: ignored
    EXPECT_EQ(s.pendingText, "e");
    wave->completeNext();
    EXPECT_TRUE(s.pendingText.empty());
    // No reset after the end: the last filler plays out.
    EXPECT_EQ(wave->calls.back(), "write noise");
}

TEST_F(SoundSettingsTest, NoiseAndFadingApplyOnlyToTheirOwnMode) {
    MainState& s = form->state();
    s.noiseRandom = true;
    s.qsbRandom = true;
    s.fileModeOn = true;  // a file plays: the random view's buttons do not apply
    s.pendingText = "e";
    form->Button1->click();
    ASSERT_EQ(wave->writes.size(), 1u);
    CharBuffer clean;
    const int n = fillCharacter(clean, form->soundTables().tone(), ".",
                                elementDurations(s.speedFactor, 3), 2);
    EXPECT_TRUE(std::equal(clean.data(), clean.data() + n, wave->writes[0].values.begin()));
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
    EXPECT_EQ(form->state().outputDeviceId, 1);
    EXPECT_EQ(form->state().inputDeviceId, 1);
    const std::vector<std::string> reopen(wave->calls.end() - 4, wave->calls.end());
    EXPECT_EQ(reopen, (std::vector<std::string>{"reset", "close", "open 1", "reset"}));

    // The same devices again: the panel closes and nothing is reopened.
    form->MenuSoundCard->trigger();
    EXPECT_EQ(card().ComboBoxChoixOut->currentIndex(), 1);
    const std::size_t before = wave->calls.size();
    card().BitBtnOKCarteSon->click();
    EXPECT_EQ(wave->calls.size(), before);
}

TEST_F(SoundSettingsTest, AStoredDeviceThatNoLongerExistsGivesSilentModeNotACrash) {
    create(defaultsWith("OSOUND=", "5"));
    EXPECT_TRUE(form->state().silentMode);
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_EQ(ui.errors[0], QStringLiteral("Err -9996 : Can't open the sound card !"));
    form->MenuSoundCard->trigger();
    EXPECT_EQ(card().ComboBoxChoixOut->currentIndex(), -1);

    // Choosing a device that opens brings the sound back.
    card().RadioButtonCarteMoi->click();
    card().ComboBoxChoixIn->setCurrentIndex(0);
    card().ComboBoxChoixOut->setCurrentIndex(0);
    card().BitBtnOKCarteSon->click();
    EXPECT_FALSE(form->state().silentMode);
    QTest::keyClicks(form->Editcaractere, QStringLiteral("e"));
    EXPECT_EQ(wave->writes.size(), 1u);
}

}  // namespace
}  // namespace kb

// The CW monitor through the window and the fake sound input: starting it, the hand-over
// of the sound card with playback, input failures that leave the program usable, the
// decoded text (Clear, Save) and the settings.
//
// Tests named NeedsDecoder_* feed a keyed signal and look at the decoded text or the level
// bars: they need the real decoder and skip while receive/cw_decoder.* is the stand-in
// that decodes nothing (detected at run time: its envelopes stay 0 under a loud signal).

#include <gtest/gtest.h>
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>

#include <fstream>

#include "app/settings_binding.h"
#include "audio/sound_card_panel.h"
#include "modes/monitor_mode.h"
#include "modes/quiz_mode.h"
#include "modes/random_mode.h"
#include "support/window_harness.h"

namespace kb {
namespace {

// Frames of these codes keyed at `wpm` (a square wave of `amplitude` on one channel, the
// other at rest), after 0.3 s and followed by 1.5 s of silence.
std::vector<std::uint8_t> keyed(const std::vector<std::string>& codes, int wpm, int amplitude,
                                bool right = false) {
    const int dot = WaveIn::SampleRate * 6 / (5 * wpm);
    std::vector<std::uint8_t> frames;
    const auto add = [&](int count, bool tone) {
        for (int k = 0; k < count; ++k) {
            const auto v =
                static_cast<std::uint8_t>(128 + (tone ? (k % 8 < 4 ? 1 : -1) * amplitude : 0));
            frames.insert(frames.end(),
                          {right ? std::uint8_t{128} : v, right ? v : std::uint8_t{128}});
        }
    };
    add(WaveIn::SampleRate * 3 / 10, false);
    for (const std::string& code : codes) {
        for (char e : code) {
            add(e == '-' ? 3 * dot : dot, true);
            add(dot, false);
        }
        add(2 * dot, false);
    }
    add(WaveIn::SampleRate * 3 / 2, false);
    return frames;
}

const std::vector<std::string> Paris = {".--.", ".-", ".-.", "..", "..."};

class MonitorTest : public test::WindowTest {
protected:
    void SetUp() override { start(); }
    void start(const std::string& settings = {}) {
        test::WindowOptions o;
        o.show = true;
        o.settings = settings;
        create(o);
    }
    MonitorMode& monitor() { return form->monitor(); }
    void startMonitor() { form->RadioButtonMonitor->click(); }
    QString memo() { return monitor().MemoMonitor->toPlainText(); }
    bool decoderDecodes() {
        CwDecoder d(form->morse());
        d.startMonitoring();
        const std::vector<std::uint8_t> loud(2 * 60, 250);
        std::string out;
        d.decodeBuffer(loud.data(), 60, out);
        return d.envelopeLeft() > 0;
    }
};

#define SKIP_WITHOUT_DECODER() \
    if (!decoderDecodes()) GTEST_SKIP() << "the decoder is still the stand-in"

TEST_F(MonitorTest, StartingWhileTextIsPendingOnlyBeepsAndUnchecks) {
    engine().pendingText() = "paris";
    startMonitor();
    EXPECT_EQ(ui.beeps, 1);
    EXPECT_FALSE(form->RadioButtonMonitor->isChecked());
    EXPECT_TRUE(waveIn->calls.empty());
    EXPECT_TRUE(monitor().GroupBoxMonitor->isHidden());
}

// The monitor takes the card from the output; a text takes it back, and once the text has
// ended the monitor listens again. A device change lets go of the input as well.
TEST_F(MonitorTest, TheSoundCardGoesBetweenMonitorAndPlayback) {
    form->quiz().TimerQuiz->start();
    startMonitor();
    EXPECT_EQ(waveIn->calls, (std::vector<std::string>{"open -1", "start"}));
    EXPECT_EQ(wave->calls.back(), "close");
    EXPECT_TRUE(monitor().inputOpen());
    EXPECT_FALSE(monitor().GroupBoxMonitor->isHidden());
    EXPECT_TRUE(form->quiz().QuizGroupBox->isHidden());
    EXPECT_FALSE(form->quiz().TimerQuiz->isActive());
    EXPECT_FALSE(form->randomMode().MenuQuickRandom->isEnabled());

    for (const bool deviceChange : {false, true}) {
        SCOPED_TRACE(deviceChange);
        if (deviceChange) form->soundCard().reopenDevices();
        wave->calls.clear();
        waveIn->calls.clear();
        type("e");
        EXPECT_FALSE(monitor().inputOpen());
        EXPECT_FALSE(waveIn->isOpen());
        EXPECT_EQ(wave->writes.size(), deviceChange ? 2u : 1u);
        wave->completeAll();
        EXPECT_EQ(waveIn->calls.back(), "start");
        EXPECT_TRUE(monitor().inputOpen());
        EXPECT_EQ(wave->calls.back(), "close");
    }
}

// Whatever fails on the way to the input, the message names it, the input is let go of,
// and playback works as before; the monitor does not try again after the text.
TEST_F(MonitorTest, AnInputThatFailsLeavesTheProgramUsable) {
    struct Case {
        int openResult, startResult, failAfterStart;
        const char* message;
    };
    const Case cases[] = {
        {-9996, 0, 0, "Err -9996 : Can't open the sound card !"},
        {0, -9988, 0, "Err -9988 : WaveInStart"},
        {0, 0, -9999, "Err -9999 : Add buffer3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        start();
        waveIn->openResult = c.openResult;
        waveIn->startResult = c.startResult;
        startMonitor();
        if (c.failAfterStart) waveIn->fail(c.failAfterStart);
        ASSERT_EQ(ui.errors.size(), 1);
        EXPECT_TRUE(ui.errors[0].startsWith(QString::fromUtf8(c.message)))
            << ui.errors[0].toStdString();
        EXPECT_EQ(ui.terminations, 0);
        EXPECT_FALSE(monitor().inputOpen());
        EXPECT_FALSE(waveIn->isOpen());
        EXPECT_TRUE(form->RadioButtonMonitor->isChecked());

        const std::size_t inputCalls = waveIn->calls.size();
        type("e");
        wave->completeAll();
        EXPECT_EQ(wave->writes.size(), 1u);
        EXPECT_EQ(waveIn->calls.size(), inputCalls);
        EXPECT_EQ(ui.errors.size(), 1);
        ui.errors.clear();
    }
}

TEST_F(MonitorTest, SavingWritesTheLinesWithCrLf) {
    struct Case {
        bool chosen;
        const char* text;
        int beeps;
        const char* warning;
        const char* file;  // nullptr: nothing written
    };
    const Case cases[] = {
        {false, "paris ", 1, nullptr, nullptr},
        {true, "", 0, "Nothing to record !", nullptr},
        {true, "cq de f6 \n[KN] \n", 0, nullptr, "cq de f6 \r\n[KN] \r\n"},
        {true, "73 \xc3\xa9t\xc3\xa9 ", 0, nullptr, "73 \xe9t\xe9 \r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        start();
        if (c.chosen) startMonitor();
        monitor().MemoMonitor->setPlainText(QString::fromUtf8(c.text));
        const std::filesystem::path path = folder() / "decoded.txt";
        std::filesystem::remove(path);
        ui.saveAnswer = QString::fromStdString(path.string());
        monitor().MenuSaveMonitoring->trigger();
        EXPECT_EQ(ui.beeps, c.beeps);
        EXPECT_EQ(ui.warnings,
                  c.warning ? QStringList{QString::fromUtf8(c.warning)} : QStringList{});
        if (!c.file) {
            EXPECT_FALSE(std::filesystem::exists(path));
        } else {
            EXPECT_EQ(ui.saveRequests, QStringList{QStringLiteral("Monitoring1.txt")});
            std::ifstream in(path, std::ios::binary);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), c.file);
            EXPECT_EQ(form->state().currentFileName, path.string());
        }
        ui.beeps = 0;
        ui.warnings.clear();
        ui.saveRequests.clear();
    }
    monitor().MenuClearMonitoring->trigger();
    EXPECT_TRUE(memo().isEmpty());
}

TEST_F(MonitorTest, TheFourSettingsKeysGoBothWays) {
    start(defaultsWith({{"MONITOR_CASE=", "UPPER"},
                        {"MONITOR_CHANNEL=", "RIGHT"},
                        {"LEFT_THRESHOLD=", "20"},
                        {"RIGHT_THRESHOLD=", "100"}}));
    EXPECT_TRUE(monitor().CheckBoxUpperCase->isChecked());
    EXPECT_TRUE(monitor().RadioButtonRC->isChecked());
    EXPECT_EQ(monitor().TrackBarLC->value(), 20);
    EXPECT_EQ(monitor().TrackBarRC->value(), 100);

    monitor().CheckBoxUpperCase->click();
    monitor().RadioButtonLC->click();
    monitor().TrackBarRC->setValue(7);
    form->settingsBinding().write();
    const std::string saved = readSettings();
    for (const char* line : {"MONITOR_CASE=LOWER\r\n", "MONITOR_CHANNEL=LEFT\r\n",
                             "LEFT_THRESHOLD=20\r\n", "RIGHT_THRESHOLD=7\r\n"}) {
        EXPECT_NE(saved.find(line), std::string::npos) << line;
    }
}

// --- Checked once the decoder is in ---------------------------------------------------------

TEST_F(MonitorTest, NeedsDecoder_ParisKeyedAt20WpmIsWrittenIntoTheMemo) {
    SKIP_WITHOUT_DECODER();
    startMonitor();
    waveIn->feed(keyed(Paris, 20, 100));
    EXPECT_EQ(memo(), QStringLiteral("paris "));
    // The level bars: 100 above the zero line on the left, 32 either side on the right.
    std::vector<std::uint8_t> frames;
    for (int k = 0; k < WaveIn::FramesPerBuffer / 2; ++k)
        frames.insert(frames.end(), {228, 96, 228, 160});
    waveIn->feed(frames);
    EXPECT_EQ(monitor().ProgressBarLeft->value(), 78);
    EXPECT_EQ(monitor().ProgressBarRight->value(), 25);
}

TEST_F(MonitorTest, NeedsDecoder_TheLeftBarActsWhileTheRightChannelIsSelected) {
    SKIP_WITHOUT_DECODER();
    monitor().RadioButtonRC->click();
    startMonitor();
    // Under the right bar's 64: nothing.
    waveIn->feed(keyed(Paris, 20, 50, true));
    EXPECT_TRUE(memo().isEmpty());
    monitor().TrackBarLC->setValue(30);
    waveIn->feed(keyed(Paris, 20, 50, true));
    EXPECT_EQ(memo(), QStringLiteral("paris "));
}

}  // namespace
}  // namespace kb

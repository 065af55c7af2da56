// The wave recorder through the window: the file equals keybird-render's for the same
// text and settings, the refusals, the size following the format and the speed, the box
// kept read-only while the panel shows, and a failed write that leaves nothing behind.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSlider>
#include <QSpinBox>
#include <cerrno>

#include "audio/sound_dialogs.h"
#include "modes/random_mode.h"
#include "modes/record_panel.h"
#include "support/window_harness.h"
#include "tools/run_process.h"

namespace kb {
namespace {

namespace fs = std::filesystem;

class RecordPanelTest : public test::WindowTest {
protected:
    void SetUp() override { fresh(); }
    void fresh() {
        test::WindowOptions o;
        o.show = true;
        create(o);
    }
    RecordPanel& rec() { return form->recordPanel(); }
    void box(const char* text) { form->Editcaractere->setText(QString::fromUtf8(text)); }
    QString yes(const fs::path& path) {
        ui.saveAnswer = QString::fromStdString(path.string());
        rec().BitBtnYesRecord->click();
        return ui.errors.value(0);
    }
    // The size the panel shows, digits only.
    std::uint64_t shownSize() {
        return rec()
            .LabelValeurTailleFichier->text()
            .remove(QRegularExpression("[^0-9]"))
            .toULong();
    }
};

TEST_F(RecordPanelTest, TheFileIsKeybirdRendersByteForByte) {
    struct Case {
        const char* text;
        bool memo;
        QRadioButton* RecordPanel::*format;
        const char* samples;
        const char* rate;
        int speed, spacing, words, weight, level, pitch;
        bool exam;
    };
    const Case cases[] = {
        {"E E", false, &RecordPanel::RadioButtonMono8, "mono8", "22050", 12, 1, 1, 3, -9, 800,
         false},
        {"CQ DE N0CALL K", false, &RecordPanel::RadioButtonStereo16, "stereo16", "11025", 25, 2, 2,
         4, -3, 800, false},
        {"PARIS 73?\nQRL", true, &RecordPanel::RadioButtonMono16, "mono16", "22050", 40, 1, 3, 5,
         -15, 600, false},
        {"VVV = AR", true, &RecordPanel::RadioButtonStereo8, "stereo8", "11025", 9, 3, 4, 3, 0, 830,
         true},
    };
    for (const Case& c : cases) {
        fresh();
        if (c.exam) form->FormNote->CheckBoxTonExamen->setChecked(true);
        else form->FormNote->TrackBarNote->setValue((1500 - c.pitch) / 10);
        form->UpDownVitesse->setValue(c.speed);
        timing().SpinEditEspace->setValue(c.spacing);
        form->MenuEspaceMotN[c.words - 1]->trigger();
        form->findChild<QAction*>(QStringLiteral("Poids%1").arg(c.weight * 10 + 1))->trigger();
        form->UpDownAmplitude->setValue(c.level == -9 ? -6 : -9);  // the level is set
        form->UpDownAmplitude->setValue(c.level);
        if (c.memo) {
            form->randomMode().MemoRandom->setPlainText(QString::fromUtf8(c.text));
            rec().MenuRecordMemoRandom->trigger();
        } else {
            box(c.text);
            rec().MenuSaveTextWave->trigger();
        }
        ASSERT_TRUE(rec().shown()) << c.text;
        (rec().*c.format)->click();
        rec().ComboBoxFrequence->setCurrentText(QString::fromLatin1(c.rate));

        std::vector<std::string> args{KEYBIRD_RENDER_BIN, "-q",     "--samples",
                                      c.samples,          "--rate", c.rate};
        for (const auto& [option, value] : {std::pair{"--wpm", c.speed},
                                            {"--spacing", c.spacing},
                                            {"--word-spacing", c.words},
                                            {"--weight", c.weight},
                                            {"--level", c.level},
                                            {"--pitch", c.pitch}}) {
            args.insert(args.end(), {option, std::to_string(value)});
        }
        if (c.exam) args.push_back("--exam-tone");
        args.insert(args.end(), {"-o", (folder() / "render.wav").string(), c.text});
        const test::ProcessResult r = test::runProcess(args, {"", std::nullopt, folder()});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const std::string expected = test::readWholeFile(folder() / "render.wav");
        fs::remove(folder() / "render.wav");
        EXPECT_EQ(shownSize(), expected.size() - WavHeaderSize) << c.text;

        EXPECT_EQ(yes(folder() / "out.wav"), QString()) << c.text;
        EXPECT_EQ(ui.saveRequests, QStringList{QStringLiteral("Text1.wav")});
        EXPECT_TRUE(test::readWholeFile(folder() / "out.wav") == expected) << c.text;
        EXPECT_FALSE(rec().shown());
        EXPECT_EQ(std::distance(fs::directory_iterator(folder()), {}), 1) << "a temporary is left";
        ui.saveRequests.clear();
        TearDown();
        dir.clear();
    }
}

TEST_F(RecordPanelTest, ARefusalWarnsAndOpensNothing) {
    const SharedTexts& t = form->texts().shared;
    struct Case {
        const char* name;
        std::function<void()> setUp;
        bool memo;
        const char* warning;
    };
    const Case cases[] = {
        {"empty box", [] {}, false, t.msgNothingToRecord},
        {"memo's first line empty",
         [this] { form->randomMode().MemoRandom->setPlainText(QStringLiteral("\nABC")); }, true,
         t.msgNothingToRecord},
        {"text queued", [this] { type("ab"); }, false, t.msgStopPlayingBeforeRecording},
        {"random run",
         [this] {
             form->RadioButtonRandom->click();
             form->randomMode().BitBtnPlayRandom->click();
         },
         true, t.msgStopRandomBeforeRecording},
    };
    for (const Case& c : cases) {
        fresh();
        ui.warnings.clear();
        c.setUp();
        (c.memo ? rec().MenuRecordMemoRandom : rec().MenuSaveTextWave)->trigger();
        EXPECT_EQ(ui.warnings.join(u'|').toStdString(), c.warning) << c.name;
        EXPECT_FALSE(rec().shown()) << c.name;
    }
}

TEST_F(RecordPanelTest, WhileShownTheSizeFollowsFormatAndSpeedAndTheBoxStaysReadOnly) {
    form->MenuDelayedPlay->trigger();
    type("paris");
    rec().MenuSaveTextWave->trigger();
    const std::uint64_t mono8 = shownSize();
    form->UpDownVitesse->setValue(20);
    const std::uint64_t faster = shownSize();
    EXPECT_LT(faster, mono8);
    form->ButtonReplayText->click();  // the replay button stays usable
    wave->completeAll();
    EXPECT_TRUE(form->Editcaractere->isReadOnly());
    rec().BitBtnNoRecord->click();
    EXPECT_FALSE(form->Editcaractere->isReadOnly());
    rec().MenuSaveTextWave->trigger();
    EXPECT_EQ(shownSize(), faster);  // as the panel opens at that speed
}

TEST_F(RecordPanelTest, AFailedWriteLeavesNoFileAndKeepsAnOlderOne) {
    struct Case {
        const char* name;
        fs::path path;     // relative: in the test's folder
        rlim_t sizeLimit;  // RLIMIT_FSIZE during the write; 0: none
        QString error;     // how the message starts
    };
    const Case cases[] = {
        {"under a file", "old.wav/x.wav", 0, QStringLiteral("Err %1 : File erreor").arg(ENOTDIR)},
        {"in /proc", "/proc/keybird-record-test.wav", 0, QStringLiteral("Err ")},
        {"file size limit", "old.wav", 4096, QStringLiteral("Err %1 : Write error").arg(EFBIG)},
        {"cancelled", "", 0, QString()},
    };
    for (const Case& c : cases) {
        fresh();
        std::ofstream(folder() / "old.wav") << "older";
        box("paris paris");
        rec().MenuSaveTextWave->trigger();
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
        const rlimit lower{c.sizeLimit, saved.rlim_max};
        if (c.sizeLimit) ::setrlimit(RLIMIT_FSIZE, &lower);
        const QString error = yes(c.path.empty() ? c.path : folder() / c.path);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        ::signal(SIGXFSZ, oldHandler);
        EXPECT_TRUE(error.startsWith(c.error) && error.isEmpty() == c.error.isEmpty() &&
                    (!c.path.is_absolute() || error.contains(QLatin1String("Write error"))))
            << c.name << ": " << error.toStdString();
        EXPECT_EQ(test::readWholeFile(folder() / "old.wav"), "older") << c.name;
        EXPECT_EQ(std::distance(fs::directory_iterator(folder()), {}), 1) << c.name;
        EXPECT_FALSE(fs::exists("/proc/keybird-record-test.wav"));
        EXPECT_FALSE(rec().shown()) << c.name;
        ui.errors.clear();
        TearDown();
        dir.clear();
    }
}

}  // namespace
}  // namespace kb

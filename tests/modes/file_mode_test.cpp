// The file mode through the window: opening, the highlight with its skew, Stop and
// Resume, the file buttons' three-way rule, continuous replay, Hide/Show and Escape.

#include <gtest/gtest.h>
#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>

#include "modes/file_mode.h"
#include "modes/quiz_mode.h"
#include "support/window_harness.h"

namespace kb {
namespace {

// Registered after the file mode: sees each step of the highlight as the box shows it.
struct HighlightProbe : Mode {
    explicit HighlightProbe(FileMode& m) : mode(m) {}
    void beforeCharacter() override {
        if (!mode.fileModeOn()) return;
        positions.push_back(mode.filePosition());
        skews.push_back(mode.highlightSkew());
        selections.push_back(static_cast<int>(mode.FileEdit->textCursor().selectedText().size()));
    }
    FileMode& mode;
    std::vector<int> positions, skews, selections;
};

// Play shown, Play enabled, Resume shown, Resume enabled.
struct Buttons {
    bool playShown, playEnabled, resumeShown, resumeEnabled;
    bool operator==(const Buttons&) const = default;
};
void PrintTo(const Buttons& b, std::ostream* os) {
    *os << b.playShown << b.playEnabled << b.resumeShown << b.resumeEnabled;
}

class FileModeTest : public test::WindowTest {
protected:
    void SetUp() override {
        test::WindowOptions o;
        o.show = true;
        create(o);
    }
    FileMode& file() { return form->fileMode(); }
    // Opens `bytes` as a file through the open dialog.
    void open(const std::string& bytes, const char* name = "t.txt") {
        const auto path = folder() / name;
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        ui.openAnswer = QString::fromStdString(path.string());
        form->RadioButtonFile->click();
    }
    Buttons buttons() const {
        return {!form->ButtonPlayFile->isHidden(), form->ButtonPlayFile->isEnabled(),
                !form->ButtonContinueFile->isHidden(), form->ButtonContinueFile->isEnabled()};
    }
    std::vector<std::int16_t> sounds(const std::vector<std::string>& codes) {
        std::vector<std::int16_t> all;
        for (const std::string& c : codes) {
            const auto s = sound(c);
            all.insert(all.end(), s.begin(), s.end());
        }
        return all;
    }
    // Outlives the window, which keeps asking it until the window is gone.
    std::unique_ptr<HighlightProbe> probe;
};

struct HighlightCase {
    const char* name;
    std::string bytes;
    bool hidden;
    int masked;  // 1: "[" .. "]" delimit the silent stretches; 2: and typing left one open
    std::vector<int> positions, skews, selections;
    std::vector<std::string> heard;
};

class FileHighlight : public FileModeTest, public testing::WithParamInterface<HighlightCase> {};

TEST_P(FileHighlight, FollowsEveryCharacterTheEngineTakes) {
    const HighlightCase& c = GetParam();
    if (c.masked) form->state().mask = MaskState{'[', ']', c.masked == 2};
    open(c.bytes);
    probe = std::make_unique<HighlightProbe>(file());
    play().addMode(*probe);
    if (c.hidden) file().ButtonHideFile->click();
    form->ButtonPlayFile->click();
    wave->completeAll();
    EXPECT_EQ(probe->positions, c.positions);
    EXPECT_EQ(probe->skews, c.skews);
    EXPECT_EQ(probe->selections, c.selections);
    EXPECT_EQ(heard(), sounds(c.heard));
    // Finished: no selection, Play offered again, the box editable.
    EXPECT_FALSE(file().FileEdit->textCursor().hasSelection());
    EXPECT_EQ(buttons(), (Buttons{true, true, false, false}));
    EXPECT_FALSE(file().FileEdit->isReadOnly());
}

INSTANTIATE_TEST_SUITE_P(Cases, FileHighlight,
                         testing::Values(
                             // The line break: CR and LF in the queue, one break in the box; only
                             // the normal character gap between B and C.
                             HighlightCase{"TwoLines",
                                           "AB\r\nCD",
                                           false,
                                           false,
                                           {1, 2, 3, 3, 4, 5},
                                           {0, 0, 0, 1, 1, 1},
                                           {1, 2, 3, 3, 4, 5},
                                           {".-", "-...", "-.-.", "-.."}},
                             HighlightCase{"HiddenSelectsNothing",
                                           "AB\nCD",
                                           true,
                                           false,
                                           {1, 2, 3, 3, 4, 5},
                                           {0, 0, 0, 1, 1, 1},
                                           {0, 0, 0, 0, 0, 0},
                                           {".-", "-...", "-.-.", "-.."}},
                             // One character of two UTF-16 positions: one step of the queue.
                             HighlightCase{"OutsideTheBmp",
                                           "E\xF0\x9F\x98\x80T",
                                           false,
                                           false,
                                           {1, 3, 4},
                                           {0, 0, 0},
                                           {1, 3, 4},
                                           {".", "-"}},
                             HighlightCase{"MaskedStretchSilentButHighlighted",
                                           "E[T]E",
                                           false,
                                           true,
                                           {1, 2, 3, 4, 5},
                                           {0, 0, 0, 0, 0},
                                           {1, 2, 3, 4, 5},
                                           {".", "."}},
                             HighlightCase{"MaskLeftOpenByTypingEndsAtPlay",
                                           "E[T]E",
                                           false,
                                           2,
                                           {1, 2, 3, 4, 5},
                                           {0, 0, 0, 0, 0},
                                           {1, 2, 3, 4, 5},
                                           {".", "."}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileModeTest, StopDuringTheFourthCharacterThenResumeGoesOnWithTheFifth) {
    open("EETTEE");
    form->ButtonPlayFile->click();
    EXPECT_TRUE(form->ButtonStop->isVisible());
    EXPECT_FALSE(form->RadioButtonRandom->isEnabled());
    wave->completeNext();
    wave->completeNext();
    wave->completeNext();  // the fourth sounds
    // Escape in the box presses Stop while it is shown.
    QTest::keyClick(file().FileEdit, Qt::Key_Escape);
    EXPECT_EQ(file().fileResumeText(), "EE");
    wave->completeAll();  // the fourth plays to its end
    EXPECT_EQ(buttons(), (Buttons{false, false, true, true}));
    EXPECT_TRUE(file().FileEdit->isReadOnly());
    // Hidden and shown again: the played part is selected.
    file().ButtonHideFile->click();
    EXPECT_FALSE(file().FileEdit->textCursor().hasSelection());
    EXPECT_EQ(file().ButtonHideFile->text(), QStringLiteral("Show"));
    file().ButtonHideFile->click();
    EXPECT_EQ(file().FileEdit->textCursor().selectedText(), QStringLiteral("EETT"));

    form->state().mask.active = true;  // as typing a start delimiter would leave it
    form->ButtonContinueFile->click();
    EXPECT_EQ(file().filePosition(), 5);
    wave->completeAll();
    EXPECT_EQ(heard(), sounds({".", ".", "-", "-", ".", "."}));
    EXPECT_EQ(buttons(), (Buttons{true, true, false, false}));
    EXPECT_TRUE(file().fileResumeText().empty());
}

struct ButtonsCase {
    const char* name;
    int state;  // 0 no file, 1 loaded, 2 stopped with a rest, 3 stopped at the last character,
                // 4 Play pressed while typed characters wait
    Buttons expected;
};

class FileButtons : public FileModeTest, public testing::WithParamInterface<ButtonsCase> {};

TEST_P(FileButtons, FollowTheThreeWayRuleAfterARunAndWhenTheQuizIsChosen) {
    const ButtonsCase& c = GetParam();
    if (c.state > 0) open(c.state == 3 ? "E" : "EEE");
    if (c.state == 4) {
        type("ab");
        form->ButtonPlayFile->click();
        EXPECT_EQ(pending(), "b") << "refused: the typed character still waits";
        wave->completeAll();
    }
    if (c.state == 2 || c.state == 3) {
        form->ButtonPlayFile->click();
        form->ButtonStop->click();
        wave->completeAll();
    }
    EXPECT_EQ(buttons(), c.expected) << "after the run";
    form->RadioButtonQuiz->click();
    EXPECT_EQ(buttons(), c.expected) << "quiz chosen";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileButtons,
    testing::Values(ButtonsCase{"NoFile", 0, {true, false, false, false}},
                    ButtonsCase{"Loaded", 1, {true, true, false, false}},
                    ButtonsCase{"Stopped", 2, {false, false, true, true}},
                    ButtonsCase{"StoppedOnTheLast", 3, {true, true, false, false}},
                    ButtonsCase{"PlayWhileTyping", 4, {true, true, false, false}}),
    [](const auto& info) { return std::string(info.param.name); });

struct OpenCase {
    const char* name;
    bool loadedBefore;
    std::string answer;  // "" cancel; else a file name under the folder, made from `bytes`
    std::string bytes;
    bool panelShown;
    QString text;  // the box's text afterwards
    int errors;
};

class FileOpen : public FileModeTest, public testing::WithParamInterface<OpenCase> {};

TEST_P(FileOpen, LoadsOrKeepsWhatWasThere) {
    const OpenCase& c = GetParam();
    if (c.loadedBefore) open("OLD");
    if (c.answer.empty()) {
        ui.openAnswer.clear();
        form->RadioButtonFile->click();
    } else if (c.answer == "missing") {
        ui.openAnswer = QString::fromStdString((folder() / "missing.txt").string());
        form->RadioButtonFile->click();
    } else {
        open(c.bytes, c.answer.c_str());
    }
    EXPECT_EQ(ui.openFilter, QString::fromLatin1(FileMode::OpenDialogFileFilter));
    EXPECT_EQ(!file().PanelFile->isHidden(), c.panelShown);
    EXPECT_EQ(file().FileEdit->toPlainText(), c.text);
    EXPECT_FALSE(form->RadioButtonFile->isChecked()) << "a command, never left checked";
    EXPECT_EQ(form->RadioButtonAlphabet->isChecked(), !c.loadedBefore && !c.panelShown);
    ASSERT_EQ(ui.errors.size(), c.errors);
    if (c.errors) {
        EXPECT_TRUE(ui.errors[0].startsWith(QStringLiteral("Can't open the file !")));
    }
    if (c.panelShown) {
        ui.openAnswer.clear();
        form->RadioButtonFile->click();  // the panel shown afresh
        // A cancelled or refused file leaves the path of the file still shown.
        const bool kept = c.answer.empty() || c.errors > 0;
        EXPECT_TRUE(file().PanelPathFile->text().endsWith(
            QString::fromStdString(kept ? "t.txt" : c.answer)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileOpen,
    testing::Values(OpenCase{"CancelWithAFile", true, "", "", true, "OLD", 0},
                    OpenCase{"CancelWithoutAFile", false, "", "", false, "MemoFile", 0},
                    OpenCase{"Unreadable", true, "missing", "", true, "OLD", 1},
                    OpenCase{"Binary", true, "b.bin", std::string("A\0B", 3), true, "OLD", 1},
                    OpenCase{"PlaceholderIsNoFile", false, "m.txt", "MemoFile\r\nx", false,
                             "MemoFile\nx", 0},
                    OpenCase{"Rtf", false, "d.rtf", "{\\rtf1{\\fonttbl{\\f0 A;}}\\f0 cq\\par de}",
                             true, "cq\nde", 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileModeTest, ContinuousReplayPlaysTheFileAgainAfterTheStandby) {
    form->MenuStanby1s->trigger();
    open("E");
    file().SpeedButtonNoiseFile->click();
    form->ButtonPlayFile->click();
    wave->completeAll();
    EXPECT_TRUE(play().TimerBoucle->isActive());
    EXPECT_FALSE(file().fileModeOn());
    EXPECT_EQ(buttons(), (Buttons{true, true, false, false}));
    const std::size_t before = wave->writes.size();
    play().TimerBoucleTimer();
    EXPECT_TRUE(file().fileModeOn());
    EXPECT_GT(wave->writes.size(), before);
    // With noise down for the file, its filler follows each character.
    EXPECT_EQ(wave->writes.back().buffer, WaveBuffer::Noise);
    form->MenuNoBoucle->trigger();
    wave->completeAll();
    EXPECT_FALSE(play().TimerBoucle->isActive());
    EXPECT_FALSE(file().FileEdit->isReadOnly());
}

}  // namespace
}  // namespace kb

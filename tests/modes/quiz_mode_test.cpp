// The quiz through the window: questions with the fixed quiz gap, the answer box, the
// judgement, the end after the chosen count, the report, the delay keys and the mark in
// Morse; then the masked-text panel and the settings both keep in keybird.dat.

#include <gtest/gtest.h>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <functional>

#include "modes/masked_text_panel.h"
#include "modes/quiz_mode.h"
#include "support/window_harness.h"
#include "ui/timing_controls.h"

namespace kb {
namespace {

// With this seed the first questions of a quiz are z, b, 7, i, b.
constexpr std::uint32_t Seed = 122;

class QuizTest : public test::WindowTest {
protected:
    void SetUp() override { start(); }
    void start(const std::string& settings = {}) {
        test::WindowOptions o;
        o.show = true;
        o.randomSeed = Seed;
        o.settings = settings;
        create(o);
        form->RadioButtonQuiz->click();
    }
    QuizMode& quiz() { return form->quiz(); }
    MaskedTextPanel& masked() { return form->maskedText(); }
    // The question's character plays out; the answer delay runs. Returns the question.
    QString hear() {
        wave->completeAll();
        EXPECT_TRUE(quiz().TimerQuiz->isActive());
        return quiz().EditRandomQuiz->text();
    }
    void answer(const QString& keys) { QTest::keyClicks(quiz().EditReponseQuiz, keys); }
    void judge() {
        ASSERT_TRUE(quiz().TimerQuiz->isActive());
        quiz().TimerQuizTimer();
    }
    // The controls a user can press now (shown and enabled).
    QString offered() {
        const std::pair<QWidget*, const char*> controls[] = {
            {quiz().ButtonQuizOK, "ok"},          {quiz().ButtonQuizStop, "stop"},
            {form->ButtonQuitter, "quit"},        {form->Editcaractere, "text"},
            {form->RadioButtonAlphabet, "modes"}, {form->ButtonMsg[0], "msg"},
            {form->RadioButtonQuiz, "quiz"}};
        QStringList on;
        for (const auto& c : controls) {
            if (!c.first->isHidden() && c.first->isEnabled()) on << QString::fromLatin1(c.second);
        }
        return on.join(' ');
    }
    // Only one of the three faces shows.
    QString face() {
        for (QLabel* l : {quiz().Visage0, quiz().VisageHa, quiz().VisageHo}) {
            if (!l->isHidden()) return l->objectName();
        }
        return {};
    }
};

TEST_F(QuizTest, CountFiveEndsHalfASecondAfterTheFifthJudgementWithTheMissesInCodeOrder) {
    EXPECT_FALSE(quiz().QuizGroupBox->isHidden());
    timing().SpinEditEspace->setValue(5);  // no effect on the quiz's gap
    quiz().SpinEditQuizNumber->setValue(5);
    QTest::mouseClick(quiz().ButtonQuizOK, Qt::LeftButton);
    struct Question {
        const char* keys;  // typed during the delay
        const char* answer;
        const char* face;
    };
    const Question questions[] = {{"qZ", "z", "VisageHa"},  // two keys: the last one counts
                                  {"", "", "VisageHo"},     // nothing typed: wrong
                                  {"78", "8", "VisageHo"},
                                  {"i", "i", "VisageHa"},
                                  {"bn", "n", "VisageHo"}};  // b missed a second time
    QString asked;
    for (const Question& q : questions) {
        SCOPED_TRACE(q.keys);
        EXPECT_EQ(offered(), QStringLiteral("stop quiz"));
        const QString c = hear();
        asked += c;
        EXPECT_EQ(face(), QStringLiteral("Visage0"));
        // Three element gaps close the character, as spacing 1 has them.
        const std::string code = form->morse().code(static_cast<unsigned char>(c.at(0).unicode()));
        EXPECT_EQ(wave->writes.back().values, sound(code, at(12, 1)));
        answer(QString::fromLatin1(q.keys));
        EXPECT_EQ(quiz().EditReponseQuiz->text(), QString::fromLatin1(q.answer));
        EXPECT_EQ(ui.beeps, 0);
        judge();
        EXPECT_EQ(face(), QString::fromLatin1(q.face));
        EXPECT_TRUE(quiz().EditRevise->text().isEmpty()) << "shown only at the end";
    }
    EXPECT_EQ(asked, QStringLiteral("zb7ib"));
    EXPECT_EQ(quiz().EditMark->text(), QStringLiteral("2/5 = 40%"));
    EXPECT_EQ(ui.beeps, 1);
    EXPECT_EQ(wave->writes.size(), 5u);
    ASSERT_TRUE(quiz().TimerFinQuiz->isActive());
    EXPECT_EQ(quiz().TimerFinQuiz->interval(), 500);

    quiz().TimerFinQuizTimer();
    EXPECT_FALSE(quiz().quizOn());
    EXPECT_EQ(quiz().EditRevise->text(), QStringLiteral("7b"));
    EXPECT_EQ(face(), QStringLiteral("Visage0"));
    EXPECT_EQ(offered(), QStringLiteral("ok quit text modes msg quiz"));
}

// The second question is under way when something interrupts it; the first was right.
TEST_F(QuizTest, InterruptionsOfTheSecondQuestion) {
    struct Case {
        const char* name;
        bool whileSounding;  // else while waiting for the answer
        std::function<void()> act;
        int asked;
        const char* mark;
        bool running;
    };
    const Case cases[] = {
        {"Stop while waiting: the question is taken back, the mark stays", false,
         [this] { QTest::mouseClick(form->ButtonStop, Qt::LeftButton); }, 1, "1/1 = 100%", false},
        {"Stop while the character sounds: taken back as well, the character plays out", true,
         [this] { QTest::mouseClick(form->ButtonStop, Qt::LeftButton); }, 1, "1/1 = 100%", false},
        {"report reset while waiting: the current question counts as 1", false,
         [this] {
             quiz().ButtonResetReport->click();
             EXPECT_TRUE(quiz().EditMark->text().isEmpty());
             answer(quiz().EditRandomQuiz->text());
             judge();
         },
         2, "1/1 = 100%", true},
        {"the masked-text panel stops the quiz and holds OK back while open", false,
         [this] {
             masked().MenuMaskedtext->trigger();
             EXPECT_FALSE(masked().PanelMaskedText->isHidden());
             EXPECT_EQ(offered(), QStringLiteral("quit text modes msg quiz"));
             masked().ButtonMaskedTextCancel->click();
         },
         1, "1/1 = 100%", false},
        {"the spacing panel likewise", false,
         [this] {
             form->Spacing1->trigger();
             EXPECT_EQ(offered(), QStringLiteral("quit text modes msg quiz"));
             form->timing().BitBtnOKEspace->click();
         },
         1, "1/1 = 100%", false},
        {"choosing the quiz again leaves the question alone", false,
         [this] { form->RadioButtonQuiz->click(); }, 2, "1/1 = 100%", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        start();
        quiz().ButtonQuizOK->click();
        answer(hear());
        judge();
        if (!c.whileSounding) hear();
        c.act();
        wave->completeAll();
        EXPECT_EQ(quiz().questionsAsked(), c.asked);
        EXPECT_EQ(quiz().EditMark->text(), QString::fromLatin1(c.mark));
        EXPECT_EQ(quiz().quizOn(), c.running);
        EXPECT_EQ(quiz().TimerQuiz->isActive(), c.running);
        const char* after = c.running ? "stop quiz" : "ok quit text modes msg quiz";
        EXPECT_EQ(offered(), QString::fromLatin1(after));
    }
}

TEST_F(QuizTest, AReportResetInTheHalfSecondAfterTheLastJudgementCountsNoQuestion) {
    quiz().SpinEditQuizNumber->setValue(5);
    quiz().ButtonQuizOK->click();
    for (int k = 0; k < 5; ++k) {
        answer(hear());
        judge();
    }
    ASSERT_TRUE(quiz().TimerFinQuiz->isActive());
    quiz().ButtonResetReport->click();
    quiz().TimerFinQuizTimer();
    EXPECT_EQ(quiz().questionsAsked(), 0);
    quiz().ButtonQuizOK->click();
    answer(hear());
    judge();
    EXPECT_EQ(quiz().EditMark->text(), QStringLiteral("1/1 = 100%"));
}

TEST_F(QuizTest, DelayKeysStepWithinTheSixteenPositions) {
    struct Case {
        int from;
        Qt::Key key;
        const char* label;
        int ms;
    };
    const Case cases[] = {{10, Qt::Key_U, "4", 4000},
                          {2, Qt::Key_D, "0.25", 250},
                          {1, Qt::Key_D, "0.25", 250},
                          {15, Qt::Key_U, "9", 9000},
                          {16, Qt::Key_U, "9", 9000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from);
        quiz().UpDownDelay->setValue(c.from);
        QTest::keyClick(form->Editcaractere, c.key, Qt::ControlModifier | Qt::AltModifier);
        EXPECT_EQ(quiz().EditDelay->text(), QString::fromLatin1(c.label));
        EXPECT_EQ(quiz().TimerQuiz->interval(), c.ms);
    }
    EXPECT_TRUE(form->Editcaractere->text().isEmpty());
    EXPECT_TRUE(pending().empty());
}

TEST_F(QuizTest, TheMarkIsPlayedOnlyOutsideAQuiz) {
    quiz().SpinEditQuizNumber->setValue(10);
    quiz().ButtonQuizOK->click();
    for (int k = 0; k < 10; ++k) {
        const QString c = hear();
        if (k == 0) {
            quiz().ButtonMark->click();
            EXPECT_TRUE(pending().empty());
        }
        if (k % 3 != 1) answer(c);  // three of the ten missed
        judge();
    }
    quiz().TimerFinQuizTimer();
    EXPECT_EQ(quiz().EditMark->text(), QStringLiteral("7/10 = 70%"));
    const auto before = static_cast<std::ptrdiff_t>(heard().size());
    quiz().ButtonMark->click();
    wave->completeAll();
    const std::vector<std::int16_t> all = heard();
    EXPECT_EQ(std::vector<std::int16_t>(all.begin() + before, all.end()),
              join({sound("--..."), sound("-..-."), sound(".----"), sound("-----")}));
}

TEST_F(QuizTest, MaskedTextOkRules) {
    struct Case {
        const char* start;
        const char* end;
        int maskStart;
        int maskEnd;
        bool refused;
    };
    const Case cases[] = {{"[", "]", '[', ']', false}, {"[", "[", '[', ']', true},
                          {"", "", -1, -1, false},     {"X", "", 'x', -1, false},
                          {"", "}", -1, '}', false},   {"a", "A", -1, '}', true}};
    form->state().mask.active = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.start) + " " + c.end);
        const int warnings = static_cast<int>(ui.warnings.size());
        const MaskState before = form->state().mask;
        QTest::keyClick(form->Editcaractere, Qt::Key_F9, Qt::ControlModifier | Qt::ShiftModifier);
        ASSERT_FALSE(masked().PanelMaskedText->isHidden());
        EXPECT_TRUE(masked().EditStartMaskedText->hasFocus());
        // The panel shows the delimiters in force.
        EXPECT_EQ(masked().EditStartMaskedText->text().toStdU32String(),
                  before.startChar < 0 ? U"" : std::u32string(1, char32_t(before.startChar)));
        masked().EditStartMaskedText->setText(QString::fromLatin1(c.start));
        masked().EditEndMaskedText->setText(QString::fromLatin1(c.end));
        masked().ButtonMaskedTextOK->click();
        EXPECT_EQ(masked().PanelMaskedText->isHidden(), !c.refused);
        EXPECT_EQ(ui.warnings.size() - warnings, c.refused ? 1 : 0);
        if (c.refused) {
            EXPECT_EQ(ui.warnings.back(),
                      QStringLiteral("Starting and ending characters must be different !"));
            EXPECT_TRUE(masked().EditStartMaskedText->hasFocus());
            masked().ButtonMaskedTextCancel->click();
        } else {
            EXPECT_FALSE(form->state().mask.active);
        }
        EXPECT_EQ(form->state().mask.startChar, c.maskStart);
        EXPECT_EQ(form->state().mask.endChar, c.maskEnd);
        EXPECT_EQ(masked().MenuMaskedtext->isChecked(), c.maskStart != -1);
    }
    EXPECT_EQ(ui.beeps, 2);
}

TEST_F(QuizTest, CountDelayAndDelimitersComeBackFromKeybirdDat) {
    std::string stored = defaultsWith({{"DELAY=", "0.25"}, {"QUIZ_COUNT=", "35"}});
    stored.replace(stored.find("\x02\xff\xff"), 3, "\x02[]");
    start(stored);
    EXPECT_EQ(quiz().SpinEditQuizNumber->value(), 35);
    EXPECT_EQ(quiz().quizRemaining(), 35);
    EXPECT_EQ(quiz().EditDelay->text(), QStringLiteral("0.25"));
    EXPECT_EQ(quiz().TimerQuiz->interval(), 250);
    EXPECT_TRUE(masked().MenuMaskedtext->isChecked());
    form->close();
    EXPECT_EQ(readSettings(), stored);

    start(stored);
    quiz().SpinEditQuizNumber->setValue(40);
    quiz().UpDelai->trigger();
    form->state().mask = MaskState{};
    form->close();
    EXPECT_EQ(readSettings(), defaultsWith({{"DELAY=", "0.5"}, {"QUIZ_COUNT=", "40"}}));
}

}  // namespace
}  // namespace kb

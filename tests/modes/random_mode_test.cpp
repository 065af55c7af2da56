// The random mode through the window: quick serials and their group shapes, the word gap
// after a group in the sound, a set change during a run, the empty set, the memo's
// commands, the option rules, the choice panel, the lesson editor, the settings, and
// keybird-groups printing the window's own series.

#include <gtest/gtest.h>
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <functional>
#include <regex>

#include "audio/sound_dialogs.h"
#include "modes/lesson_panel.h"
#include "modes/random_mode.h"
#include "support/window_harness.h"
#include "tools/run_process.h"

namespace kb {
namespace {

using Steps = std::function<void(RandomMode&)>;

class RandomModeTest : public test::WindowTest {
protected:
    void SetUp() override { fresh(); }
    void fresh(test::WindowOptions o = {}) {
        o.show = true;
        create(std::move(o));
        form->RadioButtonRandom->click();
    }
    void fresh(std::string settings, bool useSettingsFile = false) {
        test::WindowOptions o;
        o.settings = std::move(settings);
        o.useSettingsFile = useSettingsFile;
        o.show = true;
        create(std::move(o));
        form->RadioButtonRandom->click();
    }
    RandomMode& rnd() { return form->randomMode(); }
    LessonPanel& lessons() { return rnd().lessonPanel(); }
    std::string memo() { return rnd().MemoRandom->toPlainText().toStdString(); }
    bool matches(const std::string& text, const std::string& pattern) {
        return std::regex_match(text, std::regex(pattern));
    }
    void quick(int count) {
        rnd().SpinEditRandomNumber->setValue(count);
        rnd().MenuQuickRandom->trigger();
    }
    void choose(const QString& text) {
        rnd().ButtonChangeLesson->click();
        QTest::keyClicks(rnd().BoxCaracteresChoix, text);
        QTest::keyClick(rnd().BoxCaracteresChoix, Qt::Key_Return);
    }
    QString setName() { return rnd().PanelRandomLessonCaption->text(); }
    // Clicks menu items (or buttons) by name.
    void trigger(const std::vector<const char*>& items) {
        for (const QString name : items) {
            if (auto* a = form->findChild<QAction*>(name)) {
                a->trigger();
            } else {
                form->findChild<QAbstractButton*>(name)->click();
            }
        }
    }
};

TEST_F(RandomModeTest, AQuickSerialWritesItsCountInGroupsSilentlyThenBeeps) {
    const std::string any = "[^ ]";
    struct Case {
        const char* name;
        std::vector<const char*> items;
        int count;
        std::string memo;
    };
    const Case cases[] = {
        {"defaults", {}, 250, "(" + any + "{5} ){50}"},
        {"V's, length 5, count 5", {"MenuAddV"}, 5, "VVVVV "},
        {"V's, length 3", {"MenuAddV", "MenuFixedWords3"}, 10, "VVV (" + any + "{3} ){2}" + any},
        {"V's, random length",
         {"MenuAddV", "MenuRandomWords"},
         50,
         "VVVVV (" + any + "{2,8} )*" + any + "{0,8}"},
        {"non-mixed All", {"MenuWordContent"}, 1000, "(([0-9]{5}|[A-Z]{5}|[^ A-Z0-9]{5}) ){200}"},
        {"callsigns",
         {"MenuLettersFigures", "menuCallsigns"},
         1000,
         "(([A-Z][A-Z][0-9]|[A-Z][0-9][A-Z0-9]|[0-9][A-Z][0-9])[A-Z][A-Z] ){200}"},
    };
    for (const Case& c : cases) {
        fresh();
        trigger(c.items);
        quick(c.count);
        EXPECT_TRUE(matches(memo(), c.memo)) << c.name << ": " << memo();
        EXPECT_TRUE(wave->writes.empty()) << c.name;
        EXPECT_EQ(ui.beeps, 1) << c.name;
        EXPECT_FALSE(rnd().runOn()) << c.name;
        EXPECT_FALSE(rnd().BitBtnPlayRandom->isHidden()) << c.name;
        EXPECT_TRUE(form->ButtonStop->isHidden()) << c.name;
        ui.beeps = 0;
    }
}

TEST_F(RandomModeTest, KeybirdGroupsPrintsTheSeriesTheQuickSerialWritesFromTheSameState) {
    struct Case {
        std::vector<std::string> args;
        Steps steps;
    };
    const Case cases[] = {
        {{"--set", "letters+figures", "--callsigns"},
         [this](RandomMode&) {
             trigger({"MenuLettersFigures", "menuCallsigns"});
         }},
        {{"--length", "random", "--leading-v", "--non-mixed"},
         [this](RandomMode&) {
             trigger({"MenuRandomWords", "MenuAddV", "MenuWordContent"});
         }},
        {{"--chars", "xyz12?"}, [this](RandomMode&) { choose(QStringLiteral("xyz12?")); }},
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        fresh();
        c.steps(rnd());
        form->random().seed(4242);
        quick(200);
        // Play takes the fading phase's draw first; the run's draws follow.
        RandomInt afterPlay(4242);
        afterPlay(1);
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), KEYBIRD_GROUPS_BIN);
        args.insert(args.end(), {"--count", "200", "--seed", std::to_string(afterPlay.state())});
        const test::ProcessResult r = test::runProcess(args, {"", std::nullopt, dir.path()});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, memo() + "\n") << c.args[0];
    }
}

TEST_F(RandomModeTest, AGroupsLastCharacterIsFollowedByTheWordGapInTheSound) {
    rnd().MenuLetters->trigger();
    rnd().SpinEditRandomNumber->setValue(10);
    rnd().BitBtnPlayRandom->click();
    EXPECT_TRUE(rnd().BitBtnPlayRandom->isHidden());
    EXPECT_FALSE(form->Editcaractere->isEnabled());
    wave->completeAll();
    ASSERT_TRUE(matches(memo(), "[A-Z]{5} [A-Z]{5} ")) << memo();
    std::string letters = memo();
    std::erase(letters, ' ');
    std::vector<std::int16_t> all;
    for (std::size_t k = 0; k < letters.size(); ++k) {
        CharacterSettings s = at(12);
        if (k % 5 == 4) s.gapKind = CharGapKind::GroupEnd;
        const std::vector<std::int16_t> one = sound(form->morse().code(letters[k]), s);
        all.insert(all.end(), one.begin(), one.end());
    }
    EXPECT_EQ(heard(), all);
    EXPECT_EQ(ui.beeps, 1);
    EXPECT_TRUE(form->ButtonStop->isHidden());
    EXPECT_TRUE(form->Editcaractere->isEnabled());
}

TEST_F(RandomModeTest, ASetChangeDuringARunRestartsTheCountOnANewLine) {
    rnd().MenuLetters->trigger();
    rnd().SpinEditRandomNumber->setValue(10);
    rnd().BitBtnPlayRandom->click();
    wave->completeNext();
    wave->completeNext();  // the third letter sounds
    rnd().MenuFigures->trigger();
    EXPECT_EQ(setName(), QStringLiteral(" Figures"));
    wave->completeAll();
    // The letter sounding counts as the first of the new ten.
    EXPECT_TRUE(matches(memo(), "[A-Z]{3}\n[0-9]{5} [0-9]{4}")) << memo();
    EXPECT_EQ(wave->writes.size(), 12u);
    EXPECT_EQ(ui.beeps, 1);
}

TEST_F(RandomModeTest, ALengthShortenedBelowTheGroupUnderWayEndsItWithItsBlank) {
    trigger({"MenuAddV"});
    rnd().SpinEditRandomNumber->setValue(10);
    rnd().BitBtnPlayRandom->click();
    for (int k = 0; k < 3; ++k) wave->completeNext();  // the fourth V sounds
    trigger({"MenuFixedWords3"});
    wave->completeAll();
    EXPECT_TRUE(matches(memo(), "VVVV [^ ]{3} [^ ]{3} ")) << memo();
}

TEST_F(RandomModeTest, AnEmptySetWarnsAndLeavesTheWindowIdle) {
    const std::pair<const char*, Steps> cases[] = {
        {"local", [this](RandomMode&) { trigger({"MenuLocal"}); }},
        {"chosen #", [this](RandomMode&) { choose(QStringLiteral("#")); }},
    };
    for (const auto& c : cases) {
        fresh();
        c.second(rnd());
        rnd().BitBtnPlayRandom->click();
        EXPECT_EQ(ui.warnings, QStringList{QStringLiteral("No morse characters to play !")})
            << c.first;
        EXPECT_TRUE(wave->writes.empty());
        EXPECT_FALSE(rnd().runOn());
        EXPECT_FALSE(form->RadioButtonRandom->isChecked());
        EXPECT_FALSE(rnd().BitBtnPlayRandom->isHidden());
        EXPECT_TRUE(form->ButtonStop->isHidden());
        EXPECT_TRUE(form->Editcaractere->isEnabled());
        EXPECT_TRUE(form->ButtonMsg[0]->isEnabled());
        ui.warnings.clear();
    }
}

TEST_F(RandomModeTest, TheMemoIsClearedSavedAndHiddenOnlyWhenThatMakesSense) {
    rnd().ClearMemoRandom->trigger();
    rnd().SaveMemoRandom1->trigger();
    rnd().BitBtnPlayRandom->click();
    rnd().ClearMemoRandom->trigger();
    rnd().SaveMemoRandom1->trigger();
    EXPECT_EQ(ui.warnings, (QStringList{QStringLiteral("Nothing to clear !"),
                                        QStringLiteral("Nothing to record !"),
                                        QStringLiteral("Stop random before clearing !"),
                                        QStringLiteral("Stop random before recording !")}));
    QTest::mouseClick(form->ButtonStop, Qt::LeftButton);
    wave->completeAll();
    rnd().SpinEditRandomNumber->setValue(5);
    rnd().BitBtnPlayRandom->click();
    wave->completeAll();
    ASSERT_TRUE(matches(memo(), "[^ ]\n[^ ]{5} ")) << memo();  // a new run, a new line

    ui.saveAnswer = QString::fromStdString((folder() / "groups.cwp").string());
    rnd().SaveMemoRandom1->trigger();
    EXPECT_EQ(ui.saveRequests, QStringList{QStringLiteral("Random1.cwp")});
    EXPECT_TRUE(ui.saveFilter.contains(QStringLiteral("*.cwp")));
    EXPECT_EQ(test::readWholeFile(folder() / "groups.cwp"),
              memo().substr(0, 1) + "\r\n" + memo().substr(2) + "\r\n");
    EXPECT_EQ(form->state().currentFileName, ui.saveAnswer.toStdString());
    quick(5);  // clears the memo first
    EXPECT_TRUE(matches(memo(), "[^ ]{5} ")) << memo();

    rnd().ButtonHide->click();
    const QPalette p = rnd().MemoRandom->palette();
    EXPECT_EQ(p.color(QPalette::Text), p.color(QPalette::Base));
    EXPECT_EQ(rnd().ButtonHide->text(), QStringLiteral("Show"));
    rnd().ButtonHide->click();
    EXPECT_NE(rnd().MemoRandom->palette().color(QPalette::Text),
              rnd().MemoRandom->palette().color(QPalette::Base));
    EXPECT_EQ(rnd().ButtonHide->text(), QStringLiteral("Hide"));
    rnd().ClearMemoRandom->trigger();
    EXPECT_EQ(memo(), "");
}

TEST_F(RandomModeTest, TheNoiseButtonActsOnlyDuringARun) {
    rnd().SpeedButtonNoise->click();
    rnd().SpinEditRandomNumber->setValue(5);
    rnd().BitBtnPlayRandom->click();
    wave->completeAll();
    int fillers = 0;
    for (const auto& w : wave->writes) fillers += w.buffer == WaveBuffer::Noise ? 1 : 0;
    EXPECT_EQ(fillers, 5);
    const std::size_t before = wave->writes.size();
    type("e");
    ASSERT_EQ(wave->writes.size(), before + 1);
    EXPECT_EQ(wave->writes.back().values, sound("."));
}

TEST_F(RandomModeTest, TheOptionItemsFollowTheirRulesAndTheSummaryTellsThem) {
    struct Case {
        std::vector<const char*> items;
        bool callsignsEnabled;
        const char* groups;  // the summary's first three parts
        const char* speed;
    };
    const Case cases[] = {
        {{}, false, "5 / No leading Vs / Mixed Characters", "12.0"},
        {{"MenuLettersFigures"}, true, "5 / No leading Vs / Mixed Characters", "12.0"},
        {{"menuCallsigns"}, true, "5 / No leading Vs / Callsigns", "12.0"},
        {{"MenuWordContent"}, true, "5 / No leading Vs / Non-mixed characters", "12.0"},
        {{"MenuFixedWords4"}, false, "4 / No leading Vs / Non-mixed characters", "12.0"},
        {{"MenuRandomWords"}, false, "Random / No leading Vs / Non-mixed characters", "12.0"},
        {{"MenuAddV"}, false, "Random / Leading Vs / Non-mixed characters", "12.0"},
        // The examination preset: 11 wpm, x2, groups of five, non-mixed.
        {{"CheckBoxTonExamen"}, true, "5 / Leading Vs / Non-mixed characters", "10.4"},
        {{"MenuAll"}, false, "5 / Leading Vs / Non-mixed characters", "10.4"},
    };
    int row = 0;
    for (const Case& c : cases) {
        trigger(c.items);
        EXPECT_EQ(rnd().menuCallsigns->isEnabled(), c.callsignsEnabled) << row;
        if (!c.callsignsEnabled) {
            EXPECT_FALSE(rnd().menuCallsigns->isChecked()) << row;
        }
        EXPECT_EQ(rnd().LabelWords->text().toStdString(),
                  std::string("Word length= ") + c.groups +
                      " / Spacing between characters=1 / Real speed (wpm) = " + c.speed)
            << row;
        ++row;
    }
}

TEST_F(RandomModeTest, TheChoicePanelPagesNamesAndRestores) {
    RandomMode& r = rnd();
    r.MenuChoixCaracteresClick();
    EXPECT_FALSE(r.PanelChoixRandom->isHidden());
    EXPECT_TRUE(r.Label3->text().startsWith(QStringLiteral("#01 #02 ")));
    EXPECT_FALSE(r.SpeedButtonChoixMoins->isEnabled());
    r.SpeedButtonChoixPlus->click();
    r.SpeedButtonChoixPlus->click();
    EXPECT_TRUE(r.Label3->text().endsWith(QStringLiteral("#59 #60")));
    EXPECT_FALSE(r.SpeedButtonChoixPlus->isEnabled());
    QTest::keyClick(r.BoxCaracteresChoix, Qt::Key_Return);  // " ": only a beep
    EXPECT_EQ(ui.beeps, 1);
    EXPECT_FALSE(r.PanelChoixRandom->isHidden());
    QTest::keyClicks(r.BoxCaracteresChoix, QStringLiteral("QRS"));
    QTest::keyClick(r.BoxCaracteresChoix, Qt::Key_Escape);
    EXPECT_TRUE(r.PanelChoixRandom->isHidden());
    EXPECT_EQ(r.BoxCaracteresChoix->text(), QStringLiteral(" "));
    EXPECT_TRUE(r.Label3->text().startsWith(QStringLiteral("#01 ")));

    r.ButtonChangeLesson->click();
    QTest::mouseClick(
        r.BoxCaracteresChoixList->viewport(), Qt::LeftButton, {},
        r.BoxCaracteresChoixList->visualItemRect(r.BoxCaracteresChoixList->item(2)).center());
    r.ButtonChoixCaractereOK->click();
    EXPECT_EQ(setName(), QStringLiteral(" Lesson #3"));
    EXPECT_EQ(r.currentSet().first, ChosenCharacterSlot);
    EXPECT_EQ(r.currentSet().count, 10);  // "endx0tawp1"
    EXPECT_TRUE(r.MenuChoixCaracteres->isChecked());
    EXPECT_FALSE(r.MenuAll->isChecked());

    choose(QStringLiteral("AAb?#"));
    EXPECT_EQ(r.BoxCaracteresChoix->text(), QStringLiteral("aab?#"));
    EXPECT_EQ(setName(), QStringLiteral(" Chosen characters"));
    EXPECT_EQ(r.currentSet().count, 4);
}

TEST_F(RandomModeTest, TheLessonEditorRewritesLessonsAndTheSetTakenFromOne) {
    LessonPanel& l = lessons();
    RandomMode& r = rnd();
    l.MenuLocallesson->trigger();
    EXPECT_FALSE(l.PanelLocalLesson->isHidden());
    l.ButtonLocalLessonEnter->click();  // no lesson chosen: only a beep
    EXPECT_EQ(ui.beeps, 1);
    struct Number {
        const char* typed;
        int beeps;
        int lesson;
        const char* field;
    };
    const Number numbers[] = {
        {"7", 0, 7, "endx0tawp1mgzq2iuvh3"},
        {"x", 1, 0, ""},
        {"61", 1, 0, ""},
        {"0", 1, 0, ""},
        {"21", 0, 21, ""},  // an empty lesson
        {"", 0, 0, ""},
    };
    for (const Number& n : numbers) {
        ui.beeps = 0;
        l.EditCaractereLesson->setText(QStringLiteral("stale"));
        l.EditNumeroLesson->setText(QString::fromLatin1(n.typed));
        EXPECT_EQ(ui.beeps, n.beeps) << n.typed;
        EXPECT_EQ(l.lessonNumber(), n.lesson) << n.typed;
        EXPECT_EQ(l.EditCaractereLesson->text(), QString::fromLatin1(n.field)) << n.typed;
    }
    l.EditNumeroLesson->setText(QStringLiteral("25"));
    QTest::keyClicks(l.EditCaractereLesson, QStringLiteral("a b  C "));
    EXPECT_EQ(l.EditCaractereLesson->text(), QStringLiteral("abc"));
    QTest::keyClick(l.EditCaractereLesson, Qt::Key_Return);
    l.EditNumeroLesson->setText(QStringLiteral("3"));
    l.EditCaractereLesson->setText(QStringLiteral(" "));
    l.ButtonLocalLessonEnter->click();
    EXPECT_EQ(r.lessons()[24], "abc");
    EXPECT_EQ(r.lessons()[2], " ");
    EXPECT_EQ(r.BoxCaracteresChoixList->item(4)->text(), QStringLiteral("iuvh3"));  // page 1
    r.SpeedButtonChoixPlusClick();
    EXPECT_EQ(r.BoxCaracteresChoixList->item(4)->text(), QStringLiteral("abc"));

    // A set taken from a lesson follows it; a set of another kind stays.
    l.ButtonLocalLessonExit->click();
    choose(QStringLiteral("abc"));
    EXPECT_EQ(setName(), QStringLiteral(" Lesson #25"));
    l.MenuLocallesson->trigger();
    l.EditNumeroLesson->setText(QStringLiteral("25"));
    l.EditCaractereLesson->setText(QStringLiteral("xy"));
    l.ButtonLocalLessonEnter->click();
    EXPECT_EQ(r.currentSet().count, 2);
    EXPECT_EQ(setName(), QStringLiteral(" Lesson #25"));
    r.MenuLetters->trigger();
    l.EditCaractereLesson->setText(QStringLiteral("xyz"));
    l.ButtonLocalLessonEnter->click();
    EXPECT_TRUE(r.MenuLetters->isChecked());
    EXPECT_EQ(r.currentSet().count, 26);
}

TEST_F(RandomModeTest, SettingsComeBackThroughARealKeybirdDat) {
    std::string dat = defaultsWith({{"RANDOM_COUNT=", "35"},
                                    {"WORDS=", "3"},
                                    {"MIXED=", "ON"},
                                    {"VVVVV=", "ON"},
                                    {"RANDOM=", "2"},
                                    {"PAGE=", "2"}});
    dat.insert(dat.find('\x02'),
               "\x01"
               "endx0\r\n");
    dat += "kmq\r\n";
    fresh(dat);
    RandomMode& r = rnd();
    EXPECT_EQ(r.SpinEditRandomNumber->value(), 35);
    EXPECT_TRUE(r.MenuFixedWords[1]->isChecked());
    EXPECT_TRUE(r.MenuWordContent->isChecked());
    EXPECT_TRUE(r.MenuAddV->isChecked());
    EXPECT_TRUE(r.MenuFigures->isChecked());
    EXPECT_EQ(r.currentSet().count, 10);
    EXPECT_EQ(r.BoxCaracteresChoixList->item(0)->text(), QStringLiteral("kmq"));
    EXPECT_TRUE(r.Label3->text().startsWith(QStringLiteral("#21")));
    form->shell().FormClose();
    EXPECT_EQ(readSettings(), dat);

    // An emptied lesson is not written: the later ones move up a place when read back.
    // A page beyond 3 shows page 3 and says so.
    testing::internal::CaptureStderr();
    fresh(defaultsWith({{"PAGE=", "7"}}));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("PAGE=7"), std::string::npos);
    EXPECT_EQ(rnd().lessonPage(), 3);
    lessons().MenuLocallesson->trigger();
    lessons().EditNumeroLesson->setText(QStringLiteral("3"));
    lessons().EditCaractereLesson->clear();
    lessons().ButtonLocalLessonEnter->click();
    form->shell().FormClose();
    fresh("", true);
    EXPECT_EQ(rnd().lessons()[2], "mgzq2");
    EXPECT_EQ(rnd().lessons()[18], rnd().lessons()[19]);
}

TEST_F(RandomModeTest, EscapeInTheMemoClosesThePanelElseStops) {
    RandomMode& r = rnd();
    r.MenuChoixCaracteresClick();
    QTest::keyClick(r.MemoRandom, Qt::Key_Escape);
    EXPECT_TRUE(r.PanelChoixRandom->isHidden());
    r.BitBtnPlayRandom->click();
    QTest::mouseClick(r.MemoRandom->viewport(), Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(r.MemoRandom->textCursor().position(),
              static_cast<int>(r.MemoRandom->toPlainText().size()));
    QTest::keyClick(r.MemoRandom, Qt::Key_Escape);
    wave->completeAll();
    EXPECT_EQ(wave->writes.size(), 1u);
    EXPECT_FALSE(r.runOn());
    EXPECT_EQ(ui.beeps, 0);
    EXPECT_FALSE(r.BitBtnPlayRandom->isHidden());
}

}  // namespace
}  // namespace kb

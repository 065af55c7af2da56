// The reference lists through the window: the alphabet rows, what a click on a row
// plays, the mode buttons while a Q code or an abbreviation plays, the keys, the pages
// of the alphabet list and the rows of every language.

#include <gtest/gtest.h>
#include <QAction>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <span>

#include "core/cp1252.h"
#include "modes/quiz_mode.h"
#include "modes/random_mode.h"
#include "modes/reference_lists.h"
#include "support/window_harness.h"
#include "ui/reference_texts.h"

namespace kb {
namespace {

class ReferenceListsTest : public test::WindowTest {
protected:
    void SetUp() override {
        test::WindowOptions o;
        o.show = true;
        create(o);
    }
    ReferenceLists& lists() { return form->referenceLists(); }
    QListWidget* list(const char* name) { return form->findChild<QListWidget*>(name); }
    void click(QListWidget* l, int row, Qt::MouseButton button = Qt::LeftButton) {
        l->scrollToItem(l->item(row));
        QTest::mouseClick(l->viewport(), button, {}, l->visualItemRect(l->item(row)).center());
    }
    // Loads a file through the open dialog.
    void open(const char* bytes) {
        std::ofstream(folder() / "t.txt", std::ios::binary) << bytes;
        ui.openAnswer = QString::fromStdString((folder() / "t.txt").string());
        form->RadioButtonFile->click();
    }
    // The names of those of `names` that are hidden (`hidden`) or disabled.
    QString which(std::initializer_list<const char*> names, bool hidden) {
        QStringList out;
        for (const char* n : names) {
            auto* w = form->findChild<QWidget*>(n);
            if (hidden ? w->isHidden() : !w->isEnabled()) out << n;
        }
        return out.join(' ');
    }
};

TEST_F(ReferenceListsTest, AlphabetRowsHoldTheCodeAndItsRhythm) {
    const int at[] = {2, 6, 33, 48, 64, 68};
    const char* rows[] = {" A  .-    Di dah",
                          " E  .     Dit",
                          " 0  ----- Dah dah dah dah dah",
                          " ?  ..--.. Di di dah dah di dit",
                          " kn -.--.  Dah di dah dah dit",
                          " hh ........ Di di di di di di di dit"};
    for (int k = 0; k < 6; ++k) EXPECT_EQ(lists().alphabetRow(at[k]), rows[k]) << at[k];
    EXPECT_EQ(lists().alphabetRow(67), "           (=Wait)");
    EXPECT_EQ(list("ListCodeQ")->item(12)->text(), "QRS = to Send more slowly");
}

TEST_F(ReferenceListsTest, AClickPlaysTheRowsItemOnlyWithTheLeftButton) {
    lists().setAlphabetRow(128, QStringLiteral(" * = CQ"));  // as the shortcut editor writes
    const auto Q = sound("--.-"), C = sound("-.-."), blank = sound("");
    const struct {
        QRadioButton* mode;
        const char* list;
        int row;
        Qt::MouseButton button;
        std::vector<std::int16_t> heard;
        bool enter = false;  // then Enter in the typed-text box
    } cases[] = {
        {form->RadioButtonAlphabet, "ListAlphabet", 0, Qt::LeftButton, {}},    // heading
        {form->RadioButtonAlphabet, "ListAlphabet", 1, Qt::LeftButton, {}},    // underline
        {form->RadioButtonAlphabet, "ListAlphabet", 67, Qt::LeftButton, {}},   // (=Wait)
        {form->RadioButtonAlphabet, "ListAlphabet", 28, Qt::LeftButton, {}},   // empty
        {form->RadioButtonAlphabet, "ListAlphabet", 129, Qt::LeftButton, {}},  // filler
        {form->RadioButtonAlphabet, "ListAlphabet", 6, Qt::RightButton, {}},
        {form->RadioButtonAlphabet, "ListAlphabet", 6, Qt::LeftButton, sound(".")},
        // A right click leaves E selected.
        {form->RadioButtonAlphabet, "ListAlphabet", 2, Qt::RightButton, sound("."), true},
        {form->RadioButtonAlphabet, "ListAlphabet", 64, Qt::LeftButton, sound("-.--.")},
        {form->RadioButtonAlphabet, "ListAlphabet", 128, Qt::LeftButton, join({C, Q})},
        {form->RadioButtonCodeQ, "ListCodeQ", 12, Qt::LeftButton,
         join({Q, sound(".-."), sound("..."), blank})},
        {form->RadioButtonAbrev, "ListAbreviations", 10, Qt::LeftButton, join({C, Q, blank})},
        {form->RadioButtonAbrev, "ListAbreviations", 54, Qt::LeftButton, {}},  // separator
        {form->RadioButtonAbrev, "ListAbreviations", 2, Qt::LeftButton, {}},   // a title
    };
    for (const auto& c : cases) {
        wave->writes.clear();
        c.mode->click();
        click(list(c.list), c.row, c.button);
        if (c.enter) QTest::keyClick(form->Editcaractere, Qt::Key_Return);
        wave->completeAll();
        EXPECT_EQ(heard(), c.heard) << c.list << " row " << c.row;
    }
}

TEST_F(ReferenceListsTest, ThreeQuickClicksPlayInClickOrder) {
    for (int row : {2, 64, 38}) click(lists().ListAlphabet, row);
    wave->completeAll();
    EXPECT_EQ(heard(), join({sound(".-"), sound("-.--."), sound(".....")}));
}

TEST_F(ReferenceListsTest, QCodesAndAbbreviationsHoldTheModeButtonsUntilTheEnd) {
    open("EE");
    type("E");  // Replay and Play are offered before each click
    wave->completeAll();
    const auto held = {"RadioButtonAlphabet", "RadioButtonCodeQ", "RadioButtonAbrev",
                       "RadioButtonRandom",   "RadioButtonFile",  "RadioButtonQuiz",
                       "RadioButtonMonitor",  "ButtonReplayText", "ButtonPlayFile",
                       "ButtonContinueFile"};
    const struct {
        QRadioButton* mode;
        QListWidget* shown;
        const char* disabled;
    } modes[] = {
        {form->RadioButtonAlphabet, lists().ListAlphabet, "ButtonContinueFile"},
        {form->RadioButtonCodeQ, lists().ListCodeQ,
         "RadioButtonAlphabet RadioButtonAbrev RadioButtonRandom RadioButtonFile RadioButtonQuiz "
         "RadioButtonMonitor ButtonReplayText ButtonPlayFile ButtonContinueFile"},
        {form->RadioButtonAbrev, lists().ListAbreviations,
         "RadioButtonAlphabet RadioButtonCodeQ RadioButtonRandom RadioButtonFile RadioButtonQuiz "
         "RadioButtonMonitor ButtonReplayText ButtonPlayFile ButtonContinueFile"}};
    for (const auto& m : modes) {
        m.mode->click();
        click(m.shown, 4);
        EXPECT_EQ(which(held, false), m.disabled) << m.shown->objectName().toStdString();
        wave->completeAll();
        EXPECT_EQ(which(held, false), "ButtonContinueFile");
    }
}

TEST_F(ReferenceListsTest, AListButtonShowsOnlyItsListAndLeavesTheOtherModes) {
    const auto views = {"ListAlphabetPage", "ListCodeQ",    "ListAbreviations", "GroupBoxRandom",
                        "PanelFile",        "QuizGroupBox", "GroupBoxMonitor"};
    const auto fileButtons = {"ButtonPlayFile", "ButtonContinueFile"};
    const char *play = "ButtonPlayFile", *resume = "ButtonContinueFile",
               *both = "ButtonPlayFile ButtonContinueFile";
    const struct {
        std::string from;
        const char* mode;  // the list button
        const char* view;
        const char *hidden, *disabled;  // of the two file buttons
    } cases[] = {{"quiz", "RadioButtonCodeQ", "ListCodeQ", resume, both},
                 {"loaded", "RadioButtonAlphabet", "ListAlphabetPage", resume, resume},
                 {"resume", "RadioButtonAbrev", "ListAbreviations", play, play},
                 {"random", "RadioButtonAlphabet", "ListAlphabetPage", resume, both},
                 {"monitor", "RadioButtonAbrev", "ListAbreviations", resume, both}};
    test::WindowOptions o;
    o.show = true;
    for (const auto& c : cases) {
        create(o);
        if (c.from == "quiz") form->RadioButtonQuiz->click();
        // Its timer as in a quiz (whose own run holds the mode buttons).
        if (c.from == "quiz") form->quiz().TimerQuiz->start();
        if (c.from == "loaded" || c.from == "resume") open("EEE");
        if (c.from == "resume") form->ButtonPlayFile->click(), form->ButtonStop->click();
        if (c.from == "random") form->RadioButtonRandom->click();
        if (c.from == "monitor") form->RadioButtonMonitor->click();
        wave->completeAll();
        EXPECT_EQ(form->randomMode().MenuQuickRandom->isEnabled(), c.from == "random");
        form->findChild<QRadioButton*>(c.mode)->click();
        EXPECT_EQ(which(views, true).split(' ').size(), 6) << c.from;
        EXPECT_FALSE(form->findChild<QWidget*>(c.view)->isHidden()) << c.from;
        EXPECT_FALSE(form->quiz().TimerQuiz->isActive()) << c.from;
        EXPECT_FALSE(form->randomMode().MenuQuickRandom->isEnabled()) << c.from;
        EXPECT_EQ(which(fileButtons, true), c.hidden) << c.from;
        EXPECT_EQ(which(fileButtons, false), c.disabled) << c.from;
        EXPECT_EQ(QApplication::focusWidget(), form->Editcaractere) << c.from;
    }
}

TEST_F(ReferenceListsTest, KeysPlayOrMoveTheSelectionOfTheListShown) {
    form->RadioButtonCodeQ->click();
    list("ListCodeQ")->clearSelection();
    QTest::keyClick(list("ListCodeQ"), Qt::Key_Return);  // nothing selected: nothing
    QTest::keyClick(form->Editcaractere, Qt::Key_Down);  // selects row 0
    QTest::keyClick(form->Editcaractere, Qt::Key_Up);    // stays on row 0
    QTest::keyClick(form->Editcaractere, Qt::Key_Down);
    EXPECT_EQ(list("ListCodeQ")->currentRow(), 1);
    QTest::keyClick(form->Editcaractere, Qt::Key_Return);
    wave->completeAll();
    EXPECT_EQ(heard(), join({sound("--.-"), sound(".-."), sound("-..."), sound("")}));  // "QRB "
}

TEST_F(ReferenceListsTest, TheAlphabetListShowsOnePageOf31RowsAtATime) {
    QListWidget* l = lists().ListAlphabet;
    const int x0 = l->visualItemRect(l->item(0)).x();
    EXPECT_EQ(l->visualItemRect(l->item(30)).x(), x0);
    for (int page = 1; page < 5; ++page) {
        l->setCurrentRow(0);
        for (int k = 0; k < page * AlphabetPageRows; ++k) lists().moveSelection(1);
        EXPECT_EQ(l->horizontalScrollBar()->value(), page);
        EXPECT_EQ(l->visualItemRect(l->item(page * AlphabetPageRows)).x(), x0) << page;
    }
}

TEST_F(ReferenceListsTest, EveryLanguageHasTheSameKeysInTheSameRows) {
    const ReferenceTexts& en = referenceTexts(Language::English);
    auto key = [](const char* row, const char* sep) {
        const std::string s = row;
        return s.substr(0, s.find(sep));
    };
    for (Language lang : {Language::French, Language::German, Language::Italian, Language::Spanish,
                          Language::Portuguese}) {
        const ReferenceTexts& t = referenceTexts(lang);
        for (int i = 0; i < QCodeCount; ++i)
            EXPECT_EQ(key(t.QCodeTexts[i], " = "), key(en.QCodeTexts[i], " = "));
        for (int i = 4; i < AbbreviationCount; ++i) {
            if (i == 55 || i == 56) continue;  // the French section's title and rule
            EXPECT_EQ(key(t.AbbreviationTexts[i], " :"), key(en.AbbreviationTexts[i], " :"));
        }
        EXPECT_STREQ(t.AbbreviationTexts[54], " ");
        for (const auto& table : {std::span<const char* const>(t.ListingHeadings),
                                  std::span<const char* const>(t.QCodeTexts),
                                  std::span<const char* const>(t.AbbreviationTexts)}) {
            for (const char* s : table) EXPECT_EQ(utf8ToCp1252(s).find('\x81'), std::string::npos);
        }
        lists().writeLanguageRows(lang);
        EXPECT_EQ(list("ListAbreviations")->item(63)->text(), t.AbbreviationTexts[63]);
    }
    EXPECT_EQ(lists().alphabetRow(126).indexOf(u'v'), 6);  // the Portuguese pointer row
    EXPECT_EQ(list("ListCodeQ")->currentRow(), 0);         // selections stay
}

}  // namespace
}  // namespace kb

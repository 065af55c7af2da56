// The reference lists through the window: the alphabet rows, what a click on a row
// plays, the mode buttons while a Q code or an abbreviation plays, the keys, the pages
// of the alphabet list and the rows of every language.

#include <gtest/gtest.h>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>

#include "core/cp1252.h"
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
    } cases[] = {
        {form->RadioButtonAlphabet, "ListAlphabet", 0, Qt::LeftButton, {}},    // heading
        {form->RadioButtonAlphabet, "ListAlphabet", 1, Qt::LeftButton, {}},    // underline
        {form->RadioButtonAlphabet, "ListAlphabet", 67, Qt::LeftButton, {}},   // (=Wait)
        {form->RadioButtonAlphabet, "ListAlphabet", 28, Qt::LeftButton, {}},   // empty
        {form->RadioButtonAlphabet, "ListAlphabet", 129, Qt::LeftButton, {}},  // filler
        {form->RadioButtonAlphabet, "ListAlphabet", 6, Qt::RightButton, {}},
        {form->RadioButtonAlphabet, "ListAlphabet", 6, Qt::LeftButton, sound(".")},
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
    const std::pair<QRadioButton*, QListWidget*> modes[] = {
        {form->RadioButtonAlphabet, lists().ListAlphabet},
        {form->RadioButtonCodeQ, lists().ListCodeQ},
        {form->RadioButtonAbrev, lists().ListAbreviations}};
    for (const auto& [mode, shown] : modes) {
        mode->click();
        click(shown, 4);
        const bool held = mode != form->RadioButtonAlphabet;
        EXPECT_EQ(form->RadioButtonFile->isEnabled(), !held);
        wave->completeAll();
        EXPECT_TRUE(form->RadioButtonFile->isEnabled() && form->RadioButtonAlphabet->isEnabled());
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
        for (const char* s : t.ListingHeadings)
            EXPECT_EQ(utf8ToCp1252(s).find('\x81'), std::string::npos);
        lists().writeLanguageRows(lang);
        EXPECT_EQ(list("ListAbreviations")->item(63)->text(), t.AbbreviationTexts[63]);
    }
    EXPECT_EQ(lists().alphabetRow(126).indexOf(u'v'), 6);  // the Portuguese pointer row
    EXPECT_EQ(list("ListCodeQ")->currentRow(), 0);         // selections stay
}

}  // namespace
}  // namespace kb

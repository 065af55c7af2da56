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
    void click(const char* name, int row, Qt::MouseButton button = Qt::LeftButton) {
        QListWidget* l = list(name);
        l->scrollToItem(l->item(row));
        QTest::mouseClick(l->viewport(), button, {}, l->visualItemRect(l->item(row)).center());
    }
    std::vector<std::int16_t> sounds(std::initializer_list<const char*> codes) {
        std::vector<std::int16_t> all;
        for (const char* c : codes) {
            const auto s = sound(c);
            all.insert(all.end(), s.begin(), s.end());
        }
        return all;
    }
};

TEST_F(ReferenceListsTest, AlphabetRowsHoldTheCodeAndItsRhythmBesideTheLanguageRows) {
    const std::pair<int, const char*> rows[] = {
        {2, " A  .-    Di dah"},   {6, " E  .     Dit"},
        {33, " 0  ----- Dah dah dah dah dah"},  {48, " ?  ..--.. Di di dah dah di dit"},
        {64, " kn -.--.  Dah di dah dah dit"},  {68, " hh ........ Di di di di di di di dit"},
        {0, "       LETTERS"},      {67, "           (=Wait)"},
        {45, " "},                  {97, ""},  {153, " "}};
    for (const auto& [row, text] : rows) EXPECT_EQ(lists().alphabetRow(row), text) << row;
}

TEST_F(ReferenceListsTest, AClickPlaysTheRowsItemOnlyWithTheLeftButton) {
    lists().setAlphabetRow(128, QStringLiteral(" * = CQ"));  // as the shortcut editor writes
    const struct {
        const char* radio;
        const char* list;
        int row;
        Qt::MouseButton button;
        std::vector<std::int16_t> heard;
    } cases[] = {
        {"RadioButtonAlphabet", "ListAlphabet", 0, Qt::LeftButton, {}},    // heading
        {"RadioButtonAlphabet", "ListAlphabet", 1, Qt::LeftButton, {}},    // underline
        {"RadioButtonAlphabet", "ListAlphabet", 67, Qt::LeftButton, {}},   // (=Wait)
        {"RadioButtonAlphabet", "ListAlphabet", 28, Qt::LeftButton, {}},   // empty
        {"RadioButtonAlphabet", "ListAlphabet", 129, Qt::LeftButton, {}},  // filler
        {"RadioButtonAlphabet", "ListAlphabet", 6, Qt::RightButton, {}},
        {"RadioButtonAlphabet", "ListAlphabet", 6, Qt::LeftButton, sounds({"."})},
        {"RadioButtonAlphabet", "ListAlphabet", 64, Qt::LeftButton, sounds({"-.--."})},
        {"RadioButtonAlphabet", "ListAlphabet", 128, Qt::LeftButton, sounds({"-.-.", "--.-"})},
        {"RadioButtonCodeQ", "ListCodeQ", 12, Qt::LeftButton, sounds({"--.-", ".-.", "...", ""})},
        {"RadioButtonCodeQ", "ListCodeQ", 12, Qt::MiddleButton, {}},
        {"RadioButtonAbrev", "ListAbreviations", 10, Qt::LeftButton, sounds({"-.-.", "--.-", ""})},
        {"RadioButtonAbrev", "ListAbreviations", 54, Qt::LeftButton, {}},  // the separator
        {"RadioButtonAbrev", "ListAbreviations", 2, Qt::LeftButton, {}},   // a title
    };
    for (const auto& c : cases) {
        wave->writes.clear();
        form->findChild<QRadioButton*>(c.radio)->click();
        click(c.list, c.row, c.button);
        wave->completeAll();
        EXPECT_EQ(heard(), c.heard) << c.list << " row " << c.row;
        EXPECT_TRUE(pending().empty());
    }
}

TEST_F(ReferenceListsTest, ThreeQuickClicksPlayInClickOrder) {
    for (int row : {2, 64, 38}) click("ListAlphabet", row);
    wave->completeAll();
    EXPECT_EQ(heard(), sounds({".-", "-.--.", "....."}));
}

TEST_F(ReferenceListsTest, QCodesAndAbbreviationsHoldTheModeButtonsUntilTheEnd) {
    const struct {
        const char* radio;
        const char* list;
        int row;
        bool held;
    } cases[] = {{"RadioButtonAlphabet", "ListAlphabet", 2, false},
                 {"RadioButtonCodeQ", "ListCodeQ", 0, true},
                 {"RadioButtonAbrev", "ListAbreviations", 4, true}};
    for (const auto& c : cases) {
        form->findChild<QRadioButton*>(c.radio)->click();
        click(c.list, c.row);
        EXPECT_EQ(form->RadioButtonFile->isEnabled(), !c.held) << c.list;
        EXPECT_EQ(form->RadioButtonQuiz->isEnabled(), !c.held) << c.list;
        EXPECT_FALSE(form->ButtonPlayFile->isEnabled() && c.held);
        wave->completeAll();
        EXPECT_TRUE(form->RadioButtonFile->isEnabled() && form->RadioButtonAlphabet->isEnabled());
    }
}

TEST_F(ReferenceListsTest, KeysPlayOrMoveTheSelectionOfTheListShown) {
    form->RadioButtonCodeQ->click();
    EXPECT_TRUE(list("ListAlphabet")->isHidden());
    EXPECT_EQ(list("ListAlphabet")->currentRow(), 0);  // kept while hidden
    list("ListCodeQ")->clearSelection();
    QTest::keyClick(list("ListCodeQ"), Qt::Key_Return);  // nothing selected: nothing
    QTest::keyClick(form->Editcaractere, Qt::Key_Down);  // selects row 0
    QTest::keyClick(form->Editcaractere, Qt::Key_Up);    // stays on row 0
    QTest::keyClick(form->Editcaractere, Qt::Key_Down);
    EXPECT_EQ(list("ListCodeQ")->currentRow(), 1);
    QTest::keyClick(form->Editcaractere, Qt::Key_Return);
    wave->completeAll();
    EXPECT_EQ(heard(), sounds({"--.-", ".-.", "-...", ""}));  // "QRB "
}

TEST_F(ReferenceListsTest, TheAlphabetListShowsOnePageOf31RowsAtATime) {
    QListWidget* l = list("ListAlphabet");
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
        return s.find(sep) == std::string::npos ? std::string("-") : s.substr(0, s.find(sep));
    };
    for (Language lang : {Language::French, Language::German, Language::Italian,
                          Language::Portuguese, Language::Spanish}) {
        const ReferenceTexts& t = referenceTexts(lang);
        for (int i = 0; i < QCodeCount; ++i) EXPECT_EQ(key(t.QCodeTexts[i], " = "), key(en.QCodeTexts[i], " = "));
        for (int i = 4; i < AbbreviationCount; ++i) {
            EXPECT_EQ(key(t.AbbreviationTexts[i], " :"), key(en.AbbreviationTexts[i], " :")) << i;
        }
        EXPECT_STREQ(t.AbbreviationTexts[54], " ");
        for (const char* s : t.ListingHeadings) {
            EXPECT_EQ(utf8ToCp1252(s).find(char(NoCp1252Byte)), std::string::npos) << s;
        }
        lists().writeLanguageRows(lang);
        EXPECT_EQ(lists().alphabetRow(95), QString::fromUtf8(t.ListingHeadings[18]));
        EXPECT_EQ(list("ListAbreviations")->item(63)->text(), QString::fromUtf8(t.AbbreviationTexts[63]));
    }
    EXPECT_EQ(QString::fromUtf8(referenceTexts(Language::Portuguese).ListingHeadings[22]).indexOf(u'v'), 6);
}

}  // namespace
}  // namespace kb

// The local-character and shortcut editors through the window: what each typed character
// is refused for, the Morse table and the alphabet-list rows they write, the packed local
// entries and the fixed shortcut slots, keybird.dat, and the key they share with Delayed
// Play.

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "app/app_shell.h"
#include "core/cp1252.h"
#include "modes/quiz_mode.h"
#include "modes/random_mode.h"
#include "modes/reference_lists.h"
#include "support/window_harness.h"

namespace kb {
namespace {

class StationTablesTest : public test::WindowTest {
protected:
    void SetUp() override { open(); }
    void open(bool useSettingsFile = false) {
        test::WindowOptions o;
        o.show = true;
        o.useSettingsFile = useSettingsFile;
        create(o);
    }
    template <typename T>
    T* w(const char* name) {
        T* p = form->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(p, nullptr) << name;
        return p;
    }
    QLineEdit* edit(const char* name) { return w<QLineEdit>(name); }
    bool checked(const char* name) { return w<QAbstractButton>(name)->isChecked(); }
    QString row(int r) { return form->referenceLists().alphabetRow(r); }
    unsigned char byte(const char* utf8) {
        return static_cast<unsigned char>(utf8ToCp1252(utf8).front());
    }
    // Typed key by key, also what the test keyboard has no key code for.
    static void keys(QWidget* target, const char* utf8) {
        for (QChar ch : QString::fromUtf8(utf8)) {
            const char16_t upper = ch.toUpper().unicode();
            const auto key =
                static_cast<Qt::Key>(upper < 0x100 ? int{upper} : int{Qt::Key_unknown});
            QTest::sendKeyEvent(QTest::Click, target, key, QString(ch), Qt::NoModifier);
        }
    }
    // One entry through an editor: its menu (which leaves an open editor as it is), the
    // character typed afresh, the texts, an action (else the one the typed character
    // leaves checked) and Enter.
    void local(const char* c, const char* code, const char* comment = "",
               const char* action = nullptr) {
        w<QAction>("MenuLocalCharacters")->trigger();
        edit("EditLocalCharacter")->clear();
        edit("EditLocalCharacter")->setText(QString::fromUtf8(c));
        if (*code) edit("EditLocalCode")->setText(QString::fromUtf8(code));
        if (*comment) edit("EditLocalComment")->setText(QString::fromUtf8(comment));
        if (action) w<QAbstractButton>(action)->click();
        w<QAbstractButton>("ButtonLocalCaractereEnter")->click();
    }
    void shortcut(const char* key, const char* text, const char* action = nullptr) {
        w<QAction>("MenuLocalShortcuts")->trigger();
        edit("EditShortcut")->clear();
        edit("EditShortcut")->setText(QString::fromUtf8(key));
        if (*text) edit("EditShortcutText")->setText(QString::fromUtf8(text));
        if (action) w<QAbstractButton>(action)->click();
        w<QAbstractButton>("ButtonShortcutEnter")->click();
    }
};

TEST_F(StationTablesTest, TypedCharactersAreRefusedWithABeepOrOfferCreate) {
    local("é", "..-..");
    shortcut("#", "es");
    struct Case {
        const char* edit;
        const char* typed;  // UTF-8, typed key by key
        const char* shown;  // the first text the edit held
        bool refused;
    };
    const Case cases[] = {
        {"EditLocalCharacter", "A", "a", true},  // lower-cased, then standard
        {"EditLocalCharacter", " ", " ", true},
        {"EditLocalCharacter", "@", "@", true},
        {"EditLocalCharacter", "7", "7", true},
        {"EditLocalCharacter", "#", "#", true},  // a shortcut key
        {"EditLocalCharacter", "\t", "\t", true},
        {"EditLocalCharacter", "ł", "ł", true},  // outside Windows-1252
        {"EditLocalCharacter", "Ñ", "ñ", false},
        {"EditShortcut", "é", "é", true},  // a local character
        {"EditShortcut", "q", "q", true},
        {"EditShortcut", "@", "@", true},
        {"EditShortcut", "!", "!", true},  // has a code of its own: never replaced
        {"EditShortcut", " ", " ", true},
        {"EditShortcut", "%", "%", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.edit) + " " + c.typed);
        const bool isLocal = std::string(c.edit) == "EditLocalCharacter";
        w<QAction>(isLocal ? "MenuLocalCharacters" : "MenuLocalShortcuts")->trigger();
        QLineEdit* e = edit(c.edit);
        QSignalSpy spy(e, &QLineEdit::textChanged);
        const int beeps = ui.beeps;
        if (std::string(c.typed) == "\t") {
            e->insert(QStringLiteral("\t"));  // pasted: the Tab key moves the focus
        } else {
            keys(e, c.typed);
        }
        QStringList held;
        for (const QList<QVariant>& args : spy) held << args.front().toString();
        EXPECT_TRUE(held.contains(QString::fromUtf8(c.shown))) << held.join('|').toStdString();
        EXPECT_EQ(ui.beeps - beeps, c.refused ? 1 : 0);
        EXPECT_EQ(e->text().isEmpty(), c.refused);
        EXPECT_EQ(checked(isLocal ? "RadioButtonLocalCreate" : "RadioButtonShortcutCreate"),
                  !c.refused);
    }
    // Several characters pasted into a one-character edit: the first is taken.
    w<QAction>("MenuLocalCharacters")->trigger();
    edit("EditLocalCharacter")->setText(QStringLiteral("ñx"));
    EXPECT_EQ(edit("EditLocalCharacter")->text(), QStringLiteral("ñ"));
}

TEST_F(StationTablesTest, ALocalCharacterPlaysInBothCasesAndModifyActsOnTheNewEntry) {
    local("é", "..-..", "comment");
    EXPECT_EQ(row(97), QStringLiteral(" é  ..-..  comment"));
    EXPECT_EQ(form->characters().entries[44], byte("é"));
    EXPECT_EQ(form->randomMode().currentSet().count, 45);  // All
    // After Create, Modify is checked and acts on the entry just made.
    EXPECT_TRUE(checked("RadioButtonLocalModify"));
    edit("EditLocalCode")->setText(QStringLiteral("x..-..y"));  // only dots and dashes kept
    edit("EditLocalComment")->setText(QStringLiteral("accent"));
    w<QAbstractButton>("ButtonLocalCaractereEnter")->click();
    EXPECT_EQ(row(97), QStringLiteral(" é  ..-..  accent"));
    EXPECT_EQ(row(98), QString());
    w<QAbstractButton>("ButtonLocalCaractereExit")->click();
    keys(form->Editcaractere, "éÉ");
    wave->completeAll();
    EXPECT_EQ(heard(), join({sound("..-.."), sound("..-..")}));
}

TEST_F(StationTablesTest, DeletingALocalCharacterPacksTheRestAndShrinksTheRandomRange) {
    struct Case {
        const char* setItem;
        int before;
    };
    for (const Case& c : {Case{"MenuAll", 49}, Case{"MenuLocal", 5}}) {
        SCOPED_TRACE(c.setItem);
        open();
        w<QAction>(c.setItem)->trigger();
        for (const char* ch : {"é", "è", "à", "ç", "!"}) local(ch, ".-.-");
        EXPECT_EQ(form->randomMode().currentSet().count, c.before);
        EXPECT_EQ(form->morse()['!'], ".-.-");
        local("à", "", "", "RadioButtonLocalDelete");
        local("!", "", "", "RadioButtonLocalDelete");
        EXPECT_EQ(form->characters().localCount, 3);
        EXPECT_EQ(form->randomMode().currentSet().count, c.before - 2);
        EXPECT_EQ(row(97), QStringLiteral(" é  .-.-  "));
        EXPECT_EQ(row(98), QStringLiteral(" è  .-.-  "));
        EXPECT_EQ(row(99), QStringLiteral(" ç  .-.-  "));
        EXPECT_EQ(row(100), QString());
        EXPECT_EQ(form->characters().entries[46], byte("ç"));
        EXPECT_EQ(form->characters().entries[47], 0);
        EXPECT_FALSE(form->morse().hasCode(byte("À")));
        EXPECT_EQ(form->morse()['!'], ".-...");  // its own code comes back
    }
    // A full page: the 26th Create says so, a 27th beeps, a Delete takes the warning away.
    open();
    for (unsigned char c = 0xe0; c < 0xfb; ++c) {
        if (c != 0xf7) local(cp1252ToUtf8(std::string(1, static_cast<char>(c))).c_str(), ".-");
    }
    auto* full = w<QLabel>("LabelLocalPlein");
    EXPECT_EQ(full->text(), QStringLiteral("The local characters page is full !"));
    const int beeps = ui.beeps;
    local("\u00fb", ".-");
    EXPECT_EQ(ui.beeps - beeps, 1);
    local("\u00e0", "", "", "RadioButtonLocalDelete");
    EXPECT_EQ(full->text(), QString());
}

TEST_F(StationTablesTest, ShortcutSlotsKeepTheirPlacesAndTheTableFills) {
    shortcut("#", "one");
    shortcut("%", "two");
    shortcut("&", "three");
    shortcut("%", "", "RadioButtonShortcutDelete");
    shortcut("$", "four");
    EXPECT_EQ(form->shortcuts()[1].key, "$");
    const QString rows[] = {QStringLiteral(" # = one"), QStringLiteral(" $ = four"),
                            QStringLiteral(" & = three"), QStringLiteral(" ")};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(row(128 + k), rows[k]);
    EXPECT_EQ(row(153), QStringLiteral(" "));

    // 26 slots: the last Create fills the table; deleting one empties the label and the
    // rows close up.
    const char* keys = "*[]^_`{|}~\xa4\xa6\xa7\xa8\xa9\xaa\xab\xac\xae\xaf\xb0\xb1\xb2";
    for (const char* k = keys; *k; ++k) {
        shortcut(cp1252ToUtf8(std::string(1, *k)).c_str(), "x");
    }
    auto* full = w<QLabel>("LabelShortcutPlein");
    EXPECT_EQ(full->text(), QStringLiteral("Table pleine !!!!"));
    EXPECT_FALSE(w<QAbstractButton>("RadioButtonShortcutCreate")->isEnabled());
    EXPECT_EQ(row(153), QStringLiteral(" \u00b2 = x"));
    const int beeps = ui.beeps;
    shortcut("\u00b3", "no room");
    EXPECT_EQ(ui.beeps - beeps, 1);
    shortcut("#", "", "RadioButtonShortcutDelete");
    EXPECT_EQ(full->text(), QString());
    EXPECT_EQ(row(128), QStringLiteral(" $ = four"));
    EXPECT_EQ(row(152), QStringLiteral(" \u00b2 = x"));
    EXPECT_EQ(row(153), QStringLiteral(" "));
}

TEST_F(StationTablesTest, ShortcutCyclesAndSelfReferencesStillEndWhenPlayed) {
    struct Case {
        bool typed;  // typed in the box (which puts the key's text in its place), else queued
        std::vector<const char*> codes;
    };
    const Case cases[] = {{false, {".", "-", ".."}}, {true, {".", "-", ".", "..", ".."}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        open();
        shortcut("#", "e%");
        shortcut("%", "t#");
        shortcut("&", "&i");
        w<QAbstractButton>("ButtonShortcutExit")->click();
        if (c.typed) {
            type("#&");
        } else {
            engine().pendingText() = "#&";
            play().play();
        }
        EXPECT_LT(wave->completeAll(), 20);
        EXPECT_TRUE(pending().empty());
        std::vector<std::int16_t> expected;
        for (const char* code : c.codes) expected = join({expected, sound(code)});
        EXPECT_EQ(heard(), expected);
    }
}

TEST_F(StationTablesTest, LocalCharactersAndShortcutsSurviveKeybirdDat) {
    open(true);
    local("é", "..-..", "comment");
    local("ß", "...--..");
    shortcut("#", "cq de n0call");
    form->shell().FormClose();
    std::string bytes = readSettings();
    const auto at = bytes.find("SHORTCUT=#cq de n0call\r\n");
    ASSERT_NE(at, std::string::npos);
    EXPECT_NE(bytes.find("\r\n \xe9  ..-..  comment\r\n \xdf  ...--..  \r\n"), std::string::npos);
    // Keys no editor could reach (a local character, a coded sign) are dropped on reading.
    writeSettings(bytes.insert(at, "SHORTCUT=\xe9y\r\nSHORTCUT=!z\r\n"));

    open(true);
    EXPECT_EQ(row(97), QStringLiteral(" é  ..-..  comment"));
    EXPECT_EQ(row(98), QStringLiteral(" ß  ...--..  "));
    EXPECT_EQ(row(128), QStringLiteral(" # = cq de n0call"));
    EXPECT_EQ(row(129), QStringLiteral(" "));
    EXPECT_EQ(form->characters().localCount, 2);
    EXPECT_EQ(form->randomMode().currentSet().count, 46);  // All, the two read included
    EXPECT_EQ(form->morse()[byte("É")], "..-..");
    // The panel finds the entry read back, comment included.
    w<QAction>("MenuLocalCharacters")->trigger();
    edit("EditLocalCharacter")->setText(QStringLiteral("é"));
    EXPECT_EQ(edit("EditLocalComment")->text(), QStringLiteral("comment"));
    EXPECT_FALSE(w<QAbstractButton>("RadioButtonLocalCreate")->isEnabled());
}

TEST_F(StationTablesTest, TheMenuKeysOpenTheEditorsOneAtATimeAndDelayedPlayKeepsItsState) {
    struct Case {
        Qt::Key key;
        const char* shown;
        const char* hidden;
        const char* focus;
    };
    const Case cases[] = {
        {Qt::Key_F7, "PanelLocalShortcut", "PanelLocalCharacters", "EditShortcut"},
        {Qt::Key_F3, "PanelLocalCharacters", "PanelLocalShortcut", "EditLocalCharacter"},
        {Qt::Key_F7, "PanelLocalShortcut", "PanelLocalCharacters", "EditShortcut"},
    };
    for (const Case& c : cases) {
        QTest::keyClick(form->Editcaractere, c.key, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_TRUE(w<QWidget>(c.shown)->isVisible()) << c.shown;
        EXPECT_TRUE(w<QWidget>(c.hidden)->isHidden()) << c.hidden;
        EXPECT_EQ(QApplication::focusWidget(), w<QWidget>(c.focus));
        EXPECT_FALSE(form->quiz().ButtonQuizOK->isEnabled());
        EXPECT_FALSE(form->MenuDelayedPlay->isChecked());
    }
    // Its key again keeps what was typed; Return and Escape also act from the buttons.
    edit("EditShortcut")->setText(QStringLiteral("%"));
    QTest::keyClick(edit("EditShortcut"), Qt::Key_F7, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(edit("EditShortcut")->text(), QStringLiteral("%"));
    edit("EditShortcutText")->setText(QStringLiteral("x"));
    w<QWidget>("ButtonShortcutExit")->setFocus();
    QTest::keyClick(w<QWidget>("ButtonShortcutExit"), Qt::Key_Return);
    EXPECT_EQ(form->shortcuts()[0].key, "%");
    w<QWidget>("ButtonShortcutEnter")->setFocus();
    QTest::keyClick(w<QWidget>("ButtonShortcutEnter"), Qt::Key_Escape);
    EXPECT_TRUE(w<QWidget>("PanelLocalShortcut")->isHidden());
    w<QAbstractButton>("ButtonShortcutExit")->click();
    EXPECT_TRUE(w<QWidget>("PanelLocalShortcut")->isHidden());
    EXPECT_TRUE(form->quiz().ButtonQuizOK->isEnabled());
    EXPECT_EQ(QApplication::focusWidget(), form->Editcaractere);
    // Choosing the quiz closes an editor.
    QTest::keyClick(form->Editcaractere, Qt::Key_F3, Qt::ControlModifier | Qt::ShiftModifier);
    w<QAbstractButton>("RadioButtonQuiz")->click();
    EXPECT_TRUE(w<QWidget>("PanelLocalCharacters")->isHidden());
    EXPECT_TRUE(form->quiz().ButtonQuizOK->isEnabled());
}

}  // namespace
}  // namespace kb

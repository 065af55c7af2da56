// The six languages: the tables agree with each other, a switch rewrites every text of
// the window with nothing left over from another language, and the start-up choice comes
// from the settings file and the command line.

#include <gtest/gtest.h>
#include <QAction>
#include <QDockWidget>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTextEdit>

#include <set>

#include "core/cp1252.h"
#include "keying/clock.h"
#include "keying/fake_io_ctrl.h"
#include "keying/fake_mm_timer.h"
#include "keying/fake_serial_lines.h"
#include "keying/keyer.h"
#include "keying/local_characters_panel.h"
#include "modes/file_mode.h"
#include "modes/quiz_mode.h"
#include "modes/random_mode.h"
#include "support/window_harness.h"
#include "ui/timing_controls.h"

namespace kb {
namespace {

std::string_view name(Language lang) {
    static constexpr const char* Names[] = {"English", "French",     "German",
                                            "Italian", "Portuguese", "Spanish"};
    return Names[static_cast<int>(lang)];
}

// Every text a table holds, whatever it is for.
std::set<QString> tableTexts(const LanguageTexts& t) {
    std::set<QString> all;
    const auto add = [&all](const char* s) {
        if (s && *s) all.insert(QString::fromUtf8(s));
    };
    for (const CaptionEntry& e : t.captions) add(e.text);
    for (const CaptionEntry& e : t.instructorCaptions) add(e.text);
    for (const char* s : {t.title, t.banner, t.aboutText, t.instructorTitle}) add(s);
    const SharedTexts& s = t.shared;
    for (const char* x : {s.replayTextCaption,
                          s.resumeTextCaption,
                          s.hideCaption,
                          s.showCaption,
                          s.lessonWord,
                          s.msgNotEnoughMemory,
                          s.msgCannotOpenSoundCard,
                          s.msgStopPlayingBeforeSoundCard,
                          s.msgQuitConfirm,
                          s.msgCannotCreateSettings,
                          s.spacingTitle,
                          s.msgNoMorseCharacters,
                          s.msgDelimitersMustDiffer,
                          s.msgStopRandomBeforeClearing,
                          s.msgNothingToClear,
                          s.msgStopRandomBeforeRecording,
                          s.msgNothingToRecord,
                          s.msgStopPlayingBeforeRecording,
                          s.msgWriteError,
                          s.msgFileError,
                          s.msgCannotOpenFile,
                          s.localCharactersPageFull,
                          s.helpTitle,
                          s.msgHelpMissing,
                          s.msgPasswordCannotBeStored}) {
        add(x);
    }
    return all;
}

int accessKeys(std::string_view text) {
    int n = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') continue;
        if (i + 1 < text.size() && text[i + 1] == '&') {
            ++i;
        } else {
            ++n;
        }
    }
    return n;
}

// The tables themselves: each language lists the English pairs in the English order,
// has a text for each, keeps the access keys, and stays within Windows-1252.
TEST(LanguageTables, EveryLanguageHasEveryEnglishEntry) {
    const LanguageTexts& en = languageTexts(Language::English);
    for (Language lang : AllLanguages) {
        SCOPED_TRACE(name(lang));
        const LanguageTexts& t = languageTexts(lang);
        EXPECT_EQ(t.language, lang);
        EXPECT_EQ(languageFromCode(t.code[0]), lang);
        for (const auto& [table, english] :
             {std::pair{t.captions, en.captions}, {t.instructorCaptions, en.instructorCaptions}}) {
            ASSERT_EQ(table.size(), english.size());
            for (std::size_t k = 0; k < table.size(); ++k) {
                SCOPED_TRACE(english[k].control);
                EXPECT_STREQ(table[k].control, english[k].control);
                EXPECT_EQ(table[k].property, english[k].property);
                EXPECT_NE(std::string_view(table[k].text), "");
                EXPECT_EQ(accessKeys(table[k].text), accessKeys(english[k].text));
            }
        }
        // The about text's plan: ten lines (Spanish nine: one for the invitation), blank
        // lines 4 and 7 around the two addresses, which are the same in every language.
        const QStringList about = QString::fromUtf8(t.aboutText).split(QStringLiteral("\r\n"));
        const QStringList englishAbout =
            QString::fromUtf8(en.aboutText).split(QStringLiteral("\r\n"));
        ASSERT_EQ(about.size(), lang == Language::Spanish ? 9 : 10);
        EXPECT_TRUE(about[3].trimmed().isEmpty() && about[6].trimmed().isEmpty());
        EXPECT_EQ(about[4].trimmed(), englishAbout[4].trimmed());
        EXPECT_EQ(about[5].trimmed(), englishAbout[5].trimmed());
        for (const QString& s : tableTexts(t)) {
            const std::string utf8 = s.toStdString();
            EXPECT_EQ(cp1252ToUtf8(utf8ToCp1252(utf8)), utf8) << "not in Windows-1252: " << utf8;
        }
    }
}

class LanguageWindowTest : public test::WindowTest {
protected:
    void SetUp() override {
        keyer = std::make_unique<Keyer>(lines, lpt, timer);
        test::WindowOptions o;
        o.keyer = keyer.get();
        create(o);
    }
    void TearDown() override {
        form.reset();
        WindowTest::TearDown();
    }

    // Every text the window can show: captions, titles, hints and list rows, with where
    // it was found.
    std::vector<std::pair<QString, QString>> readableTexts() const {
        std::vector<std::pair<QString, QString>> seen;
        const auto add = [&seen](const QObject* o, const QString& text) {
            if (!text.isEmpty()) seen.emplace_back(o->objectName(), text);
        };
        add(form.get(), form->windowTitle());
        for (const QWidget* w : form->findChildren<QWidget*>()) {
            if (w->isWindow() && w != form.get()) continue;  // the dialogs keep their texts
            add(w, w->toolTip());
            if (auto* b = qobject_cast<const QAbstractButton*>(w)) add(w, b->text());
            if (auto* l = qobject_cast<const QLabel*>(w)) add(w, l->text());
            if (auto* g = qobject_cast<const QGroupBox*>(w)) add(w, g->title());
            if (auto* m = qobject_cast<const QMenu*>(w)) add(w, m->title());
            if (auto* d = qobject_cast<const QDockWidget*>(w)) add(w, d->windowTitle());
            if (auto* l = qobject_cast<const QListWidget*>(w)) {
                for (int r = 0; r < l->count(); ++r) add(w, l->item(r)->text());
            }
        }
        for (const QAction* a : form->findChildren<QAction*>()) {
            add(a, a->text());
            add(a, a->statusTip());
        }
        return seen;
    }

    // What the table says a control shows, read back from the control (a menu item's
    // caption without the key shown after a tab).
    QString shown(const CaptionEntry& e) const { return shownWithKey(e).section('\t', 0, 0); }
    QString shownWithKey(const CaptionEntry& e) const {
        const QString n = QString::fromLatin1(e.control);
        if (const QWidget* w = form->findChild<QWidget*>(n)) {
            if (e.property == TextProperty::Hint) return w->toolTip();
            if (auto* b = qobject_cast<const QAbstractButton*>(w)) return b->text();
            if (auto* l = qobject_cast<const QLabel*>(w)) return l->text();
            if (auto* g = qobject_cast<const QGroupBox*>(w)) return g->title();
            if (auto* m = qobject_cast<const QMenu*>(w)) return m->title();
        } else if (const QAction* a = form->findChild<QAction*>(n)) {
            return e.property == TextProperty::Hint ? a->statusTip() : a->text();
        }
        return QStringLiteral("<no control %1>").arg(n);
    }

    FakeClock clock;
    FakeSerialLines lines{clock};
    FakeIOCtrl lpt{clock};
    FakeMMTimer timer;
    std::unique_ptr<Keyer> keyer;
};

// One walk per language over every widget, menu item and list row, after switching to it
// from the language before (so each language is also left once).
TEST_F(LanguageWindowTest, EachSwitchRewritesEveryTextAndLeavesNoneOfAnotherLanguage) {
    // A hidden random memo and a full local page: states the switch must carry over.
    form->randomMode().ButtonHide->click();
    form->characters().localCount = MaxLocalCharacters;
    for (Language lang : {Language::French, Language::German, Language::Italian,
                          Language::Portuguese, Language::Spanish, Language::English}) {
        SCOPED_TRACE(name(lang));
        form->languageItem(lang)->trigger();
        const LanguageTexts& t = languageTexts(lang);
        EXPECT_EQ(form->language(), lang);
        for (Language other : AllLanguages) {
            EXPECT_EQ(form->languageItem(other)->isChecked(), other == lang);
        }
        for (const CaptionEntry& e : t.captions) {
            if (std::string_view(e.control).ends_with("Plein")) continue;  // below
            EXPECT_EQ(shown(e), QString::fromUtf8(e.text)) << e.control;
        }
        // Nothing that another language says and this one does not.
        std::set<QString> foreign;
        for (Language other : AllLanguages) {
            if (other != lang) foreign.merge(tableTexts(languageTexts(other)));
        }
        for (const QString& s : tableTexts(t)) foreign.erase(s);
        for (const auto& [where, text] : readableTexts()) {
            EXPECT_FALSE(foreign.contains(text))
                << where.toStdString() << ": " << text.toStdString();
        }
        // The texts composed from the shared words.
        const SummaryWords& w = t.summary;
        const auto startsWith = [](const QString& text, const std::string& prefix) {
            return text.startsWith(QString::fromStdString(prefix));
        };
        EXPECT_EQ(form->windowTitle(), QString::fromUtf8(t.title));
        EXPECT_TRUE(startsWith(form->timing().LabelVitesseCorrigee->text(), w.realSpeedPrefix));
        EXPECT_EQ(form->UpDownVitesse->toolTip(), form->timing().LabelVitesseCorrigee->text());
        EXPECT_TRUE(startsWith(form->randomMode().LabelWords->text(), w.wordLength));
        EXPECT_TRUE(
            startsWith(form->fileMode().LabelwordsFile->text(), w.spacingBetweenCharacters));
        EXPECT_EQ(form->randomMode().ButtonHide->text(), QString::fromUtf8(t.shared.showCaption));
        EXPECT_EQ(form->fileMode().ButtonHideFile->text(), QString::fromUtf8(t.shared.hideCaption));
        EXPECT_EQ(form->ButtonReplayText->text(), QString::fromUtf8(t.shared.replayTextCaption));
        // The full page says so in this language; the empty warning stays empty.
        EXPECT_EQ(form->localCharacters().LabelLocalPlein->text(),
                  QString::fromUtf8(t.shared.localCharactersPageFull));
        EXPECT_EQ(form->findChild<QLabel*>(QStringLiteral("LabelShortcutPlein"))->text(), "");
    }
}

TEST_F(LanguageWindowTest, TheCheckedLanguageAgainChangesNothing) {
    form->languageItem(Language::German)->trigger();
    form->Label1->setText(QStringLiteral("mark"));
    form->languageItem(Language::German)->trigger();
    EXPECT_EQ(form->Label1->text(), "mark");
    EXPECT_TRUE(form->Deutsch1->isChecked());
}

// The character-set name follows the language: " " and the set item's caption without
// its access key, or the lesson word and number for a lesson.
TEST_F(LanguageWindowTest, TheCharacterSetNameFollowsTheLanguage) {
    form->randomMode().MenuLocal->trigger();
    form->languageItem(Language::Italian)->trigger();
    EXPECT_EQ(form->randomMode().PanelRandomLessonCaption->text(), QStringLiteral(" Locali"));
    EXPECT_EQ(form->quiz().EditCaractersQuiz->text(),
              QStringLiteral(" locali"));  // a lower-case edit
}

struct StartCase {
    const char* label;
    const char* settingsCode;  // nullptr: no settings file
    std::vector<std::string> arguments;
    Language expected;
};

class LanguageStartTest : public test::WindowTest,
                          public ::testing::WithParamInterface<StartCase> {};

TEST_P(LanguageStartTest, ComesUpInTheChosenLanguage) {
    const StartCase& c = GetParam();
    test::WindowOptions o;
    o.arguments = c.arguments;
    if (c.settingsCode) o.settings = defaultsWith({{"LANGUAGE=", c.settingsCode}});
    create(o);
    EXPECT_EQ(form->language(), c.expected);
    EXPECT_EQ(form->windowTitle(), QString::fromUtf8(languageTexts(c.expected).title));
    form->shell().FormClose();
    if (c.settingsCode) {
        const std::string code = languageTexts(c.expected).code;
        EXPECT_NE(readSettings().find("\r\nLANGUAGE=" + code + "\r\n"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Starts, LanguageStartTest,
    ::testing::Values(
        StartCase{"SwitchWinsOverFile", "F", {"/s"}, Language::Spanish},
        StartCase{"SwitchAfterPort", nullptr, {"/COM1", "/D"}, Language::German},
        StartCase{"FileAlone", "P", {}, Language::Portuguese},
        StartCase{"LowerCaseCodeIgnored", "f", {}, Language::English},
        StartCase{"UnknownCodeIgnored", "X", {"/Q"}, Language::English},
        StartCase{"LaterSwitchWins", "D", {"/F", "/I"}, Language::Italian},
        StartCase{"FourthArgumentNotRead", nullptr, {"x", "y", "z", "/F"}, Language::English}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace kb

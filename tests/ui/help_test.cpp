// The "?" menu: F1's help window in every language, documents that cannot be read, and
// F2's about box, also while a text plays.

#include <gtest/gtest.h>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>

#include "support/window_harness.h"
#include "ui/help_window.h"

namespace kb {
namespace {

class HelpTest : public test::WindowTest {
protected:
    void SetUp() override {
        test::WindowOptions o;
        o.show = true;
        create(o);
        help = form->findChild<HelpMenu*>();
        ASSERT_NE(help, nullptr);
    }
    HelpMenu* help = nullptr;
};

TEST_F(HelpTest, F1AndF2FollowTheCheckedLanguage) {
    HelpWindow* first = nullptr;
    for (Language lang : AllLanguages) {
        const LanguageTexts& t = languageTexts(lang);
        SCOPED_TRACE(t.code);
        form->ApplyLanguage(lang);
        if (first) {  // an open help window follows the switch by itself
            EXPECT_EQ(help->requestedFile(), QString::fromUtf8(t.helpFile));
            QScrollBar* bar = first->browser()->verticalScrollBar();
            ASSERT_GT(bar->maximum(), 0);
            bar->setValue(bar->maximum());  // F1 goes back to the contents at the top
        }
        QTest::keyClick(form.get(), Qt::Key_F1);
        HelpWindow* w = help->window();
        ASSERT_NE(w, nullptr);
        first = first ? first : w;
        EXPECT_EQ(w, first);  // one window, reused
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(w->windowTitle(), QString::fromUtf8(t.shared.helpTitle));
        EXPECT_EQ(QFileInfo(w->documentPath()).fileName(), QString::fromUtf8(t.helpFile));
        EXPECT_EQ(w->browser()->verticalScrollBar()->value(), 0);
        QTest::keyClick(form.get(), Qt::Key_F2);
        EXPECT_EQ(ui.informations, QStringList(QString::fromUtf8(t.aboutText)));
        ui.informations.clear();
    }
    EXPECT_TRUE(ui.warnings.isEmpty() && ui.errors.isEmpty());
}

TEST_F(HelpTest, TheFirstReadableDocumentWinsAndAMissingOneIsSaidInTheWindow) {
    const QString name = QStringLiteral("Keybirdenglish.hlp");
    QDir root(QString::fromStdString(folder().string()));
    for (const char* d : {"empty", "folder/Keybirdenglish.hlp", "a", "b"}) root.mkpath(d);
    for (const char* d : {"a", "b"}) {
        QFile f(root.filePath(d) + '/' + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("<html><body>") + d + "</body></html>");
    }
    const QString empty = root.filePath("empty"), dir = root.filePath("folder"),
                  a = root.filePath("a"), b = root.filePath("b");
    struct Row {
        QStringList dirs;
        QString found;  // empty: missing
    } rows[] = {
        {{}, {}},              // nowhere to look
        {{empty, dir}, {}},    // not there, or a folder by that name
        {{empty, dir, b}, b},  // the first real document
        {{a, b}, a},           // the first of two
        {{empty, dir}, {}},    // after a document, the message takes its place
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.dirs.join(QLatin1Char(' ')).toStdString());
        help->setSearchDirs(r.dirs);
        form->MenuHelp->trigger();
        const QString shown = help->window()->browser()->toPlainText().trimmed();
        EXPECT_EQ(help->window()->documentPath(),
                  r.found.isEmpty() ? QString() : QDir(r.found).filePath(name));
        if (!r.found.isEmpty()) {
            EXPECT_EQ(shown, QFileInfo(r.found).fileName());
            continue;
        }
        // The language's message, naming every place looked in.
        EXPECT_TRUE(shown.startsWith(
            QString::fromUtf8(englishTexts().shared.msgHelpMissing).section('%', 0, 0)));
        for (const QString& d : r.dirs) EXPECT_TRUE(shown.contains(QDir(d).filePath(name)));
    }
    EXPECT_TRUE(ui.warnings.isEmpty() && ui.errors.isEmpty() && ui.informations.isEmpty());
    // A program looks in its folder, then in the installed data folder.
    EXPECT_EQ(helpSearchDirs(QStringLiteral("/opt/kb/bin")).mid(0, 2),
              QStringList({"/opt/kb/bin", "/opt/kb/share/keybird/help"}));
}

TEST_F(HelpTest, F2WhilePlayingLeavesTheTextPlaying) {
    type("eee");
    wave->completeNext();
    QTest::keyClick(form.get(), Qt::Key_F2);
    EXPECT_EQ(ui.informations.size(), 1);
    EXPECT_FALSE(form->ButtonStop->isHidden());
    wave->completeAll();
    EXPECT_EQ(heard(), join({sound("."), sound("."), sound(".")}));
}

}  // namespace
}  // namespace kb

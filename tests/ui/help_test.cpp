// The "?" menu: F1's help window in every language, a document that cannot be read, and
// F2's about box, also while a text plays.

#include <gtest/gtest.h>
#include <QAction>
#include <QDir>
#include <QFile>
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
    QString dirOf(const char* sub) {
        const QString d = QString::fromStdString((folder() / sub).string());
        QDir().mkpath(d);
        return d;
    }
    HelpMenu* help = nullptr;
};

TEST_F(HelpTest, F1AndF2FollowTheCheckedLanguage) {
    HelpWindow* first = nullptr;
    for (Language lang : AllLanguages) {
        const LanguageTexts& t = languageTexts(lang);
        SCOPED_TRACE(t.code);
        form->ApplyLanguage(lang);
        // An open help window follows the switch by itself.
        if (first) {
            EXPECT_EQ(help->requestedFile(), QString::fromUtf8(t.helpFile));
            // F1 shows the contents, at the top, wherever the reader had scrolled to.
            QScrollBar* bar = first->browser()->verticalScrollBar();
            ASSERT_GT(bar->maximum(), 0);
            bar->setValue(bar->maximum());
        }
        QTest::keyClick(form.get(), Qt::Key_F1);
        HelpWindow* w = help->window();
        ASSERT_NE(w, nullptr);
        if (!first) first = w;
        EXPECT_EQ(w, first);  // one window, reused
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(w->windowTitle(), QString::fromUtf8(t.shared.helpTitle));
        EXPECT_EQ(help->requestedFile(), QString::fromUtf8(t.helpFile));
        EXPECT_EQ(QFileInfo(w->documentPath()).fileName(), QString::fromUtf8(t.helpFile));
        EXPECT_EQ(w->browser()->verticalScrollBar()->value(), 0);
        EXPECT_FALSE(w->browser()->toPlainText().trimmed().isEmpty());

        const qsizetype boxes = ui.informations.size();
        QTest::keyClick(form.get(), Qt::Key_F2);
        ASSERT_EQ(ui.informations.size(), boxes + 1);
        EXPECT_EQ(ui.informations.last(), QString::fromUtf8(t.aboutText));
    }
    EXPECT_TRUE(ui.warnings.isEmpty() && ui.errors.isEmpty());
}

TEST_F(HelpTest, TheFirstReadableDocumentWinsAndAMissingOneIsSaidInTheWindow) {
    const QString name = QStringLiteral("Keybirdenglish.hlp");
    const QString empty = dirOf("empty"), folderNamed = dirOf("folder"), a = dirOf("a"),
                  b = dirOf("b");
    QDir(folderNamed).mkdir(name);  // a folder by the document's name is no document
    for (const QString& d : {a, b}) {
        QFile f(QDir(d).filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(("<html><body><h1>" + d.toUtf8() + "</h1></body></html>"));
    }
    struct Row {
        QStringList dirs;
        QString found;  // empty: missing
    } rows[] = {
        {{}, {}},                      // nowhere to look
        {{empty}, {}},                 // not there
        {{empty, folderNamed}, {}},    // only a folder by that name
        {{empty, folderNamed, b}, b},  // the first real document
        {{a, b}, a},                   // the first of two
        {{empty}, {}},                 // after a document, the message takes its place
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.dirs.join(QLatin1Char(' ')).toStdString());
        const QString expected = r.found.isEmpty() ? QString() : QDir(r.found).filePath(name);
        EXPECT_EQ(findHelpDocument(name, r.dirs), expected);
        help->setSearchDirs(r.dirs);
        form->MenuHelp->trigger();
        const QString shown = help->window()->browser()->toPlainText();
        EXPECT_EQ(help->window()->documentPath(), expected);
        if (r.found.isEmpty()) {
            EXPECT_TRUE(shown.startsWith(
                QString::fromUtf8(englishTexts().shared.msgHelpMissing).section('%', 0, 0)));
            for (const QString& d : r.dirs) EXPECT_TRUE(shown.contains(QDir(d).filePath(name)));
        } else {
            EXPECT_EQ(shown.trimmed(), r.found);
        }
    }
    EXPECT_TRUE(ui.warnings.isEmpty() && ui.errors.isEmpty() && ui.informations.isEmpty());
    // The places a program looks: its folder, then the installed data folder.
    const QStringList dirs = helpSearchDirs(QStringLiteral("/opt/kb/bin"));
    ASSERT_GE(dirs.size(), 2);
    EXPECT_EQ(dirs[0], QStringLiteral("/opt/kb/bin"));
    EXPECT_EQ(dirs[1], QStringLiteral("/opt/kb/share/keybird/help"));
}

TEST_F(HelpTest, F2WhilePlayingLeavesTheTextPlaying) {
    type("eee");
    int completedBehindTheBox = 0;
    ui.onInformation = [&] { completedBehindTheBox += wave->completeNext() ? 1 : 0; };
    QTest::keyClick(form.get(), Qt::Key_F2);
    EXPECT_EQ(ui.informations.size(), 1);
    EXPECT_EQ(completedBehindTheBox, 1);
    EXPECT_FALSE(form->ButtonStop->isHidden());
    wave->completeAll();
    EXPECT_EQ(heard(), join({sound("."), sound("."), sound(".")}));
}

}  // namespace
}  // namespace kb

#pragma once
// The "?" menu: F1 shows the current language's help document in a help window of our
// own, F2 the about text in an information box. The documents are HTML files with their
// historical names (Keybirdenglish.hlp, ...). GUI thread only.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWidget>

#include "ui/texts.h"

class QTextBrowser;

namespace kb {

class TForm1;

// Where the help documents are looked for, first hit wins: the program's own folder, the
// installed data folder (share/keybird/help beside the program's bin folder), then the
// source tree's help/ for a program run from its build tree.
QStringList helpSearchDirs(const QString& programDir);
// The first readable regular file `fileName` in `dirs`; empty when there is none.
QString findHelpDocument(const QString& fileName, const QStringList& dirs);

// A non-modal top-level window with a browser and back, forward and contents buttons.
class HelpWindow : public QWidget {
    Q_OBJECT

public:
    explicit HelpWindow(QWidget* parent);
    // Shows the document at `path` from its top, or, when it cannot be read, `missingText`
    // in its place; false then.
    bool showDocument(const QString& path, const QString& missingText);
    // The document shown; empty while a missing document's message is shown.
    const QString& documentPath() const { return path_; }
    QTextBrowser* browser() const { return browser_; }

private:
    void home();

    QTextBrowser* browser_;
    QString path_;
};

class HelpMenu : public QObject {
    Q_OBJECT

public:
    // Wires MenuHelp and About1; the help window is made on first use.
    explicit HelpMenu(TForm1& form);

    void MenuHelpClick();
    void About1Click();

    // Where documents are looked for (tests point it at folders of their own).
    void setSearchDirs(QStringList dirs) { dirs_ = std::move(dirs); }
    const QStringList& searchDirs() const { return dirs_; }
    // The file name F1 last asked for.
    const QString& requestedFile() const { return requested_; }
    // nullptr until F1 is first pressed.
    HelpWindow* window() const { return window_; }

private:
    void showHelp(const LanguageTexts& texts);

    TForm1& form_;
    QStringList dirs_;
    QString requested_;
    HelpWindow* window_ = nullptr;
};

}  // namespace kb

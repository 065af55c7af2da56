#include "ui/help_window.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QScrollBar>
#include <QStyle>
#include <QTextBrowser>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/form1.h"
#include "ui/ui_services.h"
#include "ui/widgets.h"

namespace kb {

QStringList helpSearchDirs(const QString& programDir) {
    const QDir program(programDir);
    QStringList dirs{
        QDir::cleanPath(program.absolutePath()),
        QDir::cleanPath(program.absoluteFilePath(QStringLiteral(KEYBIRD_HELP_INSTALL_RELDIR)))};
#ifdef KEYBIRD_HELP_SOURCE_DIR
    dirs << QDir::cleanPath(QStringLiteral(KEYBIRD_HELP_SOURCE_DIR));
#endif
    dirs.removeDuplicates();
    return dirs;
}

QString findHelpDocument(const QString& fileName, const QStringList& dirs) {
    for (const QString& dir : dirs) {
        const QFileInfo f(QDir(dir), fileName);
        // A folder or a file we may not read is no document: the next place may hold one.
        if (f.isFile() && f.isReadable()) return f.absoluteFilePath();
    }
    return {};
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("HelpWindow"));
    auto* v = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    auto button = [this, bar](const char* name, QStyle::StandardPixmap icon) {
        auto* b = named(new QToolButton(this), name);
        b->setIcon(style()->standardIcon(icon));
        bar->addWidget(b);
        return b;
    };
    QToolButton* back = button("HelpBack", QStyle::SP_ArrowBack);
    QToolButton* forward = button("HelpForward", QStyle::SP_ArrowForward);
    QToolButton* contents = button("HelpHome", QStyle::SP_DirHomeIcon);
    bar->addStretch();
    v->addLayout(bar);
    browser_ = named(new QTextBrowser(this), "HelpBrowser");
    // Web addresses go to the desktop's browser; the document's own links stay here.
    browser_->setOpenExternalLinks(true);
    v->addWidget(browser_);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(back, &QToolButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward, &QToolButton::clicked, browser_, &QTextBrowser::forward);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QToolButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QToolButton::setEnabled);
    connect(contents, &QToolButton::clicked, this, &HelpWindow::home);
    resize(640, 560);
}

bool HelpWindow::showDocument(const QString& path, const QString& missingText) {
    if (!path.isEmpty() && QFile(path).open(QIODevice::ReadOnly)) {
        const QUrl url = QUrl::fromLocalFile(path);
        // The same document again is not reloaded by the browser; one in place of a
        // message is.
        if (path_ != path) browser_->setSource(QUrl());
        browser_->setSource(url, QTextDocument::HtmlResource);
        if (!browser_->document()->isEmpty()) {
            path_ = path;
            browser_->verticalScrollBar()->setValue(0);
            return true;
        }
    }
    path_.clear();
    browser_->setSource(QUrl());
    browser_->setPlainText(missingText);
    browser_->clearHistory();
    return false;
}

void HelpWindow::home() {
    if (path_.isEmpty()) return;
    browser_->setSource(QUrl::fromLocalFile(path_), QTextDocument::HtmlResource);
    browser_->verticalScrollBar()->setValue(0);
}

HelpMenu::HelpMenu(TForm1& form)
    : QObject(&form), form_(form), dirs_(helpSearchDirs(QCoreApplication::applicationDirPath())) {
    setObjectName(QStringLiteral("HelpMenu"));
    connect(form.MenuHelp, &QAction::triggered, this, &HelpMenu::MenuHelpClick);
    connect(form.About1, &QAction::triggered, this, &HelpMenu::About1Click);
    // An open help window follows the language. The item is checked before the window's
    // texts change, so the language comes from the item, not from the window.
    for (Language lang : AllLanguages) {
        connect(form.languageItem(lang), &QAction::toggled, this, [this, lang](bool checked) {
            if (checked && window_ && window_->isVisible()) showHelp(languageTexts(lang));
        });
    }
}

void HelpMenu::MenuHelpClick() {
    showHelp(form_.texts());
    window_->raise();
    window_->activateWindow();
}

void HelpMenu::showHelp(const LanguageTexts& texts) {
    if (!window_) window_ = new HelpWindow(&form_);
    window_->setWindowTitle(QString::fromUtf8(texts.shared.helpTitle));
    requested_ = QString::fromUtf8(texts.helpFile);
    const QString path = findHelpDocument(requested_, dirs_);
    // Every place looked in, so the message says where the document belongs.
    QStringList looked;
    for (const QString& dir : dirs_) looked << QDir(dir).filePath(requested_);
    const QString missing = QString::fromUtf8(texts.shared.msgHelpMissing)
                                .arg(path.isEmpty() ? looked.join(QStringLiteral(", ")) : path);
    window_->showDocument(path, missing);
    // A minimised help window comes back: F1 must show something.
    window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
    window_->show();
}

void HelpMenu::About1Click() {
    // Modal: the sound goes on behind it, as device notices still arrive.
    form_.ui().information(&form_, QString::fromUtf8(languageTexts(form_.language()).aboutText));
}

}  // namespace kb

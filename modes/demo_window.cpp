#include "modes/demo_window.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QShowEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolButton>
#include <algorithm>
#include <cmath>

#include "modes/file_mode.h"
#include "ui/form1.h"
#include "ui/widgets.h"

namespace kb {

namespace {

// The box keeps one character for each line break where the text played holds CR LF; the
// copy here keeps both, the CR as this invisible stand-in before the break itself, so
// that the box's selection plus the file mode's skew marks the same text here.
constexpr char16_t CrStandIn = u'\u200B';

}  // namespace

TFormDemo::TFormDemo(TForm1& form) : QDialog(&form), f_(form) {
    setObjectName(QStringLiteral("FormDemo"));
    setWindowTitle(QStringLiteral("KEYBIRD  DEMO"));
    setModal(false);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    // Placed by hand: its size follows the screen, not a layout.
    MemoDemo = named(new QPlainTextEdit(this), "MemoDemo");
    MemoDemo->setReadOnly(true);
    MemoDemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setBold(true);
    MemoDemo->setFont(font);
    // The played part stays marked while the main window has the focus.
    QPalette p = MemoDemo->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
        p.setColor(QPalette::Inactive, role, p.color(QPalette::Active, role));
    }
    MemoDemo->setPalette(p);
    MemoDemo->setPlainText(QStringLiteral("MemoFile"));

    FileMode& file = form.fileMode();
    file.SpeedButtonDemo->setEnabled(true);
    connect(file.SpeedButtonDemo, &QToolButton::clicked, this, [this] { SpeedButtonDemoClick(); });
    connect(file.FileEdit, &QTextEdit::textChanged, this, [this] { FileEditChange(); });
    connect(file.FileEdit, &QTextEdit::selectionChanged, this,
            [this] { FileEditSelectionChange(); });
}

void TFormDemo::SpeedButtonDemoClick() {
    if (f_.fileMode().textHidden()) return;
    showMaximized();
    raise();
    activateWindow();
}

void TFormDemo::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (stale_) copyText();
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    // The screen less the desktop's own bars: a maximised window gets no more.
    const QRect r = s ? s->availableGeometry() : QRect(0, 0, 800, 600);
    MemoDemo->setGeometry(0, 0, std::max(1, r.width() - 20), std::max(1, r.height() - 40));
    // The box's print scaled up to this width. A box never laid out has no width to
    // scale from; the print then stays as it is.
    const QTextEdit* box = f_.fileMode().FileEdit;
    const qreal boxPoints = box->font().pointSizeF();
    if (box->width() > 0 && boxPoints > 0) {
        const double scaled =
            std::floor(static_cast<double>(MemoDemo->width()) / box->width() * boxPoints);
        QFont font = MemoDemo->font();
        font.setPointSize(std::max(1, static_cast<int>(scaled)));
        MemoDemo->setFont(font);
    }
    selectPlayed();
}

void TFormDemo::FileEditChange() {
    // A hidden copy is brought up to date when shown: a file of megabytes edited in the
    // box is not copied at each key.
    if (isVisible()) {
        copyText();
    } else {
        stale_ = true;
    }
}

void TFormDemo::FileEditSelectionChange() {
    if (isVisible()) selectPlayed();
}

void TFormDemo::clearSelection() {
    QTextCursor c = MemoDemo->textCursor();
    c.clearSelection();
    MemoDemo->setTextCursor(c);
}

void TFormDemo::copyText() {
    stale_ = false;
    QString text;
    const QTextDocument* doc = f_.fileMode().FileEdit->document();
    for (QTextBlock b = doc->firstBlock(); b.isValid(); b = b.next()) {
        if (b != doc->firstBlock()) {
            text += QChar(CrStandIn);
            text += QLatin1Char('\n');
        }
        text += b.text();
    }
    text.replace(QChar(QChar::LineSeparator), QString(QChar(CrStandIn)) + QChar::LineSeparator);
    MemoDemo->setPlainText(text);
    MemoDemo->moveCursor(QTextCursor::Start);
}

void TFormDemo::selectPlayed() {
    const QTextCursor box = f_.fileMode().FileEdit->textCursor();
    const int length = box.selectionEnd() - box.selectionStart() + f_.fileMode().highlightSkew();
    const int end = std::max(0, MemoDemo->document()->characterCount() - 1);
    QTextCursor c = MemoDemo->textCursor();
    c.setPosition(0);
    c.setPosition(std::clamp(length, 0, end), QTextCursor::KeepAnchor);
    MemoDemo->setTextCursor(c);
}

}  // namespace kb

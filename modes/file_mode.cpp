#include "modes/file_mode.h"

#include <QAction>
#include <QBoxLayout>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/cp1252.h"
#include "core/text_file.h"
#include "modes/demo_window.h"
#include "modes/play_control.h"
#include "modes/quiz_mode.h"
#include "modes/random_mode.h"
#include "modes/typed_text.h"
#include "ui/form1.h"
#include "ui/timing_controls.h"
#include "ui/typed_text_edit.h"
#include "ui/ui_services.h"
#include "ui/widgets.h"

namespace kb {

namespace {

const QString Placeholder = QStringLiteral("MemoFile");

// The box's line breaks (a paragraph, or a line break inside one) stand for the CR of
// the CR LF the text queue holds in their place.
unsigned char queueByteOf(char32_t cp) {
    if (cp == 0x2029 || cp == 0x2028) return '\r';
    return unicodeToCp1252(cp);
}

}  // namespace

// The file box: Escape acts as the window's Escape.
class FileMode::Box final : public QTextEdit {
public:
    Box(FileMode& mode, QWidget* parent) : QTextEdit(parent), mode_(mode) {}

protected:
    // Hidden text stays hidden: nothing of it is copied or dragged out.
    QMimeData* createMimeDataFromSelection() const override {
        if (mode_.textHidden()) return new QMimeData;
        return QTextEdit::createMimeDataFromSelection();
    }
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Escape) {
            mode_.FileEditKeyPress();
            return;
        }
        QTextEdit::keyPressEvent(e);
    }

private:
    FileMode& mode_;
};

FileMode::FileMode(TForm1& form) : f_(form) {
    buildPanel();
    wire();
    form.play().addMode(*this);
    // The summary shows the spacing and the real speed.
    auto previous = std::move(form.timing().afterTimingChange);
    form.timing().afterTimingChange = [this, alive = alive_, previous] {
        if (previous) previous();
        if (*alive) UpdateFileSummary();
    };
    UpdateFileSummary();
}

FileMode::~FileMode() {
    // The timing controls may outlive this mode; their hook then passes over it.
    *alive_ = false;
}

void FileMode::buildPanel() {
    PanelFile = named(new QFrame(f_.RightArea), "PanelFile");
    PanelFile->setFrameShape(QFrame::StyledPanel);
    auto* v = new QVBoxLayout(PanelFile);

    PanelPathFile = named(new QLabel(PanelFile), "PanelPathFile");
    PanelPathFile->setFrameShape(QFrame::StyledPanel);
    PanelPathFile->setTextInteractionFlags(Qt::TextSelectableByMouse);
    v->addWidget(PanelPathFile);

    auto* row = new QHBoxLayout;
    ButtonHideFile = named(new QPushButton(PanelFile), "ButtonHideFile");
    ButtonHideFile->setText(QString::fromUtf8(f_.texts().shared.hideCaption));
    SpeedButtonDemo = named(new QToolButton(PanelFile), "SpeedButtonDemo");
    SpeedButtonDemo->setText(QStringLiteral("\u25A3"));
    SpeedButtonNoiseFile = named(new QToolButton(PanelFile), "SpeedButtonNoiseFile");
    SpeedButtonNoiseFile->setText(QStringLiteral("\u223F"));
    SpeedButtonQSBFile = named(new QToolButton(PanelFile), "SpeedButtonQSBFile");
    SpeedButtonQSBFile->setText(QStringLiteral("QSB"));
    for (QToolButton* b : {SpeedButtonNoiseFile, SpeedButtonQSBFile}) {
        b->setCheckable(true);
        b->setContextMenuPolicy(Qt::CustomContextMenu);
    }
    row->addWidget(ButtonHideFile);
    row->addWidget(SpeedButtonDemo);
    row->addStretch();
    row->addWidget(SpeedButtonNoiseFile);
    row->addWidget(SpeedButtonQSBFile);
    v->addLayout(row);

    LabelwordsFile = named(new QLabel(PanelFile), "LabelwordsFile");
    LabelwordsFile->setWordWrap(true);
    v->addWidget(LabelwordsFile);

    FileEdit = named(new Box(*this, PanelFile), "FileEdit");
    FileEdit->setAcceptRichText(false);
    FileEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The played part stays marked while the focus is elsewhere (the demo window, Stop).
    QPalette p = FileEdit->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
        p.setColor(QPalette::Inactive, role, p.color(QPalette::Active, role));
    }
    FileEdit->setPalette(p);
    FileEdit->setPlainText(Placeholder);
    v->addWidget(FileEdit, 1);

    PanelFile->hide();
    f_.addModeView(PanelFile);
}

void FileMode::wire() {
    TForm1& f = f_;
    QObject::connect(f.RadioButtonFile, &QRadioButton::clicked, PanelFile,
                     [this] { RadioButtonFileClick(); });
    // The mode chosen before File, for a cancelled open dialog to give back.
    for (QRadioButton* r : {f.RadioButtonAlphabet, f.RadioButtonCodeQ, f.RadioButtonAbrev,
                            f.RadioButtonRandom, f.RadioButtonQuiz, f.RadioButtonMonitor}) {
        QObject::connect(r, &QRadioButton::toggled, PanelFile, [this, r](bool on) {
            if (on) previousRadio_ = r;
        });
    }
    previousRadio_ = f.RadioButtonAlphabet;
    QObject::connect(f.ButtonPlayFile, &QPushButton::clicked, PanelFile,
                     [this] { ButtonPlayFileClick(); });
    QObject::connect(f.ButtonContinueFile, &QPushButton::clicked, PanelFile,
                     [this] { ButtonContinueFileClick(); });
    QObject::connect(ButtonHideFile, &QPushButton::clicked, PanelFile,
                     [this] { ButtonHideFileClick(); });
    QObject::connect(SpeedButtonNoiseFile, &QToolButton::customContextMenuRequested, PanelFile,
                     [&f] { f.MenuNoisesettings->trigger(); });
    QObject::connect(SpeedButtonQSBFile, &QToolButton::customContextMenuRequested, PanelFile,
                     [&f] { f.MenuQSBsetting->trigger(); });
    // A new text starts its demo copy afresh.
    QObject::connect(FileEdit, &QTextEdit::textChanged, PanelFile, [this] { highlightSkew_ = 0; });
}

// --- The file buttons ----------------------------------------------------------------------

bool FileMode::fileLoaded() const {
    return FileEdit->document()->firstBlock().text() != Placeholder;
}

void FileMode::refreshFileButtons() {
    const bool loaded = fileLoaded();
    const bool resumable = loaded && !fileResumeText_.empty();
    f_.ButtonPlayFile->setVisible(!resumable);
    f_.ButtonPlayFile->setEnabled(loaded && !resumable);
    f_.ButtonContinueFile->setVisible(resumable);
    f_.ButtonContinueFile->setEnabled(resumable);
}

void FileMode::reenableFileButtons() {
    if (!fileLoaded()) return;
    if (!f_.ButtonContinueFile->isHidden()) {
        f_.ButtonContinueFile->setEnabled(true);
    } else {
        f_.ButtonPlayFile->setEnabled(true);
    }
}

void FileMode::UpdateFileSummary() {
    LabelwordsFile->setText(QString::fromStdString(fileSummaryText(
        f_.summaryWords(), f_.timing().SpinEditEspace->value(), f_.timing().effectiveSpeed())));
}

void FileMode::languageChanged() {
    const SharedTexts& t = f_.texts().shared;
    ButtonHideFile->setText(QString::fromUtf8(hidden_ ? t.showCaption : t.hideCaption));
    UpdateFileSummary();
}

// --- Opening a file --------------------------------------------------------------------------

void FileMode::uncheck(QRadioButton* radio) {
    // A radio button of an exclusive group cannot be unchecked by itself.
    const QSignalBlocker block(radio);
    radio->setAutoExclusive(false);
    radio->setChecked(false);
    radio->setAutoExclusive(true);
}

void FileMode::restorePreviousRadio() {
    uncheck(f_.RadioButtonFile);
    // Without a file the view of the mode chosen before is still the one shown: its
    // button is checked again, as a choice already made, not a new one.
    if (fileLoaded() || !previousRadio_) return;
    if (previousRadio_ == f_.RadioButtonRandom) f_.randomMode().clearPlayRequested();
    const QSignalBlocker block(previousRadio_);
    previousRadio_->setChecked(true);
}

void FileMode::showPanel() {
    f_.showModeView(PanelFile);
    f_.randomMode().setQuickRandomEnabled(false);
    f_.randomMode().clearPlayRequested();
    f_.quiz().TimerQuiz->stop();
    PanelPathFile->setText(loadedPath_);
}

void FileMode::RadioButtonFileClick() {
    if (!f_.ButtonStop->isHidden()) {
        restorePreviousRadio();
        return;
    }
    if (fileLoaded()) {
        showPanel();
        FileEdit->setReadOnly(false);
        showSelection();
        FileEdit->setFocus();
    }
    const QString path = f_.ui().openFileName(&f_, QString::fromLatin1(OpenDialogFileFilter));
    if (path.isEmpty()) {
        restorePreviousRadio();
        return;
    }
    f_.state().currentFileName = path.toStdString();
    if (!loadFile(path)) {
        restorePreviousRadio();
        return;
    }
    if (!fileLoaded()) {
        // A file that begins with the placeholder line stands for no file: the view
        // shown before stays, with its button.
        PanelFile->hide();
        restorePreviousRadio();
        refreshFileButtons();
        return;
    }
    // CurrentFileName also follows memo saves and refused files: the panel keeps its own.
    loadedPath_ = path;
    uncheck(f_.RadioButtonFile);
    FileEdit->setReadOnly(false);
    // Shown whether or not it was before: a first file would otherwise never appear.
    showPanel();
    f_.ButtonReplayText->setEnabled(!f_.Editcaractere->text().isEmpty());
    refreshFileButtons();
}

bool FileMode::loadFile(const QString& path) {
    QFile file(path);
    const QString cannotOpen = QString::fromUtf8(f_.texts().shared.msgCannotOpenFile);
    if (!file.open(QIODevice::ReadOnly)) {
        f_.ui().error(&f_, cannotOpen + QStringLiteral("\n%1\n%2").arg(path, file.errorString()));
        return false;
    }
    // One byte past the limit is enough to refuse the file without reading all of it.
    const QByteArray bytes = file.read(static_cast<qint64>(MaxTextFileBytes) + 1);
    if (file.error() != QFileDevice::NoError) {
        f_.ui().error(&f_, cannotOpen + QStringLiteral("\n%1\n%2").arg(path, file.errorString()));
        return false;
    }
    const TextFileResult read =
        readTextFile(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (read.status != TextFileResult::Status::Ok) {
        f_.ui().error(
            &f_, cannotOpen + QStringLiteral("\n%1\n%2")
                                  .arg(path, QString::fromStdString(textFileRefusal(read.status))));
        return false;
    }
    FileEdit->setPlainText(QString::fromStdString(read.text));
    FileEdit->moveCursor(QTextCursor::Start);
    filePosition_ = 0;
    fileResumeText_.clear();
    fileText_ = fileTextToPlay(boxText());
    FileEdit->setFocus();
    return true;
}

std::string FileMode::boxText() const {
    QString text;
    for (QTextBlock b = FileEdit->document()->firstBlock(); b.isValid(); b = b.next()) {
        if (b != FileEdit->document()->firstBlock()) text += QLatin1Char('\n');
        text += b.text();
    }
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text.toStdString();
}

// --- Playing ---------------------------------------------------------------------------------

void FileMode::ButtonPlayFileClick() {
    if (fileModeOn_) {
        f_.ButtonPlayFile->setChecked(true);
        return;
    }
    // Typed characters still queued would be lost or played as the file's: they go first.
    if (f_.play().engine().busy()) {
        f_.ButtonPlayFile->setChecked(false);
        return;
    }
    std::string& pending = f_.play().engine().pendingText();
    fileText_ = fileTextToPlay(boxText());
    if (fileText_.empty()) {
        f_.ButtonPlayFile->setChecked(false);
        return;
    }
    uncheck(f_.RadioButtonFile);
    f_.fading().startRun(f_.random(), f_.UpDownVitesse->value());
    FileEdit->setReadOnly(true);
    pending += fileText_;
    // Typing the start delimiter outside a file must not silence the file's beginning.
    f_.state().mask.active = false;
    if (f_.play().continuousReplay()) pending += ' ';
    fileResumeText_.clear();
    filePosition_ = 0;
    highlightSkew_ = 0;
    FileEdit->moveCursor(QTextCursor::Start);
    startPlaying(f_.ButtonPlayFile);
}

void FileMode::ButtonContinueFileClick() {
    if (fileModeOn_ || fileResumeText_.empty() || f_.play().engine().busy()) {
        f_.ButtonContinueFile->setChecked(fileModeOn_);
        return;
    }
    // The highlight and the masked stretch go on from where Stop left them.
    f_.play().engine().pendingText() = std::exchange(fileResumeText_, {});
    f_.state().mask.active = resumeMaskActive_;
    FileEdit->setReadOnly(true);
    showSelection();
    startPlaying(f_.ButtonContinueFile);
}

void FileMode::startPlaying(QPushButton* button) {
    f_.showStop(true);
    f_.ButtonReplayText->setEnabled(false);
    f_.setActivityControlsEnabled(false);
    // The ends of a text are the file's own: no other mode's button stays chosen but the
    // monitor's, which listens again afterwards.
    for (QRadioButton* r : {f_.RadioButtonAlphabet, f_.RadioButtonCodeQ, f_.RadioButtonAbrev,
                            f_.RadioButtonRandom, f_.RadioButtonFile, f_.RadioButtonQuiz}) {
        uncheck(r);
    }
    f_.Editcaractere->setEnabled(false);
    if (PanelFile->isHidden()) {
        FileEdit->setReadOnly(true);
        showPanel();
    }
    // The class watches the demo window: it keeps the focus.
    if (!(f_.FormDemo && f_.FormDemo->isVisible())) FileEdit->setFocus();
    f_.randomMode().clearPlayRequested();
    f_.typed().clearBoxClicked();
    fileModeOn_ = true;
    button->setChecked(true);
    f_.play().play();
}

// --- The highlight ---------------------------------------------------------------------------

void FileMode::showSelection() {
    QTextCursor c = FileEdit->textCursor();
    if (hidden_) {
        c.clearSelection();
    } else {
        const int end = std::max(0, FileEdit->document()->characterCount() - 1);
        c.setPosition(0);
        c.setPosition(std::min(filePosition_, end), QTextCursor::KeepAnchor);
    }
    FileEdit->setTextCursor(c);
}

void FileMode::clearSelection() {
    FileEdit->moveCursor(QTextCursor::End);
}

void FileMode::beforeCharacter() {
    if (!fileModeOn_) return;
    const std::string& pending = f_.play().engine().pendingText();
    if (pending.empty()) return;
    const auto c = static_cast<unsigned char>(pending.front());
    const QTextDocument* doc = FileEdit->document();
    // One step is one character of the queue: a character outside the BMP takes two
    // positions in the box but is one byte in the queue.
    lastStep_ = doc->characterAt(filePosition_).isHighSurrogate() ? 2 : 1;
    filePosition_ += lastStep_;
    // The character the box has now taken last, whether or not its text is shown: the
    // correction must not depend on the text being hidden, or Show would select too much.
    char32_t last = doc->characterAt(filePosition_ - 1).unicode();
    if (lastStep_ == 2) {
        last = QChar::surrogateToUcs4(doc->characterAt(filePosition_ - 2),
                                      doc->characterAt(filePosition_ - 1));
    }
    // The box holds one break where the queue holds CR LF: the LF is not the box's.
    if (c != '\r' && queueByteOf(last) != c) {
        filePosition_ -= lastStep_;
        ++highlightSkew_;
    }
    showSelection();
    // The skew alone may have grown, which moves no selection and so raises no signal.
    if (f_.FormDemo) f_.FormDemo->FileEditSelectionChange();
}

void FileMode::adjustCharacter(CharacterSettings& c) const {
    if (!fileModeOn_) return;
    if (SpeedButtonNoiseFile->isChecked()) c.noise = true;
    if (SpeedButtonQSBFile->isChecked()) c.fading = true;
}

// --- The end of a text -----------------------------------------------------------------------

bool FileMode::endsForReplay() {
    if (!fileModeOn_ || !fileResumeText_.empty()) return false;
    f_.ButtonReplayText->setChecked(false);
    f_.ButtonPlayFile->setChecked(false);
    f_.ButtonContinueFile->setChecked(false);
    f_.showStop(false);
    refreshFileButtons();
    clearSelection();
    if (f_.FormDemo) f_.FormDemo->clearSelection();
    filePosition_ = 0;
    f_.state().mask.active = false;
    fileModeOn_ = false;
    return true;
}

void FileMode::replayAgain() {
    f_.ButtonPlayFile->click();
}

void FileMode::normalEnd() {
    refreshFileButtons();
    if (!fileLoaded()) {
        f_.state().mask.active = false;
    } else if (!fileResumeText_.empty()) {
        FileEdit->setReadOnly(true);
        // Stopped: the box keeps the focus, ready for Resume, unless the user went to the
        // typed text during the file.
        if (!PanelFile->isHidden() && !(fileModeOn_ && f_.typed().boxClicked())) {
            FileEdit->setFocus();
        }
    } else {
        clearSelection();
        filePosition_ = 0;
        f_.state().mask.active = false;
        FileEdit->setReadOnly(false);
        // A file played to its end: the demo is over (another mode's end leaves it).
        if (fileModeOn_ && f_.FormDemo) f_.FormDemo->hide();
    }
    fileModeOn_ = false;
}

void FileMode::stopped(const std::optional<std::string>& unplayed) {
    if (!fileModeOn_ || !unplayed) return;
    fileResumeText_ = *unplayed;
    resumeMaskActive_ = f_.state().mask.active;
}

// --- Hide / Show, Escape -----------------------------------------------------------------------

void FileMode::ButtonHideFileClick() {
    // The instructor's lock keeps the text hidden whatever reaches this handler.
    if (locked_) return;
    setTextHidden(!hidden_);
    if (!hidden_) {
        showSelection();
        FileEdit->setFocus();
    }
}

void FileMode::setTextHidden(bool hidden) {
    hidden_ = hidden;
    QPalette p = FileEdit->palette();
    const QPalette normal = PanelFile->palette();
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        for (QPalette::ColorRole role :
             {QPalette::Base, QPalette::Text, QPalette::Highlight, QPalette::HighlightedText}) {
            // Black on black, and a selection as black: nothing brings the text out.
            const QColor shown = role == QPalette::Base || role == QPalette::Text
                                     ? normal.color(g, role)
                                     : normal.color(QPalette::Active, role);
            p.setColor(g, role, hidden ? QColor(Qt::black) : shown);
        }
    }
    FileEdit->setPalette(p);
    FileEdit->setContextMenuPolicy(hidden ? Qt::NoContextMenu : Qt::DefaultContextMenu);
    if (hidden) showSelection();
    // The demo window shows the same text: it goes with it.
    if (hidden && f_.FormDemo) f_.FormDemo->hide();
    const SharedTexts& t = f_.texts().shared;
    ButtonHideFile->setText(QString::fromUtf8(hidden ? t.showCaption : t.hideCaption));
}

void FileMode::setTextLocked(bool locked) {
    const bool wasHidden = hidden_;
    locked_ = locked;
    ButtonHideFile->setEnabled(!locked);
    setTextHidden(locked);
    // Shown again, the played part is marked as Show marks it; a text that was shown
    // keeps its caret where the user left it.
    if (!locked && wasHidden) showSelection();
}

void FileMode::FileEditKeyPress() {
    f_.typed().EscapeKey();
}

}  // namespace kb

#include "modes/quiz_mode.h"

#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "app/settings_file.h"
#include "core/cp1252.h"
#include "core/nearest.h"
#include "keying/local_characters_panel.h"
#include "keying/shortcut_panel.h"
#include "modes/file_mode.h"
#include "modes/play_control.h"
#include "modes/random_mode.h"
#include "modes/typed_text.h"
#include "ui/edit_helpers.h"
#include "ui/form1.h"
#include "ui/typed_text_edit.h"
#include "ui/ui_services.h"
#include "ui/widgets.h"

namespace kb {

namespace {

QString toQString(const std::string& cp1252) {
    return QString::fromStdString(cp1252ToUtf8(cp1252));
}

// The delay's up-down shows the label of its position (1..16) rather than the number.
class DelaySpinBox final : public QSpinBox {
public:
    explicit DelaySpinBox(QWidget* parent) : QSpinBox(parent) {
        setRange(1, static_cast<int>(DelayLabels.size()));
        setValue(DefaultDelayPosition);
    }

protected:
    QString textFromValue(int value) const override {
        const auto k = static_cast<std::size_t>(std::clamp(value, 1, maximum()) - 1);
        return QString::fromLatin1(DelayLabels[k].data(), static_cast<int>(DelayLabels[k].size()));
    }
    int valueFromText(const QString& text) const override {
        for (std::size_t k = 0; k < DelayLabels.size(); ++k) {
            if (text == textFromValue(static_cast<int>(k + 1))) return static_cast<int>(k + 1);
        }
        return value();
    }
    QValidator::State validate(QString& text, int&) const override {
        for (std::size_t k = 0; k < DelayLabels.size(); ++k) {
            if (text == textFromValue(static_cast<int>(k + 1))) return QValidator::Acceptable;
        }
        return QValidator::Intermediate;
    }
};

enum class Face { Waiting, Right, Wrong };

// Our own three faces: a plain yellow face whose mouth waits, smiles or frowns.
QPixmap facePixmap(Face face) {
    constexpr int Size = 40;
    QPixmap pm(Size, Size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(120, 90, 0), 1.5));
    p.setBrush(QColor(255, 214, 60));
    p.drawEllipse(QRectF(2, 2, Size - 4, Size - 4));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 40, 0));
    p.drawEllipse(QRectF(12, 12, 5, 6));
    p.drawEllipse(QRectF(23, 12, 5, 6));
    p.setPen(QPen(QColor(60, 40, 0), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    const QRectF mouth(11, 18, 18, 12);
    switch (face) {
        case Face::Waiting: p.drawLine(QPointF(13, 28), QPointF(27, 28)); break;
        case Face::Right: p.drawArc(mouth, 200 * 16, 140 * 16); break;
        case Face::Wrong: p.drawArc(mouth.translated(0, 10), 20 * 16, 140 * 16); break;
    }
    return pm;
}

QLabel* faceLabel(QWidget* parent, const char* name, Face face) {
    auto* l = named(new QLabel(parent), name);
    l->setPixmap(facePixmap(face));
    return l;
}

}  // namespace

QuizMode::QuizMode(TForm1& form) : f_(form) {
    build();
    wire();
    form.play().addMode(*this);
    // A typed replay greys the quiz like any other activity; the quiz itself keeps it.
    form.addActivityControl(QuizGroupBox);
}

void QuizMode::build() {
    QuizGroupBox = named(new QGroupBox(f_.RightArea), "QuizGroupBox");
    QuizGroupBox->hide();
    f_.addModeView(QuizGroupBox);
    auto* g = new QGridLayout(QuizGroupBox);

    QuizLabel = named(new QLabel(QuizGroupBox), "QuizLabel");
    LabelQuizNumber = named(new QLabel(QuizGroupBox), "LabelQuizNumber");
    SpinEditQuizNumber = named(new QSpinBox(QuizGroupBox), "SpinEditQuizNumber");
    SpinEditQuizNumber->setRange(5, 1000);
    SpinEditQuizNumber->setSingleStep(5);
    SpinEditQuizNumber->setValue(100);
    LabelDelay = named(new QLabel(QuizGroupBox), "LabelDelay");
    UpDownDelay = named(new DelaySpinBox(QuizGroupBox), "UpDownDelay");
    EditDelay = named(UpDownDelay->findChild<QLineEdit*>(), "EditDelay");
    EditDelay->setReadOnly(true);
    EditDelay->setToolTip(QStringLiteral("min=0.25/max=9"));
    LabelQuizCaracters = named(new QLabel(QuizGroupBox), "LabelQuizCaracters");
    EditCaractersQuiz = named(new QLineEdit(QuizGroupBox), "EditCaractersQuiz");
    EditCaractersQuiz->setReadOnly(true);
    makeLowerCase(EditCaractersQuiz);
    EditCaractersQuiz->setText(QStringLiteral(" all"));
    LabelCaractersChange = named(new QLabel(QuizGroupBox), "LabelCaractersChange");
    LabelCaractersChange->setWordWrap(true);
    EditRandomQuiz = named(new QLineEdit(QuizGroupBox), "EditRandomQuiz");
    EditRandomQuiz->hide();
    makeLowerCase(EditRandomQuiz);
    EditReponseQuiz = named(new QLineEdit(QuizGroupBox), "EditReponseQuiz");
    makeLowerCase(EditReponseQuiz);
    ButtonQuizOK = named(new QPushButton(QStringLiteral("OK"), QuizGroupBox), "ButtonQuizOK");
    ButtonQuizStop = named(new QPushButton(QStringLiteral("Stop"), QuizGroupBox), "ButtonQuizStop");
    ButtonQuizStop->hide();
    ButtonQuizStop->setEnabled(false);

    int row = 0;
    g->addWidget(LabelQuizNumber, row, 0);
    g->addWidget(SpinEditQuizNumber, row++, 1);
    g->addWidget(LabelDelay, row, 0);
    g->addWidget(UpDownDelay, row++, 1);
    g->addWidget(LabelQuizCaracters, row, 0);
    g->addWidget(EditCaractersQuiz, row++, 1);
    g->addWidget(LabelCaractersChange, row++, 0, 1, 2);
    g->addWidget(QuizLabel, row++, 0, 1, 2);
    g->addWidget(EditReponseQuiz, row, 0);
    // OK and Stop share one place.
    g->addWidget(ButtonQuizOK, row, 1);
    g->addWidget(ButtonQuizStop, row++, 1);
    g->addWidget(EditRandomQuiz, row++, 0);

    GroupBoxQuiz = named(new QGroupBox(QuizGroupBox), "GroupBoxQuiz");
    auto* r = new QGridLayout(GroupBoxQuiz);
    Visage0 = faceLabel(GroupBoxQuiz, "Visage0", Face::Waiting);
    VisageHa = faceLabel(GroupBoxQuiz, "VisageHa", Face::Right);
    VisageHo = faceLabel(GroupBoxQuiz, "VisageHo", Face::Wrong);
    VisageHa->hide();
    VisageHo->hide();
    StaticText1 = named(new QLabel(GroupBoxQuiz), "StaticText1");
    StaticText1->setAlignment(Qt::AlignCenter);
    EditMark = named(new QLineEdit(GroupBoxQuiz), "EditMark");
    EditMark->setReadOnly(true);
    EditMark->setAutoFillBackground(true);
    ButtonMark = named(new QPushButton(QStringLiteral("&Mark"), GroupBoxQuiz), "ButtonMark");
    StaticText2 = named(new QLabel(GroupBoxQuiz), "StaticText2");
    EditRevise = named(new QLineEdit(GroupBoxQuiz), "EditRevise");
    EditRevise->setReadOnly(true);
    ButtonResetReport = named(new QPushButton(GroupBoxQuiz), "ButtonResetReport");
    // The three faces share one place.
    r->addWidget(Visage0, 0, 0, 2, 1);
    r->addWidget(VisageHa, 0, 0, 2, 1);
    r->addWidget(VisageHo, 0, 0, 2, 1);
    r->addWidget(StaticText1, 0, 1);
    r->addWidget(EditMark, 1, 1);
    r->addWidget(ButtonMark, 1, 2);
    r->addWidget(StaticText2, 2, 0, 1, 3);
    r->addWidget(EditRevise, 3, 0, 1, 3);
    r->addWidget(ButtonResetReport, 4, 0, 1, 3, Qt::AlignHCenter);
    g->addWidget(GroupBoxQuiz, row++, 0, 1, 2);
    g->setRowStretch(row, 1);

    TimerQuiz = named(new QTimer(&f_), "TimerQuiz");
    TimerQuiz->setInterval(delayMilliseconds(DefaultDelayPosition));
    TimerFinQuiz = named(new QTimer(&f_), "TimerFinQuiz");
    TimerFinQuiz->setInterval(500);

    // Hidden menu items: only their keys act, while the window has the focus.
    UpDelai = named(new QAction(QStringLiteral("UpDelai"), &f_), "UpDelai");
    UpDelai->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_U));
    DownDelai = named(new QAction(QStringLiteral("DownDelai"), &f_), "DownDelai");
    DownDelai->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_D));
    for (QAction* a : {UpDelai, DownDelai}) {
        a->setShortcutContext(Qt::WindowShortcut);
        f_.MenuDelai->addAction(a);
        f_.addAction(a);
    }
}

void QuizMode::wire() {
    TForm1& f = f_;
    QObject::connect(f.RadioButtonQuiz, &QRadioButton::clicked, &f,
                     [this] { RadioButtonQuizClick(); });
    QObject::connect(ButtonQuizOK, &QPushButton::clicked, &f, [this] { ButtonQuizOKClick(); });
    QObject::connect(ButtonQuizStop, &QPushButton::clicked, &f, [this] { ButtonQuizStopClick(); });
    QObject::connect(ButtonMark, &QPushButton::clicked, &f, [this] { ButtonMarkClick(); });
    QObject::connect(ButtonResetReport, &QPushButton::clicked, &f,
                     [this] { ButtonResetReportClick(); });
    QObject::connect(EditReponseQuiz, &QLineEdit::textChanged, &f,
                     [this] { EditReponseQuizChange(); });
    QObject::connect(UpDownDelay, &QSpinBox::valueChanged, &f, [this] { UpDownDelayClick(); });
    QObject::connect(SpinEditQuizNumber, &QSpinBox::valueChanged, &f,
                     [this] { SpinEditQuizNumberChange(); });
    QObject::connect(TimerQuiz, &QTimer::timeout, &f, [this] { TimerQuizTimer(); });
    QObject::connect(TimerFinQuiz, &QTimer::timeout, &f, [this] { TimerFinQuizTimer(); });
    QObject::connect(UpDelai, &QAction::triggered, &f, [this] { UpDelaiClick(); });
    QObject::connect(DownDelai, &QAction::triggered, &f, [this] { DownDelaiClick(); });
    onMousePress(EditMark, [this] { EditMarkClick(); });
    onMousePress(EditCaractersQuiz, [this] { EditCaractersQuizClick(); });
}

// --- What other parts ask of the quiz --------------------------------------------------------

void QuizMode::stopQuiz() {
    // Not through the Stop button, which would only close a side panel left open.
    if (quizOn_) f_.play().stopPlaying();
}

void QuizMode::setOkEnabled(bool on) {
    ButtonQuizOK->setEnabled(on && !quizOn_);
}

void QuizMode::showSetName(const QString& name) {
    EditCaractersQuiz->setText(QLatin1Char(' ') + name);
}

void QuizMode::startUp() {
    questionsAsked_ = 0;
    correctAnswers_ = 0;
    reviseList_.clear();
    quizRemaining_ = SpinEditQuizNumber->value();
}

void QuizMode::quitAsked() {
    // No answer is judged while the question is on screen.
    TimerQuiz->stop();
    ButtonQuizOK->setText(QStringLiteral("OK"));
}

// --- The quiz ------------------------------------------------------------------------------------

void QuizMode::showFace(QLabel* face) {
    for (QLabel* l : {Visage0, VisageHa, VisageHo}) l->setVisible(l == face);
}

void QuizMode::showOkButton() {
    ButtonQuizOK->show();
    ButtonQuizOK->setEnabled(true);
    ButtonQuizStop->hide();
    ButtonQuizStop->setEnabled(false);
}

void QuizMode::RadioButtonQuizClick() {
    // The button stays pressable during a quiz; choosing the mode it is in already must
    // not bring the OK button back under a question.
    if (quizOn_) return;
    // The file buttons as after a file run: Play, Resume or neither.
    f_.fileMode().refreshFileButtons();
    f_.showModeView(QuizGroupBox);
    // The editors of the characters the quiz asks for close.
    if (!f_.localCharacters().PanelLocalCharacters->isHidden()) {
        f_.localCharacters().ButtonLocalCaractereExitClick();
    }
    if (!f_.shortcutPanel().PanelLocalShortcut->isHidden()) {
        f_.shortcutPanel().ButtonShortcutExitClick();
    }
    showOkButton();
    f_.randomMode().setQuickRandomEnabled(false);
    f_.randomMode().clearPlayRequested();
    f_.Editcaractere->setFocus();
    quizRemaining_ = SpinEditQuizNumber->value();
}

void QuizMode::noCharactersToPlay() {
    showOkButton();
    f_.showStop(false);
    TimerQuiz->stop();
    quizOn_ = false;
    f_.ui().warning(&f_, QString::fromUtf8(f_.texts().shared.msgNoMorseCharacters));
    f_.Editcaractere->setEnabled(true);
    f_.setActivityControlsEnabled(true);
    f_.Editcaractere->setFocus();
    f_.play().engine().pendingText().clear();
}

void QuizMode::ButtonQuizOKClick() {
    const CharacterSet set = f_.randomMode().currentSet();
    if (set.count <= 0 || set.first < 0 || set.first + set.count > CharacterListSize) {
        noCharactersToPlay();
        return;
    }
    f_.closeOpenSidePanel(TForm1::PanelCloser::StopOrQuit);

    ButtonQuizStop->show();
    ButtonQuizStop->setEnabled(true);
    ButtonQuizOK->hide();
    ButtonQuizOK->setEnabled(false);
    f_.showStop(true);
    // Everything that would start another activity, the message buttons included, but
    // not the quiz's own controls.
    f_.setActivityControlsEnabled(false);
    QuizGroupBox->setEnabled(true);
    f_.RadioButtonQuiz->setEnabled(true);
    f_.Editcaractere->setEnabled(false);
    f_.ButtonPlayFile->setEnabled(false);
    f_.ButtonContinueFile->setEnabled(false);
    f_.ButtonReplayText->setEnabled(false);

    const auto drawn = static_cast<int>(f_.random()(static_cast<std::uint32_t>(set.count)));
    const auto character =
        static_cast<char>(static_cast<unsigned char>(f_.characters().entries[set.first + drawn]));
    std::string& pending = f_.play().engine().pendingText();
    pending.assign(1, character);
    EditRandomQuiz->setText(toQString(pending));
    quizOn_ = true;
    EditReponseQuiz->setFocus();
    EditReponseQuiz->clear();
    ++questionsAsked_;
    questionOpen_ = true;
    // No PTT: the quiz goes straight to the start step, after a lost device has had its
    // second chance as at any play action.
    f_.play().engine().recoverOutput(f_.play().clockMs());
    f_.play().engine().start();
}

void QuizMode::EditReponseQuizChange() {
    // The next key replaces the answer: it is one character.
    if (!EditReponseQuiz->text().isEmpty()) EditReponseQuiz->setSelection(0, 1);
}

void QuizMode::TimerQuizTimer() {
    TimerQuiz->stop();
    questionOpen_ = false;
    const QString question = EditRandomQuiz->text();
    if (EditReponseQuiz->text() == question) {
        showFace(VisageHa);
        ++correctAnswers_;
    } else {
        showFace(VisageHo);
        const std::string c = utf8ToCp1252(question.toStdString());
        if (c.size() == 1 && reviseList_.find(c[0]) == std::string::npos) {
            const auto code = [](char x) { return static_cast<unsigned char>(x); };
            const auto at = std::find_if(reviseList_.begin(), reviseList_.end(),
                                         [&](char x) { return code(x) > code(c[0]); });
            reviseList_.insert(at, c[0]);
        }
    }
    // A report reset while the quiz waits for its end leaves nothing asked.
    const int percent = questionsAsked_ > 0
                            ? static_cast<int>(nearest(100.0L * correctAnswers_ / questionsAsked_))
                            : 0;
    EditMark->setText(
        QStringLiteral("%1/%2 = %3%").arg(correctAnswers_).arg(questionsAsked_).arg(percent));
    if (!quizOn_) return;
    if (quizRemaining_ < 2) {
        quizRemaining_ = SpinEditQuizNumber->value();
        f_.ui().beep();
        TimerFinQuiz->start();
    } else {
        --quizRemaining_;
        ButtonQuizOKClick();
    }
}

void QuizMode::TimerFinQuizTimer() {
    TimerFinQuiz->stop();
    ButtonQuizStopClick();
}

void QuizMode::ButtonQuizStopClick() {
    f_.play().ButtonStopClick();
}

void QuizMode::ButtonMarkClick() {
    if (QuizGroupBox->isHidden() || quizOn_) return;
    f_.play().engine().pendingText() +=
        std::to_string(correctAnswers_).append("/").append(std::to_string(questionsAsked_));
    f_.play().engine().start();
}

void QuizMode::EditMarkClick() {
    // Black on black hides the mark from the student; the window's colours show it again.
    markHidden_ = !markHidden_;
    QPalette p = f_.palette();
    if (markHidden_) {
        p.setColor(QPalette::Base, Qt::black);
        p.setColor(QPalette::Text, Qt::black);
    }
    EditMark->setPalette(p);
    EditReponseQuiz->setFocus();
}

void QuizMode::EditCaractersQuizClick() {
    f_.randomMode().MenuChoixCaracteresClick();
}

void QuizMode::ButtonResetReportClick() {
    correctAnswers_ = 0;
    quizRemaining_ = SpinEditQuizNumber->value();
    // The question in progress counts; in the half second after a quiz's last judgement
    // there is none.
    questionsAsked_ = questionOpen_ ? 1 : 0;
    EditMark->clear();
    EditRevise->clear();
    reviseList_.clear();
    if (!quizOn_) f_.Editcaractere->setFocus();
}

void QuizMode::UpDownDelayClick() {
    TimerQuiz->setInterval(delayMilliseconds(UpDownDelay->value()));
}

void QuizMode::setDelayPosition(int position) {
    UpDownDelay->setValue(position);
    UpDownDelayClick();
}

void QuizMode::UpDelaiClick() {
    if (UpDownDelay->value() < UpDownDelay->maximum()) {
        const QSignalBlocker once(UpDownDelay);
        UpDownDelay->setValue(UpDownDelay->value() + 1);
    }
    UpDownDelayClick();
}

void QuizMode::DownDelaiClick() {
    if (UpDownDelay->value() > UpDownDelay->minimum()) {
        const QSignalBlocker once(UpDownDelay);
        UpDownDelay->setValue(UpDownDelay->value() - 1);
    }
    UpDownDelayClick();
}

void QuizMode::SpinEditQuizNumberChange() {
    quizRemaining_ = SpinEditQuizNumber->value();
}

// --- Its part in the play control's steps --------------------------------------------------

void QuizMode::adjustCharacter(CharacterSettings& c) const {
    // The answer delay starts right after the sound, whatever the spacing.
    if (quizOn_) c.gapKind = CharGapKind::Quiz;
}

bool QuizMode::takeOverEnd() {
    if (!quizOn_) return false;
    showFace(Visage0);
    TimerQuiz->start();
    return true;
}

void QuizMode::stopped(const std::optional<std::string>& /*unplayed*/) {
    if (quizOn_) {
        // A question that was never judged, whether it was still sounding or waiting
        // for its answer, is not counted (otherwise it would weigh on the mark as a wrong
        // answer for good); the mark stays as it was.
        if (questionOpen_) --questionsAsked_;
        EditRevise->setText(toQString(reviseList_));
        showFace(Visage0);
        showOkButton();
    }
    TimerQuiz->stop();
    TimerFinQuiz->stop();
    quizOn_ = false;
    questionOpen_ = false;
    if (!QuizGroupBox->isHidden() && !f_.play().fileText()) f_.typed().typedTextFocus();
}

}  // namespace kb

#pragma once
// The quiz: one random character of the random mode's current set at a time, a settable
// delay to type it, a judgement (a face, the running mark, the characters to revise in
// code order), and on to the next question until the chosen number has been asked. The
// mark can be hidden and played in Morse. It builds its group in the right-hand area,
// the answer-delay keys and its two timers; it plays without PTT, straight through the
// engine's start step. GUI thread only.

#include <QString>
#include <string>

#include "modes/mode.h"

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTimer;

namespace kb {

class TForm1;

class QuizMode final : public Mode {
public:
    // Builds QuizGroupBox (hidden), the timers and the delay keys, and registers with
    // the play control.
    explicit QuizMode(TForm1& form);

    // A quiz is in progress (QuizOn): from its first question to its end or Stop.
    bool quizOn() const { return quizOn_; }
    // A running quiz is stopped as the Stop button stops it; nothing otherwise.
    void stopQuiz();
    // The OK button is off while a side panel is open; it stays off during a quiz.
    void setOkEnabled(bool on);
    // The character set's name as its menu item gives it (" Letters"), shown in lower case.
    void showSetName(const QString& name);

    // Start-up: the report from nothing, the quiz length from its spin edit.
    void startUp();
    // Quit is about to ask its question: no answer is judged behind the box.
    void quitAsked();

    // Handlers.
    void RadioButtonQuizClick();
    void ButtonQuizOKClick();
    void EditReponseQuizChange();
    void TimerQuizTimer();
    void TimerFinQuizTimer();
    void ButtonQuizStopClick();
    void ButtonMarkClick();
    void EditMarkClick();
    void EditCaractersQuizClick();
    void ButtonResetReportClick();
    void UpDownDelayClick();
    void UpDelaiClick();
    void DownDelaiClick();
    void SpinEditQuizNumberChange();
    // DELAY= at start-up: the position, its label and its interval.
    void setDelayPosition(int position);

    // The report.
    int questionsAsked() const { return questionsAsked_; }
    int correctAnswers() const { return correctAnswers_; }
    int quizRemaining() const { return quizRemaining_; }
    // The characters answered wrongly, each once, in code order (Windows-1252).
    const std::string& reviseList() const { return reviseList_; }

    // Mode.
    bool waitingForAnswer() const override { return quizOn_; }
    void adjustCharacter(CharacterSettings& c) const override;
    bool takeOverEnd() override;
    void stopped(const std::optional<std::string>& unplayed) override;

    QGroupBox* QuizGroupBox = nullptr;
    QLabel* QuizLabel = nullptr;
    QLabel* LabelQuizNumber = nullptr;
    QSpinBox* SpinEditQuizNumber = nullptr;
    QLabel* LabelDelay = nullptr;
    QSpinBox* UpDownDelay = nullptr;
    QLineEdit* EditDelay = nullptr;  // UpDownDelay's own read-only edit
    QLabel* LabelQuizCaracters = nullptr;
    QLineEdit* EditCaractersQuiz = nullptr;
    QLabel* LabelCaractersChange = nullptr;
    QLineEdit* EditRandomQuiz = nullptr;  // hidden: the question's character
    QLineEdit* EditReponseQuiz = nullptr;
    QGroupBox* GroupBoxQuiz = nullptr;
    QLabel* Visage0 = nullptr;
    QLabel* VisageHa = nullptr;
    QLabel* VisageHo = nullptr;
    QLineEdit* EditMark = nullptr;
    QLabel* StaticText1 = nullptr;
    QLabel* StaticText2 = nullptr;
    QLineEdit* EditRevise = nullptr;
    QPushButton* ButtonResetReport = nullptr;
    QPushButton* ButtonQuizOK = nullptr;
    QPushButton* ButtonQuizStop = nullptr;
    QPushButton* ButtonMark = nullptr;
    QTimer* TimerQuiz = nullptr;     // the answer delay
    QTimer* TimerFinQuiz = nullptr;  // the end, half a second after the last judgement
    QAction* UpDelai = nullptr;      // Ctrl+Alt+U
    QAction* DownDelai = nullptr;    // Ctrl+Alt+D

private:
    void build();
    void wire();
    void showFace(QLabel* face);
    void showOkButton();
    void noCharactersToPlay();

    TForm1& f_;
    bool quizOn_ = false;
    int questionsAsked_ = 0;
    int correctAnswers_ = 0;
    int quizRemaining_ = 0;
    std::string reviseList_;
    bool questionOpen_ = false;  // asked and not yet judged
    bool markHidden_ = false;    // EditMark black on black
};

}  // namespace kb

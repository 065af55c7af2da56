// Stub: replaced by the quiz.
#include "modes/quiz_mode.h"

namespace kb {

QuizMode::QuizMode(TForm1& /*form*/) {}

bool QuizMode::quizOn() const {
    return false;
}

void QuizMode::stopQuiz() {}

void QuizMode::setOkEnabled(bool /*on*/) {}

void QuizMode::showSetName(const QString& /*name*/) {}

}  // namespace kb

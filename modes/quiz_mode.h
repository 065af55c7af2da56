#pragma once
// Stub: replaced by the quiz.
// The few members of the quiz that the random mode calls, so that this branch builds
// alone; the quiz itself arrives with its own branch.

#include <QString>

#include "modes/mode.h"

namespace kb {

class TForm1;

class QuizMode : public Mode {
public:
    explicit QuizMode(TForm1& form);

    bool quizOn() const;
    void stopQuiz();
    void setOkEnabled(bool on);
    void showSetName(const QString& name);
};

}  // namespace kb

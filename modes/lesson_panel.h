#pragma once
// The local-lessons panel: picks one of the 60 lessons by number and rewrites it. The
// lessons themselves belong to the random mode, whose choice panel lists them and whose
// chosen set may be taken from one. GUI thread only.

#include <QObject>

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kb {

class RandomMode;
class TForm1;

class LessonPanel {
public:
    LessonPanel(TForm1& form, RandomMode& random);
    ~LessonPanel();

    void MenuLocallessonClick();
    void EditNumeroLessonChange();
    void EditCaractereLessonChange();
    void ButtonLocalLessonEnterClick();
    void ButtonLocalLessonExitClick();

    // The lesson being edited, 1..60; 0 none.
    int lessonNumber() const { return lessonNumber_; }

    QAction* MenuLocallesson = nullptr;
    QFrame* PanelLocalLesson = nullptr;
    QLabel* LabelLocalLesson = nullptr;
    QLineEdit* EditNumeroLesson = nullptr;
    QLabel* LabelNumeroLesson = nullptr;
    QLineEdit* EditCaractereLesson = nullptr;
    QLabel* LabelCaractereLesson = nullptr;
    QPushButton* ButtonLocalLessonEnter = nullptr;
    QPushButton* ButtonLocalLessonExit = nullptr;

private:
    TForm1& f_;
    QObject context_;  // of the connections made here: they end with this panel
    RandomMode& random_;
    int lessonNumber_ = 0;  // LessonNumber
};

}  // namespace kb

#pragma once
// The typed-text box: a line edit that hands each key to the typed-text mode before it
// edits its own text, as the mode needs to queue the character first. GUI thread only.

#include <QLineEdit>

namespace kb {

class TForm1;

class TypedTextEdit : public QLineEdit {
    Q_OBJECT

public:
    TypedTextEdit(TForm1& form, QWidget* parent);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    TForm1& form_;
};

}  // namespace kb

#pragma once
// Two behaviours of the classic edits that Qt's line edit lacks: an edit that holds
// lower case only (typed, pasted or set), and a click on a read-only edit that acts as a
// button. GUI thread only.

#include <QEvent>
#include <QLineEdit>
#include <QValidator>
#include <functional>
#include <utility>

namespace kb {

class LowerCaseValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& /*pos*/) const override {
        input = input.toLower();
        return Acceptable;
    }
};

// The line edit's validator also runs on setText, so nothing upper-case gets in.
inline void makeLowerCase(QLineEdit* edit) {
    edit->setValidator(new LowerCaseValidator(edit));
}

class MousePressAction final : public QObject {
public:
    MousePressAction(QWidget* w, std::function<void()> action)
        : QObject(w), action_(std::move(action)) {
        w->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::MouseButtonPress) action_();
        return QObject::eventFilter(watched, e);
    }

private:
    std::function<void()> action_;
};

// `action` runs each time the widget is pressed with a mouse button; the widget still
// gets the press.
inline void onMousePress(QWidget* w, std::function<void()> action) {
    new MousePressAction(w, std::move(action));
}

}  // namespace kb

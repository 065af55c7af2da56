#pragma once
// Small helpers for building the window's widgets the same way everywhere. GUI thread only.

#include <QAbstractButton>
#include <QEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QShortcut>
#include <QString>
#include <functional>
#include <utility>

namespace kb {

// Gives a widget (or action) its name: the member name the code uses is also its Qt
// objectName, which tests and the language tables look it up by.
template <typename W>
W* named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

// The title of a side panel: centred on the highlight colour.
inline QLabel* panelTitle(QWidget* parent, const char* name) {
    auto* title = named(new QLabel(parent), name);
    title->setAlignment(Qt::AlignCenter);
    title->setAutoFillBackground(true);
    title->setBackgroundRole(QPalette::Highlight);
    title->setForegroundRole(QPalette::HighlightedText);
    return title;
}

// Hands each key press a widget receives to `hook` before the widget sees it (Enter and
// Escape in a panel's edits); a true return swallows the key. Lives as long as the widget.
class KeyHook : public QObject {
public:
    KeyHook(QWidget* target, std::function<bool(int qtKey)> hook)
        : QObject(target), hook_(std::move(hook)) {
        target->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* e) override {
        return e->type() == QEvent::KeyPress && hook_(static_cast<QKeyEvent*>(e)->key());
    }

private:
    std::function<bool(int)> hook_;
};

// A dialog's default and cancel buttons for a side panel: Return (and keypad Enter)
// presses `enter`, Escape presses `exit`, wherever in the panel the focus is, its own
// buttons included.
inline void panelEnterAndExit(QWidget* panel, QAbstractButton* enter, QAbstractButton* exit) {
    const auto bind = [panel](Qt::Key key, QAbstractButton* button) {
        auto* shortcut = new QShortcut(QKeySequence(key), panel);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        QObject::connect(shortcut, &QShortcut::activated, button, &QAbstractButton::click);
    };
    bind(Qt::Key_Return, enter);
    bind(Qt::Key_Enter, enter);
    bind(Qt::Key_Escape, exit);
}

}  // namespace kb

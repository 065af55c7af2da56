#include "ui/typed_text_edit.h"

#include <QKeyEvent>

#include "core/cp1252.h"
#include "modes/typed_text.h"
#include "ui/form1.h"

namespace kb {

TypedTextEdit::TypedTextEdit(TForm1& form, QWidget* parent) : QLineEdit(parent), form_(form) {}

void TypedTextEdit::keyPressEvent(QKeyEvent* e) {
    TypedTextMode& typed = form_.typed();
    switch (e->key()) {
        case Qt::Key_Escape: typed.EscapeKey(); return;
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown: typed.EditcaractereKeyDown(e->key()); return;
        case Qt::Key_Return:
        case Qt::Key_Enter: typed.EditCaractereKeyPress(13); return;  // swallowed
        case Qt::Key_Backspace:
            typed.EditCaractereKeyPress(8);
            QLineEdit::keyPressEvent(e);
            return;
        default: break;
    }
    // What the box inserts is what is queued: it inserts no text with Ctrl or Meta held
    // (Alt+key is either a menu key, which never arrives here, or a character).
    const auto mods = e->modifiers();
    const bool command = (mods & Qt::ControlModifier) || (mods & Qt::MetaModifier);
    const QString text = e->text();
    if (!command && !text.isEmpty() && text.at(0).isPrint()) {
        for (char32_t cp : text.toStdU32String()) {
            if (!typed.EditCaractereKeyPress(unicodeToCp1252(cp))) return;
        }
    }
    QLineEdit::keyPressEvent(e);
}

void TypedTextEdit::inputMethodEvent(QInputMethodEvent* e) {
    // Composed characters (dead keys, compose sequences) arrive committed here.
    for (char32_t cp : e->commitString().toStdU32String()) {
        form_.typed().EditCaractereKeyPress(unicodeToCp1252(cp));
    }
    QLineEdit::inputMethodEvent(e);
}

void TypedTextEdit::mousePressEvent(QMouseEvent* e) {
    form_.typed().EditcaractereClick();
    QLineEdit::mousePressEvent(e);
}

}  // namespace kb

#pragma once
// Small helpers for building the window's widgets the same way everywhere. GUI thread only.

#include <QLabel>
#include <QString>

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

}  // namespace kb

#pragma once
// What the main window asks of the desktop: message boxes, the open and save dialogs, the
// information beep and the end of the program. Tests hand in a recording fake; the program uses
// QtUiServices.

#include <QString>

class QWidget;

namespace kb {

class UiServices {
public:
    virtual ~UiServices() = default;
    // A warning box with one OK button.
    virtual void warning(QWidget* parent, const QString& text) = 0;
    // An information box with one OK button, waiting until it is closed (the about box).
    // Nothing by default, for stand-ins that have no use for it.
    virtual void information(QWidget* /*parent*/, const QString& /*text*/) {}
    // An error box with one OK button (device and file errors).
    virtual void error(QWidget* parent, const QString& text) = 0;
    // A Yes / No question; true for Yes.
    virtual bool confirm(QWidget* parent, const QString& text) = 0;
    // A save dialog offering `defaultName`, with a Qt name filter ("Text (*.txt);;All
    // (*.*)") and a prompt before an existing file is replaced. The chosen path, or an
    // empty string when the user cancelled (as a desktop without dialogs always does).
    virtual QString saveFileName(QWidget* /*parent*/, const QString& /*defaultName*/,
                                 const QString& /*filter*/) {
        return {};
    }
    // An open dialog with a Qt name filter. The chosen path, or an empty string when the
    // user cancelled (as a desktop without dialogs always does).
    virtual QString openFileName(QWidget* /*parent*/, const QString& /*filter*/) { return {}; }
    virtual void beep() = 0;
    // Ends the program (after the shutdown steps have run).
    virtual void terminate() = 0;
};

class QtUiServices final : public UiServices {
public:
    void warning(QWidget* parent, const QString& text) override;
    void information(QWidget* parent, const QString& text) override;
    void error(QWidget* parent, const QString& text) override;
    bool confirm(QWidget* parent, const QString& text) override;
    QString saveFileName(QWidget* parent, const QString& defaultName,
                         const QString& filter) override;
    QString openFileName(QWidget* parent, const QString& filter) override;
    void beep() override;
    void terminate() override;
};

}  // namespace kb

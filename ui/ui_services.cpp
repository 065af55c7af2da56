#include "ui/ui_services.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

namespace kb {

void QtUiServices::warning(QWidget* parent, const QString& text) {
    QMessageBox::warning(parent, QStringLiteral("Keybird"), text);
}

void QtUiServices::information(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, QStringLiteral("Keybird"), text);
}

void QtUiServices::error(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, QStringLiteral("Keybird"), text);
}

bool QtUiServices::confirm(QWidget* parent, const QString& text) {
    return QMessageBox::question(parent, QStringLiteral("Keybird"), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

QString QtUiServices::saveFileName(QWidget* parent, const QString& defaultName,
                                   const QString& filter) {
    // The overwrite prompt is the dialog's own default.
    return QFileDialog::getSaveFileName(parent, QString(), defaultName, filter);
}

QString QtUiServices::openFileName(QWidget* parent, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
}

void QtUiServices::beep() {
    QApplication::beep();
}

void QtUiServices::terminate() {
    // Queued, so that the handler that asked for it returns first.
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

}  // namespace kb

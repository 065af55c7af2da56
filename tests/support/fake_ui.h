#pragma once
// Message boxes, the save dialog, beep and program end, recorded instead of shown.

#include <QString>
#include <QStringList>

#include "ui/ui_services.h"

namespace kb::test {

class FakeUi : public UiServices {
public:
    void warning(QWidget*, const QString& text) override { warnings << text; }
    void error(QWidget*, const QString& text) override { errors << text; }
    bool confirm(QWidget*, const QString& text) override {
        questions << text;
        return answerYes;
    }
    QString saveFileName(QWidget*, const QString& defaultName, const QString& filter) override {
        saveRequests << defaultName;
        saveFilter = filter;
        return saveAnswer;
    }
    void beep() override { ++beeps; }
    void terminate() override { ++terminations; }

    bool answerYes = true;
    QString saveAnswer;  // the path the save dialog returns; empty: cancelled
    QStringList saveRequests;
    QString saveFilter;
    QStringList warnings, errors, questions;
    int beeps = 0;
    int terminations = 0;
};

}  // namespace kb::test

#pragma once
// Message boxes, the open and save dialogs, beep and program end, recorded instead of shown.

#include <QString>
#include <QStringList>

#include "ui/ui_services.h"

namespace kb::test {

class FakeUi : public UiServices {
public:
    void warning(QWidget*, const QString& text) override { warnings << text; }
    void information(QWidget*, const QString& text) override { informations << text; }
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
    QString openFileName(QWidget*, const QString& filter) override {
        ++openRequests;
        openFilter = filter;
        return openAnswer;
    }
    void beep() override { ++beeps; }
    void terminate() override { ++terminations; }

    bool answerYes = true;
    QString saveAnswer;  // the path the save dialog returns; empty: cancelled
    QStringList saveRequests;
    QString openAnswer;  // the path the open dialog returns; empty: cancelled
    int openRequests = 0;
    QString openFilter;
    QString saveFilter;
    QStringList warnings, errors, questions, informations;
    int beeps = 0;
    int terminations = 0;
};

}  // namespace kb::test

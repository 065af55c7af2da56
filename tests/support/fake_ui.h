#pragma once
// Message boxes, beep and program end, recorded instead of shown.

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
    void beep() override { ++beeps; }
    void terminate() override { ++terminations; }

    bool answerYes = true;
    QStringList warnings, errors, questions;
    int beeps = 0;
    int terminations = 0;
};

}  // namespace kb::test

#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel w("KEYBIRD 3.1.7 - THE  MORSE  CODE  TEACHER  &  TRAINER");
    w.setWindowTitle("KEYBIRD 3.1.7 - THE  MORSE  CODE  TEACHER  &  TRAINER");
    w.show();
    return app.exec();
}

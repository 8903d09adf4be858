#include <QApplication>
#include <clocale>

#include "app/Form1.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // libmpv needs the C number format; the console takes the user's separator on its own.
    std::setlocale(LC_NUMERIC, "C");
    Form1 window;
    window.show();
    app.exec();
    return 0;
}

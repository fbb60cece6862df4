#include "ui/form1.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnwick"));

    Form1 window;
    window.StartUp();
    return app.exec();
}

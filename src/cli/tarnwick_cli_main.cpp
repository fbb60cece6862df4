#include "cli/cli_app.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarnwick-cli"));
    return runTarnwickCli(QCoreApplication::arguments());
}

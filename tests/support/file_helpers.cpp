#include "support/file_helpers.h"

#include <QFile>

#include <unistd.h>

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable: " + file.errorString().toUtf8() + ">";
    return file.readAll();
}

bool runningAsRoot()
{
    return ::geteuid() == 0;
}

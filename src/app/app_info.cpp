#include "app/app_info.h"

#include "app/version.h"

#include <QCoreApplication>
#include <QDir>

namespace AppInfo {

QString title()
{
    return QStringLiteral("Tarnwick");
}

int versionMajor()
{
    return TARNWICK_VERSION_MAJOR;
}

int versionMinor()
{
    return TARNWICK_VERSION_MINOR;
}

int versionRevision()
{
    return TARNWICK_VERSION_REVISION;
}

QString captionWithVersion(const QString &designedCaption)
{
    return designedCaption + QStringLiteral(" - V ") + QString::number(versionMajor()) + u'.'
        + QString::number(versionMinor());
}

QString versionLine()
{
    return QStringLiteral("Version ") + QString::number(versionMajor()) + u'.'
        + QString::number(versionMinor()) + u'.' + QString::number(versionRevision());
}

QString programFolder()
{
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

QString defaultSettingsFile()
{
    return programFolder() + QDir::separator() + QStringLiteral("tarnwick.txt");
}

} // namespace AppInfo

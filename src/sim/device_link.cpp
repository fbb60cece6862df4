#include "sim/device_link.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <unistd.h>

DeviceLink::~DeviceLink()
{
    remove();
}

bool DeviceLink::create(const QString &linkPath, const QString &target, QString *error)
{
    remove();
    const QFileInfo existing(linkPath);
    if (existing.isSymLink()) {
        if (::unlink(QFile::encodeName(linkPath).constData()) != 0) {
            *error = QStringLiteral("cannot replace the link %1: %2")
                         .arg(linkPath, QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
    } else if (existing.exists()) {
        *error = QStringLiteral("%1 exists and is not a symbolic link; not replacing it").arg(linkPath);
        return false;
    }
    if (::symlink(QFile::encodeName(target).constData(), QFile::encodeName(linkPath).constData()) != 0) {
        *error = QStringLiteral("cannot create the link %1: %2")
                     .arg(linkPath, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    m_linkPath = linkPath;
    m_target = target;
    return true;
}

void DeviceLink::remove()
{
    if (m_linkPath.isEmpty())
        return;
    const QFileInfo link(m_linkPath);
    if (link.isSymLink() && link.symLinkTarget() == QFileInfo(m_target).absoluteFilePath())
        ::unlink(QFile::encodeName(m_linkPath).constData());
    m_linkPath.clear();
    m_target.clear();
}

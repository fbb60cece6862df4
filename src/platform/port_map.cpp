#include "platform/port_map.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <algorithm>

namespace {

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Compares names so that runs of digits count as numbers: ttyUSB2 sorts
// before ttyUSB10, as a user counts adapters.
int naturalCompare(const QString &a, const QString &b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            qsizetype endA = i;
            qsizetype endB = j;
            while (endA < a.size() && isDigit(a[endA]))
                ++endA;
            while (endB < b.size() && isDigit(b[endB]))
                ++endB;
            // Leading zeros do not make a number larger.
            qsizetype startA = i;
            qsizetype startB = j;
            while (startA + 1 < endA && a[startA] == QLatin1Char('0'))
                ++startA;
            while (startB + 1 < endB && b[startB] == QLatin1Char('0'))
                ++startB;
            const qsizetype lengthA = endA - startA;
            const qsizetype lengthB = endB - startB;
            if (lengthA != lengthB)
                return lengthA < lengthB ? -1 : 1;
            const int digits = QStringView(a).mid(startA, lengthA).compare(QStringView(b).mid(startB, lengthB));
            if (digits != 0)
                return digits;
            i = endA;
            j = endB;
        } else {
            if (a[i] != b[j])
                return a[i] < b[j] ? -1 : 1;
            ++i;
            ++j;
        }
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

bool isUsbAdapter(const QString &name)
{
    return name.startsWith(QLatin1String("ttyUSB")) || name.startsWith(QLatin1String("ttyACM"));
}

} // namespace

PortMap::PortMap(QString programFolder, PortLister lister, Naming naming)
    : m_folder(std::move(programFolder))
    , m_lister(std::move(lister))
    , m_naming(naming)
{
}

QString PortMap::deviceFor(int portNumber) const
{
    if (portNumber < 1)
        return {};
    if (m_naming == Naming::Windows)
        return QStringLiteral("COM%1").arg(portNumber);

    if (!m_folder.isEmpty()) {
        const QString pinned = QDir(m_folder).filePath(QStringLiteral("com%1").arg(portNumber));
        const QFileInfo entry(pinned);
        if (entry.exists()) {
            // The device itself, so that its lock is the same however it is
            // reached (a link of /dev/serial/by-id, a pinned link, its name).
            const QString target = entry.canonicalFilePath();
            return target.isEmpty() ? pinned : target;
        }
        if (entry.isSymLink())
            return pinned;
    }

    const QStringList ports = orderedPorts();
    return portNumber <= ports.size() ? ports[portNumber - 1] : QString();
}

std::function<QString(int)> PortMap::resolver() const
{
    return [map = *this](int portNumber) { return map.deviceFor(portNumber); };
}

QStringList PortMap::orderedPorts() const
{
    return orderPorts(m_lister ? m_lister() : QStringList());
}

QStringList PortMap::orderPorts(QStringList ports)
{
    ports.removeAll(QString());
    ports.removeDuplicates();
    const auto before = [](const QString &a, const QString &b) {
        const QString nameA = QFileInfo(a).fileName();
        const QString nameB = QFileInfo(b).fileName();
        const bool usbA = isUsbAdapter(nameA);
        const bool usbB = isUsbAdapter(nameB);
        if (usbA != usbB)
            return usbA;
        const int byName = naturalCompare(nameA, nameB);
        if (byName != 0)
            return byName < 0;
        return naturalCompare(a, b) < 0;
    };
    std::stable_sort(ports.begin(), ports.end(), before);
    return ports;
}

QStringList PortMap::systemPorts()
{
    QStringList ports;
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos)
        ports.append(info.systemLocation());
    return ports;
}

PortMap::Naming PortMap::nativeNaming()
{
#ifdef Q_OS_WIN
    return Naming::Windows;
#else
    return Naming::Unix;
#endif
}

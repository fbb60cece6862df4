#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Which device "Com N" opens.
//
// On Linux: the entry named comN in the program's folder when there is one (a
// symbolic link to a serial device or a pseudo-terminal: how a user pins a port
// and how the simulated target attaches itself); otherwise the N-th serial port
// that the system reports, USB adapters (ttyUSB*, ttyACM*) first, then the
// others, each group ordered by name with numbers in numeric order (ttyUSB2
// before ttyUSB10). On Windows: COMN.
class PortMap
{
public:
    // The system's serial ports as device paths; tests fill it themselves,
    // since the system's list has no pseudo-terminals.
    using PortLister = std::function<QStringList()>;

    enum class Naming { Unix, Windows };

    explicit PortMap(QString programFolder, PortLister lister = systemPorts, Naming naming = nativeNaming());

    // The device for port number n (1 for "Com 1"); empty when there is none.
    // A pinned entry is followed to the device it names; a pinned entry whose
    // target is missing is returned as it is, so that opening it fails with
    // a reason that names it.
    QString deviceFor(int portNumber) const;

    // deviceFor as a function, for the port control (CommPort::DeviceResolver).
    std::function<QString(int)> resolver() const;

    // The system's serial ports, in the order in which Com numbers take them.
    QStringList orderedPorts() const;

    static QStringList systemPorts();
    static Naming nativeNaming();

    // Orders device paths the way Com numbers take them (see above).
    static QStringList orderPorts(QStringList ports);

private:
    QString m_folder;
    PortLister m_lister;
    Naming m_naming;
};

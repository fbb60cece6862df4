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
// others, each group ordered by name. On Windows: COMN.
class PortMap
{
public:
    // The system's serial ports as device paths; tests fill it themselves,
    // since the system's list has no pseudo-terminals.
    using PortLister = std::function<QStringList()>;

    explicit PortMap(QString programFolder, PortLister lister = systemPorts);

    // The device for port number n (1 for "Com 1"); empty when there is none.
    QString deviceFor(int portNumber) const;

    // The system's serial ports, in the order in which Com numbers take them.
    QStringList orderedPorts() const;

    static QStringList systemPorts();

private:
    QString m_folder;
    PortLister m_lister;
};

#pragma once

#include <QByteArray>
#include <QString>

// The target's end of a pseudo-terminal pair. The host opens the slave
// device (devicePath()) as if it were a serial port. The slave is set raw
// before anyone can open it, so nothing the target sends is echoed or
// altered; it stays raw because this end never changes it again.
class PseudoTerminal
{
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool open(QString *error);
    void close();
    bool isOpen() const { return m_master >= 0; }

    QString devicePath() const { return m_path; }
    int masterFd() const { return m_master; }

    // Whether a host holds the slave open right now.
    bool hostConnected() const;

    // Everything waiting to be read, without blocking; empty when nothing is
    // there or no host is connected.
    QByteArray readAvailable();

    // Writes without blocking; returns the number of bytes taken (possibly
    // fewer than given when the buffer is full), -1 on an error.
    qint64 write(const QByteArray &bytes);

private:
    int m_master = -1;
    QString m_path;
};

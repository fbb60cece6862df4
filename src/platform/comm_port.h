#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QSerialPort;

// The serial port control of the main window (MSComm1): a port number, a line
// settings string and a flow control setting that take effect when the port is
// opened, and four operations on the open port. Bytes pass unchanged in both
// directions. Every failing operation throws Failure with a readable reason.
class CommPort : public QObject
{
    Q_OBJECT

public:
    // Turns a port number (1 for "Com 1") into the device to open; an empty
    // result means that the number names no device.
    using DeviceResolver = std::function<QString(int portNumber)>;

    explicit CommPort(DeviceResolver resolver, QObject *parent = nullptr);
    ~CommPort() override;

    // CommPort: the number of the port to open. 0 and negative numbers are
    // refused at once; a number without a device is refused when opening.
    void setCommPort(qint16 portNumber);
    qint16 commPort() const;

    // Settings: "baud,parity,data bits,stop bits", for example "19200,n,8,1".
    // Refused (Failure) when malformed. Written while the port is closed it
    // applies at the next opening, and it stays for later openings.
    void setSettings(const QString &settings);
    QString settings() const;

    // Handshaking: 0 none, 1 XON/XOFF in both directions (output resumes only
    // on XON), 2 RTS/CTS, 3 both.
    void setHandshaking(int handshaking);
    int handshaking() const;

    // PortOpen: opening fails when the device does not exist, cannot be
    // opened, is held by another program or refuses the settings.
    void setPortOpen(bool open);
    bool portOpen() const;

    // InBufferCount: received characters not yet taken. Sees characters that
    // arrived while no window events ran.
    int inBufferCount();
    // Input: takes every waiting character in order of arrival; never waits;
    // empty when none wait.
    QByteArray input();
    // Output: queues exactly these bytes and returns without waiting for them
    // to leave.
    void output(const QByteArray &bytes);

    // Blocks until at least one character waits or the timeout passes, without
    // letting window events run. True when characters wait.
    bool waitForInput(int timeoutMs);

    // The device opened (or last tried), for messages.
    QString deviceName() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

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
// directions. Every failing operation throws Failure with a readable reason
// that names the port and its device.
//
// A device that vanishes while the port is open (an adapter unplugged, the
// other end of a pseudo-terminal closed) closes the port at once; the next
// operation on it throws Failure with the reason, and portOpen() is false.
class CommPort : public QObject
{
    Q_OBJECT

public:
    // Turns a port number (1 for "Com 1") into the device to open; an empty
    // result means that the number names no device. Asked at each opening.
    using DeviceResolver = std::function<QString(int portNumber)>;

    // The settings a new control starts with.
    static constexpr const char *InitialSettings = "57600,n,8,1";

    explicit CommPort(DeviceResolver resolver, QObject *parent = nullptr);
    ~CommPort() override;

    // CommPort: the number of the port to open (1 when the control is new).
    // 0 and negative numbers are refused at once; a number without a device is
    // refused when opening. A number written while the port is open applies
    // at the next opening.
    void setCommPort(qint16 portNumber);
    qint16 commPort() const;

    // Settings: "baud,parity,data bits,stop bits", for example "19200,n,8,1":
    // a positive rate, parity n, e, o, m or s, 5 to 8 data bits, 1, 1.5 or 2
    // stop bits. Refused (Failure) when malformed, and then nothing changes.
    // Written while the port is closed it applies at the next opening, and it
    // stays for later openings; written while open it applies at once.
    void setSettings(const QString &settings);
    // The settings in their canonical spelling ("19200,n,8,1").
    QString settings() const;

    // Handshaking: 0 none, 1 XON/XOFF in both directions (output resumes only
    // on XON), 2 RTS/CTS, 3 both. Other values are refused (Failure).
    void setHandshaking(int handshaking);
    int handshaking() const;

    // PortOpen: opening fails when the port number names no device, the
    // device does not exist, cannot be opened, is held by another program or
    // refuses the settings; the control is then closed and usable again.
    // Opening an open port and closing a closed one do nothing. Closing
    // never throws.
    void setPortOpen(bool open);
    // True exactly while the port is open (false after the device vanished).
    bool portOpen() const;

    // InBufferCount: received characters not yet taken. Sees characters that
    // arrived while no window events ran.
    int inBufferCount();
    // Input: takes every waiting character in order of arrival; never waits;
    // empty when none wait.
    QByteArray input();
    // Output: queues exactly these bytes and returns without waiting for them
    // to leave. They start to leave at once; bytes held back by the other
    // side's XOFF leave after its XON.
    void output(const QByteArray &bytes);

    // Blocks until at least one character waits or the timeout passes, without
    // letting window events run. True when characters wait.
    bool waitForInput(int timeoutMs);

    // The device opened (or last tried), for messages; empty before the first
    // opening.
    QString deviceName() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

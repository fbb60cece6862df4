#include "platform/comm_port.h"

#include "platform/failure.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSerialPort>
#include <QStringList>
#include <limits>
#include <optional>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <termios.h>
#endif

namespace {

struct LineSettings
{
    qint32 baudRate = 57600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    QString text;
};

std::optional<LineSettings> parseSettings(const QString &settings)
{
    const QStringList fields = settings.split(QLatin1Char(','));
    if (fields.size() != 4)
        return std::nullopt;
    LineSettings parsed;

    const QString rate = fields[0].trimmed();
    bool numeric = !rate.isEmpty();
    for (const QChar c : rate)
        numeric = numeric && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    if (!numeric)
        return std::nullopt;
    bool ok = false;
    const qlonglong baud = rate.toLongLong(&ok);
    if (!ok || baud <= 0 || baud > std::numeric_limits<qint32>::max())
        return std::nullopt;
    parsed.baudRate = qint32(baud);

    const QString parity = fields[1].trimmed().toLower();
    if (parity == QLatin1String("n"))
        parsed.parity = QSerialPort::NoParity;
    else if (parity == QLatin1String("e"))
        parsed.parity = QSerialPort::EvenParity;
    else if (parity == QLatin1String("o"))
        parsed.parity = QSerialPort::OddParity;
    else if (parity == QLatin1String("m"))
        parsed.parity = QSerialPort::MarkParity;
    else if (parity == QLatin1String("s"))
        parsed.parity = QSerialPort::SpaceParity;
    else
        return std::nullopt;

    const QString dataBits = fields[2].trimmed();
    if (dataBits == QLatin1String("5"))
        parsed.dataBits = QSerialPort::Data5;
    else if (dataBits == QLatin1String("6"))
        parsed.dataBits = QSerialPort::Data6;
    else if (dataBits == QLatin1String("7"))
        parsed.dataBits = QSerialPort::Data7;
    else if (dataBits == QLatin1String("8"))
        parsed.dataBits = QSerialPort::Data8;
    else
        return std::nullopt;

    const QString stopBits = fields[3].trimmed();
    if (stopBits == QLatin1String("1"))
        parsed.stopBits = QSerialPort::OneStop;
    else if (stopBits == QLatin1String("1.5"))
        parsed.stopBits = QSerialPort::OneAndHalfStop;
    else if (stopBits == QLatin1String("2"))
        parsed.stopBits = QSerialPort::TwoStop;
    else
        return std::nullopt;

    parsed.text = QStringLiteral("%1,%2,%3,%4").arg(QString::number(parsed.baudRate), parity, dataBits, stopBits);
    return parsed;
}

// Whether the path names a device at all: a file or folder that is pinned as a
// port fails in the terminal calls, which Qt reports like refused settings.
bool isCharacterDevice(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISCHR(info.st_mode);
#else
    Q_UNUSED(path);
    return true;
#endif
}

QSerialPort::FlowControl flowControlFor(int handshaking)
{
    switch (handshaking) {
    case 1:
        return QSerialPort::SoftwareControl;
    case 2:
    case 3:
        return QSerialPort::HardwareControl;
    default:
        return QSerialPort::NoFlowControl;
    }
}

} // namespace

struct CommPort::Private
{
    DeviceResolver resolver;
    QSerialPort *serial = nullptr; // a child of the control
    qint16 portNumber = 1;
    LineSettings settings = *parseSettings(QString::fromLatin1(InitialSettings));
    int handshaking = 0;
    QString device;
    // Why the open port was closed under the program's feet; reported by the
    // next operation.
    QString lostReason;
    bool opening = false;

    QString portName() const
    {
        return device.isEmpty() ? QStringLiteral("Com %1").arg(portNumber)
                                : QStringLiteral("Com %1 (%2)").arg(portNumber).arg(device);
    }

    QString serialErrorText() const
    {
        return serial->error() != QSerialPort::NoError ? serial->errorString() : QStringLiteral("unknown reason");
    }

    void forgetTimeout()
    {
        if (serial->error() == QSerialPort::TimeoutError)
            serial->clearError();
    }

    // A vanished device makes Qt report read and resource errors over and
    // over while the port stays open, tens of thousands a second. The first
    // one ends it: closing removes the device from the event loop.
    void onSerialError(QSerialPort::SerialPortError error)
    {
        if (opening || !serial->isOpen())
            return;
        if (error != QSerialPort::ReadError && error != QSerialPort::WriteError
            && error != QSerialPort::ResourceError)
            return;
        // A read error here is a read that found the end of the line (the
        // other end hung up); Qt attaches whatever errno held before, so only
        // the other errors carry a detail worth showing.
        lostReason = QStringLiteral("%1: the device went away (unplugged, or closed at its other end)").arg(portName());
        if (error != QSerialPort::ReadError)
            lostReason += QStringLiteral(" (%1)").arg(serialErrorText());
        serial->close();
    }

    void requireOpen() const
    {
        if (!lostReason.isEmpty())
            throw Failure(lostReason);
        if (!serial->isOpen())
            throw Failure(QStringLiteral("%1: port not open").arg(portName()));
    }

    // Hands the settings to the serial port (which keeps them until it opens
    // when it is closed). Empty when they were taken, else why not.
    QString applySettings(const LineSettings &s)
    {
        QSerialPort::StopBits stopBits = s.stopBits;
#ifdef Q_OS_UNIX
        // Terminals know one or two stop bits; a UART told two stop bits at
        // five data bits sends one and a half. Qt would quietly send one.
        if (stopBits == QSerialPort::OneAndHalfStop) {
            if (s.dataBits != QSerialPort::Data5)
                return QStringLiteral("1.5 stop bits need 5 data bits");
            stopBits = QSerialPort::TwoStop;
        }
#endif
        if (serial->setBaudRate(s.baudRate) && serial->setDataBits(s.dataBits) && serial->setParity(s.parity)
            && serial->setStopBits(stopBits))
            return {};
        return serialErrorText();
    }

    Failure settingsRefused(const QString &settingsText, const QString &detail) const
    {
        return Failure(QStringLiteral("%1: the device refused the settings %2 (%3)").arg(portName(), settingsText, detail));
    }

    // Qt's software flow control also lets any received byte resume output
    // held by XOFF (IXANY); a bootloader's answer to a line could then restart
    // output that the target is not ready for. Output resumes only on XON.
    // Handshaking 3 adds XON/XOFF to the RTS/CTS that Qt sets.
    bool adjustTerminalFlowControl()
    {
#ifdef Q_OS_UNIX
        termios tio;
        if (::tcgetattr(serial->handle(), &tio) != 0)
            return false;
        tio.c_iflag &= ~tcflag_t(IXANY);
        if (handshaking == 3)
            tio.c_iflag |= IXON | IXOFF;
        return ::tcsetattr(serial->handle(), TCSANOW, &tio) == 0;
#else
        return true;
#endif
    }

    // QSerialPort moves received bytes into its buffer only from the event
    // loop or inside its wait calls, and sends queued bytes the same way.
    // Waits of zero do both for what the device allows right now, so that
    // callers that run no event loop still see every byte and get theirs out.
    void pump()
    {
        for (int round = 0; round < 64 && serial->isOpen(); ++round) {
            if (!serial->waitForReadyRead(0))
                break;
        }
        if (serial->isOpen() && serial->bytesToWrite() > 0)
            serial->waitForBytesWritten(0);
        forgetTimeout();
    }

    void open()
    {
        if (serial->isOpen())
            return;
        lostReason.clear();
        device = resolver ? resolver(portNumber) : QString();
        if (device.isEmpty())
            throw Failure(QStringLiteral("Com %1: no serial device for this port").arg(portNumber));

        serial->setPortName(device);
        const QString refused = applySettings(settings); // kept by the closed port, applied by open()
        if (!refused.isEmpty())
            throw settingsRefused(settings.text, refused);
        serial->setFlowControl(flowControlFor(handshaking));
        serial->clearError();

        opening = true;
        const bool opened = serial->open(QIODevice::ReadWrite);
        opening = false;
        if (!opened) {
            const QSerialPort::SerialPortError error = serial->error();
            const QString detail = serialErrorText();
            if (serial->isOpen())
                serial->close();
            serial->clearError();
            switch (error) {
            case QSerialPort::DeviceNotFoundError:
                throw Failure(QStringLiteral("%1: the device does not exist (%2)").arg(portName(), detail));
            case QSerialPort::PermissionError:
                throw Failure(QStringLiteral("%1: the device is in use by another program or may not be opened (%2)")
                                  .arg(portName(), detail));
            case QSerialPort::UnsupportedOperationError:
                if (!isCharacterDevice(device))
                    throw Failure(QStringLiteral("%1: not a serial device (%2)").arg(portName(), detail));
                throw settingsRefused(settings.text, detail);
            default:
                throw Failure(QStringLiteral("%1: the device cannot be opened (%2)").arg(portName(), detail));
            }
        }
        if (!adjustTerminalFlowControl()) {
            serial->close();
            serial->clearError();
            throw Failure(QStringLiteral("%1: the device refused XON/XOFF flow control").arg(portName()));
        }
        serial->clearError();
    }

    void close()
    {
        if (!serial->isOpen()) {
            lostReason.clear();
            return;
        }
        // Give bytes still queued a short chance to leave; a closed port
        // would drop them.
        QElapsedTimer waited;
        waited.start();
        constexpr int CloseGraceMs = 500;
        while (serial->isOpen() && serial->bytesToWrite() > 0 && waited.elapsed() < CloseGraceMs)
            serial->waitForBytesWritten(int(CloseGraceMs - waited.elapsed()));
        if (serial->isOpen())
            serial->close();
        serial->clearError();
        lostReason.clear();
    }
};

CommPort::CommPort(DeviceResolver resolver, QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>())
{
    d->resolver = std::move(resolver);
    d->serial = new QSerialPort(this);
    connect(d->serial, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError error) { d->onSerialError(error); });
}

CommPort::~CommPort()
{
    // The serial port outlives this body (it is a child); it must not call
    // back into the state destroyed with it.
    disconnect(d->serial, nullptr, this, nullptr);
    if (d->serial->isOpen())
        d->serial->close();
}

void CommPort::setCommPort(qint16 portNumber)
{
    if (portNumber < 1)
        throw Failure(QStringLiteral("Com %1: no such port (port numbers start at 1)").arg(portNumber));
    d->portNumber = portNumber;
}

qint16 CommPort::commPort() const
{
    return d->portNumber;
}

void CommPort::setSettings(const QString &settings)
{
    const std::optional<LineSettings> parsed = parseSettings(settings);
    if (!parsed)
        throw Failure(QStringLiteral("%1: malformed line settings \"%2\" (expected baud,parity,data bits,stop bits "
                                     "such as 19200,n,8,1)")
                          .arg(d->portName(), settings));
    if (d->serial->isOpen()) {
        QString refused = d->applySettings(*parsed);
        if (refused.isEmpty() && !d->adjustTerminalFlowControl())
            refused = QStringLiteral("flow control lost");
        if (!refused.isEmpty()) {
            d->applySettings(d->settings);
            d->adjustTerminalFlowControl();
            d->serial->clearError();
            d->requireOpen(); // a device that vanished meanwhile says so
            throw d->settingsRefused(parsed->text, refused);
        }
    }
    d->settings = *parsed;
}

QString CommPort::settings() const
{
    return d->settings.text;
}

void CommPort::setHandshaking(int handshaking)
{
    if (handshaking < 0 || handshaking > 3)
        throw Failure(QStringLiteral("%1: unknown handshaking %2 (0 to 3)").arg(d->portName()).arg(handshaking));
    const int previous = d->handshaking;
    d->handshaking = handshaking;
    if (d->serial->isOpen()) {
        if (!d->serial->setFlowControl(flowControlFor(handshaking)) || !d->adjustTerminalFlowControl()) {
            const QString detail = d->serialErrorText();
            d->handshaking = previous;
            d->serial->setFlowControl(flowControlFor(previous));
            d->adjustTerminalFlowControl();
            d->serial->clearError();
            d->requireOpen();
            throw Failure(QStringLiteral("%1: the device refused handshaking %2 (%3)")
                              .arg(d->portName())
                              .arg(handshaking)
                              .arg(detail));
        }
    }
}

int CommPort::handshaking() const
{
    return d->handshaking;
}

void CommPort::setPortOpen(bool open)
{
    if (open)
        d->open();
    else
        d->close();
}

bool CommPort::portOpen() const
{
    return d->serial->isOpen();
}

int CommPort::inBufferCount()
{
    d->requireOpen();
    d->pump();
    d->requireOpen();
    return int(qMin<qint64>(d->serial->bytesAvailable(), std::numeric_limits<int>::max()));
}

QByteArray CommPort::input()
{
    d->requireOpen();
    d->pump();
    d->requireOpen();
    return d->serial->readAll();
}

void CommPort::output(const QByteArray &bytes)
{
    d->requireOpen();
    if (bytes.isEmpty())
        return;
    const qint64 queued = d->serial->write(bytes);
    if (queued != bytes.size()) {
        d->requireOpen();
        throw Failure(QStringLiteral("%1: sending failed (%2)").arg(d->portName(), d->serialErrorText()));
    }
    d->pump();
    d->requireOpen();
}

bool CommPort::waitForInput(int timeoutMs)
{
    d->requireOpen();
    d->pump();
    d->requireOpen();
    if (d->serial->bytesAvailable() > 0)
        return true;
    d->serial->waitForReadyRead(qMax(timeoutMs, 0));
    if (d->serial->isOpen())
        d->forgetTimeout();
    d->requireOpen();
    return d->serial->bytesAvailable() > 0;
}

QString CommPort::deviceName() const
{
    return d->device;
}

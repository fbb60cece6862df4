#include "platform/comm_port.h"
#include "platform/failure.h"
#include "support/pty_pair.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <ctime>
#include <termios.h>
#include <thread>

namespace {

// CPU time of the whole process, in milliseconds: a port that spins shows
// here even when every call returns in time.
qint64 cpuMs()
{
    timespec ts;
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

QByteArray allByteValues()
{
    QByteArray bytes;
    for (int value = 0; value < 256; ++value)
        bytes.append(char(value));
    return bytes;
}

// The rate and stop bits of a settings string. A pseudo-terminal keeps those
// as written, but the kernel forces 8 data bits without parity on it.
QString rateAndStopBits(const QString &settings)
{
    const QStringList fields = settings.split(QLatin1Char(','));
    return fields.size() == 4 ? fields[0] + QLatin1Char(',') + fields[3] : QStringLiteral("(%1)").arg(settings);
}

QString failureOf(const std::function<void()> &operation)
{
    try {
        operation();
    } catch (const Failure &failure) {
        return failure.reason();
    }
    return {};
}

// Collects what the port receives, letting window events run or not, until
// count bytes are in or timeoutMs passes.
QByteArray collect(CommPort &port, int count, int timeoutMs, bool eventLoop)
{
    QByteArray got;
    QElapsedTimer elapsed;
    elapsed.start();
    while (got.size() < count && elapsed.elapsed() < timeoutMs) {
        if (eventLoop)
            QTest::qWait(10);
        else
            port.waitForInput(10);
        got += port.input();
    }
    return got;
}

} // namespace

class TestCommPort : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PtyPair> pty;
    QString device; // what the resolver gives for Com 1

    CommPort::DeviceResolver resolver()
    {
        return [this](int portNumber) { return portNumber == 1 ? device : QString(); };
    }

    QString heldRateAndStopBits() const
    {
        return rateAndStopBits(pty->slaveSettings());
    }

    void openPort(CommPort &port)
    {
        const QString reason = failureOf([&] { port.setPortOpen(true); });
        QVERIFY2(reason.isEmpty(), qPrintable(reason));
        QVERIFY(port.portOpen());
    }

private slots:
    void init()
    {
        pty = std::make_unique<PtyPair>();
        QVERIFY2(pty->isOpen(), qPrintable(pty->errorString()));
        device = pty->slavePath();
    }

    void cleanup()
    {
        pty.reset();
    }

    void settingsStrings_data()
    {
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("canonical");
        for (const char *rate : {"1200", "2400", "4800", "9600", "14400", "19200", "38400", "56000", "57600", "115200"})
            QTest::newRow(rate) << QStringLiteral("%1,n,8,1").arg(QLatin1String(rate))
                                << QStringLiteral("%1,n,8,1").arg(QLatin1String(rate));
        QTest::newRow("even parity, 7 bits, 2 stop bits") << "9600,e,7,2" << "9600,e,7,2";
        QTest::newRow("odd parity") << "19200,o,8,1" << "19200,o,8,1";
        QTest::newRow("mark parity") << "4800,m,7,1" << "4800,m,7,1";
        QTest::newRow("space parity, 6 bits") << "4800,s,6,1" << "4800,s,6,1";
        QTest::newRow("5 bits") << "1200,n,5,2" << "1200,n,5,2";
        QTest::newRow("upper case, spaces") << " 2400 , N , 8 , 1 " << "2400,n,8,1";
        QTest::newRow("a rate off the list") << "250000,n,8,1" << "250000,n,8,1";
    }

    // Each string is kept in its canonical spelling and reaches the terminal
    // when the port opens.
    void settingsStrings()
    {
        QFETCH(QString, written);
        QFETCH(QString, canonical);
        CommPort port(resolver());
        port.setSettings(written);
        QCOMPARE(port.settings(), canonical);
        openPort(port);
        QCOMPARE(heldRateAndStopBits(), rateAndStopBits(canonical));
        port.setPortOpen(false);
        QVERIFY(!port.portOpen());
    }

    void malformedSettings_data()
    {
        QTest::addColumn<QString>("written");
        QTest::newRow("empty") << "";
        QTest::newRow("rate only") << "9600";
        QTest::newRow("three fields") << "9600,n,8";
        QTest::newRow("five fields") << "9600,n,8,1,1";
        QTest::newRow("rate not a number") << "fast,n,8,1";
        QTest::newRow("rate zero") << "0,n,8,1";
        QTest::newRow("rate negative") << "-9600,n,8,1";
        QTest::newRow("rate with a fraction") << "9600.5,n,8,1";
        QTest::newRow("rate too large") << "99999999999,n,8,1";
        QTest::newRow("unknown parity") << "9600,x,8,1";
        QTest::newRow("missing parity") << "9600,,8,1";
        QTest::newRow("parity spelt out") << "9600,none,8,1";
        QTest::newRow("4 data bits") << "9600,n,4,1";
        QTest::newRow("9 data bits") << "9600,n,9,1";
        QTest::newRow("3 stop bits") << "9600,n,8,3";
        QTest::newRow("0 stop bits") << "9600,n,8,0";
        QTest::newRow("semicolons") << "9600;n;8;1";
    }

    // A malformed string is refused with a reason that quotes it, and the
    // port keeps the settings it had, at the next opening too.
    void malformedSettings()
    {
        QFETCH(QString, written);
        CommPort port(resolver());
        port.setSettings(QStringLiteral("19200,n,8,1"));
        const QString reason = failureOf([&] { port.setSettings(written); });
        QVERIFY2(reason.contains(QLatin1Char('"') + written + QLatin1Char('"')), qPrintable(reason));
        QCOMPARE(port.settings(), QStringLiteral("19200,n,8,1"));
        openPort(port);
        QCOMPARE(heldRateAndStopBits(), QStringLiteral("19200,1"));
    }

    // The initial settings apply at the first opening; settings written while
    // closed apply at the next opening and stay for later ones; settings
    // written while open apply at once.
    void settingsApplyAtOpeningAndPersist()
    {
        CommPort port(resolver());
        QCOMPARE(port.settings(), QStringLiteral("57600,n,8,1"));
        openPort(port);
        QCOMPARE(heldRateAndStopBits(), QStringLiteral("57600,1"));
        port.setPortOpen(false);

        port.setSettings(QStringLiteral("14400,e,7,2"));
        openPort(port);
        QCOMPARE(heldRateAndStopBits(), QStringLiteral("14400,2"));
        port.setPortOpen(false);
        openPort(port);
        QCOMPARE(heldRateAndStopBits(), QStringLiteral("14400,2"));

        port.setSettings(QStringLiteral("56000,n,8,1"));
        QCOMPARE(heldRateAndStopBits(), QStringLiteral("56000,1"));
        port.setPortOpen(false);
        openPort(port);
        QCOMPARE(heldRateAndStopBits(), QStringLiteral("56000,1"));
    }

    void bytesUnchanged_data()
    {
        QTest::addColumn<bool>("eventLoop");
        QTest::newRow("window events run") << true;
        QTest::newRow("no window events") << false;
    }

    // Every byte value crosses unchanged in both directions (no codec, no
    // line-end translation, no flow-control bytes eaten without XON/XOFF).
    void bytesUnchanged()
    {
        QFETCH(bool, eventLoop);
        CommPort port(resolver());
        port.setHandshaking(0);
        openPort(port);
        const QByteArray all = allByteValues();

        port.output(all);
        QCOMPARE(pty->read(all.size(), 3000).toHex(' '), all.toHex(' '));

        QVERIFY(pty->write(all));
        QCOMPARE(collect(port, all.size(), 3000, eventLoop).toHex(' '), all.toHex(' '));
    }

    // Input and InBufferCount never wait: with nothing received they return
    // at once, empty and 0.
    void inputEmptyWithoutWaiting()
    {
        CommPort port(resolver());
        openPort(port);
        QElapsedTimer elapsed;
        elapsed.start();
        for (int i = 0; i < 20; ++i) {
            QCOMPARE(port.inBufferCount(), 0);
            QCOMPARE(port.input(), QByteArray());
        }
        QVERIFY2(elapsed.elapsed() < 500, qPrintable(QString::number(elapsed.elapsed())));
    }

    // Bytes that arrive while no window events run are counted and taken,
    // in order; taking them empties the buffer.
    void bytesSeenWithoutEventLoop()
    {
        CommPort port(resolver());
        openPort(port);
        QVERIFY(pty->write("abc"));
        QElapsedTimer elapsed;
        elapsed.start();
        while (port.inBufferCount() < 3 && elapsed.elapsed() < 3000)
            QThread::msleep(5); // sleeps without running events
        QCOMPARE(port.inBufferCount(), 3);
        QVERIFY(pty->write("de"));
        QThread::msleep(50);
        QCOMPARE(port.input(), QByteArray("abcde"));
        QCOMPARE(port.inBufferCount(), 0);
        QCOMPARE(port.input(), QByteArray());
    }

    void waitForInputTiming_data()
    {
        QTest::addColumn<int>("sendAfterMs"); // -1: nothing is sent
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<bool>("expected");
        QTest::addColumn<int>("minMs");
        QTest::addColumn<int>("maxMs");
        QTest::newRow("byte already waiting") << 0 << 5000 << true << 0 << 1000;
        QTest::newRow("byte after 150 ms") << 150 << 5000 << true << 120 << 1500;
        QTest::newRow("nothing within 300 ms") << -1 << 300 << false << 290 << 1500;
    }

    // The wait ends as soon as a byte is there, or at its timeout; it
    // sleeps meanwhile instead of spinning.
    void waitForInputTiming()
    {
        QFETCH(int, sendAfterMs);
        QFETCH(int, timeoutMs);
        QFETCH(bool, expected);
        QFETCH(int, minMs);
        QFETCH(int, maxMs);
        CommPort port(resolver());
        openPort(port);
        if (sendAfterMs == 0) {
            QVERIFY(pty->write("x"));
            QThread::msleep(50);
        }
        std::thread sender;
        if (sendAfterMs > 0) {
            sender = std::thread([this, sendAfterMs] {
                QThread::msleep(sendAfterMs);
                pty->write("x");
            });
        }
        const qint64 cpuBefore = cpuMs();
        QElapsedTimer elapsed;
        elapsed.start();
        const bool result = port.waitForInput(timeoutMs);
        const qint64 waited = elapsed.elapsed();
        const qint64 cpu = cpuMs() - cpuBefore;
        if (sender.joinable())
            sender.join();
        QCOMPARE(result, expected);
        QVERIFY2(waited >= minMs && waited <= maxMs, qPrintable(QString::number(waited)));
        QVERIFY2(cpu < 100, qPrintable(QStringLiteral("%1 ms CPU in %2 ms").arg(cpu).arg(waited)));
        QCOMPARE(port.input(), expected ? QByteArray("x") : QByteArray());
    }

    void xonXoff_data()
    {
        QTest::addColumn<bool>("eventLoop");
        QTest::newRow("window events run") << true;
        QTest::newRow("waits without window events") << false;
    }

    // With handshaking 1, the other side's XOFF holds output back; another
    // byte does not release it, XON does. XON and XOFF are not input.
    void xonXoff()
    {
        QFETCH(bool, eventLoop);
        CommPort port(resolver());
        port.setHandshaking(1);
        openPort(port);
        QVERIFY(pty->slaveInputFlags() & IXON);
        QVERIFY(pty->slaveInputFlags() & IXOFF);
        QVERIFY(!(pty->slaveInputFlags() & IXANY));

        // Lets the port do its work for a while and returns what left it.
        const auto drive = [&](int ms, int expectedBytes) {
            QByteArray wire;
            QElapsedTimer elapsed;
            elapsed.start();
            while (elapsed.elapsed() < ms && wire.size() < expectedBytes) {
                if (eventLoop)
                    QTest::qWait(10);
                else
                    port.waitForInput(10);
                wire += pty->read(expectedBytes, 5);
            }
            return wire;
        };

        QVERIFY(pty->write("\x13"));
        QThread::msleep(50);
        port.output("hello");
        QCOMPARE(drive(300, 5), QByteArray());

        QVERIFY(pty->write("A"));
        QCOMPARE(drive(300, 5), QByteArray());

        QVERIFY(pty->write("\x11"));
        QCOMPARE(drive(3000, 5), QByteArray("hello"));
        QCOMPARE(port.input(), QByteArray("A"));
    }

    // Output held back by XOFF neither blocks the sender nor the closing:
    // Output returns at once however much waits, and closing gives up on
    // the held bytes after a short grace.
    void heldOutputBlocksNothing()
    {
        CommPort port(resolver());
        port.setHandshaking(1);
        openPort(port);
        QVERIFY(pty->write("\x13"));
        QThread::msleep(50);
        QElapsedTimer elapsed;
        elapsed.start();
        for (int i = 0; i < 16; ++i)
            port.output(QByteArray(4096, 'h'));
        QVERIFY2(elapsed.elapsed() < 500, qPrintable(QString::number(elapsed.elapsed())));
        elapsed.restart();
        port.setPortOpen(false);
        QVERIFY2(elapsed.elapsed() < 1500, qPrintable(QString::number(elapsed.elapsed())));
        QVERIFY(!port.portOpen());
    }

    // 1.5 stop bits are what a UART sends for "two" at 5 data bits. At more
    // data bits a terminal cannot send them: the opening fails, naming the
    // device and the settings, and the control stays usable; written while
    // open they are refused and the port keeps its settings.
    void oneAndHalfStopBits()
    {
        CommPort port(resolver());
        port.setSettings(QStringLiteral("9600,n,5,1.5"));
        QCOMPARE(port.settings(), QStringLiteral("9600,n,5,1.5"));
        openPort(port);
        QCOMPARE(heldRateAndStopBits(), QStringLiteral("9600,2"));
        port.setPortOpen(false);

        port.setSettings(QStringLiteral("4800,n,8,1.5"));
        const QString reason = failureOf([&] { port.setPortOpen(true); });
        QVERIFY2(reason.contains(device) && reason.contains(QStringLiteral("4800,n,8,1.5")), qPrintable(reason));
        QVERIFY(!port.portOpen());

        port.setSettings(QStringLiteral("4800,n,8,1"));
        openPort(port);
        QCOMPARE(heldRateAndStopBits(), QStringLiteral("4800,1"));
        QVERIFY(!failureOf([&] { port.setSettings(QStringLiteral("2400,n,7,1.5")); }).isEmpty());
        QCOMPARE(port.settings(), QStringLiteral("4800,n,8,1"));
        QCOMPARE(heldRateAndStopBits(), QStringLiteral("4800,1"));
        port.output("ok");
        QCOMPARE(pty->read(2, 3000), QByteArray("ok"));
    }

    // Handshaking takes the four values of the control and no others.
    void handshakingValues()
    {
        CommPort port(resolver());
        for (int refused : {-1, 4, 100})
            QVERIFY(!failureOf([&] { port.setHandshaking(refused); }).isEmpty());
        QCOMPARE(port.handshaking(), 0);
        for (int value : {0, 1, 2, 3}) {
            port.setHandshaking(value);
            QCOMPARE(port.handshaking(), value);
        }
        openPort(port);
        // 3: RTS/CTS and XON/XOFF together.
        QVERIFY(pty->slaveInputFlags() & IXON);
        port.setHandshaking(0);
        QVERIFY(!(pty->slaveInputFlags() & IXON));
        port.setHandshaking(1);
        QVERIFY(pty->slaveInputFlags() & IXON);
        QVERIFY(!(pty->slaveInputFlags() & IXANY));
    }

    void refusedPortNumbers_data()
    {
        QTest::addColumn<int>("number");
        QTest::newRow("0") << 0;
        QTest::newRow("-1") << -1;
        QTest::newRow("-32768") << -32768;
    }

    // Port numbers below 1 are refused when written, naming the number.
    void refusedPortNumbers()
    {
        QFETCH(int, number);
        CommPort port(resolver());
        port.setCommPort(1);
        const QString reason = failureOf([&] { port.setCommPort(qint16(number)); });
        QVERIFY2(reason.contains(QStringLiteral("Com %1").arg(number)), qPrintable(reason));
        QCOMPARE(port.commPort(), qint16(1));
        openPort(port);
    }

    // A number without a device, a device that does not exist and a file
    // that is no device fail the opening with a reason that names them; the control stays closed and
    // opens once the device is there.
    void missingDevice()
    {
        CommPort port(resolver());
        port.setCommPort(3);
        QString reason = failureOf([&] { port.setPortOpen(true); });
        QVERIFY2(reason.contains(QStringLiteral("Com 3")), qPrintable(reason));
        QVERIFY(!port.portOpen());

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString slave = device;
        device = dir.filePath(QStringLiteral("ttyGone0"));
        port.setCommPort(1);
        reason = failureOf([&] { port.setPortOpen(true); });
        QVERIFY2(reason.contains(device) && reason.contains(QStringLiteral("Com 1")), qPrintable(reason));
        QVERIFY(!port.portOpen());
        QCOMPARE(port.deviceName(), device);
        QVERIFY(!failureOf([&] { port.input(); }).isEmpty());

        device = dir.filePath(QStringLiteral("notes.txt"));
        QFile file(device);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        reason = failureOf([&] { port.setPortOpen(true); });
        QVERIFY2(reason.contains(device) && reason.contains(QStringLiteral("not a serial device")), qPrintable(reason));
        QVERIFY(!port.portOpen());

        device = slave;
        openPort(port);
        QCOMPARE(port.deviceName(), slave);
    }

    // A second control cannot open a device that the first holds; once the
    // first closes it, the second can.
    void deviceHeldByAnotherPort()
    {
        CommPort first(resolver());
        CommPort second(resolver());
        openPort(first);
        const QString reason = failureOf([&] { second.setPortOpen(true); });
        QVERIFY2(reason.contains(device), qPrintable(reason));
        QVERIFY(!second.portOpen());

        // The first goes on working.
        first.output("still here");
        QCOMPARE(pty->read(10, 3000), QByteArray("still here"));

        first.setPortOpen(false);
        first.setPortOpen(false); // closing a closed port does nothing
        openPort(second);
    }

    // Operations on a closed port fail; they do not wait or crash.
    void closedPortOperations()
    {
        CommPort port(resolver());
        const QString reason = failureOf([&] { port.output("x"); });
        QVERIFY2(reason.contains(QStringLiteral("not open")), qPrintable(reason));
        QVERIFY(!failureOf([&] { port.input(); }).isEmpty());
        QVERIFY(!failureOf([&] { port.inBufferCount(); }).isEmpty());
        QVERIFY(!failureOf([&] { port.waitForInput(5000); }).isEmpty());
    }

    void deviceVanishes_data()
    {
        QTest::addColumn<QString>("noticedBy");
        QTest::newRow("window events") << "events";
        QTest::newRow("InBufferCount") << "count";
        QTest::newRow("Input") << "input";
        QTest::newRow("Output") << "output";
        QTest::newRow("waitForInput") << "wait";
    }

    // A device that vanishes while open closes the port once: the next
    // operation fails naming it, the port reads as closed, and nothing burns
    // the CPU afterwards. The control opens again when a device is there.
    void deviceVanishes()
    {
        QFETCH(QString, noticedBy);
        CommPort port(resolver());
        openPort(port);
        const QString slave = device;
        pty->closeMaster();

        QString reason;
        if (noticedBy == QLatin1String("events")) {
            QTest::qWait(100);
            QVERIFY(!port.portOpen());
            reason = failureOf([&] { port.inBufferCount(); });
        } else if (noticedBy == QLatin1String("count")) {
            reason = failureOf([&] { port.inBufferCount(); });
        } else if (noticedBy == QLatin1String("input")) {
            reason = failureOf([&] { port.input(); });
        } else if (noticedBy == QLatin1String("output")) {
            // The first bytes may still be taken by the kernel; a few tries
            // reach the vanished device.
            for (int i = 0; i < 5 && reason.isEmpty(); ++i)
                reason = failureOf([&] { port.output("x"); });
        } else {
            QElapsedTimer elapsed;
            elapsed.start();
            reason = failureOf([&] { port.waitForInput(3000); });
            QVERIFY2(elapsed.elapsed() < 1000, qPrintable(QString::number(elapsed.elapsed())));
        }
        QVERIFY2(reason.contains(slave), qPrintable(reason));
        QVERIFY(!port.portOpen());

        // Every operation keeps failing with the same reason until the port
        // is closed or opened again.
        QCOMPARE(failureOf([&] { port.input(); }), reason);
        QCOMPARE(failureOf([&] { port.output("x"); }), reason);
        QCOMPARE(failureOf([&] { port.waitForInput(10); }), reason);

        const qint64 cpuBefore = cpuMs();
        QTest::qWait(300);
        const qint64 cpu = cpuMs() - cpuBefore;
        QVERIFY2(cpu < 100, qPrintable(QStringLiteral("%1 ms CPU in 300 ms").arg(cpu)));

        QCOMPARE(failureOf([&] { port.setPortOpen(false); }), QString());
        QVERIFY(failureOf([&] { port.input(); }).contains(QStringLiteral("not open")));

        pty = std::make_unique<PtyPair>();
        device = pty->slavePath();
        openPort(port);
        port.output("back");
        QCOMPARE(pty->read(4, 3000), QByteArray("back"));
    }
};

QTEST_GUILESS_MAIN(TestCommPort)
#include "test_comm_port.moc"

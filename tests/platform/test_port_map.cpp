#include "platform/comm_port.h"
#include "platform/failure.h"
#include "platform/port_map.h"
#include "support/pty_pair.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QStringList SystemList{QStringLiteral("/dev/ttyS1"), QStringLiteral("/dev/ttyUSB1"), QStringLiteral("/dev/ttyS0"),
                             QStringLiteral("/dev/ttyACM0"), QStringLiteral("/dev/ttyUSB0")};

PortMap::PortLister listing(const QStringList &ports)
{
    return [ports] { return ports; };
}

} // namespace

class TestPortMap : public QObject
{
    Q_OBJECT

private slots:
    void ordering_data()
    {
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QStringList>("ordered");
        QTest::newRow("nothing") << QStringList() << QStringList();
        QTest::newRow("USB adapter before a built-in port")
            << QStringList{"/dev/ttyS0", "/dev/ttyUSB0"} << QStringList{"/dev/ttyUSB0", "/dev/ttyS0"};
        QTest::newRow("ACM and USB form one group, by name")
            << QStringList{"/dev/ttyUSB0", "/dev/ttyS1", "/dev/ttyACM0"}
            << QStringList{"/dev/ttyACM0", "/dev/ttyUSB0", "/dev/ttyS1"};
        QTest::newRow("numbers in numeric order")
            << QStringList{"/dev/ttyUSB10", "/dev/ttyUSB2", "/dev/ttyUSB1"}
            << QStringList{"/dev/ttyUSB1", "/dev/ttyUSB2", "/dev/ttyUSB10"};
        QTest::newRow("others by name, numbers in numeric order")
            << QStringList{"/dev/ttyS10", "/dev/ttyS2", "/dev/ttyAMA0"}
            << QStringList{"/dev/ttyAMA0", "/dev/ttyS2", "/dev/ttyS10"};
        QTest::newRow("duplicates and empty entries dropped")
            << QStringList{"/dev/ttyS0", "", "/dev/ttyS0", "/dev/ttyUSB3"} << QStringList{"/dev/ttyUSB3", "/dev/ttyS0"};
        QTest::newRow("mixed")
            << SystemList
            << QStringList{"/dev/ttyACM0", "/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyS0", "/dev/ttyS1"};
    }

    // The system's ports in the order Com numbers take them: USB adapters
    // first, then the others, each group by name as a user counts.
    void ordering()
    {
        QFETCH(QStringList, listed);
        QFETCH(QStringList, ordered);
        QCOMPARE(PortMap::orderPorts(listed), ordered);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const PortMap map(folder.path(), listing(listed), PortMap::Naming::Unix);
        QCOMPARE(map.orderedPorts(), ordered);
        for (int n = 1; n <= ordered.size(); ++n)
            QCOMPARE(map.deviceFor(n), ordered[n - 1]);
        QCOMPARE(map.deviceFor(ordered.size() + 1), QString());
    }

    void numbersWithoutDevice_data()
    {
        QTest::addColumn<int>("number");
        QTest::newRow("0") << 0;
        QTest::newRow("-1") << -1;
        QTest::newRow("one past the list") << 6;
        QTest::newRow("8") << 8;
    }

    void numbersWithoutDevice()
    {
        QFETCH(int, number);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), folder.filePath(QStringLiteral("com0"))));
        const PortMap map(folder.path(), listing(SystemList), PortMap::Naming::Unix);
        QCOMPARE(map.deviceFor(number), QString());
    }

    // A comN entry in the program's folder wins over the system's list, for
    // its own number only; it is followed to the device it names. Upper case
    // entries are not Com entries.
    void pinnedEntryFirst()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        PtyPair pty;
        QVERIFY2(pty.isOpen(), qPrintable(pty.errorString()));
        const QString byId = folder.filePath(QStringLiteral("usb-Adapter-if00"));
        QVERIFY(QFile::link(pty.slavePath(), byId));
        QVERIFY(QFile::link(byId, folder.filePath(QStringLiteral("com2")))); // a link to a link
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), folder.filePath(QStringLiteral("COM3"))));

        const PortMap map(folder.path(), listing(SystemList), PortMap::Naming::Unix);
        QCOMPARE(map.deviceFor(1), QStringLiteral("/dev/ttyACM0"));
        QCOMPARE(map.deviceFor(2), QFileInfo(pty.slavePath()).canonicalFilePath());
        QCOMPARE(map.deviceFor(3), QStringLiteral("/dev/ttyUSB1"));

        const PortMap withoutList(folder.path(), listing({}), PortMap::Naming::Unix);
        QCOMPARE(withoutList.deviceFor(2), QFileInfo(pty.slavePath()).canonicalFilePath());
        QCOMPARE(withoutList.deviceFor(1), QString());
    }

    // The port control opens what the map names: a pinned pseudo-terminal
    // carries bytes; a pinned link to nothing fails the opening with a
    // reason that names the link.
    void portControlOpensThePinnedDevice()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        PtyPair pty;
        QVERIFY2(pty.isOpen(), qPrintable(pty.errorString()));
        QVERIFY(QFile::link(pty.slavePath(), folder.filePath(QStringLiteral("com1"))));
        const QString dangling = folder.filePath(QStringLiteral("com2"));
        QVERIFY(QFile::link(folder.filePath(QStringLiteral("unplugged")), dangling));

        const PortMap map(folder.path(), listing(SystemList), PortMap::Naming::Unix);
        QCOMPARE(map.deviceFor(2), dangling);

        CommPort port(map.resolver());
        port.setCommPort(2);
        QString reason;
        try {
            port.setPortOpen(true);
        } catch (const Failure &failure) {
            reason = failure.reason();
        }
        QVERIFY2(reason.contains(dangling) && reason.contains(QStringLiteral("Com 2")), qPrintable(reason));
        QVERIFY(!port.portOpen());

        port.setCommPort(1);
        port.setPortOpen(true);
        QVERIFY(port.portOpen());
        port.output("pinned");
        QCOMPARE(pty.read(6, 3000), QByteArray("pinned"));
    }

    // The list is asked again at every look-up: an adapter plugged in while
    // the program runs takes its place.
    void listAskedAtEachLookUp()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QStringList present{QStringLiteral("/dev/ttyS0")};
        const PortMap map(folder.path(), [&present] { return present; }, PortMap::Naming::Unix);
        QCOMPARE(map.deviceFor(1), QStringLiteral("/dev/ttyS0"));
        present.append(QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(map.deviceFor(1), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(map.deviceFor(2), QStringLiteral("/dev/ttyS0"));
        // The same holds for the resolver handed to the port control.
        const auto resolve = map.resolver();
        present.removeFirst();
        QCOMPARE(resolve(1), QStringLiteral("/dev/ttyUSB0"));
    }

    void windowsNaming_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("device");
        QTest::newRow("1") << 1 << "COM1";
        QTest::newRow("8") << 8 << "COM8";
        QTest::newRow("12") << 12 << "COM12";
        QTest::newRow("0") << 0 << "";
        QTest::newRow("-1") << -1 << "";
    }

    // On Windows Com N is COMN, whatever the folder holds.
    void windowsNaming()
    {
        QFETCH(int, number);
        QFETCH(QString, device);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), folder.filePath(QStringLiteral("com1"))));
        const PortMap map(folder.path(), listing(SystemList), PortMap::Naming::Windows);
        QCOMPARE(map.deviceFor(number), device);
    }
};

QTEST_GUILESS_MAIN(TestPortMap)
#include "test_port_map.moc"

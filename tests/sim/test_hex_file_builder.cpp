#include "support/hex_file_builder.h"

#include "sim/hex_record.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(HexFileBuilder::Addressing)
Q_DECLARE_METATYPE(HexFileBuilder::LineEnding)

// The builder makes the files that the simulator, the engine tests and the
// benchmark send; these known texts pin it down independently of the
// simulator's own reading.
class TestHexFileBuilder : public QObject
{
    Q_OBJECT

private slots:
    void knownRecords_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("address");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("data") << 0x00 << 0x0010 << QByteArray("\x01\x02", 2) << QByteArray(":020010000102EB");
        QTest::newRow("end of file") << 0x01 << 0 << QByteArray() << QByteArray(":00000001FF");
        QTest::newRow("extended linear") << 0x04 << 0 << QByteArray("\x00\x01", 2)
                                         << QByteArray(":020000040001F9");
        QTest::newRow("extended segment") << 0x02 << 0 << QByteArray("\x10\x00", 2)
                                          << QByteArray(":020000021000EC");
        QTest::newRow("single zero byte") << 0x00 << 0x0000 << QByteArray("\x00", 1)
                                              << QByteArray(":0100000000FF");
    }

    void knownRecords()
    {
        QFETCH(int, type);
        QFETCH(int, address);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, expected);
        QCOMPARE(HexFileBuilder::record(quint8(type), quint16(address), data), expected);
    }

    void splitsAndAddresses_data()
    {
        using A = HexFileBuilder::Addressing;
        QTest::addColumn<HexFileBuilder::Addressing>("addressing");
        QTest::addColumn<quint32>("address");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("recordSize");
        QTest::addColumn<QList<QByteArray>>("prefixes");  // start of each record, end of file included
        QTest::newRow("below 64 KiB, uneven tail")
            << A::ExtendedLinear << 0x0100u << 40 << 16
            << QList<QByteArray>{":10010000", ":10011000", ":08012000", ":00000001"};
        QTest::newRow("linear, split at 64 KiB")
            << A::ExtendedLinear << 0xFFF8u << 16 << 16
            << QList<QByteArray>{":08FFF800", ":020000040001", ":08000000", ":00000001"};
        QTest::newRow("segment, split at 64 KiB")
            << A::ExtendedSegment << 0x1FFFCu << 8 << 16
            << QList<QByteArray>{":020000021000", ":04FFFC00", ":020000022000", ":04000000", ":00000001"};
        QTest::newRow("larger records") << A::ExtendedLinear << 0u << 40 << 32
                                        << QList<QByteArray>{":20000000", ":08002000", ":00000001"};
    }

    void splitsAndAddresses()
    {
        QFETCH(HexFileBuilder::Addressing, addressing);
        QFETCH(quint32, address);
        QFETCH(int, size);
        QFETCH(int, recordSize);
        QFETCH(QList<QByteArray>, prefixes);
        QByteArray data(size, 0);
        for (int i = 0; i < size; ++i)
            data[i] = char(i * 3 + 1);
        HexFileBuilder hex;
        hex.setAddressing(addressing).setRecordSize(recordSize).addData(address, data);
        const QList<QByteArray> records = hex.records();
        QCOMPARE(records.size(), prefixes.size());
        QByteArray carried;
        for (int i = 0; i < records.size(); ++i) {
            QVERIFY2(records.at(i).startsWith(prefixes.at(i)), records.at(i).constData());
            const auto decoded = decodeHexRecord(records.at(i));
            QVERIFY2(decoded, records.at(i).constData());
            if (decoded->type == HexRecord::Data)
                carried += decoded->data;
        }
        QCOMPARE(carried, data);
    }

    void lineEndsAndFile_data()
    {
        QTest::addColumn<HexFileBuilder::LineEnding>("ending");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("CR LF") << HexFileBuilder::LineEnding::CrLf
                               << QByteArray(":0100000041BE\r\n:00000001FF\r\n");
        QTest::newRow("LF") << HexFileBuilder::LineEnding::Lf << QByteArray(":0100000041BE\n:00000001FF\n");
        QTest::newRow("none") << HexFileBuilder::LineEnding::None << QByteArray(":0100000041BE:00000001FF");
    }

    void lineEndsAndFile()
    {
        QFETCH(HexFileBuilder::LineEnding, ending);
        QFETCH(QByteArray, expected);
        HexFileBuilder hex;
        hex.setLineEnding(ending).addData(0, "A");
        QCOMPARE(hex.text(), expected);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QString error;
        QVERIFY2(hex.writeFile(dir.filePath("a.hex"), &error), qPrintable(error));
        QFile file(dir.filePath("a.hex"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), expected);
        QVERIFY(!hex.writeFile(dir.filePath("missing/a.hex"), &error));
        QVERIFY2(error.contains("missing/a.hex"), qPrintable(error));

        hex.setEndOfFile(false);
        QVERIFY(!hex.text().contains(":00000001FF"));
    }

    void corruptions_data()
    {
        const QByteArray good = HexFileBuilder::record(0x00, 0x0020, QByteArray("\x12\x34\x56", 3));
        QTest::addColumn<QByteArray>("corrupt");
        QTest::newRow("bad checksum") << HexFileBuilder::withBadChecksum(good);
        QTest::newRow("bad digit") << HexFileBuilder::withBadDigit(good);
        QTest::newRow("changed data") << HexFileBuilder::withChangedData(good);
        QTest::newRow("truncated") << HexFileBuilder::truncated(good, 9);
    }

    void corruptions()
    {
        QFETCH(QByteArray, corrupt);
        const QByteArray good = HexFileBuilder::record(0x00, 0x0020, QByteArray("\x12\x34\x56", 3));
        QVERIFY(decodeHexRecord(good));
        QVERIFY(corrupt != good);
        QString problem;
        QVERIFY(!decodeHexRecord(corrupt, &problem));
        QVERIFY(!problem.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestHexFileBuilder)
#include "test_hex_file_builder.moc"

#include "platform/line_file.h"
#include "platform/failure.h"
#include "support/file_helpers.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestLineFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QString &name, const QByteArray &content)
    {
        const QString path = m_dir.filePath(name);
        if (!writeFile(path, content))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    static QList<QByteArray> readAll(LineFile &file)
    {
        QList<QByteArray> lines;
        while (!file.atEnd())
            lines << file.readLine();
        return lines;
    }

private slots:
    void lines_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QList<QByteArray>>("expected");
        QTest::newRow("CR LF") << QByteArray(":00\r\n:01\r\n") << QList<QByteArray>{":00", ":01"};
        QTest::newRow("LF alone") << QByteArray(":00\n:01\n") << QList<QByteArray>{":00", ":01"};
        QTest::newRow("CR alone") << QByteArray(":00\r:01\r") << QList<QByteArray>{":00", ":01"};
        QTest::newRow("no terminator at the end") << QByteArray(":00\r\n:01") << QList<QByteArray>{":00", ":01"};
        QTest::newRow("empty lines kept") << QByteArray("a\r\n\r\nb\n\nc") << QList<QByteArray>{"a", "", "b", "", "c"};
        QTest::newRow("LF CR is two line ends") << QByteArray("a\n\rb") << QList<QByteArray>{"a", "", "b"};
        QTest::newRow("empty file") << QByteArray() << QList<QByteArray>{};
        QTest::newRow("bytes unchanged") << QByteArray("\x00\xff\x7f\r\n", 5)
                                         << QList<QByteArray>{QByteArray("\x00\xff\x7f", 3)};
    }

    void lines()
    {
        QFETCH(QByteArray, content);
        QFETCH(QList<QByteArray>, expected);
        LineFile file;
        file.open(write(QStringLiteral("lines.hex"), content));
        QCOMPARE(readAll(file), expected);
        QCOMPARE(file.lineNumber(), expected.size());
        // A second pass after rewinding reads the same lines.
        file.rewind();
        QCOMPARE(file.lineNumber(), 0);
        QCOMPARE(readAll(file), expected);
    }

    // A CR LF pair split by the reader's chunk boundary is still one line end.
    void terminatorAcrossChunks()
    {
        QByteArray content(LineFile::ChunkSize - 1, 'A');
        content += "\r\nB\r\n";
        LineFile file;
        file.open(write(QStringLiteral("chunk.hex"), content));
        const QList<QByteArray> lines = readAll(file);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0].size(), LineFile::ChunkSize - 1);
        QCOMPARE(lines[1], QByteArray("B"));
    }

    void tooLongLineFails()
    {
        LineFile file;
        file.open(write(QStringLiteral("binary.bin"), QByteArray(LineFile::MaxLineLength + 1, '\0')));
        QVERIFY(!file.atEnd());
        QVERIFY_THROWS_EXCEPTION(Failure, file.readLine());
    }

    void openingFails_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing") << m_dir.filePath(QStringLiteral("missing.hex"));
        QTest::newRow("folder") << m_dir.path();
        QTest::newRow("device") << QStringLiteral("/dev/zero");
        QTest::newRow("empty name") << QString();
        const QString unreadable = write(QStringLiteral("unreadable.hex"), QByteArray(":00000001FF\r\n"));
        QFile::setPermissions(unreadable, QFileDevice::WriteOwner);
        QTest::newRow("no permission to read") << unreadable;
    }

    void openingFails()
    {
        QFETCH(QString, path);
        if (path.endsWith(QStringLiteral("unreadable.hex")) && QFile(path).open(QIODevice::ReadOnly))
            QSKIP("Permissions do not stop this user (root) from reading");
        LineFile file;
        QVERIFY_THROWS_EXCEPTION(Failure, file.open(path));
        QVERIFY(!file.isOpen());
        file.close(); // closing a file that is not open does nothing
    }
};

QTEST_GUILESS_MAIN(TestLineFile)
#include "test_line_file.moc"

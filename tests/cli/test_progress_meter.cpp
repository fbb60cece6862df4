#include "cli/progress_meter.h"

#include <QTest>

class TestProgressMeter : public QObject
{
    Q_OBJECT

private slots:
    // The download counts down from one below the number of lines.
    void figuresFromCountdown_data()
    {
        QTest::addColumn<int>("linesTotal");
        QTest::addColumn<int>("linesRemaining");
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("done");
        QTest::newRow("start of 64 lines") << 63 << 63 << 64 << 0;
        QTest::newRow("after the first line") << 63 << 62 << 64 << 1;
        QTest::newRow("after the last line") << 63 << -1 << 64 << 64;
        QTest::newRow("one line") << 0 << 0 << 1 << 0;
        QTest::newRow("empty file") << -1 << -1 << 0 << 0;
        QTest::newRow("never beyond the total") << 10 << -5 << 11 << 11;
    }

    void figuresFromCountdown()
    {
        QFETCH(int, linesTotal);
        QFETCH(int, linesRemaining);
        QFETCH(int, total);
        QFETCH(int, done);
        const ProgressFigures figures = progressFromCountdown(linesTotal, linesRemaining, 1500);
        QCOMPARE(figures.total, total);
        QCOMPARE(figures.done, done);
        QCOMPARE(figures.elapsedMs, 1500);
    }

    void format_data()
    {
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("done");
        QTest::addColumn<qint64>("elapsedMs");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nothing sent yet")
            << 64 << 0 << qint64(0)
            << "FLASH [--------------------] 0/64 lines, 64 remaining, 0%, -- lines/s, --:-- left";
        QTest::newRow("a quarter, 32 lines a second")
            << 64 << 16 << qint64(500)
            << "FLASH [#####---------------] 16/64 lines, 48 remaining, 25%, 32.0 lines/s, 0:02 left";
        QTest::newRow("slow, minutes left")
            << 1000 << 10 << qint64(10000)
            << "FLASH [--------------------] 10/1000 lines, 990 remaining, 1%, 1.0 lines/s, 16:30 left";
        QTest::newRow("hours left")
            << 20000 << 1 << qint64(1000)
            << "FLASH [--------------------] 1/20000 lines, 19999 remaining, 0%, 1.0 lines/s, 5:33:19 left";
        QTest::newRow("complete")
            << 64 << 64 << qint64(2000)
            << "FLASH [####################] 64/64 lines, 0 remaining, 100%, 32.0 lines/s, 0:00 left";
        QTest::newRow("empty file") << 0 << 0 << qint64(0)
                                    << "FLASH [####################] 0/0 lines, 0 remaining, 100%, -- lines/s, 0:00 left";
    }

    void format()
    {
        QFETCH(int, total);
        QFETCH(int, done);
        QFETCH(qint64, elapsedMs);
        QFETCH(QString, expected);
        QCOMPARE(formatProgress(QStringLiteral("FLASH"), ProgressFigures{total, done, elapsedMs}), expected);
    }

    // Plain lines: the first drawing, each further tenth, every ten seconds,
    // and the end; nothing in between.
    void plainLinesAreRationed()
    {
        PlainProgressSchedule schedule;
        const auto due = [&](int done, qint64 ms, bool final = false) {
            return schedule.due(ProgressFigures{100, done, ms}, final);
        };
        QVERIFY(due(0, 0));
        QVERIFY(!due(5, 1000));
        QVERIFY(!due(9, 2000));
        QVERIFY(due(10, 3000));
        QVERIFY(!due(11, 4000));
        QVERIFY(due(12, 13000)); // ten seconds without a line
        QVERIFY(!due(13, 14000));
        QVERIFY(due(35, 15000)); // two tenths at once: one line
        QVERIFY(!due(36, 16000));
        QVERIFY(due(36, 16500, true));
    }
};

QTEST_GUILESS_MAIN(TestProgressMeter)
#include "test_progress_meter.moc"

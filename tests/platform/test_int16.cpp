#include "platform/failure.h"
#include "platform/int16.h"

#include <QTest>

class TestInt16 : public QObject
{
    Q_OBJECT

private slots:
    void arithmetic_data()
    {
        QTest::addColumn<int>("a");
        QTest::addColumn<int>("b");
        QTest::addColumn<bool>("subtract");
        QTest::addColumn<int>("expected"); // -99999 marks an overflow
        QTest::newRow("small sum") << 2 << 3 << false << 5;
        QTest::newRow("up to the top") << 32766 << 1 << false << 32767;
        QTest::newRow("past the top") << 32767 << 1 << false << -99999;
        QTest::newRow("down to -1") << 0 << 1 << true << -1;
        QTest::newRow("down to the bottom") << -32767 << 1 << true << -32768;
        QTest::newRow("past the bottom") << -32768 << 1 << true << -99999;
        QTest::newRow("subtracting a negative past the top") << 32767 << -1 << true << -99999;
    }

    void arithmetic()
    {
        QFETCH(int, a);
        QFETCH(int, b);
        QFETCH(bool, subtract);
        QFETCH(int, expected);
        const auto run = [&] {
            return subtract ? sub16(qint16(a), qint16(b)) : add16(qint16(a), qint16(b));
        };
        if (expected == -99999)
            QVERIFY_THROWS_EXCEPTION(Failure, run());
        else
            QCOMPARE(int(run()), expected);
    }

    void conversion()
    {
        QCOMPARE(int(checkedInt16(-32768)), -32768);
        QVERIFY_THROWS_EXCEPTION(Failure, checkedInt16(40000));
    }
};

QTEST_GUILESS_MAIN(TestInt16)
#include "test_int16.moc"

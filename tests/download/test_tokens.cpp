#include "download/tokens.h"
#include "platform/failure.h"

#include <QLocale>
#include <QTest>
#include <clocale>

class TestTokens : public QObject
{
    Q_OBJECT

private slots:
    void contains_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QByteArray>("token");
        QTest::addColumn<bool>("expected");
        QTest::newRow("single character") << QByteArray("xx~") << QByteArray("~") << true;
        QTest::newRow("absent") << QByteArray("xx") << QByteArray("~") << false;
        QTest::newRow("several characters, all arrived") << QByteArray("?OK!") << QByteArray("OK") << true;
        QTest::newRow("several characters, only the first arrived") << QByteArray("?O") << QByteArray("OK") << false;
        QTest::newRow("case matters") << QByteArray("ok") << QByteArray("OK") << false;
        QTest::newRow("empty token, non-empty reply") << QByteArray("x") << QByteArray() << true;
        QTest::newRow("empty token, empty reply") << QByteArray() << QByteArray() << false;
        QTest::newRow("token in the middle") << QByteArray("ab@&$cd") << QByteArray("@&$") << true;
        QTest::newRow("NUL bytes pass") << QByteArray("a\0~", 3) << QByteArray("~") << true;
    }

    void contains()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, token);
        QFETCH(bool, expected);
        QCOMPARE(containsToken(reply, token), expected);
    }

    void version_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<float>("expected");
        QTest::newRow("1.3") << QByteArray("1.3") << 1.3f;
        QTest::newRow("1.3 followed by text") << QByteArray("1.3~rest") << 1.3f;
        QTest::newRow("blanks, tabs and line feeds skipped") << QByteArray(" 1 .\t2\n9x") << 1.29f;
        QTest::newRow("a carriage return stops the number") << QByteArray("1\r.3") << 1.0f;
        QTest::newRow("no number") << QByteArray("abc") << 0.0f;
        QTest::newRow("empty") << QByteArray() << 0.0f;
        QTest::newRow("integer") << QByteArray("2") << 2.0f;
        QTest::newRow("leading point") << QByteArray(".5") << 0.5f;
        QTest::newRow("second point stops") << QByteArray("1.2.3") << 1.2f;
        QTest::newRow("negative") << QByteArray("-1.5") << -1.5f;
        QTest::newRow("exponent") << QByteArray("13E-1") << 1.3f;
        QTest::newRow("E without digits is not an exponent") << QByteArray("1.3Error") << 1.3f;
        QTest::newRow("comma is not a decimal point") << QByteArray("1,3") << 1.0f;
    }

    void version()
    {
        QFETCH(QByteArray, text);
        QFETCH(float, expected);
        QCOMPARE(readVersionNumber(text), expected);
    }

    // Once Qt has called setlocale, the C library reads "1.5" as 1 under a
    // German locale; the version must not depend on that.
    void versionIgnoresTheCLocale()
    {
        const char *previous = std::setlocale(LC_NUMERIC, nullptr);
        const QByteArray saved = previous ? QByteArray(previous) : QByteArray("C");
        if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "de_DE"))
            QSKIP("No German locale installed on this machine");
        const float version = readVersionNumber("1.5");
        std::setlocale(LC_NUMERIC, saved.constData());
        QCOMPARE(version, 1.5f);
    }

    void versionOutOfRangeFails()
    {
        QVERIFY_THROWS_EXCEPTION(Failure, readVersionNumber("1e39"));
        QVERIFY_THROWS_EXCEPTION(Failure, readVersionNumber(QByteArray(400, '9')));
    }

    void thresholdsInSinglePrecision()
    {
        QVERIFY(!(readVersionNumber("1.3") < 1.3f));
        QVERIFY(readVersionNumber("1.29") < 1.3f);
        QVERIFY(!(readVersionNumber("1.28") < 1.28f));
    }

    void format_data()
    {
        QTest::addColumn<float>("version");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("german");
        QTest::newRow("1.3") << 1.3f << "1.3" << "1,3";
        QTest::newRow("2") << 2.0f << "2" << "2";
        QTest::newRow("seven digits") << 1.2345678f << "1.234568" << "1,234568";
        QTest::newRow("no group separator") << 12345.0f << "12345" << "12345";
    }

    void format()
    {
        QFETCH(float, version);
        QFETCH(QString, english);
        QFETCH(QString, german);
        QCOMPARE(formatVersionNumber(version, QLocale(QLocale::English, QLocale::UnitedStates)), english);
        QCOMPARE(formatVersionNumber(version, QLocale(QLocale::German, QLocale::Germany)), german);
    }
};

QTEST_GUILESS_MAIN(TestTokens)
#include "test_tokens.moc"

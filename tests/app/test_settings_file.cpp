#include "app/settings.h"
#include "app/settings_file.h"
#include "platform/failure.h"
#include "support/file_helpers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_METATYPE(Settings)

namespace {

// The file the program writes for the default settings, byte for byte.
const QByteArray DefaultsFile = QByteArray::fromHex(
    "30 0D 0A 35 0D 0A 22 22 0D 0A 22 40 26 24 22 0D 0A 22 3F 22 0D 0A 22 24 22 0D 0A 22 5E 22 "
    "0D 0A 22 25 22 0D 0A 22 23 22 0D 0A 22 40 22 0D 0A 22 2D 22 0D 0A 22 7E 22 0D 0A 22 22 0D "
    "0A 22 2A 22 0D 0A 30 0D 0A 31 0D 0A");

QList<QByteArray> defaultLines()
{
    QList<QByteArray> lines = DefaultsFile.split('\n');
    lines.removeLast(); // after the last LF
    for (QByteArray &line : lines)
        line.chop(1); // the CR
    return lines;
}

QByteArray joined(const QList<QByteArray> &lines, const QByteArray &ending = "\r\n")
{
    QByteArray content;
    for (const QByteArray &line : lines)
        content += line + ending;
    return content;
}

// The defaults file with line `number` (1-based) replaced.
QByteArray defaultsWithLine(int number, const QByteArray &replacement)
{
    QList<QByteArray> lines = defaultLines();
    lines[number - 1] = replacement;
    return joined(lines);
}


// Compares value by value, so a failure names the setting that differs.
void compareSettings(const Settings &actual, const Settings &expected)
{
    for (int index = 0; index < SettingCount; ++index) {
        const auto role = static_cast<SettingRole>(index);
        if (actual.text(role) != expected.text(role))
            QFAIL(qPrintable(QStringLiteral("value %1: got \"%2\", expected \"%3\"")
                                 .arg(index + 1)
                                 .arg(actual.text(role), expected.text(role))));
    }
    QVERIFY(actual == expected);
}

// Reads path; a failure fails the test with its reason.
Settings readOrFail(const QString &path)
{
    try {
        return readSettingsFile(path);
    } catch (const Failure &failure) {
        QTest::qFail(qPrintable(failure.reason()), __FILE__, __LINE__);
        return {};
    }
}

Settings withText(SettingRole role, const QString &text, Settings settings = {})
{
    settings.setText(role, text);
    return settings;
}

Settings withNumber(SettingRole role, int value, Settings settings = {})
{
    settings.setNumber(role, value);
    return settings;
}

} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<Settings>("settings");
        QTest::addColumn<QString>("fileName");

        QTest::newRow("defaults") << Settings{} << "tarnwick.txt";

        Settings paths;
        paths.comPortIndex = 7;
        paths.baudRateIndex = 9;
        paths.applicationFile = QStringLiteral("/home/ann/board, rev 2/app,final.hex");
        paths.eepromFile = QStringLiteral("C:\\Projects\\a,b\\data.eep");
        paths.eepromCheck = 1;
        paths.flashCheck = 0;
        QTest::newRow("paths with commas") << paths << "settings, copy.txt";

        Settings quotes;
        quotes.checksumErrorChar = QStringLiteral("\"");
        quotes.lineCompleteChar = QStringLiteral("\"\"");
        quotes.startDownloadSequence = QStringLiteral("a\"b");
        quotes.pageErrorChar = QStringLiteral("\", \"");
        quotes.applicationFile = QStringLiteral("\"quoted\" name.hex");
        quotes.eepromFile = QStringLiteral("x\"   ");
        QTest::newRow("values with double quotes") << quotes << "quotes.txt";

        Settings empty;
        for (int index = 0; index < SettingCount; ++index)
            empty.setText(static_cast<SettingRole>(index), QString());
        empty.comPortIndex = -1;
        empty.baudRateIndex = -1;
        QTest::newRow("empty values, no list entry") << empty << "empty.txt";

        QTest::newRow("check box greyed")
            << withNumber(SettingRole::EepromCheck, 2, withNumber(SettingRole::FlashCheck, 2))
            << "grey.txt";

        Settings blanks;
        blanks.bootloaderReadyChar = QStringLiteral(" ");
        blanks.jumpToBootloaderCommand = QStringLiteral("  $ ,");
        blanks.eepromWriteChar = QStringLiteral("\t*");
        QTest::newRow("blanks and commas in protocol fields") << blanks << "blanks.txt";

        QTest::newRow("non-ASCII text")
            << withText(SettingRole::ApplicationFile, QStringLiteral("/tmp/Größe/€.hex"))
            << "umlaut.txt";
    }

    void roundTrip()
    {
        QFETCH(Settings, settings);
        QFETCH(QString, fileName);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(fileName);
        writeSettingsFile(path, settings);
        compareSettings(readOrFail(path), settings);
        if (QTest::currentTestFailed())
            return;
        // Written again, the file does not change.
        const QByteArray first = readFile(path);
        writeSettingsFile(path, readOrFail(path));
        QCOMPARE(readFile(path), first);
    }

    void exactBytes_data()
    {
        QTest::addColumn<Settings>("settings");
        QTest::addColumn<QByteArray>("bytes");

        QTest::newRow("defaults") << Settings{} << DefaultsFile;

        Settings other;
        other.comPortIndex = -1;
        other.baudRateIndex = 9;
        other.applicationFile = QStringLiteral("a,b");
        other.checksumErrorChar = QStringLiteral("\"");
        other.eepromCheck = 2;
        other.flashCheck = 0;
        QTest::newRow("negative position, quote unescaped")
            << other
            << QByteArray("-1\r\n9\r\n\"a,b\"\r\n\"@&$\"\r\n\"?\"\r\n\"$\"\r\n\"^\"\r\n\"%\"\r\n"
                          "\"#\"\r\n\"@\"\r\n\"\"\"\r\n\"~\"\r\n\"\"\r\n\"*\"\r\n2\r\n0\r\n");

        QTest::newRow("text in the system encoding")
            << withText(SettingRole::EepromFile, QStringLiteral("ä"))
            << defaultsWithLine(13, "\"" + QStringLiteral("ä").toLocal8Bit() + "\"");
    }

    void exactBytes()
    {
        QFETCH(Settings, settings);
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("tarnwick.txt"));
        // A longer old file is replaced as a whole, nothing of it is left.
        QVERIFY(writeFile(path, QByteArray(4096, 'x')));
        writeSettingsFile(path, settings);
        QCOMPARE(readFile(path), bytes);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("tarnwick.txt")});
    }

    void defaultsFileIs72Bytes()
    {
        QCOMPARE(DefaultsFile.size(), 72);
    }

    // Files written by hand or by earlier versions.
    void readingRules_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<Settings>("expected");

        QTest::newRow("the defaults file") << DefaultsFile << Settings{};
        QTest::newRow("extra lines ignored")
            << DefaultsFile + "garbage\r\n99\r\n\"x\"\r\n\r\n" << Settings{};
        QTest::newRow("more after the last value, no line end")
            << DefaultsFile.chopped(2) + ",17,\"zz\"" << Settings{};
        QTest::newRow("line feeds only") << joined(defaultLines(), "\n") << Settings{};
        QTest::newRow("carriage returns only") << joined(defaultLines(), "\r") << Settings{};
        QTest::newRow("no line end after the last value") << DefaultsFile.chopped(2) << Settings{};

        QList<QByteArray> blanks = defaultLines();
        blanks[0] = "  3  ";
        blanks[1] = "\t4";
        blanks[3] = "   \"@&$\"   ";
        blanks[15] = " 0 ";
        Settings blanksExpected;
        blanksExpected.comPortIndex = 3;
        blanksExpected.baudRateIndex = 4;
        blanksExpected.flashCheck = 0;
        QTest::newRow("blanks around values") << joined(blanks) << blanksExpected;

        QList<QByteArray> oneLine = defaultLines().mid(2);
        oneLine.prepend("2,8");
        Settings oneLineExpected;
        oneLineExpected.comPortIndex = 2;
        oneLineExpected.baudRateIndex = 8;
        QTest::newRow("two values on one line") << joined(oneLine) << oneLineExpected;

        QList<QByteArray> earlier = {
            "1", "3", "\"C:\\Projects\\board, rev 2\\app.hex\"", "\"!!\"", "\"R\"", "\"J\"",
            "\"A\"", "\"P\"", "\"E\"", "\"K\"", "\"C\"", "\".\"",
            "\"C:\\Projects\\board, rev 2\\data.eep\"", "\"W\"", "1", "0"};
        Settings earlierExpected;
        earlierExpected.comPortIndex = 1;
        earlierExpected.baudRateIndex = 3;
        earlierExpected.applicationFile = QStringLiteral("C:\\Projects\\board, rev 2\\app.hex");
        earlierExpected.startDownloadSequence = QStringLiteral("!!");
        earlierExpected.bootloaderReadyChar = QStringLiteral("R");
        earlierExpected.jumpToBootloaderCommand = QStringLiteral("J");
        earlierExpected.bootloaderActiveChar = QStringLiteral("A");
        earlierExpected.pageErrorChar = QStringLiteral("P");
        earlierExpected.fileCompleteErrorsChar = QStringLiteral("E");
        earlierExpected.fileCompleteOkChar = QStringLiteral("K");
        earlierExpected.checksumErrorChar = QStringLiteral("C");
        earlierExpected.lineCompleteChar = QStringLiteral(".");
        earlierExpected.eepromFile = QStringLiteral("C:\\Projects\\board, rev 2\\data.eep");
        earlierExpected.eepromWriteChar = QStringLiteral("W");
        earlierExpected.eepromCheck = 1;
        earlierExpected.flashCheck = 0;
        QTest::newRow("file of an earlier version, lines in file order")
            << joined(earlier) << earlierExpected;

        QTest::newRow("text after the closing quote, as always read")
            << defaultsWithLine(4, "\"@&$\" junk") << Settings{};
        QTest::newRow("text after the closing quote up to a comma")
            << joined(defaultLines().mid(0, 2) + QList<QByteArray>{"\"a\"x, @&$"}
                      + defaultLines().mid(4))
            << withText(SettingRole::ApplicationFile, QStringLiteral("a"));
        QTest::newRow("quote without its closing quote")
            << defaultsWithLine(3, "\"C:\\fw, v1.hex")
            << withText(SettingRole::ApplicationFile, QStringLiteral("C:\\fw, v1.hex"));
        QTest::newRow("text without quotes")
            << defaultsWithLine(3, "  app.hex  ")
            << withText(SettingRole::ApplicationFile, QStringLiteral("app.hex"));
        QTest::newRow("three quotes hold one quote")
            << defaultsWithLine(11, "\"\"\"")
            << withText(SettingRole::ChecksumErrorChar, QStringLiteral("\""));

        QTest::newRow("quoted numbers")
            << joined(QList<QByteArray>{"\"4\"", "\" 6\""} + defaultLines().mid(2, 12) + QList<QByteArray>{"\"2\"", "\"0\""})
            << withNumber(SettingRole::ComPortIndex, 4,
                          withNumber(SettingRole::BaudRateIndex, 6,
                                     withNumber(SettingRole::EepromCheck, 2,
                                                withNumber(SettingRole::FlashCheck, 0))));
        QTest::newRow("signs and leading zeros")
            << joined(QList<QByteArray>{"-1", "+09"} + defaultLines().mid(2, 13) + QList<QByteArray>{"002"})
            << withNumber(SettingRole::ComPortIndex, -1,
                          withNumber(SettingRole::BaudRateIndex, 9,
                                     withNumber(SettingRole::FlashCheck, 2)));
        QTest::newRow("values at the start of a large file")
            << DefaultsFile + QByteArray(4 * 1024 * 1024, 'x') << Settings{};
    }

    void readingRules()
    {
        QFETCH(QByteArray, content);
        QFETCH(Settings, expected);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("in.txt"));
        QVERIFY(writeFile(path, content));
        compareSettings(readOrFail(path), expected);
    }

    void readFailures_data()
    {
        QTest::addColumn<QString>("kind"); // "content", or how to make the path fail
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reasonPart");
        QTest::addColumn<int>("valuesTaken"); // onValue calls before the failure

        QTest::newRow("missing file") << "missing" << QByteArray() << "does not exist" << 0;
        QTest::newRow("a folder") << "folder" << QByteArray() << "folder" << 0;
        QTest::newRow("no read permission") << "unreadable" << DefaultsFile << "" << 0;
        QTest::newRow("a pipe") << "fifo" << QByteArray() << "not a regular file" << 0;
        QTest::newRow("empty file") << "content" << QByteArray() << "after 0 of the 16" << 0;
        QTest::newRow("fifteen values")
            << "content" << joined(defaultLines().mid(0, 15)) << "after 15 of the 16" << 15;
        QTest::newRow("sixteenth line empty, file ends")
            << "content" << joined(defaultLines().mid(0, 15)) + "\r\n" << "not a whole number"
            << 15;
        QTest::newRow("port 8") << "content" << defaultsWithLine(1, "8") << "-1 to 7" << 0;
        QTest::newRow("port -2") << "content" << defaultsWithLine(1, "-2") << "-1 to 7" << 0;
        QTest::newRow("baud rate 10") << "content" << defaultsWithLine(2, "10") << "-1 to 9" << 1;
        QTest::newRow("port beyond 16 bits")
            << "content" << defaultsWithLine(1, "65536") << "16-bit" << 0;
        QTest::newRow("port beyond 64 bits")
            << "content" << defaultsWithLine(1, "123456789012345678901234567890") << "16-bit"
            << 0;
        QTest::newRow("port not a number")
            << "content" << defaultsWithLine(1, "Com 1") << "not a whole number" << 0;
        QTest::newRow("port empty") << "content" << defaultsWithLine(1, "") << "not a whole number"
                                    << 0;
        QTest::newRow("baud rate with a fraction")
            << "content" << defaultsWithLine(2, "5.0") << "not a whole number" << 1;
        QTest::newRow("baud rate only a sign")
            << "content" << defaultsWithLine(2, "-") << "not a whole number" << 1;
        QTest::newRow("EEPROM check 3") << "content" << defaultsWithLine(15, "3") << "0 to 2" << 14;
        QTest::newRow("application check -1")
            << "content" << defaultsWithLine(16, "-1") << "0 to 2" << 15;
        QTest::newRow("EEPROM check empty")
            << "content" << defaultsWithLine(15, "") << "not a whole number" << 14;
        QTest::newRow("EEPROM check empty quotes")
            << "content" << defaultsWithLine(15, "\"\"") << "not a whole number" << 14;
        QTest::newRow("application check letters")
            << "content" << defaultsWithLine(16, "True") << "not a whole number" << 15;

        QByteArray binary;
        for (int round = 0; round < 4096; ++round)
            for (int byte = 0; byte < 256; ++byte)
                binary += char(byte);
        QTest::newRow("binary file") << "content" << binary << "binary" << 0;
        QTest::newRow("binary data inside a text")
            << "content" << defaultsWithLine(3, QByteArray("\"a\0b\"", 5)) << "binary" << 2;
        QTest::newRow("a text line without end")
            << "content" << QByteArray("0\r\n5\r\n\"") + QByteArray(8 * 1024 * 1024, 'a')
            << "line 3 is longer than" << 2;
    }

    void readFailures()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, content);
        QFETCH(QString, reasonPart);
        QFETCH(int, valuesTaken);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QString path = dir.filePath(QStringLiteral("settings.txt"));
        if (kind == u"content") {
            QVERIFY(writeFile(path, content));
        } else if (kind == u"folder") {
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("settings.txt")));
        } else if (kind == u"unreadable") {
            if (runningAsRoot())
                QSKIP("permissions do not stop root from reading");
            QVERIFY(writeFile(path, content));
            QVERIFY(QFile::setPermissions(path, QFile::WriteOwner));
        } else if (kind == u"fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }

        int calls = 0;
        try {
            readSettingsFile(path, [&](SettingRole, const Settings &) { ++calls; });
            QFAIL("the file was read without a failure");
        } catch (const Failure &failure) {
            QVERIFY2(failure.reason().contains(path), qPrintable(failure.reason()));
            QVERIFY2(failure.reason().contains(reasonPart), qPrintable(failure.reason()));
        }
        QCOMPARE(calls, valuesTaken);
    }

    void emptyPathFails()
    {
        QVERIFY_THROWS_EXCEPTION(Failure, readSettingsFile(QString()));
        QVERIFY_THROWS_EXCEPTION(Failure, writeSettingsFile(QString(), Settings{}));
    }

    void onValueOrder()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("order.txt"));
        Settings stored;
        for (int index = 0; index < SettingCount; ++index) {
            const auto role = static_cast<SettingRole>(index);
            if (isTextSetting(role))
                stored.setText(role, QStringLiteral("value %1").arg(index + 1));
        }
        stored.comPortIndex = 6;
        stored.baudRateIndex = 2;
        stored.eepromCheck = 1;
        stored.flashCheck = 2;
        writeSettingsFile(path, stored);

        QList<SettingRole> order;
        readSettingsFile(path, [&](SettingRole role, const Settings &soFar) {
            order.append(role);
            // Everything up to this value comes from the file, the rest is
            // still the defaults.
            for (int index = 0; index < SettingCount; ++index) {
                const auto other = static_cast<SettingRole>(index);
                const Settings &source = index <= int(role) ? stored : Settings{};
                QCOMPARE(soFar.text(other), source.text(other));
            }
        });
        QCOMPARE(order.size(), SettingCount);
        for (int index = 0; index < SettingCount; ++index)
            QCOMPARE(int(order.at(index)), index);
    }

    void failedSaveKeepsOldFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<Settings>("settings");

        Settings changed;
        changed.comPortIndex = 3;
        changed.applicationFile = QStringLiteral("new.hex");
        QTest::newRow("read-only file") << "readonly file" << changed;
        QTest::newRow("read-only folder") << "readonly folder" << changed;
        QTest::newRow("missing folder") << "missing folder" << changed;
        QTest::newRow("a folder as target") << "folder" << changed;
        QTest::newRow("text with a line break")
            << "value" << withText(SettingRole::ApplicationFile, QStringLiteral("a\r\nb"));
        QTest::newRow("text with a NUL")
            << "value" << withText(SettingRole::EepromWriteChar, QStringLiteral("a") + QChar(0));
        QTest::newRow("text with a lone surrogate")
            << "value" << withText(SettingRole::EepromFile, QString(QChar(0xD800)));
        QTest::newRow("port 8") << "value" << withNumber(SettingRole::ComPortIndex, 8);
        QTest::newRow("baud rate -2") << "value" << withNumber(SettingRole::BaudRateIndex, -2);
        QTest::newRow("check state 3") << "value" << withNumber(SettingRole::FlashCheck, 3);
    }

    void failedSaveKeepsOldFile()
    {
        QFETCH(QString, kind);
        QFETCH(Settings, settings);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString folder = dir.filePath(QStringLiteral("place"));
        QVERIFY(QDir().mkpath(folder));
        QString path = folder + QStringLiteral("/tarnwick.txt");
        const QByteArray old = defaultsWithLine(3, "\"old.hex\"");
        QVERIFY(writeFile(path, old));

        if (kind == u"readonly file" || kind == u"readonly folder") {
            if (runningAsRoot())
                QSKIP("permissions do not stop root from writing");
            const QString target = kind == u"readonly file" ? path : folder;
            QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::ExeOwner));
        } else if (kind == u"missing folder") {
            path = dir.filePath(QStringLiteral("no such folder/tarnwick.txt"));
        } else if (kind == u"folder") {
            path = folder;
        }

        try {
            writeSettingsFile(path, settings);
            QFAIL("the save did not fail");
        } catch (const Failure &failure) {
            QVERIFY2(failure.reason().contains(path), qPrintable(failure.reason()));
        }
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(readFile(folder + QStringLiteral("/tarnwick.txt")), old);
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("tarnwick.txt")});
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("no such folder"))));
    }

    void saveThroughSymlinkKeepsLink()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString target = dir.filePath(QStringLiteral("real.txt"));
        const QString link = dir.filePath(QStringLiteral("link.txt"));
        QVERIFY(writeFile(target, "old"));
        QVERIFY(QFile::link(target, link));
        writeSettingsFile(link, Settings{});
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(readFile(target), DefaultsFile);
    }

    // The file is replaced by a new one; who may read it stays as it was.
    void saveKeepsPermissions()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("private.txt"));
        QVERIFY(writeFile(path, "old"));
        const auto permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser
            | QFile::WriteUser | QFile::ReadGroup;
        QVERIFY(QFile::setPermissions(path, permissions));
        writeSettingsFile(path, Settings{});
        QCOMPARE(readFile(path), DefaultsFile);
        QCOMPARE(QFile::permissions(path), permissions);
    }

    void messages_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("load");
        QTest::addColumn<QString>("save");
        QTest::newRow("program folder")
            << "/opt/tarnwick/tarnwick.txt"
            << "An error occured while loading file /opt/tarnwick/tarnwick.txt. The default "
               "settings will be loaded instead."
            << "An error occured while saving file /opt/tarnwick/tarnwick.txt";
        QTest::newRow("path ending in a full stop")
            << "C:\\a, b\\x."
            << "An error occured while loading file C:\\a, b\\x.. The default settings will be "
               "loaded instead."
            << "An error occured while saving file C:\\a, b\\x.";
        QTest::newRow("empty path")
            << ""
            << "An error occured while loading file . The default settings will be loaded instead."
            << "An error occured while saving file ";
    }

    void messages()
    {
        QFETCH(QString, path);
        QFETCH(QString, load);
        QFETCH(QString, save);
        QCOMPARE(loadFailureMessage(path), load);
        QCOMPARE(saveFailureMessage(path), save);
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "test_settings_file.moc"

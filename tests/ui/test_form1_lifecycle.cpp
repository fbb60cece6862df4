// Start-up and shutdown of the main window: the splash and Timer2, the
// caption, the settings file read before the window shows and written on
// every way the window closes, the port closed, and the Com port tooltips.

#include "platform/comm_port.h"
#include "support/pty_pair.h"
#include "support/scripted_services.h"
#include "support/file_helpers.h"
#include "ui/frm_splash.h"
#include "ui/port_combo_box.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

const QByteArray DefaultsFile = "0\r\n5\r\n\"\"\r\n\"@&$\"\r\n\"?\"\r\n\"$\"\r\n\"^\"\r\n\"%\"\r\n\"#\"\r\n"
                                "\"@\"\r\n\"-\"\r\n\"~\"\r\n\"\"\r\n\"*\"\r\n0\r\n1\r\n";

// Acts on the about window once it is open modally; closes whatever is modal
// after a while, so that a failing test cannot hang.
void whenAboutOpens(QObject *context, const std::function<void(frmSplash *)> &act)
{
    auto *poll = new QTimer(context);
    int waited = 0;
    QObject::connect(poll, &QTimer::timeout, context, [poll, act, waited]() mutable {
        waited += 10;
        if (auto *about = qobject_cast<frmSplash *>(QApplication::activeModalWidget())) {
            poll->deleteLater();
            act(about);
        } else if (waited > 5000) {
            poll->deleteLater();
            if (QWidget *modal = QApplication::activeModalWidget())
                modal->close();
        }
    });
    poll->start(10);
}

} // namespace

class TestForm1Lifecycle : public QObject
{
    Q_OBJECT

private slots:
    void firstStartWithoutASettingsFile()
    {
        ScriptedServices test;
        Form1 window(test.services());
        bool visibleDuringMessage = true;
        test.prompt.whileShown = [&](const ScriptedPrompt::Box &) { visibleDuringMessage = window.isVisible(); };
        window.StartUp();

        // The load failure comes first, before the window shows.
        QCOMPARE(test.prompt.boxes.size(), 1);
        QCOMPARE(test.prompt.boxes[0].title, QStringLiteral("Tarnwick"));
        QCOMPARE(test.prompt.boxes[0].text, QStringLiteral("An error occured while loading file ") + test.settingsFile()
                                                + QStringLiteral(". The default settings will be loaded instead."));
        QCOMPARE(test.prompt.boxes[0].icon, Prompt::Icon::Exclamation);
        QVERIFY(!visibleDuringMessage);

        QVERIFY(window.isVisible());
        QCOMPARE(window.windowTitle(), QStringLiteral("Tarnwick - V 2.0"));
        QCOMPARE(window.currentSettings(), Settings::defaults());
        QCOMPARE(window.Combo1->currentText(), QStringLiteral("Com 1"));
        QCOMPARE(window.Combo2->currentText(), QStringLiteral("19200"));
        // At rest: only "Status:" and "Idle" in the status bar.
        QCOMPARE(window.Label2->text(), QStringLiteral("Idle"));
        QVERIFY(window.Label14->isHidden());
        QVERIFY(window.Label16->isHidden());
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(QApplication::focusWidget(), window.Command2);

        // Closing creates the file with the defaults.
        QVERIFY(window.close());
        QCOMPARE(readFile(test.settingsFile()), DefaultsFile);
        QCOMPARE(test.prompt.boxes.size(), 1);
    }

    void startWithASettingsFile()
    {
        ScriptedServices test;
        QByteArray file = DefaultsFile;
        file.replace("0\r\n5\r\n\"\"", "2\r\n8\r\n\"/home/ada/app.hex\"");
        QVERIFY(writeFile(test.settingsFile(), file));
        Form1 window(test.services());
        window.StartUp();
        QCOMPARE(test.prompt.boxes.size(), 0);
        QCOMPARE(window.Combo1->currentText(), QStringLiteral("Com 3"));
        QCOMPARE(window.Combo2->currentText(), QStringLiteral("57600"));
        QCOMPARE(window.Text1->text(), QStringLiteral("/home/ada/app.hex"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Tarnwick - V 2.0"));

        // What the user changes is there at the next start.
        window.Text4->setText(QStringLiteral("JUMP"));
        window.close();
        Form1 next(test.services());
        next.StartUp();
        QCOMPARE(next.Text4->text(), QStringLiteral("JUMP"));
        QCOMPARE(next.Text1->text(), QStringLiteral("/home/ada/app.hex"));
        QCOMPARE(test.prompt.boxes.size(), 0);
    }

    void everyWayOfClosingSaves_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("close box") << "close";
        QTest::newRow("Exit button") << "Command3";
        QTest::newRow("File, Exit") << "ExitMenu";
    }

    void everyWayOfClosingSaves()
    {
        QFETCH(QString, how);
        ScriptedServices test;
        Form1 window(test.services());
        window.StartUp();
        window.Text12->setText(how);
        if (how == "close")
            window.close();
        else if (how == "Command3")
            QTest::mouseClick(window.Command3, Qt::LeftButton);
        else
            window.ExitMenu->trigger();
        QVERIFY(!window.isVisible());
        QByteArray expected = DefaultsFile;
        expected.replace("\"*\"", "\"" + how.toLatin1() + "\"");
        QCOMPARE(readFile(test.settingsFile()), expected);
        // Written once: a second close of the closed window saves nothing.
        QVERIFY(QFile::remove(test.settingsFile()));
        window.close();
        QVERIFY(!QFile::exists(test.settingsFile()));
    }

    void anUnwritableSettingsFileStillEnds()
    {
        ScriptedServices test;
        Form1 window(test.services());
        window.StartUp();
        // The settings file's place is taken by a folder.
        QVERIFY(QDir(test.folder.path()).mkdir(QStringLiteral("tarnwick.txt")));
        QVERIFY(window.close());
        QVERIFY(!window.isVisible());
        QCOMPARE(test.prompt.texts().last(),
                 QStringLiteral("An error occured while saving file ") + test.settingsFile());
    }

    void shutdownClosesThePort()
    {
        PtyPair pty;
        QVERIFY2(pty.isOpen(), qPrintable(pty.errorString()));
        ScriptedServices test;
        test.systemPorts = {pty.slavePath()};
        Form1 window(test.services());
        window.StartUp();
        window.MSComm1->setCommPort(1);
        window.MSComm1->setPortOpen(true);
        QVERIFY(window.MSComm1->portOpen());
        window.close();
        QVERIFY(!window.MSComm1->portOpen());
        QCOMPARE(readFile(test.settingsFile()), DefaultsFile);
        // Another program can have the device now.
        CommPort other([&](int) { return pty.slavePath(); });
        other.setCommPort(1);
        other.setPortOpen(true);
        QVERIFY(other.portOpen());
    }

    void splashClosedByTimer2()
    {
        ScriptedServices test;
        test.showSplash = true;
        test.splashMs = 300;
        QElapsedTimer clock;
        clock.start();
        Form1 window(test.services());
        bool aboutOpen = false;
        bool windowHidden = false;
        whenAboutOpens(&window, [&](frmSplash *about) {
            aboutOpen = about->isVisible();
            windowHidden = !window.isVisible();
        });
        bool aboutGoneAtMessage = false;
        test.prompt.whileShown = [&](const ScriptedPrompt::Box &) { aboutGoneAtMessage = !window.aboutWindow(); };
        window.StartUp();

        QVERIFY(aboutOpen);
        QVERIFY(windowHidden);
        QVERIFY(clock.elapsed() >= 250);
        QVERIFY(clock.elapsed() < 4000);
        QVERIFY(aboutGoneAtMessage);
        QVERIFY(!window.Timer2->isActive());
        QVERIFY(window.isVisible());
    }

    void splashClosedByAKey()
    {
        ScriptedServices test;
        test.showSplash = true;
        test.splashMs = 60000;
        Form1 window(test.services());
        whenAboutOpens(&window, [](frmSplash *about) { QTest::keyClick(about, Qt::Key_X); });
        QElapsedTimer clock;
        clock.start();
        window.StartUp();
        QVERIFY(clock.elapsed() < 4000);
        QVERIFY(window.isVisible());
        QVERIFY(!window.aboutWindow());
        // Timer2 is still to come: an about window opened now closes by it.
        QVERIFY(window.Timer2->isActive());
    }

    void comPortTooltipsNameTheDevices()
    {
        ScriptedServices test;
        test.systemPorts = {QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyUSB0")};
        Form1 window(test.services());
        QCOMPARE(window.Combo1->itemData(0, Qt::ToolTipRole).toString(), QStringLiteral("Com 1 opens /dev/ttyUSB0"));
        QCOMPARE(window.Combo1->itemData(1, Qt::ToolTipRole).toString(), QStringLiteral("Com 2 opens /dev/ttyS0"));
        QCOMPARE(window.Combo1->itemData(2, Qt::ToolTipRole).toString(), QStringLiteral("Com 3: no serial device"));

        // Brought up to date when the list opens: an adapter unplugged, and
        // Com 3 pinned to a device in the program's folder.
        test.systemPorts = {QStringLiteral("/dev/ttyS0")};
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), test.folder.filePath(QStringLiteral("com3"))));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.Combo1->showPopup();
        QCOMPARE(window.Combo1->itemData(0, Qt::ToolTipRole).toString(), QStringLiteral("Com 1 opens /dev/ttyS0"));
        QCOMPARE(window.Combo1->itemData(1, Qt::ToolTipRole).toString(), QStringLiteral("Com 2: no serial device"));
        QCOMPARE(window.Combo1->itemData(2, Qt::ToolTipRole).toString(), QStringLiteral("Com 3 opens /dev/null"));
        window.Combo1->hidePopup();
    }
};

QTEST_MAIN(TestForm1Lifecycle)
#include "test_form1_lifecycle.moc"

// The main window as a download's host: busy and idle states, Cancel, the
// timers, the keyboard (focus order, Enter and Esc), the routing of the two
// download buttons, and closing the window while a download runs.

#include "support/scripted_services.h"
#include "ui/port_combo_box.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QGroupBox>
#include <QMenuBar>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

// Stands in for the download engine: records which mode each run was started
// with and, when asked to, behaves like a run that waits for its bootloader
// until it is cancelled, letting window events run meanwhile.
class WindowWithRun : public Form1
{
public:
    using Form1::Form1;

    QList<qint16> modes;
    bool waitUntilCancelled = false;
    bool visibleWhenRunEnded = false;

protected:
    void performDownload(qint16 DownloadMode) override
    {
        modes << DownloadMode;
        if (!waitUntilCancelled)
            return;
        EnterBusyState();
        const QDeadlineTimer giveUp(10000);
        while (variables().CancelRequested == 0 && !giveUp.hasExpired())
            waitForEvents(20);
        EnterIdleState();
        visibleWhenRunEnded = isVisible();
    }
};

// The controls that are usable at rest and unusable while busy.
QList<QWidget *> lockedWhileBusy(Form1 &window)
{
    QList<QWidget *> controls{window.Command1, window.Command3, window.Command5, window.Command7,
                              window.Combo1,   window.Combo2,   window.EepromCheck, window.FlashCheck};
    for (QLineEdit *box : window.textBoxes())
        controls << box;
    return controls;
}

} // namespace

class TestForm1States : public QObject
{
    Q_OBJECT

private slots:
    void busyAndIdle()
    {
        ScriptedServices test;
        Form1 window(test.services());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.variables().CancelRequested = -1;
        window.EepromCheck->setCheckState(Qt::Checked);

        window.EnterBusyState();
        for (QWidget *control : lockedWhileBusy(window))
            QVERIFY2(!control->isEnabled(), qPrintable(control->objectName()));
        QVERIFY(window.Command2->isHidden());
        QVERIFY(window.Command6->isHidden());
        QVERIFY(window.Command4->isVisible());
        QVERIFY(window.Command4->isEnabled());
        // Cancel lies above the download buttons it overlaps.
        const QList<QObject *> siblings = window.Frame4->children();
        QCOMPARE(siblings.last(), window.Command4);
        QCOMPARE(window.Label2->text(), QString());
        QCOMPARE(window.variables().CancelRequested, qint16(0));
        // Menus and the close box stay usable.
        QVERIFY(window.OpenMenu->isEnabled());
        QVERIFY(window.DefaultMenu->isEnabled());
        QVERIFY(window.menuBar()->isEnabled());

        window.showLinesRemaining(QStringLiteral("12"));
        window.showVersion(QStringLiteral("BootLoader Version: 1.3"));
        window.setStatus(QStringLiteral("Sending FLASH File - lines remaining "));
        QVERIFY(window.Label14->isVisible());
        QCOMPARE(window.Label14->text(), QStringLiteral("12"));
        window.setLinesRemainingText(QStringLiteral("11"));
        QCOMPARE(window.Label14->text(), QStringLiteral("11"));
        // The count and the version cover the status line where they lie.
        QVERIFY(!window.Label2->mask().contains(window.Label14->geometry().center() - window.Label2->pos()));
        QVERIFY(!window.Label2->mask().contains(window.Label16->geometry().center() - window.Label2->pos()));

        window.EnterIdleState();
        for (QWidget *control : lockedWhileBusy(window))
            QVERIFY2(control->isEnabled(), qPrintable(control->objectName()));
        QVERIFY(window.Command2->isVisible());
        QVERIFY(window.Command2->isEnabled());
        QVERIFY(window.Command6->isVisible());
        QVERIFY(window.Command4->isHidden());
        QCOMPARE(window.Label2->text(), QStringLiteral("Idle"));
        QVERIFY(window.Label14->isHidden());
        QCOMPARE(window.Label14->text(), QString());
        // The version stays; no check box value changes.
        QVERIFY(window.Label16->isVisible());
        QCOMPARE(window.Label16->text(), QStringLiteral("BootLoader Version: 1.3"));
        QCOMPARE(window.EepromCheck->checkState(), Qt::Checked);
        QVERIFY(window.Label2->mask().contains(window.Label14->geometry().center() - window.Label2->pos()));

        // Idle again on an idle window changes nothing but the status text.
        window.setStatus(QStringLiteral("something"));
        window.EnterIdleState();
        QCOMPARE(window.Label2->text(), QStringLiteral("Idle"));
        QVERIFY(window.Command4->isHidden());
    }

    void cancel()
    {
        ScriptedServices test;
        Form1 window(test.services());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.EnterBusyState();
        QTest::mouseClick(window.Command4, Qt::LeftButton);
        QCOMPARE(window.variables().CancelRequested, qint16(-1));
        QVERIFY(!window.Command4->isEnabled());

        // Idle leaves Cancel disabled (and hidden) and the request standing;
        // the next busy state clears the request and enables Cancel again.
        window.EnterIdleState();
        QVERIFY(!window.Command4->isEnabled());
        QCOMPARE(window.variables().CancelRequested, qint16(-1));
        window.EnterBusyState();
        QVERIFY(window.Command4->isEnabled());
        QCOMPARE(window.variables().CancelRequested, qint16(0));
    }

    void withdrawEepromChoice()
    {
        ScriptedServices test;
        Form1 window(test.services());
        window.EepromCheck->setCheckState(Qt::Checked);
        window.EnterBusyState();
        window.withdrawEepromChoice();
        QCOMPARE(window.EepromCheck->checkState(), Qt::Unchecked);
        QCOMPARE(window.settingNumber(SettingRole::EepromCheck), 0);
        window.EnterIdleState();
        // Idle gives them back, the box stays clear.
        QVERIFY(window.Text11->isEnabled());
        QVERIFY(window.EepromCheck->isEnabled());
        QVERIFY(window.Command7->isEnabled());
        QCOMPARE(window.EepromCheck->checkState(), Qt::Unchecked);
    }

    void tickCount()
    {
        ScriptedServices test;
        Form1 window(test.services());
        QTRY_COMPARE_WITH_TIMEOUT(window.variables().TickCount, qint16(5), 3000);
        QTest::qWait(200);
        QCOMPARE(window.variables().TickCount, qint16(5));
        window.variables().TickCount = 0;
        QTRY_VERIFY_WITH_TIMEOUT(window.variables().TickCount > 0, 2000);
        QTRY_COMPARE_WITH_TIMEOUT(window.variables().TickCount, qint16(5), 3000);
    }

    void linesRemainingRefresh()
    {
        ScriptedServices test;
        Form1 window(test.services());
        window.variables().LinesRemaining = 42;
        window.showLinesRemaining(QStringLiteral("50"));
        window.setLinesTimerEnabled(true);
        QVERIFY(window.Timer3->isActive());
        QTRY_COMPARE_WITH_TIMEOUT(window.Label14->text(), QStringLiteral("42"), 3000);
        window.variables().LinesRemaining = -1;
        QTRY_COMPARE_WITH_TIMEOUT(window.Label14->text(), QStringLiteral("-1"), 3000);
        window.setLinesTimerEnabled(false);
        QVERIFY(!window.Timer3->isActive());
    }

    void settingsReadAtTheMomentOfUse()
    {
        ScriptedServices test;
        Form1 window(test.services());
        const QList<QPair<SettingRole, QLineEdit *>> texts{
            {SettingRole::ApplicationFile, window.Text1},       {SettingRole::StartDownloadSequence, window.Text2},
            {SettingRole::BootloaderReadyChar, window.Text3},   {SettingRole::JumpToBootloaderCommand, window.Text4},
            {SettingRole::BootloaderActiveChar, window.Text5},  {SettingRole::LineCompleteChar, window.Text6},
            {SettingRole::PageErrorChar, window.Text7},         {SettingRole::FileCompleteErrorsChar, window.Text8},
            {SettingRole::FileCompleteOkChar, window.Text9},    {SettingRole::ChecksumErrorChar, window.Text10},
            {SettingRole::EepromFile, window.Text11},           {SettingRole::EepromWriteChar, window.Text12},
        };
        for (const auto &[role, box] : texts) {
            const QString value = box->objectName() + QStringLiteral(" \" , x");
            box->setText(value);
            QCOMPARE(window.settingText(role), value);
        }
        window.Combo1->setCurrentIndex(6);
        window.Combo2->setCurrentIndex(9);
        Settings greyed;
        greyed.eepromCheck = 2;
        window.showSetting(SettingRole::EepromCheck, greyed);
        window.FlashCheck->setCheckState(Qt::Unchecked);
        QCOMPARE(window.settingNumber(SettingRole::ComPortIndex), 6);
        QCOMPARE(window.settingNumber(SettingRole::BaudRateIndex), 9);
        QCOMPARE(window.settingNumber(SettingRole::EepromCheck), 2);
        QCOMPARE(window.settingNumber(SettingRole::FlashCheck), 0);
        window.Combo1->setCurrentIndex(-1);
        QCOMPARE(window.settingNumber(SettingRole::ComPortIndex), -1);
    }

    void captionAndFocus()
    {
        ScriptedServices test;
        Form1 window(test.services());
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(window.caption(), QStringLiteral("Tarnwick"));
        window.setWindowTitle(QStringLiteral("Tarnwick - V 2.0"));
        QCOMPARE(window.caption(), QStringLiteral("Tarnwick - V 2.0"));
        window.Text5->setFocus();
        window.focusApplicationBrowse();
        QCOMPARE(QApplication::focusWidget(), window.Command1);
        QCOMPARE(&window.prompt(), static_cast<Prompt *>(&test.prompt));
    }

    void focusOrder()
    {
        ScriptedServices test;
        Form1 window(test.services());
        window.StartUp();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(QApplication::focusWidget(), window.Command2);

        // Cancel is hidden at rest and skipped.
        const QList<QWidget *> expected{window.Combo1,  window.Combo2,   window.Text4,    window.Text5,
                                        window.Text2,   window.Text3,    window.Text6,    window.Text7,
                                        window.Text10,  window.Text8,    window.Text9,    window.Command1,
                                        window.Command6, window.Command5, window.Command3, window.Text1,
                                        window.FlashCheck, window.EepromCheck, window.Text11, window.Command7,
                                        window.Text12,  window.Command2};
        for (QWidget *next : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), next->objectName());
        }
    }

    void downloadButtonsRouteToTheRun()
    {
        ScriptedServices test;
        WindowWithRun window(test.services());
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::mouseClick(window.Command2, Qt::LeftButton);
        QTest::mouseClick(window.Command6, Qt::LeftButton);
        QCOMPARE(window.modes, (QList<qint16>{0, 1}));
        QVERIFY(!window.downloadRunning());
    }

    void enterAndEscape()
    {
        ScriptedServices test;
        WindowWithRun window(test.services());
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        // Esc at rest does nothing.
        window.Text3->setFocus();
        QTest::keyClick(window.Text3, Qt::Key_Escape);
        QCOMPARE(window.variables().CancelRequested, qint16(0));

        // Enter in a protocol field, a list or a check box starts the jump mode.
        for (QWidget *where : QList<QWidget *>{window.Text3, window.Combo2, window.FlashCheck}) {
            where->setFocus();
            QTest::keyClick(where, Qt::Key_Return);
        }
        QCOMPARE(window.modes, (QList<qint16>{0, 0, 0}));
        // The keypad's Enter too.
        window.Text3->setFocus();
        QTest::keyClick(window.Text3, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(window.modes, (QList<qint16>{0, 0, 0, 0}));
        window.modes.removeLast();
        // A focused button takes Enter itself.
        window.Command6->setFocus();
        QTest::keyClick(window.Command6, Qt::Key_Enter);
        QCOMPARE(window.modes, (QList<qint16>{0, 0, 0, 1}));

        // Busy: Enter starts nothing, Esc presses Cancel once.
        window.EnterBusyState();
        window.Text3->setFocus();
        QTest::keyClick(&window, Qt::Key_Return);
        QCOMPARE(window.modes.size(), 4);
        QTest::keyClick(&window, Qt::Key_Escape);
        QCOMPARE(window.variables().CancelRequested, qint16(-1));
        QVERIFY(!window.Command4->isEnabled());
    }

    void closingDuringADownloadWaitsForTheRun_data()
    {
        QTest::addColumn<bool>("throughExitMenu");
        QTest::newRow("close box") << false;
        QTest::newRow("File, Exit") << true;
    }

    void closingDuringADownloadWaitsForTheRun()
    {
        QFETCH(bool, throughExitMenu);
        ScriptedServices test;
        WindowWithRun window(test.services());
        window.waitUntilCancelled = true;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        bool refused = false;
        QTimer::singleShot(100, &window, [&] {
            if (throughExitMenu)
                window.ExitMenu->trigger();
            else
                refused = !window.close();
            refused = refused || window.isVisible();
        });
        QTest::mouseClick(window.Command2, Qt::LeftButton);

        // The close was refused while the run went on, the run was cancelled
        // and ran to its end with the window still there, then it closed.
        QVERIFY(refused);
        QCOMPARE(window.variables().CancelRequested, qint16(-1));
        QVERIFY(window.visibleWhenRunEnded);
        QVERIFY(!window.downloadRunning());
        QVERIFY(!window.isVisible());
        QCOMPARE(window.Label2->text(), QStringLiteral("Idle"));
    }

    void waitForEventsBlocksAtMostItsBound()
    {
        ScriptedServices test;
        Form1 window(test.services());
        window.Timer1->stop(); // nothing else wakes the wait
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 5; ++i)
            window.waitForEvents(30);
        QVERIFY(clock.elapsed() < 1000);
        // An event that arrives ends the wait early.
        bool ran = false;
        QTimer::singleShot(10, &window, [&] { ran = true; });
        clock.restart();
        while (!ran && clock.elapsed() < 2000)
            window.waitForEvents(5000);
        QVERIFY(ran);
        QVERIFY(clock.elapsed() < 1000);
    }
};

QTEST_MAIN(TestForm1States)
#include "test_form1_states.moc"

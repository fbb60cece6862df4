// Downloads started from the main window against the simulated target
// attached as "Com 1" (a com1 link in the window's program folder).

#include "app/settings_file.h"
#include "download/download_texts.h"
#include "sim/simulator_thread.h"
#include "support/hex_file_builder.h"
#include "support/scaled_clock.h"
#include "support/scripted_services.h"
#include "ui/form1.h"
#include "ui/frm_splash.h"
#include "ui/port_combo_box.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace T = DownloadTexts;

namespace {

QByteArray sampleData(int count, int seed)
{
    QByteArray data(count, '\0');
    for (int i = 0; i < count; ++i)
        data[i] = char((i * 29 + seed * 5) & 0xff);
    return data;
}

// Runs a check every few milliseconds while the window's download waits,
// until it reports that it is done.
class Watcher : public QObject
{
public:
    explicit Watcher(std::function<bool()> step)
        : m_step(std::move(step))
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (m_step())
                m_timer.stop();
        });
        m_timer.start();
    }
    bool done() const { return !m_timer.isActive(); }

private:
    std::function<bool()> m_step;
    QTimer m_timer;
};

} // namespace

class TestForm1Download : public QObject
{
    Q_OBJECT

    std::unique_ptr<SimulatorThread> m_sim;
    std::unique_ptr<ScriptedServices> m_test;
    std::unique_ptr<ScaledClock> m_clock;
    std::unique_ptr<Form1> m_window;

    // A window whose Com 1 is the simulated target; prompt scripted unless
    // realBoxes, settings from a file written beforehand when one is given.
    Form1 &openWindow(const SimOptions &options = SimOptions(), bool realBoxes = false,
                      const Settings *settings = nullptr)
    {
        m_sim = std::make_unique<SimulatorThread>(options);
        QString error;
        if (!m_sim->start(&error))
            qFatal("simulator: %s", qPrintable(error));
        m_test = std::make_unique<ScriptedServices>();
        QFile::link(m_sim->devicePath(), m_test->folder.filePath(QStringLiteral("com1")));
        m_clock = std::make_unique<ScaledClock>(10);
        Form1Services services = m_test->services();
        services.clock = m_clock.get();
        if (realBoxes)
            services.prompt = nullptr;
        if (settings)
            writeSettingsFile(m_test->settingsFile(), *settings);
        m_window = std::make_unique<Form1>(services);
        m_window->StartUp();
        m_test->prompt.boxes.clear(); // the load failure of a first start
        return *m_window;
    }

    QString writeHex(const QString &name, const QByteArray &data)
    {
        HexFileBuilder hex;
        hex.addData(0, data);
        const QString path = m_test->folder.filePath(name);
        QString error;
        if (!hex.writeFile(path, &error))
            qFatal("%s", qPrintable(error));
        return path;
    }

private slots:
    void cleanup()
    {
        m_window.reset();
        m_test.reset();
        m_sim.reset();
    }

    // The busy state while the final message is up, then rest again.
    void downloadFromTheButton()
    {
        Form1 &w = openWindow();
        w.Text1->setText(writeHex(QStringLiteral("app.hex"), sampleData(400, 1)));
        bool busyShown = false;
        m_test->prompt.whileShown = [&](const ScriptedPrompt::Box &) {
            busyShown = w.Command4->isVisible() && w.Command4->isEnabled() && !w.Command2->isVisible()
                && !w.Command6->isVisible() && !w.Text1->isEnabled() && !w.Combo1->isEnabled()
                && w.Label2->text() == T::SendingFlash && w.Label14->isVisible() && w.Label14->text() == "0";
        };
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        QCOMPARE(m_test->prompt.texts(), QStringList{T::FlashSuccess});
        QCOMPARE(m_test->prompt.boxes.first().title, QStringLiteral("Tarnwick - V 2.0"));
        QVERIFY(busyShown);
        QCOMPARE(m_sim->flashImage(), sampleData(400, 1));
        QCOMPARE(w.Label2->text(), QStringLiteral("Idle"));
        QVERIFY(!w.Label14->isVisible());
        QVERIFY(w.Label14->text().isEmpty());
        QVERIFY(w.Label16->isVisible());
        QCOMPARE(w.Label16->text(), QStringLiteral("BootLoader Version: 1.3"));
        QVERIFY(w.Command2->isVisible() && w.Command2->isEnabled() && !w.Command4->isVisible());
        QVERIFY(m_sim->waitForHost(false, 1000));
    }

    // Once a second the count of lines remaining follows the download.
    void linesRemainingFollowsTheCountdown()
    {
        SimOptions options;
        options.faults.answerDelayMs = 4;
        Form1 &w = openWindow(options);
        w.Text1->setText(writeHex(QStringLiteral("app.hex"), sampleData(16 * 500, 2)));
        QStringList seen;
        Watcher watcher([&] {
            if (w.Label14->isVisible() && (seen.isEmpty() || seen.last() != w.Label14->text()))
                seen << w.Label14->text();
            return false;
        });
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        QCOMPARE(m_test->prompt.texts(), QStringList{T::FlashSuccess});
        QVERIFY2(seen.size() >= 3, qPrintable(seen.join(u',')));
        QCOMPARE(seen.first(), QStringLiteral("500"));
        for (qsizetype i = 1; i + 1 < seen.size(); ++i)
            QVERIFY(seen[i].toInt() < seen[i - 1].toInt());
    }

    void cancelWhileWaitingForTheBootloader_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Cancel button") << false;
        QTest::newRow("Esc key") << true;
    }

    void cancelWhileWaitingForTheBootloader()
    {
        QFETCH(bool, escape);
        Form1 &w = openWindow();
        w.Text1->setText(writeHex(QStringLiteral("app.hex"), sampleData(32, 3)));
        bool cancelDisabled = false;
        Watcher watcher([&] {
            if (w.Label2->text() != T::WaitingForActive)
                return false;
            if (escape)
                QTest::keyClick(&w, Qt::Key_Escape);
            else
                QTest::mouseClick(w.Command4, Qt::LeftButton);
            cancelDisabled = !w.Command4->isEnabled();
            return true;
        });
        QTest::mouseClick(w.Command6, Qt::LeftButton);
        QVERIFY(watcher.done());
        QVERIFY(cancelDisabled);
        QVERIFY(m_test->prompt.boxes.isEmpty());
        QCOMPARE(w.Label2->text(), QStringLiteral("Idle"));
        QVERIFY(!w.Command4->isVisible());
        QVERIFY(m_sim->waitForHost(false, 1000));
        // The next run starts with Cancel enabled again.
        w.FlashCheck->setChecked(false);
        bool cancelEnabled = false;
        m_test->prompt.whileShown = [&](const ScriptedPrompt::Box &) { cancelEnabled = w.Command4->isEnabled(); };
        m_sim->reset();
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        QCOMPARE(m_test->prompt.texts(), QStringList{T::CheckBox});
        // Enabled by the busy state and left so, hidden, by the idle state.
        QVERIFY(cancelEnabled);
        QVERIFY(!w.Command4->isVisible());
    }

    // The close box in the middle of a download: the download stops first,
    // then the settings are saved and the window closes.
    void closingDuringADownload_data()
    {
        QTest::addColumn<bool>("whileSending");
        QTest::newRow("waiting for the bootloader") << false;
        QTest::newRow("sending a file") << true;
    }

    void closingDuringADownload()
    {
        QFETCH(bool, whileSending);
        SimOptions options;
        options.faults.answerDelayMs = 5;
        Form1 &w = openWindow(options);
        const QString app = writeHex(QStringLiteral("app.hex"), sampleData(16 * 100, 4));
        w.Text1->setText(app);
        bool refused = false;
        Watcher watcher([&] {
            if (w.Label2->text() != (whileSending ? T::SendingFlash : T::WaitingForActive))
                return false;
            refused = !w.close();
            return true;
        });
        QTest::mouseClick(whileSending ? w.Command2 : w.Command6, Qt::LeftButton);
        QVERIFY(refused);
        QVERIFY(!w.isVisible());
        // As with Cancel: a line whose answer the stop cut short may still be
        // asked about, and whatever the answer, no further line is sent.
        for (const ScriptedPrompt::Box &box : m_test->prompt.boxes)
            QVERIFY2(box.text.startsWith(T::NoResponseAfter), qPrintable(box.text));
        QVERIFY(m_sim->status().recordsReceived < 100);
        QVERIFY(m_sim->waitForHost(false, 1000));
        const Settings saved = readSettingsFile(m_test->settingsFile());
        QCOMPARE(saved.applicationFile, app);
    }

    // "&Default All Settings" in the middle of a file changes the fields at
    // once; the file being sent keeps the answer characters it started with.
    void defaultsDuringADownload()
    {
        SimOptions options;
        options.chars.lineComplete = "L";
        options.chars.fileCompleteOk = "K";
        options.faults.answerDelayMs = 5;
        Form1 &w = openWindow(options);
        w.Text6->setText(QStringLiteral("L"));
        w.Text9->setText(QStringLiteral("K"));
        w.Text1->setText(writeHex(QStringLiteral("app.hex"), sampleData(16 * 40, 5)));
        Watcher watcher([&] {
            if (w.Label2->text() != T::SendingFlash)
                return false;
            w.DefaultMenu->trigger();
            return true;
        });
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        QVERIFY(watcher.done());
        QCOMPARE(m_test->prompt.texts(), QStringList{T::FlashSuccess});
        QVERIFY(w.Text1->text().isEmpty());
        QCOMPARE(w.Text6->text(), QStringLiteral("~"));
    }

    // The about window opened from the menu holds the download until it
    // closes; the download then goes on.
    void aboutWindowDuringADownload()
    {
        SimOptions options;
        options.faults.answerDelayMs = 5;
        Form1 &w = openWindow(options);
        w.Text1->setText(writeHex(QStringLiteral("app.hex"), sampleData(16 * 40, 6)));
        int recordsWhileOpen = -1;
        Watcher opener([&] {
            if (w.Label2->text() != T::SendingFlash)
                return false;
            QTimer::singleShot(300, &w, [&] {
                recordsWhileOpen = m_sim->status().recordsReceived;
                QTest::qWait(200);
                const bool held = m_sim->status().recordsReceived == recordsWhileOpen;
                if (frmSplash *about = w.aboutWindow())
                    QTest::keyClick(about, Qt::Key_Space);
                if (!held)
                    recordsWhileOpen = -2;
            });
            w.InfoMenu->trigger();
            return true;
        });
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        QVERIFY(recordsWhileOpen >= 0);
        QCOMPARE(m_test->prompt.texts(), QStringList{T::FlashSuccess});
        QCOMPARE(m_sim->flashImage(), sampleData(16 * 40, 6));
    }

    // The settings file and the firmware file are separate files: File, Save
    // and File, Open in the middle of a download work and leave the download
    // alone.
    void settingsFileDuringADownload()
    {
        SimOptions options;
        options.faults.answerDelayMs = 5;
        Form1 &w = openWindow(options);
        const QString app = writeHex(QStringLiteral("app.hex"), sampleData(16 * 40, 10));
        w.Text1->setText(app);
        const QString saved = m_test->folder.filePath(QStringLiteral("saved.txt"));
        m_test->picker.answers = {saved, saved};
        Watcher watcher([&] {
            if (w.Label2->text() != T::SendingFlash)
                return false;
            w.SaveMenu->trigger();
            w.Text6->setText(QStringLiteral("changed"));
            w.OpenMenu->trigger();
            return true;
        });
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        QVERIFY(watcher.done());
        QCOMPARE(m_test->prompt.texts(), QStringList{T::FlashSuccess});
        QCOMPARE(m_sim->flashImage(), sampleData(16 * 40, 10));
        QCOMPARE(readSettingsFile(saved).applicationFile, app);
        QCOMPARE(w.Text6->text(), QStringLiteral("~")); // loaded back from the saved file
    }

    // An old bootloader refuses the EEPROM file; the window comes back with
    // the box cleared and every control usable.
    void eepromRefusedByAnOldBootloader()
    {
        SimOptions options;
        options.version = "1.2";
        Form1 &w = openWindow(options);
        w.FlashCheck->setChecked(false);
        w.EepromCheck->setChecked(true);
        w.Text11->setText(writeHex(QStringLiteral("data.eep"), sampleData(16, 7)));
        bool withdrawn = false;
        m_test->prompt.whileShown = [&](const ScriptedPrompt::Box &) {
            withdrawn = !w.Text11->isEnabled() && !w.EepromCheck->isEnabled() && !w.Command7->isEnabled()
                && !w.EepromCheck->isChecked();
        };
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        QCOMPARE(m_test->prompt.texts(), QStringList{T::EepromNotSupported});
        QVERIFY(withdrawn);
        QVERIFY(!w.EepromCheck->isChecked());
        QVERIFY(w.EepromCheck->isEnabled() && w.Text11->isEnabled() && w.Command7->isEnabled());
        QCOMPARE(w.Label16->text(), QStringLiteral("BootLoader Version: "));
        QVERIFY(m_sim->waitForHost(false, 1000));
    }

    // The real message box, settings from a file: the whole path a user takes.
    void realMessageBoxAndSettingsFile()
    {
        QTemporaryDir files;
        HexFileBuilder flash;
        flash.addData(0, sampleData(96, 8));
        HexFileBuilder eeprom;
        eeprom.addData(0, sampleData(32, 9));
        Settings settings;
        settings.applicationFile = files.filePath(QStringLiteral("app.hex"));
        settings.eepromFile = files.filePath(QStringLiteral("data.eep"));
        settings.eepromCheck = 1;
        QString error;
        QVERIFY(flash.writeFile(settings.applicationFile, &error));
        QVERIFY(eeprom.writeFile(settings.eepromFile, &error));
        Form1 &w = openWindow(SimOptions(), true, &settings);

        QString title, text;
        QMessageBox::Icon icon = QMessageBox::Warning;
        Watcher clicker([&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return false;
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
            return true;
        });
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        QVERIFY(clicker.done());
        QCOMPARE(title, QStringLiteral("Tarnwick - V 2.0"));
        QCOMPARE(text, T::BothSuccess);
        QCOMPARE(icon, QMessageBox::NoIcon);
        QCOMPARE(m_sim->flashImage(), sampleData(96, 8));
        QCOMPARE(m_sim->eepromImage(), sampleData(32, 9));
    }
};

QTEST_MAIN(TestForm1Download)
#include "test_form1_download.moc"

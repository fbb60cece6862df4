// The about window: its contents at their places, what closes it and what
// does not, and its showing from the main window (Info, the menu, Timer2).

#include "app/app_info.h"
#include "support/scripted_services.h"
#include "ui/frm_splash.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

QRect twips(int left, int top, int width, int height)
{
    return QRect(qRound(left / 15.0), qRound(top / 15.0), qRound(width / 15.0), qRound(height / 15.0));
}

// Waits until an about window is open modally and hands it to the test;
// gives up (and closes whatever is modal) after a while, so that a failing
// test cannot hang.
void whenAboutOpens(QObject *context, const std::function<void(frmSplash *)> &act, int giveUpMs = 5000)
{
    auto *poll = new QTimer(context);
    auto *clock = new QElapsedTimer;
    clock->start();
    QObject::connect(poll, &QTimer::timeout, context, [poll, clock, act, giveUpMs] {
        if (auto *about = qobject_cast<frmSplash *>(QApplication::activeModalWidget())) {
            poll->deleteLater();
            delete clock;
            act(about);
        } else if (clock->elapsed() > giveUpMs) {
            poll->deleteLater();
            delete clock;
            if (QWidget *modal = QApplication::activeModalWidget())
                modal->close();
        }
    });
    poll->start(10);
}

} // namespace

class TestFrmSplash : public QObject
{
    Q_OBJECT

private slots:
    void window()
    {
        frmSplash about;
        QVERIFY(about.windowFlags().testFlag(Qt::FramelessWindowHint));
        // A tool window: not listed in the task bar.
        QCOMPARE(about.windowFlags() & Qt::WindowType_Mask, Qt::Tool);
        QCOMPARE(about.size(), QSize(543, 364));
        QCOMPARE(about.minimumSize(), about.maximumSize());
        QVERIFY(about.isModal());
        QVERIFY(about.windowTitle().isEmpty());
        QCOMPARE(about.Frame1->geometry(), twips(120, 0, 7905, 5355));
        QVERIFY(about.Frame1->title().isEmpty());

        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        const QRect screen = about.screen()->availableGeometry();
        QVERIFY(qAbs(about.geometry().center().x() - screen.center().x()) <= 1);
        QVERIFY(qAbs(about.geometry().center().y() - screen.center().y()) <= 1);
    }

    void contents_data()
    {
        QTest::addColumn<QRect>("designed");
        QTest::addColumn<bool>("fitsItsText");
        QTest::addColumn<qreal>("pointSize");
        QTest::addColumn<bool>("bold");
        QTest::newRow("lblCompanyProduct") << twips(2355, 345, 4770, 435) << true << 18.0 << true;
        QTest::newRow("lblProductName") << twips(2520, 780, 4935, 765) << true << 32.25 << true;
        QTest::newRow("lblPlatform") << twips(3000, 1920, 3855, 360) << true << 15.75 << true;
        QTest::newRow("lblVersion") << twips(5280, 2400, 885, 285) << true << 12.0 << true;
        QTest::newRow("Label1") << twips(240, 2760, 2055, 255) << false << 9.75 << true;
        QTest::newRow("lblCopyright") << twips(5280, 2760, 2415, 255) << false << 8.25 << false;
        QTest::newRow("lblCompany") << twips(5280, 3000, 2415, 255) << false << 8.25 << false;
        QTest::newRow("lblWarning") << twips(120, 3300, 7455, 1995) << false << 8.25 << false;
        QTest::newRow("imgLogo") << twips(240, 435, 2055, 2265) << false << 0.0 << false;
    }

    void contents()
    {
        QFETCH(QRect, designed);
        QFETCH(bool, fitsItsText);
        QFETCH(qreal, pointSize);
        QFETCH(bool, bold);

        frmSplash about;
        auto *label = about.findChild<QLabel *>(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(label);
        QCOMPARE(label->parentWidget(), about.Frame1);
        QCOMPARE(label->pos(), designed.topLeft());
        // Inside the frame, never cut off by it.
        QVERIFY(about.Frame1->rect().contains(label->geometry()));
        if (pointSize == 0.0) {
            // The logo: a two-colour picture of 390 by 409, stretched to its box.
            QCOMPARE(label->size(), designed.size());
            QVERIFY(label->hasScaledContents());
            const QImage logo = label->pixmap().toImage();
            QCOMPARE(logo.size(), QSize(390, 409));
            QVERIFY(logo.allGray());
            QCOMPARE(logo.convertToFormat(QImage::Format_Mono).convertToFormat(logo.format()), logo);
            return;
        }
        QVERIFY(!label->text().isEmpty());
        QCOMPARE(label->font().bold(), bold);
        const QFontMetrics metrics = label->fontMetrics();
        if (fitsItsText) {
            QCOMPARE(label->font().pointSizeF(), pointSize);
            QCOMPARE(label->size(), label->sizeHint());
        } else {
            // A box of fixed size: the face may be smaller than designed, never
            // larger, and the whole text shows.
            QCOMPARE(label->size(), designed.size());
            QVERIFY(label->font().pointSizeF() <= pointSize);
            QVERIFY(label->font().pointSizeF() >= 6);
            const QRect needed = metrics.boundingRect(QRect(QPoint(), label->size()),
                                                      label->wordWrap() ? Qt::TextWordWrap : 0, label->text());
            QVERIFY2(needed.width() <= label->width() && needed.height() <= label->height(),
                     qPrintable(QStringLiteral("needs %1 x %2").arg(needed.width()).arg(needed.height())));
        }
    }

    void texts()
    {
        frmSplash about;
        QCOMPARE(about.lblVersion->text(), QStringLiteral("Version 2.0.1"));
        QCOMPARE(about.lblVersion->text(), AppInfo::versionLine());
        QCOMPARE(about.lblProductName->text(), QStringLiteral("Tarnwick"));
        QCOMPARE(about.lblPlatform->text(), QStringLiteral("Windows 95, 98, NT, 2000"));
        QCOMPARE(about.lblPlatform->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
        QCOMPARE(about.lblVersion->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
        QCOMPARE(about.Label1->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        QCOMPARE(about.lblCompanyProduct->text(), about.lblCompany->text());
        QVERIFY(about.lblWarning->wordWrap());
        QCOMPARE(about.lblWarning->text().size(), 896);
    }

    void keysThatClose_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("closes");
        QTest::newRow("letter") << int(Qt::Key_A) << "a" << true;
        QTest::newRow("Enter") << int(Qt::Key_Return) << "\r" << true;
        QTest::newRow("Esc") << int(Qt::Key_Escape) << "\x1b" << true;
        QTest::newRow("space") << int(Qt::Key_Space) << " " << true;
        QTest::newRow("Backspace") << int(Qt::Key_Backspace) << "\b" << true;
        QTest::newRow("F1") << int(Qt::Key_F1) << "" << false;
        QTest::newRow("arrow") << int(Qt::Key_Left) << "" << false;
        QTest::newRow("Shift alone") << int(Qt::Key_Shift) << "" << false;
        QTest::newRow("Ctrl alone") << int(Qt::Key_Control) << "" << false;
    }

    void keysThatClose()
    {
        QFETCH(int, key);
        QFETCH(QString, text);
        QFETCH(bool, closes);
        frmSplash about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(&about, &press);
        QCOMPARE(about.isVisible(), !closes);
    }

    void clicksThatClose_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<bool>("closes");
        QTest::newRow("frame background") << "Frame1" << QPoint(400, 120) << true;
        QTest::newRow("product name") << "lblProductName" << QPoint(10, 10) << false;
        QTest::newRow("disclaimer") << "lblWarning" << QPoint(20, 20) << false;
        QTest::newRow("web address") << "Label1" << QPoint(30, 8) << false;
        QTest::newRow("logo") << "imgLogo" << QPoint(60, 60) << false;
        QTest::newRow("margin outside the frame") << "frmSplash" << QPoint(3, 150) << false;
    }

    void clicksThatClose()
    {
        QFETCH(QString, target);
        QFETCH(QPoint, at);
        QFETCH(bool, closes);
        frmSplash about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QWidget *where = target == about.objectName() ? &about : about.findChild<QWidget *>(target);
        QVERIFY(where);
        QTest::mouseClick(where, Qt::LeftButton, {}, at);
        QCOMPARE(about.isVisible(), !closes);
    }

    void infoShowsItModally_data()
    {
        QTest::addColumn<bool>("fromMenu");
        QTest::newRow("Info button") << false;
        QTest::newRow("Info menu") << true;
    }

    void infoShowsItModally()
    {
        QFETCH(bool, fromMenu);
        ScriptedServices test;
        test.splashMs = 60000;
        Form1 window(test.services());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QString version;
        bool wasModal = false;
        whenAboutOpens(&window, [&](frmSplash *about) {
            version = about->lblVersion->text();
            wasModal = about->isModal() && window.aboutWindow() == about;
            QTest::keyClick(about, Qt::Key_Space);
        });
        if (fromMenu)
            window.InfoMenu->trigger();
        else
            QTest::mouseClick(window.Command5, Qt::LeftButton);
        // Back here only once it has closed, and it is gone.
        QCOMPARE(version, QStringLiteral("Version 2.0.1"));
        QVERIFY(wasModal);
        QVERIFY(!window.aboutWindow());
        QVERIFY(window.findChildren<frmSplash *>().isEmpty());
    }

    void timer2ClosesItOnce()
    {
        ScriptedServices test;
        test.splashMs = 400;
        Form1 window(test.services());

        // Opened before Timer2 fires (right after the window's creation): it
        // closes by itself.
        QElapsedTimer clock;
        clock.start();
        bool opened = false;
        whenAboutOpens(&window, [&](frmSplash *) { opened = true; }, 3000);
        window.Command5->click();
        QVERIFY(opened);
        QVERIFY(clock.elapsed() < 2500);
        QVERIFY(!window.aboutWindow());
        QVERIFY(!window.Timer2->isActive());

        // Opened later: still open after Timer2's time, until a key.
        bool stillOpen = false;
        whenAboutOpens(&window, [&](frmSplash *about) {
            QTimer::singleShot(500, about, [&, about] {
                stillOpen = window.aboutWindow() == about && about->isVisible();
                QTest::keyClick(about, Qt::Key_Return);
            });
        });
        window.Command5->click();
        QVERIFY(stillOpen);
    }
};

QTEST_MAIN(TestFrmSplash)
#include "test_frm_splash.moc"

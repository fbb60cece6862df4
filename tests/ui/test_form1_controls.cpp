// The main window as it is built: every control at its place with its caption
// and initial state, the lists, menus, tooltips and timers, and captions that
// show in full at the window's font.

#include "support/scripted_services.h"
#include "ui/caption_fit.h"
#include "ui/port_combo_box.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QTimer>

namespace {

QRect twips(int left, int top, int width, int height)
{
    return QRect(qRound(left / 15.0), qRound(top / 15.0), qRound(width / 15.0), qRound(height / 15.0));
}

QString captionOf(QWidget *control)
{
    if (auto *label = qobject_cast<QLabel *>(control))
        return label->text();
    if (auto *button = qobject_cast<QAbstractButton *>(control))
        return button->text();
    if (auto *box = qobject_cast<QLineEdit *>(control))
        return box->text();
    if (auto *frame = qobject_cast<QGroupBox *>(control))
        return frame->title();
    return QString();
}

} // namespace

class TestForm1Controls : public QObject
{
    Q_OBJECT

private slots:
    void controls_data()
    {
        QTest::addColumn<QString>("container");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("caption");

        const auto row = [](const char *name, const char *container, QRect geometry, const QString &caption) {
            QTest::newRow(name) << QString::fromLatin1(container) << geometry << caption;
        };
        row("Frame1", "client", twips(360, 120, 1935, 3375), "Connection");
        row("Label4", "Frame1", twips(120, 360, 1605, 255), "Com Port Selection:");
        row("Combo1", "Frame1", twips(120, 600, 1455, 315), "");
        row("Label5", "Frame1", twips(120, 1080, 1605, 255), "Baud Rate Selection:");
        row("Combo2", "Frame1", twips(120, 1320, 1575, 315), "");

        row("Frame2", "client", twips(2520, 120, 2535, 3375), "Start Bootloader Characters");
        row("Label8", "Frame2", twips(240, 240, 2175, 255), "Jump to Bootloader Command:");
        row("Text4", "Frame2", twips(240, 480, 615, 285), "$");
        row("Label9", "Frame2", twips(240, 840, 2175, 255), "Bootloader Active Character:");
        row("Text5", "Frame2", twips(240, 1080, 615, 285), "^");
        row("Label6", "Frame2", twips(240, 1440, 2175, 255), "Start Download Sequence:");
        row("Text2", "Frame2", twips(240, 1680, 615, 285), "@&$");
        row("Label7", "Frame2", twips(240, 2040, 2175, 255), "Bootloader Ready:");
        row("Text3", "Frame2", twips(240, 2280, 615, 285), "?");
        row("Label1", "Frame2", twips(240, 2640, 1335, 255), "EEPROM Write:");
        row("Text12", "Frame2", twips(240, 2880, 615, 285), "*");

        row("Frame3", "client", twips(5280, 120, 3015, 3375), "Download File Characters");
        row("Label10", "Frame3", twips(240, 240, 2175, 255), "Line Complete Character:");
        row("Text6", "Frame3", twips(240, 480, 615, 285), "~");
        row("Label11", "Frame3", twips(240, 840, 2175, 255), "Page Error Character:");
        row("Text7", "Frame3", twips(240, 1080, 615, 285), "%");
        row("Label15", "Frame3", twips(240, 1440, 2535, 255), "Checksum Error Character:");
        row("Text10", "Frame3", twips(240, 1680, 615, 285), "-");
        row("Label12", "Frame3", twips(240, 2040, 2535, 255), "File Complete with Errors Character:");
        row("Text8", "Frame3", twips(240, 2280, 615, 285), "#");
        row("Label13", "Frame3", twips(240, 2640, 2655, 255), "File Complete, No Errors Character:");
        row("Text9", "Frame3", twips(240, 2880, 615, 285), "@");

        row("Frame4", "client", twips(360, 3600, 7935, 2055), "");
        row("FlashCheck", "Frame4", twips(120, 360, 1575, 255), "Application Code");
        row("Text1", "Frame4", twips(1920, 360, 4815, 285), "");
        row("Command1", "Frame4", twips(6960, 360, 735, 315), "&Browse");
        row("EepromCheck", "Frame4", twips(120, 840, 1575, 255), "EEPROM Code");
        row("Text11", "Frame4", twips(1920, 840, 4815, 285), "");
        row("Command7", "Frame4", twips(6960, 840, 735, 315), "B&rowse");
        row("Command6", "Frame4", twips(840, 1320, 2895, 495), "&Wait for Bootloader then Download");
        row("Command4", "Frame4", twips(3120, 1320, 1815, 495), "Cancel");
        row("Command2", "Frame4", twips(4080, 1320, 2895, 495), "Jump to Bootloader then &Download");

        row("Frame5", "client", twips(360, 5760, 7935, 495), "");
        row("Label3", "Frame5", twips(120, 170, 495, 255), "Status:");
        row("Label2", "Frame5", twips(720, 165, 6855, 255), "Idle");
        row("Label14", "Frame5", twips(3600, 165, 1095, 255), "");
        row("Label16", "Frame5", twips(5400, 165, 2295, 255), "");

        row("Command5", "client", twips(1560, 6480, 1935, 495), "Info");
        row("Command3", "client", twips(5040, 6480, 1935, 495), "E&xit");
    }

    void controls()
    {
        QFETCH(QString, container);
        QFETCH(QRect, geometry);
        QFETCH(QString, caption);

        ScriptedServices test;
        Form1 window(test.services());
        auto *control = window.findChild<QWidget *>(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(control);
        QCOMPARE(control->parentWidget()->objectName(), container);
        QCOMPARE(control->geometry(), geometry);
        QCOMPARE(captionOf(control), caption);

        // Resizing the window moves nothing.
        window.show();
        window.resize(window.size() * 2);
        QCOMPARE(control->geometry(), geometry);
        window.resize(300, 200);
        QCOMPARE(control->geometry(), geometry);
    }

    void initialState()
    {
        ScriptedServices test;
        Form1 window(test.services());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QCOMPARE(window.windowTitle(), QStringLiteral("Tarnwick"));
        QCOMPARE(window.centralWidget()->size(), QSize(579, 474));
        QVERIFY(!window.windowIcon().isNull());

        // Everything visible and enabled except the Cancel button, the count
        // and the version.
        for (QWidget *control : window.centralWidget()->findChildren<QWidget *>(Qt::FindChildrenRecursively)) {
            if (control->objectName().isEmpty() || control->objectName().startsWith(QStringLiteral("qt_")))
                continue; // the inner parts of a control
            const bool hidden = control == window.Command4 || control == window.Label14 || control == window.Label16;
            QVERIFY2(control->isVisible() != hidden, qPrintable(control->objectName()));
            QVERIFY2(control->isEnabled(), qPrintable(control->objectName()));
        }
        QCOMPARE(window.Label2->text(), QStringLiteral("Idle"));
        QCOMPARE(window.FlashCheck->checkState(), Qt::Checked);
        QCOMPARE(window.EepromCheck->checkState(), Qt::Unchecked);
        // No entry chosen until start-up picks one.
        QCOMPARE(window.Combo1->currentIndex(), -1);
        QCOMPARE(window.Combo2->currentIndex(), -1);
        QVERIFY(window.Command2->isDefault());

        const DownloadVariables &variables = window.variables();
        QCOMPARE(variables.DownloadPlan, qint16(0));
        QCOMPARE(variables.CancelRequested, qint16(0));
        QCOMPARE(variables.LinesRemaining, qint16(0));
        QCOMPARE(variables.LinesTotal, qint16(0));
    }

    void lists()
    {
        ScriptedServices test;
        Form1 window(test.services());
        QStringList ports;
        for (int i = 0; i < window.Combo1->count(); ++i)
            ports << window.Combo1->itemText(i);
        QCOMPARE(ports, (QStringList{"Com 1", "Com 2", "Com 3", "Com 4", "Com 5", "Com 6", "Com 7", "Com 8"}));
        QStringList rates;
        for (int i = 0; i < window.Combo2->count(); ++i)
            rates << window.Combo2->itemText(i);
        QCOMPARE(rates, (QStringList{"1200", "2400", "4800", "9600", "14400", "19200", "38400", "56000", "57600",
                                     "115200"}));
        // Pick-only lists.
        QVERIFY(!window.Combo1->isEditable());
        QVERIFY(!window.Combo2->isEditable());
    }

    void tooltips()
    {
        ScriptedServices test;
        Form1 window(test.services());
        QCOMPARE(window.Command6->toolTip(),
                 QStringLiteral("Wait for the Bootloader Active Character before continuing with the download."));
        QCOMPARE(window.Command2->toolTip(),
                 QStringLiteral("Send the Jump to Bootloader Command to the target and wait for Bootloader Active "
                                "Character before continuing."));
        for (QWidget *control : window.centralWidget()->findChildren<QWidget *>()) {
            if (control != window.Command6 && control != window.Command2)
                QVERIFY2(control->toolTip().isEmpty(), qPrintable(control->objectName()));
        }
    }

    void menus()
    {
        ScriptedServices test;
        Form1 window(test.services());
        const QList<QAction *> bar = window.menuBar()->actions();
        QCOMPARE(bar.size(), 3);
        QCOMPARE(bar[0]->text(), QStringLiteral("&File"));
        QCOMPARE(bar[0]->menu(), window.FileMenu);
        QCOMPARE(bar[1], window.DefaultMenu);
        QCOMPARE(window.DefaultMenu->text(), QStringLiteral("&Default All Settings"));
        QVERIFY(!window.DefaultMenu->menu());
        QCOMPARE(bar[2], window.InfoMenu);
        QCOMPARE(window.InfoMenu->text(), QStringLiteral("&Info"));
        QVERIFY(!window.InfoMenu->menu());

        const QList<QAction *> file = window.FileMenu->actions();
        QCOMPARE(file, (QList<QAction *>{window.OpenMenu, window.SaveMenu, window.ExitMenu}));
        QCOMPARE(window.OpenMenu->text(), QStringLiteral("&Open"));
        QCOMPARE(window.OpenMenu->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
        QCOMPARE(window.SaveMenu->text(), QStringLiteral("&Save"));
        QCOMPARE(window.SaveMenu->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
        QCOMPARE(window.ExitMenu->text(), QStringLiteral("E&xit"));
        QVERIFY(window.ExitMenu->shortcut().isEmpty());
    }

    void timers()
    {
        ScriptedServices test;
        Form1 window(test.services());
        QCOMPARE(window.Timer1->interval(), 60);
        QVERIFY(window.Timer1->isActive());
        QCOMPARE(window.Timer2->interval(), 4000);
        QVERIFY(window.Timer2->isActive());
        QCOMPARE(window.Timer3->interval(), 1000);
        QVERIFY(!window.Timer3->isActive());
    }

    void browseDialogAsBuilt()
    {
        ScriptedServices test;
        Form1 window(test.services());
        QCOMPARE(window.BrowseDialog.defaultExt(), QStringLiteral(".hex"));
        QCOMPARE(window.BrowseDialog.dialogTitle(), QStringLiteral("Select File to Download"));
        QCOMPARE(window.BrowseDialog.filter(), QStringLiteral("Hex Files (*.hex)|*.hex"));
        QVERIFY(window.BrowseDialog.fileName().isEmpty());
    }

    // The designed boxes were made for a narrower face: at the window's font
    // every caption, list entry and status text must still show whole.
    void captionsShowInFull()
    {
        ScriptedServices test;
        Form1 window(test.services());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QStyle *style = window.style();
        QStringList clipped;
        const auto check = [&](QWidget *control, const QString &text, int room) {
            const int needed = control->fontMetrics().horizontalAdvance(shownCaption(text));
            if (needed > room)
                clipped << QStringLiteral("%1 \"%2\" needs %3 px, has %4").arg(control->objectName(), text).arg(needed).arg(room);
        };
        for (QLabel *label : window.findChildren<QLabel *>())
            check(label, label->text(), label->width());
        for (QCheckBox *box : window.findChildren<QCheckBox *>()) {
            if (box->sizeHint().width() > box->width())
                clipped << box->objectName();
        }
        for (QPushButton *button : window.findChildren<QPushButton *>())
            check(button, button->text(), button->width() - 2 * style->pixelMetric(QStyle::PM_ButtonMargin));
        for (QComboBox *list : {static_cast<QComboBox *>(window.Combo1), window.Combo2}) {
            QStyleOptionComboBox option;
            option.initFrom(list);
            const QRect field = style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list);
            for (int i = 0; i < list->count(); ++i)
                check(list, list->itemText(i), field.width());
        }
        // The sending texts end before the count that follows them.
        check(window.Label2, QStringLiteral("Sending EEPROM File - lines remaining"), window.Label14->x() - window.Label2->x());
        check(window.Label16, QStringLiteral("BootLoader Version: 1.3"), window.Label16->width());
        QCOMPARE(clipped, QStringList());
        // Text still of a readable size.
        QVERIFY(window.font().pointSizeF() >= 6.5);
        QVERIFY(window.fontMetrics().height() <= window.Label2->height());
    }
};

QTEST_MAIN(TestForm1Controls)
#include "test_form1_controls.moc"

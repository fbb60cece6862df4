// Choosing file names and editing fields on the main window: the two Browse
// buttons, files dropped on the file fields, select-all on focus.

#include "support/scripted_services.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>

namespace {

// Drags data onto a field and drops it there; true when the field took the
// drag (which is what lets the user drop).
bool dragAndDrop(QLineEdit *field, const QMimeData &data)
{
    const QPoint at = field->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(field, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(field, &move);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(field, &drop);
    return enter.isAccepted();
}

} // namespace

class TestForm1Editing : public QObject
{
    Q_OBJECT

private slots:
    void browse_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("otherField");
        QTest::addColumn<QStringList>("nameFilters");
        QTest::newRow("application file") << "Command1" << "Text1" << "Text11"
                                          << QStringList{"Hex Files (*.hex)", "Binary Files (*.bin)"};
        QTest::newRow("EEPROM file") << "Command7" << "Text11" << "Text1"
                                     << QStringList{"EEPROM Files (*.eep)", "Hex Files (*.hex)", "Binary Files (*.bin)"};
    }

    void browse()
    {
        QFETCH(QString, button);
        QFETCH(QString, field);
        QFETCH(QString, otherField);
        QFETCH(QStringList, nameFilters);

        ScriptedServices test;
        Form1 window(test.services());
        auto *browseButton = window.findChild<QPushButton *>(button);
        auto *target = window.findChild<QLineEdit *>(field);
        auto *other = window.findChild<QLineEdit *>(otherField);
        target->setText(QStringLiteral("old name"));
        other->setText(QStringLiteral("other name"));
        window.FlashCheck->setCheckState(Qt::Unchecked);
        window.EepromCheck->setCheckState(Qt::Unchecked);

        const QString chosen = test.folder.filePath(QStringLiteral("firmware, v2.hex"));
        test.picker.answers << chosen;
        browseButton->click();

        QCOMPARE(test.picker.requests.size(), 1);
        const FilePicker::Request &request = test.picker.requests.first();
        QCOMPARE(request.mode, FilePicker::Mode::Open);
        QCOMPARE(request.title, QStringLiteral("Select File to Download"));
        QCOMPARE(request.nameFilters, nameFilters);
        QCOMPARE(request.defaultSuffix, QStringLiteral("hex"));
        QCOMPARE(target->text(), chosen);
        // Nothing else changes.
        QCOMPARE(other->text(), QStringLiteral("other name"));
        QCOMPARE(window.FlashCheck->checkState(), Qt::Unchecked);
        QCOMPARE(window.EepromCheck->checkState(), Qt::Unchecked);
        QVERIFY(test.prompt.boxes.isEmpty());

        // A cancelled dialog changes nothing, whatever name it started with.
        browseButton->click();
        QCOMPARE(test.picker.requests.size(), 2);
        QCOMPARE(test.picker.requests.last().fileName, chosen);
        QCOMPARE(target->text(), chosen);
        QCOMPARE(other->text(), QStringLiteral("other name"));
        QVERIFY(test.prompt.boxes.isEmpty());
    }

    void theDialogKeepsTheLastName()
    {
        ScriptedServices test;
        Form1 window(test.services());
        const QString application = QDir::toNativeSeparators(test.folder.filePath(QStringLiteral("app.hex")));
        test.picker.answers << application;
        window.Command1->click();
        // The EEPROM file's dialog starts with the application file's name.
        window.Command7->click();
        QCOMPARE(test.picker.requests.size(), 2);
        QVERIFY(test.picker.requests[0].fileName.isEmpty());
        QCOMPARE(test.picker.requests[1].fileName, application);
        QCOMPARE(window.Text11->text(), QString());
    }

    void dropFiles_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("otherField");
        QTest::newRow("application file") << "Text1" << "Text11";
        QTest::newRow("EEPROM file") << "Text11" << "Text1";
    }

    void dropFiles()
    {
        QFETCH(QString, field);
        QFETCH(QString, otherField);
        ScriptedServices test;
        Form1 window(test.services());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *target = window.findChild<QLineEdit *>(field);
        auto *other = window.findChild<QLineEdit *>(otherField);
        other->setText(QStringLiteral("untouched"));
        window.Text5->setFocus();

        // Three files: the last one stays. Any kind of file, or a folder.
        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(test.folder.filePath(QStringLiteral("one.hex"))),
                       QUrl::fromLocalFile(test.folder.filePath(QStringLiteral("two.bin"))),
                       QUrl::fromLocalFile(test.folder.filePath(QStringLiteral("three.txt")))});
        QVERIFY(dragAndDrop(target, files));
        QCOMPARE(target->text(), QDir::toNativeSeparators(test.folder.filePath(QStringLiteral("three.txt"))));
        QMimeData folder;
        folder.setUrls({QUrl::fromLocalFile(test.folder.path())});
        QVERIFY(dragAndDrop(target, folder));
        QCOMPARE(target->text(), QDir::toNativeSeparators(test.folder.path()));
        QCOMPARE(other->text(), QStringLiteral("untouched"));
        // The drop neither ticks a box nor moves the focus.
        QCOMPARE(window.FlashCheck->checkState(), Qt::Checked);
        QCOMPARE(window.EepromCheck->checkState(), Qt::Unchecked);
        QCOMPARE(QApplication::focusWidget(), window.Text5);

        // Dragged text and web links change nothing.
        const QString before = target->text();
        QMimeData text;
        text.setText(QStringLiteral("dragged text"));
        QVERIFY(!dragAndDrop(target, text));
        QMimeData link;
        link.setUrls({QUrl(QStringLiteral("https://example.com/firmware.hex"))});
        QVERIFY(!dragAndDrop(target, link));
        QCOMPARE(target->text(), before);

        // A disabled field (during a download) takes no drop.
        window.EnterBusyState();
        QVERIFY(!dragAndDrop(target, files));
        QCOMPARE(target->text(), before);
    }

    void focusSelectsTheWholeText()
    {
        ScriptedServices test;
        Form1 window(test.services());
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        // Tabbing from Text5 into Text2 ("@&$") selects all three characters,
        // and typing replaces them.
        window.Text5->setFocus();
        QTest::keyClick(window.Text5, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), window.Text2);
        QCOMPARE(window.Text2->selectedText(), QStringLiteral("@&$"));
        QCOMPARE(window.Text2->cursorPosition(), 3);
        QTest::keyClicks(window.Text2, QStringLiteral("#"));
        QCOMPARE(window.Text2->text(), QStringLiteral("#"));

        // An empty field: the caret at its start, nothing selected.
        window.Text3->clear();
        QTest::keyClick(window.Text2, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), window.Text3);
        QVERIFY(!window.Text3->hasSelectedText());
        QCOMPARE(window.Text3->cursorPosition(), 0);

        // Every one of the twelve fields, however it gets the focus.
        for (QLineEdit *box : window.textBoxes()) {
            box->setText(box->objectName() + QStringLiteral(" text"));
            box->setCursorPosition(2);
            box->setFocus(Qt::OtherFocusReason);
            QVERIFY2(box->hasFocus(), qPrintable(box->objectName()));
            QCOMPARE(box->selectedText(), box->text());
            QCOMPARE(box->cursorPosition(), int(box->text().size()));
        }
    }

    void autoSelect()
    {
        ScriptedServices test;
        Form1 window(test.services());
        window.Text9->setText(QStringLiteral("abc"));
        window.Text9->setCursorPosition(1);
        window.AutoSelect(window.Text9);
        QCOMPARE(window.Text9->selectionStart(), 0);
        QCOMPARE(window.Text9->selectedText(), QStringLiteral("abc"));
        // Any other control is accepted and left alone.
        window.AutoSelect(window.Command1);
        window.AutoSelect(window.Combo2);
        QCOMPARE(window.Text9->selectedText(), QStringLiteral("abc"));
    }
};

QTEST_MAIN(TestForm1Editing)
#include "test_form1_editing.moc"

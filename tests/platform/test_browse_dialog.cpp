// The window's file dialog: what each use asks of the picker, the name kept
// between uses, a cancel reported as a failure; and the real QFileDialog
// behind it, driven as a user would.

#include "platform/browse_dialog.h"
#include "platform/failure.h"
#include "platform/widgets/file_dialog_picker.h"
#include "support/scripted_file_picker.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

// Runs act on the file dialog once it is open; closes any modal window after
// a while so that a failing test cannot hang.
void whenDialogOpens(QObject *context, const std::function<void(QFileDialog *)> &act)
{
    auto *poll = new QTimer(context);
    int waited = 0;
    QObject::connect(poll, &QTimer::timeout, context, [poll, act, waited]() mutable {
        waited += 10;
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            poll->deleteLater();
            act(dialog);
        } else if (waited > 5000) {
            poll->deleteLater();
            if (QWidget *modal = QApplication::activeModalWidget())
                modal->close();
        }
    });
    poll->start(10);
}

void touch(const QString &path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

} // namespace

class TestBrowseDialog : public QObject
{
    Q_OBJECT

private slots:
    void filterLists_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("nameFilters");
        QTest::newRow("hex and binary") << "Hex Files (*.hex)|*.hex|Binary Files (*.bin)|*.bin"
                                        << QStringList{"Hex Files (*.hex)", "Binary Files (*.bin)"};
        QTest::newRow("three") << "EEPROM Files (*.eep)|*.eep|Hex Files (*.hex)|*.hex|Binary Files (*.bin)|*.bin"
                               << QStringList{"EEPROM Files (*.eep)", "Hex Files (*.hex)", "Binary Files (*.bin)"};
        QTest::newRow("settings") << "Text Files (*.txt)|*.txt" << QStringList{"Text Files (*.txt)"};
        QTest::newRow("description without patterns") << "Anything|*.*" << QStringList{"Anything (*.*)"};
    }

    void filterLists()
    {
        QFETCH(QString, filter);
        QFETCH(QStringList, nameFilters);
        ScriptedFilePicker picker;
        BrowseDialog dialog(picker);
        dialog.setDialogTitle(QStringLiteral("Select File to Open"));
        dialog.setFilter(filter);
        picker.answers << QStringLiteral("/tmp/x.txt");
        dialog.showOpen();
        QCOMPARE(picker.requests.size(), 1);
        QCOMPARE(picker.requests[0].title, QStringLiteral("Select File to Open"));
        QCOMPARE(picker.requests[0].nameFilters, nameFilters);
        QCOMPARE(picker.requests[0].defaultSuffix, QStringLiteral("hex"));
    }

    void theNameIsKeptBetweenUses()
    {
        ScriptedFilePicker picker;
        BrowseDialog dialog(picker);
        QCOMPARE(dialog.defaultExt(), QStringLiteral(".hex"));
        picker.answers << QStringLiteral("/data/first.hex");
        dialog.showOpen();
        QCOMPARE(dialog.fileName(), QStringLiteral("/data/first.hex"));

        // A cancel is a failure and keeps the name.
        QVERIFY_THROWS_EXCEPTION(Failure, dialog.showSave());
        QCOMPARE(picker.requests[1].mode, FilePicker::Mode::Save);
        QCOMPARE(picker.requests[1].fileName, QStringLiteral("/data/first.hex"));
        QCOMPARE(dialog.fileName(), QStringLiteral("/data/first.hex"));

        picker.answers << QStringLiteral("/data/settings.txt");
        dialog.showSave();
        QCOMPARE(dialog.fileName(), QStringLiteral("/data/settings.txt"));
        QVERIFY_THROWS_EXCEPTION(Failure, dialog.showOpen()); // nothing queued: a cancel
        QCOMPARE(dialog.fileName(), QStringLiteral("/data/settings.txt"));
    }

    void realDialogOpensAnExistingFile()
    {
        QTemporaryDir folder;
        touch(folder.filePath(QStringLiteral("app.hex")));
        touch(folder.filePath(QStringLiteral("other.hex")));
        FileDialogPicker picker;
        BrowseDialog dialog(picker);
        dialog.setDialogTitle(QStringLiteral("Select File to Download"));
        dialog.setFilter(QStringLiteral("Hex Files (*.hex)|*.hex|Binary Files (*.bin)|*.bin"));

        QString title;
        QStringList filters;
        QFileDialog::AcceptMode mode = QFileDialog::AcceptSave;
        QObject context;
        whenDialogOpens(&context, [&](QFileDialog *shown) {
            title = shown->windowTitle();
            filters = shown->nameFilters();
            mode = shown->acceptMode();
            shown->setDirectory(folder.path());
            auto *name = shown->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            name->setText(QStringLiteral("app.hex"));
            QTest::keyClick(name, Qt::Key_Return);
        });
        dialog.showOpen();
        QCOMPARE(title, QStringLiteral("Select File to Download"));
        QCOMPARE(filters, (QStringList{"Hex Files (*.hex)", "Binary Files (*.bin)"}));
        QCOMPARE(mode, QFileDialog::AcceptOpen);
        QCOMPARE(dialog.fileName(), QDir::toNativeSeparators(folder.filePath(QStringLiteral("app.hex"))));

        // The next use starts in that folder with that name.
        QString startName;
        QString startFolder;
        whenDialogOpens(&context, [&](QFileDialog *shown) {
            startName = shown->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->text();
            startFolder = shown->directory().absolutePath();
            shown->reject();
        });
        QVERIFY_THROWS_EXCEPTION(Failure, dialog.showOpen());
        QCOMPARE(startName, QStringLiteral("app.hex"));
        QCOMPARE(startFolder, QDir(folder.path()).absolutePath());
        QCOMPARE(dialog.fileName(), QDir::toNativeSeparators(folder.filePath(QStringLiteral("app.hex"))));
    }

    void realDialogSavesWithTheDefaultExtension()
    {
        QTemporaryDir folder;
        FileDialogPicker picker;
        BrowseDialog dialog(picker);
        dialog.setDialogTitle(QStringLiteral("Select File to Save"));
        dialog.setFilter(QStringLiteral("Text Files (*.txt)|*.txt"));
        QObject context;
        QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
        whenDialogOpens(&context, [&](QFileDialog *shown) {
            mode = shown->acceptMode();
            shown->setDirectory(folder.path());
            auto *name = shown->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            name->setText(QStringLiteral("mine"));
            QTest::keyClick(name, Qt::Key_Return);
        });
        dialog.showSave();
        QCOMPARE(mode, QFileDialog::AcceptSave);
        // A name typed without an extension gets ".hex".
        QCOMPARE(dialog.fileName(), QDir::toNativeSeparators(folder.filePath(QStringLiteral("mine.hex"))));
    }
};

QTEST_MAIN(TestBrowseDialog)
#include "test_browse_dialog.moc"

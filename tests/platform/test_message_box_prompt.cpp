// Message boxes on QMessageBox: title, text, icon and buttons as asked, the
// answer as the user clicked it, modal over the window that owns them.

#include "platform/widgets/message_box_prompt.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

struct Seen
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::Critical;
    QMessageBox::StandardButtons buttons;
    QWidget *parent = nullptr;
};

// Reads the box once it is open, then clicks the given button.
void answerBox(QObject *context, Seen &seen, QMessageBox::StandardButton click)
{
    auto *poll = new QTimer(context);
    int waited = 0;
    QObject::connect(poll, &QTimer::timeout, context, [poll, &seen, click, waited]() mutable {
        waited += 10;
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            poll->deleteLater();
            seen = {box->windowTitle(), box->text(), box->icon(), box->standardButtons(), box->parentWidget()};
            QTest::mouseClick(box->button(click), Qt::LeftButton);
        } else if (waited > 5000) {
            poll->deleteLater();
            if (QWidget *modal = QApplication::activeModalWidget())
                modal->close();
        }
    });
    poll->start(10);
}

} // namespace

class TestMessageBoxPrompt : public QObject
{
    Q_OBJECT

private slots:
    void boxes_data()
    {
        QTest::addColumn<int>("kind"); // 0 inform, 1 warn, 2 ask
        QTest::addColumn<int>("click");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<bool>("answer");
        QTest::newRow("inform") << 0 << int(QMessageBox::Ok) << int(QMessageBox::NoIcon) << int(QMessageBox::Ok) << true;
        QTest::newRow("warn") << 1 << int(QMessageBox::Ok) << int(QMessageBox::Warning) << int(QMessageBox::Ok) << true;
        QTest::newRow("ask, Yes") << 2 << int(QMessageBox::Yes) << int(QMessageBox::NoIcon)
                                  << int(QMessageBox::Yes | QMessageBox::No) << true;
        QTest::newRow("ask, No") << 2 << int(QMessageBox::No) << int(QMessageBox::NoIcon)
                                 << int(QMessageBox::Yes | QMessageBox::No) << false;
    }

    void boxes()
    {
        QFETCH(int, kind);
        QFETCH(int, click);
        QFETCH(int, icon);
        QFETCH(int, buttons);
        QFETCH(bool, answer);

        QWidget window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        MessageBoxPrompt prompt(&window);
        Seen seen;
        answerBox(&window, seen, QMessageBox::StandardButton(click));
        const QString title = QStringLiteral("Tarnwick - V 2.0");
        // A text with markup characters shows as it is.
        const QString text = QStringLiteral("Error opening <C:\\firmware & co.hex>");
        bool result = !answer;
        switch (kind) {
        case 0: prompt.inform(title, text); result = true; break;
        case 1: prompt.warn(title, text); result = true; break;
        default: result = prompt.ask(title, text); break;
        }
        QCOMPARE(seen.title, title);
        QCOMPARE(seen.text, text);
        QCOMPARE(int(seen.icon), icon);
        QCOMPARE(int(seen.buttons), buttons);
        QCOMPARE(seen.parent, &window);
        QCOMPARE(result, answer);
        // The box is gone once answered.
        QVERIFY(window.findChildren<QMessageBox *>().isEmpty());
    }

    void escapeOnAQuestionIsNo()
    {
        MessageBoxPrompt prompt;
        QObject context;
        QTimer::singleShot(50, &context, [] {
            if (QWidget *box = QApplication::activeModalWidget())
                QTest::keyClick(box, Qt::Key_Escape);
        });
        QVERIFY(!prompt.ask(QStringLiteral("Tarnwick"), QStringLiteral("Continue with download?")));
    }
};

QTEST_MAIN(TestMessageBoxPrompt)
#include "test_message_box_prompt.moc"

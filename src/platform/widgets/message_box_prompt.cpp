#include "platform/widgets/message_box_prompt.h"

#include <QMessageBox>

MessageBoxPrompt::MessageBoxPrompt(QWidget *parent)
    : m_parent(parent)
{
}

bool MessageBoxPrompt::show(const QString &title, const QString &text, Icon icon, Buttons buttons)
{
    const QMessageBox::Icon boxIcon = icon == Icon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon;
    const QMessageBox::StandardButtons boxButtons =
        buttons == Buttons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok;

    // Owned by the parent window while it is open; the guard notices when the
    // parent took it along, so it is never deleted twice.
    QPointer<QMessageBox> box = new QMessageBox(boxIcon, title, text, boxButtons, m_parent.data());
    box->setTextFormat(Qt::PlainText);
    box->setDefaultButton(buttons == Buttons::YesNo ? QMessageBox::Yes : QMessageBox::Ok);
    if (buttons == Buttons::YesNo)
        box->setEscapeButton(QMessageBox::No);
    const int answer = box->exec();
    delete box.data();
    return answer == QMessageBox::Yes || answer == QMessageBox::Ok;
}

// Choosing file names and editing the fields: the Browse buttons, files
// dropped on the two file fields, and select-all when a field gets the focus.

#include "platform/failure.h"
#include "ui/form1.h"

#include <QDir>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>

namespace {

// The local files that a drag carries, in its order; empty for anything else
// (dragged text, web links).
QStringList droppedFiles(const QMimeData *data)
{
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile())
            files << QDir::toNativeSeparators(url.toLocalFile());
    }
    return files;
}

} // namespace

void Form1::browseFor(QLineEdit *field, const QString &filter)
{
    try {
        BrowseDialog.setDialogTitle(QStringLiteral("Select File to Download"));
        BrowseDialog.setFilter(filter);
        BrowseDialog.showOpen();
        field->setText(BrowseDialog.fileName());
    } catch (const Failure &) {
        // Cancelled, or the dialog could not be shown: the field keeps its text.
    }
}

void Form1::dropFiles(QLineEdit *field, QDropEvent *event)
{
    const QStringList files = droppedFiles(event->mimeData());
    if (files.isEmpty())
        return;
    // One after the other, as the list gives them: the last one stays.
    for (const QString &file : files)
        field->setText(file);
    event->acceptProposedAction();
}

void Form1::AutoSelect(QWidget *SelObject)
{
    if (auto *box = qobject_cast<QLineEdit *>(SelObject))
        box->setSelection(0, int(box->text().size()));
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == Label14 || watched == Label16)
        && (event->type() == QEvent::Show || event->type() == QEvent::Hide)) {
        coverStatusLine();
        return QMainWindow::eventFilter(watched, event);
    }

    auto *field = qobject_cast<QLineEdit *>(watched);
    if (!field || !textBoxes().contains(field))
        return QMainWindow::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::FocusIn:
        AutoSelect(field);
        break;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        if (field == Text1 || field == Text11) {
            // Only files are taken, and only by an enabled field; the text
            // box's own handling of dropped text never runs.
            auto *drop = static_cast<QDropEvent *>(event);
            const bool wanted = field->isEnabled() && !droppedFiles(drop->mimeData()).isEmpty();
            if (!wanted)
                drop->ignore();
            else if (event->type() == QEvent::Drop)
                dropFiles(field, drop);
            else
                drop->acceptProposedAction();
            return true;
        }
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}
